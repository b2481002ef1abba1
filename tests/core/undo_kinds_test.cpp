// Every record kind: undo gives back the document exactly as it was before the command, redo
// exactly as the command left it (block by block, pixel by pixel). Rotations are checked through
// their commands in tests/shell.
#include "core/compose.h"
#include "core/undo.h"
#include "core_fixture.h"
#include "support/undo_check.h"

namespace lw::test {
namespace {

class UndoKinds : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SetPref(PrefUndoLevels, 20);
    ClearHistory();
    // A signature comment in front, five frames of different kinds, a comment at the end.
    doc_ = MakeDocument(6, 4);
    AddComment(*doc_, "Réalisé avec Loopwright");
    for (int i = 0; i < 5; ++i) {
      std::vector<uint8_t> pixels(6);
      for (int p = 0; p < 6; ++p) pixels[p] = static_cast<uint8_t>((i * 3 + p) % 16);
      Frame* f = AddFrame(*doc_, i % 3, i % 2, 3, 2, pixels, i % 4, i == 1 ? 2 : -1, 10 * (i + 1));
      SetFrameName(f, "cadre " + std::to_string(i + 1));
    }
    PalettePtr local = RampPalette(8);
    local->entries[1] = {200, 100, 50, 0};
    GiveLocalPalette(At(2), std::move(local));
    AddRgbPlane(At(3));
    AddComment(*doc_, "fin");
  }
  void TearDown() override {
    ClearHistory();
    CoreTest::TearDown();
  }
  Frame* At(int i) { return FrameAt(*doc_, i); }
  // Records kind with param, then changes the document.
  template <typename Change>
  ::testing::AssertionResult Restores(uint32_t kind, uint32_t param, Change change) {
    return UndoRedoRestores(*doc_, [&] {
      RecordUndo(kind, *doc_, nullptr, nullptr, param);
      change();
    });
  }
  AnimationPtr doc_;
};

TEST_F(UndoKinds, WholeDocumentKinds) {
  EXPECT_TRUE(Restores(undo::ReverseAnimation, 0, [&] { ReverseBlocks(*doc_); }));
  EXPECT_TRUE(Restores(undo::PingPong, 0, [&] { AppendPingPong(*doc_); }));
  EXPECT_TRUE(Restores(undo::CropAnimation, 0, [&] {
    doc_->screenWidth = doc_->screenHeight = 3;
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) ClipFrameToScreen(f, 3, 3);
  }));
  EXPECT_TRUE(Restores(undo::MergeAnimations, 0, [&] {
    doc_->screenWidth = 9;
    AddSolidFrame(*doc_, 0, 0, 9, 1, 3);
  }));
  for (uint32_t kind : {undo::Unoptimize, undo::ReducePalette, undo::ReduceFrameCount,
                        undo::ResizeAnimation, undo::FixForAvi}) {
    EXPECT_TRUE(Restores(kind, 0, [&] {
      doc_->playCount += 3;
      At(0)->bits()[0] ^= 1;
    })) << kind;
  }
  // The optimizer hands in the old document after the exchange.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    AnimationPtr work = DuplicateAnimation(*doc_, nullptr);
    UnlinkAndFreeBlock(FrameAt(*work, 4));
    --work->frameCount;
    SwapAnimations(*doc_, *work);
    RecordUndo(undo::Optimize, *doc_, std::move(work), nullptr, 0);
  }));
}

