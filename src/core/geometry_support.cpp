// Helpers shared by the files that resize, turn and crop frames.
#include <algorithm>
#include <cstring>

#include "core/geometry_internal.h"
#include "core/model_internal.h"
#include "core/turn.h"

namespace lw {

namespace {
int failingAllocations = 0;
int passingAllocations = 0;
}  // namespace

void FailNextGeometryAllocations(int count, int after) {
  failingAllocations = std::max(count, 0);
  passingAllocations = std::max(after, 0);
}

namespace geometry {

bool Allocate(std::vector<uint8_t>* buffer, uint64_t size) {
  if (failingAllocations > 0) {
    if (passingAllocations > 0) {
      --passingAllocations;
    } else {
      --failingAllocations;
      return false;
    }
  }
  if (size > MaxImageBytes) return false;
  try {
    buffer->assign(static_cast<size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

bool IndexPlane(const Frame* frame, Plane* plane) {
  model::PixelLayout layout;
  if (!model::DibLayout(frame, &layout) || layout.width == 0 || layout.height == 0) return false;
  *plane = {frame->bits(), layout.width, layout.height, layout.stride};
  return true;
}

bool RgbPlane(const Frame* frame, Plane* plane) {
  if (!frame || frame->rgbPlane.empty() || frame->width == 0 || frame->height == 0) return false;
  uint64_t stride = RgbStride(frame->width);
  if (frame->rgbPlane.size() / stride < frame->height) return false;
  *plane = {frame->rgbPlane.data(), frame->width, frame->height, stride};
  return true;
}

bool AlphaPlane(const Frame* frame, Plane* plane) {
  if (!frame || frame->alphaPlane.empty() || frame->width == 0 || frame->height == 0) return false;
  uint64_t stride = IndexStride(frame->width);
  if (frame->alphaPlane.size() / stride < frame->height) return false;
  *plane = {frame->alphaPlane.data(), frame->width, frame->height, stride};
  return true;
}

std::vector<uint8_t> DibLike(const std::vector<uint8_t>& old, uint32_t width, uint32_t height) {
  std::vector<uint8_t> scratch;
  // The same allocation gate as the other buffers, so tests reach every failure.
  if (!Allocate(&scratch, 0)) return {};
  std::vector<uint8_t> dib = BuildDib(width, height, nullptr);
  if (dib.empty() || old.size() < DibBitsOffset) return dib;
  std::memcpy(dib.data() + DibHeaderSize, old.data() + DibHeaderSize, DibColourTableSize);
  return dib;
}

}  // namespace geometry
}  // namespace lw
