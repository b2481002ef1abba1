// The history itself: depth, redo tail, memory pressure, menu texts, and the steps a command
// commits or withdraws.
#include <utility>
#include <vector>

#include "core/undo.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

class UndoHistoryTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SetPref(PrefUndoLevels, 20);
    ClearHistory();
    doc_ = MakeDocument(4, 4);
    for (int i = 0; i < 3; ++i) AddSolidFrame(*doc_, 0, 0, 2, 2, static_cast<uint8_t>(i));
  }
  void TearDown() override {
    ClearHistory();
    FailNextUndoCopies(0);
    CoreTest::TearDown();
  }
  // A record of kind 24 whose first delay is the marker.
  UndoRecord* Mark(uint32_t marker) {
    FirstFrame(*doc_)->delay = marker;
    return RecordUndo(undo::EditDurations, *doc_, nullptr, nullptr, 0);
  }
  std::vector<uint32_t> Markers() {
    std::vector<uint32_t> out;
    for (UndoRecord* r = History().oldest; r; r = r->newer) out.push_back(r->extra[0]);
    return out;
  }

  AnimationPtr doc_;
};

TEST_F(UndoHistoryTest, DepthLimitDropsTheOldest) {
  SetPref(PrefUndoLevels, 3);
  for (uint32_t i = 1; i <= 4; ++i) ASSERT_TRUE(Mark(i));
  EXPECT_EQ(History().count, 3u);
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{2, 3, 4}));
  EXPECT_EQ(History().oldest->older, nullptr);

  // Undoing everything then redoing walks the same three.
  for (int i = 0; i < 3; ++i) EXPECT_NE(Undo(*doc_), 0u);
  EXPECT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(CanUndoKind(), 0u);
  EXPECT_EQ(CanRedoKind(), undo::EditDurations);
  EXPECT_EQ(FirstFrame(*doc_)->delay, 2u);
  for (int i = 0; i < 3; ++i) EXPECT_NE(Redo(*doc_), 0u);
  EXPECT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(FirstFrame(*doc_)->delay, 4u);
}

TEST_F(UndoHistoryTest, ANewRecordDropsTheRedoTail) {
  Mark(1);
  Mark(2);
  Mark(3);
  Undo(*doc_);
  Undo(*doc_);
  EXPECT_EQ(CanRedoKind(), undo::EditDurations);
  Mark(7);
  EXPECT_EQ(CanRedoKind(), 0u);
  EXPECT_EQ(History().count, 2u);
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{1, 7}));

  // With everything undone, a new record replaces the whole list.
  Undo(*doc_);
  Undo(*doc_);
  EXPECT_EQ(History().cursor, nullptr);
  Mark(8);
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{8}));
}

TEST_F(UndoHistoryTest, DisabledUndoRecordsNothingAndFreesWhatItWasHanded) {
  SetPref(PrefUndoLevels, 0);
  AnimationPtr copy = DuplicateAnimation(*doc_, nullptr);
  EXPECT_EQ(RecordUndo(undo::Optimize, *doc_, std::move(copy), nullptr, 0), nullptr);
  Frame* removed = UnlinkFrameAt(*doc_, 0);
  --doc_->frameCount;
  EXPECT_EQ(RecordUndo(undo::DeleteFrame, *doc_, nullptr, removed, 0), nullptr);
  EXPECT_EQ(PrepareUndo(undo::InsertFrames, *doc_, 0), nullptr);
  EXPECT_EQ(History().count, 0u);
  EXPECT_EQ(UpdateUndoMenu().undoEnabled, false);
}

