#include "shell/document_commands.h"

#include "base/messages.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/optimize.h"
#include "colour/unoptimize.h"
#include "core/byte_sink.h"
#include "core/compose.h"
#include "core/document_listener.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "platform/memory_pages.h"
#include "shell/frame_edit.h"

namespace lw {

namespace {

// What a change of the frame list asks for: relayout, frame list, controls, a new estimate.
constexpr uint32_t kFramesChanged =
    refresh::Document | refresh::FrameCount | refresh::Encoding | refresh::Names;

uint32_t OneFrameHints(int index, uint32_t more) {
  return refresh::OneFrame | more | (static_cast<uint32_t>(index) << 16);
}

// The document is about to change: nothing may read it meanwhile.
void StopReaders(ShellState& state) {
  StopTasks(task::SizeEstimate | task::ColourCount);
  state.StopPreview();
}

Frame* CurrentFrame(ShellState& state) {
  return state.document ? FrameAt(*state.document, state.currentFrame) : nullptr;
}

int FirstSelectedIndex(const Animation& animation) {
  Frame* first = FirstSelectedFrame(animation);
  return first ? FrameIndex(animation, first) : -1;
}

}  // namespace

uint32_t ReverseOrderCommand(ShellState& state) {
  if (!state.document || state.document->frameCount < 2) return 0;
  StopReaders(state);
  RecordUndo(UndoKind::ReverseAnimation, *state.document);
  ReverseBlocks(*state.document);
  RecountSelection(*state.document);
  state.currentFrame = FirstSelectedIndex(*state.document);
  state.modified = true;
  return kFramesChanged;
}

uint32_t PingPongCommand(ShellState& state) {
  if (!state.document || state.document->frameCount < 2) return 0;
  StopReaders(state);
  UndoStep step(UndoStep::Discard, UndoKind::PingPong, *state.document);
  if (!AppendPingPong(*state.document)) return 0;
  step.Commit();
  state.modified = true;
  return kFramesChanged;
}

uint32_t DeleteFramesCommand(ShellState& state) {
  if (!state.document || state.currentFrame < 0) return 0;
  StopReaders(state);
  int current = DeleteSelectedFrames(*state.document);
  if (current == -2) return 0;
  state.currentFrame = current;
  state.modified = true;
  return kFramesChanged;
}

uint32_t MoveFramesCommand(ShellState& state, int position) {
  if (!state.document || state.currentFrame < 0) return 0;
  StopReaders(state);
  Animation& doc = *state.document;
  int moved = doc.selectedCount > 1 ? MoveSelectedFramesTo(doc, position)
                                    : MoveFrameTo(doc, state.currentFrame, position);
  if (moved < 0) return 0;
  state.currentFrame = moved;
  state.modified = true;
  return refresh::Document | refresh::Names;
}

uint32_t ToggleTrueColourCommand(ShellState& state) {
  Frame* frame = CurrentFrame(state);
  if (!frame) return 0;
  StopReaders(state);
  if (!frame->rgbPlane.empty()) {
    RecordUndo(UndoKind::DropTrueColour, *state.document, undo::FrameImage(state.currentFrame));
    FreeRgbPlane(frame);
  } else {
    UndoStep step(UndoStep::Discard, UndoKind::AddTrueColour, *state.document,
                  undo::TrueColourPlane{state.currentFrame});
    if (!AddRgbPlane(frame)) return refresh::PropertiesFrame;
    step.Commit();
  }
  state.modified = true;
  return OneFrameHints(state.currentFrame, refresh::PropertiesFrame);
}

uint32_t SetDisposalCommand(ShellState& state, int disposal) {
  Frame* frame = CurrentFrame(state);
  if (!frame) return 0;
  // The same again changes nothing; its button, which the click may have unchecked, goes back.
  if (frame->Disposal() == disposal) return refresh::PropertiesFrame;
  RecordUndo(UndoKind::FrameProperties, *state.document,
             undo::FrameAttributes(state.currentFrame, false));
  SetDisposal(frame, disposal);
  state.modified = true;
  return OneFrameHints(state.currentFrame, refresh::PropertiesFrame);
}

namespace {

// The first change of a run records the step; the later ones join it while it is the newest.
void RecordTyped(ShellState& state, UndoKind kind, UndoRun* run) {
  if (run && run->Continues()) return;
  UndoRecord* record = RecordUndo(kind, *state.document);
  if (run) run->Began(record);
}

}  // namespace

uint32_t SetDelayCommand(ShellState& state, uint32_t delay, UndoRun* run) {
  if (!state.document || state.currentFrame < 0) return 0;
  bool changed = false;
  for (Frame* f = FirstSelectedFrame(*state.document); f && !changed; f = NextSelectedFrame(f))
    changed = f->delay != delay;
  if (!changed) return 0;
  RecordTyped(state, UndoKind::EditDurations, run);
  for (Frame* f = FirstSelectedFrame(*state.document); f; f = NextSelectedFrame(f))
    f->delay = delay;
  state.modified = true;
  return refresh::Preview;
}

bool SetLoopCountCommand(ShellState& state, uint32_t count, UndoRun* run) {
  if (!state.document || state.document->playCount == count) return false;
  RecordTyped(state, UndoKind::AnimationProperties, run);
  state.document->playCount = count;
  state.modified = true;
  return true;
}

bool PrepareOptimize(ShellState& state) {
  if (!state.document) return false;
  state.StopPreview();
  // The palette step reads the colour counters and the dialog shows the estimated size: let
  // both finish rather than throw their work away.
  WaitTasks(task::ColourCount | task::SizeEstimate, true);
  return ConfirmDrop24BitData(state.owner, *state.document);
}

uint32_t AfterOptimize(ShellState& state) {
  if (!state.document) return 0;
  RecountSelection(*state.document);
  if (state.currentFrame >= state.document->frameCount) state.currentFrame = -1;
  state.modified = true;
  return kFramesChanged;
}

uint32_t UnoptimizeCommand(ShellState& state) {
  if (!state.document) return 0;
  StopReaders(state);
  if (!ConfirmDrop24BitData(state.owner, *state.document)) return 0;
  if (!UnoptimizeAnimation(state.owner, *state.document)) return 0;
  state.document->encodedSizeCache = -1;
  state.modified = true;
  return refresh::Document | refresh::Encoding;
}

bool ClearInterlacingCommand(ShellState& state) {
  if (!state.document) return false;
  bool changed = false;
  for (Frame* f = FirstFrame(*state.document); f; f = NextFrame(f)) {
    if (!f->Interlaced()) continue;
    if (!changed) StopTasks(task::SizeEstimate);
    SetInterlaced(f, false);
    changed = true;
  }
  if (changed) {
    state.document->encodedSizeCache = -1;
    state.modified = true;
  }
  return changed;
}

void ReleaseClosedDocumentMemory() {
  // A write forgets what the optimizer kept for the next save; an empty one writes nothing.
  Animation empty;
  ByteSink counter;
  WriteGif(counter, empty, nullptr);
  ReturnFreeHeapMemory();
}

}  // namespace lw
