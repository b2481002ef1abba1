#include "base/preferences.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/settings.h"
#include "platform/settings_store.h"
#include "support/bytes.h"
#include "support/services.h"
#include "support/temp_dir.h"

namespace lw {
namespace {

namespace fs = std::filesystem;

class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(fs::path(SettingsFilePath()).parent_path());
    ResetSettingsStore();
  }
  void TearDown() override {
    ResetSettingsStore();
    LoadPreferences();
  }
  // Stores "Pref" (and "NPref" unless count < 0), then loads them as at start-up.
  static void StoreAndLoad(const std::vector<uint8_t>& pref, int count) {
    Store("Pref", pref);
    count < 0 ? DeleteSettingsValue(Key(), "NPref") : SetSettingsDword(Key(), "NPref", count);
    ResetSettingsStore();
    LoadPreferences();
  }
  static std::vector<uint8_t> Words(std::initializer_list<uint32_t> words, size_t total) {
    test::Bytes b;
    for (uint32_t w : words) b.Le32(w);
    return b.Fill(total * 4 - b.size()).data();
  }
  static std::vector<std::string> Recent() {
    std::vector<std::string> list;
    for (auto& e : RecentFilesMenuEntries()) list.push_back(e.path);
    return list;
  }
  static SettingsKey Key() {
    SettingsKey key;
    CreateSettingsKey(ProgramKeyPath, &key);
    return key;
  }
  static std::vector<uint8_t> Stored(const char* name) {
    std::vector<uint8_t> data;
    QuerySettingsValue(Key(), name, nullptr, &data);
    return data;
  }
  static void Store(const char* name, const std::vector<uint8_t>& data) {
    SetSettingsValue(Key(), name, RegBinary, data.data(), data.size());
  }
  static std::vector<uint32_t> AllWords() {
    std::vector<uint32_t> words;
    for (int i = 0; i < PrefWordCapacity; ++i) words.push_back(GetPref(i));
    return words;
  }
  test::ServicesScope scope_;
};

