// Damaged and oversized PNG files are refused with their messages; every depth and colour type is
// checked against ImageMagick in still_magick_test.cpp.
#include <gmock/gmock.h>

#include "flow_fixture.h"
#include "formats/png/png_format.h"

namespace lw::test {
namespace {

class PngTest : public FlowTest {};

TEST_F(PngTest, DamagedAndOversizedFilesAreRefusedWithTheirMessage) {
  AnimationPtr doc = MakeDocument(64, 64);
  Frame* f = AddSolidFrame(*doc, 0, 0, 64, 64, 1);
  std::vector<uint8_t> rgb(RgbStride(64) * 64);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 ^ i >> 5);
  SetRgbPlane(f, std::move(rgb));
  ASSERT_TRUE(WritePng(Path("good.png"), f));
  const std::string good = Contents(Path("good.png"));
  std::string badCrc = good, huge = good;
  badCrc[20] ^= 1;  // inside IHDR
  huge[16] = 0x7F;  // width far beyond any budget, with a checksum that no longer matches
  const std::string damaged = "Erreur lors de la lecture des données PNG. Le fichier semble corrompu.";
  const struct {
    std::string bytes;
    uint64_t budget;  // 0: the default
    std::string message;
  } cases[] = {
      {"GIF89a and more bytes", 0, damaged}, {good.substr(0, 8), 0, damaged},
      {good.substr(0, 20), 0, damaged},      {good.substr(0, good.size() / 2), 0, damaged},
      {badCrc, 0, damaged},                  {huge, 0, damaged},
      // Past the budget: said before decoding.
      {good, 4096, "Mémoire insuffisante pour construire une image de cadre."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    Headless().Reset();
    Put(Path("bad.png"), c.bytes);
    SetGifFrameByteLimit(c.budget);
    AnimationPtr a;
    EXPECT_EQ(ReadPng(Path("bad.png"), &a), 0);
    SetGifFrameByteLimit(0);
    EXPECT_EQ(a, nullptr);
    EXPECT_THAT(ShownTexts(), ::testing::ElementsAre(c.message));
  }
}

}  // namespace
}  // namespace lw::test
