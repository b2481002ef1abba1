// The property dialogs' checks and changes, without their widgets.
#include "edit/properties.h"

#include <gtest/gtest.h>

#include "base/string_ids.h"
#include "core/document_listener.h"
#include "core/undo.h"
#include "support/document.h"
#include "support/services.h"
#include "support/undo_check.h"

namespace lw {
namespace {

using namespace test;

class PropertiesTest : public ::testing::Test {
 protected:
  // Frames of 4 x 4, frame i at offset (i, 0) with delay 10 * (i + 1), pixels counting up.
  void AddFrames(int n) {
    for (int i = 0; i < n; ++i) {
      AddDrawnFrame(
          *doc_, i, 0, 4, 4, [i](uint32_t x, uint32_t y) { return y * 4 + x - i; }, 0, -1,
          10 * static_cast<uint32_t>(i + 1));
    }
  }
  Frame* At(int i) { return FrameAt(*doc_, i); }
  // Answers the questions to come; gives the captions of the boxes shown since the last call.
  std::vector<std::string> Captions(const std::vector<int>& answers = {}) {
    std::vector<std::string> out;
    for (const ShownMessage& m : scope_.services.Messages()) out.push_back(m.caption);
    scope_.services.Reset();
    for (int a : answers) scope_.services.QueueAnswer(a);
    return out;
  }

  ServicesScope scope_;
  FreshUndoHistory history_;
  AnimationPtr doc_ = MakeDocument(16, 16, GreyPalette(16));
};

// Each check in order, both sides of its limit: the box shown, the answer taken, the field focused.
TEST_F(PropertiesTest, FieldChecksFollowTheirOrderAndLimits) {
  AddFrames(3);  // screen 16 x 16, frames reach 6 x 4
  using Answers = std::vector<int>;
  using Titles = std::vector<std::string>;
  const std::string crops = ResText(str::PropOffsetCropsTitle),
                    sizeCuts = ResText(str::PropSizeCutsTitle);
  const std::tuple<std::optional<int64_t>, std::optional<int64_t>, int64_t, Answers, PropertyField,
                   Titles>
      frameCases[] = {
          {65535, -65535, 0, {answer::Yes, answer::Yes}, PropertyField::None, {crops, crops}},
          {65536, 0, 0, {}, PropertyField::Left, {ResText(str::PropOffsetRangeTitle)}},
          {16, -16, 65535, {}, PropertyField::None, {}},  // the screen's size asks nothing
          {0, 17, 0, {answer::No}, PropertyField::Top, {crops}},
          {0, 0, 65536, {}, PropertyField::Delay, {ResText(str::PropDelayRangeTitle)}},
          {std::nullopt,
           std::nullopt,
           -1,
           {},
           PropertyField::Delay,
           {ResText(str::PropDelayRangeTitle)}}};
  for (const auto& [left, top, delay, answers, failed, captions] : frameCases) {
    Captions(answers);
    FramePropertiesRequest r;
    r.left = left, r.top = top, r.delay = delay;
    EXPECT_EQ(ValidateFrameFields(nullptr, *doc_, r), failed) << left.value_or(0);
    EXPECT_EQ(Captions(), captions) << left.value_or(0);
  }
  const std::tuple<AnimationPropertiesRequest, Answers, PropertyField, Titles> animationCases[] = {
      {{false, -5, 70000, 65536, 0}, {}, PropertyField::None, {}},  // the size is not checked
      {{false, 16, 16, 65537, 0}, {}, PropertyField::LoopCount, {ResText(str::PropLoopRangeTitle)}},
      {{true, 65536, 16, 0, 0}, {}, PropertyField::Width, {ResText(str::PropWidthRangeTitle)}},
      {{true, 6, 4, 0, 0}, {}, PropertyField::None, {}},
      {{true, 6, 3, 0, 0}, {answer::No}, PropertyField::Height, {sizeCuts}},
      {{true, 5, -1, 0, 0},
       {answer::Yes},
       PropertyField::Height,
       {sizeCuts, ResText(str::PropHeightRangeTitle)}}};
  for (const auto& [r, answers, failed, captions] : animationCases) {
    Captions(answers);
    EXPECT_EQ(ValidateAnimationFields(nullptr, *doc_, r), failed) << r.width << "x" << r.height;
    EXPECT_EQ(Captions(), captions) << r.width << "x" << r.height;
  }
  int64_t w = 0, h = 0;
  AutoScreenSize(*doc_, &w, &h);
  EXPECT_EQ(std::make_tuple(w, h, ValidateReduceStep(nullptr, *doc_, 4),
                            ValidateReduceStep(nullptr, *doc_, 3)),
            std::make_tuple(6, 4, false, true));
}

TEST_F(PropertiesTest, FramePageChangesOneFrameInOneUndoStep) {
  AddFrames(2);
  GiveLocalPalette(At(1), GreyPalette(16));
  FramePropertiesRequest r = FillFrameRequest(*doc_, FrameScope::Current, 1);
  ASSERT_EQ(r.delay, 20);
  EXPECT_EQ(ApplyFrameProperties(nullptr, *doc_, r).changes, 0u) << "nothing edited";
  EXPECT_EQ(CanUndoKind(), UndoKind::None);

  r.delay = 55, r.disposal = DisposalPrevious, r.left = -3, r.top = 7, r.name = "nuage";
  r.interlaced = r.transparent = r.transparencyAccepted = true;
  r.transparentIndexes = {5, 9};
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { return ApplyFrameProperties(nullptr, *doc_, r).ok; }));
  const Frame* f = At(1);
  EXPECT_EQ(std::make_tuple(f->delay, f->Disposal(), f->left, f->top, f->Interlaced()),
            std::make_tuple(55u, DisposalPrevious, -3, 7, true));
  EXPECT_EQ(FrameName(f), "nuage");
  EXPECT_EQ(std::make_tuple(f->transparentIndex, Pixel(f, 1, 2)), std::make_tuple(5, 5));  // was 9

