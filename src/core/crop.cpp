// Cropping a frame in place, and clipping it to the logical screen.
#include <algorithm>
#include <cstring>

#include "core/animation.h"
#include "core/model_internal.h"

namespace lw {
namespace {

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Moves the kept area to the start of the buffer, row by row; destinations never pass their
// sources, since the new stride is at most the old one.
void MoveRows(uint8_t* data, uint64_t oldStride, uint64_t newStride, uint64_t x0, uint64_t y0,
              uint64_t rowBytes, uint64_t rows) {
  for (uint64_t r = 0; r < rows; ++r) {
    uint8_t* to = data + r * newStride;
    std::memmove(to, data + (y0 + r) * oldStride + x0, rowBytes);
    std::memset(to + rowBytes, 0, newStride - rowBytes);
  }
}

// The frame collapses to one pixel at the screen's corner, shown transparent.
void MakeOnePixelFrame(Frame* frame) {
  frame->left = 0;
  frame->top = 0;
  frame->width = 1;
  frame->height = 1;
  FreeRgbPlane(frame);
  RemoveTransparencyMask(frame);
  if (!frame->Transparent()) {
    frame->transparentIndex = 0;
    frame->controlFlags |= 1;
  }
  if (frame->dib.size() >= DibBitsOffset + 4) {
    SetDibSize(frame, 1, 1);
  } else if (!frame->dib.empty()) {
    std::vector<uint8_t> dib = BuildDib(1, 1, frame->palette);
    if (!dib.empty()) frame->dib = std::move(dib);
  }
  if (uint8_t* bits = frame->bits()) {
    bits[0] = frame->transparentIndex;
    bits[1] = bits[2] = bits[3] = 0;
  }
  RebuildTransparencyMask(frame);
}

}  // namespace

void CropFrame(Frame* frame, int32_t x0, int32_t y0, int32_t w, int32_t h) {
  if (!frame) return;
  model::PixelLayout layout;
  bool hasDib = model::DibLayout(frame, &layout);
  uint64_t oldWidth = hasDib ? layout.width : frame->width;
  uint64_t oldHeight = hasDib ? layout.height : frame->height;
  // Only the part of the area that lies on the frame can be kept.
  int64_t left = std::max<int64_t>(x0, 0), top = std::max<int64_t>(y0, 0);
  int64_t right = std::min<int64_t>(int64_t{x0} + w, static_cast<int64_t>(oldWidth));
  int64_t bottom = std::min<int64_t>(int64_t{y0} + h, static_cast<int64_t>(oldHeight));
  if (w < 1 || h < 1 || right <= left || bottom <= top) {
    MakeOnePixelFrame(frame);
    return;
  }
  uint64_t newWidth = right - left, newHeight = bottom - top;
  uint64_t cx = left, cy = top;

  if (hasDib) {
    MoveRows(frame->bits(), layout.stride, IndexStride(newWidth), cx, cy, newWidth, newHeight);
  }
  if (!frame->alphaPlane.empty()) {
    uint64_t stride = IndexStride(oldWidth);
    if (stride * oldHeight <= frame->alphaPlane.size()) {
      MoveRows(frame->alphaPlane.data(), stride, IndexStride(newWidth), cx, cy, newWidth,
               newHeight);
    } else {
      frame->alphaPlane = {};  // does not match the image: useless after a crop
    }
  }
  if (!frame->rgbPlane.empty()) {
    uint64_t stride = RgbStride(oldWidth);
    if (stride * oldHeight <= frame->rgbPlane.size()) {
      MoveRows(frame->rgbPlane.data(), stride, RgbStride(newWidth), 3 * cx, cy, 3 * newWidth,
               newHeight);
    } else {
      FreeRgbPlane(frame);
    }
  }

  frame->width = static_cast<uint32_t>(newWidth);
  frame->height = static_cast<uint32_t>(newHeight);
  SetDibSize(frame, frame->width, static_cast<int32_t>(newHeight));
  frame->left = ClampToInt32(int64_t{frame->left} + left);
  frame->top = ClampToInt32(int64_t{frame->top} + top);
  TouchFrame(frame);
  RebuildTransparencyMask(frame);
}

void ClipFrameToScreen(Frame* frame, uint32_t screenWidth, uint32_t screenHeight) {
  if (!frame) return;
  int64_t left = frame->left, top = frame->top;
  int64_t right = left + frame->width, bottom = top + frame->height;
  if (left >= 0 && top >= 0 && right <= screenWidth && bottom <= screenHeight) return;
  int64_t x0 = left < 0 ? -left : 0;
  int64_t y0 = top < 0 ? -top : 0;
  int64_t keptWidth = std::min<int64_t>(right, screenWidth) - std::max<int64_t>(left, 0);
  int64_t keptHeight = std::min<int64_t>(bottom, screenHeight) - std::max<int64_t>(top, 0);
  CropFrame(frame, ClampToInt32(x0), ClampToInt32(y0), ClampToInt32(keptWidth),
            ClampToInt32(keptHeight));
}

}  // namespace lw
