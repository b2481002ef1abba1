#include "colour/nearest_grid.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace lw {

namespace {

using Candidate = NearestColourGrid::Candidate;

// The lists of every cell of 2^shift levels a side, each taken from pool(its low corner).
template <typename Pool>
void Fill(int shift, Pool pool, std::vector<uint32_t>* starts, std::vector<Candidate>* lists) {
  const int bits = 8 - shift, side = 1 << bits, mask = side - 1;
  starts->assign(size_t{1} << 3 * bits, 0);
  starts->push_back(0);
  std::vector<int32_t> nearest;
  for (int cell = 0; cell < side * side * side; ++cell) {
    const int low[3] = {(cell >> 2 * bits) << shift, (cell >> bits & mask) << shift,
                        (cell & mask) << shift};
    const auto [first, last] = pool(low);
    nearest.clear();
    int32_t bound = std::numeric_limits<int32_t>::max();
    for (const Candidate* c = first; c != last; ++c) {
      const int v[3] = {c->r, c->g, c->b};
      int32_t nearSum = 0, farSum = 0;
      for (int d = 0; d < 3; ++d) {
        const int lo = low[d], hi = low[d] + (1 << shift) - 1;
        const int inside = v[d] < lo ? lo - v[d] : v[d] > hi ? v[d] - hi : 0;
        const int far = std::max(v[d] - lo, hi - v[d]);
        nearSum += inside * inside;
        farSum += far * far;
      }
      nearest.push_back(nearSum);
      bound = std::min(bound, farSum);
    }
    for (const Candidate* c = first; c != last; ++c)
      if (nearest[c - first] <= bound) lists->push_back(*c);
    (*starts)[cell + 1] = static_cast<uint32_t>(lists->size());
  }
}

}  // namespace

NearestColourGrid::NearestColourGrid(const std::vector<PaletteEntry>& palette, int excluded) {
  std::vector<Candidate> all;
  for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
    const PaletteEntry& e = palette[i];
    if (i != excluded) all.push_back({e.red, e.green, e.blue, static_cast<uint8_t>(i)});
  }
  // From cells of 32 levels a side down to the finest, each level's lists from the last's.
  std::vector<uint32_t> coarseStarts = {0, static_cast<uint32_t>(all.size())};
  std::vector<Candidate> coarse = std::move(all);
  for (int shift = 5; shift >= Shift; --shift) {
    std::vector<uint32_t> starts;
    std::vector<Candidate> lists;
    Fill(
        shift,
        [&](const int* low) {
          const uint32_t cell =
              shift == 5 ? 0 : NearestColourGrid::CellAt(shift + 1, low[0], low[1], low[2]);
          return std::make_pair(coarse.data() + coarseStarts[cell],
                                coarse.data() + coarseStarts[cell + 1]);
        },
        &starts, &lists);
    coarseStarts = std::move(starts);
    coarse = std::move(lists);
  }
  starts_ = std::move(coarseStarts);
  candidates_ = std::move(coarse);
}

}  // namespace lw
