#include "colour/optimize_trial.h"

#include <gtest/gtest.h>

#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "support/document.h"
#include "support/undo_check.h"

namespace lw {
namespace {

using namespace test;

constexpr uint32_t kAll = optimize::Defaults;

// What the save writes and replaces, as the dialog measures with it.
SaveSignature Signature() { return {GetSignature(), GetSignature(true)}; }
OptimizeOptions Trial(uint32_t steps) {
  OptimizeOptions options(steps);
  options.signature = Signature();
  return options;
}

TEST(OptimizeTrialTexts, SizeAndSavingFields) {
  const std::tuple<int64_t, const char*, const char*> sizes[] = {
      {-1, ",", ""}, {0, ",", "Aucune"}, {1234567, "\u202f", "1\u202f234\u202f567 octets"}};
  for (auto [size, separator, text] : sizes)
    EXPECT_EQ(SizeFieldText(size, separator), text) << size;
  const std::tuple<int64_t, int64_t, const char*, const char*> savings[] = {
      {3000, 1999, "1,001 octets", "(33,4%)"},
      {1000, 1001, "", ""},  // grew: nothing shown
      {10, -1, "", ""},      // unknown size
      {0, 0, "Aucune", ""},  // no percentage of nothing
  };
  for (auto [before, after, expectedSaving, expectedPercent] : savings) {
    std::string saving = "old", percent = "old";
    SavingTexts(before, after, ",", &saving, &percent);
    EXPECT_EQ(std::tie(saving, percent), std::make_tuple(expectedSaving, expectedPercent)) << after;
  }
}

class OptimizeTrial : public ::testing::Test {
 protected:
  void SetUp() override { LoadPreferences(); }
  FreshUndoHistory history_;
  int32_t Size(bool force) { return EstimateEncodedSize(*doc_, force, Signature(), nullptr); }
  // A sprite moving over stripes, every frame a full redraw, and one frame repeated: the
  // optimizer has frames to cut and one to drop.
  AnimationPtr doc_ = [] {
    AnimationPtr a = MakeDocument(40, 24);
    for (int i : {0, 1, 2, 2, 3}) {
      AddDrawnFrame(*a, 0, 0, 40, 24, [&](uint32_t x, uint32_t y) -> uint8_t {
        if (x >= 4 + 7u * i && x < 10 + 7u * i && y >= 8 && y < 14) return 9;
        return (y / 3) % 2 ? 2 : 3;
      });
    }
    return a;
  }();
};

// The trial works on a copy, measures it, and tells whether the useless-frames box needs another.
TEST_F(OptimizeTrial, RunsOnACopyMeasuresItAndKnowsWhenTheUselessFramesBoxMatters) {
  AnimationPtr original = DuplicateAnimation(*doc_, nullptr);
  AnimationPtr copies[3];
  const uint32_t options[] = {kAll, 0, kAll & ~optimize::RemoveUselessFrames};
  for (int i = 0; i < 3; ++i) {
    int32_t size = -1;
    ASSERT_EQ(RunOptimizeTrial(*doc_, Trial(options[i]), nullptr, &copies[i], &size),
              TrialStatus::Done);
    EXPECT_TRUE(SameAnimation(*doc_, *original));  // the document is only read
    EXPECT_EQ(size, EstimateEncodedSize(*copies[i], true, Signature(), nullptr));
    EXPECT_EQ(copies[i]->frameCount, i == 0 ? 4 : 5) << "the repeat goes or stays as one pixel";
  }
  EXPECT_LT(EstimateEncodedSize(*copies[0], true, Signature(), nullptr), Size(true));
  EXPECT_TRUE(UselessFramesToggleNeedsTrial(true, *doc_, *copies[2]));
  EXPECT_FALSE(UselessFramesToggleNeedsTrial(true, *doc_, *copies[0]));
  EXPECT_TRUE(UselessFramesToggleNeedsTrial(false, *doc_, *copies[0]));
  EXPECT_FALSE(UselessFramesToggleNeedsTrial(false, *doc_, *copies[2]));

  ProgressMeterPtr meter(CreateProgressMeter(nullptr, progress::Silent, task::OptimizeTrial));
  SetTaskStopRequest(task::OptimizeTrial, true);
  int32_t size = 5;
  EXPECT_EQ(RunOptimizeTrial(*doc_, Trial(kAll), meter.get(), &copies[0], &size),
            TrialStatus::Stopped);
  SetTaskStopRequest(task::OptimizeTrial, false);
  EXPECT_EQ(size, -1);
}

// OK keeps a smaller result as one undo step, an unchanged one as nothing; without a copy the
// document itself is optimized, with no undo entry and its size unknown.
TEST_F(OptimizeTrial, KeepingTheResultIsOneUndoStepOnlyWhenTheSizeChanged) {
  AnimationPtr original = DuplicateAnimation(*doc_, nullptr), same, smaller;
  int32_t size;
  ASSERT_EQ(RunOptimizeTrial(*doc_, Trial(0), nullptr, &same, &size), TrialStatus::Done);
  ASSERT_EQ(size, Size(false));
  EXPECT_FALSE(KeepOptimizeTrial(*doc_, std::move(same), size, Signature()));
  EXPECT_EQ(CanUndoKind(), UndoKind::None);
  EXPECT_TRUE(SameAnimation(*doc_, *original));

  ASSERT_EQ(RunOptimizeTrial(*doc_, Trial(kAll), nullptr, &smaller, &size), TrialStatus::Done);
  EXPECT_TRUE(UndoRedoRestores(
      *doc_, [&] { return KeepOptimizeTrial(*doc_, std::move(smaller), size, Signature()); }));
  EXPECT_EQ(CanUndoKind(), UndoKind::Optimize);
  EXPECT_EQ(doc_->frameCount, 4);
  EXPECT_EQ(Size(true), size);

  ClearHistory();
  EstimateEncodedSize(*original, false, Signature(), nullptr);
  OptimizeInPlace(*original, OptimizeOptions(kAll), nullptr);
  EXPECT_EQ(original->encodedSizeCache, -1);
  EXPECT_EQ(original->frameCount, 4);
  EXPECT_EQ(CanUndoKind(), UndoKind::None);
}

}  // namespace
}  // namespace lw
