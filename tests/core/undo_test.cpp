// The undo history: depth, redo tail, memory, menu texts and steps; and every record kind, whose
// undo gives back the document exactly and redo the command's result exactly.

#include "core/undo.h"

#include "core/compose.h"
#include "core/document_listener.h"
#include "core_fixture.h"
#include "support/undo_check.h"

namespace lw::test {
namespace {

class UndoHistoryTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SetUndoLimit(20);
    ClearHistory();
    doc_ = NumberedAnimation(3);
  }
  void TearDown() override {
    ClearHistory();
    SetUndoLimit(20);
    FailNextUndoCopies(0);
    CoreTest::TearDown();
  }
  UndoRecord* Mark(uint32_t marker) {
    FirstFrame(*doc_)->delay = marker;
    return RecordUndo(UndoKind::EditDurations, *doc_);
  }
  UndoRecord* Whole(UndoKind kind) { return RecordUndo(kind, *doc_); }
  // The markers from the oldest record, then the first delay.
  std::vector<uint32_t> Markers() {
    std::vector<uint32_t> out;
    for (UndoRecord* r = History().oldest; r; r = r->newer)
      out.push_back(std::get<undo::Delays>(r->payload).delays[0]);
    out.push_back(FirstFrame(*doc_)->delay);
    return out;
  }
  size_t Messages() { return services_.Messages().size(); }
  AnimationPtr doc_;
};

TEST_F(UndoHistoryTest, DepthCursorAndRedoTail) {
  SetUndoLimit(3);
  for (uint32_t i = 1; i <= 4; ++i) ASSERT_TRUE(Mark(i));
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{2, 3, 4, 4})) << "the oldest dropped";
  EXPECT_EQ(History().count, 3u);
  EXPECT_EQ(History().oldest->older, nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_NE(Undo(*doc_), 0u);
  EXPECT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(Markers().back(), 2u);
  for (int i = 0; i < 3; ++i) EXPECT_NE(Redo(*doc_), 0u);
  EXPECT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(Markers().back(), 4u);
  // A new record drops what could be redone; with everything undone it replaces the list.
  Undo(*doc_);
  Undo(*doc_);
  Mark(7);
  EXPECT_EQ(CanRedoKind(), UndoKind::None);
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{2, 7, 7}));
  Undo(*doc_);
  Undo(*doc_);
  EXPECT_EQ(History().cursor, nullptr);
  Mark(8);
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{8, 8}));
  EXPECT_EQ(History().count, 1u);

  // Undo off records nothing and frees what it was handed (the leak checker watches).
  SetUndoLimit(0);
  ClearHistory();
  EXPECT_EQ(
      RecordUndo(UndoKind::Optimize, *doc_, undo::WholeCopy{DuplicateAnimation(*doc_, nullptr)}),
      nullptr);
  Frame* removed = UnlinkFrameAt(*doc_, 0);
  --doc_->frameCount;
  EXPECT_EQ(
      RecordUndo(UndoKind::DeleteFrame, *doc_, undo::RemovedFrames(undo::FrameChain(removed))),
      nullptr);
  EXPECT_EQ(PrepareUndo(UndoKind::InsertFrames, *doc_, 0), nullptr);
  EXPECT_EQ(History().count, 0u);
}

TEST_F(UndoHistoryTest, ShortMemoryDropsOldRecordsWarningOnce) {
  Mark(1);
  ASSERT_TRUE(Whole(UndoKind::PingPong));
  Mark(3);
  // One failed copy: the oldest record goes and the copy is retried.
  FailNextUndoCopies(1);
  ASSERT_TRUE(Whole(UndoKind::Unoptimize));
  EXPECT_EQ(History().count, 3u);
  EXPECT_EQ(History().oldest->kind, UndoKind::PingPong);
  ASSERT_EQ(Messages(), 1u);
  // No copy to be had: every record goes, none is made, and no second warning until cleared.
  FailNextUndoCopies(100);
  EXPECT_EQ(Whole(UndoKind::CropAnimation), nullptr);
  FailNextUndoCopies(0);
  EXPECT_TRUE(History().count == 0 && !History().cursor && Messages() == 1);
  ClearHistory();
  FailNextUndoCopies(1);
  EXPECT_EQ(Whole(UndoKind::CropAnimation), nullptr);
  EXPECT_EQ(Messages(), 2u);
}

