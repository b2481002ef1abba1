// Every record kind: undo gives back the document as it was before the command, redo the one
// after it, compared block by block and pixel by pixel, with the refresh hints of the kind.
#include <gtest/gtest.h>

#include <functional>

#include "base/preferences.h"
#include "core/compose.h"
#include "core/turn.h"
#include "core/undo.h"
#include "shell/command_ids.h"
#include "support_animation.h"

namespace lw {
namespace {

using testing_support::AddComment;
using testing_support::AddFrame;
using testing_support::AddSolidFrame;
using testing_support::MakeDocument;
using testing_support::Pixels;
using testing_support::RampPalette;
using testing_support::SameAnimation;

AnimationPtr Dup(const Animation& a) { return DuplicateAnimation(a, nullptr); }

class UndoKindsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    levels_ = GetPref(PrefUndoLevels);
    SetPref(PrefUndoLevels, 20);
    ClearHistory();
    // A signature comment in front, five frames of different kinds, a comment at the end.
    doc_ = MakeDocument(6, 4);
    AddComment(*doc_, "Réalisé avec Loopwright");
    for (int i = 0; i < 5; ++i) {
      std::vector<uint8_t> pixels(6);
      for (int p = 0; p < 6; ++p) pixels[p] = static_cast<uint8_t>((i * 3 + p) % 16);
      Frame* f = AddFrame(*doc_, i % 3, i % 2, 3, 2, pixels, i % 4, i == 1 ? 2 : -1);
      f->delay = 10 * (i + 1);
      SetFrameName(f, "cadre " + std::to_string(i + 1));
    }
    Frame* local = FrameAt(*doc_, 2);
    SetLocalPalette(local, RampPalette(8));
    local->localPalette->entries[1] = {200, 100, 50, 0};
    UpdateDibColourTable(local);
    AddRgbPlane(FrameAt(*doc_, 3));
    AddComment(*doc_, "fin");
  }
  void TearDown() override {
    ClearHistory();
    SetPref(PrefUndoLevels, levels_);
  }

  // Runs edit (record and command), then undo, redo, undo, redo; returns the undo hints.
  uint32_t RoundTrip(const std::function<void()>& edit, uint32_t* redoHints = nullptr,
                     int line = __builtin_LINE()) {
    SCOPED_TRACE(line);
    AnimationPtr before = Dup(*doc_);
    edit();
    AnimationPtr after = Dup(*doc_);
    EXPECT_TRUE(History().cursor);
    EXPECT_FALSE(SameAnimation(*before, *after)) << "the command changed nothing";
    uint32_t hints = Undo(*doc_);
    EXPECT_TRUE(SameAnimation(*doc_, *before)) << "after undo";
    uint32_t again = Redo(*doc_);
    EXPECT_TRUE(SameAnimation(*doc_, *after)) << "after redo";
    EXPECT_EQ(Undo(*doc_), hints);
    EXPECT_TRUE(SameAnimation(*doc_, *before)) << "after the second undo";
    Redo(*doc_);
    EXPECT_TRUE(SameAnimation(*doc_, *after)) << "after the second redo";
    if (redoHints) *redoHints = again;
    return hints;
  }

  Frame* At(int i) { return FrameAt(*doc_, i); }

  uint32_t levels_ = 0;
  AnimationPtr doc_;
};

