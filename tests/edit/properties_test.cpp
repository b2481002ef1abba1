// The property dialogs' checks and changes, without their widgets.
#include "edit/properties.h"

#include <gtest/gtest.h>

#include <deque>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/colour_fixtures.h"
#include "core/undo.h"

namespace lw {
namespace {

using test::Append;
using test::GreyPalette;
using test::IndexedFrame;

// Records each box's caption and answers the Yes/No questions from a script (Yes when empty).
class AskingServices : public PlatformServices {
 public:
  std::vector<std::string> captions;
  std::deque<int> answers;
  int MessageBox(WindowHandle, const std::string&, const std::string& caption, int style) override {
    captions.push_back(caption);
    if ((style & mb::ButtonMask) != mb::YesNo) return answer::Ok;
    if (answers.empty()) return answer::Yes;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  bool Interactive() const override { return false; }
};

class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetServices(&services_);
    levels_ = GetPref(PrefUndoLevels);
    SetPref(PrefUndoLevels, 20);
    ClearHistory();
    doc_ = test::AnimationWith(GreyPalette(16));
  }
  void TearDown() override {
    ClearHistory();
    SetPref(PrefUndoLevels, levels_);
    SetServices(nullptr);
  }
  // Frames of 4 x 4, frame i at offset (i, 0) with delay 10 * (i + 1), pixels counting up.
  void AddFrames(int n) {
    for (int i = 0; i < n; ++i) {
      Frame* f = IndexedFrame(4, 4, doc_->globalPalette.get(),
                              {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
      f->left = i;
      f->delay = 10 * static_cast<uint32_t>(i + 1);
      Append(*doc_, f);
    }
  }
  Frame* At(int i) { return FrameAt(*doc_, i); }

  AskingServices services_;
  AnimationPtr doc_;
  uint32_t levels_ = 0;
};

TEST_F(PropertiesTest, FrameFieldChecksFollowTheirOrderAndLimits) {
  AddFrames(1);  // screen 16 x 16
  struct Case {
    std::optional<int64_t> left, top, delay;
    std::deque<int> answers;
    PropertyField failed;
    std::vector<int> captions;
  };
  const Case cases[] = {
      {65535,
       -65535,
       0,
       {answer::Yes, answer::Yes},
       PropertyField::None,
       {str::PropOffsetCropsTitle, str::PropOffsetCropsTitle}},
      {65536, 0, 0, {}, PropertyField::Left, {str::PropOffsetRangeTitle}},
      {0, -65536, 0, {}, PropertyField::Top, {str::PropOffsetRangeTitle}},
      {16, -16, 65535, {}, PropertyField::None, {}},  // the screen's size asks nothing
      {17, 0, 0, {answer::No}, PropertyField::Left, {str::PropOffsetCropsTitle}},
      {0, 17, 0, {answer::No}, PropertyField::Top, {str::PropOffsetCropsTitle}},
      {0, 0, 65536, {}, PropertyField::Delay, {str::PropDelayRangeTitle}},
      {0, 0, -1, {}, PropertyField::Delay, {str::PropDelayRangeTitle}},
      {std::nullopt, std::nullopt, std::nullopt, {}, PropertyField::None, {}},  // empty fields
  };
  for (const Case& c : cases) {
    services_.captions.clear();
    services_.answers = c.answers;
    FramePropertiesRequest r;
    r.left = c.left, r.top = c.top, r.delay = c.delay;
    EXPECT_EQ(ValidateFrameFields(nullptr, *doc_, r), c.failed) << c.left.value_or(0);
    std::vector<std::string> expected;
    for (int id : c.captions) expected.push_back(ResText(id));
    EXPECT_EQ(services_.captions, expected);
  }
}

TEST_F(PropertiesTest, FramePageChangesOneFrameAndUndoesInOneStep) {
  AddFrames(2);
  FramePropertiesRequest r = FillFrameRequest(*doc_, FrameScope::Current, 1);
  ASSERT_EQ(r.delay, 20);
  ASSERT_EQ(r.name, "");
  // Nothing edited: nothing recorded.
  EXPECT_EQ(ApplyFrameProperties(nullptr, *doc_, r).changes, 0u);
  EXPECT_EQ(CanUndoKind(), 0u);

  r.delay = 55, r.disposal = DisposalPrevious, r.left = -3, r.top = 7, r.name = "nuage";
  r.interlaced = true;
  PropertiesResult result = ApplyFrameProperties(nullptr, *doc_, r);
  EXPECT_EQ(result.changes, propchange::CurrentFrame);
  EXPECT_EQ(refresh::FrameIndexOf(result.hints), 1u);
  EXPECT_TRUE(result.hints & refresh::Names);
  Frame* f = At(1);
  EXPECT_EQ(f->delay, 55u);
  EXPECT_EQ(f->Disposal(), DisposalPrevious);
  EXPECT_EQ(f->left, -3);
  EXPECT_EQ(f->top, 7);
  EXPECT_TRUE(f->Interlaced());
  EXPECT_EQ(FrameName(f), "nuage");
  EXPECT_EQ(At(0)->delay, 10u);
  EXPECT_EQ(CanUndoKind(), undo::FrameProperties);

  Undo(*doc_);
  EXPECT_EQ(f->delay, 20u);
  EXPECT_EQ(f->Disposal(), DisposalNone);
  EXPECT_EQ(f->left, 1);
  EXPECT_EQ(f->top, 0);
  EXPECT_FALSE(f->Interlaced());
  EXPECT_EQ(FrameName(f), "");
  Redo(*doc_);
  EXPECT_EQ(f->delay, 55u);
  EXPECT_EQ(FrameName(f), "nuage");
}

TEST_F(PropertiesTest, FramePageImageChangesComeBackOnUndo) {
  AddFrames(1);
  Frame* f = At(0);
  SetLocalPalette(f, GreyPalette(16));
  f->palette = f->localPalette.get();
  f->descriptorFlags |= 0x80;
  FramePropertiesRequest r = FillFrameRequest(*doc_, FrameScope::Current, 0);
  r.transparent = true;
  r.transparencyAccepted = true;
  r.transparentIndexes = {5, 9};
  ApplyFrameProperties(nullptr, *doc_, r);
  EXPECT_TRUE(f->Transparent());
  EXPECT_EQ(f->transparentIndex, 5);
  EXPECT_EQ(test::Pixel(f, 1, 2), 5);  // was 9
  EXPECT_EQ(test::Pixel(f, 1, 1), 5);
  Undo(*doc_);
  f = At(0);
  EXPECT_FALSE(f->Transparent());
  EXPECT_EQ(test::Pixel(f, 1, 2), 9);

  // Unchecking the local palette alone removes it.
  r = FillFrameRequest(*doc_, FrameScope::Current, 0);
  r.removeLocalPalette = true;
  PropertiesResult result = ApplyFrameProperties(nullptr, *doc_, r);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(At(0)->localPalette, nullptr);
  EXPECT_EQ(CanUndoKind(), undo::FrameProperties);
  Undo(*doc_);
  EXPECT_NE(At(0)->localPalette, nullptr);

  // Colours the global palette lacks make it change: the undo entry must bring it back too.
  PalettePtr reds = std::make_unique<Palette>();
  for (int i = 0; i < 16; ++i)
    reds->entries.push_back({static_cast<uint8_t>(100 + 9 * i), 0, 0, 0});
  f = At(0);
  SetLocalPalette(f, std::move(reds));
  f->palette = f->localPalette.get();
  UpdateDibColourTable(f);
  std::vector<PaletteEntry> global = doc_->globalPalette->entries;
  r = FillFrameRequest(*doc_, FrameScope::Current, 0);
  r.removeLocalPalette = true;
  r.delay = 99;
  ASSERT_TRUE(ApplyFrameProperties(nullptr, *doc_, r).ok);
  ASSERT_NE(doc_->globalPalette->entries, global);
  EXPECT_EQ(At(0)->delay, 99u);
  Undo(*doc_);
  EXPECT_EQ(doc_->globalPalette->entries, global);
  ASSERT_NE(At(0)->localPalette, nullptr);
  EXPECT_EQ(At(0)->localPalette->entries[15].red, 235);
  EXPECT_EQ(At(0)->delay, 10u);
  Redo(*doc_);
  EXPECT_EQ(At(0)->localPalette, nullptr);
  EXPECT_EQ(At(0)->delay, 99u);
}

TEST_F(PropertiesTest, SharedPagesLeaveEmptyFieldsAndIndeterminateBoxesAlone) {
  AddFrames(3);
  SetInterlaced(At(0), true);
  SetDisposal(At(2), DisposalBackground);
  At(1)->selected = At(2)->selected = 1;
  SetSelectedCount(*doc_, 2);

  FramePropertiesRequest all = FillFrameRequest(*doc_, FrameScope::All, -1);
  EXPECT_FALSE(all.delay.has_value());
  EXPECT_FALSE(all.left.has_value());
  EXPECT_EQ(all.top, 0);
  EXPECT_FALSE(all.interlaced.has_value());
  EXPECT_EQ(all.transparent, false);
  EXPECT_EQ(all.disposal, -1);
  FramePropertiesRequest selected = FillFrameRequest(*doc_, FrameScope::Selected, -1);
  EXPECT_EQ(selected.interlaced, false);
  EXPECT_FALSE(selected.name.has_value());

  all.top = 4;
  PropertiesResult result = ApplyFrameProperties(nullptr, *doc_, all);
  EXPECT_EQ(result.changes, propchange::SeveralFrames);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(At(i)->top, 4);
    EXPECT_EQ(At(i)->left, i);
    EXPECT_EQ(At(i)->delay, 10u * (i + 1));
    EXPECT_EQ(At(i)->Interlaced(), i == 0);
  }
  EXPECT_EQ(At(2)->Disposal(), DisposalBackground);

  selected.delay = 7;
  selected.disposal = DisposalLeave;
  ApplyFrameProperties(nullptr, *doc_, selected);
  EXPECT_EQ(At(0)->delay, 10u);
  EXPECT_EQ(At(1)->delay, 7u);
  EXPECT_EQ(At(2)->Disposal(), DisposalLeave);
  EXPECT_EQ(CanUndoKind(), undo::GlobalFrameProperties);

  Undo(*doc_);
  Undo(*doc_);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(At(i)->top, 0);
    EXPECT_EQ(At(i)->delay, 10u * (i + 1));
  }
  EXPECT_EQ(At(2)->Disposal(), DisposalBackground);
}

TEST_F(PropertiesTest, AnimationPageChecksTheSizeOnlyWhenEdited) {
  AddFrames(3);  // frames reach 6 x 4
  struct Case {
    bool sizeEdited;
    int64_t width, height, loops;
    std::deque<int> answers;
    PropertyField failed;
    std::vector<int> captions;
  };
  const Case cases[] = {
      {false, -5, 70000, 65536, {}, PropertyField::None, {}},
      {false, 16, 16, 65537, {}, PropertyField::LoopCount, {str::PropLoopRangeTitle}},
      {true, 65536, 16, 0, {}, PropertyField::Width, {str::PropWidthRangeTitle}},
      {true, 5, 16, 0, {answer::No}, PropertyField::Width, {str::PropSizeCutsTitle}},
      {true, 6, 4, 0, {}, PropertyField::None, {}},
      {true, 6, 3, 0, {answer::No}, PropertyField::Height, {str::PropSizeCutsTitle}},
      {true,
       5,
       -1,
       0,
       {answer::Yes},
       PropertyField::Height,
       {str::PropSizeCutsTitle, str::PropHeightRangeTitle}},
  };
  for (const Case& c : cases) {
    services_.captions.clear();
    services_.answers = c.answers;
    AnimationPropertiesRequest r{c.sizeEdited, c.width, c.height, c.loops, 0};
    EXPECT_EQ(ValidateAnimationFields(nullptr, *doc_, r), c.failed) << c.width << "x" << c.height;
    std::vector<std::string> expected;
    for (int id : c.captions) expected.push_back(ResText(id));
    EXPECT_EQ(services_.captions, expected);
  }
  int64_t w = 0, h = 0;
  AutoScreenSize(*doc_, &w, &h);
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 4);

