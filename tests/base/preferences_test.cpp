#include "base/preferences.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/settings_store.h"

namespace lw {
namespace {

namespace fs = std::filesystem;

class RecordingServices : public PlatformServices {
 public:
  int MessageBox(WindowHandle, const std::string& text, const std::string& caption, int) override {
    messages.push_back(caption + ": " + text);
    return answer::Ok;
  }
  bool Interactive() const override { return true; }
  uint32_t AskPaletteMerge(WindowHandle, uint32_t stored) override {
    asked.push_back(stored);
    return reply;
  }
  uint32_t AskOversizeInsert(WindowHandle, uint32_t stored) override {
    asked.push_back(stored);
    return reply;
  }
  std::vector<std::string> messages;
  std::vector<uint32_t> asked;
  uint32_t reply = 0;
};

class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code ignored;
    fs::remove_all(std::string(std::getenv("XDG_CONFIG_HOME")) + "/loopwright", ignored);
    ResetSettingsStore();
    SetServices(&services_);
  }
  void TearDown() override {
    SetServices(nullptr);
    ResetSettingsStore();
    LoadPreferences();
  }

  // Stores raw words as "Pref" (and "NPref" unless count < 0), then loads them as at start-up.
  void StoreAndLoad(const std::vector<uint8_t>& pref, int count) {
    SettingsKey key;
    ASSERT_EQ(CreateSettingsKey(ProgramKeyPath, &key), SettingsStatus::Ok);
    ASSERT_EQ(SetSettingsValue(key, "Pref", RegBinary, pref.data(), pref.size()),
              SettingsStatus::Ok);
    if (count >= 0) {
      ASSERT_EQ(SetSettingsDword(key, "NPref", static_cast<uint32_t>(count)), SettingsStatus::Ok);
    }
    ResetSettingsStore();
    LoadPreferences();
  }
  static std::vector<uint8_t> Words(std::initializer_list<uint32_t> words, size_t totalWords) {
    std::vector<uint8_t> bytes(totalWords * 4);
    size_t i = 0;
    for (uint32_t w : words) {
      for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<uint8_t>(w >> (8 * b));
      ++i;
    }
    return bytes;
  }
  static std::vector<uint8_t> StoredPref() {
    SettingsKey key;
    std::vector<uint8_t> data;
    EXPECT_EQ(OpenSettingsKey(ProgramKeyPath, &key), SettingsStatus::Ok);
    EXPECT_EQ(QuerySettingsValue(key, "Pref", nullptr, &data), SettingsStatus::Ok);
    return data;
  }

  RecordingServices services_;
};

void ExpectDefaultsFrom(int first) {
  const uint32_t defaults[PrefWordCount] = {
      10, 0, 32, 0, 0, 1134 | 0x3000, 0x00800000, 0, 7, 1, 0x00880001, 0, 20, 0, 100, 0, 1, 0, 0};
  for (int i = first; i < PrefWordCount; ++i)
    if (i != PrefUndoLevels) {
      EXPECT_EQ(GetPref(i), defaults[i]) << "word " << i;
    }
}

