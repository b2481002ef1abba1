#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/files.h"

namespace lw {
namespace {

namespace fs = std::filesystem;

constexpr char KeyPath[] = "Software\\brumelle\\Loopwright\\2.0";

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::string(std::getenv("XDG_CONFIG_HOME")) + "/loopwright";
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    ResetSettingsStore();
  }
  void TearDown() override { ResetSettingsStore(); }

  std::string File() const { return folder_ + "/settings.reg"; }
  std::string ReadFileText() const {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(File(), 1 << 20, &text));
    return text;
  }
  void WriteFileText(const std::string& text) const {
    fs::create_directories(folder_);
    std::ofstream(File(), std::ios::binary) << text;
  }
  std::vector<std::string> FolderNames() const {
    std::vector<FolderEntry> entries;
    ListFolder(folder_, "*", &entries);
    std::vector<std::string> names;
    for (auto& e : entries) names.push_back(e.name);
    return names;
  }
  static SettingsKey MakeKey(const char* path = KeyPath) {
    SettingsKey key;
    EXPECT_EQ(CreateSettingsKey(path, &key), SettingsStatus::Ok);
    return key;
  }
  static std::vector<uint8_t> Query(const SettingsKey& key, const char* name,
                                    uint32_t* type = nullptr) {
    std::vector<uint8_t> data;
    EXPECT_EQ(QuerySettingsValue(key, name, type, &data), SettingsStatus::Ok) << name;
    return data;
  }

  std::string folder_;
};

TEST_F(SettingsStoreTest, ValuesSurviveTheFile) {
  EXPECT_EQ(SettingsFilePath(), File());
  SettingsKey key = MakeKey();
  std::vector<uint8_t> binary(200);
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<uint8_t>(i * 7);
  const std::string tricky = "C:\\dir\\\"quoted\" Réalisé";
  ASSERT_EQ(SetSettingsString(key, "Sig", tricky), SettingsStatus::Ok);
  ASSERT_EQ(SetSettingsDword(key, "NPref", 10), SettingsStatus::Ok);
  ASSERT_EQ(SetSettingsValue(key, "Pref", RegBinary, binary.data(), binary.size()),
            SettingsStatus::Ok);
  ASSERT_EQ(SetSettingsValue(key, "Empty", RegBinary, nullptr, 0), SettingsStatus::Ok);
  ASSERT_EQ(SetSettingsString(key, "", "default"), SettingsStatus::Ok);
  ASSERT_EQ(SetSettingsString(key, "Two lines", "a\nb"), SettingsStatus::Ok);
  const uint8_t odd[] = {1, 2, 3};
  ASSERT_EQ(SetSettingsValue(key, "Odd", 7, odd, sizeof odd), SettingsStatus::Ok);

  std::string text = ReadFileText();
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
  EXPECT_NE(text.find("\n[HKEY_CURRENT_USER\\Software]\n"), std::string::npos);
  EXPECT_NE(text.find("\n[HKEY_CURRENT_USER\\Software\\brumelle\\Loopwright\\2.0]\n"),
            std::string::npos);
  EXPECT_NE(text.find("\"NPref\"=dword:0000000a\n"), std::string::npos);
  EXPECT_NE(text.find("\"Sig\"=\"C:\\\\dir\\\\\\\"quoted\\\" Réalisé\"\n"), std::string::npos);
  EXPECT_NE(text.find("\"Pref\"=hex:00,07,0e,15,"), std::string::npos);
  EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos);

  ResetSettingsStore();
  SettingsKey again;
  ASSERT_EQ(OpenSettingsKey(KeyPath, &again), SettingsStatus::Ok);
  uint32_t type = 0;
  EXPECT_EQ(Query(again, "Pref", &type), binary);
  EXPECT_EQ(type, RegBinary);
  EXPECT_EQ(Query(again, "NPref", &type), (std::vector<uint8_t>{10, 0, 0, 0}));
  EXPECT_EQ(type, RegDword);
  std::string s;
  EXPECT_EQ(QuerySettingsString(again, "Sig", &s), SettingsStatus::Ok);
  EXPECT_EQ(s, tricky);
  EXPECT_EQ(Query(again, "Sig", &type).size(), tricky.size() + 1);
  EXPECT_EQ(type, RegSz);
  EXPECT_TRUE(Query(again, "Empty").empty());
  EXPECT_EQ(QuerySettingsString(again, "", &s), SettingsStatus::Ok);
  EXPECT_EQ(s, "default");
  EXPECT_EQ(QuerySettingsString(again, "Two lines", &s), SettingsStatus::Ok);
  EXPECT_EQ(s, "a\nb");
  EXPECT_EQ(Query(again, "Odd", &type), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(type, 7u);
}

