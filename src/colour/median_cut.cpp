// The median-cut quantizer over a palette's colour histogram, and palette reduction.
#include <algorithm>
#include <new>

#include "base/progress.h"
#include "colour/colour_engine.h"

namespace lw {

namespace {

// A non-empty histogram cell: 6 bits per channel.
struct Cell {
  int c[3];
  uint64_t count;
};

struct Box {
  int min[3] = {0, 0, 0};
  int max[3] = {63, 63, 63};
  uint64_t count = 0;
  bool unsplittable = false;
};

bool Inside(const Box& box, const Cell& cell) {
  for (int a = 0; a < 3; ++a) {
    if (cell.c[a] < box.min[a] || cell.c[a] > box.max[a]) return false;
  }
  return true;
}

// The smallest box holding every non-empty cell of the box. The histogram has at most 256 filled
// cells, so the cells are walked rather than the box's volume.
void Shrink(Box& box, const std::vector<Cell>& cells) {
  int lo[3] = {64, 64, 64}, hi[3] = {-1, -1, -1};
  for (const Cell& cell : cells) {
    if (!Inside(box, cell)) continue;
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], cell.c[a]);
      hi[a] = std::max(hi[a], cell.c[a]);
    }
  }
  if (hi[0] < 0) {
    box.unsplittable = true;
    return;
  }
  for (int a = 0; a < 3; ++a) box.min[a] = lo[a], box.max[a] = hi[a];
  box.unsplittable = lo[0] == hi[0] && lo[1] == hi[1] && lo[2] == hi[2];
}

uint64_t SlabCount(const Box& box, const std::vector<Cell>& cells, int axis, int at) {
  uint64_t sum = 0;
  for (const Cell& cell : cells) {
    if (cell.c[axis] == at && Inside(box, cell)) sum += cell.count;
  }
  return sum;
}

}  // namespace

int MedianCutQuantize(PaletteEntry* entries, int count, const uint32_t* counts, int n,
                      ProgressMeter* progress) {
  if (!entries || !counts || count <= 0) return 0;
  count = std::min(count, 256);
  n = std::clamp(n, 1, 256);
  try {
    std::vector<Cell> cells;
    uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
      if (counts[i] == 0) continue;
      Cell cell{{entries[i].red >> 2, entries[i].green >> 2, entries[i].blue >> 2}, counts[i]};
      total += counts[i];
      auto same = std::find_if(cells.begin(), cells.end(), [&](const Cell& c) {
        return c.c[0] == cell.c[0] && c.c[1] == cell.c[1] && c.c[2] == cell.c[2];
      });
      if (same != cells.end()) {
        same->count += cell.count;
      } else {
        cells.push_back(cell);
      }
    }
    std::vector<Box> boxes(1);
    boxes.reserve(n);
    boxes[0].count = total;
    Shrink(boxes[0], cells);
    while (static_cast<int>(boxes.size()) < n) {
      int chosen = -1;
      for (int i = 0; i < static_cast<int>(boxes.size()); ++i) {
        if (boxes[i].unsplittable) continue;
        if (chosen < 0 || boxes[i].count > boxes[chosen].count) chosen = i;
      }
      if (chosen < 0) break;
      Box& box = boxes[chosen];
      int axis = 0;
      for (int a = 1; a < 3; ++a) {
        if (box.max[a] - box.min[a] > box.max[axis] - box.min[axis]) axis = a;
      }
      uint64_t sum = 0;
      int stop = box.min[axis];
      for (;; ++stop) {
        sum += SlabCount(box, cells, axis, stop);
        if (2 * sum > box.count || stop == box.max[axis]) break;
      }
      if (stop == box.max[axis]) {
        sum -= SlabCount(box, cells, axis, stop);
        --stop;
      }
      Box rest = box;
      rest.min[axis] = stop + 1;
      rest.count = box.count - sum;
      box.max[axis] = stop;
      box.count = sum;
      Shrink(box, cells);
      Shrink(rest, cells);
      boxes.push_back(rest);
      ProgressStep(progress);
    }
    // Largest first; the exchange sort keeps equal boxes in their order.
    for (size_t i = 0; i + 1 < boxes.size(); ++i) {
      for (size_t j = 0; j + 1 < boxes.size() - i; ++j) {
        if (boxes[j + 1].count > boxes[j].count) std::swap(boxes[j], boxes[j + 1]);
      }
    }
    for (size_t b = 0; b < boxes.size(); ++b) {
      uint64_t weight = 0, sum[3] = {0, 0, 0};
      for (const Cell& cell : cells) {
        if (!Inside(boxes[b], cell)) continue;
        weight += cell.count;
        for (int a = 0; a < 3; ++a) sum[a] += cell.count * cell.c[a];
      }
      uint8_t c[3] = {0, 0, 0};
      for (int a = 0; a < 3; ++a) {
        if (weight) c[a] = static_cast<uint8_t>(sum[a] / weight * 255 / 63);
      }
      entries[b] = {c[0], c[1], c[2], 0};
    }
    return static_cast<int>(boxes.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int ReducePaletteColours(PaletteEntry* entries, int count, const uint32_t* counts, int n,
                         const LockedColours* locked, ProgressMeter* progress) {
  if (!entries || !counts || count <= 0) return 0;
  count = std::min(count, 256);
  if (!locked) return MedianCutQuantize(entries, count, counts, n, progress);
  int colours = std::clamp(std::max(n, 8), 1, 256);
  LockedOctreeQuantizer quantizer(colours);
  for (int i = 0; i < count; ++i) {
    if (counts[i] == 0) continue;
    quantizer.AddColour(entries[i].red, entries[i].green, entries[i].blue, counts[i], (*locked)[i]);
  }
  PalettePtr palette = quantizer.MakePalette(colours, false);
  if (!palette) return 0;
  std::copy(palette->entries.begin(), palette->entries.end(), entries);
  return palette->Count();
}

}  // namespace lw
