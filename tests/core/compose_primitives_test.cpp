// The 8-bit primitives, the zoom arithmetic and the drawing of one frame into a 32-bit picture.
#include <gtest/gtest.h>

#include "base/preferences.h"
#include "core/compose.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

std::vector<uint8_t> Dib(uint32_t w, uint32_t h, uint8_t fill) {
  std::vector<uint8_t> dib = BuildDib(w, h, nullptr);
  FillDibPixels(dib, fill);
  return dib;
}

std::vector<uint8_t> Rows(const std::vector<uint8_t>& dib) {
  DibGeometry g;
  EXPECT_TRUE(GetDibGeometry(dib, &g));
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < g.height; ++y) {
    for (uint32_t x = 0; x < g.width; ++x) out.push_back(dib[DibBitsOffset + y * g.stride + x]);
  }
  return out;
}

uint32_t RampPixel(int i) {
  return PixelFromColour(static_cast<uint32_t>(i) | (static_cast<uint32_t>(255 - i) << 8) |
                         (static_cast<uint32_t>(3 * i) << 16));
}

TEST(ComposePrimitives, FillsReachThePaddingAndClipToTheDib) {
  std::vector<uint8_t> dib = Dib(3, 2, 7);
  for (size_t i = DibBitsOffset; i < dib.size(); ++i) ASSERT_EQ(dib[i], 7) << i;  // stride 4

  FillIndexRect(dib, 2, -1, 5, 2, 1);
  EXPECT_EQ(Rows(dib), (std::vector<uint8_t>{7, 7, 1, 7, 7, 7}));
  FillIndexRect(dib, 3, 0, 4, 4, 2);   // wholly right of it
  FillIndexRect(dib, -9, 0, 9, 2, 2);  // wholly left of it
  FillIndexRect(dib, 0, 0, 0, 2, 2);   // empty
  EXPECT_EQ(Rows(dib), (std::vector<uint8_t>{7, 7, 1, 7, 7, 7}));

  // A DIB whose header claims more rows than it holds is left alone.
  std::vector<uint8_t> truncated = Dib(4, 4, 0);
  truncated.resize(truncated.size() - 1);
  FillDibPixels(truncated, 9);
  FillIndexRect(truncated, 0, 0, 4, 4, 9);
  BlitIndexed(truncated, 0, 0, 4, 4, dib, 0, 0, 0, false);
  EXPECT_EQ(truncated[DibBitsOffset], 0);
}

TEST(ComposePrimitives, BlitClipsBothSidesAndSkipsTheKey) {
  // A 10 x 10 source at (-5, -5) puts its lower-right quarter at (0, 0).
  std::vector<uint8_t> source = Dib(10, 10, 0);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      source[DibBitsOffset + y * 12 + x] = static_cast<uint8_t>(10 * y + x);
  std::vector<uint8_t> canvas = Dib(8, 8, 255);
  BlitIndexed(canvas, -5, -5, 10, 10, source, 0, 0, 0, false);
  std::vector<uint8_t> rows = Rows(canvas);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      uint8_t want = x < 5 && y < 5 ? static_cast<uint8_t>(10 * (y + 5) + x + 5) : 255;
      ASSERT_EQ(rows[y * 8 + x], want) << x << "," << y;
    }
  }

  // Wholly outside: nothing; an area larger than the source reads no further than the source.
  std::vector<uint8_t> before = canvas;
  BlitIndexed(canvas, 8, 0, 10, 10, source, 0, 0, 0, false);
  BlitIndexed(canvas, -10, 0, 10, 10, source, 0, 0, 0, false);
  BlitIndexed(canvas, 0, 0, 10, 10, source, 10, 0, 0, false);
  EXPECT_EQ(canvas, before);
  std::vector<uint8_t> small = Dib(2, 1, 4);
  BlitIndexed(canvas, 6, 7, 50, 50, small, 0, 0, 0, false);
  rows = Rows(canvas);
  EXPECT_EQ(rows[7 * 8 + 6], 4);
  EXPECT_EQ(rows[7 * 8 + 7], 4);

  // Keyed: pixels equal to the key leave the destination.
  std::vector<uint8_t> keyed = Dib(3, 1, 0);
  keyed[DibBitsOffset] = 5;
  keyed[DibBitsOffset + 1] = 6;
  keyed[DibBitsOffset + 2] = 5;
  std::vector<uint8_t> target = Dib(3, 1, 1);
  BlitIndexed(target, 0, 0, 3, 1, keyed, 0, 0, 5, true);
  EXPECT_EQ(Rows(target), (std::vector<uint8_t>{1, 6, 1}));
}

