#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "colour/optimize.h"
#include "colour/optimize_support.h"

namespace lw {
namespace {

using namespace testing_support;

bool AnyLocal(const Animation& a) {
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f))
    if (f->localPalette) return true;
  return false;
}

TEST(OptimizePalettes, DefaultsKeepThePicturesOfSinglePaletteAnimations) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    AnimationPtr a = RandomAnimation(seed, false);
    auto before = Timeline(*a);
    OptimizeAnimation(*a, optimize::Defaults, nullptr);
    ASSERT_TRUE(SameTimeline(before, Timeline(*a))) << "seed " << seed;
    // Unused entries went: the palette is as small as the colours in use allow.
    uint32_t used[256];
    CountColourUsage(*a, used, true);
    int n = 0;
    for (int i = 0; i < 256; ++i) n += used[i] != 0;
    EXPECT_EQ(a->globalPalette->Count(), 1 << BitsForColours(n)) << "seed " << seed;
  }
}

TEST(OptimizePalettes, LocalPalettesThatFitGoWithoutChangingAPixel) {
  // Reversed copies of the global palette hold only colours the global palette has.
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    AnimationPtr a = RandomAnimation(seed, true);
    auto before = Timeline(*a);
    OptimizeAnimation(*a,
                      optimize::RemoveLocalPalettes | optimize::ReducePalettes |
                          optimize::CropFrames | optimize::DuplicatesToTransparency,
                      nullptr);
    EXPECT_FALSE(AnyLocal(*a)) << "seed " << seed;
    ASSERT_TRUE(SameTimeline(before, Timeline(*a))) << "seed " << seed;
  }
}

TEST(OptimizePalettes, LocalPaletteWithoutRoomStaysUnlessMapped) {
  auto build = [] {
    AnimationPtr a = MakeDocument(16, 16);
    SetGlobalPalette(*a, RampPalette(256));
    AddDrawnFrame(*a, 0, 0, 16, 16, [](uint32_t x, uint32_t y) { return uint8_t(y * 16 + x); });
    Frame* f = AddSolidFrame(*a, 2, 2, 4, 4, 1);
    std::vector<uint8_t> rgb = {7, 7, 7, 200, 100, 50};
    SetLocalPalette(f, PaletteFromTriples(2, rgb.data()));
    f->palette = f->localPalette.get();
    UpdateDibColourTable(f);
    return a;
  };
  AnimationPtr a = build();
  OptimizeAnimation(*a, optimize::RemoveLocalPalettes, nullptr);
  EXPECT_TRUE(AnyLocal(*a));  // every global entry is used and the table is full

  AnimationPtr b = build();
  OptimizeAnimation(*b, optimize::RemoveLocalPalettes | optimize::MapToGlobalPalette, nullptr);
  EXPECT_FALSE(AnyLocal(*b));
}

TEST(OptimizePalettes, MetaPaletteReplacesEveryLocalPalette) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    AnimationPtr a = RandomAnimation(seed, true);
    bool hadLocal = AnyLocal(*a);
    OptimizeAnimation(*a, optimize::Defaults, nullptr);
    EXPECT_FALSE(AnyLocal(*a)) << "seed " << seed;
    if (hadLocal) {
      EXPECT_NE(a->globalPalette, nullptr);
    }
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f))
      EXPECT_EQ(f->palette, a->globalPalette.get());
  }
}

// Colours closer than six bits per channel tell apart: a quantizer that rounds them merges them.
PaletteEntry CloseColour(std::mt19937& rng) {
  return {static_cast<uint8_t>(96 + rng() % 8), static_cast<uint8_t>(40 + rng() % 8),
          static_cast<uint8_t>(200 + rng() % 8), 0};
}

void RefreshColourTables(Animation& a) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) UpdateDibColourTable(f);
}

// The default meta-palette must not touch colours that fit one palette: local copies of the global
// palette, reordered copies, and local palettes of their own whose union with it fits.
TEST(OptimizePalettes, DefaultsKeepEveryPictureWhenTheColoursInUseFitOnePalette) {
  for (uint32_t seed = 1; seed <= 120; ++seed) {
    AnimationPtr a = RandomAnimation(seed, true);
    std::mt19937 rng(seed);
    for (PaletteEntry& e : a->globalPalette->entries) e = CloseColour(rng);
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      if (!f->localPalette) continue;
      std::vector<PaletteEntry>& local = f->localPalette->entries;
      switch (rng() % 3) {
        case 0: local = a->globalPalette->entries; break;
        case 1:
          local = a->globalPalette->entries;
          std::shuffle(local.begin(), local.end(), rng);
          break;
        default:
          for (PaletteEntry& e : local) e = CloseColour(rng);
      }
    }
    RefreshColourTables(*a);
    auto before = Timeline(*a);
    OptimizeAnimation(*a, optimize::Defaults, nullptr);
    EXPECT_FALSE(AnyLocal(*a)) << "seed " << seed;
    ASSERT_TRUE(SameTimeline(before, Timeline(*a))) << "seed " << seed;
  }

  // All 256 entries in use, the first frame carrying a local copy of them: the palette is full
  // without a transparent slot, and still nothing may change.
  AnimationPtr a = MakeDocument(16, 16);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 256; ++i) {
    rgb.push_back(static_cast<uint8_t>(100 + (i & 7)));
    rgb.push_back(static_cast<uint8_t>(50 + (i >> 3 & 7)));
    rgb.push_back(static_cast<uint8_t>(150 + (i >> 6)));
  }
  SetGlobalPalette(*a, PaletteFromTriples(256, rgb.data()));
  for (int n = 0; n < 12; ++n) {
    Frame* f = AddDrawnFrame(*a, 0, 0, 16, 16, [n](uint32_t x, uint32_t y) {
      return static_cast<uint8_t>((y * 16 + x + n * 37) % 256);
    });
    if (n == 0) {
      SetLocalPalette(f, CopyPalette(a->globalPalette.get()));
      f->palette = f->localPalette.get();
      UpdateDibColourTable(f);
    }
  }
  auto before = Timeline(*a);
  OptimizeAnimation(*a, optimize::Defaults, nullptr);
  EXPECT_FALSE(AnyLocal(*a));
  EXPECT_TRUE(SameTimeline(before, Timeline(*a)));
}

TEST(OptimizePalettes, LocalPalettesShrinkToTheirColours) {
  AnimationPtr a = MakeDocument(8, 8);
  Frame* f = AddDrawnFrame(
      *a, 0, 0, 8, 8, [](uint32_t x, uint32_t) { return uint8_t(x % 2 ? 12 : 3); }, 0, 3);
  SetLocalPalette(f, RampPalette(16));
  f->palette = f->localPalette.get();
  UpdateDibColourTable(f);
  RebuildTransparencyMask(f);
  auto before = Timeline(*a);
  OptimizeAnimation(*a, optimize::ReducePalettes, nullptr);
  ASSERT_TRUE(f->localPalette);
  EXPECT_EQ(f->localPalette->Count(), 2);
  EXPECT_TRUE(f->Transparent());
  EXPECT_TRUE(SameTimeline(before, Timeline(*a)));
}

}  // namespace
}  // namespace lw
