// PNG files of each colour type and depth, with and without transparent colours, written here
// with libpng, read into frames; frames written back out; damaged and oversized files refused
// with their messages.
#include <gmock/gmock.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <optional>

#include "flow_fixture.h"
#include "formats/png/png_format.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;

struct PngSpec {
  uint32_t width, height;
  int colourType, depth;
  std::vector<uint8_t> rows;  // packed as in the file, rows back to back
  std::vector<png_color> palette{};
  std::vector<uint8_t> alphas{};      // tRNS for a palette
  std::optional<png_color_16> key{};  // tRNS colour of a grey or RGB image
};

bool WriteTestPng(const std::string& path, const PngSpec& s) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, s.width, s.height, s.depth, s.colourType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty())
    png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  if (!s.alphas.empty())
    png_set_tRNS(png, info, s.alphas.data(), static_cast<int>(s.alphas.size()), nullptr);
  png_color_16 key = s.key.value_or(png_color_16{});
  if (s.key) png_set_tRNS(png, info, nullptr, 1, &key);
  png_write_info(png, info);
  size_t rowBytes = s.rows.size() / s.height;
  for (uint32_t y = 0; y < s.height; ++y)
    png_write_row(png, const_cast<uint8_t*>(s.rows.data()) + rowBytes * y);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

std::vector<png_color> Ramp(int n) {
  std::vector<png_color> p;
  for (int i = 0; i < n; ++i)
    p.push_back(
        {static_cast<uint8_t>(i * 10), static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i)});
  return p;
}

std::vector<uint8_t> Indexes(const Frame& f) {
  std::vector<uint8_t> v;
  for (uint32_t y = 0; y < f.height; ++y)
    for (uint32_t x = 0; x < f.width; ++x) v.push_back(Pixel(&f, x, y));
  return v;
}

std::vector<int> Greys(const Palette& p) {
  std::vector<int> v;
  for (const PaletteEntry& e : p.entries) {
    EXPECT_TRUE(e.red == e.green && e.green == e.blue);
    v.push_back(e.red);
  }
  return v;
}

class PngTest : public FlowTest {};

TEST_F(PngTest, IndexedImagesReadStraightIntoTheDib) {
  struct Case {
    const char* name;
    PngSpec png;
    std::vector<uint8_t> indexes;
    std::vector<int> greys;  // empty: a palette image
    int transparent;         // -1: none
  };
  const Case cases[] = {
      {"1-bit grey",
       {8, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA5}},
       {1, 0, 1, 0, 0, 1, 0, 1},
       {0, 255},
       -1},
      {"2-bit grey", {4, 1, PNG_COLOR_TYPE_GRAY, 2, {0x1B}}, {0, 1, 2, 3}, {0, 85, 170, 255}, -1},
      {"4-bit grey", {2, 1, PNG_COLOR_TYPE_GRAY, 4, {0xF1}}, {15, 1}, {}, -1},
      {"8-bit grey", {3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 128, 255}}, {0, 128, 255}, {}, -1},
      // 16-bit samples become 8-bit ones: the high byte, on the 8-bit greys.
      {"16-bit grey",
       {2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x12, 0x00, 0xFE, 0x00}},
       {0x12, 0xFE},
       {},
       -1},
      {"4-bit palette, two rows",
       {3, 2, PNG_COLOR_TYPE_PALETTE, 4, {0x12, 0x30, 0x45, 0x60}, Ramp(7)},
       {1, 2, 3, 4, 5, 6},
       {},
       -1},
      // Entries under half opacity (5 at 127, 9 clear) become one transparent index, the first;
      // entries at half opacity or more (7 at 128, 8 at 200) stay opaque.
      {"palette with alphas",
       {6,
        1,
        PNG_COLOR_TYPE_PALETTE,
        8,
        {5, 9, 3, 9, 7, 8},
        Ramp(12),
        {255, 255, 255, 255, 255, 127, 255, 128, 200, 0}},
       {5, 5, 3, 5, 7, 8},
       {},
       5},
      // The transparent grey of a grey image is its transparent index.
      {"2-bit grey with a transparent grey",
       {4, 1, PNG_COLOR_TYPE_GRAY, 2, {0x1B}, {}, {}, png_color_16{0, 0, 0, 0, 2}},
       {0, 1, 2, 3},
       {0, 85, 170, 255},
       2},
      {"8-bit grey with a transparent grey",
       {3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 128, 255}, {}, {}, png_color_16{0, 0, 0, 0, 128}},
       {0, 128, 255},
       {},
       128},
      // Indexes past a short palette show its first colour.
      {"index past the palette",
       {2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 200}, Ramp(2)},
       {1, 0},
       {},
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = Path("indexed.png");
    ASSERT_TRUE(WriteTestPng(path, c.png));
    AnimationPtr a;
    ASSERT_EQ(ReadPng(path, &a), 1);
    Frame* f = FirstFrame(*a);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(a->frameCount, 1);
    EXPECT_TRUE(f->rgbPlane.empty());
    ASSERT_TRUE(a->globalPalette);
    EXPECT_EQ(f->palette, a->globalPalette.get());
    EXPECT_EQ(Indexes(*f), c.indexes);
    if (!c.greys.empty()) {
      EXPECT_EQ(Greys(*a->globalPalette), c.greys);
    }
    if (c.png.colourType == PNG_COLOR_TYPE_PALETTE) {
      ASSERT_EQ(a->globalPalette->Count(), static_cast<int>(c.png.palette.size()));
      EXPECT_EQ(a->globalPalette->entries[1].red, 10);
    } else {
      EXPECT_EQ(a->globalPalette->Count(), c.png.depth >= 8 ? 256 : 1 << c.png.depth);
    }
    EXPECT_EQ(f->Transparent(), c.transparent >= 0);
    if (c.transparent >= 0) {
      EXPECT_EQ(f->transparentIndex, c.transparent);
    }
  }
  EXPECT_THAT(ShownTexts(), ElementsAre());
}

