// Damaged and oversized PNG files are refused with their messages; every depth and colour type is
// checked against ImageMagick in still_magick_test.cpp.
#include <gmock/gmock.h>

#include "core/picture_budget.h"
#include "flow_fixture.h"
#include "formats/common/png_codec.h"

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
  const std::string damaged =
      "Erreur lors de la lecture des données PNG. Le fichier semble corrompu.";
  const struct {
    std::string bytes;
    uint64_t budget;  // 0: the default
    std::string message;
  } cases[] = {
      {"GIF89a and more bytes", 0, damaged},
      {good.substr(0, 8), 0, damaged},
      {good.substr(0, 20), 0, damaged},
      {good.substr(0, good.size() / 2), 0, damaged},
      {badCrc, 0, damaged},
      {huge, 0, damaged},
      // Past the budget: said before decoding.
      {good, 4096, "Mémoire insuffisante pour construire une image de cadre."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    Headless().Reset();
    Put(Path("bad.png"), c.bytes);
    SetPictureBudgetBytes(c.budget);
    AnimationPtr a;
    EXPECT_EQ(ReadPng(Path("bad.png"), {}, &a), 0);
    SetPictureBudgetBytes(0);
    EXPECT_EQ(a, nullptr);
    EXPECT_THAT(ShownTexts(), ::testing::ElementsAre(c.message));
  }
}

// Decoded ahead on helper threads or not, each file reads the same with the same message, in
// whatever order the reader asks: one skipped and asked late, one asked twice, one off the list.
TEST_F(PngTest, ReadingAheadReadsWhatReadingReads) {
  AnimationPtr doc = MakeDocument(13, 5);
  std::vector<uint32_t> colours(13 * 5);
  for (size_t i = 0; i < colours.size(); ++i) colours[i] = static_cast<uint32_t>(i * 0x10305);
  Frame* rgb = TrueColourFrame(13, 5, colours);
  Frame* rgba = TrueColourFrame(13, 5, colours, std::vector<uint8_t>(13 * 5, 0x80));
  Append(*doc, rgb);
  Append(*doc, rgba);
  ASSERT_TRUE(WritePng(Path("0.png"), rgb) && WritePng(Path("1.png"), rgba) &&
              WritePng(Path("2.png"), AddSolidFrame(*doc, 0, 0, 13, 5, 3)));
  std::string damaged = Contents(Path("0.png"));
  damaged[damaged.size() / 2] ^= 1;
  Put(Path("3.png"), damaged);
  Put(Path("4.png"), Contents(Path("1.png")));
  std::vector<std::string> paths;
  for (int i = 0; i < 4; ++i) paths.push_back(Path(std::to_string(i) + ".png"));
  auto read = [&](const std::string& path) {
    Headless().Reset();
    AnimationPtr a;
    const int status = ReadPng(path, {}, &a);
    return std::make_tuple(status, std::move(a), ShownTexts());
  };
  // One helper (two cores), where the reader decodes beside it, and three.
  for (int threads : {2, 4})
    for (int order : {0, 1}) {
      SCOPED_TRACE(::testing::Message() << threads << " threads, order " << order);
      SetGifEncoderThreads(threads);
      PngReadAhead ahead(paths, {});
      for (int i : order ? std::vector<int>{0, 2, 2, 4, 3, 1} : std::vector<int>{0, 1, 2, 3}) {
        const std::string path = Path(std::to_string(i) + ".png");
        auto [status, animation, texts] = read(path);
        auto [plainStatus, plain, plainTexts] = read(path);
        EXPECT_EQ(std::tie(status, texts), std::tie(plainStatus, plainTexts)) << i;
        ASSERT_EQ(animation == nullptr, plain == nullptr) << i;
        if (plain) {
          EXPECT_TRUE(SameAnimation(*animation, *plain)) << i;
        }
      }
    }
  SetGifEncoderThreads(0);
}

// A frame of 24-bit data made transparent without an alpha plane shows its transparent pixels
// clear: the PNG holds them clear, and every other pixel with its 24-bit colour.
TEST_F(PngTest, TransparentFramesOfTrueColourKeepTheirClearPixels) {
  AnimationPtr doc = MakeDocument(9, 7);
  std::vector<uint8_t> indexes(9 * 7);
  for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = static_cast<uint8_t>(i * 5 % 7);
  Frame* f = AddFrame(*doc, 0, 0, 9, 7, indexes);
  std::vector<uint8_t> rgb(RgbStride(9) * 7);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37 + 11);
  SetRgbPlane(f, rgb);
  SetTransparentIndex(f, 3);
  SetTransparency(f, true);
  ASSERT_TRUE(WritePng(Path("clear.png"), f));
  AnimationPtr read;
  ASSERT_EQ(ReadPng(Path("clear.png"), {}, &read), 1);
  const Frame* back = FirstFrame(*read);
  ASSERT_EQ(back->alphaPlane.size(), IndexStride(9) * 7);
  for (uint32_t y = 0; y < 7; ++y)
    for (uint32_t x = 0; x < 9; ++x) {
      SCOPED_TRACE(::testing::Message() << x << "," << y);
      const bool clear = indexes[y * 9 + x] == 3;
      EXPECT_EQ(back->alphaPlane[y * IndexStride(9) + x], clear ? 0 : 255);
      if (clear) continue;
      for (int c = 0; c < 3; ++c)
        EXPECT_EQ(back->rgbPlane[y * RgbStride(9) + 3 * x + c], rgb[y * RgbStride(9) + 3 * x + c]);
    }
}

}  // namespace
}  // namespace lw::test
