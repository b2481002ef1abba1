// Each option the engine takes is built from the preference that sets it.
#include "shell/options_from_preferences.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/preferences.h"
#include "base/settings.h"
#include "core/undo.h"
#include "platform/settings_store.h"
#include "support/services.h"

namespace lw {
namespace {

class OptionsFromPreferences : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(); }
  void TearDown() override {
    Fresh();
    ApplyEnginePreferences();
  }
  static void Fresh() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"))
      std::filesystem::remove_all(std::filesystem::path(config) / "loopwright");
    ResetSettingsStore();
    LoadPreferences();
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
