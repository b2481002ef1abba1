// The property dialogs' checks and changes, without their widgets.
#include "edit/properties.h"

#include <gtest/gtest.h>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "core/undo.h"
#include "support/document.h"
#include "support/services.h"
#include "support/undo_check.h"

namespace lw {
namespace {

using namespace test;

class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPref(PrefUndoLevels, 20);
    ClearHistory();
  }
  void TearDown() override { ClearHistory(); }
  // Frames of 4 x 4, frame i at offset (i, 0) with delay 10 * (i + 1), pixels counting up.
  void AddFrames(int n) {
    for (int i = 0; i < n; ++i) {
      AddDrawnFrame(*doc_, i, 0, 4, 4, [i](uint32_t x, uint32_t y) { return y * 4 + x - i; },
                    0, -1, 10 * static_cast<uint32_t>(i + 1));
    }
  }
  Frame* At(int i) { return FrameAt(*doc_, i); }
  // The captions of the boxes shown.
  std::vector<std::string> Captions() {
    std::vector<std::string> out;
    for (const ShownMessage& m : scope_.services.Messages()) out.push_back(m.caption);
    return out;
  }
  static std::vector<std::string> Titles(const std::vector<int>& ids) {
    std::vector<std::string> out;
    for (int id : ids) out.push_back(ResText(id));
    return out;
  }
  void Answer(const std::vector<int>& answers) {
    scope_.services.Reset();
    for (int a : answers) scope_.services.QueueAnswer(a);
  }

  ServicesScope scope_;
  AnimationPtr doc_ = MakeDocument(16, 16, GreyPalette(16));
};

TEST_F(PropertiesTest, FieldChecksFollowTheirOrderAndLimits) {
  AddFrames(3);  // screen 16 x 16, frames reach 6 x 4
  struct FrameCase {
    std::optional<int64_t> left, top, delay;
    std::vector<int> answers;
    PropertyField failed;
    std::vector<int> captions;
  } frameCases[] = {
      {65535, -65535, 0, {answer::Yes, answer::Yes}, PropertyField::None,
       {str::PropOffsetCropsTitle, str::PropOffsetCropsTitle}},
      {65536, 0, 0, {}, PropertyField::Left, {str::PropOffsetRangeTitle}},
      {16, -16, 65535, {}, PropertyField::None, {}},  // the screen's size asks nothing
      {0, 17, 0, {answer::No}, PropertyField::Top, {str::PropOffsetCropsTitle}},
      {0, 0, 65536, {}, PropertyField::Delay, {str::PropDelayRangeTitle}},
      {std::nullopt, std::nullopt, -1, {}, PropertyField::Delay, {str::PropDelayRangeTitle}},
  };
  for (const FrameCase& c : frameCases) {
    Answer(c.answers);
    FramePropertiesRequest r;
    r.left = c.left, r.top = c.top, r.delay = c.delay;
    EXPECT_EQ(ValidateFrameFields(nullptr, *doc_, r), c.failed) << c.left.value_or(0);
    EXPECT_EQ(Captions(), Titles(c.captions)) << c.left.value_or(0);
  }
  struct AnimationCase {
    bool sizeEdited;
    int64_t width, height, loops;
    std::vector<int> answers;
    PropertyField failed;
    std::vector<int> captions;
  } animationCases[] = {
      {false, -5, 70000, 65536, {}, PropertyField::None, {}},  // the size is not checked
      {false, 16, 16, 65537, {}, PropertyField::LoopCount, {str::PropLoopRangeTitle}},
      {true, 65536, 16, 0, {}, PropertyField::Width, {str::PropWidthRangeTitle}},
      {true, 6, 4, 0, {}, PropertyField::None, {}},
      {true, 6, 3, 0, {answer::No}, PropertyField::Height, {str::PropSizeCutsTitle}},
      {true, 5, -1, 0, {answer::Yes}, PropertyField::Height,
       {str::PropSizeCutsTitle, str::PropHeightRangeTitle}},
  };
  for (const AnimationCase& c : animationCases) {
    Answer(c.answers);
    AnimationPropertiesRequest r{c.sizeEdited, c.width, c.height, c.loops, 0};
    EXPECT_EQ(ValidateAnimationFields(nullptr, *doc_, r), c.failed) << c.width << "x" << c.height;
    EXPECT_EQ(Captions(), Titles(c.captions)) << c.width << "x" << c.height;
  }
  int64_t w = 0, h = 0;
  AutoScreenSize(*doc_, &w, &h);
  EXPECT_EQ(std::make_tuple(w, h), std::make_tuple(6, 4));
  EXPECT_FALSE(ValidateReduceStep(nullptr, *doc_, 4));
  EXPECT_TRUE(ValidateReduceStep(nullptr, *doc_, 3));
}

