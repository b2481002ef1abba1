#include "shell/document_commands.h"

#include <gtest/gtest.h>

#include "base/preferences.h"
#include "core/byte_sink.h"
#include "core/gif_writer.h"
#include "core/support_animation.h"
#include "core/undo.h"
#include "platform/headless_services.h"
#include "shell/frame_edit.h"

namespace lw {
namespace {

using namespace lw::testing_support;

class DocumentCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadPreferences();
    ClearHistory();
    DefaultHeadlessServices().Reset();
    DefaultHeadlessServices().SetEcho(false);
    state_.document = NumberedAnimation(4);
    state_.currentFrame = -1;
    state_.modified = false;
  }
  void TearDown() override {
    ClearHistory();
    DefaultHeadlessServices().Reset();
    DefaultHeadlessServices().SetEcho(true);
  }
  void Select(std::initializer_list<int> indexes) {
    for (int i : indexes) SelectFrame(*state_.document, i, selmode::Toggle);
    state_.currentFrame = *indexes.begin();
  }
  Animation& Doc() { return *state_.document; }

  ShellState state_;
};

// The frame-list commands: what they do, what they return, and that one undo takes it back.
TEST_F(DocumentCommands, FrameListEditsUndoInOneStep) {
  struct Case {
    const char* name;
    std::initializer_list<int> selected;
    uint32_t (*run)(ShellState&);
    std::vector<int> order;
    int current;
  };
  const Case cases[] = {
      {"reverse", {1, 2}, ReverseOrderCommand, {4, 3, 2, 1}, 1},
      {"ping-pong", {1}, PingPongCommand, {1, 2, 3, 4, 3, 2}, 1},
      {"delete one", {3}, DeleteFramesCommand, {1, 2, 3}, 2},  // fell off the end: the last
      {"delete several", {0, 2}, DeleteFramesCommand, {2, 4}, -1},
      {"move", {0}, [](ShellState& s) { return MoveFramesCommand(s, 3); }, {2, 3, 1, 4}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Select(c.selected);
    uint32_t hints = c.run(state_);
    EXPECT_TRUE(hints & refresh::Document);
    EXPECT_EQ(FrameNumbers(Doc()), c.order);
    EXPECT_EQ(state_.currentFrame, c.current);
    EXPECT_TRUE(state_.modified);
    EXPECT_NE(Undo(Doc()), 0u);
    EXPECT_EQ(FrameNumbers(Doc()), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(CanUndoKind(), 0u);
  }
}

TEST_F(DocumentCommands, NothingToDoChangesNothing) {
  // One frame cannot be reversed or mirrored; no current frame, nothing to delete or move.
  state_.document = NumberedAnimation(1);
  EXPECT_EQ(ReverseOrderCommand(state_), 0u);
  EXPECT_EQ(PingPongCommand(state_), 0u);
  EXPECT_EQ(DeleteFramesCommand(state_), 0u);
  EXPECT_EQ(MoveFramesCommand(state_, 1), 0u);
  EXPECT_EQ(SetDisposalCommand(state_, 2), 0u);
  EXPECT_EQ(SetDelayCommand(state_, 5), 0u);
  // Moving a frame onto its own slot.
  Select({0});
  EXPECT_EQ(MoveFramesCommand(state_, 1), 0u);
  EXPECT_FALSE(state_.modified);
  EXPECT_EQ(CanUndoKind(), 0u);
  state_.document.reset();
  EXPECT_FALSE(PrepareOptimize(state_));
  EXPECT_EQ(AfterOptimize(state_), 0u);
  EXPECT_EQ(UnoptimizeCommand(state_), 0u);
  EXPECT_FALSE(SetLoopCountCommand(state_, 3));
  EXPECT_FALSE(ClearInterlacingCommand(state_));
}

TEST_F(DocumentCommands, FramePropertiesNameTheFrameToRedraw) {
  Select({2});
  Frame* f = FrameAt(Doc(), 2);
  uint32_t hints = SetDisposalCommand(state_, 3);
  EXPECT_EQ(f->Disposal(), 3);
  EXPECT_EQ(refresh::FrameIndexOf(hints), 2u);
  EXPECT_TRUE(hints & refresh::PropertiesFrame);
  Select({0});  // frames 0 and 2 now selected
  EXPECT_EQ(SetDelayCommand(state_, 42), refresh::Preview);
  EXPECT_EQ(FrameAt(Doc(), 0)->delay, 42u);
  EXPECT_EQ(f->delay, 42u);
  EXPECT_EQ(FrameAt(Doc(), 1)->delay, 10u);
  EXPECT_EQ(SetDelayCommand(state_, 42), 0u);  // the same again: no change
  EXPECT_TRUE(SetLoopCountCommand(state_, 9));
  EXPECT_FALSE(SetLoopCountCommand(state_, 9));
  EXPECT_EQ(Doc().playCount, 9u);
  EXPECT_TRUE(state_.modified);
}

// A run typed in one field is one step, and undoing it comes before any earlier step (a whole
// copy exchanged would take the typed values back unseen).
TEST_F(DocumentCommands, ATypedRunIsOneStepUndoneFirst) {
  Select({1});
  const uint32_t d0 = FrameAt(Doc(), 1)->delay, l0 = Doc().playCount;
  RecordUndo(undo::Unoptimize, Doc(), nullptr, nullptr, 0);
  UndoRun delays, loops;
  for (uint32_t typed : {4u, 45u, 450u}) SetDelayCommand(state_, typed, &delays);
  for (uint32_t typed : {1u, 12u}) SetLoopCountCommand(state_, typed, &loops);
  Undo(Doc());
  EXPECT_EQ(Doc().playCount, l0);
  EXPECT_EQ(FrameAt(Doc(), 1)->delay, 450u);
  Undo(Doc());
  EXPECT_EQ(FrameAt(Doc(), 1)->delay, d0);
  EXPECT_EQ(CanUndoKind(), undo::Unoptimize);
}

TEST_F(DocumentCommands, TrueColourDataComesAndGoesWithUndo) {
  Select({1});
  Frame* f = FrameAt(Doc(), 1);
  ASSERT_TRUE(f->rgbPlane.empty());
  EXPECT_NE(ToggleTrueColourCommand(state_) & refresh::OneFrame, 0u);
  EXPECT_FALSE(f->rgbPlane.empty());
  EXPECT_EQ(CanUndoKind(), undo::AddTrueColour);
  ToggleTrueColourCommand(state_);
  EXPECT_TRUE(f->rgbPlane.empty());
  EXPECT_EQ(CanUndoKind(), undo::DropTrueColour);
  Undo(Doc());
  EXPECT_FALSE(f->rgbPlane.empty());
}

TEST_F(DocumentCommands, UnoptimizeRebuildsFullFramesOrRefusesLocalPalettes) {
  AnimationPtr a = MakeDocument(6, 4);
  AddSolidFrame(*a, 0, 0, 6, 4, 1);
  AddSolidFrame(*a, 2, 1, 2, 2, 5, 0, 0);
  state_.document = std::move(a);
  uint32_t hints = UnoptimizeCommand(state_);
  EXPECT_TRUE(hints & refresh::Document);
  EXPECT_TRUE(state_.modified);
  Frame* second = FrameAt(Doc(), 1);
  EXPECT_EQ(second->width, 6u);
  EXPECT_EQ(second->left, 0);
  EXPECT_EQ(Pixel(second, 0, 0), 1);  // the first frame shows through
  EXPECT_EQ(Pixel(second, 2, 1), 5);
  EXPECT_EQ(CanUndoKind(), undo::Unoptimize);

  // A local palette: refused with a message, nothing recorded, not modified.
  ClearHistory();
  state_.modified = false;
  SetLocalPalette(FrameAt(Doc(), 0), RampPalette(4));
  EXPECT_EQ(UnoptimizeCommand(state_), 0u);
  EXPECT_FALSE(state_.modified);
  EXPECT_EQ(CanUndoKind(), 0u);
  EXPECT_EQ(DefaultHeadlessServices().Messages().size(), 1u);
}

TEST_F(DocumentCommands, ClearingInterlacingModifiesOnlyWhenAFlagGoes) {
  EXPECT_FALSE(ClearInterlacingCommand(state_));
  EXPECT_FALSE(state_.modified);
  SetInterlaced(FrameAt(Doc(), 3), true);
  EXPECT_TRUE(ClearInterlacingCommand(state_));
  EXPECT_FALSE(FrameAt(Doc(), 3)->Interlaced());
  EXPECT_TRUE(state_.modified);
}

TEST_F(DocumentCommands, ClosingForgetsTheOptimizersKeptData) {
  auto write = [this] {
    std::vector<uint8_t> bytes;
    ByteSink sink(&bytes);
    EXPECT_EQ(WriteGif(sink, Doc(), nullptr), GifWriteStatus::Done);
    sink.Flush();
    return bytes;
  };
  const std::vector<uint8_t> fake = {0x02, 0x01, 0x44, 0x00};
  std::vector<uint8_t> honest = write();
  // Bytes kept for a frame stand in for its encoding at the next write...
  KeepFrameData(FrameAt(Doc(), 0), std::vector<uint8_t>(fake));
  ASSERT_NE(write(), honest);
  // ...unless they were let go with the document.
  KeepFrameData(FrameAt(Doc(), 0), std::vector<uint8_t>(fake));
  ReleaseClosedDocumentMemory();
  EXPECT_EQ(write(), honest);
}

}  // namespace
}  // namespace lw
