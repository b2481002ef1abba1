#include "colour/refine_hq.h"

#include <gtest/gtest.h>

#include <random>

#include "colour/optimize.h"
#include "core/frame_viewer.h"
#include "core/gif_writer.h"
#include "support/document.h"

namespace lw {
namespace {

using namespace test;

// A still background of noisy patches, each tile of its own hue (far more colours than a
// palette holds), under a small square that moves each frame: frame k's source, as 0xRRGGBB.
uint32_t Source(uint32_t k, uint32_t x, uint32_t y) {
  if (x >= 20 + 17 * k && x < 36 + 17 * k && y >= 40 && y < 56) return 0xF0F020;
  std::mt19937 noise(y * 1009 + x);
  const uint32_t hue = (x / 64 + 4 * (y / 64)) * 2654435761u;
  auto channel = [&](uint32_t c) {
    const int base = static_cast<int>((hue >> (8 * c)) & 255);
    return static_cast<uint32_t>(std::clamp(base + static_cast<int>(noise() % 49) - 24, 0, 255));
  };
  return channel(0) << 16 | channel(1) << 8 | channel(2);
}

constexpr uint32_t kW = 256, kH = 128, kFrames = 8;

AnimationPtr Clip() {
  AnimationPtr a = MakeDocument(kW, kH);
  for (uint32_t k = 0; k < kFrames; ++k) {
    std::vector<uint32_t> rgb;
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) rgb.push_back(Source(k, x, y));
    Append(*a, TrueColourFrame(kW, kH, rgb));
  }
  return a;
}

int Error2(uint32_t a, uint32_t b) {
  int sum = 0;
  for (int shift : {0, 8, 16}) {
    const int d = static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255);
    sum += d * d;
  }
  return sum;
}

// Each frame as the viewer composes it against its source: the summed and the largest error.
std::pair<int64_t, int> Errors(const Animation& a) {
  FrameViewer viewer;
  EXPECT_TRUE(PrepareViewer(&viewer, &a, kW, kH));
  int64_t sum = 0;
  int worst = 0;
  for (uint32_t k = 0; k < kFrames; ++k) {
    ShowPictureUpTo(&viewer, static_cast<int>(k) + 1, false);
    const PixelView view = ViewerPicture(&viewer);
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        const int e = Error2(view.pixels[size_t{y} * view.stride + x], Source(k, x, y));
        sum += e;
        worst = std::max(worst, e);
      }
  }
  return {sum, worst};
}

AnimationPtr Reduced(int refineTiles) {
  AnimationPtr a = Clip();
  std::vector<Frame*> frames;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) frames.push_back(f);
  QualitySettings settings = QualityFor(100);
  settings.refineTiles = refineTiles;
  PalettePtr palette;
  EXPECT_EQ(QuantizeFrames(frames, settings, nullptr, &palette), 1);
  SetGlobalPalette(*a, std::move(palette));
  return a;
}

// Refined, every frame shows its moving square where it is now (no trail left behind, none
// missing) and no pixel further from its source than the shared palette alone leaves one; the
// clip as a whole comes closer. The optimizer, told to leave the local tables, keeps all of it.
TEST(RefineStill, StillBackgroundComesCloserAndMovingPartsStayRight) {
  const auto [plainSum, plainWorst] = Errors(*Reduced(0));
  AnimationPtr refined = Reduced(1);
  int locals = 0;
  for (Frame* f = FirstFrame(*refined); f; f = NextFrame(f)) locals += f->localPalette != nullptr;
  EXPECT_GT(locals, 0);
  const auto [sum, worst] = Errors(*refined);
  EXPECT_LE(worst, plainWorst);
  EXPECT_LT(sum * 10, plainSum * 9);
  OptimizeAnimation(*refined, OptimizeOptions(optimize::Defaults & ~optimize::RemoveLocalPalettes),
                    nullptr);
  EXPECT_EQ(Errors(*refined), std::make_pair(sum, worst));
}

// A palette made for frames that keep their 24-bit pictures leaves every frame whole with its
// data, for the writers of 24-bit types; refined when the GIF is to be made, the frames become
// exactly those the palette would have been refined into at once.
TEST(RefineStill, RefiningWhenTheGifIsMadeGivesWhatRefiningAtOnceGives) {
  AnimationPtr now = Reduced(1);
  AnimationPtr later = Clip();
  std::vector<Frame*> frames;
  for (Frame* f = FirstFrame(*later); f; f = NextFrame(f)) frames.push_back(f);
  QualitySettings settings = QualityFor(100);
  settings.refineTiles = 1;
  settings.keepTrueColour = true;
  PalettePtr palette;
  ASSERT_EQ(QuantizeFrames(frames, settings, nullptr, &palette), 1);
  SetGlobalPalette(*later, std::move(palette));
  for (const Frame* f : frames) {
    EXPECT_EQ(std::make_tuple(f->width, f->left, f->localPalette != nullptr),
              std::make_tuple(kW, 0, false));
    EXPECT_EQ(f->rgbPlane.size(), RgbStride(kW) * kH);
  }
  settings.keepTrueColour = false;
  ASSERT_TRUE(RefineFromTrueColour(*later, settings, nullptr));
  EXPECT_FALSE(FrameAt(*later, 1)->rgbPlane.size());
  // The first frame's data is still its picture; made at once, it was not kept.
  FreeRgbPlane(FirstFrame(*later));
  EXPECT_TRUE(SameAnimation(*later, *now));
  EXPECT_FALSE(RefineFromTrueColour(*later, settings, nullptr));  // once only
}

// The palette is the one a single thread makes, however the pictures were shared out between
// the threads counting their colours: a thread that met few colours, merged with one that met
// too many to count, once took its few for all there were (a two-colour palette, now and then).
TEST(RefineStill, ThePaletteDoesNotDependOnTheThreadsThatCountColours) {
  SetGifEncoderThreads(1);
  const std::vector<PaletteEntry> one = Reduced(0)->globalPalette->entries;
  for (int threads : {2, 8, 8, 8}) {
    SetGifEncoderThreads(threads);
    EXPECT_EQ(Reduced(0)->globalPalette->entries, one) << threads << " threads";
  }
  SetGifEncoderThreads(0);
}

}  // namespace
}  // namespace lw