TEST_F(UndoKindsTest, ReversePingPongAndWholeCopies) {
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::ReverseAnimation, *doc_, nullptr, nullptr, 0);
              ReverseBlocks(*doc_);
            }),
            refresh::Document | refresh::Names);
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::PingPong, *doc_, nullptr, nullptr, 0);
              AppendPingPong(*doc_);
            }),
            refresh::Document | refresh::FrameCount | refresh::Encoding);
  // The optimizer hands in the old document after the exchange.
  EXPECT_EQ(RoundTrip([&] {
              AnimationPtr work = Dup(*doc_);
              UnlinkAndFreeBlock(FrameAt(*work, 4));
              --work->frameCount;
              SwapAnimations(*doc_, *work);
              RecordUndo(undo::Optimize, *doc_, std::move(work), nullptr, 0);
            }),
            refresh::Document | refresh::FrameCount);
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::CropAnimation, *doc_, nullptr, nullptr, 0);
              doc_->screenWidth = doc_->screenHeight = 3;
              for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) ClipFrameToScreen(f, 3, 3);
            }),
            refresh::Document | refresh::ScreenSize);
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::MergeAnimations, *doc_, nullptr, nullptr, 0);
              doc_->screenWidth = 9;
              AddSolidFrame(*doc_, 0, 0, 9, 1, 3);
            }),
            refresh::Document | refresh::FrameCount | refresh::ScreenSize);
  struct {
    uint32_t kind, hints;
  } copies[] = {
      {undo::Unoptimize, refresh::Document},
      {undo::ReducePalette, refresh::Document},
      {undo::ReduceFrameCount, refresh::Document | refresh::FrameCount | refresh::Encoding},
      {undo::ResizeAnimation, refresh::Document | refresh::ScreenSize},
      {undo::FixForAvi, refresh::Document}};
  for (auto c : copies) {
    EXPECT_EQ(RoundTrip([&] {
                RecordUndo(c.kind, *doc_, nullptr, nullptr, 0);
                doc_->playCount += 3;
                At(0)->bits()[0] ^= 1;
              }),
              c.hints)
        << c.kind;
  }
}

TEST_F(UndoKindsTest, MovingFrames) {
  // Frame 0 dragged before frame 3: it lands at 2.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::MoveFrame, *doc_, nullptr, nullptr, 0 | 3 << 16);
              LinkFrameAt(*doc_, UnlinkFrameAt(*doc_, 0), 2);
            }),
            refresh::Document | refresh::Names);
  // Frame 4 dragged before frame 0.
  RoundTrip([&] {
    RecordUndo(undo::MoveFrame, *doc_, nullptr, nullptr, 4 | 0 << 16);
    LinkFrameAt(*doc_, UnlinkFrameAt(*doc_, 4), 0);
  });
  // Frames 0 and 3 dragged together; the first of them lands at 2.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::MoveFrames, *doc_, nullptr, nullptr, 2 | 2 << 16, {0, 3});
              Frame* a = At(0);
              Frame* b = At(3);
              UnlinkFrameAt(*doc_, 3);
              UnlinkFrameAt(*doc_, 0);
              LinkFrameAt(*doc_, a, 2);
              LinkFrameAt(*doc_, b, 3);
            }),
            refresh::Document | refresh::Names);
  EXPECT_EQ(FrameName(At(2)), "cadre 5");
  EXPECT_EQ(FrameName(At(3)), "cadre 1");
}

