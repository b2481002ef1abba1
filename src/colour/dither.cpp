// Error-diffusion dithering and plain mapping of pixels onto a palette.
#include <algorithm>
#include <new>

#include "base/messages.h"
#include "base/string_ids.h"
#include "colour/colour_engine.h"
#include "colour/colour_internal.h"
#include "core/alpha_rule.h"

namespace lw {

namespace {

constexpr int ThresholdOffsets[4][4] = {
    {6, 0, 5, -1},
    {2, 4, 1, 3},
    {5, -1, 6, 0},
    {1, 3, 2, 4},
};

// Error rows are kept between calls and grown for the widest image; each thread has its own, so
// a background preview never shares them with the interface thread.
thread_local std::vector<int32_t> errorRows;

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

bool SourceFits(const PixelSource& s) {
  if (s.width == 0 || s.height == 0) return false;
  if (s.indexRows) return s.indexStride >= s.width;
  if (!s.rgbRows || s.rgbStride < uint64_t{3} * s.width) return false;
  return !s.alphaRows || s.alphaStride >= s.width;
}

// The colour of a source pixel, false when it is transparent.
bool SourceColour(const PixelSource& s, uint32_t x, uint32_t y, int rgb[3]) {
  if (s.indexRows) {
    uint8_t index = s.indexRows[y * s.indexStride + x];
    if (index == s.transparentIndex) return false;
    if (s.palette && index < s.palette->Count()) {
      const PaletteEntry& e = s.palette->entries[index];
      rgb[0] = e.red, rgb[1] = e.green, rgb[2] = e.blue;
    } else {
      rgb[0] = rgb[1] = rgb[2] = 0;
    }
    return true;
  }
  if (s.alphaRows && IsClearAlpha(s.alphaRows[y * s.alphaStride + x])) return false;
  const uint8_t* p = s.rgbRows + y * s.rgbStride + 3 * uint64_t{x};
  rgb[0] = p[2], rgb[1] = p[1], rgb[2] = p[0];
  return true;
}

}  // namespace

int DitherOffset(uint32_t row, uint32_t column) { return ThresholdOffsets[row & 3][column & 3]; }

int DitherCell(int value, int offset) {
  if (offset < 0) {
    if (value < 8) return 0;
    if (value >= 255) return 31;
    return std::min(31, std::max(1, (value - 8) / 8));
  }
  if (value + offset < 7) return 0;
  return std::min(31, std::max(1, (value + offset - 7) / 8));
}

bool DitherToPalette(const PixelSource& source, const Palette& target, uint8_t transparentOut,
                     uint8_t* out, uint64_t outStride, int excludedIndex) {
  if (!out || !SourceFits(source) || outStride < source.width || target.Count() == 0) return false;
  std::shared_ptr<const InverseColourMap> map = BuildInverseColourMap(target, excludedIndex);
  if (!map) return false;
  size_t rowLength = 3 * (size_t{source.width} + 2);  // one pixel of margin on each side
  try {
    if (errorRows.size() < 2 * rowLength) errorRows.assign(2 * rowLength, 0);
  } catch (const std::bad_alloc&) {
    ShowErrorId(str::NoResourcesForDitherError);
    return false;
  }
  std::fill(errorRows.begin(), errorRows.begin() + 2 * rowLength, 0);
  int32_t* current = errorRows.data();
  int32_t* below = current + rowLength;
  const PaletteEntry* entries = target.entries.data();
  for (uint32_t y = 0; y < source.height; ++y) {
    uint8_t* outRow = out + y * outStride;
    for (uint32_t x = 0; x < source.width; ++x) {
      int rgb[3];
      if (!SourceColour(source, x, y, rgb)) {
        outRow[x] = transparentOut;  // its error is dropped, and it passes none on
        continue;
      }
      const int32_t* error = current + 3 * (size_t{x} + 1);
      int offset = DitherOffset(y, x);
      int value[3], cell[3];
      for (int c = 0; c < 3; ++c) {
        value[c] = Clamp255(rgb[c] + error[c] / 16);
        cell[c] = DitherCell(value[c], offset);
      }
      uint8_t chosen = map->cells[(cell[0] << 10) | (cell[1] << 5) | cell[2]];
      outRow[x] = chosen;
      const PaletteEntry& e = entries[chosen];
      int diff[3] = {value[0] - e.red, value[1] - e.green, value[2] - e.blue};
      int32_t* right = current + 3 * (size_t{x} + 2);
      int32_t* belowLeft = below + 3 * size_t{x};
      for (int c = 0; c < 3; ++c) {
        right[c] += 7 * diff[c];
        belowLeft[c] += 3 * diff[c];
        belowLeft[3 + c] += 5 * diff[c];
        belowLeft[6 + c] += diff[c];
      }
    }
    std::fill(current, current + rowLength, 0);
    std::swap(current, below);
  }
  return true;
}

bool MapTrueColour(const PixelSource& source, const Palette& target, uint8_t transparentOut,
                   uint8_t* out, uint64_t outStride, int excludedIndex) {
  if (!out || !source.rgbRows || !SourceFits(source) || outStride < source.width ||
      target.Count() == 0) {
    return false;
  }
  std::shared_ptr<const InverseColourMap> map = BuildInverseColourMap(target, excludedIndex);
  if (!map) return false;
  for (uint32_t y = 0; y < source.height; ++y) {
    uint8_t* outRow = out + y * outStride;
    const uint8_t* p = source.rgbRows + y * source.rgbStride;
    const uint8_t* alpha = source.alphaRows ? source.alphaRows + y * source.alphaStride : nullptr;
    for (uint32_t x = 0; x < source.width; ++x, p += 3) {
      outRow[x] = alpha && IsClearAlpha(alpha[x]) ? transparentOut : map->Lookup(p[2], p[1], p[0]);
    }
  }
  return true;
}

bool DitherFrameToPalette(Frame* frame, const Palette& target, uint8_t transparentOut,
                          int excludedIndex) {
  colour::IndexLayout layout;
  if (!colour::FrameIndexLayout(frame, &layout)) return false;
  return DitherToPalette(colour::IndexedSource(frame, layout), target, transparentOut,
                         frame->bits(), layout.stride, excludedIndex);
}

}  // namespace lw