TEST_F(PropertiesTest, FramePageChangesOneFrameInOneUndoStep) {
  AddFrames(2);
  GiveLocalPalette(At(1), GreyPalette(16));
  FramePropertiesRequest r = FillFrameRequest(*doc_, FrameScope::Current, 1);
  ASSERT_EQ(r.delay, 20);
  EXPECT_EQ(ApplyFrameProperties(nullptr, *doc_, r).changes, 0u) << "nothing edited";
  EXPECT_EQ(CanUndoKind(), 0u);

  r.delay = 55, r.disposal = DisposalPrevious, r.left = -3, r.top = 7, r.name = "nuage";
  r.interlaced = r.transparent = r.transparencyAccepted = true;
  r.transparentIndexes = {5, 9};
  PropertiesResult result;
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { result = ApplyFrameProperties(nullptr, *doc_, r); }));
  EXPECT_EQ(CanUndoKind(), undo::FrameProperties);
  EXPECT_EQ(result.changes, propchange::CurrentFrame);
  EXPECT_EQ(refresh::FrameIndexOf(result.hints), 1u);
  EXPECT_TRUE(result.hints & refresh::Names);
  const Frame* f = At(1);
  EXPECT_EQ(std::make_tuple(f->delay, f->Disposal(), f->left, f->top, f->Interlaced()),
            std::make_tuple(55u, DisposalPrevious, -3, 7, true));
  EXPECT_EQ(FrameName(f), "nuage");
  EXPECT_EQ(std::make_tuple(f->transparentIndex, Pixel(f, 1, 2)), std::make_tuple(5, 5));  // was 9
  EXPECT_EQ(At(0)->delay, 10u);

  // Unchecking the local palette removes it; colours the global palette lacks change it too.
  PalettePtr reds = std::make_unique<Palette>();
  for (int i = 0; i < 16; ++i) reds->entries.push_back({static_cast<uint8_t>(100 + 9 * i), 0, 0, 0});
  for (bool ownColours : {false, true}) {
    if (ownColours) GiveLocalPalette(At(0), std::move(reds));
    const int i = ownColours ? 0 : 1;
    std::vector<PaletteEntry> global = doc_->globalPalette->entries;
    r = FillFrameRequest(*doc_, FrameScope::Current, i);
    r.removeLocalPalette = true;
    EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { return ApplyFrameProperties(nullptr, *doc_, r).ok; }));
    EXPECT_EQ(At(i)->localPalette, nullptr);
    EXPECT_EQ(doc_->globalPalette->entries != global, ownColours);
  }
}

TEST_F(PropertiesTest, SharedPagesLeaveEmptyFieldsAndIndeterminateBoxesAlone) {
  AddFrames(3);
  SetInterlaced(At(0), true);
  SetDisposal(At(2), DisposalBackground);
  At(1)->selected = At(2)->selected = 1;
  SetSelectedCount(*doc_, 2);
  FramePropertiesRequest all = FillFrameRequest(*doc_, FrameScope::All, -1);
  EXPECT_FALSE(all.delay || all.left || all.interlaced);
  EXPECT_EQ(std::make_tuple(all.top, all.transparent, all.disposal),
            std::make_tuple(std::optional<int64_t>(0), std::optional<bool>(false), -1));
  FramePropertiesRequest selected = FillFrameRequest(*doc_, FrameScope::Selected, -1);
  EXPECT_EQ(selected.interlaced, false);
  EXPECT_FALSE(selected.name.has_value());

  all.top = 4;
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    EXPECT_EQ(ApplyFrameProperties(nullptr, *doc_, all).changes, propchange::SeveralFrames);
  }));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(std::make_tuple(At(i)->top, At(i)->left, At(i)->delay, At(i)->Interlaced()),
              std::make_tuple(4, i, 10u * (i + 1), i == 0));
  }
  EXPECT_EQ(At(2)->Disposal(), DisposalBackground);
  selected.delay = 7;
  selected.disposal = DisposalLeave;
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { ApplyFrameProperties(nullptr, *doc_, selected); }));
  EXPECT_EQ(std::make_tuple(At(0)->delay, At(1)->delay, At(2)->Disposal()),
            std::make_tuple(10u, 7u, DisposalLeave));
  EXPECT_EQ(CanUndoKind(), undo::GlobalFrameProperties);
}