TEST_F(SettingsStoreTest, NamesIgnoreCase) {
  SettingsKey key = MakeKey();
  ASSERT_EQ(SetSettingsDword(key, "Pref", 1), SettingsStatus::Ok);
  SettingsKey other;
  ASSERT_EQ(OpenSettingsKey("SOFTWARE\\Brumelle\\loopwright\\2.0", &other), SettingsStatus::Ok);
  ASSERT_EQ(SetSettingsDword(other, "PREF", 2), SettingsStatus::Ok);
  EXPECT_EQ(Query(key, "pref"), (std::vector<uint8_t>{2, 0, 0, 0}));
  ResetSettingsStore();
  std::string text = ReadFileText();
  EXPECT_EQ(text.find("PREF"), std::string::npos);  // the first spelling stays
  EXPECT_NE(text.find("\"Pref\"=dword:00000002"), std::string::npos);
}

TEST_F(SettingsStoreTest, MissingKeysValuesAndBadNames) {
  SettingsKey key;
  EXPECT_EQ(OpenSettingsKey(KeyPath, &key), SettingsStatus::NotFound);
  EXPECT_FALSE(SettingsKeyExists(KeyPath));
  EXPECT_FALSE(fs::exists(File())) << "reading must not write";
  key = MakeKey();
  EXPECT_EQ(QuerySettingsValue(key, "Pref", nullptr, nullptr), SettingsStatus::NotFound);
  EXPECT_EQ(DeleteSettingsValue(key, "Pref"), SettingsStatus::NotFound);
  EXPECT_EQ(CreateSettingsKey("Software\\\\x", &key), SettingsStatus::BadName);
  EXPECT_EQ(CreateSettingsKey("", &key), SettingsStatus::BadName);
  EXPECT_EQ(CreateSettingsKey("Software\\a\nb", &key), SettingsStatus::BadName);
  key = MakeKey();
  EXPECT_EQ(SetSettingsDword(key, "a\nb", 1), SettingsStatus::BadName);
  ASSERT_EQ(DeleteSettingsKey(KeyPath), SettingsStatus::Ok);
  EXPECT_EQ(SetSettingsDword(key, "Pref", 1), SettingsStatus::NotFound);
  EXPECT_TRUE(SettingsKeyExists("Software\\brumelle\\Loopwright"));
}

TEST_F(SettingsStoreTest, DeletingAKeyTakesItsSubkeysOnly) {
  for (const char* path : {"A\\B\\C", "A\\B C", "A\\BC", "A\\B\\D\\E"}) MakeKey(path);
  SettingsKey key = MakeKey("A\\B");
  SetSettingsDword(key, "v", 1);
  ASSERT_EQ(DeleteSettingsKey("a\\b"), SettingsStatus::Ok);
  ResetSettingsStore();
  EXPECT_FALSE(SettingsKeyExists("A\\B"));
  EXPECT_FALSE(SettingsKeyExists("A\\B\\C"));
  EXPECT_FALSE(SettingsKeyExists("A\\B\\D\\E"));
  EXPECT_TRUE(SettingsKeyExists("A\\B C"));
  EXPECT_TRUE(SettingsKeyExists("A\\BC"));
  EXPECT_TRUE(SettingsKeyExists("A"));
  EXPECT_EQ(DeleteSettingsKey("A\\B"), SettingsStatus::NotFound);
}

TEST_F(SettingsStoreTest, ReadsExportsWrittenByHand) {
  WriteFileText(
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; written by hand\r\n"
      "[HKEY_CURRENT_USER\\Software\\brumelle\\Loopwright\\2.0]\r\n"
      "\"Pref\"=hex:0A,00,00,00,\\\r\n"
      "  20,00,00,00\r\n"
      "\"NPref\" = dword:13\r\n"
      "\"Gone\"=\"x\"\r\n"
      "\"Gone\"=-\r\n"
      "\"Text\"=hex(1):41,00\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Old]\r\n");
  SettingsKey key;
  ASSERT_EQ(OpenSettingsKey(KeyPath, &key), SettingsStatus::Ok);
  EXPECT_EQ(Query(key, "Pref"), (std::vector<uint8_t>{10, 0, 0, 0, 32, 0, 0, 0}));
  EXPECT_EQ(Query(key, "NPref"), (std::vector<uint8_t>{19, 0, 0, 0}));
  EXPECT_EQ(QuerySettingsValue(key, "Gone", nullptr, nullptr), SettingsStatus::NotFound);
  std::string s;
  EXPECT_EQ(QuerySettingsString(key, "Text", &s), SettingsStatus::Ok);
  EXPECT_EQ(s, "A");
  EXPECT_FALSE(TakeSettingsDamage(nullptr, nullptr));
}