  AnimationPropertiesRequest r = FillAnimationRequest(*doc_);
  EXPECT_EQ(ApplyAnimationProperties(*doc_, r).changes, 0u);
  r.loopCount = 3;
  EXPECT_EQ(ApplyAnimationProperties(*doc_, r).changes, propchange::LoopOrBackground);
  r.width = 40;  // not edited: kept
  EXPECT_EQ(ApplyAnimationProperties(*doc_, r).changes, 0u);
  r.sizeEdited = true;
  r.backgroundIndex = 7;
  PropertiesResult result = ApplyAnimationProperties(*doc_, r);
  EXPECT_EQ(result.changes, propchange::ScreenSize | propchange::LoopOrBackground);
  EXPECT_TRUE(result.hints & refresh::ScreenSize);
  EXPECT_EQ(doc_->screenWidth, 40u);
  EXPECT_EQ(doc_->backgroundIndex, 7);
  EXPECT_EQ(doc_->playCount, 3u);
}

TEST_F(PropertiesTest, CommentsKeepTheirPlaceInTheBlockList) {
  AddFrames(2);
  ASSERT_TRUE(InsertComment(*doc_, 0, "b"));  // the only one: first of all blocks
  ASSERT_TRUE(InsertComment(*doc_, 1, "d"));  // after "b"
  ASSERT_TRUE(InsertComment(*doc_, 0, "a"));  // new first entry
  ASSERT_TRUE(InsertComment(*doc_, 2, "c"));  // between "b" and "d"
  EXPECT_EQ(doc_->blocks->next->kind, BlockKind::Comment);
  std::vector<std::string> texts;
  for (int i = 0; i < 4; ++i) texts.push_back(CommentAt(*doc_, i));
  EXPECT_EQ(texts, (std::vector<std::string>{"a", "b", "c", "d"}));
  // All four sit together in front of the frames, which stay two.
  EXPECT_EQ(FirstFrame(*doc_)->prev->kind, BlockKind::Comment);
  EXPECT_EQ(doc_->frameCount, 2);

  EXPECT_TRUE(ReplaceComment(*doc_, 2, "C"));
  EXPECT_TRUE(DeleteComment(*doc_, 0));
  EXPECT_FALSE(DeleteComment(*doc_, 3));
  EXPECT_FALSE(ReplaceComment(*doc_, -1, "x"));
  EXPECT_EQ(CommentBlocks(*doc_).size(), 3u);
  EXPECT_EQ(CommentAt(*doc_, 1), "C");
  EXPECT_EQ(CommentAt(*doc_, 5), "");
}