TEST_F(PngTest, TrueColourImagesReadIntoTheRgbAndAlphaPlanes) {
  struct Case {
    const char* name;
    PngSpec png;
    std::vector<uint8_t> bgr;    // first pixel
    std::vector<uint8_t> alpha;  // empty: no alpha plane
  };
  const Case cases[] = {
      {"RGB", {2, 1, PNG_COLOR_TYPE_RGB, 8, {10, 20, 30, 40, 50, 60}}, {30, 20, 10}, {}},
      {"16-bit RGB",
       {1, 1, PNG_COLOR_TYPE_RGB, 16, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}},
       {0x9A, 0x56, 0x12},
       {}},
      {"RGBA",
       {2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 0, 4, 5, 6, 200}},
       {3, 2, 1},
       {0, 200}},
      {"grey and alpha",
       {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {77, 0, 9, 255}},
       {77, 77, 77},
       {0, 255}},
      {"16-bit grey and alpha",
       {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, {80, 1, 90, 2}},
       {80, 80, 80},
       {90}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = Path("true.png");
    ASSERT_TRUE(WriteTestPng(path, c.png));
    AnimationPtr a;
    ASSERT_EQ(ReadPng(path, &a), 1);
    Frame* f = FirstFrame(*a);
    ASSERT_EQ(f->rgbPlane.size(), RgbStride(c.png.width) * c.png.height);
    EXPECT_EQ(std::vector<uint8_t>(f->rgbPlane.begin(), f->rgbPlane.begin() + 3), c.bgr);
    if (c.alpha.empty()) {
      EXPECT_TRUE(f->alphaPlane.empty());
    } else {
      ASSERT_EQ(f->alphaPlane.size(), IndexStride(c.png.width) * c.png.height);
      EXPECT_EQ(std::vector<uint8_t>(f->alphaPlane.begin(), f->alphaPlane.begin() + c.alpha.size()),
                c.alpha);
    }
  }
  EXPECT_THAT(ShownTexts(), ElementsAre());
}

