#include "shell/usage_presets.h"

#include <gtest/gtest.h>

#include "base/preferences.h"

namespace lw {
namespace {

class UsagePresets : public ::testing::Test {
 protected:
  void SetUp() override {
    // Back to the defaults for every case.
    SetPref(PrefFlags, 0x00800000);
    SetPref(PrefPaletteMerge, 0x00880001);
    SetPref(PrefFrameTips, 0);
    SetPref(PrefOversizeInsert, 32);
  }
};

TEST_F(UsagePresets, IconsPresetAndBackToGif) {
  // The defaults show the GIF choice; OK without a change writes nothing.
  EXPECT_EQ(CurrentUsagePreset(), UsagePreset::Gif);
  EXPECT_FALSE(ApplyUsagePreset(UsagePreset::Gif, CurrentUsagePreset()));
  EXPECT_EQ(GetPref(PrefFrameTips), 0u);
  ASSERT_TRUE(ApplyUsagePreset(UsagePreset::Icons, UsagePreset::Gif));
  EXPECT_TRUE(PrefOn(Pref::KeepTrueColor));
  EXPECT_TRUE(PrefOn(Pref::NoAutoPreview));
  EXPECT_TRUE(PrefOn(Pref::MergeLoopShorter));  // other bits stay
  EXPECT_EQ(GetPref(PrefPaletteMerge), 0x00880010u);
  EXPECT_EQ(GetPref(PrefFrameTips), 1161u);
  EXPECT_EQ(GetPref(PrefOversizeInsert), 32u);
  EXPECT_EQ(CurrentUsagePreset(), UsagePreset::Icons);
  // Without the automatic preview flag the stored values no longer match the icon use.
  SetPrefOn(Pref::NoAutoPreview, false);
  EXPECT_EQ(CurrentUsagePreset(), UsagePreset::Other);
  ASSERT_TRUE(ApplyUsagePreset(UsagePreset::Gif, UsagePreset::Other));
  EXPECT_FALSE(PrefOn(Pref::KeepTrueColor));
  EXPECT_EQ(GetPref(PrefFrameTips), 173u);
  EXPECT_EQ(CurrentUsagePreset(), UsagePreset::Gif);
  SetPref(PrefPaletteMerge, 0x00880101);
  EXPECT_EQ(CurrentUsagePreset(), UsagePreset::Other);
  EXPECT_FALSE(ApplyUsagePreset(UsagePreset::Other, UsagePreset::Gif));
  EXPECT_EQ(GetPref(PrefPaletteMerge), 0x00880101u);
}

TEST(PaletteMergeWord, DecodesFirstMethodAndListPositionsAndRoundTrips) {
  PaletteMergeChoice c = DecodePaletteMerge(0x00880001);
  EXPECT_EQ(c.method, 0x001u);
  EXPECT_EQ(c.maxColoursSelection, 0);
  EXPECT_EQ(c.trueColourSelection, 0);
  EXPECT_EQ(EncodePaletteMerge(c), 0x00880001u);
  c = DecodePaletteMerge(0x00530314);  // 4 and 16 set: 4 shows; dither and ask
  EXPECT_EQ(c.method, 0x004u);
  EXPECT_TRUE(c.dither);
  EXPECT_TRUE(c.ask);
  EXPECT_EQ(c.maxColoursSelection, 5);  // 2^3 = 8 colours
  EXPECT_EQ(c.trueColourSelection, 3);  // 2^5 = 32
  EXPECT_EQ(EncodePaletteMerge(c), 0x00530304u);
  // No method reads as 1, exponents out of range show 256, the fixed palette is kept.
  c = DecodePaletteMerge(0x00F10400);
  EXPECT_EQ(c.method, 0x400u);
  EXPECT_EQ(c.maxColoursSelection, 0);
  EXPECT_EQ(c.trueColourSelection, 0);
  EXPECT_EQ(DecodePaletteMerge(0).method, 0x001u);
  EXPECT_EQ(EncodeOversizeInsert(true, false), 16u);
  EXPECT_EQ(EncodeOversizeInsert(false, true), 36u);
}

}  // namespace
}  // namespace lw