TEST_F(PreferencesTest, NothingStoredGivesTheDefaults) {
  LoadPreferences();
  ExpectDefaultsFrom(0);
  EXPECT_EQ(GetPref(PrefUndoLevels), 20u);
  EXPECT_FALSE(SettingsKeyExists(ProgramKeyPath)) << "loading writes nothing";
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(PreferencesTest, OlderStoresGetOneHundredUndoLevels) {
  auto pref =
      Words({10, 0, 32, 0, 0, 1134, 0x800000, 0, 7, 1, 0x880001, 0, 30, 0, 100, 0, 1, 0, 0}, 19);
  StoreAndLoad(pref, -1);
  EXPECT_EQ(GetPref(PrefUndoLevels), 100u) << "no NPref";
  StoreAndLoad(pref, 12);
  EXPECT_EQ(GetPref(PrefUndoLevels), 100u);
  StoreAndLoad(pref, 13);
  EXPECT_EQ(GetPref(PrefUndoLevels), 30u);
  StoreAndLoad(pref, 19);
  EXPECT_EQ(GetPref(PrefUndoLevels), 30u);
}

TEST_F(PreferencesTest, StoredWordsReadBackUnchanged) {
  std::vector<uint8_t> pref(76);
  for (size_t i = 0; i < pref.size(); ++i) pref[i] = static_cast<uint8_t>(i + 1);
  pref[14 * 4] = 50;  // a usable delay unit
  pref[14 * 4 + 1] = pref[14 * 4 + 2] = pref[14 * 4 + 3] = 0;
  StoreAndLoad(pref, 19);
  for (int i = 0; i < PrefWordCount; ++i) {
    if (i == PrefOversizeInsert) continue;  // mapped, below
    uint32_t expected = pref[i * 4] | (pref[i * 4 + 1] << 8) | (pref[i * 4 + 2] << 16) |
                        (static_cast<uint32_t>(pref[i * 4 + 3]) << 24);
    EXPECT_EQ(GetPref(i), expected) << "word " << i;
  }
  // One word written rewrites all 19, reserved words included, and nothing past them.
  ASSERT_TRUE(SetPref(PrefDefaultDelay, 5));
  std::vector<uint8_t> stored = StoredPref();
  ASSERT_EQ(stored.size(), 76u);
  pref[0] = 5, pref[1] = pref[2] = pref[3] = 0;
  EXPECT_EQ(stored, pref);
  SettingsKey key;
  std::vector<uint8_t> count;
  uint32_t type = 0;
  ASSERT_EQ(OpenSettingsKey(ProgramKeyPath, &key), SettingsStatus::Ok);
  ASSERT_EQ(QuerySettingsValue(key, "NPref", &type, &count), SettingsStatus::Ok);
  EXPECT_EQ(type, RegDword);
  EXPECT_EQ(count, (std::vector<uint8_t>{19, 0, 0, 0}));
}

TEST_F(PreferencesTest, ShortLongAndOddStoredValues) {
  // 40 bytes: words 0..9 stored, the rest defaults.
  StoreAndLoad(Words({1, 2, 33, 3, 4, 5, 6, 7, 8, 9}, 10), 19);
  EXPECT_EQ(GetPref(PrefDefaultDelay), 1u);
  EXPECT_EQ(GetPref(PrefModemSpeed), 9u);
  ExpectDefaultsFrom(10);
  EXPECT_EQ(GetPref(PrefUndoLevels), 20u);

  // 42 bytes: half of word 10 comes from the store, half stays the default.
  auto odd = Words({}, 10);
  odd.push_back(0x02);
  odd.push_back(0x01);
  StoreAndLoad(odd, 19);
  EXPECT_EQ(GetPref(PrefPaletteMerge), 0x00880102u);

  // 116 bytes are taken, 120 leave every word at its default.
  auto full =
      Words({1, 2, 33, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, 29);
  StoreAndLoad(full, 19);
  EXPECT_EQ(GetPref(PrefLoadTransparentColor), 18u);
  EXPECT_EQ(GetPref(20), 20u);
  full.resize(120);
  StoreAndLoad(full, 19);
  ExpectDefaultsFrom(0);
  EXPECT_EQ(GetPref(20), 0u);

  // Unusable delay units and save options are mended.
  StoreAndLoad(Words({10, 0, 32, 0, 0, 1134, 0, 0, 7, 1, 0x880001, 0, 20, 0, 0, 0, 0, 0, 0}, 19),
               19);
  EXPECT_EQ(GetPref(PrefDelayUnits), 100u);
  EXPECT_EQ(GetPref(PrefSaveOptions), 1u);
  StoreAndLoad(Words({10, 0, 32, 0, 0, 1134, 0, 0, 7, 1, 0x880001, 0, 20, 0, 250, 0, 1, 0, 0}, 19),
               19);
  EXPECT_EQ(GetPref(PrefDelayUnits), 100u);
}

TEST_F(PreferencesTest, OversizeInsertLegacyValues) {
  const std::pair<uint32_t, uint32_t> cases[] = {{0, 32}, {1, 36}, {2, 16},
                                                 {3, 32}, {4, 4},  {36, 36}};
  for (auto [stored, read] : cases) {
    StoreAndLoad(Words({10, 0, stored}, 19), 19);
    EXPECT_EQ(GetPref(PrefOversizeInsert), read) << stored;
  }
  // Bits change from the mapped value: stored 1 (enlarge + ask) without asking is enlarge.
  StoreAndLoad(Words({10, 0, 1}, 19), 19);
  ASSERT_TRUE(SetPrefOn(Pref::OversizeInsertAsk, false));
  EXPECT_EQ(GetPref(PrefOversizeInsert), 32u);
  EXPECT_EQ(StoredPref()[8], 32);
}

TEST_F(PreferencesTest, AskPrefAsksOnlyWhenTheWordSaysSo) {
  LoadPreferences();
  services_.reply = 0x00880002;
  EXPECT_EQ(AskPref(PrefPaletteMerge, nullptr), 0x00880001u);
  EXPECT_EQ(AskPref(PrefOversizeInsert, nullptr), 32u);
  EXPECT_TRUE(services_.asked.empty());

  SetPref(PrefPaletteMerge, 0x00880201);
  EXPECT_EQ(AskPref(PrefPaletteMerge, nullptr), 0x00880002u);
  SetPref(PrefOversizeInsert, 1);  // legacy "enlarge and ask"
  services_.reply = 0;
  EXPECT_EQ(AskPref(PrefOversizeInsert, nullptr), 0u) << "cancel";
  EXPECT_EQ(services_.asked, (std::vector<uint32_t>{0x00880201, 36}));
}

TEST_F(PreferencesTest, JpegQualitySteps) {
  LoadPreferences();
  EXPECT_EQ(JpegQuality(), 75);
  SetPref(PrefSaveOptions, 0x0101);
  EXPECT_EQ(JpegQuality(), 50);
  SetPref(PrefSaveOptions, 0x0A01);
  EXPECT_EQ(JpegQuality(), 95);
  SetPref(PrefSaveOptions, 0xC801);
  EXPECT_EQ(JpegQuality(), 95) << "a damaged step stays a valid quality";
}

TEST_F(PreferencesTest, UnwritableStoreKeepsWordsInMemory) {
  fs::create_directories(SettingsFilePath());  // in the way of the file
  LoadPreferences();
  EXPECT_FALSE(SetPref(PrefDefaultDelay, 7));
  EXPECT_EQ(GetPref(PrefDefaultDelay), 7u);
  EXPECT_FALSE(SetPref(PrefWordCount, 1));
  EXPECT_EQ(GetPref(-1), 0u);
}

TEST_F(PreferencesTest, DamagedSettingsAreReportedOnce) {
  std::string file = SettingsFilePath();
  fs::create_directories(fs::path(file).parent_path());
  std::ofstream(file) << "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\n";
  ResetSettingsStore();
  LoadPreferences();
  ExpectDefaultsFrom(0);
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_NE(services_.messages[0].find("Le fichier des réglages « " + file +
                                       " » était endommagé ; il a "
                                       "été mis de côté sous « " +
                                       file + ".damaged-"),
            std::string::npos)
      << services_.messages[0];
  LoadPreferences();
  EXPECT_EQ(services_.messages.size(), 1u);
}

// A file as earlier versions wrote it: every word is read where it always was, and writing the
// words back gives the same bytes.
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
  ASSERT_TRUE(services_.messages.empty());

  EXPECT_EQ(GetPref(PrefDefaultDelay), 7u);
  EXPECT_EQ(GetPref(3), 0xDEADBEEFu) << "a word no one reads is kept";
  EXPECT_EQ(GetPref(PrefUndoLevels), 15u);
  EXPECT_EQ(GetPref(PrefAviFrameRate), 125000u);
  // PrefFlags 0x12800010
  EXPECT_TRUE(PrefOn(Pref::KeepTrueColor));
  EXPECT_TRUE(PrefOn(Pref::HidePropertiesBar));
  EXPECT_TRUE(PrefOn(Pref::MergeLoopShorter));
  EXPECT_FALSE(PrefOn(Pref::NoAutoPreview));
  EXPECT_FALSE(PrefOn(Pref::AllowInterlace));
  EXPECT_EQ(PrefFieldValue(PrefField::StripOrientation), 1u);
  // PrefFlags2 0x31
  EXPECT_TRUE(PrefOn(Pref::ExportLayerMasks));
  EXPECT_TRUE(PrefOn(Pref::HideIntroPanel));
  EXPECT_TRUE(PrefOn(Pref::LoadTransparentColour));
  EXPECT_FALSE(PrefOn(Pref::AviFixedRate));
  EXPECT_FALSE(PrefOn(Pref::FirstStartDone));
  // Fields of the other words.
  EXPECT_EQ(PrefFieldValue(PrefField::TransparencyMode), 2u);
  EXPECT_EQ(PrefFieldValue(PrefField::TransparencyColour), 0x112233u);
  EXPECT_EQ(PrefFieldValue(PrefField::PreviewBackgroundChosen), 1u);
  EXPECT_EQ(PrefFieldValue(PrefField::PreviewBackgroundColour), 0xC0C0C0u);
  EXPECT_TRUE(PrefOn(Pref::ReduceDither));
  EXPECT_EQ(PrefFieldValue(PrefField::ReduceCount), 64u);
  EXPECT_TRUE(PrefOn(Pref::PaletteMergeAsk));
  EXPECT_TRUE(PrefOn(Pref::PaletteMergeDither));
  EXPECT_EQ(PrefFieldValue(PrefField::PaletteMergeColours), 7u);
  EXPECT_EQ(PrefFieldValue(PrefField::PaletteMergeTrueColours), 7u);
  EXPECT_TRUE(PrefOn(Pref::OversizeInsertAsk));
  EXPECT_TRUE(PrefOn(Pref::FrameTipsOn));
  EXPECT_TRUE(PrefOn(Pref::FrameTipBitCount));
  EXPECT_FALSE(PrefOn(Pref::FrameTipOffset));
  EXPECT_EQ(PrefFieldValue(PrefField::SaveType), 3u);
  EXPECT_EQ(PrefFieldValue(PrefField::JpegStep), 8u);
  EXPECT_EQ(PrefFieldValue(PrefField::SaveOptionBits), 5u);
  EXPECT_EQ(JpegQuality(), 85);

  ASSERT_TRUE(SetPrefOn(Pref::KeepTrueColor, true));  // already on: the words are rewritten as read
  std::ifstream in(file, std::ios::binary);
  std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, text);
}