// A transparent colour of an RGB image or a 16-bit grey one becomes clear alpha where the samples
// match at full depth, so the frame's 8-bit image gets it as its transparent colour.
TEST_F(PngTest, TransparentColoursOfRgbAndDeepGreyImagesBecomeAlpha) {
  struct Case {
    const char* name;
    PngSpec png;
    std::vector<uint8_t> bgr;    // every pixel
    std::vector<uint8_t> alpha;  // every pixel
  };
  const Case cases[] = {
      {"RGB",
       {2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 1, 2, 4}, {}, {}, png_color_16{0, 1, 2, 3, 0}},
       {3, 2, 1, 4, 2, 1},
       {0, 255}},
      {"16-bit RGB, equal high bytes only",
       {2,
        1,
        PNG_COLOR_TYPE_RGB,
        16,
        {1, 0, 2, 0, 3, 0, 1, 0, 2, 0, 3, 1},
        {},
        {},
        png_color_16{0, 0x100, 0x200, 0x300, 0}},
       {3, 2, 1, 3, 2, 1},
       {0, 255}},
      // Mid-grey stays mid-grey; the key matches the full 16-bit sample.
      {"16-bit grey",
       {3,
        1,
        PNG_COLOR_TYPE_GRAY,
        16,
        {0x80, 0x00, 0x80, 0xFF, 0x40, 0x00},
        {},
        {},
        png_color_16{0, 0, 0, 0, 0x8000}},
       {128, 128, 128, 128, 128, 128, 64, 64, 64},
       {0, 255, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = Path("keyed.png");
    ASSERT_TRUE(WriteTestPng(path, c.png));
    AnimationPtr a;
    ASSERT_EQ(ReadPng(path, &a), 1);
    Frame* f = FirstFrame(*a);
    ASSERT_GE(f->rgbPlane.size(), c.bgr.size());
    EXPECT_EQ(std::vector<uint8_t>(f->rgbPlane.begin(), f->rgbPlane.begin() + c.bgr.size()), c.bgr);
    ASSERT_GE(f->alphaPlane.size(), c.alpha.size());
    EXPECT_EQ(std::vector<uint8_t>(f->alphaPlane.begin(), f->alphaPlane.begin() + c.alpha.size()),
              c.alpha);
  }
  EXPECT_THAT(ShownTexts(), ElementsAre());
}

TEST_F(PngTest, DamagedFilesAreRefusedWithThePngMessage) {
  std::string good = Path("good.png");
  std::vector<uint8_t> rows(64 * 64 * 3);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 7);
  ASSERT_TRUE(WriteTestPng(good, {64, 64, PNG_COLOR_TYPE_RGB, 8, rows}));
  std::string bytes = Contents(good);
  std::string badCrc = bytes;
  badCrc[20] ^= 1;  // inside IHDR
  std::string huge = bytes;
  huge[16] = 0x7F;  // width far beyond any budget, with a checksum that no longer matches
  const std::pair<const char*, std::string> cases[] = {
      {"not a PNG", "GIF89a and more bytes"},
      {"signature only", bytes.substr(0, 8)},
      {"cut in the header", bytes.substr(0, 20)},
      {"cut in the data", bytes.substr(0, bytes.size() / 2)},
      {"bad checksum", badCrc},
      {"huge", huge},
  };
  for (const auto& [name, data] : cases) {
    SCOPED_TRACE(name);
    Headless().Reset();
    Put(Path("bad.png"), data);
    AnimationPtr a;
    EXPECT_EQ(ReadPng(Path("bad.png"), &a), 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_THAT(
        ShownTexts(),
        ElementsAre("Erreur lors de la lecture des données PNG. Le fichier semble corrompu."));
  }
}

TEST_F(PngTest, PicturesPastTheBudgetSaySoBeforeDecoding) {
  std::string path = Path("big.png");
  ASSERT_TRUE(
      WriteTestPng(path, {64, 64, PNG_COLOR_TYPE_RGB, 8, std::vector<uint8_t>(64 * 64 * 3)}));
  const uint64_t limit = GifFrameByteLimit();
  SetGifFrameByteLimit(4096);
  AnimationPtr a;
  EXPECT_EQ(ReadPng(path, &a), 0);
  SetGifFrameByteLimit(limit);
  EXPECT_EQ(a, nullptr);
  EXPECT_THAT(ShownTexts(),
              ElementsAre("Mémoire insuffisante pour construire une image de cadre."));
}

TEST_F(PngTest, FramesAreWrittenAsRgbaRgbOrPalette) {
  AnimationPtr doc = MakeDocument(3, 2);
  Frame* f = AddFrame(*doc, 0, 0, 3, 2, {0, 1, 2, 3, 4, 5}, DisposalLeave, 4, 10);
  std::string path = Path("out.png");

  // Paletted, with the transparent index as the only clear entry.
  ASSERT_TRUE(WritePng(path, f));
  AnimationPtr back;
  ASSERT_EQ(ReadPng(path, &back), 1);
  EXPECT_EQ(Indexes(*FirstFrame(*back)), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(FirstFrame(*back)->Transparent());
  EXPECT_EQ(FirstFrame(*back)->transparentIndex, 4);

  std::vector<uint8_t> rgb(RgbStride(3) * 2);
  for (size_t i = 0; i < rgb.size(); ++i)
    if (i % RgbStride(3) < 9) rgb[i] = static_cast<uint8_t>(i * 11);  // padding stays 0
  SetRgbPlane(f, rgb);
  ASSERT_TRUE(WritePng(path, f));
  ASSERT_EQ(ReadPng(path, &back), 1);
  EXPECT_EQ(FirstFrame(*back)->rgbPlane, rgb);
  EXPECT_TRUE(FirstFrame(*back)->alphaPlane.empty());

  std::vector<uint8_t> alpha(IndexStride(3) * 2, 255);
  alpha[1] = 0;
  alpha[IndexStride(3) + 2] = 99;
  SetAlphaPlane(f, alpha);
  ASSERT_TRUE(WritePng(path, f));
  ASSERT_EQ(ReadPng(path, &back), 1);
  Frame* g = FirstFrame(*back);
  EXPECT_EQ(g->rgbPlane, rgb);
  ASSERT_EQ(g->alphaPlane.size(), alpha.size());
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 3; ++x)
      EXPECT_EQ(g->alphaPlane[y * IndexStride(3) + x], alpha[y * IndexStride(3) + x]);

  EXPECT_FALSE(WritePng(Path("no/such/folder.png"), f));
}

}  // namespace
}  // namespace lw::test