TEST_F(UndoHistoryTest, ShortMemoryDropsOldRecordsWarningOnce) {
  SetPref(PrefUndoLevels, 10);
  Mark(1);
  ASSERT_TRUE(RecordUndo(undo::PingPong, *doc_, nullptr, nullptr, 0));
  Mark(3);
  // One failed copy: the oldest record goes and the copy is retried.
  FailNextUndoCopies(1);
  ASSERT_TRUE(RecordUndo(undo::Unoptimize, *doc_, nullptr, nullptr, 0));
  EXPECT_EQ(History().count, 3u);
  EXPECT_EQ(History().oldest->kind, undo::PingPong);
  ASSERT_EQ(services_.Messages().size(), 1u);
  EXPECT_EQ(services_.Messages()[0].text,
            "Mémoire insuffisante pour l'annulation complète des dernières actions. Seulement les "
            "dernières actions les plus récentes seront annulable.");
  EXPECT_EQ(services_.Messages()[0].caption, "Avertissemment sur l'annulation");
  EXPECT_EQ(services_.Messages()[0].style & mb::IconMask, mb::IconExclamation);

  // No copy to be had at all: every record goes, none is made, and no second warning.
  FailNextUndoCopies(100);
  EXPECT_EQ(RecordUndo(undo::CropAnimation, *doc_, nullptr, nullptr, 0), nullptr);
  FailNextUndoCopies(0);
  EXPECT_EQ(History().count, 0u);
  EXPECT_EQ(History().cursor, nullptr);
  EXPECT_EQ(services_.Messages().size(), 1u);
  EXPECT_TRUE(History().warned);

  // Clearing the history lets the warning come once more.
  ClearHistory();
  EXPECT_FALSE(History().warned);
  FailNextUndoCopies(1);
  EXPECT_EQ(RecordUndo(undo::CropAnimation, *doc_, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(services_.Messages().size(), 2u);
}

TEST_F(UndoHistoryTest, MenuTextsFollowTheCursor) {
  const int before = services_.UndoHistoryChanges();
  UndoMenuState empty = UpdateUndoMenu();
  EXPECT_EQ(empty.undoText, "Impossible d'annuler\tCtrl-Z");
  EXPECT_FALSE(empty.undoEnabled);
  EXPECT_EQ(empty.redoText, "Impossible de refaire\tCtrl-Y");
  EXPECT_FALSE(empty.redoEnabled);

  RecordUndo(undo::ReverseAnimation, *doc_, nullptr, nullptr, 0);
  RecordUndo(undo::PingPong, *doc_, nullptr, nullptr, 0);
  Undo(*doc_);
  UndoMenuState both = UpdateUndoMenu();
  EXPECT_EQ(both.undoText, "&Annuler Inverser l'animation\tCtrl-Z");
  EXPECT_TRUE(both.undoEnabled);
  EXPECT_EQ(both.redoText, "&Refaire Animation Ping Pong \tCtrl-Y");
  EXPECT_TRUE(both.redoEnabled);
  EXPECT_EQ(services_.UndoHistoryChanges() - before, 3);

  EXPECT_EQ(UndoKindName(7), "");
  EXPECT_EQ(UndoKindName(99), "");
  EXPECT_EQ(RecordUndo(7, *doc_, nullptr, nullptr, 0), nullptr);
}

// A command that fails after recording, as the commands write it: the step withdraws on return.
// change: what it does to the document before it finds it cannot go on.
template <typename Change>
bool FailingCommand(UndoStep::Withdrawal how, Animation& doc, uint32_t kind, Change change) {
  UndoStep step(how, kind, doc, nullptr, nullptr, 0);
  change();
  if (step.Record()) return false;
  step.Commit();
  return true;
}

TEST_F(UndoHistoryTest, AnUncommittedStepLeavesHistoryAndDocumentAsBefore) {
  UndoRecord* first = Mark(1);
  UndoRecord* second = Mark(2);
  AnimationPtr original = DuplicateAnimation(*doc_, nullptr);
  const int notices = services_.UndoHistoryChanges();

  // Failing before any change: the entry just goes.
  EXPECT_FALSE(FailingCommand(UndoStep::Discard, *doc_, undo::ReverseAnimation, [] {}));
  EXPECT_EQ(History().cursor, second);
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{1, 2}));
  EXPECT_TRUE(SameAnimation(*doc_, *original));
  EXPECT_EQ(services_.UndoHistoryChanges() - notices,
            2);  // recorded, withdrawn: the menu follows both

  // Failing half-way: the entry puts back what was changed, then goes, leaving nothing to redo.
  EXPECT_FALSE(FailingCommand(UndoStep::Restore, *doc_, undo::ReverseAnimation,
                              [&] { ReverseBlocks(*doc_); }));
  EXPECT_TRUE(SameAnimation(*doc_, *original));
  EXPECT_EQ(History().cursor, second);
  EXPECT_EQ(History().count, 2u);
  EXPECT_EQ(CanRedoKind(), 0u);

  // Another entry recorded since: withdrawing must neither undo that one nor apply its own over
  // it, only unlink itself.
  {
    UndoStep step(UndoStep::Restore, undo::ReverseAnimation, *doc_, nullptr, nullptr, 0);
    Mark(3);
  }
  ASSERT_EQ(CanUndoKind(), undo::EditDurations);
  ASSERT_EQ(History().count, 3u);
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(FirstFrame(*doc_)->delay, 3u);
  { UndoStep step(UndoStep::Discard, first, *doc_); }
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{2, 3}));
  EXPECT_EQ(second->older, nullptr);

  // A detached record is freed (the leak checker sees one that is not); undo off holds none.
  { UndoStep step(UndoStep::Restore, PrepareUndo(undo::InsertFrames, *doc_, 0), *doc_); }
  SetPref(PrefUndoLevels, 0);
  AnimationPtr now = DuplicateAnimation(*doc_, nullptr);
  {
    UndoStep step(UndoStep::Restore, undo::ReverseAnimation, *doc_, nullptr, nullptr, 0);
    EXPECT_EQ(step.Record(), nullptr);
    ReverseBlocks(*doc_);
  }
  EXPECT_EQ(Markers(), (std::vector<uint32_t>{2, 3}));
  ReverseBlocks(*doc_);
  EXPECT_TRUE(SameAnimation(*doc_, *now));
}

