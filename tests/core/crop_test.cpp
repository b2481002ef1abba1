#include <gtest/gtest.h>

#include "core/animation.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

class Crop : public CoreTest {
 protected:
  // A w x h frame whose pixel (x, y) is (x + 16 y) & 0xFF, with matching planes: blue = x,
  // green = y, red = 7; alpha = x + y.
  std::unique_ptr<Frame> Pattern(uint32_t w, uint32_t h, bool planes = false) {
    std::unique_ptr<Frame> f(PaintedFrame(
        w, h, palette.get(), [](uint32_t x, uint32_t y) { return (x + 16 * y) & 0xFF; }));
    if (planes) {
      std::vector<uint8_t> rgb(RgbStride(w) * h), alpha(IndexStride(w) * h);
      for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
          uint8_t* p = &rgb[y * RgbStride(w) + 3 * x];
          p[0] = x, p[1] = y, p[2] = 7;
          alpha[y * IndexStride(w) + x] = x + y;
        }
      }
      SetRgbPlane(f.get(), rgb);
      SetAlphaPlane(f.get(), alpha);
    }
    return f;
  }
  PalettePtr palette = RampPalette(256);
};

TEST_F(Crop, ClipKeepsTheBottomRightQuarter) {
  auto f = Pattern(10, 10);
  f->left = -5;
  f->top = -5;
  ClipFrameToScreen(f.get(), 100, 100);
  EXPECT_EQ(f->left, 0);
  EXPECT_EQ(f->top, 0);
  EXPECT_EQ(f->width, 5u);
  EXPECT_EQ(f->height, 5u);
  EXPECT_EQ(f->DibWidth(), 5u);
  EXPECT_EQ(f->DibHeight(), 5u);
  for (uint32_t y = 0; y < 5; ++y)
    for (uint32_t x = 0; x < 5; ++x) ASSERT_EQ(Pixel(f.get(), x, y), (x + 5) + 16 * (y + 5));
  EXPECT_EQ(f->bits()[5], 0);  // padding of the new row stride
}

TEST_F(Crop, ClipOfAWideFrameKeepsTheMiddleColumns) {
  auto f = Pattern(150, 2);
  f->left = -10;
  ClipFrameToScreen(f.get(), 100, 50);
  EXPECT_EQ(f->left, 0);
  EXPECT_EQ(f->width, 100u);
  EXPECT_EQ(f->height, 2u);
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 100; ++x) ASSERT_EQ(Pixel(f.get(), x, y), (x + 10 + 16 * y) & 0xFF);
}

TEST_F(Crop, FrameInsideTheScreenIsLeftAlone) {
  auto f = Pattern(10, 10);
  f->left = 90;
  f->top = 90;
  std::vector<uint8_t> before = f->dib;
  ClipFrameToScreen(f.get(), 100, 100);
  EXPECT_EQ(f->dib, before);
  EXPECT_EQ(f->width, 10u);
}

TEST_F(Crop, PlanesMoveWithThePixels) {
  auto f = Pattern(7, 5, true);
  f->left = 3;
  f->top = 4;
  CropFrame(f.get(), 2, 1, 3, 2);
  EXPECT_EQ(f->left, 5);
  EXPECT_EQ(f->top, 5);
  ASSERT_EQ(f->width, 3u);
  for (uint32_t y = 0; y < 2; ++y) {
    for (uint32_t x = 0; x < 3; ++x) {
      ASSERT_EQ(Pixel(f.get(), x, y), (x + 2) + 16 * (y + 1));
      const uint8_t* p = &f->rgbPlane[y * RgbStride(3) + 3 * x];
      ASSERT_EQ(p[0], x + 2);
      ASSERT_EQ(p[1], y + 1);
      ASSERT_EQ(p[2], 7);
      ASSERT_EQ(f->alphaPlane[y * IndexStride(3) + x], x + y + 3);
    }
  }
}

TEST_F(Crop, MaskIsRebuiltForTheKeptArea) {
  auto f = Pattern(20, 3);
  SetTransparentIndex(f.get(), 16 + 12);  // pixel (12, 1)
  SetTransparency(f.get(), true);
  CropFrame(f.get(), 10, 1, 5, 2);
  ASSERT_EQ(f->transparencyMask.size(), MaskStride(5) * 2);
  EXPECT_EQ(f->transparencyMask[0], 0x20);  // column 2 of row 0
  EXPECT_EQ(f->transparencyMask[4], 0x00);
}

TEST_F(Crop, NothingLeftGivesOneTransparentPixel) {
  auto f = Pattern(10, 10, true);
  f->left = 200;
  f->top = 3;
  ClipFrameToScreen(f.get(), 100, 100);
  EXPECT_EQ(f->left, 0);
  EXPECT_EQ(f->top, 0);
  EXPECT_EQ(f->width, 1u);
  EXPECT_EQ(f->height, 1u);
  EXPECT_EQ(f->DibWidth(), 1u);
  EXPECT_TRUE(f->Transparent());
  EXPECT_EQ(f->transparentIndex, 0);
  EXPECT_EQ(f->bits()[0], 0);
  EXPECT_TRUE(f->rgbPlane.empty());
  EXPECT_TRUE(f->alphaPlane.empty());
  ASSERT_EQ(f->transparencyMask.size(), 4u);
  EXPECT_EQ(f->transparencyMask[0], 0x80);

  // A frame already transparent keeps its index; the pixel takes it.
  auto g = Pattern(4, 4);
  SetTransparentIndex(g.get(), 9);
  SetTransparency(g.get(), true);
  g->left = -4;
  ClipFrameToScreen(g.get(), 10, 10);
  EXPECT_EQ(g->width, 1u);
  EXPECT_EQ(g->transparentIndex, 9);
  EXPECT_EQ(g->bits()[0], 9);
  EXPECT_EQ(g->transparencyMask[0], 0x80);

  auto h = Pattern(4, 4);
  CropFrame(h.get(), 0, 0, 0, 3);
  EXPECT_EQ(h->width, 1u);
}

TEST_F(Crop, AreaReachingPastTheFrameIsCut) {
  auto f = Pattern(4, 4);
  CropFrame(f.get(), 2, -1, 10, 2);  // keeps columns 2..3 of row 0
  EXPECT_EQ(f->width, 2u);
  EXPECT_EQ(f->height, 1u);
  EXPECT_EQ(f->left, 2);
  EXPECT_EQ(f->top, 0);
  EXPECT_EQ(Pixel(f.get(), 0, 0), 2);
  EXPECT_EQ(Pixel(f.get(), 1, 0), 3);
}

}  // namespace
}  // namespace lw::test
