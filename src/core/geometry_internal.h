// Helpers shared by the files that resize, turn and crop frames.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

#include "core/animation.h"

namespace lw::geometry {

// A zeroed buffer of size bytes; false when memory is short (or a test made it fail).
bool Allocate(std::vector<uint8_t>* buffer, uint64_t size);

// A plane of a frame as rows of elementSize-byte pixels.
struct Plane {
  const uint8_t* rows = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  uint64_t stride = 0;
};

// The frame's 8-bit rows, 24-bit rows and alpha rows, when present and as large as the frame.
bool IndexPlane(const Frame* frame, Plane* plane);
bool RgbPlane(const Frame* frame, Plane* plane);
bool AlphaPlane(const Frame* frame, Plane* plane);

// A new DIB of width x height carrying the old DIB's colour table (the transparency display
// colour included); empty when memory is short.
std::vector<uint8_t> DibLike(const std::vector<uint8_t>& old, uint32_t width, uint32_t height);

}  // namespace lw::geometry
