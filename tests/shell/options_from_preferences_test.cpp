// Each option the engine takes is built from the preference that sets it.
#include "shell/options_from_preferences.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/preferences.h"
#include "base/settings.h"
#include "colour/palette_fit.h"
#include "core/undo.h"
#include "formats/psd/psd_format.h"
#include "platform/settings_store.h"
#include "support/fresh_preferences.h"
#include "support/services.h"

namespace lw {
namespace {

class OptionsFromPreferences : public ::testing::Test {
 protected:
  void SetUp() override { test::FreshPreferences(); }
  void TearDown() override {
    test::FreshPreferences();
    ApplyEnginePreferences();
  }
  test::ServicesScope services_;
};

TEST_F(OptionsFromPreferences, TimingReadsTheUnitsOneWay) {
  // Stored units out of 1..100 count as hundredths, as every reader and writer takes them.
  for (auto [stored, perSecond] : {std::pair<uint32_t, uint32_t>{0, 100},
                                   {1, 1},
                                   {7, 7},
                                   {100, 100},
                                   {101, 100},
                                   {0xFFFFFFFF, 100}}) {
    SetPref(PrefDelayUnits, stored);
    EXPECT_EQ(DelayUnitsFromPreferences().perSecond, perSecond) << stored;
    EXPECT_EQ(OptimizeOptionsFromPreferences(0).units.perSecond, perSecond) << stored;
  }
  SetPref(PrefDelayUnits, 10);
  SetPref(PrefDefaultDelay, 37);
  SetPref(PrefDefaultLoopCount, 5);
  const Timing timing = TimingFromPreferences();
  EXPECT_EQ(timing.units.perSecond, 10u);
  EXPECT_EQ(timing.defaultDelay, 37u);
  EXPECT_EQ(timing.defaultLoopCount, 5u);
}

TEST_F(OptionsFromPreferences, OpenAndOptimizerSettings) {
  SetPref(PrefLoadTransparentColor, 0x123456);
  EXPECT_FALSE(AutoTransparentColourFromPreferences()) << "the colour alone does not turn it on";
  SetPrefOn(Pref::LoadTransparentColour, true);
  EXPECT_EQ(AutoTransparentColourFromPreferences(), 0x123456u);

  EXPECT_EQ(OptimizeOptionsFromPreferences(0x1234).steps, 0x1234u);
  // Without a signature comment the save writes none, yet still replaces the user's own text.
  ASSERT_TRUE(SetSignature("Fait à Nîmes"));
  EXPECT_EQ(OptimizeOptionsFromPreferences(0).signature.text, "Fait à Nîmes");
  SetPrefOn(Pref::NoSignatureComment, true);
  const SaveSignature signature = SaveSignatureFromPreferences();
  EXPECT_EQ(signature.text, "");
  EXPECT_EQ(signature.own, "Fait à Nîmes");
}

// What the flows and writers read, each from its own bit, and what they remember read back.
TEST_F(OptionsFromPreferences, FlowSettingsFollowTheirOwnBitsAndWhatIsKeptReadsBack) {
  const FlowSettings before = FlowSettingsFromPreferences();
  EXPECT_EQ(std::make_tuple(before.oversizeInsert, before.paletteFit.storedWord,
                            before.mergeLoopShorter, before.autoPreview, before.write.jpegQuality),
            std::make_tuple(32u, 0x00880001u, true, true, 75));
  SetPrefOn(Pref::KeepTrueColor, true);
  SetPrefOn(Pref::AllowInterlace, true);
  SetPrefOn(Pref::CropSilently, true);
  SetPrefOn(Pref::NoAutoPreview, true);
  SetPrefOn(Pref::ExportLayerMasks, true);
  SetPref(PrefAviFrameRate, 12);
  SetPref(PrefPaletteMerge, merge::Web | merge::Dither);
  SetPrefField(PrefField::JpegStep, 10);
  const FlowSettings after = FlowSettingsFromPreferences();
  EXPECT_TRUE(after.read.keepTrueColour && after.paletteFit.keepTrueColour &&
              after.read.keepInterlace && after.cropSilently && !after.autoPreview &&
              after.write.psdLayerMasks);
  EXPECT_EQ(after.paletteFit.storedWord, merge::Web | merge::Dither);
  EXPECT_EQ(after.write.jpegQuality, 95);
  EXPECT_EQ(after.write.aviFixedRate, 0u) << "the rate counts only with its bit";
  SetPrefOn(Pref::AviFixedRate, true);
  EXPECT_EQ(WriteSettingsFromPreferences().aviFixedRate, 12u);

  PreferenceFlowSettings().KeepMergeChoice(true, false);
  const FlowSettings kept = PreferenceFlowSettings().Current();
  EXPECT_TRUE(kept.mergeByDuration && !kept.mergeLoopShorter);
  StorePsdLayerChoice(psdopt::Layers | psdopt::Separate | psdopt::FullCanvas);
  EXPECT_EQ(ReadOptionsFromPreferences().psdLayers,
            psdopt::Layers | psdopt::Separate | psdopt::FullCanvas);
}

TEST_F(OptionsFromPreferences, FixedPaletteIsStoredAndGivenToTheFit) {
  EXPECT_EQ(FixedPaletteFromPreferences(), nullptr) << "none stored";
  EXPECT_EQ(PaletteFitOptionsFromPreferences().fixedPalette(), nullptr);
  const std::vector<PaletteEntry> stored = {{0, 0, 0, 0}, {255, 0, 0, 0}};
  ASSERT_TRUE(StoreFixedPaletteEntries(stored));
  EXPECT_EQ(LoadFixedPaletteEntries(), stored);
  EXPECT_FALSE(StoreFixedPaletteEntries({}));
  const PalettePtr palette = PaletteFitOptionsFromPreferences().fixedPalette();
  ASSERT_TRUE(palette);
  EXPECT_EQ(palette->entries, stored);
}

TEST_F(OptionsFromPreferences, SessionSettingsReachTheEngine) {
  SetPref(PrefUndoLevels, 3);
  // Mode in the high byte, colour in the low three.
  SetPref(PrefTransparencyDisplay, 0x02ABCDEF);
  ApplyEnginePreferences();
  EXPECT_EQ(UndoLimit(), 3u);
  EXPECT_EQ(TransparencyDisplayColour(nullptr), 0xABCDEFu);
  const TransparencyDisplay display = TransparencyDisplayFromPreferences();
  EXPECT_EQ(display.mode, TransparencyDisplay::Custom);
  EXPECT_EQ(display.colour, 0xABCDEFu);
  SetPref(PrefUndoLevels, 0);
  ApplyEnginePreferences();
  EXPECT_EQ(UndoLimit(), 0u);
}

}  // namespace
}  // namespace lw
