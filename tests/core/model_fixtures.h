// Small documents drawn in code for the model tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/animation.h"
#include "shell/preferences.h"

namespace lw::test {

// A palette of n entries: entry i is (i, 255 - i, i / 2).
inline PalettePtr RampPalette(int n) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < n; ++i) {
    rgb.push_back(static_cast<uint8_t>(i));
    rgb.push_back(static_cast<uint8_t>(255 - i));
    rgb.push_back(static_cast<uint8_t>(i / 2));
  }
  return PaletteFromTriples(n, rgb.data());
}

// A frame of w x h with a DIB from palette whose pixel (x, y) is pixel(x, y).
inline Frame* MakeFrame(uint32_t w, uint32_t h, Palette* palette,
                        const std::function<uint8_t(uint32_t, uint32_t)>& pixel = {}) {
  Frame* frame = NewFrame(w, h);
  if (!frame) return nullptr;
  frame->palette = palette;
  if (!NewFrameDib(frame)) {
    FreeBlock(frame);
    return nullptr;
  }
  if (pixel) {
    uint64_t stride = IndexStride(frame->DibWidth());
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) frame->bits()[y * stride + x] = pixel(x, y);
  }
  return frame;
}

inline uint8_t Pixel(const Frame* frame, uint32_t x, uint32_t y) {
  return frame->bits()[y * IndexStride(frame->DibWidth()) + x];
}

// An animation with a global palette of 16 entries and frames whose every pixel is its number
// (1, 2, ...), each named "frame n".
inline AnimationPtr NumberedAnimation(int frames, uint32_t w = 4, uint32_t h = 3) {
  AnimationPtr animation = NewAnimation();
  SetGlobalPalette(*animation, RampPalette(16));
  animation->screenWidth = w;
  animation->screenHeight = h;
  Block* last = animation->blocks;
  for (int i = 1; i <= frames; ++i) {
    Frame* f = MakeFrame(w, h, animation->globalPalette.get(),
                         [i](uint32_t, uint32_t) { return static_cast<uint8_t>(i); });
    SetFrameName(f, "frame " + std::to_string(i));
    InsertBlockAfter(last, f);
    last = f;
    ++animation->frameCount;
  }
  return animation;
}

// The first pixel of every frame, in list order.
inline std::vector<int> FrameNumbers(const Animation& animation) {
  std::vector<int> numbers;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) numbers.push_back(f->bits()[0]);
  return numbers;
}

// Every test starts from the default preference words.
class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadPreferences(); }
  void TearDown() override { LoadPreferences(); }
};

}  // namespace lw::test
