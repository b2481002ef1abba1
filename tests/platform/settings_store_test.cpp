#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <tuple>

#include "support/temp_dir.h"

namespace lw {
namespace {

namespace fs = std::filesystem;
using test::Contents;

constexpr char KeyPath[] = "Software\\brumelle\\Loopwright\\2.0";
constexpr char Header[] = "Windows Registry Editor Version 5.00\n";

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder_);
    ResetSettingsStore();
  }
  void TearDown() override { ResetSettingsStore(); }
  void Write(const std::string& text) const {
    fs::create_directories(folder_);
    std::ofstream(file_, std::ios::binary) << text;
  }
  static SettingsKey MakeKey(const char* path = KeyPath) {
    SettingsKey key;
    EXPECT_EQ(CreateSettingsKey(path, &key), SettingsStatus::Ok) << path;
    return key;
  }
  static std::vector<uint8_t> Query(const SettingsKey& key, const char* name,
                                    uint32_t* type = nullptr) {
    std::vector<uint8_t> data;
    EXPECT_EQ(QuerySettingsValue(key, name, type, &data), SettingsStatus::Ok) << name;
    return data;
  }
  const std::string folder_ = std::string(std::getenv("XDG_CONFIG_HOME")) + "/loopwright";
  const std::string file_ = folder_ + "/settings.reg";
};

