// Colours counted per cell of a histogram at six bits per channel (with exact means per cell;
// the colours themselves when there are a few thousand at most), then a variance cut and
// k-means passes.
#include "colour/hq_palette.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/nearest_grid.h"
#include "core/alpha_rule.h"
#include "core/gif_writer.h"
#include "core/picture_budget.h"

namespace lw {

namespace hq {

void FetchRow(const PixelSource& s, uint32_t y, uint32_t* out) {
  if (s.rgbRows) {
    const uint8_t* p = s.rgbRows + s.rgbStride * y;
    const uint8_t* alpha = s.alphaRows ? s.alphaRows + s.alphaStride * y : nullptr;
    for (uint32_t x = 0; x < s.width; ++x, p += 3) {
      out[x] = alpha && IsClearAlpha(alpha[x]) ? 0 : Pack(p[2], p[1], p[0]);
    }
    return;
  }
  const uint8_t* p = s.indexRows + s.indexStride * y;
  const int count = s.palette ? s.palette->Count() : 0;
  for (uint32_t x = 0; x < s.width; ++x) {
    int i = p[x];
    if (i == s.transparentIndex) {
      out[x] = 0;
    } else if (i < count) {
      const PaletteEntry& e = s.palette->entries[i];
      out[x] = Pack(e.red, e.green, e.blue);
    } else {
      out[x] = Opaque;  // an index past the palette shows black
    }
  }
}

bool SameRgbRow(const PixelSource& a, const PixelSource& b, uint32_t y) {
  if (!a.rgbRows || !b.rgbRows || !a.alphaRows != !b.alphaRows || a.width != b.width) return false;
  return std::memcmp(a.rgbRows + a.rgbStride * y, b.rgbRows + b.rgbStride * y,
                     size_t{3} * a.width) == 0 &&
         (!a.alphaRows || std::memcmp(a.alphaRows + a.alphaStride * y,
                                      b.alphaRows + b.alphaStride * y, a.width) == 0);
}

bool SamePlace(const HqPicture& a, const HqPicture& b) {
  return a.left == b.left && a.top == b.top && a.source.width == b.source.width &&
         a.source.height == b.source.height;
}

namespace {

PaletteEntry EntryOf(const ColourPoint& c) {
  auto byte = [](float v) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f)));
  };
  return {byte(c.r), byte(c.g), byte(c.b), 0};
}

// ---------------------------------------------------------------------------------------------
// Histogram

constexpr int CellShift = 2;  // six bits per channel
constexpr uint32_t CellCount = 1u << 18;

uint32_t CellOf(uint32_t packed) {
  return ((packed >> (16 + CellShift)) & 63) << 12 | ((packed >> (8 + CellShift)) & 63) << 6 |
         ((packed >> CellShift) & 63);
}

struct Cell {
  uint64_t count, red, green, blue;
};

// The distinct colours seen and how often, counted while there are at most ExactPoints of
// them.
class ExactColours {
 public:
  // Screen pictures hold a few hundred colours (the text's smoothed edges), photographs far
  // more: up to this many, the palette is cut from the colours themselves, not from cells.
  static constexpr int ExactPoints = 4096;
  ExactColours() : slots_(SlotCount, Empty), counts_(SlotCount) {}
  // Too many to count, here or in a table merged in (a thread's table that met more than
  // ExactPoints of them stops counting).
  bool TooMany() const { return tooMany_; }
  // How many were counted (meaningful while not TooMany).
  int Count() const { return count_; }
  void Add(uint32_t colour, uint64_t weight) {
    if (tooMany_) return;
    colour &= 0xFFFFFF;
    uint32_t at = (colour * 2654435761u) >> (32 - SlotBits);
    while (slots_[at] != Empty) {
      if (slots_[at] == colour) {
        counts_[at] += weight;
        return;
      }
      at = (at + 1) & (SlotCount - 1);
    }
    if (++count_ > ExactPoints) {
      tooMany_ = true;
      return;
    }
    slots_[at] = colour;
    counts_[at] = weight;
  }
  void Merge(const ExactColours& other) {
    if (other.tooMany_) tooMany_ = true;
    for (uint32_t i = 0; i < SlotCount; ++i)
      if (other.slots_[i] != Empty) Add(other.slots_[i], other.counts_[i]);
  }
  std::vector<uint32_t> Colours() const {
    std::vector<uint32_t> out;
    for (uint32_t c : slots_)
      if (c != Empty) out.push_back(c);
    std::sort(out.begin(), out.end());
    return out;
  }
  // Calls f(colour, count) for every colour seen.
  template <typename F>
  void ForEach(F f) const {
    for (uint32_t i = 0; i < SlotCount; ++i)
      if (slots_[i] != Empty) f(slots_[i], counts_[i]);
  }