TEST_F(UndoHistoryTest, MenuTextsFollowTheCursor) {
  const int before = services_.UndoHistoryChanges();
  auto menu = [] {
    UndoMenuState m = UpdateUndoMenu();
    return std::vector<std::string>{m.undoText, m.redoText, m.undoEnabled ? "on" : "off",
                                    m.redoEnabled ? "on" : "off"};
  };
  EXPECT_EQ(menu(), (std::vector<std::string>{"Impossible d'annuler\tCtrl-Z",
                                              "Impossible de refaire\tCtrl-Y", "off", "off"}));
  Whole(UndoKind::ReverseAnimation), Whole(UndoKind::PingPong), Undo(*doc_);
  EXPECT_EQ(menu(),
            (std::vector<std::string>{"&Annuler Inverser l'animation\tCtrl-Z",
                                      "&Refaire Animation Ping Pong \tCtrl-Y", "on", "on"}));
  EXPECT_EQ(services_.UndoHistoryChanges() - before, 3);
  EXPECT_EQ(UndoKindName(static_cast<UndoKind>(99)), "");
  EXPECT_EQ(RecordUndo(static_cast<UndoKind>(7), *doc_), nullptr) << "kind 7 does not exist";
}

// A payload is typed by its kind: one of another kind is refused whole, nothing recorded and what
// it held freed (the leak checker watches), rather than read as this kind's fields.
TEST_F(UndoHistoryTest, APayloadOfAnotherKindIsRefused) {
  UndoRecord* kept = Mark(1);
  Frame* removed = UnlinkFrameAt(*doc_, 0);
  --doc_->frameCount;
  EXPECT_EQ(RecordUndo(UndoKind::EditPixels, *doc_, undo::RemovedFrames(undo::FrameChain(removed))),
            nullptr);
  EXPECT_EQ(RecordUndo(UndoKind::MoveFrame, *doc_, undo::FrameImage(0)), nullptr);
  { UndoStep step(UndoStep::Restore, UndoKind::PingPong, *doc_, undo::Delays{}); }
  EXPECT_TRUE(History().cursor == kept && History().count == 1);
  // Handed nothing, a kind starts from its own empty payload and fills it.
  ASSERT_TRUE(RecordUndo(UndoKind::EditPixels, *doc_));
  EXPECT_NE(std::get<undo::FrameImage>(History().cursor->payload).frame, nullptr);
}

