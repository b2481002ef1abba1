// RIFF PAL files: written and read back, and the files the reader refuses or trims.
#include "colour/pal_file.h"

#include <gmock/gmock.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "colour/colour_fixtures.h"

namespace lw {
namespace {

using ::testing::ElementsAre;

class PalFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("lw-pal-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::string Contents(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Put(const std::string& path, const std::string& data) const {
    std::ofstream(path, std::ios::binary) << data;
  }
  static std::string Header(uint16_t count, const char* form = "PAL ", uint16_t version = 0x300) {
    std::string h = "RIFF";
    h += std::string("\x10\x00\x00\x00", 4) + form + "data" + std::string("\x04\x00\x00\x00", 4);
    h += static_cast<char>(version & 255);
    h += static_cast<char>(version >> 8);
    h += static_cast<char>(count & 255);
    h += static_cast<char>(count >> 8);
    return h;
  }
  test::ServicesScope scope_;
  std::filesystem::path dir_;
};

TEST_F(PalFileTest, SixteenColoursRoundTripIn88Bytes) {
  Palette palette;
  for (int i = 0; i < 16; ++i)
    palette.entries.push_back({uint8_t(i), uint8_t(2 * i), uint8_t(255 - i), uint8_t(i % 3)});
  ASSERT_TRUE(WritePalFile(Path("a.pal"), palette));
  std::string file = Contents(Path("a.pal"));
  ASSERT_EQ(file.size(), 88u);
  EXPECT_EQ(file.substr(0, 4), "RIFF");
  EXPECT_EQ(static_cast<uint8_t>(file[4]), 80);
  EXPECT_EQ(static_cast<uint8_t>(file[16]), 68);
  PalettePtr back = ReadPalFile(Path("a.pal"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->entries, palette.entries);
  EXPECT_TRUE(scope_.services.messages.empty());
}

TEST_F(PalFileTest, ReadsAtMost256AndRefusesOtherFiles) {
  Put(Path("big.pal"), Header(300) + std::string(300 * 4, '\x07'));
  PalettePtr big = ReadPalFile(Path("big.pal"));
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->Count(), 256);
  EXPECT_EQ(big->entries[255], (PaletteEntry{7, 7, 7, 7}));

  // Entries past the end of a short file read as black.
  Put(Path("short.pal"), Header(3) + "\x01\x02\x03");
  PalettePtr shortOne = ReadPalFile(Path("short.pal"));
  ASSERT_NE(shortOne, nullptr);
  EXPECT_EQ(shortOne->entries[0], (PaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(shortOne->entries[2], (PaletteEntry{}));

  const std::string damaged =
      "Erreur lors de la lecture des données de palette PAL. Le fichier semble corrompu.";
  Put(Path("wave.pal"), Header(2, "WAVE") + std::string(8, '\0'));
  Put(Path("version.pal"), Header(2, "PAL ", 0x200) + std::string(8, '\0'));
  Put(Path("none.pal"), Header(0));
  Put(Path("empty.pal"), "");
  for (const char* name : {"wave.pal", "version.pal", "none.pal"}) {
    scope_.services.messages.clear();
    EXPECT_EQ(ReadPalFile(Path(name)), nullptr) << name;
    EXPECT_THAT(scope_.services.messages, ElementsAre(damaged)) << name;
  }
  for (const char* name : {"empty.pal", "missing.pal"}) {
    scope_.services.messages.clear();
    EXPECT_EQ(ReadPalFile(Path(name)), nullptr) << name;
    EXPECT_THAT(scope_.services.messages,
                ElementsAre("Impossible d'ouvrir le fichier '" + Path(name) + "'."));
  }
  scope_.services.messages.clear();
  EXPECT_FALSE(WritePalFile(Path("no/such/folder.pal"), *big));
  EXPECT_THAT(scope_.services.messages,
              ElementsAre("Impossible de sauvegarder '" + Path("no/such/folder.pal") +
                          "' (fichier temporaire)."));
}

}  // namespace
}  // namespace lw
