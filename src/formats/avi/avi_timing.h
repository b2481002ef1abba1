// Where the frames of an exported AVI go: the stream's time step, scale and rate, and the sample
// each frame is written at.
#pragma once

#include <cstdint>
#include <vector>

namespace lw {

struct AviTiming {
  uint32_t step = 1;  // delay units one sample lasts
  uint32_t scale = 1;
  uint32_t rate = 1;
  uint64_t length = 0;  // samples
  // The sample of each frame, then the sample where the last frame is written once more so that
  // it lasts its whole delay (-1 when it ends within the last frame's own sample).
  std::vector<int64_t> samples;
  int64_t repeatSample = -1;
  std::vector<uint64_t> elapsed;  // delay units before each frame
};

// fixedRate: frames per second x 10000 (0: the frame delays decide); delayUnits: units per second.
AviTiming ComputeAviTiming(const std::vector<uint32_t>& delays, uint32_t fixedRate,
                           uint32_t delayUnits);

// The delay of a picture read from a video: delayUnits x samples x scale / rate, rounded down and
// kept within what a frame can hold.
uint32_t VideoDelay(uint32_t delayUnits, int64_t samples, int64_t scale, int64_t rate);

// Codes 8-bit rows (bottom row first, rows of (width + 3) & ~3 bytes) as one RLE8 key frame:
// runs, absolute stretches, end of line and end of bitmap.
std::vector<uint8_t> EncodeRle8(const uint8_t* rows, uint32_t width, uint32_t height);

}  // namespace lw