// A command that fails after recording, as the commands write it: the step withdraws on return.
TEST_F(UndoHistoryTest, WithdrawnCommittedAndNeutralizedSteps) {
  UndoRecord* first = Mark(1);
  UndoRecord* second = Mark(2);
  AnimationPtr original = DuplicateAnimation(*doc_, nullptr);
  const int notices = services_.UndoHistoryChanges();
  // Failing before any change, then half-way: the entry puts back what changed and goes.
  for (UndoStep::Withdrawal how : {UndoStep::Discard, UndoStep::Restore}) {
    {
      UndoStep step(how, UndoKind::ReverseAnimation, *doc_);
      ASSERT_TRUE(step.Record());
      if (how == UndoStep::Restore) ReverseBlocks(*doc_);
    }
    EXPECT_TRUE(History().cursor == second && CanRedoKind() == UndoKind::None);
    EXPECT_EQ(Markers(), (std::vector<uint32_t>{1, 2, 2}));
    EXPECT_TRUE(SameAnimation(*doc_, *original));
  }
  EXPECT_EQ(services_.UndoHistoryChanges() - notices, 4) << "the menu follows each change";

  // Another entry recorded since: withdrawing neither undoes it nor applies itself over it.
  {
    UndoStep step(UndoStep::Restore, UndoKind::ReverseAnimation, *doc_);
    Mark(3);
  }
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{1, 2, 3, 3}));
  { UndoStep step(UndoStep::Discard, first, *doc_); }
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{2, 3, 3}));
  EXPECT_EQ(second->older, nullptr);
  // A detached record is freed (the leak checker watches).
  { UndoStep step(UndoStep::Restore, PrepareUndo(UndoKind::InsertFrames, *doc_, 0), *doc_); }

  // Committed: it stays, and undoes.
  original = DuplicateAnimation(*doc_, nullptr);
  {
    UndoStep step(UndoStep::Restore, UndoKind::ReverseAnimation, *doc_);
    ReverseBlocks(*doc_);
    EXPECT_EQ(step.Commit(), History().cursor);
    EXPECT_EQ(step.Withdraw(), 0u);
  }
  EXPECT_EQ(Undo(*doc_), refresh::Document | refresh::Names);
  EXPECT_TRUE(SameAnimation(*doc_, *original));
  UndoStep prepared(UndoStep::Discard, PrepareUndo(UndoKind::InsertFrames, *doc_, 0), *doc_);
  ASSERT_TRUE(CommitInsertUndo(prepared.Commit(), *doc_));
  EXPECT_EQ(CanUndoKind(), UndoKind::InsertFrames);

  // Neutralized: it keeps its place but does nothing.
  { UndoStep step(UndoStep::Neutralize, UndoKind::ReverseAnimation, *doc_); }
  EXPECT_EQ(UpdateUndoMenu().undoText, "&Annuler NOP\tCtrl-Z");
  EXPECT_EQ(Undo(*doc_) | Redo(*doc_), refresh::StripOnly);
  EXPECT_TRUE(SameAnimation(*doc_, *original));
}

// A step handed on withdraws once, from where it ends up; one assigned over withdraws first.
TEST_F(UndoHistoryTest, MovedStepsWithdrawOnceAndRunsJoinOnlyTheNewest) {
  {
    UndoRecord* kept = Mark(1);
    UndoStep outer;
    {
      UndoStep inner(UndoStep::Discard, UndoKind::ReverseAnimation, *doc_);
      outer = std::move(inner);
    }
    UndoStep moved(std::move(outer));
    outer = UndoStep();
    EXPECT_EQ(History().count, 2u);
    moved = UndoStep(UndoStep::Discard, kept, *doc_);
    EXPECT_EQ(History().count, 1u);
  }
  ClearHistory();
  UndoRun run;
  run.Began(Mark(1));
  EXPECT_TRUE(run.Continues());
  Undo(*doc_);
  EXPECT_FALSE(run.Continues());
  Redo(*doc_);
  EXPECT_TRUE(run.Continues());
  for (int i = 0; i < 4; ++i) {
    ClearHistory();
    Mark(2);  // may well land where the run's record was
    EXPECT_FALSE(run.Continues());
  }
}

TEST_F(UndoHistoryTest, RecordsCountTheBytesTheyHold) {
  const size_t small = UndoRecordBytes(*Mark(1));
  EXPECT_GE(small, sizeof(UndoRecord) + 3 * sizeof(uint32_t));
  EXPECT_LT(small, 1024u);
  const size_t whole = UndoRecordBytes(*Whole(UndoKind::Optimize));
  EXPECT_GE(whole, 3 * FirstFrame(*doc_)->dib.size() + 16 * sizeof(PaletteEntry));
  EXPECT_EQ(HistoryBytes(), small + whole);

  // A multi-frame deletion counts every removed frame; undoing gives them back and it shrinks.
  Frame *chain = UnlinkFrameAt(*doc_, 0), *second = UnlinkFrameAt(*doc_, 0);
  chain->savedIndex = 0, second->savedIndex = 1;
  LinkBlocks(chain, second);
  doc_->frameCount = 1;
  const size_t removed = chain->dib.size() + second->dib.size();
  UndoRecord* deletion =
      RecordUndo(UndoKind::DeleteFrames, *doc_, undo::RemovedFrames(undo::FrameChain(chain)));
  ASSERT_TRUE(deletion);
  const size_t held = UndoRecordBytes(*deletion);
  EXPECT_GE(held, sizeof(UndoRecord) + 2 * sizeof(Frame) + removed);
  Undo(*doc_);  // the frames go back to the document
  EXPECT_LE(UndoRecordBytes(*deletion) + removed, held);
  ClearHistory();
  EXPECT_EQ(HistoryBytes(), 0u);
}

