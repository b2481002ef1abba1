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
  }
};

// A preset applied is the one the sheet shows next time; the settings it does not own stay.
TEST_F(UsagePresets, APresetAppliedIsThePresetShown) {
  EXPECT_EQ(CurrentUsagePreset(), UsagePreset::Gif);                   // the defaults
  EXPECT_FALSE(ApplyUsagePreset(UsagePreset::Gif, UsagePreset::Gif));  // OK without a change
  for (UsagePreset preset : {UsagePreset::Icons, UsagePreset::Gif, UsagePreset::Icons}) {
    ASSERT_TRUE(ApplyUsagePreset(preset, CurrentUsagePreset()));
    EXPECT_EQ(CurrentUsagePreset(), preset);
    EXPECT_TRUE(PrefOn(Pref::MergeLoopShorter));
  }
  // Without the automatic preview flag the stored values no longer match the icon use.
  SetPrefOn(Pref::NoAutoPreview, false);
  EXPECT_EQ(CurrentUsagePreset(), UsagePreset::Other);
  const uint32_t merge = GetPref(PrefPaletteMerge);
  EXPECT_FALSE(ApplyUsagePreset(UsagePreset::Other, UsagePreset::Gif));
  EXPECT_EQ(GetPref(PrefPaletteMerge), merge);
}

// The list positions count down from 256 colours (exponent 8); out of range reads as 256.
TEST(PaletteMergeWord, DecodesFirstMethodAndListPositionsAndRoundTrips) {
  PaletteMergeChoice c = DecodePaletteMerge(0x00880001);
  EXPECT_TRUE(c.method == 1 && c.maxColoursSelection == 0 && c.trueColourSelection == 0);
  EXPECT_EQ(EncodePaletteMerge(c), 0x00880001u);
  c = DecodePaletteMerge(0x00530314);  // 4 and 16 set: 4 shows; dither and ask; 8 and 32 colours
  EXPECT_TRUE(c.method == 4 && c.dither && c.ask);
  EXPECT_TRUE(c.maxColoursSelection == 5 && c.trueColourSelection == 3);
  EXPECT_EQ(EncodePaletteMerge(c), 0x00530304u);
  // No method reads as 1, exponents out of range show 256, the fixed palette is kept.
  c = DecodePaletteMerge(0x00F10400);
  EXPECT_TRUE(c.method == 0x400 && c.maxColoursSelection == 0 && c.trueColourSelection == 0);
  EXPECT_EQ(DecodePaletteMerge(0).method, 0x001u);
  EXPECT_TRUE(EncodeOversizeInsert(true, false) == 16 && EncodeOversizeInsert(false, true) == 36);
}

}  // namespace
}  // namespace lw