TEST_F(UndoKindsTest, DeletingAndInsertingFrames) {
  // One frame, the first: the signature comment stays in front when it comes back.
  EXPECT_EQ(RoundTrip([&] {
              Frame* removed = UnlinkFrameAt(*doc_, 0);
              --doc_->frameCount;
              RecordUndo(undo::DeleteFrame, *doc_, nullptr, removed, 0);
            }),
            refresh::Document | refresh::FrameCount | refresh::Encoding);
  EXPECT_EQ(doc_->blocks->next->kind, BlockKind::Comment);

  // Frames 2 and 4 of the four left in one step come back at 2 and 4.
  EXPECT_EQ(RoundTrip([&] {
              Frame* a = At(1);
              Frame* b = At(3);
              a->savedIndex = 1;
              b->savedIndex = 3;
              UnlinkFrameAt(*doc_, 3);
              UnlinkFrameAt(*doc_, 1);
              LinkBlocks(a, b);
              doc_->frameCount -= 2;
              RecordUndo(undo::DeleteFrames, *doc_, nullptr, a, 0);
            }),
            refresh::Document | refresh::FrameCount | refresh::Encoding);

  // An insertion that keeps the palette and size stores the index and count only.
  UndoRecord* committed = nullptr;
  EXPECT_EQ(RoundTrip([&] {
              UndoRecord* prepared = PrepareUndo(undo::InsertFrames, *doc_, 2);
              ASSERT_TRUE(prepared);
              for (int i = 0; i < 2; ++i) {
                AnimationPtr source = MakeDocument(6, 4);
                AddSolidFrame(*source, 1, 1, 2, 2, static_cast<uint8_t>(7 + i));
                Frame* f = UnlinkFrameAt(*source, 0);
                f->palette = doc_->globalPalette.get();
                UpdateDibColourTable(f);
                LinkFrameAt(*doc_, f, 2 + i);
                ++doc_->frameCount;
              }
              committed = CommitInsertUndo(prepared, *doc_);
            }),
            refresh::Document | refresh::FrameCount | refresh::Encoding);
  ASSERT_TRUE(committed);
  EXPECT_FALSE(committed->documentCopy);
  EXPECT_EQ(committed->param, 2u | 2u << 16);

  // A paste that changes the global palette keeps the whole copy.
  EXPECT_EQ(RoundTrip([&] {
              UndoRecord* prepared = PrepareUndo(undo::Paste, *doc_, 0);
              PalettePtr palette = RampPalette(32);
              SetGlobalPalette(*doc_, std::move(palette));
              for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) UpdateDibColourTable(f);
              AddSolidFrame(*doc_, 0, 0, 1, 1, 31);
              committed = CommitInsertUndo(prepared, *doc_);
            }),
            refresh::Document | refresh::FrameCount | refresh::ScreenSize);
  ASSERT_TRUE(committed);
  EXPECT_TRUE(committed->documentCopy);
}

TEST_F(UndoKindsTest, DelaysTransparencyAndPalettes) {
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::EditDurations, *doc_, nullptr, nullptr, 0);
              for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) f->delay = 7;
            }),
            refresh::PropertiesFrame | refresh::Preview);

  // The flag alone: undoing and redoing the toggle returns to the same state.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::EditTransparency, *doc_, nullptr, nullptr, 0 << 16 | 1);
              SetTransparency(At(0), true);
            }),
            refresh::OneFrame | refresh::PropertiesFrame);
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::EditTransparency, *doc_, nullptr, nullptr, 1 << 16 | 0);
              SetTransparency(At(1), false);
            }),
            refresh::ForFrame(refresh::OneFrame | refresh::PropertiesFrame, 1));
  // With a copy of the frame.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::EditTransparency, *doc_, nullptr, nullptr, 1 << 16 | 2);
              SetTransparentIndex(At(1), 4);
            }),
            refresh::ForFrame(refresh::Encoding | refresh::OneFrame | refresh::PropertiesFrame, 1));

  // The global palette, growing from 16 to 32 entries.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::EditPalette, *doc_, nullptr, nullptr, 0xFFFFFFFFu);
              Palette* p = doc_->globalPalette.get();
              p->entries[3] = {1, 2, 3, 0};
              p->entries.resize(32);
              doc_->screenFlags = static_cast<uint8_t>((doc_->screenFlags & ~7) | 4);
              for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) {
                if (!f->localPalette) UpdateDibColourTable(f);
              }
            }),
            refresh::Document);
  // A local palette.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::EditPalette, *doc_, nullptr, nullptr, 2);
              At(2)->localPalette->entries[5] = {9, 9, 9, 0};
              UpdateDibColourTable(At(2));
            }),
            refresh::ForFrame(refresh::OneFrame, 2));

  // Removing the local palette keeps the old frame only, the global palette being the same.
  UndoRecord* committed = nullptr;
  EXPECT_EQ(RoundTrip([&] {
              UndoRecord* prepared = PrepareUndo(undo::RemoveLocalPalette, *doc_, 2);
              SetLocalPalette(At(2), nullptr);
              At(2)->palette = doc_->globalPalette.get();
              UpdateDibColourTable(At(2));
              committed = CommitPaletteUndo(prepared, *doc_);
            }),
            refresh::ForFrame(refresh::Encoding | refresh::OneFrame | refresh::PropertiesFrame, 2));
  ASSERT_TRUE(committed);
  EXPECT_FALSE(committed->documentCopy);
  EXPECT_TRUE(committed->frames);
}

