#include "shell/record_commands.h"

#include <utility>

#include "core/document_listener.h"
#include "core/undo.h"
#include "formats/open_flow.h"

namespace lw {

namespace {

constexpr uint32_t kTakenHints = refresh::Document | refresh::FrameCount | refresh::ScreenSize |
                                 refresh::Encoding | refresh::Names;

}  // namespace

bool TakeRecording(ShellState& state, AnimationPtr recording, RecordingPlace place) {
  if (!recording) return false;
  state.StopPreview();
  if (place == RecordingPlace::NewDocument || !state.document) {
    if (state.document && CloseDocument(state) == 0) return false;
    if (!FinishLoad(state, std::move(recording), std::string(), 1, nullptr, nullptr)) return false;
    // A recording has no file yet: it is new work to save.
    state.modified = true;
    state.currentFrame = -1;
    state.NotifyTitle();
    if (state.listener) state.listener->ScrollStripToStart();
    state.NotifyDocument(kTakenHints);
    return true;
  }
  Animation& document = *state.document;
  const int position = state.currentFrame >= 0 && state.currentFrame < document.frameCount
                           ? state.currentFrame + 1
                           : document.frameCount;
  UndoStep step(UndoStep::Discard, PrepareUndo(UndoKind::InsertFrames, document, position),
                document);
  const int saved = state.currentFrame;
  state.currentFrame = position;  // where FinishLoad inserts
  const bool taken = FinishLoad(state, std::move(recording), std::string(), 1, nullptr, nullptr);
  state.currentFrame = saved;
  if (!taken) {
    step.Withdraw();
    return false;
  }
  state.modified = true;
  state.NotifyTitle();
  CommitInsertUndo(step.Commit(), *state.document);
  state.NotifyDocument(kTakenHints);
  return true;
}

}  // namespace lw
