#include <gtest/gtest.h>

#include "base/progress.h"
#include "colour/optimize.h"
#include "colour/optimize_support.h"
#include "core/byte_sink.h"
#include "core/gif_reader.h"
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

// Full-screen redraws that restore to background or to the previous picture, some with holes
// that show what is behind (or nothing), and a few patches: where disposals can be chosen.
AnimationPtr RandomRestoringAnimation(uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  uint32_t sw = 6 + pick(30), sh = 6 + pick(20);
  AnimationPtr a = MakeDocument(sw, sh);
  int frames = 2 + pick(9);
  int ground = pick(3) == 0 ? -1 : pick(6);  // -1: the sprite moves over nothing
  for (int i = 0; i < frames; ++i) {
    int disposal = pick(5) == 0 ? pick(2) : 2 + pick(2);
    int transparent = ground < 0 || pick(3) == 0 ? 15 : -1;
    int sx = pick(static_cast<int>(sw)), sy = pick(static_cast<int>(sh));
    bool patch = pick(5) == 0;
    uint32_t w = patch ? 1 + pick(static_cast<int>(sw)) : sw;
    uint32_t h = patch ? 1 + pick(static_cast<int>(sh)) : sh;
    int32_t x = pick(static_cast<int>(sw - w + 1)), y = pick(static_cast<int>(sh - h + 1));
    AddDrawnFrame(
        *a, x, y, w, h,
        [&](uint32_t px, uint32_t py) -> uint8_t {
          if (px >= uint32_t(sx) && px < uint32_t(sx) + 4 && py >= uint32_t(sy) &&
              py < uint32_t(sy) + 3)
            return static_cast<uint8_t>(8 + (px + py) % 3);
          if (ground < 0 || (transparent >= 0 && (px * 7 + py * 3) % 11 == 0)) return 15;
          return static_cast<uint8_t>(ground + (py / 5) % 2);
        },
        disposal, transparent, 1 + pick(9));
  }
  return a;
}

TEST(OptimizeFrames, EveryOptionCombinationKeepsThePicturesOfRandomAnimations) {
  constexpr OptimizeOptions kChoose = optimize::ChooseDisposal;
  constexpr OptimizeOptions kSmall = optimize::MinimalCodeSize;
  const OptimizeOptions combinations[] = {
      kFrameOptions,
      optimize::CropFrames,
      optimize::CropFrames | optimize::DuplicatesToTransparency,
      optimize::CropFrames | kChoose,
      optimize::CropFrames | optimize::DuplicatesToTransparency | kChoose | kSmall,
      kFrameOptions | kChoose,
      kFrameOptions | kChoose | kSmall,
  };
  for (uint32_t seed = 1; seed <= 500; ++seed) {
    for (int restoring = 0; restoring < 2; ++restoring) {
      for (OptimizeOptions options : combinations) {
        if (seed > 250 && (restoring || (options & kChoose) == 0)) continue;
        AnimationPtr a =
            restoring ? RandomRestoringAnimation(seed) : RandomAnimation(seed, seed % 2 == 0);
        auto before = Timeline(*a);
        OptimizeAnimation(*a, options, nullptr);
        ASSERT_TRUE(SameTimeline(before, Timeline(*a)))
            << "seed " << seed << " restoring " << restoring << " options " << options;
        ASSERT_TRUE(SameAnimation(*a, *a));  // links and frame count stay consistent
        if ((options & kSmall) && seed % 10 == 0) {
          // Small code sizes survive the file.
          std::vector<uint8_t> bytes;
          {
            ByteSink sink(&bytes);
            ASSERT_EQ(WriteGif(sink, *a, nullptr), GifWriteStatus::Done);
          }
          AnimationPtr back;
          ASSERT_EQ(ReadGifMemory(bytes.data(), bytes.size(), nullptr, &back), GifReadStatus::Done);
          ASSERT_TRUE(SameTimeline(before, Timeline(*back))) << "seed " << seed;
        }
      }
    }
  }
}

// Sprites that move over a background: each frame a full redraw that restores to background,
// with the background drawn (ground) or nothing behind the sprite.
AnimationPtr RestoringSprite(bool ground) {
  AnimationPtr a = MakeDocument(48, 32);
  for (int i = 0; i < 6; ++i) {
    AddDrawnFrame(
        *a, 0, 0, 48, 32,
        [&](uint32_t x, uint32_t y) -> uint8_t {
          if (x >= 4 + 6u * i && x < 12 + 6u * i && y >= 10 && y < 18) return 9 + (x + y) % 3;
          return ground ? ((y / 4) % 2 ? 2 : 3) : 15;
        },
        2, ground ? -1 : 15);
  }
  return a;
}

