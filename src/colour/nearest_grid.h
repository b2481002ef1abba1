// The nearest palette entry of 24-bit colours through a grid over the cube: each cell lists
// only the entries that can be nearest to some point of it (those no farther at their closest
// than the best entry is at its farthest), so a search weighs a handful, not all. The cells
// are listed from cells twice their size, whose lists hold every entry theirs can need.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "core/animation.h"

namespace lw {

class NearestColourGrid {
 public:
  static constexpr int Shift = 3;  // cells of 8 levels a side
  struct Candidate {
    uint8_t r, g, b, index;
  };
  // The cell of a colour in the grid of 2^shift levels a side.
  static uint32_t CellAt(int shift, int r, int g, int b) {
    const int bits = 8 - shift;
    return static_cast<uint32_t>((r >> shift) << 2 * bits | (g >> shift) << bits | b >> shift);
  }

  // Every entry but excluded (-1 none) may be found.
  NearestColourGrid(const std::vector<PaletteEntry>& palette, int excluded);

  // The nearest entry to 0xRRGGBB by squared distance, the lowest index among equals; 0 when
  // no entry may be found.
  uint8_t Find(uint32_t rgb) const {
    const int r = rgb >> 16 & 255, g = rgb >> 8 & 255, b = rgb & 255;
    const uint32_t cell = CellAt(Shift, r, g, b);
    int32_t best = std::numeric_limits<int32_t>::max();
    uint8_t found = 0;
    for (uint32_t k = starts_[cell]; k < starts_[cell + 1]; ++k) {
      const Candidate& c = candidates_[k];
      const int32_t dr = r - c.r, dg = g - c.g, db = b - c.b;
      const int32_t d = dr * dr + dg * dg + db * db;
      if (d < best || (d == best && c.index < found)) best = d, found = c.index;
    }
    return found;
  }

 private:
  std::vector<uint32_t> starts_;  // per cell, where its list begins; one more at the end
  std::vector<Candidate> candidates_;
};

}  // namespace lw