// Rotations are checked through their commands in tests/shell.
class UndoKinds : public UndoHistoryTest {
 protected:
  void SetUp() override {
    UndoHistoryTest::SetUp();
    // A signature comment in front, five frames of different kinds, a comment at the end.
    doc_ = MakeDocument(6, 4);
    AddComment(*doc_, "Réalisé avec Loopwright");
    for (int i = 0; i < 5; ++i)
      SetFrameName(AddDrawnFrame(
                       *doc_, i % 3, i % 2, 3, 2,
                       [i](uint32_t x, uint32_t y) { return (i * 3 + x + 3 * y) % 16; }, i % 4,
                       i == 1 ? 2 : -1, 10 * (i + 1)),
                   "cadre " + std::to_string(i + 1));
    PalettePtr local = RampPalette(8);
    local->entries[1] = {200, 100, 50, 0};
    GiveLocalPalette(At(2), std::move(local));
    AddRgbPlane(At(3));
    AddComment(*doc_, "fin");
  }
  Frame* At(int i) { return FrameAt(*doc_, i); }
  template <typename Change>
  ::testing::AssertionResult Restores(UndoKind kind, UndoPayload payload, Change change) {
    return UndoRedoRestores(*doc_, [&] {
      RecordUndo(kind, *doc_, std::move(payload));
      change();
    });
  }
};

TEST_F(UndoKinds, WholeDocuments) {
  EXPECT_TRUE(Restores(UndoKind::ReverseAnimation, {}, [&] { ReverseBlocks(*doc_); }));
  EXPECT_TRUE(Restores(UndoKind::PingPong, {}, [&] { AppendPingPong(*doc_); }));
  EXPECT_TRUE(Restores(UndoKind::CropAnimation, {}, [&] {
    doc_->screenWidth = doc_->screenHeight = 3;
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) ClipFrameToScreen(f, 3, 3);
  }));
  for (UndoKind kind :
       {UndoKind::MergeAnimations, UndoKind::Unoptimize, UndoKind::ReducePalette,
        UndoKind::ReduceFrameCount, UndoKind::ResizeAnimation, UndoKind::FixForAvi}) {
    EXPECT_TRUE(Restores(kind, {}, [&] {
      doc_->screenWidth += static_cast<uint32_t>(kind);
      AddSolidFrame(*doc_, 0, 0, 9, 1, 3)->bits()[0] ^= 1;
    })) << static_cast<uint32_t>(kind);
  }
  // The optimizer hands in the old document after the exchange.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    AnimationPtr work = DuplicateAnimation(*doc_, nullptr);
    UnlinkAndFreeBlock(FrameAt(*work, 4));
    --work->frameCount;
    SwapAnimations(*doc_, *work);
    RecordUndo(UndoKind::Optimize, *doc_, undo::WholeCopy{std::move(work)});
  }));
}

