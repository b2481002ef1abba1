#include "core/true_colour.h"

#include <new>
#include <vector>

#include "core/compose.h"

namespace lw {

TrueColourFacts DescribeTrueColour(const Frame& frame) {
  TrueColourFacts facts;
  DibGeometry g;
  if (frame.rgbPlane.empty() || !GetDibGeometry(frame.dib, &g)) return facts;
  const uint64_t rgbStride = RgbStride(g.width);
  if (rgbStride * g.height > frame.rgbPlane.size()) return facts;
  const bool alpha = frame.alphaPlane.size() >= g.stride * g.height;
  const Palette* palette = frame.palette;
  facts.present = true;
  facts.paletteColours = palette ? palette->Count() : 0;
  // One bit per 24-bit colour.
  std::vector<uint64_t> seen;
  try {
    seen.assign((uint64_t{1} << 24) / 64, 0);
  } catch (const std::bad_alloc&) {
    return facts;
  }
  const uint8_t* bits = frame.bits();
  const auto visible = [&](uint64_t y, uint64_t x) {
    if (alpha) return frame.alphaPlane[y * g.stride + x] != 0;
    return !frame.Transparent() || bits[y * g.stride + x] != frame.transparentIndex;
  };
  for (uint64_t y = 0; y < g.height; ++y) {
    const uint8_t* rgb = frame.rgbPlane.data() + y * rgbStride;
    for (uint64_t x = 0; x < g.width; ++x, rgb += 3) {
      if (!visible(y, x)) continue;
      const uint32_t colour = uint32_t{rgb[2]} << 16 | uint32_t{rgb[1]} << 8 | rgb[0];
      uint64_t& word = seen[colour >> 6];
      const uint64_t bit = uint64_t{1} << (colour & 63);
      if (!(word & bit)) {
        word |= bit;
        ++facts.colours;
      }
      if (facts.gifDiffers) continue;
      const uint8_t index = bits[y * g.stride + x];
      if ((frame.Transparent() && index == frame.transparentIndex) ||
          index >= facts.paletteColours) {
        facts.gifDiffers = true;
        continue;
      }
      const PaletteEntry& e = palette->entries[index];
      facts.gifDiffers = e.red != rgb[2] || e.green != rgb[1] || e.blue != rgb[0];
    }
  }
  return facts;
}

}  // namespace lw
