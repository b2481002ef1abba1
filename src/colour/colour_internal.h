// Helpers shared by the colour engine's source files.
#pragma once

#include <cstdint>
#include <vector>

#include "colour/colour_engine.h"
#include "core/animation.h"

namespace lw::colour {

// The 8-bit rows of a frame's DIB, checked against the buffer.
struct IndexLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  uint64_t stride = 0;
};

inline bool FrameIndexLayout(const Frame* frame, IndexLayout* layout) {
  if (!frame || frame->dib.size() < DibBitsOffset) return false;
  layout->width = frame->DibWidth();
  layout->height = frame->DibHeight();
  layout->stride = IndexStride(layout->width);
  return layout->width > 0 && layout->height > 0 &&
         layout->stride * layout->height <= frame->dib.size() - DibBitsOffset;
}

// The frame's 8-bit picture as a pixel source, laid out as FrameIndexLayout found it.
inline PixelSource IndexedSource(const Frame* frame, const IndexLayout& layout) {
  PixelSource source;
  source.width = layout.width;
  source.height = layout.height;
  source.indexRows = frame->bits();
  source.indexStride = layout.stride;
  source.palette = frame->palette;
  source.transparentIndex = frame->Transparent() ? frame->transparentIndex : -1;
  return source;
}

// Frames that use the global palette: no local palette.
inline bool UsesGlobalPalette(const Frame* frame) { return !frame->localPalette; }

// Usage of the global palette's indexes by the global frames, counted now (the stored counters
// may be stale while the background count runs). opaque leaves out transparent pixels.
void CountGlobalUsage(const Animation& animation, uint32_t* counts, bool opaque);

// True when some frame without a local palette is transparent.
bool SomeGlobalFrameTransparent(const Animation& animation);

// The index a frame's transparent index t takes under mapping: mapping[t], or, when an opaque
// colour lands there too, the lowest index of the new palette that nothing maps to (if any).
uint16_t TransparentTarget(const PaletteMapping& mapping, uint8_t t, int paletteCount);

// One frame of RemapGlobalFrames.
void RemapGlobalFrame(Frame* frame, Palette* palette, const PaletteMapping& mapping);

}  // namespace lw::colour