// The animation's settings and its comments: four numbers and a few short texts, kept without
// any frame; each comment goes back to its own place among the other blocks.
TEST_F(UndoKindsTest, AnimationSettingsAndComments) {
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::AnimationProperties, *doc_, nullptr, nullptr, 0);
              doc_->playCount = 7;
              doc_->backgroundIndex = 5;
            }),
            refresh::Document | refresh::Encoding);
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::AnimationProperties, *doc_, nullptr, nullptr, 0);
              doc_->screenWidth = 40;
            }),
            refresh::Document | refresh::Encoding | refresh::ScreenSize);

  auto commentAfter = [](Block* at, const std::string& text) {
    Block* c = NewBlock(BlockKind::Comment, 0);
    SetCommentText(c, text);
    InsertBlockAfter(at, c);
  };
  EXPECT_EQ(RoundTrip([&] {
              UndoRecord* r = RecordUndo(undo::EditComments, *doc_, nullptr, nullptr, 0);
              ASSERT_TRUE(r);
              EXPECT_FALSE(FirstFrame(*r->documentCopy));
              // Two new ones between frames 1 and 2, one before the first frame, the first
              // comment edited and the last one gone.
              commentAfter(At(1), "deux");
              commentAfter(At(1), "un");
              commentAfter(doc_->blocks->next, "avant");
              SetCommentText(doc_->blocks->next, "Modifié");
              UnlinkAndFreeBlock(LastBlock(*doc_));
            }),
            refresh::Document | refresh::Encoding);
  // All comments gone, then back.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::EditComments, *doc_, nullptr, nullptr, 0);
              for (Block* b = doc_->blocks->next; b;) {
                Block* next = b->next;
                if (b->kind == BlockKind::Comment) UnlinkAndFreeBlock(b);
                b = next;
              }
            }),
            refresh::Document | refresh::Encoding);
}

TEST_F(UndoKindsTest, FrameImagesAndProperties) {
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::EditPixels, *doc_, nullptr, nullptr, 2);
              At(2)->bits()[1] ^= 8;
            }),
            refresh::ForFrame(refresh::Encoding | refresh::OneFrame, 2));
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::CoEditFrame, *doc_, nullptr, nullptr, 4);
              SetFrameDib(At(4), BuildDib(3, 2, doc_->globalPalette.get()));
            }),
            refresh::ForFrame(refresh::Encoding | refresh::OneFrame, 4));
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::DropTrueColour, *doc_, nullptr, nullptr, 3);
              FreeRgbPlane(At(3));
            }),
            refresh::ForFrame(refresh::OneFrame | refresh::PropertiesFrame, 3));
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::AddTrueColour, *doc_, nullptr, nullptr, 1);
              AddRgbPlane(At(1));
            }),
            refresh::ForFrame(refresh::OneFrame | refresh::PropertiesFrame, 1));

  // Attributes only: delay, interlace, disposal, name, position and the transparency flag.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::FrameProperties, *doc_, nullptr, nullptr, 1 << 16 | 0);
              Frame* f = At(1);
              f->delay = 99;
              SetInterlaced(f, true);
              SetDisposal(f, 3);
              SetFrameName(f, "autre");
              f->left = 5;
              f->top = -2;
              SetTransparency(f, false);
            }),
            refresh::ForFrame(refresh::Encoding | refresh::OneFrame | refresh::PropertiesFrame, 1));
  // The image too, here with its size.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::FrameProperties, *doc_, nullptr, nullptr, 2 << 16 | 1);
              Frame* f = At(2);
              CropFrame(f, 1, 0, 2, 2);
              f->delay = 1;
              SetFrameName(f, "");
              SetTransparentIndex(f, 3);
              SetTransparency(f, true);
            }),
            refresh::ForFrame(refresh::Encoding | refresh::OneFrame | refresh::PropertiesFrame, 2));

  // Every frame's attributes, then every frame's image.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::GlobalFrameProperties, *doc_, nullptr, nullptr, 0);
              for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) {
                f->delay += 5;
                SetDisposal(f, 2);
                SetTransparency(f, true);
              }
            }),
            refresh::Document);
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::GlobalFrameProperties, *doc_, nullptr, nullptr, 1);
              for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) {
                f->bits()[0] = 15;
                RebuildTransparencyMask(f);
              }
            }),
            refresh::Document | refresh::Encoding);
}

