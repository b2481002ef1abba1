// Damaged and oversized PNG files are refused with their messages; every depth and colour type is
// checked against ImageMagick.
#include <gmock/gmock.h>

#include "flow_fixture.h"
#include "formats/png/png_format.h"

namespace lw::test {
namespace {

class PngTest : public FlowTest {
 protected:
  // A 64 x 64 true-colour file of noise, as our writer lays it out.
  std::string GoodFile() {
    AnimationPtr doc = MakeDocument(64, 64);
    Frame* f = AddSolidFrame(*doc, 0, 0, 64, 64, 1);
    std::vector<uint8_t> rgb(RgbStride(64) * 64);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 ^ i >> 5);
    SetRgbPlane(f, std::move(rgb));
    EXPECT_TRUE(WritePng(Path("good.png"), f));
    return Contents(Path("good.png"));
  }
};

TEST_F(PngTest, DamagedFilesAreRefusedWithThePngMessage) {
  const std::string bytes = GoodFile();
  std::string badCrc = bytes, huge = bytes;
  badCrc[20] ^= 1;  // inside IHDR
  huge[16] = 0x7F;  // width far beyond any budget, with a checksum that no longer matches
  for (const std::string& data : {std::string("GIF89a and more bytes"), bytes.substr(0, 8),
                                  bytes.substr(0, 20), bytes.substr(0, bytes.size() / 2), badCrc,
                                  huge}) {
    SCOPED_TRACE(data.size());
    Headless().Reset();
    Put(Path("bad.png"), data);
    AnimationPtr a;
    EXPECT_EQ(ReadPng(Path("bad.png"), &a), 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_THAT(
        ShownTexts(),
        ::testing::ElementsAre("Erreur lors de la lecture des données PNG. Le fichier semble corrompu."));
  }
}

TEST_F(PngTest, PicturesPastTheBudgetSaySoBeforeDecoding) {
  Put(Path("big.png"), GoodFile());
  const uint64_t limit = GifFrameByteLimit();
  SetGifFrameByteLimit(4096);
  AnimationPtr a;
  EXPECT_EQ(ReadPng(Path("big.png"), &a), 0);
  SetGifFrameByteLimit(limit);
  EXPECT_EQ(a, nullptr);
  EXPECT_THAT(ShownTexts(),
              ::testing::ElementsAre("Mémoire insuffisante pour construire une image de cadre."));
}

}  // namespace
}  // namespace lw::test
