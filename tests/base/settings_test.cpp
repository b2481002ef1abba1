#include "base/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/preferences.h"
#include "platform/desktop_entries.h"
#include "platform/files.h"
#include "platform/headless_services.h"
#include "platform/settings_store.h"

namespace lw {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = std::string(std::getenv("XDG_CONFIG_HOME")) + "/loopwright";
    data_ = std::getenv("XDG_DATA_HOME");
    files_ = fs::path(data_).parent_path().string() + "/files";
    std::error_code ignored;
    fs::remove_all(config_, ignored);
    fs::remove_all(data_, ignored);
    fs::remove_all(files_, ignored);
    fs::create_directories(files_);
    ResetSettingsStore();
    LoadPreferences();
  }
  void TearDown() override {
    SetServices(nullptr);
    ResetSettingsStore();
    LoadPreferences();
  }

  std::string MakeFile(const std::string& name) const {
    std::string path = files_ + "/" + name;
    std::ofstream(path) << "x";
    return path;
  }
  static std::vector<std::string> Recent() {
    std::vector<std::string> list;
    for (auto& e : RecentFilesMenuEntries()) list.push_back(e.path);
    return list;
  }
  static SettingsKey Key() {
    SettingsKey key;
    EXPECT_EQ(CreateSettingsKey(ProgramKeyPath, &key), SettingsStatus::Ok);
    return key;
  }

  std::string config_, data_, files_;
  HeadlessServices services_;
};

TEST_F(SettingsTest, SignatureDefaultsSwitchAndLimit) {
  EXPECT_EQ(GetSignature(), "") << "no key yet";
  RecentFilesPrune();  // start-up makes the key
  EXPECT_EQ(GetSignature(), "Réalisé avec Loopwright 4.0");
  SetPrefOn(Pref::NoSignatureComment, true);
  EXPECT_EQ(GetSignature(), "");
  EXPECT_EQ(GetSignature(true), "Réalisé avec Loopwright 4.0");

  std::string longText;
  for (int i = 0; i < 300; ++i) longText += "é";
  ASSERT_TRUE(SetSignature(longText));
  std::string stored = GetSignature(true);
  EXPECT_EQ(stored.size(), 255u * 2) << "255 characters, not cut inside one";

  ASSERT_TRUE(SetSignature("Fait main"));
  EXPECT_TRUE(IsSignatureComment("Fait main"));
  EXPECT_FALSE(IsSignatureComment("Fait main!"));
  EXPECT_TRUE(IsSignatureComment("Réalisé avec Loopwright 3.1"));
  EXPECT_FALSE(IsSignatureComment("réalisé avec Loopwright"));
  EXPECT_FALSE(IsSignatureComment("Réalisé avec"));
  // Older versions wrote their comments in Latin-1.
  EXPECT_TRUE(
      IsSignatureComment("R\xE9"
                         "alis\xE9 avec Loopwright 2.0"));
  ASSERT_TRUE(SetSignature("Créé à Nîmes"));
  EXPECT_TRUE(IsSignatureComment("Cr\xE9\xE9 \xE0 N\xEEmes"));
  EXPECT_FALSE(IsSignatureComment("Cr\xE9\xE9 \xE0 N\xEEmes!"));
  ASSERT_TRUE(SetSignature("Fait à Łódź"));  // no Latin-1 form
  EXPECT_TRUE(IsSignatureComment("Fait à Łódź"));
  EXPECT_FALSE(IsSignatureComment("Fait \xE0 "));
}