TEST_F(UndoKinds, MovingDeletingAndInsertingFrames) {
  // Frame 0 dragged before frame 3 lands at 2; frame 4 before frame 0.
  EXPECT_TRUE(Restores(undo::MoveFrame, 0 | 3 << 16,
                       [&] { LinkFrameAt(*doc_, UnlinkFrameAt(*doc_, 0), 2); }));
  EXPECT_TRUE(Restores(undo::MoveFrame, 4 | 0 << 16,
                       [&] { LinkFrameAt(*doc_, UnlinkFrameAt(*doc_, 4), 0); }));
  // Frames 0 and 3 dragged together; the first of them lands at 2.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    RecordUndo(undo::MoveFrames, *doc_, nullptr, nullptr, 2 | 2 << 16, {0, 3});
    Frame* a = At(0);
    Frame* b = At(3);
    UnlinkFrameAt(*doc_, 3);
    UnlinkFrameAt(*doc_, 0);
    LinkFrameAt(*doc_, a, 2);
    LinkFrameAt(*doc_, b, 3);
  }));
  // One frame, the first: the signature comment stays in front when it comes back.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    Frame* removed = UnlinkFrameAt(*doc_, 0);
    --doc_->frameCount;
    RecordUndo(undo::DeleteFrame, *doc_, nullptr, removed, 0);
  }));
  // Frames 2 and 4 of the four left, in one step, come back at 2 and 4.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    Frame* a = At(1);
    Frame* b = At(3);
    a->savedIndex = 1;
    b->savedIndex = 3;
    UnlinkFrameAt(*doc_, 3);
    UnlinkFrameAt(*doc_, 1);
    LinkBlocks(a, b);
    doc_->frameCount -= 2;
    RecordUndo(undo::DeleteFrames, *doc_, nullptr, a, 0);
  }));
  // An insertion that keeps the palette and size; a paste that changes the global palette.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    UndoRecord* prepared = PrepareUndo(undo::InsertFrames, *doc_, 2);
    for (int i = 0; i < 2; ++i) {
      AnimationPtr source = MakeDocument(6, 4);
      AddSolidFrame(*source, 1, 1, 2, 2, static_cast<uint8_t>(7 + i));
      Frame* f = UnlinkFrameAt(*source, 0);
      f->palette = doc_->globalPalette.get();
      UpdateDibColourTable(f);
      LinkFrameAt(*doc_, f, 2 + i);
      ++doc_->frameCount;
    }
    return CommitInsertUndo(prepared, *doc_) != nullptr;
  }));
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    UndoRecord* prepared = PrepareUndo(undo::Paste, *doc_, 0);
    SetGlobalPalette(*doc_, RampPalette(32));
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) UpdateDibColourTable(f);
    AddSolidFrame(*doc_, 0, 0, 1, 1, 31);
    return CommitInsertUndo(prepared, *doc_) != nullptr;
  }));
}

TEST_F(UndoKinds, DelaysTransparencyAndPalettes) {
  EXPECT_TRUE(Restores(undo::EditDurations, 0, [&] {
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) f->delay = 7;
  }));
  // The flag alone, either way; then with a copy of the frame.
  EXPECT_TRUE(Restores(undo::EditTransparency, 0 << 16 | 1, [&] { SetTransparency(At(0), true); }));
  EXPECT_TRUE(
      Restores(undo::EditTransparency, 1 << 16 | 0, [&] { SetTransparency(At(1), false); }));
  EXPECT_TRUE(
      Restores(undo::EditTransparency, 1 << 16 | 2, [&] { SetTransparentIndex(At(1), 4); }));
  // The global palette, growing from 16 to 32 entries; a local palette.
  EXPECT_TRUE(Restores(undo::EditPalette, 0xFFFFFFFFu, [&] {
    Palette* p = doc_->globalPalette.get();
    p->entries[3] = {1, 2, 3, 0};
    p->entries.resize(32);
    doc_->screenFlags = static_cast<uint8_t>((doc_->screenFlags & ~7) | 4);
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f))
      if (!f->localPalette) UpdateDibColourTable(f);
  }));
  EXPECT_TRUE(Restores(undo::EditPalette, 2, [&] {
    At(2)->localPalette->entries[5] = {9, 9, 9, 0};
    UpdateDibColourTable(At(2));
  }));
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    UndoRecord* prepared = PrepareUndo(undo::RemoveLocalPalette, *doc_, 2);
    SetLocalPalette(At(2), nullptr);
    At(2)->palette = doc_->globalPalette.get();
    UpdateDibColourTable(At(2));
    return CommitPaletteUndo(prepared, *doc_) != nullptr;
  }));
}

