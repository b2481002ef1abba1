#include <gtest/gtest.h>

#include <memory>

#include "base/preferences.h"
#include "core/animation.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

class Transparency : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    palette = RampPalette(16);
    // 10 x 2: pixel = x % 4, so index 3 sits at columns 3 and 7 of both rows.
    frame.reset(PaintedFrame(10, 2, palette.get(), [](uint32_t x, uint32_t) { return x % 4; }));
  }

  // The mask bit of pixel (x, y).
  bool MaskBit(uint32_t x, uint32_t y) const {
    const auto& mask = frame->transparencyMask;
    return mask[y * MaskStride(frame->DibWidth()) + x / 8] & (0x80 >> (x % 8));
  }
  // The colour (0x00BBGGRR) in the DIB's colour table at index.
  uint32_t TableColour(int index) const {
    const uint8_t* q = frame->dib.data() + DibHeaderSize + 4 * index;
    return q[2] | q[1] << 8 | q[0] << 16;
  }
  uint32_t PaletteColour(int index) const {
    const PaletteEntry& e = palette->entries[index];
    return e.red | e.green << 8 | e.blue << 16;
  }
  // True when the mask is set exactly where the pixel is the transparent index.
  void ExpectMaskMatchesPixels() const {
    ASSERT_EQ(frame->transparencyMask.size(), MaskStride(10) * 2);
    for (uint32_t y = 0; y < 2; ++y)
      for (uint32_t x = 0; x < 10; ++x)
        ASSERT_EQ(MaskBit(x, y), Pixel(frame.get(), x, y) == frame->transparentIndex)
            << x << "," << y;
  }

  PalettePtr palette;
  std::unique_ptr<Frame> frame;
};

TEST_F(Transparency, MaskFollowsFlagIndexAndPixels) {
  EXPECT_TRUE(frame->transparencyMask.empty());
  SetTransparentIndex(frame.get(), 3);
  EXPECT_TRUE(frame->transparencyMask.empty());  // flag still off

  SetTransparency(frame.get(), true);
  ExpectMaskMatchesPixels();
  EXPECT_EQ(frame->transparencyMask[0], 0x11);  // columns 3 and 7, most significant bit first
  EXPECT_EQ(frame->transparencyMask[1], 0x00);

  SetTransparentIndex(frame.get(), 1);
  ExpectMaskMatchesPixels();
  EXPECT_TRUE(MaskBit(1, 0));

  std::vector<uint8_t> dib = frame->dib;
  dib[DibBitsOffset + 2] = 1;
  SetFrameDib(frame.get(), dib);
  ExpectMaskMatchesPixels();
  EXPECT_TRUE(MaskBit(2, 0));

  SetTransparency(frame.get(), false);
  EXPECT_TRUE(frame->transparencyMask.empty());
  SetFrameDib(frame.get(), dib);
  EXPECT_TRUE(frame->transparencyMask.empty());

  SetTransparency(frame.get(), true);
  SetFrameDib(frame.get(), {});  // no pixels, no mask
  EXPECT_TRUE(frame->transparencyMask.empty());
  std::vector<uint8_t> mask;
  EXPECT_FALSE(BuildTransparencyMask(frame.get(), &mask));
}

TEST_F(Transparency, DisplayColourFollowsThePreference) {
  SetButtonFaceColour(0x00ABCDEF);
  SetTransparentIndex(frame.get(), 3);
  SetTransparency(frame.get(), true);
  EXPECT_EQ(TableColour(3), 0x00ABCDEFu);  // window background
  EXPECT_EQ(TableColour(2), PaletteColour(2));

  SetTransparentIndex(frame.get(), 2);  // the old index gets its own colour back
  EXPECT_EQ(TableColour(3), PaletteColour(3));
  EXPECT_EQ(TableColour(2), 0x00ABCDEFu);

  SetPref(PrefTransparencyDisplay, 0x02123456);
  SetTransparentDisplayColour(frame.get(), true);
  EXPECT_EQ(TableColour(2), 0x123456u);
  EXPECT_EQ(TransparencyDisplayColour(frame.get()), 0x123456u);

  SetPref(PrefTransparencyDisplay, 0x01123456);
  SetTransparentDisplayColour(frame.get(), true);
  EXPECT_EQ(TableColour(2), PaletteColour(2));
  EXPECT_EQ(TransparencyDisplayColour(frame.get()), PaletteColour(2));

  SetPref(PrefTransparencyDisplay, 0x02123456);
  UpdateDibColourTable(frame.get());  // the display colour survives a table refresh
  EXPECT_EQ(TableColour(2), 0x123456u);
  SetTransparency(frame.get(), false);
  EXPECT_EQ(TableColour(2), PaletteColour(2));
  SetButtonFaceColour(0x00F0F0F0);
}

TEST_F(Transparency, ColourPlaneWithoutAlphaTurnsBlackUnderTransparentPixels) {
  SetRgbPlane(frame.get(), std::vector<uint8_t>(RgbStride(10) * 2, 0x55));
  SetTransparentIndex(frame.get(), 3);
  SetTransparency(frame.get(), true);
  const uint8_t* rgb = frame->rgbPlane.data();
  EXPECT_EQ(rgb[3 * 3], 0);
  EXPECT_EQ(rgb[3 * 3 + 2], 0);
  EXPECT_EQ(rgb[3 * 2], 0x55);
  EXPECT_EQ(rgb[RgbStride(10) + 3 * 7 + 1], 0);

  // With an alpha plane the colours are left alone.
  SetRgbPlane(frame.get(), std::vector<uint8_t>(RgbStride(10) * 2, 0x55));
  SetAlphaPlane(frame.get(), std::vector<uint8_t>(IndexStride(10) * 2, 255));
  RebuildTransparencyMask(frame.get());
  EXPECT_EQ(frame->rgbPlane[3 * 3], 0x55);
}

TEST_F(Transparency, AutomaticTransparencyAndSingleFrameDisposal) {
  AnimationPtr a = NumberedAnimation(3);
  Frame* f0 = FrameAt(*a, 0);
  Frame* f1 = FrameAt(*a, 1);
  Frame* f2 = FrameAt(*a, 2);
  SetRgbPlane(f2, std::vector<uint8_t>(RgbStride(4) * 3, 0));
  SetTransparentIndex(f1, 9);
  SetTransparency(f1, true);
  const PaletteEntry& e = a->globalPalette->entries[5];
  SetPref(PrefLoadTransparentColor, e.red | e.green << 8 | e.blue << 16);

  ApplyAutoTransparency(*a);  // bit off: nothing
  EXPECT_FALSE(f0->Transparent());

  SetPrefOn(Pref::LoadTransparentColour, true);
  ApplyAutoTransparency(*a);
  EXPECT_TRUE(f0->Transparent());
  EXPECT_EQ(f0->transparentIndex, 5);
  EXPECT_FALSE(f0->transparencyMask.empty());
  EXPECT_EQ(f1->transparentIndex, 9);  // already transparent
  EXPECT_FALSE(f2->Transparent());     // has true colour

  SingleFrameRestoresBackground(*a);
  EXPECT_EQ(f0->Disposal(), DisposalNone);
  AnimationPtr one = NumberedAnimation(1);
  SingleFrameRestoresBackground(*one);
  EXPECT_EQ(FirstFrame(*one)->Disposal(), DisposalNone);
  FirstFrame(*one)->controlFlags = 0xE1;  // kept bits stay
  SingleFrameRestoresBackground(*one);
  EXPECT_EQ(FirstFrame(*one)->controlFlags, 0xE1 | DisposalBackground << 2);
}

}  // namespace
}  // namespace lw::test
