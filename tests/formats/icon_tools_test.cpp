// Other programs read the icons and cursors written here: ImageMagick decodes every image to the
// same pixels, icotool (icoutils) lists every entry with its size, depth and hot spot. Skipped
// where the tool is missing.
#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>

#include "flow_fixture.h"
#include "formats/ico/ico_format.h"
#include "formats/ico/icon_image.h"
#include "support/tools.h"

namespace lw::test {
namespace {

// An icon of every depth the writer chooses, sizes all different, transparency in each.
AnimationPtr IconDocument() {
  AnimationPtr doc = MakeDocument(40, 40);
  const uint8_t bw[] = {0, 0, 0, 255, 255, 255, 7, 7, 7};
  const uint8_t standard[] = {255, 0, 0, 0, 0, 128, 192, 192, 192, 1, 2, 3};
  struct Spec {
    uint32_t w, h;
    const uint8_t* rgb;
    int colours, transparent;
  } specs[] = {{16, 16, bw, 3, 2}, {32, 32, standard, 4, 3}, {40, 24, nullptr, 16, 5}};
  for (const Spec& s : specs) {
    std::vector<uint8_t> pixels;
    for (uint32_t y = 0; y < s.h; ++y)
      for (uint32_t x = 0; x < s.w; ++x)
        pixels.push_back(
            static_cast<uint8_t>(x + y < 4 ? s.transparent : (x / 3 + y) % (s.colours - 1)));
    Frame* f = AddFrame(*doc, 0, 0, s.w, s.h, pixels, 0, s.transparent);
    if (s.rgb) {
      SetLocalPalette(f, PaletteFromTriples(s.colours, s.rgb));
      UpdateDibColourTable(f);
    }
    f->hotspotX = static_cast<int32_t>(s.w / 2);
    f->hotspotY = 3;
  }
  Frame* rgba = AddFrame(*doc, 0, 0, 20, 20, std::vector<uint8_t>(400, 1));
  std::vector<uint8_t> rgb(RgbStride(20) * 20), alpha(IndexStride(20) * 20, 255);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7);
  alpha[0] = alpha[21] = 0;
  SetRgbPlane(rgba, std::move(rgb));
  SetAlphaPlane(rgba, std::move(alpha));
  return doc;
}

// RGBA as ImageMagick reads it: transparent pixels as 0, others with alpha 255.
std::vector<uint8_t> ExpectedRgba(const Frame& f) {
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < f.height; ++y)
    for (uint32_t x = 0; x < f.width; ++x) {
      if (!f.rgbPlane.empty()) {
        const uint8_t* p = &f.rgbPlane[y * RgbStride(f.width) + 3 * x];
        uint8_t a = f.alphaPlane[y * IndexStride(f.width) + x];
        if (a == 0)
          out.insert(out.end(), {0, 0, 0, 0});
        else
          out.insert(out.end(), {p[2], p[1], p[0], a});
        continue;
      }
      uint8_t index = Pixel(&f, x, y);
      if (f.Transparent() && index == f.transparentIndex) {
        out.insert(out.end(), {0, 0, 0, 0});
      } else {
        const PaletteEntry& e = f.palette->entries[index];
        out.insert(out.end(), {e.red, e.green, e.blue, 255});
      }
    }
  return out;
}

// Transparent pixels compare by alpha alone: their colour is whatever the file holds.
std::vector<uint8_t> ClearTransparent(std::vector<uint8_t> rgba) {
  for (size_t i = 0; i + 3 < rgba.size(); i += 4)
    if (rgba[i + 3] == 0) rgba[i] = rgba[i + 1] = rgba[i + 2] = 0;
  return rgba;
}

class IconToolsTest : public FlowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(IconToolsTest, ImageMagickReadsTheSamePixels) {
  if (!HasTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const bool iconMode = GetParam();
  AnimationPtr doc = IconDocument();
  std::string path = Path(iconMode ? "tools.ico" : "tools.cur");
  ASSERT_TRUE(WriteIconFile(path, *doc, iconMode, nullptr));
  for (int i = 0; i < doc->frameCount; ++i) {
    SCOPED_TRACE(i);
    const Frame& f = *FrameAt(*doc, i);
    std::string format = iconMode ? "ico:" : "cur:";
    std::string got = Output("convert '" + format + path + "[" + std::to_string(i) +
                             "]' -depth 8 rgba:- 2>/dev/null");
    std::vector<uint8_t> rgba(got.begin(), got.end());
    ASSERT_EQ(rgba.size(), 4u * f.width * f.height);
    EXPECT_EQ(ClearTransparent(rgba), ExpectedRgba(f));
  }
}

TEST_P(IconToolsTest, IcotoolListsEveryEntry) {
  if (!HasTool("icotool")) GTEST_SKIP() << "icoutils is not installed";
  const bool iconMode = GetParam();
  AnimationPtr doc = IconDocument();
  std::string path = Path(iconMode ? "list.ico" : "list.cur");
  ASSERT_TRUE(WriteIconFile(path, *doc, iconMode, nullptr));
  std::string listing = Output("icotool -l '" + path + "' 2>&1");
  const int depths[] = {1, 4, 8, 32};
  std::string expected;
  for (int i = 0; i < doc->frameCount; ++i) {
    const Frame& f = *FrameAt(*doc, i);
    expected += std::string(iconMode ? "--icon" : "--cursor") +
                " --index=" + std::to_string(i + 1) + " --width=" + std::to_string(f.width) +
                " --height=" + std::to_string(f.height) +
                " --bit-depth=" + std::to_string(depths[i]) +
                " --palette-size=" + std::to_string(depths[i] <= 8 ? 1 << depths[i] : 0);
    if (!iconMode)
      expected += " --hotspot-x=" + std::to_string(f.hotspotX < 0 ? 0 : f.hotspotX) +
                  " --hotspot-y=" + std::to_string(f.hotspotY < 0 ? 0 : f.hotspotY);
    expected += "\n";
  }
  EXPECT_EQ(listing, expected);
}

INSTANTIATE_TEST_SUITE_P(IcoAndCur, IconToolsTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "ico" : "cur");
                         });

}  // namespace
}  // namespace lw::test
