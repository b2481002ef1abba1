// What the window remembers of a save comes back on the next one: the Save As dialog's type,
// choice and folder, the recent files, and the panels' WebP, clip and AVI choices, which reach
// the writers of a save that no panel sets.
#include "shell/save_choices.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/preferences.h"
#include "base/settings.h"
#include "formats/avi/avi_format.h"
#include "formats/avi/video_out_format.h"
#include "formats/save_flow.h"
#include "formats/webp/webp_format.h"
#include "platform/settings_store.h"
#include "shell/options_from_preferences.h"
#include "shell/shell_state.h"
#include "support/document.h"
#include "support/fresh_preferences.h"
#include "support/services.h"
#include "support/temp_dir.h"

namespace lw {
namespace {

class SaveChoices : public ::testing::Test {
 protected:
  void SetUp() override { test::FreshPreferences(); }
  void TearDown() override { test::FreshPreferences(); }
  test::ServicesScope scope_;
  test::TempDir dir_;
};

TEST_F(SaveChoices, TheWindowsSaveAsChoicesComeBackOnTheNextSave) {
  ShellState state;
  state.settings = &PreferenceFlowSettings();  // as the window's
  state.document = test::NumberedAnimation(3, 6, 5);
  state.modified = true;
  const std::string saved = dir_.Path("anim.webp");
  scope_.services.saveAs = [&](const SaveAsRequest&, SaveAsChoice* choice) {
    choice->path = saved;
    choice->type = savetype::Webp;
    choice->options.optionBits = saveopt::AnimationChosen;
    // What the WebP panel does on OK: its choice for this save, remembered for the next.
    const WebpSettings webp{.filled = true, .lossy = true, .quality = 60};
    choice->options.formatOptions = webp;
    StoreWebpSettings(webp);
    return true;
  };
  ASSERT_TRUE(SaveAsCommand(state, -1));
  const std::string chosen = test::Contents(saved);

  // The next dialog offers the same type and choice, in the same folder; the file heads the
  // recent files.
  const SaveAsRequest next = BuildSaveAsRequest(state.Settings(), nullptr, "", *state.document, -1);
  EXPECT_EQ(next.type, savetype::Webp);
  EXPECT_EQ(next.previousBits, saveopt::AnimationChosen);
  EXPECT_EQ(next.folder, dir_.Root().string() + "/");
  std::string recent;
  EXPECT_TRUE(RecentFileGet(1, &recent) && recent == saved);

  // A plain Save has no panel: the remembered quality writes the same file again, where
  // the lossless default would not.
  std::filesystem::remove(saved);
  state.modified = true;
  ASSERT_TRUE(SaveCommand(state));
  EXPECT_EQ(test::Contents(saved), chosen);
  const std::string lossless = dir_.Path("lossless.webp");
  ASSERT_TRUE(WriteWebp(lossless, lossless, *state.document, {.filled = true}, {}, nullptr));
  EXPECT_NE(test::Contents(lossless), chosen);
}

// Each panel's choice is filed under its own save type, and a CRF out of the encoder's range
// reads as its default.
TEST_F(SaveChoices, EachTypeFindsItsOwnRememberedChoice) {
  StoreClipCrf(ClipCodec::H264, 30);
  StoreWebpSettings({.lossy = true, .quality = 60});
  StoreAviCompressOptions(Video1Options());
  SetPrefOn(Pref::NoAviCompression, true);
  WriteSettings settings = WriteSettingsFromPreferences();
  ASSERT_TRUE(settings.StoredChoice<ClipSaveOptions>(savetype::Mp4));
  EXPECT_EQ(settings.StoredChoice<ClipSaveOptions>(savetype::Mp4)->crf, 30);
  EXPECT_EQ(settings.StoredChoice<ClipSaveOptions>(savetype::Webm)->crf,
            DefaultClipCrf(ClipCodec::Vp9));
  const WebpSettings* webp = settings.StoredChoice<WebpSettings>(savetype::Webp);
  ASSERT_TRUE(webp);
  EXPECT_TRUE(webp->lossy);
  EXPECT_EQ(webp->quality, 60);
  EXPECT_FALSE(settings.StoredChoice<WebpSettings>(savetype::Mp4)) << "another type's options";
  EXPECT_FALSE(settings.StoredChoice<AviSettings>(savetype::Avi)->compress);

  SetPrefOn(Pref::NoAviCompression, false);
  SetPrefField(PrefField::Mp4Crf, 99);  // past the encoder's range
  settings = WriteSettingsFromPreferences();
  const AviSettings* avi = settings.StoredChoice<AviSettings>(savetype::Avi);
  ASSERT_TRUE(avi);
  EXPECT_TRUE(avi->compress);
  EXPECT_EQ(avi->compressOptions, Video1Options());
  EXPECT_EQ(settings.StoredChoice<ClipSaveOptions>(savetype::Mp4)->crf,
            DefaultClipCrf(ClipCodec::H264));
}

}  // namespace
}  // namespace lw