TEST_F(UndoKindsTest, MovingAndCroppingSelectedFrames) {
  At(0)->selected = 1;
  At(2)->selected = 1;
  doc_->selectedCount = 2;
  doc_->anchorIndex = 0;
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::MoveCropFrames, *doc_, nullptr, nullptr, 0);
              CropFrame(At(0), 1, 0, 2, 1);
              CropFrame(At(2), 0, 1, 3, 1);
              At(2)->left += 2;
            }),
            refresh::Document | refresh::Encoding);
  At(0)->selected = 0;
  doc_->selectedCount = 1;
  doc_->anchorIndex = 2;
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::MoveCropFrames, *doc_, nullptr, nullptr, 0);
              At(2)->top += 1;
            }),
            refresh::ForFrame(refresh::OneFrame, 2));
}

// Rotation records name their turn by command id; core replays them, the inverse on undo.
TEST_F(UndoKindsTest, RotationsReplayTheRecordedTurns) {
  uint32_t redoHints = 0;
  // Turning one frame clockwise grows the screen, which the record puts back.
  EXPECT_EQ(RoundTrip(
                [&] {
                  RecordUndo(undo::RotateFrame, *doc_, nullptr, nullptr,
                             cmd::FrameRotate90Cw | 1 << 16);
                  ASSERT_TRUE(TurnFrame(At(1), FrameTurn::Clockwise));
                  doc_->screenHeight = 7;
                },
                &redoHints),
            refresh::ForFrame(refresh::Document | refresh::ScreenSize | refresh::Encoding, 1));
  EXPECT_EQ(redoHints,
            refresh::ForFrame(refresh::Document | refresh::ScreenSize | refresh::Encoding, 1));
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::RotateFrame, *doc_, nullptr, nullptr,
                         cmd::FrameFlipVertical | 3 << 16);
              ASSERT_TRUE(TurnFrame(At(3), FrameTurn::MirrorTopBottom));
            }),
            refresh::ForFrame(refresh::OneFrame | refresh::Encoding, 3));
  // The animation's ids are a series of their own.
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::RotateAllFrames, *doc_, nullptr, nullptr, cmd::AnimationRotate90Ccw);
              ASSERT_TRUE(TurnAnimation(*doc_, FrameTurn::CounterClockwise, nullptr));
            }),
            refresh::Document | refresh::ScreenSize | refresh::Encoding);
  EXPECT_EQ(RoundTrip([&] {
              RecordUndo(undo::RotateAllFrames, *doc_, nullptr, nullptr,
                         cmd::AnimationFlipHorizontal);
              ASSERT_TRUE(TurnAnimation(*doc_, FrameTurn::MirrorLeftRight, nullptr));
            }),
            refresh::Document | refresh::ScreenSize | refresh::Encoding);
  // Ids between and beyond the two series turn nothing.
  for (int id : {cmd::FrameRotate90Cw - 1, cmd::FrameFlipVertical + 1, cmd::AnimationRotate90Cw - 1,
                 cmd::AnimationFlipVertical + 1}) {
    EXPECT_FALSE(TurnOfRecordedCommand(id)) << id;
  }
  EXPECT_EQ(TurnOfRecordedCommand(cmd::AnimationFlipVertical), FrameTurn::MirrorTopBottom);
}

}  // namespace
}  // namespace lw
