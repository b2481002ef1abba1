#include "formats/merge.h"

#include <gmock/gmock.h>

#include "flow_fixture.h"
#include "formats/open_flow.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;

std::vector<uint32_t> Delays(const Animation& a) {
  std::vector<uint32_t> delays;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) delays.push_back(f->delay);
  return delays;
}

AnimationPtr Timed(uint32_t size, const std::vector<uint32_t>& delays, uint8_t index) {
  AnimationPtr a = MakeDocument(size, size);
  for (uint32_t d : delays) AddSolidFrame(*a, 0, 0, size, size, index)->delay = d;
  return a;
}

TEST(MergeLayout, NegativeOffsetWidensTheScreenOnTheLeft) {
  AnimationPtr a = MakeDocument(100, 100), b = MakeDocument(100, 100);
  MergeLayout l = ComputeMergeLayout(*a, *b, -10, 0);
  EXPECT_EQ(l.width, 110);
  EXPECT_EQ(l.height, 100);
  EXPECT_EQ(std::make_pair(l.ax, l.ay), std::make_pair(int64_t{10}, int64_t{0}));
  EXPECT_EQ(std::make_pair(l.bx, l.by), std::make_pair(int64_t{0}, int64_t{0}));
  l = ComputeMergeLayout(*a, *b, 30, 120);
  EXPECT_EQ(l.width, 130);
  EXPECT_EQ(l.height, 220);
  EXPECT_EQ(l.by, 120);
}

TEST_F(FlowTest, MergingByDurationCutsAtEveryChange) {
  AnimationPtr a = Timed(4, {10, 10, 10}, 1);
  AnimationPtr b = Timed(4, {25}, 2);
  MergeOptions options;
  options.byDuration = true;
  ASSERT_TRUE(BuildMergedAnimation(*a, *b, options, nullptr));
  EXPECT_THAT(Delays(*a), ElementsAre(10u, 10u, 5u, 5u));
  EXPECT_EQ(a->frameCount, 4);
  EXPECT_THAT(FrameNames(*a), ElementsAre("Fusionner cadre 1", "Fusionner cadre 2",
                                          "Fusionner cadre 3", "Fusionner cadre 4"));
}

TEST_F(FlowTest, MergingFrameByFrameLoopsTheShorterOneOnlyWhenAsked) {
  for (bool loop : {false, true}) {
    AnimationPtr a = Timed(2, {10, 20, 30}, 1);
    // B is one pixel in the corner, drawn over A.
    AnimationPtr b = MakeDocument(1, 1);
    AddSolidFrame(*b, 0, 0, 1, 1, 2)->delay = 99;
    MergeOptions options;
    options.loopShorter = loop;
    ASSERT_TRUE(BuildMergedAnimation(*a, *b, options, nullptr));
    EXPECT_THAT(Delays(*a), ElementsAre(10u, 20u, 30u));
    std::vector<int> corner;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      corner.push_back(Pixels(*f)[0]);
      EXPECT_EQ(Pixels(*f)[1], 1);
    }
    if (loop) {
      EXPECT_THAT(corner, ElementsAre(2, 2, 2));
    } else {
      EXPECT_THAT(corner, ElementsAre(2, 1, 1));
    }
  }
}

TEST_F(FlowTest, MergingWithoutAnyDelayEndsFrameByFrame) {
  // Nothing takes time: the clock can never move, so the frames are taken one by one.
  AnimationPtr a = Timed(2, {0, 0}, 1);
  AnimationPtr b = Timed(2, {0}, 2);
  MergeOptions options;
  options.byDuration = true;
  options.loopShorter = true;
  ASSERT_TRUE(BuildMergedAnimation(*a, *b, options, nullptr));
  EXPECT_EQ(a->frameCount, 2);
  // A side of zero length is not looped under a longer one either.
  AnimationPtr c = Timed(2, {10, 10}, 1);
  AnimationPtr d = Timed(2, {0}, 2);
  ASSERT_TRUE(BuildMergedAnimation(*c, *d, options, nullptr));
  EXPECT_THAT(Delays(*c), ElementsAre(0u, 10u, 10u));
}

