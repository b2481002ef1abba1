#include "shell/clipboard_commands.h"

#include <new>
#include <string>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/clipboard_data.h"
#include "core/document_listener.h"
#include "core/undo.h"
#include "formats/common/packed_dib.h"
#include "formats/open_flow.h"
#include "platform/clipboard.h"
#include "platform/services.h"
#include "shell/frame_edit.h"
#include "shell/options_from_preferences.h"

namespace lw {

namespace {

constexpr uint32_t kFramesChanged = refresh::Document | refresh::FrameCount | refresh::ScreenSize |
                                    refresh::Encoding | refresh::Names;

void StopReaders(ShellState& state) {
  StopTasks(task::SizeEstimate | task::ColourCount);
  state.StopPreview();
}

bool HasCurrent(const ShellState& state) {
  return state.document && state.currentFrame >= 0 &&
         state.currentFrame < state.document->frameCount;
}

// The clipboard's frames: the program's own block first; a damaged one counts as absent.
AnimationPtr ClipboardAnimation(WindowHandle owner) {
  ClipboardContents clip = SystemClipboard().Get(owner);
  if (!clip.frames.empty()) {
    AnimationPtr frames = AnimationFromPrivateData(clip.frames.data(), clip.frames.size());
    if (frames && frames->frameCount > 0) return frames;
  }
  if (clip.dib.empty()) {
    ShowErrorId(str::NoPastableFormat);
    return nullptr;
  }
  AnimationPtr image = DibToAnimation(clip.dib.data(), clip.dib.size(), TimingFromPreferences());
  if (image) SetFrameName(FirstFrame(*image), ResText(str::Untitled));
  return image;
}

ProgressMeterPtr PasteMeter(WindowHandle owner) {
  ProgressMeterPtr meter(CreateProgressMeter(owner, progress::OwnPopup, 0));
  ProgressSetText(meter.get(), ResText(str::PastingFrame).c_str());
  return meter;
}

}  // namespace

bool CopyFrames(WindowHandle owner, const Animation& document, int currentIndex) {
  const Frame* current = FrameAt(document, currentIndex);
  if (!current) return false;
  ClipboardContents contents;
  contents.frames = PrivateDataFromSelection(document);
  if (!contents.frames.empty()) contents.dib = FrameToPackedDib(*current);
  if (contents.frames.empty() || contents.dib.empty() || !SystemClipboard().Put(owner, contents)) {
    ShowErrorId(str::NoMemoryForCopyCut);
    return false;
  }
  return true;
}

uint32_t CopyCommand(ShellState& state) {
  if (!HasCurrent(state)) return 0;
  WaitTasks(task::ColourCount, true);
  CopyFrames(state.owner, *state.document, state.currentFrame);
  return 0;
}

uint32_t CutCommand(ShellState& state) {
  if (!HasCurrent(state)) return 0;
  StopReaders(state);
  if (!CopyFrames(state.owner, *state.document, state.currentFrame)) return 0;
  int current = DeleteSelectedFrames(*state.document, true);
  if (current == -2) return 0;
  state.currentFrame = current;
  state.modified = true;
  return kFramesChanged;
}

AnimationPtr PasteFrames(WindowHandle owner) {
  ProgressMeterPtr meter = PasteMeter(owner);
  return ClipboardAnimation(owner);
}

uint32_t PasteCommand(ShellState& state) {
  WaitTasks(task::ColourCount, true);
  ProgressMeterPtr meter = PasteMeter(state.owner);
  AnimationPtr pasted = ClipboardAnimation(state.owner);
  if (!pasted) return 0;
  if (!state.document) {
    if (!FinishLoad(state, std::move(pasted), "", 0, meter.get(), state.owner)) return 0;
    state.currentFrame = SelectFrame(*state.document, 0, selmode::Only);
    SelectFrame(*state.document, state.document->frameCount - 1, selmode::Extend);
    state.NotifyDocument(kFramesChanged);
    return kFramesChanged;
  }
  StopReaders(state);
  Animation& doc = *state.document;
  const int before = doc.frameCount;
  const int position = HasCurrent(state) ? state.currentFrame : before;
  UndoStep step(UndoStep::Discard, PrepareUndo(UndoKind::Paste, doc, position), doc);
  const int saved = state.currentFrame;
  state.currentFrame = position;
  if (!FinishLoad(state, std::move(pasted), "", 0, meter.get(), state.owner)) {
    state.currentFrame = saved;
    return 0;
  }
  CommitInsertUndo(step.Commit(), doc);
  const int added = doc.frameCount - before;
  state.currentFrame = SelectFrame(doc, position, selmode::Only);
  if (added > 1) SelectFrame(doc, position + added - 1, selmode::Extend);
  state.modified = true;
  state.NotifyTitle();
  return kFramesChanged;
}

}  // namespace lw