 private:
  static constexpr int SlotBits = 13;
  static constexpr uint32_t SlotCount = 1u << SlotBits;  // twice ExactPoints
  static constexpr uint32_t Empty = 0xFFFFFFFFu;
  int count_ = 0;
  bool tooMany_ = false;
  std::vector<uint32_t> slots_;
  std::vector<uint64_t> counts_;
};

struct Histogram {
  std::vector<Cell> cells;
  ExactColours exact;
  std::vector<uint32_t> row;
  explicit Histogram(uint32_t widest) : cells(CellCount, Cell{0, 0, 0, 0}), row(widest) {}

  void AddColour(uint32_t packed, uint64_t weight) {
    Cell& c = cells[CellOf(packed)];
    c.count += weight;
    c.red += weight * ((packed >> 16) & 255);
    c.green += weight * ((packed >> 8) & 255);
    c.blue += weight * (packed & 255);
    exact.Add(packed, weight);
  }

  // Picture k of them; a row the same as the one under it in the picture before is counted
  // once with that one, weighted by how many pictures in a row show it.
  void AddPicture(const std::vector<HqPicture>& pictures, size_t k) {
    const PixelSource& s = pictures[k].source;
    if (!s.rgbRows) {
      // Indexed pictures: count the indexes, then each colour once with its weight.
      uint64_t counts[256] = {};
      for (uint32_t y = 0; y < s.height; ++y) {
        const uint8_t* p = s.indexRows + s.indexStride * y;
        for (uint32_t x = 0; x < s.width; ++x) ++counts[p[x]];
      }
      const int count = s.palette ? s.palette->Count() : 0;
      for (int i = 0; i < 256; ++i) {
        if (counts[i] == 0 || i == s.transparentIndex) continue;
        uint32_t packed = Opaque;
        if (i < count) {
          const PaletteEntry& e = s.palette->entries[i];
          packed = Pack(e.red, e.green, e.blue);
        }
        AddColour(packed, counts[i]);
      }
      return;
    }
    auto repeats = [&](size_t j, uint32_t y) {
      return j > 0 && SamePlace(pictures[j - 1], pictures[j]) &&
             SameRgbRow(pictures[j - 1].source, pictures[j].source, y);
    };
    // Runs of one colour (flat areas, screen pictures) count once.
    uint32_t colour = 0;
    uint64_t run = 0, weight = 1;
    for (uint32_t y = 0; y < s.height; ++y) {
      if (repeats(k, y)) continue;
      uint64_t shown = 1;
      for (size_t j = k + 1; j < pictures.size() && repeats(j, y); ++j) ++shown;
      if (shown != weight) {
        if (colour != 0) AddColour(colour, run * weight);
        colour = 0, run = 0, weight = shown;
      }
      FetchRow(s, y, row.data());
      for (uint32_t x = 0; x < s.width; ++x) {
        if (row[x] == colour) {
          ++run;
          continue;
        }
        if (colour != 0) AddColour(colour, run * weight);
        colour = row[x];
        run = 1;
      }
    }
    if (colour != 0) AddColour(colour, run * weight);
  }

  void Merge(const Histogram& other) {
    for (uint32_t i = 0; i < CellCount; ++i) {
      const Cell& o = other.cells[i];
      if (o.count == 0) continue;
      Cell& c = cells[i];
      c.count += o.count;
      c.red += o.red;
      c.green += o.green;
      c.blue += o.blue;
    }
    exact.Merge(other.exact);
  }
};

// ---------------------------------------------------------------------------------------------
// Palette building

struct Point {
  ColourPoint colour;
  double weight;
};

