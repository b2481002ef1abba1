// What a GIF decoder has on screen between frames, index by index, for the optimizer's frame step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lw {

struct ScreenModel {
  uint32_t width = 0;
  uint32_t height = 0;
  size_t screenStride = 0;      // screen width rounded up to 4
  std::vector<uint8_t> screen;  // the index shown at each pixel (meaningful where valid)
  // Per pixel: Cleared (never drawn, or restored to background), Known (screen holds the index)
  // or Unknown (something is shown whose index cannot be compared: a local palette's frame).
  std::vector<uint8_t> valid;
  std::vector<uint8_t> changed;  // per frame: 1 where the frame's pixel must be shown by it
  uint64_t shownCount = 0;       // pixels that are not Cleared

  static constexpr uint8_t Cleared = 0;
  static constexpr uint8_t Known = 1;
  static constexpr uint8_t Unknown = 2;

  // Frames are cut to the screen first, so the changed plane is allocated at screen size once.
  // False when memory is short (the model is then empty).
  bool Allocate(uint32_t screenWidth, uint32_t screenHeight);
  void Clear();
};

}  // namespace lw
