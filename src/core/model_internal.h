// Helpers shared by the model's source files.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/animation.h"

namespace lw::model {

inline int32_t ReadLe32(const uint8_t* p) {
  uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  return static_cast<int32_t>(v);
}

inline void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = v & 0xFF;
  p[1] = (v >> 8) & 0xFF;
  p[2] = (v >> 16) & 0xFF;
  p[3] = (v >> 24) & 0xFF;
}

// The pixel rows of a frame as its DIB holds them, checked against the buffer.
struct PixelLayout {
  uint32_t width = 0;   // DIB width
  uint32_t height = 0;  // DIB height
  uint64_t stride = 0;
};

// False when the frame has no DIB or the DIB is shorter than its header says.
bool DibLayout(const Frame* frame, PixelLayout* layout);

}  // namespace lw::model