  // Unchecking the local palette removes it (how it joins the global one is the colour engine's).
  r = FillFrameRequest(*doc_, FrameScope::Current, 1);
  r.removeLocalPalette = true;
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { return ApplyFrameProperties(nullptr, *doc_, r).ok; }));
  EXPECT_EQ(At(1)->localPalette, nullptr);

  AnimationPropertiesRequest a = FillAnimationRequest(*doc_);
  a.loopCount = 3, a.backgroundIndex = 7;
  EXPECT_TRUE(
      UndoRedoRestores(*doc_, [&] { return ApplyAnimationProperties(*doc_, a).changes != 0; }));
  EXPECT_EQ(std::make_tuple(doc_->playCount, doc_->backgroundIndex),
            std::make_tuple(3u, uint8_t{7}));
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
  EXPECT_TRUE(selected.interlaced == false && !selected.name);

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
}

// Comments keep their place in the block list; reducing deletes every nth frame and keeps the
// running time.
TEST_F(PropertiesTest, CommentsKeepTheirPlaceAndReducingKeepsTheRunningTime) {
  AddFrames(10);
  // The only one goes first of all blocks; then after "b", a new first entry, between the two.
  const std::pair<int, const char*> inserts[] = {{0, "b"}, {1, "d"}, {0, "a"}, {2, "c"}};
  for (auto [position, text] : inserts) ASSERT_TRUE(InsertComment(*doc_, position, text));
  std::vector<std::string> texts;
  for (int i = 0; i < 4; ++i) texts.push_back(CommentAt(*doc_, i));
  EXPECT_EQ(texts, (std::vector<std::string>{"a", "b", "c", "d"}));
  // All four sit together in front of the frames, which stay two.
  EXPECT_EQ(doc_->blocks->next->kind, BlockKind::Comment);
  EXPECT_EQ(FirstFrame(*doc_)->prev->kind, BlockKind::Comment);
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { return ReplaceComment(*doc_, 2, "C"); }));
  EXPECT_TRUE(UndoRedoRestores(*doc_, [&] { return DeleteComment(*doc_, 0); }));
  EXPECT_FALSE(DeleteComment(*doc_, 3) || ReplaceComment(*doc_, -1, "x"));
  EXPECT_EQ(CommentBlocks(*doc_).size(), 3u);
  EXPECT_EQ(CommentAt(*doc_, 1), "C");

  EXPECT_EQ(std::make_tuple(FramesAfterReduction(10, 3), FramesAfterReduction(10, 10),
                            FramesAfterReduction(10, 1), FramesAfterReduction(10, 11)),
            std::make_tuple(7, 9, -1, -1));
  At(8)->selected = At(9)->selected = 1;  // the ninth goes
  SetSelectedCount(*doc_, 2);
  const uint64_t total = TotalDuration(*doc_);
  EXPECT_TRUE(UndoRedoRestores(
      *doc_, [&] { EXPECT_NE(ReduceFrameCount(*doc_, 3) & refresh::FrameCount, 0u); }));
  ASSERT_EQ(doc_->frameCount, 7);
  const int kept[] = {0, 1, 3, 4, 6, 7, 9};  // the former third, sixth and ninth are gone
  const uint32_t delays[] = {10, 20 + 30, 40, 50 + 60, 70, 80 + 90, 100};
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(std::tie(At(i)->left, At(i)->delay), std::tie(kept[i], delays[i]));
  EXPECT_EQ(TotalDuration(*doc_), total);
  EXPECT_EQ(doc_->selectedCount, 1u);
}

}  // namespace
}  // namespace lw