// Setting a bit or a field leaves the rest of its word alone; a value too wide for its field
// does not spill into the next one.
TEST_F(PreferencesTest, BitsAndFieldsChangeOnlyThemselves) {
  LoadPreferences();
  ASSERT_TRUE(SetPref(PrefSaveOptions, 0x00050803));
  ASSERT_TRUE(SetPrefField(PrefField::JpegStep, 10));
  EXPECT_EQ(GetPref(PrefSaveOptions), 0x00050A03u);
  ASSERT_TRUE(SetPrefField(PrefField::SaveOptionBits, 0x12345));
  EXPECT_EQ(GetPref(PrefSaveOptions), 0x23450A03u);

  ASSERT_TRUE(SetPref(PrefFlags, 0xFFFFFFFF));
  ASSERT_TRUE(SetPrefField(PrefField::StripOrientation, 2));
  EXPECT_EQ(GetPref(PrefFlags), 0xFFFFFFEFu);
  ASSERT_TRUE(SetPrefOn(Pref::PsdFullCanvas, false));
  EXPECT_EQ(GetPref(PrefFlags), 0x7FFFFFEFu);
  EXPECT_EQ(GetPref(PrefFlags2), 0u) << "a bit lands in its own word";
  ASSERT_TRUE(SetPrefOn(Pref::FirstStartDone, true));
  EXPECT_EQ(GetPref(PrefFlags2), 0x40u);

  EXPECT_EQ(WithField(0, PrefField::TransparencyMode, 2), 0x02000000u);
  EXPECT_EQ(FieldIn(0xAB123456, PrefField::TransparencyMode), 0xABu);
  EXPECT_EQ(WithField(0, PrefField::StripOrientation, 7), 0x30u);
}


// Stores two words, writes one bit before anything read the store, and reads the store back: 0
// when the two words were kept.
int WriteOneBitBeforeReading() {
  SettingsKey key;
  const std::vector<uint8_t> pref = {7, 0, 0, 0, 3, 0, 0, 0};  // delay 7, 3 loops
  if (CreateSettingsKey(ProgramKeyPath, &key) != SettingsStatus::Ok ||
      SetSettingsValue(key, "Pref", RegBinary, pref.data(), pref.size()) != SettingsStatus::Ok ||
      SetSettingsDword(key, "NPref", 2) != SettingsStatus::Ok)
    return 2;
  ResetSettingsStore();
  SetPrefOn(Pref::AllowInterlace, true);
  ResetSettingsStore();
  LoadPreferences();
  bool kept = GetPref(PrefDefaultDelay) == 7 && GetPref(PrefDefaultLoopCount) == 3 &&
              PrefOn(Pref::AllowInterlace);
  return kept ? 0 : 1;
}

// In a fresh process: a write before the first read once stored zeros over the user's settings.
TEST(PreferencesFirstWrite, KeepsTheStoredWords) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // re-runs the program: nothing read yet
  EXPECT_EXIT(std::_Exit(WriteOneBitBeforeReading()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lw