TEST_F(SettingsTest, FixedPaletteLayout) {
  FixedPalette palette;
  palette.count = 3;
  palette.entries[0] = {1, 2, 3, 0};
  palette.entries[2] = {250, 251, 252, 4};
  ASSERT_TRUE(SaveFixedPalette(palette));
  std::vector<uint8_t> data;
  ASSERT_EQ(QuerySettingsValue(Key(), "FixedPal", nullptr, &data), SettingsStatus::Ok);
  ASSERT_EQ(data.size(), 1028u);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 8),
            (std::vector<uint8_t>{0, 3, 3, 0, 1, 2, 3, 0}));
  EXPECT_EQ(data[12], 250);
  EXPECT_EQ(data[15], 4);

  ResetSettingsStore();
  FixedPalette back;
  ASSERT_TRUE(LoadFixedPalette(&back));
  EXPECT_EQ(back.count, 3);
  EXPECT_EQ(back.entries, palette.entries);

  // A stored count beyond the entries present is cut to them; too long or empty is nothing.
  std::vector<uint8_t> shortValue = {0, 3, 0, 1, 9, 9, 9, 0};
  SetSettingsValue(Key(), "FixedPal", RegBinary, shortValue.data(), shortValue.size());
  ASSERT_TRUE(LoadFixedPalette(&back));
  EXPECT_EQ(back.count, 1);
  EXPECT_EQ(back.entries[1], (std::array<uint8_t, 4>{0, 0, 0, 0}));
  std::vector<uint8_t> tooLong(1032, 1);
  SetSettingsValue(Key(), "FixedPal", RegBinary, tooLong.data(), tooLong.size());
  EXPECT_FALSE(LoadFixedPalette(&back));
  SetSettingsValue(Key(), "FixedPal", RegBinary, shortValue.data(), 4);
  EXPECT_FALSE(LoadFixedPalette(&back));
}

TEST_F(SettingsTest, CoEditorPhotoshopFlag) {
  std::string path;
  EXPECT_FALSE(GetCoEditor(&path));
  ASSERT_TRUE(SetCoEditor("/opt/Adobe/PHOTOSHP.EXE"));
  EXPECT_TRUE(PrefOn(Pref::CoEditorIsPhotoshop));
  EXPECT_TRUE(GetCoEditor(&path));
  EXPECT_EQ(path, "/opt/Adobe/PHOTOSHP.EXE");
  ASSERT_TRUE(SetCoEditor("/usr/bin/pinta"));
  EXPECT_FALSE(PrefOn(Pref::CoEditorIsPhotoshop));
  // GIMP and Krita take layered files as Photoshop does.
  ASSERT_TRUE(SetCoEditor("/usr/bin/gimp"));
  EXPECT_TRUE(PrefOn(Pref::CoEditorIsPhotoshop));
  ASSERT_TRUE(SetCoEditor("hp.exe"));
  EXPECT_FALSE(PrefOn(Pref::CoEditorIsPhotoshop));
}

TEST_F(SettingsTest, InitDirKeepsATrailingSlash) {
  std::string dir;
  EXPECT_FALSE(GetInitDir(&dir));
  ASSERT_TRUE(SetInitDirFromFile("/home/u/anims/a.gif"));
  ASSERT_TRUE(GetInitDir(&dir));
  EXPECT_EQ(dir, "/home/u/anims/");
  ASSERT_TRUE(SetInitDir("/usr/share/loopwright/exemples"));
  ASSERT_TRUE(GetInitDir(&dir));
  EXPECT_EQ(dir, "/usr/share/loopwright/exemples/");
}

TEST_F(SettingsTest, RecentFilesMoveToFrontAndDropTheOldest) {
  SetServices(&services_);
  for (int i = 1; i <= 7; ++i) ASSERT_TRUE(RecentFileAdd("/f/" + std::to_string(i)));
  EXPECT_EQ(Recent(),
            (std::vector<std::string>{"/f/7", "/f/6", "/f/5", "/f/4", "/f/3", "/f/2", "/f/1"}));
  ASSERT_TRUE(RecentFileAdd("/f/5"));  // File3 goes first, File4..7 stay
  EXPECT_EQ(Recent(),
            (std::vector<std::string>{"/f/5", "/f/7", "/f/6", "/f/4", "/f/3", "/f/2", "/f/1"}));
  ASSERT_TRUE(RecentFileAdd("/f/8"));
  EXPECT_EQ(Recent(),
            (std::vector<std::string>{"/f/8", "/f/5", "/f/7", "/f/6", "/f/4", "/f/3", "/f/2"}));
  ASSERT_TRUE(RecentFileAdd("/f/8"));
  EXPECT_EQ(Recent()[1], "/f/5");
  EXPECT_EQ(services_.RecentFilesChanges(), 10);

  EXPECT_TRUE(RecentFileRemove("/f/6"));
  EXPECT_EQ(Recent(), (std::vector<std::string>{"/f/8", "/f/5", "/f/7", "/f/4", "/f/3", "/f/2"}));
  EXPECT_FALSE(RecentFileRemove("/f/6"));
  EXPECT_FALSE(RecentFileRemove("/F/8")) << "exact comparison";
  std::string path;
  EXPECT_TRUE(RecentFileGet(6, &path));
  EXPECT_EQ(path, "/f/2");
  EXPECT_FALSE(RecentFileGet(7, &path));
  EXPECT_FALSE(RecentFileGet(0, &path));

  auto entries = RecentFilesMenuEntries();
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0].label, "&1: 8");
  EXPECT_EQ(entries[0].command, 40150);
  EXPECT_EQ(entries[5].command, 40155);
}

