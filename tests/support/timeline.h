// What an animation shows over time, the oracle of every change that must keep the pictures
// (optimizer, codec, format round trips): every frame is composed with the preview's compositor,
// and frames that leave the picture as it was are folded into the one before (their time added).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "core/animation.h"
#include "core/frame_viewer.h"
#include "support/document.h"

namespace lw::test {

// No palette the tests build holds this colour, so it marks pixels no frame has drawn.
constexpr uint32_t kNothingShown = 0x00FE01FD;

struct Shown {
  std::vector<uint32_t> pixels;
  uint64_t delay = 0;
};

inline std::vector<Shown> Timeline(const Animation& a) {
  std::vector<Shown> out;
  FrameViewer viewer;
  viewer.background = kNothingShown;
  if (!PrepareViewer(&viewer, &a, a.screenWidth, a.screenHeight)) return out;
  int n = 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    ShowPictureUpTo(&viewer, ++n, false);
    PixelView view = ViewerPicture(&viewer);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < view.height; ++y)
      pixels.insert(pixels.end(), view.pixels + static_cast<size_t>(y) * view.stride,
                    view.pixels + static_cast<size_t>(y) * view.stride + view.width);
    if (!out.empty() && out.back().pixels == pixels) {
      out.back().delay += f->delay;
    } else {
      out.push_back({std::move(pixels), f->delay});
    }
  }
  return out;
}

inline ::testing::AssertionResult SameTimeline(const std::vector<Shown>& a,
                                               const std::vector<Shown>& b) {
  if (a.size() != b.size()) {
    return ::testing::AssertionFailure() << a.size() << " pictures vs " << b.size();
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].delay != b[i].delay) {
      return ::testing::AssertionFailure()
             << "picture " << i << " shown " << a[i].delay << " vs " << b[i].delay;
    }
    if (a[i].pixels != b[i].pixels) {
      size_t k = 0;
      while (a[i].pixels[k] == b[i].pixels[k]) ++k;
      return ::testing::AssertionFailure() << "picture " << i << " differs first at pixel " << k;
    }
  }
  return ::testing::AssertionSuccess();
}

// A random animation: full-screen redraws of a moving sprite, partial patches, transparent
// overlays, disposals 0-3, repeated frames, and optionally local palettes (a reversed copy of
// the global palette, so that equal indexes show other colours).
inline AnimationPtr RandomAnimation(uint32_t seed, bool localPalettes) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  uint32_t sw = 8 + pick(40), sh = 8 + pick(30);
  AnimationPtr a = MakeDocument(sw, sh);
  a->backgroundIndex = static_cast<uint8_t>(pick(16));
  int frames = 2 + pick(10);
  std::vector<uint8_t> last;
  for (int i = 0; i < frames; ++i) {
    int kind = pick(6);
    int disposal = pick(4);
    int transparent = pick(3) == 0 ? pick(16) : -1;
    uint32_t w = 1 + pick(static_cast<int>(sw)), h = 1 + pick(static_cast<int>(sh));
    int32_t x = pick(static_cast<int>(sw - w + 1)), y = pick(static_cast<int>(sh - h + 1));
    if (kind <= 1) {
      x = y = 0;
      w = sw;
      h = sh;
    }
    if (kind == 5 && !last.empty() && FrameAt(*a, a->frameCount - 1)) {
      // The previous frame again.
      const Frame* p = FrameAt(*a, a->frameCount - 1);
      if (!p->localPalette) {
        AddFrame(*a, p->left, p->top, p->width, p->height, Pixels(*p), p->Disposal(),
                 p->Transparent() ? p->transparentIndex : -1, 5 + pick(10));
        continue;
      }
    }
    int sx = pick(static_cast<int>(sw)), sy = pick(static_cast<int>(sh)), flat = pick(4);
    int noise = pick(3);
    Frame* f = AddDrawnFrame(
        *a, x, y, w, h,
        [&](uint32_t px, uint32_t py) {
          bool sprite = px >= static_cast<uint32_t>(sx) && px < static_cast<uint32_t>(sx) + 5 &&
                        py >= static_cast<uint32_t>(sy) && py < static_cast<uint32_t>(sy) + 4;
          if (sprite) return static_cast<uint8_t>(8 + (px + py) % 4);
          if (noise == 0 && rng() % 7 == 0) return static_cast<uint8_t>(rng() % 16);
          return static_cast<uint8_t>(flat + (py / 6) % 2);
        },
        disposal, transparent, 1 + pick(20));
    if (localPalettes && pick(3) == 0) {
      PalettePtr local = CopyPalette(a->globalPalette.get());
      std::reverse(local->entries.begin(), local->entries.end());
      GiveLocalPalette(f, std::move(local));
    }
    last = Pixels(*f);
  }
  return a;
}

}  // namespace lw::test
