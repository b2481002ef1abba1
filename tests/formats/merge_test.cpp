#include "formats/merge.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <random>

#include "core/picture_budget.h"
#include "flow_fixture.h"
#include "formats/open_flow.h"
#include "support/timeline.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;

AnimationPtr Timed(uint32_t size, const std::vector<uint32_t>& delays, uint8_t index) {
  AnimationPtr a = MakeDocument(size, size);
  for (uint32_t d : delays) AddSolidFrame(*a, 0, 0, size, size, index)->delay = d;
  return a;
}

// By duration, a frame starts at every change of either side. Where nothing takes time the clock
// cannot move: the frames are taken one by one, and a side of zero length is never looped.
TEST_F(FlowTest, MergingByDurationCutsAtEveryChange) {
  const struct {
    std::vector<uint32_t> a, b;
    bool loop;
    std::vector<uint32_t> delays;
  } cases[] = {
      {{10, 10, 10}, {25}, false, {10, 10, 5, 5}},
      {{0, 0}, {0}, true, {0, 0}},
      {{10, 10}, {0}, true, {0, 10, 10}},
  };
  for (const auto& c : cases) {
    AnimationPtr a = Timed(4, c.a, 1), b = Timed(4, c.b, 2);
    MergeOptions options;
    options.byDuration = true;
    options.loopShorter = c.loop;
    ASSERT_TRUE(BuildMergedAnimation(*a, *b, options, nullptr));
    std::vector<uint32_t> delays;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) delays.push_back(f->delay);
    EXPECT_EQ(delays, c.delays);
    EXPECT_EQ(FrameNames(*a).back(), "Fusionner cadre " + std::to_string(c.delays.size()));
  }
}

// Every picture an animation shows, one per frame, on its background colour.
std::vector<std::vector<uint32_t>> Pictures(const Animation& a) {
  std::vector<std::vector<uint32_t>> out;
  FrameViewer viewer;
  const PaletteEntry& background = a.globalPalette->entries[a.backgroundIndex];
  viewer.background = background.blue << 16 | background.green << 8 | background.red;  // 0xBBGGRR
  if (!PrepareViewer(&viewer, &a, a.screenWidth, a.screenHeight)) return out;
  for (int n = 1; n <= a.frameCount; ++n) {
    ShowPictureUpTo(&viewer, n, false);
    const PixelView view = ViewerPicture(&viewer);
    std::vector<uint32_t>& picture = out.emplace_back();
    for (int y = 0; y < view.height; ++y)
      for (int x = 0; x < view.width; ++x)
        picture.push_back(view.pixels[static_cast<size_t>(y) * view.stride + x] & 0xFFFFFF);
  }
  return out;
}

// A random animation of frames left in place, where what merge composes is exactly what the
// animation shows: opaque frames; or, with transparent, frames over a first one that covers the
// screen, some put back after they showed, keeping their transparent pixels under indexes each
// picks for itself, which earlier frames may have drawn as colours (as gifsicle's frames do).
AnimationPtr Animated(uint32_t seed, bool transparent = false) {
  AnimationPtr a = RandomAnimation(seed, false);
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    if (!transparent) SetTransparency(f, false);
    SetDisposal(
        f, transparent && seed % 3 == 0 && f->Transparent() ? DisposalPrevious : DisposalLeave);
    RebuildTransparencyMask(f);
  }
  if (transparent) {
    Frame* first = FirstFrame(*a);
    Frame* cover = AddSolidFrame(*a, 0, 0, a->screenWidth, a->screenHeight, 1, DisposalLeave);
    cover->prev->next = nullptr;
    InsertBlockAfter(first->prev, cover);
  }
  return a;
}