TEST_F(SettingsTest, PruneKeepsReadableFilesAndStopsAtAGap) {
  std::string a = MakeFile("a.gif"), b = MakeFile("b.gif"), c = MakeFile("c.gif");
  SettingsKey key = Key();
  SetSettingsString(key, "File1", a);
  SetSettingsString(key, "File3", b);
  RecentFilesPrune();
  EXPECT_EQ(Recent(), (std::vector<std::string>{a}));
  RecentFileAdd(c);  // fills File2: the entry past the old gap must not come back
  EXPECT_EQ(Recent(), (std::vector<std::string>{c, a}));

  SetSettingsString(key, "File1", files_ + "/gone.gif");
  SetSettingsString(key, "File2", a);
  SetSettingsString(key, "File3", files_);  // a folder is not a file to open
  SetSettingsString(key, "File4", c);
  RecentFilesPrune();
  EXPECT_EQ(Recent(), (std::vector<std::string>{a, c}));
  EXPECT_EQ(RecentFilesMenuEntries()[1].label, "&2: c.gif");
}

TEST_F(SettingsTest, WindowPlacementLayout) {
  WindowPlacement p;
  p.showCmd = ShowMaximized;
  p.minPosition = {-1, -1};
  p.normalPosition = {10, 20, 810, 620};
  ASSERT_TRUE(SaveWindowPlacement(p));
  std::vector<uint8_t> data;
  ASSERT_EQ(QuerySettingsValue(Key(), "Placement", nullptr, &data), SettingsStatus::Ok);
  ASSERT_EQ(data.size(), 44u);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 16),
            (std::vector<uint8_t>{44, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(data[40], 0x6C);  // bottom 620
  EXPECT_EQ(data[41], 0x02);

  WindowPlacement back;
  ASSERT_TRUE(LoadWindowPlacement(&back));
  EXPECT_EQ(back.showCmd, 3u);
  EXPECT_EQ(back.minPosition.x, -1);
  EXPECT_EQ(back.normalPosition.right, 810);
  EXPECT_EQ(back.normalPosition.bottom, 620);

  data.resize(40);
  SetSettingsValue(Key(), "Placement", RegBinary, data.data(), data.size());
  EXPECT_FALSE(LoadWindowPlacement(&back));
  data.resize(44);
  data[0] = 40;
  SetSettingsValue(Key(), "Placement", RegBinary, data.data(), data.size());
  EXPECT_FALSE(LoadWindowPlacement(&back));
}

// The entry's checks and removal are the platform's; here, the name it is shown under.
TEST_F(SettingsTest, GifEntryIsNamedWithTheVerb) {
  ASSERT_TRUE(AssociateGif());
  std::string text;
  ASSERT_TRUE(ReadWholeFile(GifEntryPath(), 1 << 16, &text));
  EXPECT_NE(text.find("Name=Editer avec Loopwright\n"), std::string::npos) << text;
  EXPECT_TRUE(IsGifAssociated());
  EXPECT_TRUE(UnassociateGif());
}

}  // namespace
}  // namespace lw
