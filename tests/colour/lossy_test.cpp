// The lossy step on whole documents read back by giflib: colours near, transparency kept.
#include "colour/lossy.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "colour/optimize.h"
#include "core/byte_sink.h"
#include "core/compose.h"
#include "core/gif_writer.h"
#include "core/lzw_lossy.h"
#include "support/timeline.h"

namespace lw {
namespace {

using Bytes = std::vector<uint8_t>;
using Reading = std::pair<const Bytes*, size_t>;

Bytes Written(Animation& a) {
  Bytes bytes;
  ByteSink sink(&bytes);
  EXPECT_TRUE(WriteGif(sink, a, nullptr) == GifWriteStatus::Done && sink.Flush());
  return bytes;
}

int ReadBytes(GifFileType* gif, GifByteType* out, int n) {
  auto* r = static_cast<Reading*>(gif->UserData);
  const size_t k = std::min(static_cast<size_t>(n), r->first->size() - r->second);
  std::memcpy(out, r->first->data() + r->second, k);
  r->second += k;
  return static_cast<int>(k);
}

// Every pixel of every frame as giflib decodes it: R, G, B, or -1 where transparent.
std::vector<int> Decoded(const Bytes& bytes) {
  Reading reading{&bytes, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reading, ReadBytes, &error);
  std::vector<int> pixels;
  EXPECT_TRUE(gif && DGifSlurp(gif) == GIF_OK);
  for (int i = 0; gif && i < gif->ImageCount; ++i) {
    const SavedImage& im = gif->SavedImages[i];
    GraphicsControlBlock gcb;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
    for (int k = 0; k < im.ImageDesc.Width * im.ImageDesc.Height; ++k) {
      const GifColorType c = map->Colors[im.RasterBits[k] % map->ColorCount];
      const bool clear = im.RasterBits[k] == gcb.TransparentColor;
      pixels.insert(pixels.end(), {clear ? -1 : c.Red, c.Green, c.Blue});
    }
  }
  if (gif) DGifCloseFile(gif, &error);
  return pixels;
}

// The lossy step at n on a copy of source, checked against source: pixels near, clear ones
// kept, and never a larger file; the lossy file's size.
size_t CheckedLossySize(Animation& source, int n) {
  AnimationPtr lossy = DuplicateAnimation(source, nullptr);
  EXPECT_TRUE(LossyCompressAnimation(*lossy, n, nullptr));
  const Bytes before = Written(source), after = Written(*lossy);
  const std::vector<int> want = Decoded(before), got = Decoded(after);
  EXPECT_TRUE((n > 0 || before == after) && want.size() == got.size());
  EXPECT_LE(after.size(), before.size());
  for (size_t k = 0; k + 2 < std::min(want.size(), got.size()); k += 3) {
    const uint8_t a[3] = {uint8_t(want[k]), uint8_t(want[k + 1]), uint8_t(want[k + 2])};
    const uint8_t b[3] = {uint8_t(got[k]), uint8_t(got[k + 1]), uint8_t(got[k + 2])};
    if ((want[k] < 0) != (got[k] < 0) || LossyDistance30(a, b) > 30u * n)
      return ADD_FAILURE() << "pixel " << k / 3 << " of all frames", 0;
  }
  return after.size();
}

TEST(Lossy, PixelsStayWithinTheToleranceAndPhotoLikePicturesShrink) {
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    AnimationPtr a = test::RandomAnimation(seed, seed % 2);
    // The optimizer's boxes and transparency, and its own parse of the pixels, to beat.
    if (seed % 3 == 0) OptimizeAnimation(*a, OptimizeOptions(optimize::Defaults), nullptr);
    CheckedLossySize(*a, seed % 4 ? seed * 37 % 200 : 0);
  }
  // A smooth grey field with grain, as a photograph reduced to 256 greys is.
  AnimationPtr a = test::MakeDocument(160, 120, test::GreyPalette(256));
  std::mt19937 rng(3);
  test::AddDrawnFrame(*a, 0, 0, 160, 120, [&](uint32_t x, uint32_t y) {
    return 128 + 90 * std::sin(x / 23.0 + y / 41.0) * std::cos(y / 37.0) + rng() % 24;
  });
  EXPECT_LT(CheckedLossySize(*a, 40), Written(*a).size() * 3 / 4);
}

// Every picture as shown, one after the other (none folded into another).
std::vector<uint32_t> Pictures(const Animation& a) {
  std::vector<uint32_t> out;
  FrameViewer viewer;
  viewer.background = test::kNothingShown;
  EXPECT_TRUE(PrepareViewer(&viewer, &a, a.screenWidth, a.screenHeight));
  for (int n = 1; n <= a.frameCount; ++n) {
    ShowPictureUpTo(&viewer, n, false);
    const PixelView v = ViewerPicture(&viewer);
    for (size_t y = 0; y < size_t(v.height); ++y)
      out.insert(out.end(), v.pixels + y * v.stride, v.pixels + y * v.stride + v.width);
  }
  return out;
}

// Clear pixels drawn in from what lies beneath: whatever the disposals and local palettes, every
// pixel shown stays within the tolerance of what was shown there without the lossy step, and the
// file is never larger.
// Every other animation has a close ramp of greys for its palette, each grey near the next, so
// that a pixel drawn in twice could drift two greys away if it were coded from what the step
// made of it before instead of from what was shown.
TEST(Lossy, OverTheScreenEveryShownPixelStaysNear) {
  for (uint32_t seed = 1; seed <= 80; ++seed) {
    AnimationPtr a = test::RandomAnimation(seed, seed % 3 == 0);
    if (seed % 2 == 0 && a->globalPalette) {
      for (int i = 0; i < a->globalPalette->Count(); ++i) {
        const uint8_t grey = static_cast<uint8_t>(std::min(255, 60 + 5 * i));
        a->globalPalette->entries[i] = {grey, grey, grey, 0};
      }
      for (Frame* f = FirstFrame(*a); f; f = NextFrame(f))
        if (!f->localPalette && !f->dib.empty()) SetDibColourTable(f->dib, f->palette);
    }
    if (seed % 2) OptimizeAnimation(*a, OptimizeOptions(optimize::Defaults), nullptr);
    AnimationPtr lossy = DuplicateAnimation(*a, nullptr);
    const uint32_t n = 20 + seed * 13 % 150;
    ASSERT_TRUE(LossyCompressOverScreen(*lossy, static_cast<int>(n), nullptr));
    EXPECT_LE(Written(*lossy).size(), Written(*a).size()) << "seed " << seed;
    const std::vector<uint32_t> want = Pictures(*a), got = Pictures(*lossy);
    for (size_t k = 0; k < std::min(want.size(), got.size()); ++k) {
      const uint8_t x[3] = {uint8_t(want[k] >> 16), uint8_t(want[k] >> 8), uint8_t(want[k])};
      const uint8_t y[3] = {uint8_t(got[k] >> 16), uint8_t(got[k] >> 8), uint8_t(got[k])};
      ASSERT_TRUE((want[k] == test::kNothingShown) == (got[k] == test::kNothingShown) &&
                  LossyDistance30(x, y) <= 30 * n)
          << "seed " << seed << ", pixel " << k;
    }
  }
}

}  // namespace
}  // namespace lw
