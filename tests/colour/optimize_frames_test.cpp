#include <gtest/gtest.h>

#include "base/progress.h"
#include "colour/optimize.h"
#include "colour/optimize_support.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "platform/headless_services.h"

namespace lw {
namespace {

using namespace testing_support;

constexpr OptimizeOptions kFrameOptions =
    optimize::CropFrames | optimize::DuplicatesToTransparency | optimize::RemoveUselessFrames;

uint64_t TotalRecordSize(const Animation& a) {
  uint64_t total = 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) total += EncodedFrameSize(f);
  return total;
}

// A sprite moving over a striped background, each frame a full redraw.
AnimationPtr MovingSprite(int disposal) {
  AnimationPtr a = MakeDocument(48, 32);
  for (int i = 0; i < 6; ++i) {
    AddDrawnFrame(
        *a, 0, 0, 48, 32,
        [&](uint32_t x, uint32_t y) -> uint8_t {
          if (x >= 4 + 6u * i && x < 12 + 6u * i && y >= 10 && y < 18) return 9 + (x + y) % 3;
          return (y / 4) % 2 ? 2 : 3;
        },
        disposal);
  }
  return a;
}

TEST(OptimizeFrames, EveryOptionCombinationKeepsThePicturesOfRandomAnimations) {
  for (uint32_t seed = 1; seed <= 500; ++seed) {
    for (OptimizeOptions options :
         {kFrameOptions, OptimizeOptions{optimize::CropFrames},
          OptimizeOptions{optimize::CropFrames | optimize::DuplicatesToTransparency}}) {
      AnimationPtr a = RandomAnimation(seed, seed % 2 == 0);
      auto before = Timeline(*a);
      OptimizeAnimation(*a, options, nullptr);
      ASSERT_TRUE(SameTimeline(before, Timeline(*a))) << "seed " << seed << " options " << options;
      ASSERT_TRUE(SameAnimation(*a, *a));  // links and frame count stay consistent
    }
  }
}

TEST(OptimizeFrames, MovingSpriteShrinksToTheChangedArea) {
  for (int disposal : {0, 1}) {
    AnimationPtr a = MovingSprite(disposal);
    auto before = Timeline(*a);
    uint64_t sizeBefore = TotalRecordSize(*a);
    OptimizeAnimation(*a, kFrameOptions, nullptr);
    EXPECT_TRUE(SameTimeline(before, Timeline(*a)));
    const Frame* first = FirstFrame(*a);
    EXPECT_EQ(first->width, 48u);  // the opaque first frame lays down the screen untouched
    for (const Frame* f = NextFrame(first); f; f = NextFrame(f)) {
      // Old and new sprite positions only: 14 columns, 8 rows.
      EXPECT_EQ(f->width, 14u);
      EXPECT_EQ(f->height, 8u);
      EXPECT_EQ(f->top, 10);
    }
    EXPECT_LT(TotalRecordSize(*a) * 3, sizeBefore * 2);
  }
}

TEST(OptimizeFrames, SingleOpaqueFrameIsLeftAlone) {
  AnimationPtr a = MovingSprite(0);
  while (a->frameCount > 1) {
    UnlinkAndFreeBlock(FrameAt(*a, 1));
    --a->frameCount;
  }
  AnimationPtr copy = DuplicateAnimation(*a, nullptr);
  OptimizeAnimation(*a, kFrameOptions, nullptr);
  EXPECT_TRUE(SameAnimation(*a, *copy));
}

TEST(OptimizeFrames, TransparentFirstFrameIsCutToItsOpaquePixels) {
  AnimationPtr a = MakeDocument(20, 20);
  AddDrawnFrame(
      *a, 0, 0, 20, 20,
      [](uint32_t x, uint32_t y) -> uint8_t { return x >= 5 && x < 9 && y >= 7 && y < 15 ? 4 : 0; },
      0, 0);
  OptimizeAnimation(*a, optimize::CropFrames, nullptr);
  const Frame* f = FirstFrame(*a);
  EXPECT_EQ(f->left, 5);
  EXPECT_EQ(f->top, 7);
  EXPECT_EQ(f->width, 4u);
  EXPECT_EQ(f->height, 8u);
  EXPECT_EQ(Pixels(*f), std::vector<uint8_t>(32, 4));
}

TEST(OptimizeFrames, UselessFramesGoAndLendTheirTime) {
  AnimationPtr a = MovingSprite(1);
  Frame* second = FrameAt(*a, 1);
  AddFrame(*a, 0, 0, 48, 32, Pixels(*second), 1, -1, 7);
  // Move the copy right after the frame it repeats.
  Frame* copy = FrameAt(*a, 6);
  UnlinkFrameAt(*a, 6);
  LinkFrameAt(*a, copy, 2);
  uint32_t delay = second->delay;
  auto before = Timeline(*a);
  OptimizeAnimation(*a, kFrameOptions, nullptr);
  EXPECT_EQ(a->frameCount, 6);
  EXPECT_EQ(FrameAt(*a, 1)->delay, delay + 7);
  EXPECT_TRUE(SameTimeline(before, Timeline(*a)));

  // Without the option the repeat stays as one pixel at its corner.
  AnimationPtr b = MakeDocument(10, 10);
  AddSolidFrame(*b, 0, 0, 10, 10, 3);
  AddSolidFrame(*b, 2, 3, 4, 4, 3);
  OptimizeAnimation(*b, optimize::CropFrames, nullptr);
  ASSERT_EQ(b->frameCount, 2);
  const Frame* kept = FrameAt(*b, 1);
  EXPECT_EQ(kept->left, 2);
  EXPECT_EQ(kept->top, 3);
  EXPECT_EQ(kept->width, 1u);
  EXPECT_EQ(kept->height, 1u);
}

TEST(OptimizeFrames, RepeatAfterATakenAwayFrameStays) {
  // After a frame that restores to background or to the previous picture, the picture the
  // repeat shows is not the previous frame's, so its time cannot go to that frame.
  for (int disposal : {2, 3}) {
    AnimationPtr a = MakeDocument(10, 10);
    AddSolidFrame(*a, 0, 0, 10, 10, 3);
    AddSolidFrame(*a, 2, 2, 3, 3, 5, disposal);
    AddSolidFrame(*a, 0, 0, 10, 10, 3);
    auto before = Timeline(*a);
    OptimizeAnimation(*a, kFrameOptions, nullptr);
    EXPECT_EQ(a->frameCount, 3) << disposal;
    EXPECT_TRUE(SameTimeline(before, Timeline(*a))) << disposal;
  }
}

TEST(OptimizeFrames, RestoringFramesKeepTheirClearedArea) {
  // Disposal 2 over a known screen: every pixel stays, even those equal to the screen, since the
  // whole rectangle is cleared afterwards.
  AnimationPtr a = MakeDocument(12, 12);
  AddSolidFrame(*a, 0, 0, 12, 12, 1);
  AddDrawnFrame(
      *a, 2, 2, 6, 6, [](uint32_t x, uint32_t) -> uint8_t { return x == 4 ? 7 : 1; }, 2);
  AddSolidFrame(*a, 0, 0, 12, 12, 1, 0, 9);  // all transparent: shows the cleared hole
  auto before = Timeline(*a);
  OptimizeAnimation(*a, kFrameOptions, nullptr);
  EXPECT_TRUE(SameTimeline(before, Timeline(*a)));
  const Frame* f = FrameAt(*a, 1);
  EXPECT_EQ(f->width, 6u);
  EXPECT_EQ(f->height, 6u);

  // Disposal 3 leaves the model as it was: the next frame equal to the first screen is useless.
  AnimationPtr b = MakeDocument(12, 12);
  AddSolidFrame(*b, 0, 0, 12, 12, 1);
  AddSolidFrame(*b, 3, 3, 4, 4, 6, 3);
  AddSolidFrame(*b, 5, 5, 4, 4, 6, 1);
  AddSolidFrame(*b, 0, 0, 12, 12, 1, 1);
  auto shown = Timeline(*b);
  OptimizeAnimation(*b, kFrameOptions, nullptr);
  EXPECT_TRUE(SameTimeline(shown, Timeline(*b)));
  EXPECT_EQ(FrameAt(*b, 2)->width, 4u);
}

TEST(OptimizeFrames, NoTransparencyWhenChangedPixelsUseEveryIndex) {
  AnimationPtr a = MakeDocument(32, 16);
  SetGlobalPalette(*a, RampPalette(256));
  AddSolidFrame(*a, 0, 0, 32, 16, 0);
  // Every index once among the changed pixels, then a stretch equal to the screen.
  AddDrawnFrame(*a, 0, 0, 32, 16, [](uint32_t x, uint32_t y) -> uint8_t {
    return y < 8 ? static_cast<uint8_t>(y * 32 + x) : 0;
  });
  FrameAt(*a, 1)->bits()[0] = 1;  // index 0 shows up in the changed pixels elsewhere
  OptimizeAnimation(*a, kFrameOptions, nullptr);
  EXPECT_FALSE(FrameAt(*a, 1)->Transparent());
}

TEST(OptimizeFrames, DuplicatesBecomeTransparentOnlyWhenSmaller) {
  // Scattered changes over a noisy screen: transparency turns the repeats into long runs.
  AnimationPtr a = MakeDocument(40, 40);
  std::mt19937 rng(7);
  std::vector<uint8_t> noise(1600);
  for (auto& v : noise) v = static_cast<uint8_t>(rng() % 16);
  AddFrame(*a, 0, 0, 40, 40, noise);
  std::vector<uint8_t> next = noise;
  for (int i = 0; i < 1600; i += 37) next[i] = static_cast<uint8_t>((next[i] + 1) % 16);
  AddFrame(*a, 0, 0, 40, 40, next);
  auto before = Timeline(*a);
  uint64_t plain;
  {
    AnimationPtr b = DuplicateAnimation(*a, nullptr);
    OptimizeAnimation(*b, optimize::CropFrames, nullptr);
    plain = EncodedFrameSize(FrameAt(*b, 1));
  }
  OptimizeAnimation(*a, optimize::CropFrames | optimize::DuplicatesToTransparency, nullptr);
  const Frame* f = FrameAt(*a, 1);
  EXPECT_TRUE(f->Transparent());
  EXPECT_LT(EncodedFrameSize(f), plain);
  EXPECT_TRUE(SameTimeline(before, Timeline(*a)));
}

TEST(OptimizeFrames, RecordSizeMatchesTheLayoutOfAFrameRecord) {
  AnimationPtr a = MakeDocument(4, 4);
  Frame* f = AddSolidFrame(*a, 0, 0, 1, 1, 3);
  // 8 control + 10 descriptor + code size 4 (16 colours) + one 3-byte sub-block + terminator:
  // clear (5 bits), pixel, end = 15 bits in 2 bytes.
  EXPECT_EQ(EncodedFrameSize(f), 8u + 10 + 1 + 1 + 2 + 1);
  SetLocalPalette(f, RampPalette(5));
  f->palette = f->localPalette.get();
  EXPECT_EQ(EncodedFrameSize(f), 8u + 10 + 24 + 1 + 1 + 2 + 1);
}

TEST(OptimizeAnimation, DropsPlainTextAndApplicationBlocksKeepsComments) {
  AnimationPtr a = MovingSprite(0);
  AddComment(*a, "hello");
  InsertBlockAfter(LastBlock(*a), NewBlock(BlockKind::Application, 0));
  InsertBlockAfter(a->blocks, NewBlock(BlockKind::PlainText, 0));
  OptimizeAnimation(*a, 0, nullptr);
  int comments = 0, others = 0;
  for (Block* b = a->blocks->next; b; b = b->next) {
    if (b->kind == BlockKind::Comment) ++comments;
    if (b->kind == BlockKind::Application || b->kind == BlockKind::PlainText) ++others;
  }
  EXPECT_EQ(comments, 1);
  EXPECT_EQ(others, 0);
}

TEST(OptimizeAnimation, CancelStopsBeforeTheFrameStep) {
  AnimationPtr a = MovingSprite(0);
  AnimationPtr copy = DuplicateAnimation(*a, nullptr);
  ProgressMeterPtr meter(CreateProgressMeter(nullptr, progress::Silent, task::OptimizeTrial));
  SetTaskStopRequest(task::OptimizeTrial, true);
  OptimizeAnimation(*a, kFrameOptions, meter.get());
  SetTaskStopRequest(task::OptimizeTrial, false);
  EXPECT_TRUE(SameAnimation(*a, *copy));
}

TEST(OptimizeAnimation, FramesBeyondTheScreenAreClippedFirst) {
  AnimationPtr a = MakeDocument(10, 10);
  AddSolidFrame(*a, 0, 0, 10, 10, 1);
  AddSolidFrame(*a, -3, 6, 8, 8, 2);
  OptimizeAnimation(*a, kFrameOptions, nullptr);
  const Frame* f = FrameAt(*a, 1);
  EXPECT_GE(f->left, 0);
  EXPECT_LE(f->left + static_cast<int64_t>(f->width), 10);
  EXPECT_LE(f->top + static_cast<int64_t>(f->height), 10);
}

TEST(CompactPalette, MovesUsedEntriesForwardWithTheirCounters) {
  PalettePtr p = RampPalette(16);
  uint32_t usage[256] = {};
  usage[2] = 5;
  usage[9] = 1;
  usage[15] = 3;
  PalettePtr out;
  std::array<uint16_t, 256> map{};
  ASSERT_TRUE(CompactPalette(*p, usage, &out, &map));
  ASSERT_EQ(out->Count(), 4);  // three used, rounded up to a power of two
  EXPECT_EQ(out->entries[0], p->entries[2]);
  EXPECT_EQ(out->entries[2], p->entries[15]);
  EXPECT_EQ(out->entries[3], PaletteEntry{});
  EXPECT_EQ(map[2], 0);
  EXPECT_EQ(map[9], 1);
  EXPECT_EQ(map[15], 2);
  EXPECT_EQ(map[0], 65535);
  EXPECT_EQ(usage[0], 5u);
  EXPECT_EQ(usage[2], 3u);
  EXPECT_EQ(usage[15], 0u);

  for (auto& u : usage) u = 1;
  EXPECT_FALSE(CompactPalette(*p, usage, &out, &map));
}

}  // namespace
}  // namespace lw