TEST_F(FlowTest, MergeKeepsExtensionBlocksAndPlacesBothPictures) {
  AnimationPtr a = MakeDocument(2, 1);
  AddComment(*a, "before");
  AddSolidFrame(*a, 0, 0, 2, 1, 1);
  AddComment(*a, "between");
  AddSolidFrame(*a, 0, 0, 2, 1, 1);
  AnimationPtr b = MakeDocument(1, 1);
  AddSolidFrame(*b, 0, 0, 1, 1, 3, 0, 3);  // wholly transparent: A shows through
  AddSolidFrame(*b, 0, 0, 1, 1, 2);
  MergeOptions options;
  options.offsetX = -1;
  ASSERT_TRUE(BuildMergedAnimation(*a, *b, options, nullptr));
  EXPECT_EQ(a->screenWidth, 3u);
  std::vector<std::string> kinds;
  for (Block* block = a->blocks->next; block; block = block->next) {
    std::string text;
    kinds.push_back(CommentText(block, &text) ? text : "frame");
  }
  EXPECT_THAT(kinds, ElementsAre("before", "frame", "frame", "between"));
  // A stands at x = 1; B at 0, with its transparent pixel leaving the background.
  EXPECT_THAT(Pixels(*FrameAt(*a, 0)), ElementsAre(a->backgroundIndex, 1, 1));
  EXPECT_THAT(Pixels(*FrameAt(*a, 1)), ElementsAre(2, 1, 1));
}

// Short delays merged by duration over a long time make a full-screen frame for every moment:
// past the picture budget the merge stops with the memory message and the document stays as
// it was, whichever way the frames are assembled.
TEST_F(FlowTest, MergePastThePictureBudgetLeavesTheDocumentAlone) {
  struct RestoreLimit {
    uint64_t old = GifFrameByteLimit();
    ~RestoreLimit() { SetGifFrameByteLimit(old); }
  } restoreLimit;
  // Room for 40 merged 16 x 16 frames.
  SetGifFrameByteLimit(40 * (DibBitsOffset + 16 * 16));
  std::string longOne = WriteSolidGif("long.gif", 16, 16, {1}, 6000);
  std::string quick = WriteSolidGif("quick.gif", 8, 8, {3, 4}, 1);
  std::string many = WriteSolidGif("many.gif", 8, 8, std::vector<uint8_t>(41, 5), 1);
  struct Case {
    const char* name;
    std::string other;
    bool byDuration;
  } cases[] = {{"by duration", quick, true}, {"frame by frame", many, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Headless().Reset();
    ShellState state;
    ASSERT_TRUE(OpenCommand(state, longOne));
    AnimationPtr before = DuplicateAnimation(*state.document, nullptr);
    Headless().mergeOptions = [&](const Animation&, const Animation&, MergeOptions* options) {
      options->byDuration = c.byDuration;
      options->loopShorter = true;
      return true;
    };
    EXPECT_EQ(MergeAnimations(state, c.other), 0);
    EXPECT_TRUE(SameAnimation(*before, *state.document));
    EXPECT_FALSE(state.modified);
    EXPECT_EQ(CanUndoKind(), 0u);
    EXPECT_THAT(ShownTexts(),
                ElementsAre("Mémoire insuffisante pour construire une image de cadre."));
  }
  // Within the budget the same merge is made.
  AnimationPtr a = Timed(16, {40}, 1), b = Timed(8, {1}, 2);
  MergeOptions options;
  options.byDuration = options.loopShorter = true;
  EXPECT_TRUE(BuildMergedAnimation(*a, *b, options, nullptr));
  EXPECT_EQ(a->frameCount, 40);
}

TEST_F(FlowTest, MergeCommandRebuildsTheDocumentAndCancelLeavesItAlone) {
  std::string first = WriteSolidGif("a.gif", 4, 4, {1, 2});
  std::string second = WriteSolidGif("b.gif", 2, 2, {3, 4, 5});
  ShellState state;
  ASSERT_TRUE(OpenCommand(state, first));
  AnimationPtr before = DuplicateAnimation(*state.document, nullptr);

  Headless().mergeOptions = [](const Animation&, const Animation&, MergeOptions*) { return false; };
  EXPECT_EQ(MergeAnimations(state, second), 0);
  EXPECT_TRUE(SameAnimation(*before, *state.document));
  EXPECT_FALSE(state.modified);

  Headless().mergeOptions = [](const Animation& a, const Animation& b, MergeOptions* options) {
    EXPECT_EQ(a.frameCount, 2);
    EXPECT_EQ(b.frameCount, 3);
    options->offsetX = 3;
    options->byDuration = true;
    options->loopShorter = false;
    return true;
  };
  EXPECT_EQ(MergeAnimations(state, second), 2);
  EXPECT_TRUE(state.modified);
  EXPECT_EQ(state.document->screenWidth, 5u);
  EXPECT_EQ(state.document->frameCount, 3);
  // The choices are remembered for the next time.
  EXPECT_TRUE(StoredMergeOptions().byDuration);
  EXPECT_FALSE(StoredMergeOptions().loopShorter);
  // One undo step brings the document back.
  Undo(*state.document);
  EXPECT_TRUE(SameAnimation(*before, *state.document));
}

}  // namespace
}  // namespace lw::test