TEST_F(PropertiesTest, ReducingDeletesEveryNthFrameAndKeepsTheRunningTime) {
  EXPECT_EQ(FramesAfterReduction(10, 3), 7);
  EXPECT_EQ(FramesAfterReduction(10, 10), 9);
  EXPECT_EQ(FramesAfterReduction(10, 2), 5);
  EXPECT_EQ(FramesAfterReduction(10, 1), -1);
  EXPECT_EQ(FramesAfterReduction(10, 11), -1);

  AddFrames(10);
  EXPECT_FALSE(ValidateReduceStep(nullptr, *doc_, 11));
  EXPECT_EQ(services_.captions, std::vector<std::string>{ResText(str::ReduceCountRangeTitle)});
  EXPECT_TRUE(ValidateReduceStep(nullptr, *doc_, 10));
  At(8)->selected = 1;  // the ninth goes
  At(9)->selected = 1;
  SetSelectedCount(*doc_, 2);

  uint64_t total = TotalDuration(*doc_);
  EXPECT_NE(ReduceFrameCount(*doc_, 3) & refresh::FrameCount, 0u);
  ASSERT_EQ(doc_->frameCount, 7);
  const int kept[] = {0, 1, 3, 4, 6, 7, 9};  // the former third, sixth and ninth are gone
  const uint32_t delays[] = {10, 20 + 30, 40, 50 + 60, 70, 80 + 90, 100};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(At(i)->left, kept[i]);
    EXPECT_EQ(At(i)->delay, delays[i]);
  }
  EXPECT_EQ(TotalDuration(*doc_), total);
  EXPECT_EQ(doc_->selectedCount, 1u);
  EXPECT_EQ(CanUndoKind(), undo::ReduceFrameCount);
  Undo(*doc_);
  EXPECT_EQ(doc_->frameCount, 10);
  EXPECT_EQ(At(2)->left, 2);
  EXPECT_EQ(At(1)->delay, 20u);
}

}  // namespace
}  // namespace lw
