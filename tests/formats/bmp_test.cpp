// BMP files laid out here byte by byte where ImageMagick writes no such file (RLE4, moves and
// clipped runs, masks in an order of their own, gaps before the pixels), and refused, damaged and
// oversized files and packed DIBs with their messages. Every ordinary depth is checked against
// ImageMagick.
#include <gmock/gmock.h>

#include "flow_fixture.h"
#include "formats/bmp/bmp_format.h"
#include "formats/common/packed_dib.h"
#include "support/bytes.h"

namespace lw::test {
namespace {

// A packed DIB: a header of headerSize bytes (40 or longer, masks after the 40), then the colour
// table of grey quads, then the rows as given.
Bytes Dib(int32_t width, int32_t height, int bits, int colours, const std::vector<uint8_t>& rows,
          uint32_t compression = 0, std::vector<uint32_t> masks = {}, uint32_t headerSize = 40) {
  Bytes b;
  b.Le32(headerSize).Le32(static_cast<uint32_t>(width)).Le32(static_cast<uint32_t>(height));
  b.Le16(1).Le16(static_cast<uint32_t>(bits)).Le32(compression).Fill(12).Le32(colours).Le32(0);
  for (uint32_t m : masks) b.Le32(m);
  b.Fill(headerSize - std::min<size_t>(headerSize, b.size()));
  for (int i = 0; i < colours; ++i) b.U8(i).U8(i).U8(i).U8(0);
  return b.Raw(rows);
}

std::string File(const Bytes& dib, uint32_t offset = 0) {
  return Bytes()
      .Text("BM")
      .Le32(static_cast<uint32_t>(dib.size() + 14))
      .Le32(0)
      .Le32(offset)
      .Raw(dib)
      .str();
}

class BmpTest : public FlowTest {
 protected:
  AnimationPtr Read(const std::string& file) {
    Headless().Reset();
    Put(Path("in.bmp"), file);
    AnimationPtr a;
    const int read = ReadBmp(Path("in.bmp"), {}, &a);
    EXPECT_EQ(read == 1, a != nullptr);
    return a;
  }
};

// What a frame shows, row by row: its indexes, or its blue, green, red (and alpha) bytes.
std::vector<int> Samples(const Frame& f) {
  std::vector<int> v;
  for (uint32_t y = 0; y < f.height; ++y)
    for (uint32_t x = 0; x < f.width; ++x) {
      if (f.rgbPlane.empty()) {
        v.push_back(Pixel(&f, x, y));
        continue;
      }
      v.insert(v.end(), &f.rgbPlane[y * RgbStride(f.width) + 3 * x],
               &f.rgbPlane[y * RgbStride(f.width) + 3 * x + 3]);
      if (!f.alphaPlane.empty()) v.push_back(f.alphaPlane[y * IndexStride(f.width) + x]);
    }
  return v;
}

TEST_F(BmpTest, LayoutsImageMagickDoesNotWrite) {
  // RLE8, 5 x 3, bottom row first: a run, a copied stretch of three (padded), end of line; a
  // move of two right and one up leaves the middle row and the top row's start untouched; a
  // run past the right edge is clipped; the end code.
  const std::vector<uint8_t> rle8 = {2, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 9, 4, 0, 1};
  // RLE4, 5 x 3: a run of alternating nibbles, a copied stretch of three (two bytes, no pad)
  // clipped at the edge, end of line; a stretch of five (three bytes and a pad), end of line;
  // a run of two and the end.
  const std::vector<uint8_t> rle4 = {3,    0x12, 0,    3, 0x34, 0x50, 0, 0,    0, 5,
                                     0x65, 0x43, 0x20, 0, 0,    0,    2, 0x77, 0, 1};
  // A 12-byte header, pixels at the file header's offset after a gap.
  Bytes core;
  core.Le32(12).Le16(2).Le16(1).Le16(1).Le16(8);
  for (int i = 0; i < 256; ++i) core.U8(i).U8(0).U8(255 - i);
  core.Fill(5, 0xEE).Raw({7, 9, 0, 0});
  const struct {
    const char* name;
    std::string file;
    std::vector<int> samples;
  } cases[] = {
      {"RLE8", File(Dib(5, 3, 8, 10, rle8, 1)), {0, 0, 4, 4, 4, 0, 0, 0, 0, 0, 7, 7, 1, 2, 3}},
      {"RLE8 cut short",
       File(Dib(5, 3, 8, 10, {2, 7, 0, 3, 1}, 1)),
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7, 0, 0, 0}},
      {"RLE4", File(Dib(5, 3, 4, 16, rle4, 2)), {7, 7, 0, 0, 0, 6, 5, 4, 3, 2, 1, 2, 1, 3, 4}},
      {"core header, a gap before the pixels", File(core, 14 + 12 + 768 + 5), {7, 9}},
      {"info header: the pixels follow the table, whatever the offset",
       File(Dib(1, 1, 8, 256, {42, 0, 0, 0}), 5000),
       {42}},
      {"V4 masks in an order of their own",
       File(Dib(1, 1, 32, 0, {10, 20, 30, 40}, 3, {0xFF, 0xFF000000, 0xFF00, 0xFF0000}, 108)),
       {20, 40, 10, 30}},
      {"52-byte header, 32-bit fields",
       File(Dib(1, 1, 32, 0, {0, 3, 2, 1}, 3, {0xFF000000, 0xFF0000, 0xFF00}, 52)),
       {3, 2, 1}},
      {"5-6-5 masks before a colour table",
       File(Dib(1, 1, 16, 2, {0xE0, 0x07, 0, 0}, 3, {0xF800, 0x07E0, 0x001F})),
       {0, 255, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AnimationPtr a = Read(c.file);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Samples(*FirstFrame(*a)), c.samples);
    EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
  }
}

TEST_F(BmpTest, RefusedDamagedAndOversizedFilesSayWhy) {
  const std::string unsupported = "Ce type de données d'image n'est pas admis.";
  const std::string sixteen =
      "Le format de cette image couleur de 16 bits n’est actuellement pas pris en charge.";
  const std::string damaged =
      "Erreur lors de la lecture des données BMP. Le fichier semble corrompu.";
  const std::string memory = "Mémoire insuffisante pour lire ce fichier BMP/DIB.";
  const std::string full = File(Dib(4, 4, 24, 0, std::vector<uint8_t>(48, 1)));
  const std::string rle = File(Dib(4, 4, 8, 2, {4, 1, 0, 1}, 1));
  const struct {
    std::string file, message;
  } cases[] = {
      {File(Dib(1, 1, 24, 0, {0, 0, 0, 0}, 0, {}, 64)), unsupported},  // OS/2 version 2
      {File(Dib(1, 1, 2, 4, {0, 0, 0, 0})), unsupported},
      {File(Dib(1, 1, 24, 0, {0, 0, 0, 0}, 4)), unsupported},  // JPEG inside
      {File(Dib(1, 1, 8, 256, {0, 0, 0, 0}, 2)), unsupported},
      {File(Dib(1, 1, 16, 0, {0, 0, 0, 0}, 3, {0, 0, 0})), sixteen},
      {File(Dib(1, 1, 16, 0, {0, 0, 0, 0}, 4)), sixteen},
      {full.substr(0, full.size() - 1), damaged},
      {full.substr(0, 30), damaged},
      {full.substr(0, 16), damaged},
      {rle.substr(0, 14 + 40 + 4), damaged},  // cut in the colour table
      {File(Dib(0, 1, 24, 0, {0, 0, 0, 0})), damaged},
      {File(Dib(1, 1, 8, 256, {0, 0, 0, 0})).replace(14 + 32, 2, "\x88\x13"), damaged},
      // A few bytes declaring a picture past the budget: refused from the header alone.
      {File(Dib(70000, 70000, 24, 0, {0, 0, 0, 0})), memory},
      {File(Dib(70000, -70000, 8, 2, {0, 1}, 1)), memory},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    EXPECT_EQ(Read(c.file), nullptr);
    EXPECT_THAT(ShownTexts(), ::testing::ElementsAre(c.message));
    // The same bytes handed over as a packed DIB (the clipboard, icons) are refused alike.
    if (c.message != damaged || c.file.size() <= 14) continue;
    const std::vector<uint8_t> dib(c.file.begin() + 14, c.file.end());
    DibCheck why = DibCheck::Ok;
    EXPECT_EQ(DibToAnimation(dib.data(), dib.size(), {}, &why), nullptr);
    EXPECT_EQ(why, DibCheck::Damaged);
  }
}

// The still-image option writes the 8-bit pixels even beside 24-bit data.
TEST_F(BmpTest, StillImageOptionWritesTheIndexes) {
  AnimationPtr doc = MakeDocument(3, 2);
  Frame* f = AddFrame(*doc, 0, 0, 3, 2, {0, 1, 2, 3, 4, 5});
  SetRgbPlane(f, std::vector<uint8_t>(RgbStride(3) * 2, 9));
  ASSERT_TRUE(WriteBmp(Path("out.bmp"), f, saveopt::StillImage));
  AnimationPtr back = Read(Contents(Path("out.bmp")));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Samples(*FirstFrame(*back)), (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace lw::test