TEST_F(UndoKinds, FrameOrder) {
  // Frame 0 dragged before frame 3 lands at 2; frame 4 before frame 0.
  EXPECT_TRUE(Restores(UndoKind::MoveFrame, undo::FrameMove{0, 3},
                       [&] { LinkFrameAt(*doc_, UnlinkFrameAt(*doc_, 0), 2); }));
  EXPECT_TRUE(Restores(UndoKind::MoveFrame, undo::FrameMove{4, 0},
                       [&] { LinkFrameAt(*doc_, UnlinkFrameAt(*doc_, 4), 0); }));
  // Frames 0 and 3 dragged together; the first of them lands at 2.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    RecordUndo(UndoKind::MoveFrames, *doc_, undo::FramesMove{2, {0, 3}});
    Frame* b = UnlinkFrameAt(*doc_, 3);
    LinkFrameAt(*doc_, UnlinkFrameAt(*doc_, 0), 2);
    LinkFrameAt(*doc_, b, 3);
  }));
  // One frame, the first: the signature comment stays in front when it comes back.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    Frame* removed = UnlinkFrameAt(*doc_, 0);
    --doc_->frameCount;
    RecordUndo(UndoKind::DeleteFrame, *doc_, undo::RemovedFrames(undo::FrameChain(removed)));
  }));
  // Frames 2 and 4 of the four left, in one step, come back at 2 and 4.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    Frame* b = UnlinkFrameAt(*doc_, 3);
    Frame* a = UnlinkFrameAt(*doc_, 1);
    a->savedIndex = 1, b->savedIndex = 3;
    LinkBlocks(a, b);
    doc_->frameCount -= 2;
    RecordUndo(UndoKind::DeleteFrames, *doc_, undo::RemovedFrames(undo::FrameChain(a)));
  }));
  // An insertion that keeps the palette and size; a paste that changes the global palette.
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    UndoRecord* prepared = PrepareUndo(UndoKind::InsertFrames, *doc_, 2);
    for (int i = 0; i < 2; ++i, ++doc_->frameCount)
      LinkFrameAt(*doc_, IndexedFrame(2, 2, doc_->globalPalette.get(), {7, 8, 9}), 2 + i);
    return CommitInsertUndo(prepared, *doc_) != nullptr;
  }));
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    UndoRecord* prepared = PrepareUndo(UndoKind::Paste, *doc_, 0);
    SetGlobalPalette(*doc_, RampPalette(32));
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) UpdateDibColourTable(f);
    AddSolidFrame(*doc_, 0, 0, 1, 1, 31);
    return CommitInsertUndo(prepared, *doc_) != nullptr;
  }));
}

TEST_F(UndoKinds, TransparencyAndPalettes) {
  // The flag alone, either way; then with a copy of the frame.
  EXPECT_TRUE(Restores(UndoKind::EditTransparency,
                       undo::TransparencyEdit(0, undo::TransparencyEdit::SwitchOff),
                       [&] { SetTransparency(At(0), true); }));
  EXPECT_TRUE(Restores(UndoKind::EditTransparency,
                       undo::TransparencyEdit(1, undo::TransparencyEdit::SwitchOn),
                       [&] { SetTransparency(At(1), false); }));
  EXPECT_TRUE(Restores(UndoKind::EditTransparency,
                       undo::TransparencyEdit(1, undo::TransparencyEdit::NewColour),
                       [&] { SetTransparentIndex(At(1), 4); }));
  // The global palette, growing from 16 to 32 entries; a local palette.
  EXPECT_TRUE(Restores(UndoKind::EditPalette, undo::PaletteEntries(-1), [&] {
    Palette* p = doc_->globalPalette.get();
    p->entries[3] = {1, 2, 3, 0};
    p->entries.resize(32);
    doc_->screenFlags = static_cast<uint8_t>((doc_->screenFlags & ~7) | 4);
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f))
      if (!f->localPalette) UpdateDibColourTable(f);
  }));
  EXPECT_TRUE(Restores(UndoKind::EditPalette, undo::PaletteEntries(2), [&] {
    At(2)->localPalette->entries[5] = {9, 9, 9, 0};
    UpdateDibColourTable(At(2));
  }));
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    UndoRecord* prepared = PrepareUndo(UndoKind::RemoveLocalPalette, *doc_, 2);
    SetLocalPalette(At(2), nullptr);
    At(2)->palette = doc_->globalPalette.get();
    UpdateDibColourTable(At(2));
    return CommitPaletteUndo(prepared, *doc_) != nullptr;
  }));
}