TEST(OptimizeFrames, ChosenDisposalsLetRestoringFramesShrink) {
  constexpr OptimizeOptions options = kFrameOptions | optimize::ChooseDisposal;
  for (bool ground : {true, false}) {
    AnimationPtr a = RestoringSprite(ground);
    auto before = Timeline(*a);
    uint64_t plain;
    {
      AnimationPtr b = DuplicateAnimation(*a, nullptr);
      OptimizeAnimation(*b, kFrameOptions, nullptr);
      plain = TotalRecordSize(*b);
    }
    OptimizeAnimation(*a, options, nullptr);
    EXPECT_TRUE(SameTimeline(before, Timeline(*a))) << ground;
    if (ground)
      EXPECT_LT(TotalRecordSize(*a) * 3, plain * 2);
    else
      EXPECT_LE(TotalRecordSize(*a), plain);  // over nothing, the plain step cuts them too
    for (const Frame* f = NextFrame(FirstFrame(*a)); f; f = NextFrame(f)) {
      // Old and new sprite positions over the ground; over nothing, the new one only (the old
      // one went with its frame's disposal).
      EXPECT_EQ(f->width, ground ? 14u : 8u) << ground;
      EXPECT_EQ(f->height, 8u) << ground;
    }
    // Over nothing, the old sprite must go: each frame but the last restores to background.
    // Over the ground, the next frame paints the ground back, so each frame stays.
    for (const Frame* f = FirstFrame(*a); NextFrame(f); f = NextFrame(f))
      EXPECT_EQ(f->Disposal(), ground ? 1 : 2) << ground;
    EXPECT_EQ(FrameAt(*a, a->frameCount - 1)->Disposal(), 2);
  }
}

TEST(OptimizeFrames, RestoreToPreviousIsChosenWhenItLeavesLess) {
  // A sprite shown once over the ground, then another elsewhere: restoring to the picture before
  // the first sprite saves repainting its place.
  auto sprite = [](uint32_t sx) {
    return [sx](uint32_t x, uint32_t y) -> uint8_t {
      if (x >= sx && x < sx + 6 && y >= 4 && y < 10) return 7;
      return (x + y) % 2 ? 2 : 3;
    };
  };
  AnimationPtr a = MakeDocument(40, 16);
  AddDrawnFrame(*a, 0, 0, 40, 16, sprite(100));
  AddDrawnFrame(*a, 0, 0, 40, 16, sprite(2));
  AddDrawnFrame(*a, 0, 0, 40, 16, sprite(30));
  auto before = Timeline(*a);
  OptimizeAnimation(*a, kFrameOptions | optimize::ChooseDisposal, nullptr);
  EXPECT_TRUE(SameTimeline(before, Timeline(*a)));
  EXPECT_EQ(FrameAt(*a, 1)->Disposal(), 3);
  const Frame* last = FrameAt(*a, 2);
  EXPECT_EQ(last->left, 30);
  EXPECT_EQ(last->width, 6u);
  EXPECT_EQ(last->height, 6u);
}

TEST(OptimizeFrames, SmallestCodeSizeIsWrittenAndReadBack) {
  AnimationPtr a = MakeDocument(24, 8);
  SetGlobalPalette(*a, RampPalette(256));
  AddDrawnFrame(*a, 0, 0, 24, 8, [](uint32_t x, uint32_t y) { return uint8_t((x + y) % 16); });
  auto codeSizeWritten = [](Animation& doc, AnimationPtr* back) {
    std::vector<uint8_t> bytes;
    {
      ByteSink sink(&bytes);
      if (WriteGif(sink, doc, nullptr) != GifWriteStatus::Done) return -1;
    }
    if (ReadGifMemory(bytes.data(), bytes.size(), nullptr, back) != GifReadStatus::Done) return -1;
    // The code size follows the image descriptor (no local table here).
    for (size_t i = 0; i + 10 < bytes.size(); ++i)
      if (bytes[i] == 0x21 && bytes[i + 1] == 0xF9 && bytes[i + 2] == 4 && bytes[i + 8] == 0x2C)
        return int{bytes[i + 18]};
    return -1;
  };
  struct Case {
    OptimizeOptions options;
    uint8_t edit;  // a pixel value put after optimizing
    int written;
  } cases[] = {
      {optimize::CropFrames | optimize::MinimalCodeSize, 3, 4},
      {optimize::CropFrames | optimize::MinimalCodeSize, 200, 8},  // a later edit still fits
      {optimize::CropFrames, 3, 8},
      {optimize::MinimalCodeSize, 3, 8},  // acts only with the cut
  };
  for (const Case& c : cases) {
    AnimationPtr doc = DuplicateAnimation(*a, nullptr);
    OptimizeAnimation(*doc, c.options, nullptr);
    Frame* f = FirstFrame(*doc);
    f->bits()[5] = c.edit;
    std::vector<uint8_t> pixels = Pixels(*f);
    AnimationPtr back;
    EXPECT_EQ(codeSizeWritten(*doc, &back), c.written) << int(c.edit);
    ASSERT_TRUE(back);
    EXPECT_EQ(Pixels(*FirstFrame(*back)), pixels);
  }
}

TEST(OptimizeFrames, TransparentIndexPrefersSmallCodes) {
  struct Case {
    std::vector<int> used;
    int entries, preferred, smallBits, chosen;
  } cases[] = {
      {{0, 1, 2}, 256, -1, 0, 255},     // the highest free one
      {{0, 1, 2}, 256, -1, 2, 3},       // the highest free one in 2 bits
      {{0, 1, 2, 3}, 256, -1, 2, 255},  // none free there
      {{0, 1}, 256, 40, 2, 3},          // preferred, but beyond the small codes
      {{0, 1}, 256, 40, 0, 40},         // preferred and free
      {{0, 1}, 256, 1, 0, 255},         // preferred but used
      {{0, 1, 2, 3}, 4, -1, 0, -1},     // every entry used
  };
  for (const Case& c : cases) {
    bool used[256] = {};
    for (int i : c.used) used[i] = true;
    EXPECT_EQ(ChooseTransparentIndex(used, c.entries, c.preferred, c.smallBits), c.chosen)
        << c.preferred << " " << c.smallBits;
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