// Values are written in the export form other programs read and come back as they were set;
// names compare without regard to case and keep their first spelling.
TEST_F(SettingsStoreTest, ValuesSurviveTheFile) {
  SettingsKey key = MakeKey(), other;
  const std::string sig = "C:\\dir\\\"quoted\" Réalisé";
  std::vector<uint8_t> binary(200);
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<uint8_t>(i * 7);
  EXPECT_EQ(SetSettingsString(key, "Sig", sig), SettingsStatus::Ok);
  SetSettingsValue(key, "Pref", RegBinary, binary.data(), binary.size());
  SetSettingsString(key, "", "a\nb");  // no quoted form
  SetSettingsDword(key, "NPref", 10);
  ASSERT_EQ(OpenSettingsKey("SOFTWARE\\Brumelle\\loopwright\\2.0", &other), SettingsStatus::Ok);
  SetSettingsDword(other, "NPREF", 19);
  const std::string text = Contents(file_);
  EXPECT_EQ(text.rfind(Header, 0), 0u);
  for (const char* line : {"\n[HKEY_CURRENT_USER\\Software\\brumelle\\Loopwright\\2.0]\n",
                           "\n\"NPref\"=dword:00000013\n", "\n\"Pref\"=hex:00,07,0e,15,",
                           "\n\"Sig\"=\"C:\\\\dir\\\\\\\"quoted\\\" Réalisé\"\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;

  ResetSettingsStore();
  ASSERT_EQ(OpenSettingsKey(KeyPath, &key), SettingsStatus::Ok);
  const std::tuple<const char*, uint32_t, std::vector<uint8_t>> values[] = {
      {"pref", RegBinary, binary},
      {"NPref", RegDword, {19, 0, 0, 0}},
      {"Sig", RegSz, std::vector<uint8_t>(sig.c_str(), sig.c_str() + sig.size() + 1)},
      {"", RegSz, {'a', '\n', 'b', 0}}};
  for (const auto& [name, type, data] : values) {
    uint32_t stored = 0;
    EXPECT_EQ(Query(key, name, &stored), data) << name;
    EXPECT_EQ(stored, type) << name;
  }
}

TEST_F(SettingsStoreTest, KeysValuesAndBadNames) {
  SettingsKey key;
  EXPECT_EQ(OpenSettingsKey(KeyPath, &key), SettingsStatus::NotFound);
  EXPECT_FALSE(fs::exists(file_)) << "reading must not write";
  key = MakeKey();
  EXPECT_EQ(QuerySettingsValue(key, "Pref", nullptr, nullptr), SettingsStatus::NotFound);
  EXPECT_EQ(DeleteSettingsValue(key, "Pref"), SettingsStatus::NotFound);
  for (const char* bad : {"Software\\\\x", "", "Software\\a\nb"})
    EXPECT_EQ(CreateSettingsKey(bad, &key), SettingsStatus::BadName) << bad;

  // Deleting a key takes its subkeys, not the keys that merely start with its name.
  for (const char* path : {"A\\B\\C", "A\\B C", "A\\BC", "A\\B\\D\\E"}) MakeKey(path);
  key = MakeKey("A\\B");
  ASSERT_EQ(DeleteSettingsKey("a\\b"), SettingsStatus::Ok);
  EXPECT_EQ(SetSettingsDword(key, "v", 1), SettingsStatus::NotFound);
  ResetSettingsStore();
  for (const char* gone : {"A\\B", "A\\B\\C", "A\\B\\D\\E"}) EXPECT_FALSE(SettingsKeyExists(gone));
  for (const char* kept : {"A\\B C", "A\\BC", "A"}) EXPECT_TRUE(SettingsKeyExists(kept));
}

TEST_F(SettingsStoreTest, ReadsExportsWrittenByHand) {
  Write(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; written by hand\r\n"
      "[HKEY_CURRENT_USER\\Software\\brumelle\\Loopwright\\2.0]\r\n"
      "\"Pref\"=hex:0A,00,00,00,\\\r\n  20,00,00,00\r\n"
      "\"NPref\" = dword:13\r\n\"Gone\"=\"x\"\r\n\"Gone\"=-\r\n\"Text\"=hex(1):41,00\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Old]\r\n");
  SettingsKey key;
  ASSERT_EQ(OpenSettingsKey(KeyPath, &key), SettingsStatus::Ok);
  EXPECT_EQ(Query(key, "Pref"), (std::vector<uint8_t>{10, 0, 0, 0, 32, 0, 0, 0}));
  EXPECT_EQ(Query(key, "NPref"), (std::vector<uint8_t>{19, 0, 0, 0}));
  EXPECT_EQ(QuerySettingsValue(key, "Gone", nullptr, nullptr), SettingsStatus::NotFound);
  EXPECT_EQ(Query(key, "Text"), (std::vector<uint8_t>{'A', 0}));
}

// A damaged file is set aside, told once, never half read and never written over; the next
// damaged file gets a name of its own.
TEST_F(SettingsStoreTest, DamageOfEveryKindIsSetAside) {
  const std::string x = std::string(Header) + "[HKEY_CURRENT_USER\\X]\n";
  const std::string bad[] = {
      "not a registry file\n",
      std::string(Header) + "\"a\"=dword:1\n",  // no key yet
      std::string(Header) + "[HKEY_LOCAL_MACHINE\\X]\n",
      std::string(Header) + "[HKEY_CURRENT_USER\\X\n",
      std::string(Header) + "[HKEY_CURRENT_USER\\X\\\\Y]\n",
      x + "\"a=\"b\"\n",
      x + "\"a\"=\"b\\q\"\n",
      x + "\"a\"=hex:100\n",
      x + "\"a\"=hex:01,\\\n",  // cut short
      x + "\"a\"=dword:123456789\n",
      x + "\"a\"=dword:zz\n",
      x + "\"a\"=hex(zz):00\n",
  };
  std::set<std::string> asides;
  for (const std::string& text : bad) {
    Write(text);
    ResetSettingsStore();
    EXPECT_FALSE(SettingsKeyExists("X")) << "defaults, not half a file: " << text;
    std::string file, aside;
    ASSERT_TRUE(TakeSettingsDamage(&file, &aside)) << text;
    EXPECT_FALSE(TakeSettingsDamage(nullptr, nullptr)) << "told once";
    EXPECT_TRUE(Contents(aside) == text && !fs::exists(file_) && asides.insert(aside).second);
  }
  MakeKey();
  ResetSettingsStore();
  EXPECT_TRUE(SettingsKeyExists(KeyPath));
}

// A crash half way through a write keeps the old file; a change of another instance is kept
// by the next write; a batch writes once at its end; a file that cannot be read is left alone.
TEST_F(SettingsStoreTest, WritesKeepWhatIsThere) {
  SettingsKey key = MakeKey();
  ASSERT_EQ(SetSettingsDword(key, "NPref", 1), SettingsStatus::Ok);
  const std::string before = Contents(file_);
  SetSettingsCrashBeforeRename(true);
  EXPECT_EQ(SetSettingsDword(key, "NPref", 2), SettingsStatus::WriteFailed);
  EXPECT_EQ(Query(key, "NPref")[0], 2) << "kept in memory";
  EXPECT_EQ(Contents(file_), before);
  ResetSettingsStore();  // the next start, with the half-written temporary beside the file
  EXPECT_EQ(Query(key, "NPref")[0], 1);
  EXPECT_FALSE(TakeSettingsDamage(nullptr, nullptr));

  Write(Contents(file_) + "\"theirs\"=dword:00000002\n");
  EXPECT_EQ(Query(key, "theirs")[0], 2);
  {
    SettingsBatch batch;
    SetSettingsDword(key, "mine", 3);
    EXPECT_EQ(Contents(file_).find("mine"), std::string::npos) << "not before the end";
  }
  EXPECT_NE(Contents(file_).find("\"theirs\"=dword:00000002\n\"mine\"=dword:00000003"),
            std::string::npos);

  fs::remove_all(folder_);
  fs::create_directories(file_);  // exists, but cannot be read as a file
  ResetSettingsStore();
  EXPECT_EQ(CreateSettingsKey(KeyPath, &key), SettingsStatus::WriteFailed);
  EXPECT_EQ(SetSettingsDword(key, "a", 1), SettingsStatus::WriteFailed);
  EXPECT_TRUE(Query(key, "a")[0] == 1 && fs::is_directory(file_));
  EXPECT_FALSE(TakeSettingsDamage(nullptr, nullptr));
}

}  // namespace
}  // namespace lw