TEST_F(UndoHistoryTest, ACommittedStepStaysAndUndoes) {
  Mark(1);
  AnimationPtr original = DuplicateAnimation(*doc_, nullptr);
  for (UndoStep::Withdrawal how : {UndoStep::Discard, UndoStep::Restore}) {
    UndoStep step(how, undo::ReverseAnimation, *doc_, nullptr, nullptr, 0);
    UndoRecord* record = step.Record();
    ReverseBlocks(*doc_);
    EXPECT_EQ(step.Commit(), record);
    EXPECT_EQ(step.Withdraw(), 0u);  // committed: nothing left to withdraw
    EXPECT_EQ(History().cursor, record);
    EXPECT_EQ(Undo(*doc_), refresh::Document | refresh::Names);
    EXPECT_TRUE(SameAnimation(*doc_, *original));
    Redo(*doc_);
    Undo(*doc_);
  }
  // A detached record comes back to the caller, who records it.
  UndoStep prepared(UndoStep::Discard, PrepareUndo(undo::InsertFrames, *doc_, 0), *doc_);
  ASSERT_TRUE(CommitInsertUndo(prepared.Commit(), *doc_));
  EXPECT_EQ(CanUndoKind(), undo::InsertFrames);
}

TEST_F(UndoHistoryTest, ANeutralizedStepKeepsItsPlaceButDoesNothing) {
  Mark(1);
  AnimationPtr before = DuplicateAnimation(*doc_, nullptr);
  { UndoStep step(UndoStep::Neutralize, undo::ReverseAnimation, *doc_, nullptr, nullptr, 0); }
  EXPECT_EQ(History().count, 2u);
  EXPECT_EQ(CanUndoKind(), undo::Nop);
  EXPECT_EQ(UpdateUndoMenu().undoText, "&Annuler NOP\tCtrl-Z");
  EXPECT_EQ(Undo(*doc_), refresh::StripOnly);
  EXPECT_EQ(Redo(*doc_), refresh::StripOnly);
  EXPECT_TRUE(SameAnimation(*doc_, *before));
}

// A step handed on withdraws once, from where it ends up; one assigned over withdraws first.
TEST_F(UndoHistoryTest, AMovedStepWithdrawsOnce) {
  UndoRecord* kept = Mark(1);
  UndoStep outer;
  {
    UndoStep inner(UndoStep::Discard, undo::ReverseAnimation, *doc_, nullptr, nullptr, 0);
    outer = std::move(inner);
  }
  EXPECT_EQ(History().count, 2u);
  UndoStep moved(std::move(outer));
  outer = UndoStep();
  EXPECT_EQ(History().count, 2u);
  moved = UndoStep(UndoStep::Discard, kept, *doc_);
  EXPECT_EQ(History().cursor, kept);
  EXPECT_EQ(History().count, 1u);
}

// A run joins its step only while that step is the newest applied one, even when a later
// record takes the freed record's memory.
TEST_F(UndoHistoryTest, ARunJoinsItsStepOnlyWhileItIsTheNewest) {
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

size_t PixelBytes(const Animation& a) {
  size_t bytes = 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) bytes += f->dib.size();
  return bytes;
}

TEST_F(UndoHistoryTest, RecordsCountTheBytesTheyHold) {
  ASSERT_EQ(HistoryBytes(), 0u);
  // Indexes only: the record itself and its small table.
  UndoRecord* delays = Mark(1);
  size_t small = UndoRecordBytes(*delays);
  EXPECT_GE(small, sizeof(UndoRecord) + 3 * sizeof(uint32_t));
  EXPECT_LT(small, 1024u);

  // A whole copy holds at least every frame's pixels and palette.
  UndoRecord* whole = RecordUndo(undo::Optimize, *doc_, nullptr, nullptr, 0);
  ASSERT_TRUE(whole);
  size_t wholeBytes = UndoRecordBytes(*whole);
  EXPECT_GE(wholeBytes,
            PixelBytes(*doc_) + doc_->globalPalette->entries.size() * sizeof(PaletteEntry));
  EXPECT_EQ(HistoryBytes(), small + wholeBytes);

  // A multi-frame deletion counts every removed frame, not the first only; undoing it gives the
  // frames back to the document, and the record shrinks.
  Frame* chain = UnlinkFrameAt(*doc_, 0);
  Frame* second = UnlinkFrameAt(*doc_, 0);
  chain->savedIndex = 0;
  second->savedIndex = 1;
  LinkBlocks(chain, second);
  doc_->frameCount = static_cast<int16_t>(doc_->frameCount - 2);
  size_t removedPixels = chain->dib.size() + second->dib.size();
  UndoRecord* deletion = RecordUndo(undo::DeleteFrames, *doc_, nullptr, chain, 0);
  ASSERT_TRUE(deletion && deletion->sameKindNext);
  size_t held = UndoRecordBytes(*deletion);
  EXPECT_GE(held, 2 * sizeof(UndoRecord) + removedPixels);
  Undo(*doc_);
  EXPECT_EQ(doc_->frameCount, 3);
  EXPECT_LE(UndoRecordBytes(*deletion) + removedPixels, held);
  Redo(*doc_);
  EXPECT_EQ(UndoRecordBytes(*deletion), held);

  ClearHistory();
  EXPECT_EQ(HistoryBytes(), 0u);
}

}  // namespace
}  // namespace lw::test
