// What the frame-list, clipboard and property commands make of a document: the order of the
// frames, the current frame, the texts shown. Their undo steps and the document's soundness are
// the command sweep's.
#include "shell/document_commands.h"

#include <gtest/gtest.h>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "core/byte_sink.h"
#include "core/document_listener.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "platform/clipboard.h"
#include "shell/clipboard_commands.h"
#include "shell/frame_edit.h"
#include "support/document.h"
#include "support/services.h"

namespace lw {
namespace {

using test::FrameNumbers;
using Numbers = std::vector<int>;
using S = ShellState;

class DocumentCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadPreferences();
    ClearHistory();
    state_ = ShellState();
    state_.document = test::NumberedAnimation(4);
  }
  void Select(std::vector<int> indexes) {
    for (int i : indexes) SelectFrame(*state_.document, i, selmode::Toggle);
    state_.currentFrame = indexes.empty() ? -1 : indexes.front();
  }
  test::ServicesScope services_;
  ShellState state_;
};

TEST_F(DocumentCommands, FrameListEditsOrderTheFramesAndChooseTheCurrentOne) {
  struct Case {
    const char* name;
    std::vector<int> selected;
    uint32_t (*run)(ShellState&);
    Numbers order;
    int current;
    Numbers clipboard;  // what a cut leaves there
  };
  const Case cases[] = {
      // Frames 7 and 8 are on the clipboard: before the current frame, or after the last.
      {"paste before", {1}, PasteCommand, {1, 7, 8, 2, 3, 4}, 1, {}},
      {"paste at the end", {}, PasteCommand, {1, 2, 3, 4, 7, 8}, 4, {}},
      {"reverse", {1, 2}, ReverseOrderCommand, {4, 3, 2, 1}, 1, {}},
      {"ping-pong", {1}, PingPongCommand, {1, 2, 3, 4, 3, 2}, 1, {}},
      {"delete the last", {3}, DeleteFramesCommand, {1, 2, 3}, 2, {}},
      {"delete several", {0, 2}, DeleteFramesCommand, {2, 4}, -1, {}},
      {"move one", {0}, [](S& s) { return MoveFramesCommand(s, 3); }, {2, 3, 1, 4}, 2, {}},
      {"move two", {0, 3}, [](S& s) { return MoveFramesCommand(s, 2); }, {2, 1, 4, 3}, 1, {}},
      {"cut one", {1}, CutCommand, {1, 3, 4}, 1, {2}},
      {"cut several", {0, 2}, CutCommand, {2, 4}, -1, {1, 3}},
  };
  ShellState source;
  source.document = test::NumberedAnimation(8);
  source.currentFrame = SelectFrame(*source.document, 6, selmode::Only);
  SelectFrame(*source.document, 7, selmode::Toggle);
  ASSERT_EQ(CopyCommand(source), 0u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Select(c.selected);
    EXPECT_TRUE(c.run(state_) & refresh::Document);
    EXPECT_EQ(FrameNumbers(*state_.document), c.order);
    EXPECT_EQ(state_.currentFrame, c.current);
    EXPECT_TRUE(state_.modified);
    if (!c.clipboard.empty()) {
      EXPECT_EQ(FrameNumbers(*PasteFrames(nullptr)), c.clipboard);
    }
  }
}

// Without a document the frames become one; with nothing the program can take, or frames it
// cannot read, nothing is pasted and the message says so.
TEST_F(DocumentCommands, PasteOpensADocumentOrSaysWhyNot) {
  Select({0, 1, 2});
  CopyCommand(state_);
  ShellState empty;
  EXPECT_NE(PasteCommand(empty), 0u);
  ASSERT_TRUE(empty.document && empty.document->globalPalette);
  EXPECT_EQ(FrameNumbers(*empty.document), (Numbers{1, 2, 3}));
  EXPECT_TRUE(empty.modified && empty.currentFrame == 0 && empty.document->selectedCount == 3);
  for (const ClipboardContents& clip : {ClipboardContents{}, {std::vector<uint8_t>(2000, 7), {}}}) {
    services_.services.Reset();
    SystemClipboard().Put(nullptr, clip);
    EXPECT_EQ(PasteCommand(state_), 0u);
    EXPECT_EQ(state_.document->frameCount, 4);
    EXPECT_EQ(services_.services.Texts(), test::TextsOf({str::NoPastableFormat}));
  }
}

TEST_F(DocumentCommands, PropertyEditsNameWhatToRedraw) {
  Select({2});
  EXPECT_EQ(refresh::FrameIndexOf(SetDisposalCommand(state_, 3)), 2u);
  EXPECT_EQ(SetDisposalCommand(state_, 3), refresh::PropertiesFrame);  // the button goes back
  Select({0});                                                         // frames 0 and 2
  EXPECT_EQ(SetDelayCommand(state_, 42), refresh::Preview);
  EXPECT_TRUE(FrameAt(*state_.document, 2)->delay == 42 &&
              FrameAt(*state_.document, 1)->delay == 10);
  EXPECT_EQ(SetDelayCommand(state_, 42), 0u);
  EXPECT_FALSE(ClearInterlacingCommand(state_));
  SetInterlaced(FrameAt(*state_.document, 3), true);
  EXPECT_TRUE(ClearInterlacingCommand(state_));
  EXPECT_FALSE(FrameAt(*state_.document, 3)->Interlaced());
}

// A run typed in one field is one step, and undoing it comes before any earlier step (a whole
// copy exchanged would take the typed values back unseen).
TEST_F(DocumentCommands, ATypedRunIsOneStepUndoneFirst) {
  Select({1});
  const uint32_t d0 = FrameAt(*state_.document, 1)->delay, l0 = state_.document->playCount;
  RecordUndo(UndoKind::Unoptimize, *state_.document);
  UndoRun delays, loops;
  for (uint32_t typed : {4u, 45u, 450u}) SetDelayCommand(state_, typed, &delays);
  for (uint32_t typed : {1u, 12u}) SetLoopCountCommand(state_, typed, &loops);
  Undo(*state_.document);
  EXPECT_EQ(state_.document->playCount, l0);
  EXPECT_EQ(FrameAt(*state_.document, 1)->delay, 450u);
  Undo(*state_.document);
  EXPECT_EQ(FrameAt(*state_.document, 1)->delay, d0);
  EXPECT_EQ(CanUndoKind(), UndoKind::Unoptimize);
}

TEST_F(DocumentCommands, ClosingForgetsTheOptimizersKeptData) {
  auto write = [this] {
    std::vector<uint8_t> bytes;
    ByteSink sink(&bytes);
    EXPECT_EQ(WriteGif(sink, *state_.document, nullptr), GifWriteStatus::Done);
    EXPECT_TRUE(sink.Flush());
    return bytes;
  };
  const std::vector<uint8_t> honest = write();
  // Bytes kept for a frame would stand in for its encoding, had they not gone with the document.
  KeepFrameData(FrameAt(*state_.document, 0), {0x02, 0x01, 0x44, 0x00});
  ReleaseClosedDocumentMemory();
  EXPECT_EQ(write(), honest);
}

}  // namespace
}  // namespace lw