// A stored value shorter than the words takes what it holds (even half a word), one too long
// for the words is not taken at all, and older stores get their undo levels and units mended.
TEST_F(PreferencesTest, StoredValuesOfEveryLength) {
  LoadPreferences();
  EXPECT_FALSE(SettingsKeyExists(ProgramKeyPath)) << "loading writes nothing";
  const std::vector<uint32_t> defaults = AllWords();

  StoreAndLoad(Words({1, 2, 32, 3, 4, 5, 6, 7, 8, 9}, 10), 19);
  std::vector<uint32_t> expected = {1, 2, 32, 3, 4, 5, 6, 7, 8, 9};
  expected.insert(expected.end(), defaults.begin() + 10, defaults.end());
  EXPECT_EQ(AllWords(), expected);
  StoreAndLoad(test::Bytes().Raw(Words({}, 10)).U8(2).U8(1), 19);
  EXPECT_EQ(GetPref(10), (defaults[10] & 0xFFFF0000u) | 0x0102u);

  auto full =
      Words({1, 2, 33, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, 29);
  StoreAndLoad(full, 19);
  EXPECT_TRUE(GetPref(18) == 18 && GetPref(20) == 20);
  full.resize(120);
  StoreAndLoad(full, 19);
  EXPECT_EQ(AllWords(), defaults);

  // Stores written before the undo levels existed (NPref missing or below 13) get 100.
  auto pref = Words({10, 0, 32, 0, 0, 1134, 0x800000, 0, 7, 1, 0x880001, 0, 30, 0, 0, 0, 0}, 19);
  for (auto [count, levels] : {std::pair{-1, 100u}, {12, 100u}, {13, 30u}, {19, 30u}}) {
    StoreAndLoad(pref, count);
    EXPECT_EQ(GetPref(PrefUndoLevels), levels) << count;
  }
  EXPECT_EQ(GetPref(PrefDelayUnits), 100u) << "0 is no unit";
  EXPECT_EQ(GetPref(PrefSaveOptions), 1u);
  // The insert word's values of earlier versions.
  for (auto [stored, read] : {std::pair{0u, 32u}, {1u, 36u}, {2u, 16u}, {3u, 32u}, {4u, 4u}}) {
    StoreAndLoad(Words({10, 0, stored}, 19), 19);
    EXPECT_EQ(GetPref(PrefOversizeInsert), read) << stored;
  }
}

// A file as earlier versions wrote it: every word, bit and field is read where it always was,
// and writing the words back gives the same bytes.
TEST_F(PreferencesTest, AnEarlierSettingsFileLoadsAndIsWrittenBackUnchanged) {
  const std::string text =
      "Windows Registry Editor Version 5.00\n"
      "\n[HKEY_CURRENT_USER\\Software]\n"
      "\n[HKEY_CURRENT_USER\\Software\\brumelle]\n"
      "\n[HKEY_CURRENT_USER\\Software\\brumelle\\Loopwright]\n"
      "\n[HKEY_CURRENT_USER\\Software\\brumelle\\Loopwright\\2.0]\n"
      "\"Pref\"=hex:07,00,00,00,03,00,00,00,14,00,00,00,ef,be,ad,de,00,00,00,00,6e,34,\\\n"
      "  00,00,10,00,80,12,33,22,11,02,40,00,01,00,03,00,00,00,02,03,77,00,c0,c0,c0,\\\n"
      "  01,0f,00,00,00,2d,04,00,00,64,00,00,00,31,00,00,00,03,08,05,00,48,e8,01,00,\\\n"
      "  ff,00,ff,00\n"
      "\"NPref\"=dword:00000013\n";
  std::string file = SettingsFilePath();
  fs::create_directories(fs::path(file).parent_path());
  std::ofstream(file, std::ios::binary) << text;
  ResetSettingsStore();
  LoadPreferences();
  ASSERT_TRUE(scope_.services.Messages().empty());

  EXPECT_EQ(GetPref(PrefDefaultDelay), 7u);
  EXPECT_EQ(GetPref(3), 0xDEADBEEFu) << "a word no one reads is kept";
  EXPECT_EQ(GetPref(PrefUndoLevels), 15u);
  EXPECT_EQ(GetPref(PrefAviFrameRate), 125000u);
  for (Pref on : {Pref::KeepTrueColor, Pref::HidePropertiesBar, Pref::MergeLoopShorter,
                  Pref::ExportLayerMasks, Pref::HideIntroPanel, Pref::LoadTransparentColour,
                  Pref::ReduceDither, Pref::PaletteMergeAsk, Pref::PaletteMergeDither,
                  Pref::OversizeInsertAsk, Pref::FrameTipsOn, Pref::FrameTipBitCount})
    EXPECT_TRUE(PrefOn(on)) << PrefBitRows[int(on)].name;
  for (Pref off : {Pref::NoAutoPreview, Pref::AllowInterlace, Pref::AviFixedRate,
                   Pref::FirstStartDone, Pref::FrameTipOffset})
    EXPECT_FALSE(PrefOn(off)) << PrefBitRows[int(off)].name;
  const std::pair<PrefField, uint32_t> fields[] = {{PrefField::StripOrientation, 1},
                                                   {PrefField::TransparencyMode, 2},
                                                   {PrefField::TransparencyColour, 0x112233},
                                                   {PrefField::PreviewBackgroundChosen, 1},
                                                   {PrefField::PreviewBackgroundColour, 0xC0C0C0},
                                                   {PrefField::ReduceCount, 64},
                                                   {PrefField::PaletteMergeColours, 7},
                                                   {PrefField::PaletteMergeTrueColours, 7},
                                                   {PrefField::SaveType, 3},
                                                   {PrefField::JpegStep, 8},
                                                   {PrefField::SaveOptionBits, 5}};
  for (auto [field, value] : fields)
    EXPECT_EQ(PrefFieldValue(field), value) << PrefFieldRows[int(field)].name;
  EXPECT_EQ(JpegQuality(), 85);

  ASSERT_TRUE(SetPrefOn(Pref::KeepTrueColor, true));  // already on: the words are rewritten as read
  // The words added since come after the old ones, at their defaults.
  std::string back = text;
  back.replace(back.find("ff,00,ff,00\n"), 12, "ff,00,ff,00,00,00,00,00,00,00,00,00,4b,00,00,00\n");
  back.replace(back.find("00000013"), 8, "00000016");
  EXPECT_EQ(test::Contents(file), back);

  // A bit or a field changes nothing else of its word, even given a value too wide for it.
  SetPrefField(PrefField::SaveOptionBits, 0x12345);
  EXPECT_EQ(GetPref(PrefSaveOptions), 0x23450803u);
  SetPrefField(PrefField::StripOrientation, 2);
  SetPrefOn(Pref::PsdFullCanvas, true);
  SetPrefOn(Pref::FirstStartDone, true);
  EXPECT_EQ(GetPref(PrefFlags), 0x92800020u);
  EXPECT_EQ(GetPref(PrefFlags2), 0x71u);
  SetPref(PrefSaveOptions, 0xC801);
  EXPECT_EQ(JpegQuality(), 95) << "a damaged step stays a valid quality";
}

TEST_F(PreferencesTest, SignatureSwitchLimitAndRecognition) {
  EXPECT_EQ(GetSignature(), "") << "no key yet";
  RecentFilesPrune();  // start-up makes the key
  const std::string standard = GetSignature();
  SetPrefOn(Pref::NoSignatureComment, true);
  EXPECT_EQ(GetSignature(), "");
  EXPECT_EQ(GetSignature(true), standard);
  EXPECT_TRUE(IsSignatureComment(standard));
  EXPECT_TRUE(
      IsSignatureComment("R\xE9"
                         "alis\xE9 avec Loopwright 2.0"))
      << "older, Latin-1";
  EXPECT_FALSE(IsSignatureComment("Réalisé avec"));
  std::string longText;
  for (int i = 0; i < 300; ++i) longText += "é";
  ASSERT_TRUE(SetSignature(longText));
  EXPECT_EQ(GetSignature(true).size(), 255u * 2) << "255 characters, not cut inside one";
  ASSERT_TRUE(SetSignature("Créé à Nîmes"));
  EXPECT_TRUE(IsSignatureComment("Cr\xE9\xE9 \xE0 N\xEEmes"));
}

// The binary values keep the layouts earlier versions stored; damaged lengths are refused.
TEST_F(PreferencesTest, FixedPaletteAndWindowPlacementLayouts) {
  FixedPalette palette;
  palette.count = 3;
  palette.entries[0] = {1, 2, 3, 0};
  palette.entries[2] = {250, 251, 252, 4};
  ASSERT_TRUE(SaveFixedPalette(palette));
  std::vector<uint8_t> data = Stored("FixedPal");
  EXPECT_EQ(data, Words({0x00030300, 0x030201, 0, 0x04FCFBFA}, 257));
  ResetSettingsStore();
  FixedPalette back;
  ASSERT_TRUE(LoadFixedPalette(&back));
  EXPECT_EQ(back.count, 3);
  EXPECT_EQ(back.entries, palette.entries);
  Store("FixedPal", {0, 3, 0, 1, 9, 9, 9, 0});  // a count beyond the entries present is cut
  ASSERT_TRUE(LoadFixedPalette(&back));
  EXPECT_EQ(back.count, 1);
  EXPECT_EQ(back.entries[1], (std::array<uint8_t, 4>{0, 0, 0, 0}));
  for (size_t bad : {size_t{1032}, size_t{4}}) {
    Store("FixedPal", std::vector<uint8_t>(bad, 1));
    EXPECT_FALSE(LoadFixedPalette(&back)) << bad;
  }

  WindowPlacement p;
  p.showCmd = ShowMaximized;
  p.minPosition = {-1, -1};
  p.normalPosition = {10, 20, 810, 620};
  ASSERT_TRUE(SaveWindowPlacement(p));
  data = Stored("Placement");
  EXPECT_EQ(data, Words({44, 0, 3, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 10, 20, 810, 620}, 11));
  WindowPlacement back2;
  ASSERT_TRUE(LoadWindowPlacement(&back2));
  data.resize(40);  // shorter than the length it says of itself
  Store("Placement", data);
  EXPECT_FALSE(LoadWindowPlacement(&back2));
}

TEST_F(PreferencesTest, RecentFilesMoveToFrontDropTheOldestAndPruneStopsAtAGap) {
  for (int i = 1; i <= 7; ++i) ASSERT_TRUE(RecentFileAdd("/f/" + std::to_string(i)));
  ASSERT_TRUE(RecentFileAdd("/f/5"));
  ASSERT_TRUE(RecentFileAdd("/f/8"));
  ASSERT_TRUE(RecentFileAdd("/f/8"));
  EXPECT_EQ(Recent(),
            (std::vector<std::string>{"/f/8", "/f/5", "/f/7", "/f/6", "/f/4", "/f/3", "/f/2"}));
  EXPECT_TRUE(RecentFileRemove("/f/6"));
  std::string path;
  EXPECT_TRUE(RecentFileGet(6, &path) && path == "/f/2" && !RecentFileGet(7, &path));

  // Only readable files stay, and an entry past a gap is dropped: filling the gap must not
  // bring it back.
  test::TempDir dir;
  std::string a = dir.Put("a.gif", "x"), c = dir.Put("c.gif", "x");
  SettingsKey key = Key();
  for (int i = 1; i <= 6; ++i) DeleteSettingsValue(key, "File" + std::to_string(i));
  SetSettingsString(key, "File1", a);
  SetSettingsString(key, "File3", c);
  RecentFilesPrune();
  RecentFileAdd("/f/9");
  EXPECT_EQ(Recent(), (std::vector<std::string>{"/f/9", a}));
  SetSettingsString(key, "File1", dir.Path("gone.gif"));
  SetSettingsString(key, "File3", dir.Root().string());  // a folder is no file to open
  SetSettingsString(key, "File4", c);
  RecentFilesPrune();
  EXPECT_EQ(Recent(), (std::vector<std::string>{a, c}));
  EXPECT_EQ(RecentFilesMenuEntries()[1].label, "&2: c.gif");
}

// In a fresh process, where nothing has read the store yet: a first write once stored zeros
// over the user's other settings.
TEST_F(PreferencesTest, FirstWriteKeepsTheStoredWords) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // re-runs the program: nothing read yet
  auto writeOneBit = [] {
    Store("Pref", {7, 0, 0, 0, 3, 0, 0, 0});  // delay 7, 3 loops
    SetSettingsDword(Key(), "NPref", 2);
    ResetSettingsStore();
    SetPrefOn(Pref::AllowInterlace, true);
    ResetSettingsStore();
    LoadPreferences();
    return GetPref(PrefDefaultDelay) == 7 && GetPref(PrefDefaultLoopCount) == 3 &&
           PrefOn(Pref::AllowInterlace);
  };
  EXPECT_EXIT(std::_Exit(writeOneBit() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lw
