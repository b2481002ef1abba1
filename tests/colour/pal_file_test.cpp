// RIFF PAL files: written and read back, and the files the reader refuses or trims.
#include "colour/pal_file.h"

#include <gtest/gtest.h>

#include <random>

#include "support/bytes.h"
#include "support/services.h"
#include "support/temp_dir.h"

namespace lw {
namespace {

using namespace test;

Bytes Header(uint32_t count, const char* form = "PAL ", uint32_t version = 0x300) {
  Bytes b;
  b.Text("RIFF").Le32(16).Text(form).Text("data").Le32(4).Le16(version).Le16(count);
  return b;
}

TEST(PalFileTest, RandomPalettesRoundTripInTheRiffLayout) {
  ServicesScope scope;
  TempDir dir;
  std::mt19937 rng(4);
  for (int round = 0; round < 20; ++round) {
    Palette palette;
    const int n = round == 0 ? 256 : 1 + static_cast<int>(rng() % 256);
    for (int i = 0; i < n; ++i)
      palette.entries.push_back(
          {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng() % 3)});
    const std::string path = dir.Path("a.pal");
    ASSERT_TRUE(WritePalFile(path, palette));
    const std::string file = Contents(path);
    ASSERT_EQ(file.size(), 24u + 4 * n);
    EXPECT_EQ(file.substr(0, 24),
              Header(n).PatchLe32(4, 16 + 4 * n).PatchLe32(16, 4 + 4 * n).str());
    PalettePtr back = ReadPalFile(path);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->entries, palette.entries);
  }
  EXPECT_TRUE(scope.services.Messages().empty());
}

TEST(PalFileTest, ReadsAtMost256AndRefusesOtherFiles) {
  ServicesScope scope;
  TempDir dir;
  PalettePtr big = ReadPalFile(dir.Put("big.pal", Header(300).Fill(300 * 4, 7).str()));
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->Count(), 256);
  EXPECT_EQ(big->entries[255], (PaletteEntry{7, 7, 7, 7}));

  // Entries past the end of a short file read as black.
  PalettePtr shortOne = ReadPalFile(dir.Put("short.pal", Header(3).U8(1).U8(2).U8(3).str()));
  ASSERT_NE(shortOne, nullptr);
  EXPECT_EQ(shortOne->entries[0], (PaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(shortOne->entries[2], (PaletteEntry{}));

  const std::string damaged =
      "Erreur lors de la lecture des données de palette PAL. Le fichier semble corrompu.";
  const std::string refused[] = {dir.Put("wave.pal", Header(2, "WAVE").Fill(8).str()),
                                 dir.Put("version.pal", Header(2, "PAL ", 0x200).Fill(8).str()),
                                 dir.Put("none.pal", Header(0).str())};
  for (const std::string& path : refused) {
    scope.services.Reset();
    EXPECT_EQ(ReadPalFile(path), nullptr) << path;
    EXPECT_EQ(scope.services.Texts(), std::vector<std::string>{damaged}) << path;
  }
  for (const std::string& path : {dir.Put("empty.pal", ""), dir.Path("missing.pal")}) {
    scope.services.Reset();
    EXPECT_EQ(ReadPalFile(path), nullptr) << path;
    EXPECT_EQ(scope.services.Texts(),
              std::vector<std::string>{"Impossible d'ouvrir le fichier '" + path + "'."});
  }
  scope.services.Reset();
  const std::string nowhere = dir.Path("no/such/folder.pal");
  EXPECT_FALSE(WritePalFile(nowhere, *big));
  EXPECT_EQ(scope.services.Texts(), std::vector<std::string>{"Impossible de sauvegarder '" +
                                                             nowhere + "' (fichier temporaire)."});
}

}  // namespace
}  // namespace lw