struct Sums {
  double w = 0, s[3] = {0, 0, 0}, q[3] = {0, 0, 0};
  void Add(const Point& p) {
    const float v[3] = {p.colour.r, p.colour.g, p.colour.b};
    w += p.weight;
    for (int d = 0; d < 3; ++d) {
      s[d] += p.weight * v[d];
      q[d] += p.weight * v[d] * v[d];
    }
  }
  double Axis(int d) const { return w > 0 ? std::max(0.0, q[d] - s[d] * s[d] / w) : 0; }
  double Error() const { return Axis(0) + Axis(1) + Axis(2); }
  Sums Minus(const Sums& o) const {
    Sums r;
    r.w = w - o.w;
    for (int d = 0; d < 3; ++d) {
      r.s[d] = s[d] - o.s[d];
      r.q[d] = q[d] - o.q[d];
    }
    return r;
  }
  ColourPoint Mean() const {
    if (w <= 0) return {};
    return {static_cast<float>(s[0] / w), static_cast<float>(s[1] / w),
            static_cast<float>(s[2] / w)};
  }
};

float Coordinate(const ColourPoint& c, int d) { return d == 0 ? c.r : d == 1 ? c.g : c.b; }

struct Box {
  size_t begin, end;
  Sums sums;
};

Sums SumsOf(const std::vector<Point>& points, size_t begin, size_t end) {
  Sums s;
  for (size_t i = begin; i < end; ++i) s.Add(points[i]);
  return s;
}

// Splits the box that holds the largest squared error, along its widest axis, where the two
// halves' errors add up to least; until there are n boxes or nothing can be split.
std::vector<Box> VarianceCut(std::vector<Point>& points, int n) {
  std::vector<Box> boxes;
  boxes.push_back({0, points.size(), SumsOf(points, 0, points.size())});
  std::vector<Sums> prefix;
  while (static_cast<int>(boxes.size()) < n) {
    int chosen = -1;
    double worst = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      double e = boxes[i].sums.Error();
      if (boxes[i].end - boxes[i].begin >= 2 && e > worst) {
        worst = e;
        chosen = static_cast<int>(i);
      }
    }
    if (chosen < 0) break;
    Box box = boxes[chosen];
    int axis = 0;
    for (int d = 1; d < 3; ++d)
      if (box.sums.Axis(d) > box.sums.Axis(axis)) axis = d;
    std::sort(points.begin() + box.begin, points.begin() + box.end,
              [axis](const Point& x, const Point& y) {
                return Coordinate(x.colour, axis) < Coordinate(y.colour, axis);
              });
    Sums left;
    double best = std::numeric_limits<double>::max();
    size_t cut = box.begin + 1;
    Sums bestLeft;
    for (size_t i = box.begin; i + 1 < box.end; ++i) {
      left.Add(points[i]);
      // Equal coordinates stay together.
      if (Coordinate(points[i].colour, axis) == Coordinate(points[i + 1].colour, axis)) continue;
      double e = left.Error() + box.sums.Minus(left).Error();
      if (e < best) {
        best = e;
        cut = i + 1;
        bestLeft = left;
      }
    }
    if (best == std::numeric_limits<double>::max()) {
      // Every point has the same coordinate on the widest axis: split anywhere.
      bestLeft = SumsOf(points, box.begin, cut);
    }
    boxes[chosen] = {box.begin, cut, bestLeft};
    boxes.push_back({cut, box.end, box.sums.Minus(bestLeft)});
  }
  return boxes;
}

// The nearest of a set of colours, searched outward from the query's green, the channel that
// carries most of the lightness and so spreads a palette best.
class NearestPoint {
 public:
  void Set(const std::vector<ColourPoint>& colours, int excluded) {
    order_.clear();
    for (int i = 0; i < static_cast<int>(colours.size()); ++i)
      if (i != excluded) order_.push_back(i);
    std::sort(order_.begin(), order_.end(),
              [&](int x, int y) { return colours[x].g < colours[y].g; });
    sorted_.clear();
    for (int i : order_) sorted_.push_back(colours[i]);
  }
  bool Empty() const { return order_.empty(); }
  int Find(const ColourPoint& c) const {
    const int n = static_cast<int>(sorted_.size());
    int up =
        static_cast<int>(std::lower_bound(sorted_.begin(), sorted_.end(), c.g,
                                          [](const ColourPoint& x, float g) { return x.g < g; }) -
                         sorted_.begin());
    int down = up - 1;
    float best = std::numeric_limits<float>::max();
    int found = 0;
    while (up < n || down >= 0) {
      if (up < n) {
        float dg = sorted_[up].g - c.g;
        if (dg * dg >= best) {
          up = n;
        } else {
          float d = Distance2(sorted_[up], c);
          if (d < best) best = d, found = up;
          ++up;
        }
      }
      if (down >= 0) {
        float dg = c.g - sorted_[down].g;
        if (dg * dg >= best) {
          down = -1;
        } else {
          float d = Distance2(sorted_[down], c);
          if (d < best) best = d, found = down;
          --down;
        }
      }
    }
    return order_.empty() ? 0 : order_[found];
  }