TEST(ComposePrimitives, ColourTablesAndTrueColourMapping) {
  std::vector<uint8_t> dib = Dib(1, 1, 0);
  RgbQuad quads[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  EXPECT_EQ(SetDibColours(dib, 254, 3, quads), 2);  // the table ends at 256
  RgbQuad back[2];
  EXPECT_EQ(GetDibColours(dib, 254, 2, back), 2);
  EXPECT_EQ(back[1], quads[1]);
  EXPECT_EQ(SetDibColours(dib, 256, 1, quads), 0);

  PalettePtr palette = RampPalette(4);
  SetDibColourTable(dib, palette.get());
  EXPECT_EQ(GetDibColours(dib, 3, 1, back), 1);
  EXPECT_EQ(back[0], (RgbQuad{9, 252, 3, 0}));
  EXPECT_EQ(GetDibColours(dib, 4, 1, back), 1);
  EXPECT_EQ(back[0], RgbQuad{});

  // True-colour rows mapped onto a palette DIB.
  std::vector<uint8_t> section = NewPaletteDibSection(2, 1, palette.get());
  std::vector<uint8_t> rgb = {9, 252, 3, 0, 255, 0, 0, 0};  // ramp entry 3, then (0, 255, 0)
  ASSERT_TRUE(MapRgbToPaletteDib(section, *palette, rgb));
  EXPECT_EQ(Rows(section), (std::vector<uint8_t>{3, 0}));
  rgb.resize(5);
  EXPECT_FALSE(MapRgbToPaletteDib(section, *palette, rgb));
}

TEST(ComposeDrawing, ScalesClipsAndHonoursTheMask) {
  AnimationPtr doc = MakeDocument(4, 4);
  Frame* f = AddFrame(*doc, 1, 0, 2, 2, {1, 2, 3, 4}, 0, 4);
  PixelSurface surface;
  ASSERT_TRUE(ResizeSurface(&surface, 5, 3, 0xFF000000u));
  DrawFrame(*f, surface.View(), -1, 0, 2, 1, true);
  // Left 1 at zoom 2 from origin -1: x 1..4, rows 0..3 clipped to 3; index 4 is transparent.
  uint32_t k = 0xFF000000u;
  std::vector<uint32_t> want = {k,
                                RampPixel(1),
                                RampPixel(1),
                                RampPixel(2),
                                RampPixel(2),
                                k,
                                RampPixel(1),
                                RampPixel(1),
                                RampPixel(2),
                                RampPixel(2),
                                k,
                                RampPixel(3),
                                RampPixel(3),
                                k,
                                k};
  EXPECT_EQ(surface.pixels, want);

  // A true-colour frame draws from its plane.
  Frame* t = AddFrame(*doc, 0, 0, 1, 1, {1});
  SetRgbPlane(t, {10, 20, 30, 0});
  DrawFrame(*t, surface.View(), 0, 0, 1, 1, false);
  EXPECT_EQ(surface.pixels[0], 0xFF1E140Au);
  // A plane too short for the DIB is not read.
  t->rgbPlane.resize(2);
  DrawFrame(*t, surface.View(), 0, 0, 1, 1, false);
  EXPECT_EQ(surface.pixels[0], RampPixel(1));
}

TEST(ComposeDrawing, AlphaBlendingAndTheDisplayCache) {
  AnimationPtr doc = MakeDocument(2, 1);
  Frame* f = AddFrame(*doc, 0, 0, 2, 1, {0, 0});
  SetRgbPlane(f, {200, 100, 0, 255, 255, 255, 0, 0});
  SetAlphaPlane(f, {128, 255, 0, 0});
  PixelSurface surface;
  ASSERT_TRUE(ResizeSurface(&surface, 3, 1, 0xFF0A0A0Au));
  ASSERT_TRUE(BlendFrame(*f, surface.View()));
  // Blue (200 x 128 + 10 x 127) / 255 = 105, green 55, red 4; the opaque pixel is the source.
  EXPECT_EQ(surface.pixels[0], 0xFF043769u);
  EXPECT_EQ(surface.pixels[1], 0xFFFFFFFFu);
  EXPECT_EQ(surface.pixels[2], 0xFF0A0A0Au);

  std::vector<uint8_t> blended;
  ASSERT_TRUE(BlendedPlaneOf(*f, 0x000A0A0A, 0, &blended));
  EXPECT_EQ(blended, (std::vector<uint8_t>{105, 55, 4, 255, 255, 255, 0, 0}));
  // Twelve-bit display: channels rounded to sixteen levels before blending.
  ASSERT_TRUE(BlendedPlaneOf(*f, 0x000A0A0A, 12, &blended));
  EXPECT_EQ(blended[0], (204 * 128 + 10 * 127) / 255);
  // Without alpha the plane is only rounded; without rounding there is no cache.
  FreeAlphaPlane(f);
  ASSERT_TRUE(BlendedPlaneOf(*f, 0, 12, &blended));
  EXPECT_EQ(blended[0], 204);
  ASSERT_TRUE(BlendedPlaneOf(*f, 0, 0, &blended));
  EXPECT_TRUE(blended.empty());
}

TEST(ComposeDrawing, TrueColourPlaneFromThePixels) {
  AnimationPtr doc = MakeDocument(2, 1);
  Frame* f = AddFrame(*doc, 0, 0, 2, 1, {3, 5}, 0, 5);
  ASSERT_TRUE(AddRgbPlane(f));
  EXPECT_EQ(f->rgbPlane, (std::vector<uint8_t>{9, 252, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Pixels(*f), (std::vector<uint8_t>{3, 5}));
}

}  // namespace
}  // namespace lw::test