TEST_F(PropertiesTest, AnimationPageChangesOnlyWhatDiffers) {
  AddFrames(1);
  AnimationPropertiesRequest r = FillAnimationRequest(*doc_);
  EXPECT_EQ(ApplyAnimationProperties(*doc_, r).changes, 0u);
  r.loopCount = 3;
  r.width = 40;  // not edited: kept
  EXPECT_EQ(ApplyAnimationProperties(*doc_, r).changes, propchange::LoopOrBackground);
  r.sizeEdited = true;
  r.backgroundIndex = 7;
  PropertiesResult result;
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { result = ApplyAnimationProperties(*doc_, r); }));
  EXPECT_EQ(result.changes, propchange::ScreenSize | propchange::LoopOrBackground);
  EXPECT_TRUE(result.hints & refresh::ScreenSize);
  EXPECT_EQ(std::make_tuple(doc_->screenWidth, doc_->backgroundIndex, doc_->playCount),
            std::make_tuple(40u, uint8_t{7}, 3u));
}

TEST_F(PropertiesTest, CommentsKeepTheirPlaceInTheBlockList) {
  AddFrames(2);
  // The only one goes first of all blocks; then after "b", a new first entry, between the two.
  const std::pair<int, const char*> inserts[] = {{0, "b"}, {1, "d"}, {0, "a"}, {2, "c"}};
  for (auto [position, text] : inserts) ASSERT_TRUE(InsertComment(*doc_, position, text));
  std::vector<std::string> texts;
  for (int i = 0; i < 4; ++i) texts.push_back(CommentAt(*doc_, i));
  EXPECT_EQ(texts, (std::vector<std::string>{"a", "b", "c", "d"}));
  // All four sit together in front of the frames, which stay two.
  EXPECT_EQ(doc_->blocks->next->kind, BlockKind::Comment);
  EXPECT_EQ(FirstFrame(*doc_)->prev->kind, BlockKind::Comment);
  EXPECT_EQ(doc_->frameCount, 2);
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { return ReplaceComment(*doc_, 2, "C"); }));
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { return DeleteComment(*doc_, 0); }));
  EXPECT_FALSE(DeleteComment(*doc_, 3));
  EXPECT_FALSE(ReplaceComment(*doc_, -1, "x"));
  EXPECT_EQ(CommentBlocks(*doc_).size(), 3u);
  EXPECT_EQ(CommentAt(*doc_, 1), "C");
}

TEST_F(PropertiesTest, ReducingDeletesEveryNthFrameAndKeepsTheRunningTime) {
  EXPECT_EQ(FramesAfterReduction(10, 3), 7);
  EXPECT_EQ(FramesAfterReduction(10, 10), 9);
  EXPECT_EQ(FramesAfterReduction(10, 1), -1);
  EXPECT_EQ(FramesAfterReduction(10, 11), -1);
  AddFrames(10);
  At(8)->selected = At(9)->selected = 1;  // the ninth goes
  SetSelectedCount(*doc_, 2);
  const uint64_t total = TotalDuration(*doc_);
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] {
    EXPECT_NE(ReduceFrameCount(*doc_, 3) & refresh::FrameCount, 0u);
  }));
  ASSERT_EQ(doc_->frameCount, 7);
  const int kept[] = {0, 1, 3, 4, 6, 7, 9};  // the former third, sixth and ninth are gone
  const uint32_t delays[] = {10, 20 + 30, 40, 50 + 60, 70, 80 + 90, 100};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(std::tie(At(i)->left, At(i)->delay), std::tie(kept[i], delays[i]));
  EXPECT_EQ(TotalDuration(*doc_), total);
  EXPECT_EQ(doc_->selectedCount, 1u);
}

}  // namespace
}  // namespace lw