 private:
  std::vector<int> order_;
  std::vector<ColourPoint> sorted_;
};

// Lloyd's passes: every point to its nearest centre, every centre to the mean of its points.
void Refine(const std::vector<Point>& points, std::vector<ColourPoint>* centres, int passes) {
  NearestPoint nearest;
  std::vector<Sums> sums;
  for (int pass = 0; pass < passes; ++pass) {
    nearest.Set(*centres, -1);
    sums.assign(centres->size(), Sums{});
    for (const Point& p : points) sums[nearest.Find(p.colour)].Add(p);
    bool moved = false;
    for (size_t i = 0; i < centres->size(); ++i) {
      if (sums[i].w <= 0) continue;  // an empty centre stays where it was
      ColourPoint m = sums[i].Mean();
      moved = moved || Distance2(m, (*centres)[i]) > 1e-6f;
      (*centres)[i] = m;
    }
    if (!moved) break;
  }
}

// The palette's colours: exactly the colours seen when they fit, else cut and refined.
std::vector<PaletteEntry> PaletteColours(const Histogram& h, int n, int screenN, int passes) {
  std::vector<PaletteEntry> entries;
  if (!h.exact.TooMany()) n = std::max(n, screenN);
  if (!h.exact.TooMany() && h.exact.Count() <= n) {
    for (uint32_t c : h.exact.Colours()) {
      entries.push_back({static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                         static_cast<uint8_t>(c), 0});
    }
    return entries;
  }
  std::vector<Point> points;
  if (!h.exact.TooMany()) {
    // Few colours (a screen): cells would merge the page's colour with the smoothed edges
    // near it and give both a mean neither has, which every flat pixel then shows.
    h.exact.ForEach([&](uint32_t c, uint64_t count) {
      points.push_back({PointOf(c >> 16 & 255, c >> 8 & 255, c & 255), static_cast<double>(count)});
    });
  } else {
    for (const Cell& c : h.cells) {
      if (c.count == 0) continue;
      double w = static_cast<double>(c.count);
      points.push_back({{static_cast<float>(c.red / w), static_cast<float>(c.green / w),
                         static_cast<float>(c.blue / w)},
                        w});
    }
  }
  std::vector<Box> boxes = VarianceCut(points, n);
  std::vector<ColourPoint> centres;
  for (const Box& b : boxes) centres.push_back(b.sums.Mean());
  Refine(points, &centres, passes);
  for (const ColourPoint& c : centres) {
    PaletteEntry e = EntryOf(c);
    bool seen = false;
    for (const PaletteEntry& o : entries)
      seen = seen || (o.red == e.red && o.green == e.green && o.blue == e.blue);
    if (!seen) entries.push_back(e);
  }
  return entries;
}

bool BuildHistogram(const std::vector<HqPicture>& pictures, uint32_t widest, int threads,
                    ProgressMeter* progress, std::unique_ptr<Histogram>* out) {
  std::vector<std::unique_ptr<Histogram>> parts;
  for (int i = 0; i < threads; ++i) parts.push_back(std::make_unique<Histogram>(widest));
  std::atomic<size_t> next{0}, done{0};
  std::atomic<bool> stop{false};
  RunThreads(threads, [&](int i) {
    for (size_t k = next++; k < pictures.size() && !stop; k = next++) {
      parts[i]->AddPicture(pictures, k);
      size_t finished = ++done;
      if (i == 0 && !ProgressSetPosition(progress, static_cast<uint32_t>(finished))) stop = true;
    }
  });
  if (stop) return false;
  for (int i = 1; i < threads; ++i) parts[0]->Merge(*parts[i]);
  *out = std::move(parts[0]);
  return true;
}

}  // namespace

bool PaletteFor(const std::vector<HqPicture>& pictures, int colours, int screenColours,
                uint32_t widest, int threads, int refinePasses, ProgressMeter* progress,
                std::vector<PaletteEntry>* out) {
  std::unique_ptr<Histogram> histogram;
  if (!BuildHistogram(pictures, widest, threads, progress, &histogram)) return false;
  *out = PaletteColours(*histogram, colours, screenColours, refinePasses);
  return true;
}

}  // namespace hq
}  // namespace lw