// Each comment goes back to its own place among the other blocks.
TEST_F(UndoKinds, SettingsAndComments) {
  EXPECT_TRUE(Restores(UndoKind::AnimationProperties, {}, [&] {
    doc_->playCount = 7, doc_->backgroundIndex = 5, doc_->screenWidth = 40;
  }));
  auto commentAfter = [](Block* at, const std::string& text) {
    Block* c = NewBlock(BlockKind::Comment, 0);
    SetCommentText(c, text);
    InsertBlockAfter(at, c);
  };
  EXPECT_TRUE(Restores(UndoKind::EditComments, {}, [&] {
    // Two new between frames 1 and 2, one before the first, the first edited, the last gone.
    commentAfter(At(1), "deux");
    commentAfter(At(1), "un");
    commentAfter(doc_->blocks->next, "avant");
    SetCommentText(doc_->blocks->next, "Modifié");
    UnlinkAndFreeBlock(LastBlock(*doc_));
  }));
  EXPECT_TRUE(Restores(UndoKind::EditComments, {}, [&] {
    for (Block *b = doc_->blocks->next, *next; b; b = next)
      if (next = b->next; b->kind == BlockKind::Comment) UnlinkAndFreeBlock(b);
  }));
}

TEST_F(UndoKinds, FrameImagesAndProperties) {
  EXPECT_TRUE(Restores(UndoKind::EditDurations, {}, [&] {
    for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f)) f->delay = 7;
  }));
  EXPECT_TRUE(Restores(UndoKind::EditPixels, undo::FrameImage(2), [&] { At(2)->bits()[1] ^= 8; }));
  EXPECT_TRUE(Restores(UndoKind::CoEditFrame, undo::FrameImage(4),
                       [&] { SetFrameDib(At(4), BuildDib(3, 2, doc_->globalPalette.get())); }));
  EXPECT_TRUE(
      Restores(UndoKind::DropTrueColour, undo::FrameImage(3), [&] { FreeRgbPlane(At(3)); }));
  EXPECT_TRUE(
      Restores(UndoKind::AddTrueColour, undo::TrueColourPlane{1}, [&] { AddRgbPlane(At(1)); }));
  // Attributes only; then the image too, with its size.
  EXPECT_TRUE(Restores(UndoKind::FrameProperties, undo::FrameAttributes(1, false), [&] {
    Frame* f = At(1);
    f->delay = 99, f->left = 5, f->top = -2;
    SetInterlaced(f, true);
    SetDisposal(f, 3);
    SetFrameName(f, "autre");
    SetTransparency(f, false);
  }));
  EXPECT_TRUE(Restores(UndoKind::FrameProperties, undo::FrameAttributes(2, true), [&] {
    Frame* f = At(2);
    CropFrame(f, 1, 0, 2, 2);
    f->delay = 1;
    SetFrameName(f, "");
    SetTransparentIndex(f, 3);
  }));
  // Every frame's attributes, then every frame's image.
  EXPECT_TRUE(
      Restores(UndoKind::GlobalFrameProperties, undo::AllFrameAttributes{false, nullptr}, [&] {
        for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f))
          f->delay += 5, SetDisposal(f, 2), SetTransparency(f, true);
      }));
  EXPECT_TRUE(
      Restores(UndoKind::GlobalFrameProperties, undo::AllFrameAttributes{true, nullptr}, [&] {
        for (Frame* f = FirstFrame(*doc_); f; f = NextFrame(f))
          f->bits()[0] = 15, RebuildTransparencyMask(f);
      }));
  // The selected frames moved and cropped.
  At(0)->selected = At(2)->selected = 1;
  doc_->selectedCount = 2;
  doc_->anchorIndex = 0;
  EXPECT_TRUE(Restores(UndoKind::MoveCropFrames, {}, [&] {
    CropFrame(At(0), 1, 0, 2, 1);
    CropFrame(At(2), 0, 1, 3, 1);
    At(2)->left += 2;
  }));
}

}  // namespace
}  // namespace lw::test