TEST_F(SettingsStoreTest, CrashDuringWriteKeepsTheOldFile) {
  SettingsKey key = MakeKey();
  ASSERT_EQ(SetSettingsDword(key, "NPref", 1), SettingsStatus::Ok);
  std::string before = ReadFileText();
  SetSettingsCrashBeforeRename(true);
  EXPECT_EQ(SetSettingsDword(key, "NPref", 2), SettingsStatus::WriteFailed);
  EXPECT_EQ(Query(key, "NPref")[0], 2) << "kept in memory";
  EXPECT_EQ(ReadFileText(), before);
  EXPECT_EQ(FolderNames().size(), 2u) << "the half-written temporary stays, as after a crash";

  ResetSettingsStore();  // the next start
  ASSERT_EQ(OpenSettingsKey(KeyPath, &key), SettingsStatus::Ok);
  EXPECT_EQ(Query(key, "NPref")[0], 1);
  EXPECT_FALSE(TakeSettingsDamage(nullptr, nullptr));
  ASSERT_EQ(SetSettingsDword(key, "NPref", 3), SettingsStatus::Ok);
  ResetSettingsStore();
  ASSERT_EQ(OpenSettingsKey(KeyPath, &key), SettingsStatus::Ok);
  EXPECT_EQ(Query(key, "NPref")[0], 3);
}

TEST_F(SettingsStoreTest, WritesOfAnotherInstanceAreKept) {
  SettingsKey key = MakeKey();
  ASSERT_EQ(SetSettingsDword(key, "mine", 1), SettingsStatus::Ok);
  // Another instance of the program adds a value of its own.
  std::string text = ReadFileText();
  WriteFileText(text + "\"theirs\"=dword:00000002\n");
  EXPECT_EQ(Query(key, "theirs")[0], 2);
  ASSERT_EQ(SetSettingsDword(key, "mine", 3), SettingsStatus::Ok);
  text = ReadFileText();
  EXPECT_NE(text.find("\"theirs\"=dword:00000002"), std::string::npos);
  EXPECT_NE(text.find("\"mine\"=dword:00000003"), std::string::npos);
}

TEST_F(SettingsStoreTest, BatchWritesOnceAtTheEnd) {
  SettingsKey key = MakeKey();
  {
    SettingsBatch batch;
    SetSettingsDword(key, "a", 1);
    SetSettingsDword(key, "b", 2);
    EXPECT_EQ(ReadFileText().find("\"a\""), std::string::npos);
  }
  std::string text = ReadFileText();
  EXPECT_NE(text.find("\"a\"=dword:00000001"), std::string::npos);
  EXPECT_NE(text.find("\"b\"=dword:00000002"), std::string::npos);
}

TEST_F(SettingsStoreTest, DamagedFileIsSetAsideOnceAndNeverOverwritten) {
  const std::string garbage =
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=dword:zz\n";
  std::vector<std::string> asides;
  for (int round = 0; round < 2; ++round) {
    WriteFileText(garbage + std::to_string(round));
    ResetSettingsStore();
    EXPECT_FALSE(SettingsKeyExists("X")) << "defaults, not half a file";
    std::string file, aside;
    ASSERT_TRUE(TakeSettingsDamage(&file, &aside));
    EXPECT_FALSE(TakeSettingsDamage(nullptr, nullptr)) << "told once";
    EXPECT_EQ(file, File());
    EXPECT_EQ(aside.rfind(File() + ".damaged-", 0), 0u) << aside;
    std::string kept;
    EXPECT_TRUE(ReadWholeFile(aside, 1 << 20, &kept));
    EXPECT_EQ(kept, garbage + std::to_string(round));
    asides.push_back(aside);
  }
  EXPECT_NE(asides[0], asides[1]);
  MakeKey();
  ResetSettingsStore();
  EXPECT_TRUE(SettingsKeyExists(KeyPath));
  EXPECT_FALSE(TakeSettingsDamage(nullptr, nullptr));
}

TEST_F(SettingsStoreTest, DamageOfEveryKind) {
  const char* bad[] = {
      "not a registry file\n",
      "Windows Registry Editor Version 5.00\n\"a\"=dword:1\n",                      // no key yet
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\X]\n",            // not ours
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X\n",              // open bracket
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a=\"b\"\n",  // open quote
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=\"b\\q\"\n",  // bad
                                                                                         // escape
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=hex:100\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=hex:01,\\\n",  // cut
                                                                                          // short
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=dword:123456789\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X]\n\"a\"=hex(zz):00\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\X\\\\Y]\n",
  };
  for (const char* text : bad) {
    WriteFileText(text);
    ResetSettingsStore();
    EXPECT_TRUE(TakeSettingsDamage(nullptr, nullptr)) << text;
    EXPECT_FALSE(fs::exists(File()));
  }
}

TEST_F(SettingsStoreTest, UnreadableFileIsLeftAlone) {
  fs::create_directories(File());  // something that exists but cannot be read as a file
  SettingsKey key;
  EXPECT_EQ(CreateSettingsKey(KeyPath, &key), SettingsStatus::WriteFailed);
  EXPECT_EQ(SetSettingsDword(key, "a", 1), SettingsStatus::WriteFailed);
  EXPECT_EQ(Query(key, "a")[0], 1);
  EXPECT_TRUE(fs::is_directory(File()));
  EXPECT_FALSE(TakeSettingsDamage(nullptr, nullptr));
}

}  // namespace
}  // namespace lw