// Frame by frame, merged frame i shows B's picture i over A's picture i, B shifted by the offset
// on a screen that holds both; the shorter side loops when asked, else it is gone past its end.
TEST_F(FlowTest, MergedFramesShowBOverA) {
  std::mt19937 random(11);
  for (uint32_t seed = 0; seed < 48; ++seed) {
    const bool transparent = seed >= 24;
    AnimationPtr a = Animated(seed, transparent), b = Animated(seed + 500, transparent);
    MergeOptions options;
    options.offsetX = static_cast<int>(random() % 41) - 20;
    options.offsetY = static_cast<int>(random() % 41) - 20;
    options.loopShorter = seed % 2;
    SCOPED_TRACE(::testing::Message()
                 << seed << " at " << options.offsetX << "," << options.offsetY);
    const auto pa = Pictures(*a), pb = Pictures(*b);
    const int64_t ax = std::max(-options.offsetX, 0), ay = std::max(-options.offsetY, 0);
    const int64_t bx = ax + options.offsetX, by = ay + options.offsetY;
    const int64_t aw = a->screenWidth, ah = a->screenHeight, bw = b->screenWidth,
                  bh = b->screenHeight;
    const int64_t width = std::max(ax + aw, bx + bw), height = std::max(ay + ah, by + bh);
    ASSERT_TRUE(BuildMergedAnimation(*a, *b, options, nullptr));
    ASSERT_EQ(std::tie(a->screenWidth, a->screenHeight), std::tie(width, height));
    const size_t frames = std::max(pa.size(), pb.size());
    const auto merged = Pictures(*a);
    ASSERT_EQ(merged.size(), frames);
    // What one side shows at a merged position in frame i; nothing when out of it.
    auto side = [&](const auto& pictures, size_t i, int64_t x, int64_t y, int64_t w, int64_t h) {
      if (x < 0 || y < 0 || x >= w || y >= h || (!options.loopShorter && i >= pictures.size()))
        return kNothingShown;
      return pictures[i % pictures.size()][static_cast<size_t>(y * w + x)];
    };
    for (size_t i = 0; i < frames; ++i)
      for (int64_t y = 0; y < height; ++y)
        for (int64_t x = 0; x < width; ++x) {
          uint32_t expected = side(pb, i, x - bx, y - by, bw, bh);
          if (expected == kNothingShown) expected = side(pa, i, x - ax, y - ay, aw, ah);
          if (expected == kNothingShown) continue;
          ASSERT_EQ(merged[i][static_cast<size_t>(y * width + x)], expected)
              << "frame " << i << " at " << x << "," << y;
        }
  }
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
  std::string text;
  for (Block* block = a->blocks->next; block; block = block->next)
    kinds.push_back(CommentText(block, &text) ? text : "frame");
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
    ~RestoreLimit() { SetPictureBudgetBytes(0); }
  } restoreLimit;
  SetPictureBudgetBytes(40 * (DibBitsOffset + 16 * 16));  // room for 40 merged 16 x 16 frames
  std::string longOne = WriteSolidGif("long.gif", 16, 16, {1}, 6000);
  std::string quick = WriteSolidGif("quick.gif", 8, 8, {3, 4}, 1);
  std::string many = WriteSolidGif("many.gif", 8, 8, std::vector<uint8_t>(41, 5), 1);
  const struct {
    std::string other;
    bool byDuration;
  } cases[] = {{quick, true}, {many, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.byDuration);
    Headless().Reset();
    DocumentSession state;
    Use(state);
    ASSERT_TRUE(OpenCommand(state, longOne));
    AnimationPtr before = DuplicateAnimation(*state.document, nullptr);
    Headless().mergeOptions = [&](const Animation&, const Animation&, MergeOptions* options) {
      options->byDuration = c.byDuration;
      options->loopShorter = true;
      return true;
    };
    EXPECT_EQ(MergeAnimations(state, c.other), 0);
    EXPECT_TRUE(SameAnimation(*before, *state.document) && !state.modified);
    EXPECT_EQ(CanUndoKind(), UndoKind::None);
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
  DocumentSession state;
  Use(state);
  ASSERT_TRUE(OpenCommand(state, first));
  AnimationPtr before = DuplicateAnimation(*state.document, nullptr);

  Headless().mergeOptions = [](const Animation&, const Animation&, MergeOptions*) { return false; };
  EXPECT_EQ(MergeAnimations(state, second), 0);
  EXPECT_TRUE(SameAnimation(*before, *state.document) && !state.modified);
  Headless().mergeOptions = [](const Animation& a, const Animation& b, MergeOptions* options) {
    EXPECT_EQ(std::tie(a.frameCount, b.frameCount), std::make_tuple(2, 3));
    options->offsetX = 3;
    options->byDuration = true;
    options->loopShorter = false;
    return true;
  };
  EXPECT_EQ(MergeAnimations(state, second), 2);
  EXPECT_TRUE(state.modified);
  EXPECT_EQ(std::tie(state.document->screenWidth, state.document->frameCount),
            std::make_tuple(5u, 3));
  // The choices are remembered for the next time.
  EXPECT_TRUE(Flows().mergeByDuration && !Flows().mergeLoopShorter);
  // One undo step brings the document back.
  Undo(*state.document);
  EXPECT_TRUE(SameAnimation(*before, *state.document));
}

}  // namespace
}  // namespace lw::test
