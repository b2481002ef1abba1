// Cropping a frame and clipping it to the screen: the kept pixels, planes and mask move with
// the area, and nothing left gives one transparent pixel.
#include "core_fixture.h"

namespace lw::test {
namespace {

class Crop : public CoreTest {
 protected:
  // A w x h frame at (left, top) whose pixel (x, y) is (x + 16 y) & 0xFF, with planes: blue x,
  // green y, red 7, alpha x + y.
  std::unique_ptr<Frame> Pattern(uint32_t w, uint32_t h, int32_t left = 0, int32_t top = 0,
                                 bool planes = false) {
    std::unique_ptr<Frame> f(PaintedFrame(
        w, h, palette.get(), [](uint32_t x, uint32_t y) { return (x + 16 * y) & 0xFF; }));
    f->left = left;
    f->top = top;
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
  // The frame is the area (x0, y0, w, h) of the pattern, planes included.
  void ExpectPatternArea(const Frame& f, int32_t x0, int32_t y0, uint32_t w, uint32_t h) {
    ASSERT_EQ(f.width, w);
    ASSERT_EQ(f.height, h);
    ASSERT_EQ(f.DibWidth(), w);
    ASSERT_EQ(f.DibHeight(), h);
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        ASSERT_EQ(Pixel(&f, x, y), (x + x0 + 16 * (y + y0)) & 0xFF) << x << "," << y;
        if (f.rgbPlane.empty()) continue;
        const uint8_t* p = &f.rgbPlane[y * RgbStride(w) + 3 * x];
        ASSERT_EQ(p[0], x + x0);
        ASSERT_EQ(p[1], y + y0);
        ASSERT_EQ(f.alphaPlane[y * IndexStride(w) + x], x + x0 + y + y0);
      }
    }
  }
  PalettePtr palette = RampPalette(256);
};

TEST_F(Crop, KeptAreasAndTheirPlanes) {
  auto quarter = Pattern(10, 10, -5, -5);
  ClipFrameToScreen(quarter.get(), 100, 100);
  EXPECT_EQ(quarter->left, 0);
  EXPECT_EQ(quarter->top, 0);
  ExpectPatternArea(*quarter, 5, 5, 5, 5);
  EXPECT_EQ(quarter->bits()[5], 0) << "padding of the new row stride";

  auto wide = Pattern(150, 2, -10);
  ClipFrameToScreen(wide.get(), 100, 50);
  ExpectPatternArea(*wide, 10, 0, 100, 2);

  auto inside = Pattern(10, 10, 90, 90);
  std::vector<uint8_t> before = inside->dib;
  ClipFrameToScreen(inside.get(), 100, 100);
  EXPECT_EQ(inside->dib, before);

  auto planes = Pattern(7, 5, 3, 4, true);
  CropFrame(planes.get(), 2, 1, 3, 2);
  EXPECT_EQ(planes->left, 5);
  EXPECT_EQ(planes->top, 5);
  ExpectPatternArea(*planes, 2, 1, 3, 2);

  auto past = Pattern(4, 4);
  CropFrame(past.get(), 2, -1, 10, 2);  // columns 2..3 of row 0
  EXPECT_EQ(past->left, 2);
  EXPECT_EQ(past->top, 0);
  ExpectPatternArea(*past, 2, 0, 2, 1);

  auto masked = Pattern(20, 3);
  SetTransparentIndex(masked.get(), 16 + 12);  // pixel (12, 1)
  SetTransparency(masked.get(), true);
  CropFrame(masked.get(), 10, 1, 5, 2);
  ASSERT_EQ(masked->transparencyMask.size(), MaskStride(5) * 2);
  EXPECT_EQ(masked->transparencyMask[0], 0x20);  // column 2 of row 0
  EXPECT_EQ(masked->transparencyMask[4], 0x00);
}

TEST_F(Crop, NothingLeftGivesOneTransparentPixel) {
  auto f = Pattern(10, 10, 200, 3, true);
  ClipFrameToScreen(f.get(), 100, 100);
  EXPECT_EQ(f->left, 0);
  EXPECT_EQ(f->top, 0);
  EXPECT_EQ(f->width, 1u);
  EXPECT_EQ(f->DibHeight(), 1u);
  EXPECT_TRUE(f->Transparent());
  EXPECT_EQ(f->transparentIndex, 0);
  EXPECT_EQ(f->bits()[0], 0);
  EXPECT_TRUE(f->rgbPlane.empty());
  EXPECT_TRUE(f->alphaPlane.empty());
  EXPECT_EQ(f->transparencyMask, (std::vector<uint8_t>{0x80, 0, 0, 0}));

  // A frame already transparent keeps its index; the pixel takes it.
  auto g = Pattern(4, 4, -4);
  SetTransparentIndex(g.get(), 9);
  SetTransparency(g.get(), true);
  ClipFrameToScreen(g.get(), 10, 10);
  EXPECT_EQ(g->width, 1u);
  EXPECT_EQ(g->transparentIndex, 9);
  EXPECT_EQ(g->bits()[0], 9);
  EXPECT_EQ(g->transparencyMask[0], 0x80);

  auto h = Pattern(4, 4);
  CropFrame(h.get(), 0, 0, 0, 3);
  EXPECT_EQ(h->width, 1u);
}

}  // namespace
}  // namespace lw::test
