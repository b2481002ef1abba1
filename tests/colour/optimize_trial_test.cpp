#include "colour/optimize_trial.h"

#include <gtest/gtest.h>

#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "support/document.h"
#include "support/timeline.h"
#include "support/undo_check.h"
#include "core/gif_writer.h"
#include "core/undo.h"

namespace lw {
namespace {

using namespace test;

constexpr OptimizeOptions kAll = optimize::Defaults;

// A sprite moving over stripes, every frame a full redraw, and one frame repeated: the optimizer
// has frames to cut and one to drop.
AnimationPtr Sprite() {
  AnimationPtr a = MakeDocument(40, 24);
  for (int i : {0, 1, 2, 2, 3}) {
    AddDrawnFrame(*a, 0, 0, 40, 24, [&](uint32_t x, uint32_t y) -> uint8_t {
      if (x >= 4 + 7u * i && x < 10 + 7u * i && y >= 8 && y < 14) return 9;
      return (y / 3) % 2 ? 2 : 3;
    });
  }
  return a;
}

class OptimizeTrial : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadPreferences();
    ClearHistory();
  }
  void TearDown() override { ClearHistory(); }
};

TEST(OptimizeTrialTexts, SizeAndSavingFields) {
  struct Case {
    int64_t size;
    const char* separator;
    const char* text;
  } sizes[] = {
      {-1, ",", ""},
      {0, ",", "Aucune"},
      {1234567, ",", "1,234,567 octets"},
      {1234567, "\u202f", "1\u202f234\u202f567 octets"},
  };
  for (const Case& c : sizes) EXPECT_EQ(SizeFieldText(c.size, c.separator), c.text) << c.size;

  struct Saving {
    int64_t before, after;
    const char* saving;
    const char* percent;
  } savings[] = {
      {3000, 1999, "1,001 octets", "(33,4%)"},
      {1000, 1001, "", ""},  // grew: nothing shown
      {10, -1, "", ""},      // unknown size
      {0, 0, "Aucune", ""},  // no percentage of nothing
  };
  for (const Saving& s : savings) {
    std::string saving = "old", percent = "old";
    SavingTexts(s.before, s.after, ",", &saving, &percent);
    EXPECT_EQ(saving, s.saving) << s.before << " " << s.after;
    EXPECT_EQ(percent, s.percent) << s.before << " " << s.after;
  }
}

TEST_F(OptimizeTrial, RunsOnACopyAndMeasuresIt) {
  AnimationPtr doc = Sprite();
  AnimationPtr original = DuplicateAnimation(*doc, nullptr);
  auto pictures = Timeline(*doc);
  AnimationPtr copy;
  int32_t size = -1;
  for (OptimizeOptions options : {kAll, OptimizeOptions{0}, kAll}) {
    ASSERT_EQ(RunOptimizeTrial(*doc, options, nullptr, &copy, &size), TrialStatus::Done);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(SameAnimation(*doc, *original));  // the document is only read
    EXPECT_TRUE(SameTimeline(pictures, Timeline(*copy)));
    EXPECT_EQ(size, EstimateEncodedSize(*copy, true, GetSignature(), nullptr));
    EXPECT_EQ(copy->frameCount, options ? 4 : 5) << options;
  }
  EXPECT_LT(size, EstimateEncodedSize(*doc, true, GetSignature(), nullptr));
}

TEST_F(OptimizeTrial, StopRequestEndsTheTrialWithoutASize) {
  AnimationPtr doc = Sprite();
  struct NoView : ProgressView {
    void SetRange(int) override {}
    void SetPosition(int) override {}
    void Step() override {}
    void SetText(const std::string&) override {}
  } view;
  int owner = 0;
  ProgressMeterPtr meter(CreateProgressMeterIn(&owner, progress::Background | progress::InDialog,
                                               task::OptimizeTrial, &view));
  SetTaskStopRequest(task::OptimizeTrial, true);
  AnimationPtr copy;
  int32_t size = 5;
  EXPECT_EQ(RunOptimizeTrial(*doc, kAll, meter.get(), &copy, &size), TrialStatus::Stopped);
  SetTaskStopRequest(task::OptimizeTrial, false);
  EXPECT_EQ(size, -1);
}

TEST_F(OptimizeTrial, UselessFramesToggle) {
  AnimationPtr doc = Sprite();
  AnimationPtr kept, dropped;
  int32_t size;
  RunOptimizeTrial(*doc, kAll & ~optimize::RemoveUselessFrames, nullptr, &kept, &size);
  RunOptimizeTrial(*doc, kAll, nullptr, &dropped, &size);
  ASSERT_EQ(kept->frameCount, 5);  // the repeat became one pixel
  ASSERT_EQ(dropped->frameCount, 4);
  EXPECT_TRUE(UselessFramesToggleNeedsTrial(true, *doc, *kept));
  EXPECT_FALSE(UselessFramesToggleNeedsTrial(true, *doc, *dropped));
  EXPECT_TRUE(UselessFramesToggleNeedsTrial(false, *doc, *dropped));
  EXPECT_FALSE(UselessFramesToggleNeedsTrial(false, *doc, *kept));
}

TEST_F(OptimizeTrial, KeepingTheResultIsOneUndoStepOnlyWhenTheSizeChanged) {
  AnimationPtr doc = Sprite();
  AnimationPtr original = DuplicateAnimation(*doc, nullptr);
  int32_t before = EstimateEncodedSize(*doc, false, GetSignature(), nullptr);
  AnimationPtr same, smaller;
  int32_t size;
  ASSERT_EQ(RunOptimizeTrial(*doc, 0, nullptr, &same, &size), TrialStatus::Done);
  ASSERT_EQ(size, before);
  EXPECT_FALSE(KeepOptimizeTrial(*doc, std::move(same), size));
  EXPECT_EQ(CanUndoKind(), 0u);
  EXPECT_TRUE(SameAnimation(*doc, *original));

  ASSERT_EQ(RunOptimizeTrial(*doc, kAll, nullptr, &smaller, &size), TrialStatus::Done);
  EXPECT_TRUE(UndoRedoRestores(*doc, [&] { return KeepOptimizeTrial(*doc, std::move(smaller), size); }));
  EXPECT_EQ(CanUndoKind(), undo::Optimize);
  EXPECT_EQ(doc->frameCount, 4);
  EXPECT_EQ(EstimateEncodedSize(*doc, true, GetSignature(), nullptr), size);
}

TEST_F(OptimizeTrial, InPlaceWithoutACopyLeavesTheSizeUnknown) {
  AnimationPtr doc = Sprite();
  auto pictures = Timeline(*doc);
  EstimateEncodedSize(*doc, false, GetSignature(), nullptr);
  OptimizeInPlace(*doc, kAll, nullptr);
  EXPECT_EQ(doc->encodedSizeCache, -1);
  EXPECT_EQ(doc->frameCount, 4);
  EXPECT_TRUE(SameTimeline(pictures, Timeline(*doc)));
  EXPECT_EQ(CanUndoKind(), 0u);
}

}  // namespace
}  // namespace lw
