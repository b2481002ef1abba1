// Every geometry command, undone and redone: undo gives back the document as it was before the
// command and redo the one after it, field by field and pixel by pixel.
#include "shell/geometry_commands.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/preferences.h"
#include "core/compose.h"
#include "core/support_animation.h"
#include "core/undo.h"
#include "edit/crop_move.h"
#include "edit/resize.h"
#include "shell/command_ids.h"

namespace lw {
namespace {

using testing_support::AddFrame;
using testing_support::AddSolidFrame;
using testing_support::MakeDocument;
using testing_support::SameAnimation;

class GeometryUndo : public ::testing::Test {
 protected:
  void SetUp() override {
    levels_ = GetPref(PrefUndoLevels);
    merge_ = GetPref(PrefPaletteMerge);
    SetPref(PrefUndoLevels, 20);
    SetPref(PrefPaletteMerge, 0x00880001);
    ClearHistory();
    // A wide frame near the right edge grows the screen when it turns on its own.
    doc_ = MakeDocument(9, 6);
    std::vector<uint8_t> p(54);
    for (int i = 0; i < 54; ++i) p[i] = static_cast<uint8_t>(i % 16);
    AddFrame(*doc_, 0, 0, 9, 6, p, DisposalLeave);
    Frame* wide =
        AddFrame(*doc_, 4, 3, 5, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, DisposalBackground, 3);
    wide->selected = 1;
    Frame* deep = AddFrame(*doc_, -1, 1, 2, 4, {9, 8, 7, 6, 5, 4, 3, 2}, DisposalPrevious);
    AddRgbPlane(deep);
    std::vector<uint8_t> alpha(IndexStride(2) * 4);  // rows padded with zeros
    for (int y = 0; y < 4; ++y) alpha[y * IndexStride(2)] = alpha[y * IndexStride(2) + 1] = 255;
    SetAlphaPlane(deep, alpha);
    deep->selected = 1;
    SetSelectedCount(*doc_, 2);
  }
  void TearDown() override {
    ClearHistory();
    SetPref(PrefUndoLevels, levels_);
    SetPref(PrefPaletteMerge, merge_);
  }

  // Runs the command, then undo, redo, undo; expects the kind recorded and the hints returned.
  void RoundTrip(const std::function<uint32_t()>& command, uint32_t kind, const char* what) {
    SCOPED_TRACE(what);
    AnimationPtr before = DuplicateAnimation(*doc_, nullptr);
    ASSERT_NE(command(), 0u);
    AnimationPtr after = DuplicateAnimation(*doc_, nullptr);
    EXPECT_FALSE(SameAnimation(*doc_, *before));
    ASSERT_EQ(CanUndoKind(), kind);
    EXPECT_NE(Undo(*doc_), 0u);
    EXPECT_TRUE(SameAnimation(*doc_, *before));
    EXPECT_NE(Redo(*doc_), 0u);
    EXPECT_TRUE(SameAnimation(*doc_, *after));
    Undo(*doc_);
    EXPECT_TRUE(SameAnimation(*doc_, *before));
    ClearHistory();
  }

  AnimationPtr doc_;
  uint32_t levels_ = 0, merge_ = 0;
};

TEST_F(GeometryUndo, EveryRotationOfTheFrameAndOfTheAnimation) {
  const int commands[] = {cmd::FrameRotate90Cw, cmd::FrameRotate180, cmd::FrameRotate90Ccw,
                          cmd::FrameFlipHorizontal, cmd::FrameFlipVertical};
  for (int command : commands) {
    for (int frame : {1, 2}) {
      RoundTrip([&] { return RunRotationCommand(*doc_, command, frame, nullptr); },
                undo::RotateFrame, std::to_string(command).c_str());
    }
    const int whole = command + cmd::AnimationRotateOffset;
    RoundTrip([&] { return RunRotationCommand(*doc_, whole, 0, nullptr); }, undo::RotateAllFrames,
              std::to_string(whole).c_str());
  }
  // The wide frame turned clockwise reaches row 3 + 5: the screen grows, and undo shrinks it.
  uint32_t hints = RunRotationCommand(*doc_, cmd::FrameRotate90Cw, 1, nullptr);
  EXPECT_TRUE(hints & refresh::ScreenSize);
  EXPECT_EQ(doc_->screenHeight, 8u);
  Undo(*doc_);
  EXPECT_EQ(doc_->screenHeight, 6u);
  EXPECT_EQ(RunRotationCommand(*doc_, cmd::Delete, 1, nullptr), 0u);  // not a rotation
}

TEST_F(GeometryUndo, ResizeMoveCropAndCrop) {
  RoundTrip(
      [&] {
        return ApplyResize({doc_.get(), 0, true, 9, 6, 5, 4, false}, false, nullptr);
      },
      undo::ResizeAnimation, "nearest");
  RoundTrip(
      [&] {
        return ApplyResize({doc_.get(), 0, true, 9, 6, 13, 7, false}, true, nullptr);
      },
      undo::ResizeAnimation, "bicubic");
  RoundTrip(
      [&] {
        return ApplyResize({doc_.get(), 1, false, 5, 2, 3, 1, true}, true, nullptr);
      },
      undo::ResizeAnimation, "bicubic, selected frames");
  RoundTrip(
      [&] {
        return MoveCropFrames(*doc_, 1, {3, 2, 5, 2, 9, 6, 1, 0, 4, 2});
      },
      undo::MoveCropFrames, "move and crop");
  RoundTrip([&] { return CropAnimation(*doc_, {1, 1, 7, 5}); }, undo::CropAnimation, "crop");
}

}  // namespace
}  // namespace lw