// Each comment goes back to its own place among the other blocks.
TEST_F(UndoKinds, AnimationSettingsAndComments) {
  EXPECT_TRUE(Restores(undo::AnimationProperties, 0, [&] {
    doc_->playCount = 7;
    doc_->backgroundIndex = 5;
    doc_->screenWidth = 40;
  }));
  auto commentAfter = [](Block* at, const std::string& text) {
    Block* c = NewBlock(BlockKind::Comment, 0);
    SetCommentText(c, text);
    InsertBlockAfter(at, c);
  };
  EXPECT_TRUE(Restores(undo::EditComments, 0, [&] {
    // Two new ones between frames 1 and 2, one before the first frame, the first comment
    // edited and the last one gone.
    commentAfter(At(1), "deux");
    commentAfter(At(1), "un");
    commentAfter(doc_->blocks->next, "avant");
    SetCommentText(doc_->blocks->next, "Modifié");
    UnlinkAndFreeBlock(LastBlock(*doc_));
  }));
  EXPECT_TRUE(Restores(undo::EditComments, 0, [&] {
    for (Block* b = doc_->blocks->next; b;) {
      Block* next = b->next;
      if (b->kind == BlockKind::Comment) UnlinkAndFreeBlock(b);
      b = next;
    }
  }));
}

TEST_F(UndoKinds, FrameImagesAndProperties) {
  EXPECT_TRUE(Restores(undo::EditPixels, 2, [&] { At(2)->bits()[1] ^= 8; }));
  EXPECT_TRUE(Restores(undo::CoEditFrame, 4,
                       [&] { SetFrameDib(At(4), BuildDib(3, 2, doc_->globalPalette.get())); }));
  EXPECT_TRUE(Restores(undo::DropTrueColour, 3, [&] { FreeRgbPlane(At(3)); }));
  EXPECT_TRUE(Restores(undo::AddTrueColour, 1, [&] { AddRgbPlane(At(1)); }));
  // Attributes only; then the image too, with its size.
  EXPECT_TRUE(Restores(undo::FrameProperties, 1 << 16 | 0, [&] {
    Frame* f = At(1);
    f->delay = 99;
    SetInterlaced(f, true);
    SetDisposal(f, 3);
    SetFrameName(f, "autre");
    f->left = 5;
    f->top = -2;
    SetTransparency(f, false);
  }));
  EXPECT_TRUE(Restores(undo::FrameProperties, 2 << 16 | 1, [&] {
    Frame* f = At(2);
    CropFrame(f, 1, 0, 2, 2);
    f->delay = 1;
    SetFrameName(f, "");
    SetTransparentIndex(f, 3);
    SetTransparency(f, true);
  }));
  // Every frame's attributes, then every frame's image.
  EXPECT_TRUE(Restores(undo::GlobalFrameProperties, 0, [&] {
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) {
      f->delay += 5;
      SetDisposal(f, 2);
      SetTransparency(f, true);
    }
  }));
  EXPECT_TRUE(Restores(undo::GlobalFrameProperties, 1, [&] {
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) {
      f->bits()[0] = 15;
      RebuildTransparencyMask(f);
    }
  }));
  // The selected frames moved and cropped: two, then one.
  At(0)->selected = At(2)->selected = 1;
  doc_->selectedCount = 2;
  doc_->anchorIndex = 0;
  EXPECT_TRUE(Restores(undo::MoveCropFrames, 0, [&] {
    CropFrame(At(0), 1, 0, 2, 1);
    CropFrame(At(2), 0, 1, 3, 1);
    At(2)->left += 2;
  }));
  At(0)->selected = 0;
  doc_->selectedCount = 1;
  doc_->anchorIndex = 2;
  EXPECT_TRUE(Restores(undo::MoveCropFrames, 0, [&] { At(2)->top += 1; }));
}

}  // namespace
}  // namespace lw::test
