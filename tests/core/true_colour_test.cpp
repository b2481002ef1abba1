#include "core/true_colour.h"

#include <gtest/gtest.h>

#include "support/document.h"

namespace lw {
namespace {

using namespace test;

// Random greys as 24-bit data over an image of the same greys: the GIF keeps every colour until
// a pixel's colour, the image's palette or its transparency says otherwise. Clear pixels count
// for nothing, whatever colour their data holds.
TEST(TrueColourFacts, CountVisibleColoursAndSeeWhereTheGifDiffers) {
  auto palette = GreyPalette(256);
  const uint32_t w = 7, h = 5;
  std::vector<uint8_t> greys;
  std::vector<uint32_t> colours;
  for (uint32_t i = 0; i < w * h; ++i) {
    greys.push_back(static_cast<uint8_t>(i * 37 % 251));
    colours.push_back(greys.back() * 0x010101u);
  }
  auto frame = [&](const std::vector<uint8_t>& alpha) {
    Frame* f = TrueColourFrame(w, h, colours, alpha);
    Frame* image = IndexedFrame(w, h, palette.get(), greys);
    f->dib = image->dib;
    f->palette = palette.get();
    FreeBlock(image);
    return f;
  };
  Frame* f = frame({});
  TrueColourFacts facts = DescribeTrueColour(*f);
  EXPECT_TRUE(facts.present);
  EXPECT_EQ(facts.colours, w * h);
  EXPECT_FALSE(facts.gifDiffers);
  EXPECT_EQ(facts.paletteColours, 256);

  f->rgbPlane[3 * 4] ^= 1;  // one pixel's blue: a colour the image does not show
  facts = DescribeTrueColour(*f);
  EXPECT_EQ(facts.colours, w * h);
  EXPECT_TRUE(facts.gifDiffers);
  f->rgbPlane[3 * 4] ^= 1;

  SetTransparentIndex(f, greys[10]);  // the image shows that pixel clear
  SetTransparency(f, true);
  facts = DescribeTrueColour(*f);
  EXPECT_EQ(facts.colours, w * h - 1);
  EXPECT_FALSE(facts.gifDiffers);
  FreeBlock(f);

  std::vector<uint8_t> alpha(w * h, 255);
  alpha[3] = alpha[20] = 0;
  f = frame(alpha);  // with an alpha plane, visible pixels the image shows clear differ
  SetTransparentIndex(f, greys[20]);
  SetTransparency(f, true);
  facts = DescribeTrueColour(*f);
  EXPECT_EQ(facts.colours, w * h - 2);
  EXPECT_FALSE(facts.gifDiffers);
  SetTransparentIndex(f, greys[21]);
  EXPECT_TRUE(DescribeTrueColour(*f).gifDiffers);
  FreeBlock(f);
}

}  // namespace
}  // namespace lw
