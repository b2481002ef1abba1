// The lossy step on whole documents, read back by giflib: every pixel shows a colour within the
// tolerance of its source, transparency stays where it was, and photo-like pictures shrink.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "colour/lossy.h"
#include "core/byte_sink.h"
#include "core/gif_writer.h"
#include "core/lzw_lossy.h"
#include "support/document.h"
#include "support/timeline.h"

namespace lw {
namespace {

using namespace lw::test;

std::vector<uint8_t> Written(Animation& a) {
  std::vector<uint8_t> bytes;
  ByteSink sink(&bytes);
  EXPECT_EQ(WriteGif(sink, a, nullptr), GifWriteStatus::Done);
  sink.Flush();
  return bytes;
}

// What giflib decodes, frame by frame: each pixel's R, G, B, or -1 where it is transparent.
std::vector<std::vector<int>> GiflibColours(const std::vector<uint8_t>& bytes) {
  struct Reader {
    const std::vector<uint8_t>* bytes;
    size_t at;
  } reader{&bytes, 0};
  auto read = [](GifFileType* gif, GifByteType* out, int n) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const size_t k = std::min<size_t>(static_cast<size_t>(n), r->bytes->size() - r->at);
    std::memcpy(out, r->bytes->data() + r->at, k);
    r->at += k;
    return static_cast<int>(k);
  };
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, read, &error);
  std::vector<std::vector<int>> frames;
  EXPECT_TRUE(gif && DGifSlurp(gif) == GIF_OK);
  for (int i = 0; gif && i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock gcb;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    auto& colours = frames.emplace_back();
    for (int k = 0; k < image.ImageDesc.Width * image.ImageDesc.Height; ++k) {
      const GifColorType c = map->Colors[image.RasterBits[k] % map->ColorCount];
      colours.push_back(image.RasterBits[k] == gcb.TransparentColor
                            ? -1
                            : c.Red | c.Green << 8 | c.Blue << 16);
    }
  }
  if (gif) DGifCloseFile(gif, &error);
  return frames;
}

TEST(Lossy, EveryPixelStaysWithinTheToleranceOfItsSource) {
  for (uint32_t seed = 1; seed <= 16; ++seed) {
    SCOPED_TRACE(seed);
    AnimationPtr source = RandomAnimation(seed, seed % 2 == 0);
    AnimationPtr lossy = DuplicateAnimation(*source, nullptr);
    const int n = seed % 4 == 0 ? 0 : static_cast<int>(seed * 37 % 200);
    ASSERT_TRUE(LossyCompressAnimation(*lossy, n, nullptr));
    const std::vector<uint8_t> before = Written(*source), after = Written(*lossy);
    if (n == 0) {
      EXPECT_EQ(before, after);
    }
    const auto want = GiflibColours(before), got = GiflibColours(after);
    ASSERT_EQ(want.size(), got.size());
    for (size_t f = 0; f < want.size(); ++f) {
      for (size_t k = 0; k < want[f].size(); ++k) {
        const int a = want[f][k], b = got[f][k];
        if (a == b) continue;
        ASSERT_TRUE(a >= 0 && b >= 0) << "frame " << f << " pixel " << k << " transparency";
        const uint8_t ca[3] = {uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16)};
        const uint8_t cb[3] = {uint8_t(b), uint8_t(b >> 8), uint8_t(b >> 16)};
        ASSERT_LE(LossyDistance30(ca, cb), 30u * n) << "frame " << f << " pixel " << k;
      }
    }
  }
}

// A smooth colour field with grain, on a palette of close colours, as a photograph reduced to
// 256 colours is.
TEST(Lossy, PhotoLikePictureShrinks) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 256; ++i) rgb.insert(rgb.end(), {uint8_t(i % 16 * 17), uint8_t(i / 16 * 17), 96});
  AnimationPtr a = MakeDocument(160, 120, PaletteFromTriples(256, rgb.data()));
  std::mt19937 rng(3);
  AddDrawnFrame(*a, 0, 0, 160, 120, [&](uint32_t x, uint32_t y) {
    const double r = 128 + 100 * std::sin(x / 23.0 + y / 41.0) + rng() % 24;
    const double g = 128 + 90 * std::cos(y / 19.0 - x / 57.0) + rng() % 24;
    return a->globalPalette->NearestIndex(uint8_t(std::min(r, 255.0)), uint8_t(std::min(g, 255.0)), 96);
  });
  const size_t exact = Written(*a).size();
  ASSERT_TRUE(LossyCompressAnimation(*a, 40, nullptr));
  EXPECT_LT(Written(*a).size(), exact * 3 / 4);
}

}  // namespace
}  // namespace lw
