#include <gtest/gtest.h>

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
