// BMP files of each depth, header and compression built here byte by byte, read through the
// packed-DIB import; frames written as 8-, 24- and 32-bit files; refused, damaged and oversized
// files with their messages.
#include <gmock/gmock.h>

#include "flow_fixture.h"
#include "formats/bmp/bmp_format.h"
#include "formats/bmp/packed_dib.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

void Le(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(i < 4 ? static_cast<uint8_t>(v >> (8 * i)) : 0);
}

// A packed DIB with a 40-byte header; rows as given (already padded), table as BGRA quads.
Bytes Dib(int32_t width, int32_t height, int bits, const Bytes& table, const Bytes& rows,
          uint32_t compression = 0, uint32_t clrUsed = 0) {
  Bytes b;
  Le(b, 40, 4);
  Le(b, static_cast<uint32_t>(width), 4);
  Le(b, static_cast<uint32_t>(height), 4);
  Le(b, 1, 2);
  Le(b, static_cast<uint32_t>(bits), 2);
  Le(b, compression, 4);
  Le(b, 0, 4 * 3);
  Le(b, clrUsed, 4);
  Le(b, 0, 4);
  b.insert(b.end(), table.begin(), table.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

// A packed DIB with a longer header (52, 56, 108 or 124 bytes) holding the given masks.
Bytes DibV(uint32_t headerSize, int32_t width, int32_t height, int bits, uint32_t compression,
           const std::vector<uint32_t>& masks, const Bytes& table, const Bytes& rows) {
  Bytes b = Dib(width, height, bits, {}, {}, compression, static_cast<uint32_t>(table.size() / 4));
  b[0] = static_cast<uint8_t>(headerSize);
  for (uint32_t m : masks) Le(b, m, 4);
  b.resize(headerSize, 0);
  b.insert(b.end(), table.begin(), table.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

Bytes WithFileHeader(const Bytes& dib, uint32_t offset) {
  Bytes b = {'B', 'M'};
  Le(b, static_cast<uint32_t>(dib.size() + 14), 4);
  Le(b, 0, 4);
  Le(b, offset, 4);
  b.insert(b.end(), dib.begin(), dib.end());
  return b;
}

Bytes GreyTable(int n) {
  Bytes t;
  for (int i = 0; i < n; ++i) t.insert(t.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  return t;
}

std::vector<uint8_t> Indexes(const Frame& f) {
  std::vector<uint8_t> v;
  for (uint32_t y = 0; y < f.height; ++y)
    for (uint32_t x = 0; x < f.width; ++x) v.push_back(Pixel(&f, x, y));
  return v;
}

class BmpTest : public FlowTest {
 protected:
  static Bytes FileBytes(const std::string& path) {
    std::string s = Contents(path);
    return Bytes(s.begin(), s.end());
  }
  AnimationPtr Read(const Bytes& file) {
    Put(Path("in.bmp"), std::string(file.begin(), file.end()));
    AnimationPtr a;
    int result = ReadBmp(Path("in.bmp"), &a);
    EXPECT_EQ(result == 1, a != nullptr);
    return a;
  }
};

TEST_F(BmpTest, IndexedDepthsReadTopDown) {
  struct Case {
    const char* name;
    Bytes dib;
    std::vector<uint8_t> indexes;
    int colours;
  };
  const Case cases[] = {
      // Bottom-up: the first stored row is the bottom one.
      {"8-bit 3 x 2",
       Dib(3, 2, 8, GreyTable(256), {4, 5, 6, 0, 1, 2, 3, 0}),
       {1, 2, 3, 4, 5, 6},
       256},
      {"8-bit top-down",
       Dib(3, -2, 8, GreyTable(256), {1, 2, 3, 0, 4, 5, 6, 0}),
       {1, 2, 3, 4, 5, 6},
       256},
      {"4-bit, 3 colours used", Dib(3, 1, 4, GreyTable(3), {0x12, 0x70, 0, 0}, 0, 3), {1, 2, 0}, 3},
      {"1-bit", Dib(9, 1, 1, GreyTable(2), {0xA5, 0x80, 0, 0}), {1, 0, 1, 0, 0, 1, 0, 1, 1}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnimationPtr a = Read(WithFileHeader(c.dib, 0));
    ASSERT_NE(a, nullptr);
    Frame* f = FirstFrame(*a);
    EXPECT_EQ(Indexes(*f), c.indexes);
    ASSERT_TRUE(a->globalPalette);
    EXPECT_EQ(a->globalPalette->Count(), c.colours);
    EXPECT_EQ(f->palette, a->globalPalette.get());
    EXPECT_TRUE(f->rgbPlane.empty());
  }
}

TEST_F(BmpTest, TrueColourDepthsReadIntoThePlanes) {
  struct Case {
    const char* name;
    Bytes dib;
    Bytes bgr;    // first pixel
    Bytes alpha;  // empty: no alpha plane
  };
  Bytes masks565;
  Le(masks565, 0xF800, 4);
  Le(masks565, 0x07E0, 4);
  Le(masks565, 0x001F, 4);
  Bytes green565 = masks565;
  green565.insert(green565.end(), {0xE0, 0x07, 0, 0});
  const Case cases[] = {
      {"24-bit", Dib(1, 1, 24, {}, {1, 2, 3, 0}), {1, 2, 3}, {}},
      {"5-6-5 green", Dib(1, 1, 16, {}, green565, 3), {0, 255, 0}, {}},
      {"5-5-5 red", Dib(1, 1, 16, {}, {0x00, 0x7C, 0, 0}), {0, 0, 255}, {}},
      {"5-5-5 value 20", Dib(1, 1, 16, {}, {0x14, 0x00, 0, 0}), {164, 0, 0}, {}},
      {"32-bit with alpha", Dib(2, 1, 32, {}, {1, 2, 3, 0, 4, 5, 6, 9}), {1, 2, 3}, {0, 9}},
      {"32-bit all-zero alpha", Dib(2, 1, 32, {}, {1, 2, 3, 0, 4, 5, 6, 0}), {1, 2, 3}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnimationPtr a = Read(WithFileHeader(c.dib, 0));
    ASSERT_NE(a, nullptr);
    Frame* f = FirstFrame(*a);
    EXPECT_FALSE(a->globalPalette);
    ASSERT_GE(f->rgbPlane.size(), 3u);
    EXPECT_EQ(Bytes(f->rgbPlane.begin(), f->rgbPlane.begin() + 3), c.bgr);
    if (c.alpha.empty()) {
      EXPECT_TRUE(f->alphaPlane.empty());
    } else {
      ASSERT_GE(f->alphaPlane.size(), c.alpha.size());
      EXPECT_EQ(Bytes(f->alphaPlane.begin(), f->alphaPlane.begin() + c.alpha.size()), c.alpha);
    }
  }
  EXPECT_THAT(ShownTexts(), ElementsAre());
}

TEST_F(BmpTest, CoreHeadersAndPixelOffsets) {
  // 12-byte header, 8 bits: 256 colour triples, pixels at the file header's offset.
  Bytes core8 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
  uint32_t offset = 14 + 12 + 768 + 5;  // a gap before the pixels
  Le(core8, offset, 4);
  Le(core8, 12, 4);
  Le(core8, 2, 2);
  Le(core8, 1, 2);
  Le(core8, 1, 2);
  Le(core8, 8, 2);
  for (int i = 0; i < 256; ++i) core8.insert(core8.end(), {uint8_t(i), 0, uint8_t(255 - i)});
  core8.insert(core8.end(), 5, 0xEE);
  core8.insert(core8.end(), {7, 9, 0, 0});
  AnimationPtr a = Read(core8);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Indexes(*FirstFrame(*a)), (std::vector<uint8_t>{7, 9}));
  ASSERT_EQ(a->globalPalette->Count(), 256);
  EXPECT_EQ(a->globalPalette->entries[7], (PaletteEntry{248, 0, 7, 0}));

  Bytes core24 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
  Le(core24, 26, 4);
  Le(core24, 12, 4);
  Le(core24, 1, 2);
  Le(core24, 1, 2);
  Le(core24, 1, 2);
  Le(core24, 24, 2);
  core24.insert(core24.end(), {10, 20, 30, 0});
  a = Read(core24);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Bytes(FirstFrame(*a)->rgbPlane.begin(), FirstFrame(*a)->rgbPlane.begin() + 3),
            (Bytes{10, 20, 30}));

  // An info header ignores the offset: the pixels follow the colour table.
  a = Read(WithFileHeader(Dib(1, 1, 8, GreyTable(256), {42, 0, 0, 0}), 5000));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Indexes(*FirstFrame(*a)), (std::vector<uint8_t>{42}));
}

TEST_F(BmpTest, RefusedDamagedAndOversizedFilesSayWhy) {
  const std::string unsupported = "Ce type de données d'image n'est pas admis.";
  const std::string sixteen =
      "Le format de cette image couleur de 16 bits n’est actuellement pas pris en charge.";
  const std::string damaged =
      "Erreur lors de la lecture des données BMP. Le fichier semble corrompu.";
  const std::string memory = "Mémoire insuffisante pour lire ce fichier BMP/DIB.";
  Bytes os2v2 = Dib(1, 1, 24, {}, {0, 0, 0, 0});
  os2v2[0] = 64;
  os2v2.insert(os2v2.begin() + 40, 24, 0);
  Bytes zeroMask;
  Le(zeroMask, 0, 12);
  zeroMask.insert(zeroMask.end(), 4, 0);
  Bytes full = WithFileHeader(Dib(4, 4, 24, {}, Bytes(48, 1)), 0);
  Bytes rle = WithFileHeader(Dib(4, 4, 8, GreyTable(2), {4, 1, 0, 1}, 1, 2), 0);
  const std::pair<Bytes, std::vector<std::string>> cases[] = {
      {WithFileHeader(os2v2, 0), {unsupported}},
      {WithFileHeader(Dib(1, 1, 2, GreyTable(4), {0, 0, 0, 0}), 0), {unsupported}},
      {WithFileHeader(Dib(1, 1, 24, {}, {0, 0, 0, 0}, 4), 0), {unsupported}},  // JPEG inside
      {WithFileHeader(Dib(1, 1, 8, GreyTable(256), {0, 0, 0, 0}, 2), 0), {unsupported}},
      {WithFileHeader(Dib(1, 1, 16, {}, zeroMask, 3), 0), {sixteen}},
      {WithFileHeader(Dib(1, 1, 16, {}, {0, 0, 0, 0}, 4), 0), {sixteen}},
      {Bytes(full.begin(), full.end() - 1), {damaged}},
      {Bytes(full.begin(), full.begin() + 30), {damaged}},
      {Bytes(full.begin(), full.begin() + 16), {damaged}},
      {Bytes(rle.begin(), rle.begin() + 14 + 40 + 4), {damaged}},  // cut in the colour table
      {WithFileHeader(Dib(0, 1, 24, {}, {0, 0, 0, 0}), 0), {damaged}},
      {WithFileHeader(Dib(1, 1, 8, GreyTable(256), {0, 0, 0, 0}, 0, 5000), 0), {damaged}},
      // A few bytes declaring a picture past the budget: refused from the header alone.
      {WithFileHeader(Dib(70000, 70000, 24, {}, {0, 0, 0, 0}), 0), {memory}},
      {WithFileHeader(Dib(70000, -70000, 8, GreyTable(2), {0, 1}, 1, 2), 0), {memory}},
  };
  int i = 0;
  for (const auto& [file, messages] : cases) {
    SCOPED_TRACE(i++);
    Headless().Reset();
    EXPECT_EQ(Read(file), nullptr);
    EXPECT_EQ(ShownTexts(), messages);
  }
}

TEST_F(BmpTest, LongerHeadersAndBitFields) {
  // V5 32-bit with an alpha mask: the alpha is kept, the masks place each channel.
  Bytes v5 =
      DibV(124, 2, 1, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, {1, 2, 3, 9, 4, 5, 6, 255});
  // Masks in an order of their own: red in the low byte, alpha in the third.
  Bytes swapped =
      DibV(108, 1, 1, 32, 3, {0xFF, 0xFF000000, 0xFF00, 0xFF0000}, {}, {10, 20, 30, 40});
  // ARGB 1-5-5-5 in a V4 header: the top bit is alpha.
  Bytes argb1555 =
      DibV(108, 2, 1, 16, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}, {}, {0x00, 0xFC, 0x1F, 0x00});
  // 5-6-5 after a 40-byte header with a colour table: the masks come first, then the table.
  Bytes masks565;
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) Le(masks565, m, 4);
  Bytes table565 = masks565;
  table565.insert(table565.end(), {9, 9, 9, 0, 8, 8, 8, 0});
  table565.insert(table565.end(), {0xE0, 0x07, 0, 0});
  Bytes tabled565 = Dib(1, 1, 16, {}, table565, 3, 2);
  struct Case {
    const char* name;
    Bytes dib;
    Bytes bgr;    // the first pixels
    Bytes alpha;  // empty: no alpha plane
  };
  const Case cases[] = {
      {"V5 32-bit with alpha", v5, {1, 2, 3, 4, 5, 6}, {9, 255}},
      {"V4 masks in another order", swapped, {20, 40, 10}, {30}},
      {"V4 ARGB 1-5-5-5", argb1555, {0, 0, 255, 255, 0, 0}, {255, 0}},
      {"5-6-5 with a colour table", tabled565, {0, 255, 0}, {}},
      {"V5 24-bit top-down", DibV(124, 1, -1, 24, 0, {}, {}, {7, 8, 9, 0}), {7, 8, 9}, {}},
      {"52-byte header, 32-bit fields",
       DibV(52, 1, 1, 32, 3, {0xFF000000, 0xFF0000, 0xFF00}, {}, {0, 3, 2, 1}),
       {3, 2, 1},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnimationPtr a = Read(WithFileHeader(c.dib, 0));
    ASSERT_NE(a, nullptr);
    Frame* f = FirstFrame(*a);
    ASSERT_GE(f->rgbPlane.size(), c.bgr.size());
    EXPECT_EQ(Bytes(f->rgbPlane.begin(), f->rgbPlane.begin() + c.bgr.size()), c.bgr);
    if (c.alpha.empty()) {
      EXPECT_TRUE(f->alphaPlane.empty());
    } else {
      ASSERT_GE(f->alphaPlane.size(), c.alpha.size());
      EXPECT_EQ(Bytes(f->alphaPlane.begin(), f->alphaPlane.begin() + c.alpha.size()), c.alpha);
    }
  }
  // Palette images behind a V4 header: the table follows the header.
  AnimationPtr a = Read(WithFileHeader(DibV(108, 3, 1, 8, 0, {}, GreyTable(4), {3, 1, 2, 0}), 0));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Indexes(*FirstFrame(*a)), (std::vector<uint8_t>{3, 1, 2}));
  EXPECT_EQ(a->globalPalette->Count(), 4);
  EXPECT_THAT(ShownTexts(), ElementsAre());
}

TEST_F(BmpTest, RunLengthPictures) {
  // RLE8, 5 x 3, bottom row first: a run, a copied stretch of three (padded), end of line; a
  // move of two right and one up leaves the middle row and the top row's start untouched; a
  // run past the right edge is clipped; the end code.
  Bytes rle8 = {2, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 9, 4, 0, 1};
  // RLE4, 5 x 3: a run of alternating nibbles, a copied stretch of three (two bytes, no pad)
  // clipped at the edge, end of line; a stretch of five (three bytes and a pad), end of line;
  // a run of two and the end.
  Bytes rle4 = {3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 5, 0x65, 0x43, 0x20, 0, 0, 0, 2, 0x77, 0, 1};
  struct Case {
    const char* name;
    Bytes dib;
    std::vector<uint8_t> indexes;  // top row first
  };
  const Case cases[] = {
      {"RLE8",
       Dib(5, 3, 8, GreyTable(10), rle8, 1, 10),
       {0, 0, 4, 4, 4, 0, 0, 0, 0, 0, 7, 7, 1, 2, 3}},
      {"RLE8 cut short",
       Dib(5, 3, 8, GreyTable(10), Bytes(rle8.begin(), rle8.begin() + 5), 1, 10),
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7, 0, 0, 0}},
      {"RLE4",
       Dib(5, 3, 4, GreyTable(16), rle4, 2, 16),
       {7, 7, 0, 0, 0, 6, 5, 4, 3, 2, 1, 2, 1, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnimationPtr a = Read(WithFileHeader(c.dib, 0));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Indexes(*FirstFrame(*a)), c.indexes);
  }
  EXPECT_THAT(ShownTexts(), ElementsAre());
}

TEST_F(BmpTest, EveryWrittenDepthReadsBack) {
  AnimationPtr doc = MakeDocument(3, 2);
  Frame* f = AddFrame(*doc, 0, 0, 3, 2, {0, 1, 2, 3, 4, 5}, DisposalLeave, -1, 10);
  std::string path = Path("out.bmp");
  auto bytes = [&] { return Contents(path); };

  ASSERT_TRUE(WriteBmp(path, f, 0));
  EXPECT_EQ(bytes().size(), 1078u + 4 * 2);
  AnimationPtr back = Read(FileBytes(path));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Indexes(*FirstFrame(*back)), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(bytes()[1078], 3);  // bottom row first

  Bytes rgb(RgbStride(3) * 2, 0);
  for (int i = 0; i < 9; ++i) rgb[i] = uint8_t(10 + i), rgb[RgbStride(3) + i] = uint8_t(50 + i);
  SetRgbPlane(f, rgb);
  ASSERT_TRUE(WriteBmp(path, f, 0));
  EXPECT_EQ(bytes().size(), 54u + 12 * 2);
  back = Read(FileBytes(path));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(FirstFrame(*back)->rgbPlane, rgb);

  Bytes alpha(IndexStride(3) * 2, 255);
  alpha[1] = 0;
  alpha[IndexStride(3)] = 77;
  SetAlphaPlane(f, alpha);
  ASSERT_TRUE(WriteBmp(path, f, 0));
  std::string file = bytes();
  ASSERT_EQ(file.size(), 54u + 12 * 2);
  EXPECT_EQ(file.substr(54 + 12 + 4, 4), std::string(4, '\0'));  // the clear pixel, top row
  back = Read(Bytes(file.begin(), file.end()));
  ASSERT_NE(back, nullptr);
  Frame* g = FirstFrame(*back);
  ASSERT_EQ(g->alphaPlane.size(), alpha.size());
  EXPECT_EQ(g->alphaPlane[1], 0);
  EXPECT_EQ(g->alphaPlane[IndexStride(3)], 77);
  EXPECT_EQ(g->rgbPlane[0], 10);

  // The still-image option writes the 8-bit pixels even beside 24-bit data.
  ASSERT_TRUE(WriteBmp(path, f, saveopt::StillImage));
  EXPECT_EQ(bytes().size(), 1078u + 4 * 2);
}

TEST_F(BmpTest, TransparentIndexKeepsItsPaletteColour) {
  AnimationPtr doc = MakeDocument(2, 1);
  Frame* f = AddFrame(*doc, 0, 0, 2, 1, {0, 1}, DisposalLeave, 1, 10);
  ASSERT_TRUE(f->palette);
  f->palette->entries[1] = {12, 34, 56, 0};
  UpdateDibColourTable(f);  // puts the window's colour for transparent pixels in the DIB
  ASSERT_NE(f->dib[DibHeaderSize + 4 + 2], 12) << "the DIB must show another colour";
  ASSERT_TRUE(WriteBmp(Path("out.bmp"), f, 0));
  std::string file = Contents(Path("out.bmp"));
  ASSERT_GE(file.size(), 54u + 8);
  EXPECT_EQ(file.substr(54 + 4, 3), std::string({56, 34, 12}));
}

}  // namespace
}  // namespace lw::test
