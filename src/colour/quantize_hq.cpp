// The high-quality method: a histogram of the whole clip at six bits per channel (with exact
// means per cell; the colours themselves when there are a few thousand at most), a variance
// cut, k-means passes, then a cached nearest-colour search and a damped error diffusion that
// reuses the previous frame's choice where the source pixel did not change, so still areas never
// shimmer and compress as well as the optimizer can make them.
#include "colour/quantize_hq.h"

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
#include "colour/hq_palette.h"
#include "colour/nearest_grid.h"
#include "core/alpha_rule.h"
#include "core/gif_writer.h"
#include "core/picture_budget.h"

namespace lw {

namespace {

using hq::FetchRow;
using hq::RunThreads;
using hq::SamePlace;
using hq::SameRgbRow;

// ---------------------------------------------------------------------------------------------
// Mapping

// The nearest palette index of 24-bit colours, remembered in a direct-mapped cache of its own
// (one per thread, so nothing is shared while pictures are mapped side by side).
class ColourCache {
 public:
  static constexpr int Bits = 20;
  explicit ColourCache(const NearestColourGrid& nearest)
      : nearest_(nearest), keys_(size_t{1} << Bits, 0), values_(size_t{1} << Bits) {}
  uint8_t Find(uint32_t rgb) {
    rgb &= 0xFFFFFF;
    uint32_t slot = (rgb * 2654435761u) >> (32 - Bits);
    uint32_t key = rgb | 0x80000000u;
    if (keys_[slot] != key) {
      keys_[slot] = key;
      values_[slot] = nearest_.Find(rgb);
    }
    return values_[slot];
  }

 private:
  const NearestColourGrid& nearest_;
  std::vector<uint32_t> keys_;
  std::vector<uint8_t> values_;
};

// What the threads mapping pictures share.
struct MapJob {
  const std::vector<HqPicture>* pictures;
  const std::vector<PaletteEntry>* palette;
  const NearestColourGrid* nearest;
  std::vector<std::vector<uint8_t>>* images;
  std::vector<int> previous;  // the picture at the same place just before, -1 none
  std::unique_ptr<std::atomic<uint32_t>[]> rowsDone;
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::atomic<bool> stop{false};
  std::atomic<bool> shortOfMemory{false};
  float strength = 0;
  float tolerance2 = 0;  // settings.tolerance squared
  uint8_t slot = 0;
};

// What one thread keeps: rows and error lines of the widest picture, and its cache.
struct MapWork {
  ColourCache cache;
  std::vector<uint32_t> row, previousRow;
  std::vector<float> errors[2];
  MapWork(const NearestColourGrid& nearest, uint32_t widest)
      : cache(nearest), row(widest), previousRow(widest) {
    for (auto& e : errors) e.assign((size_t{widest} + 2) * 3, 0.0f);
  }
};

constexpr uint32_t Abandoned = std::numeric_limits<uint32_t>::max();

void WaitForRow(std::atomic<uint32_t>& done, uint32_t row) {
  for (uint32_t seen = done.load(std::memory_order_acquire); seen <= row;
       seen = done.load(std::memory_order_acquire)) {
    done.wait(seen, std::memory_order_acquire);
  }
}

void MarkRows(std::atomic<uint32_t>& done, uint32_t rows) {
  done.store(rows, std::memory_order_release);
  done.notify_all();
}

// Whether a pixel keeps the index of the one under it in the previous picture: always where its
// source did not change, else when that colour is within the job's tolerance of the nearest.
bool StaysAsBefore(const MapJob& job, MapWork& work, uint32_t packed, uint32_t before,
                   uint8_t index) {
  if (before == packed) return true;
  if (job.tolerance2 <= 0 || before == 0) return false;  // clear before: that is not shown
  const PaletteEntry& e = (*job.palette)[index];
  const PaletteEntry& n = (*job.palette)[work.cache.Find(packed)];
  const ColourPoint source = PointOf(packed >> 16 & 255, packed >> 8 & 255, packed & 255);
  return Distance2(source, PointOf(e.red, e.green, e.blue)) <=
         Distance2(source, PointOf(n.red, n.green, n.blue)) + job.tolerance2;
}

// Whether the tolerance pays on picture k, once the one before it is mapped: where most of the
// changed pixels may keep their colour (a slow zoom, a still scene) the kept ones make long
// transparent runs; where a picture moves as a whole (a pan) only some may, and those scatter
// through the changed ones and cost more than they save.
bool ToleranceFits(const MapJob& job, MapWork& work, size_t k) {
  constexpr double Share = 0.9;  // a slow zoom keeps over 90 %, a pan far less
  const PixelSource& s = (*job.pictures)[k].source;
  const int before = job.previous[k];
  const PixelSource& p = (*job.pictures)[before].source;
  const std::vector<uint8_t>& prevImage = (*job.images)[before];
  WaitForRow(job.rowsDone[before], s.height - 1);
  uint64_t changed = 0, kept = 0;
  for (uint32_t y = 0; y < s.height; ++y) {
    FetchRow(s, y, work.row.data());
    FetchRow(p, y, work.previousRow.data());
    const uint8_t* prevOut = prevImage.data() + IndexStride(s.width) * y;
    for (uint32_t x = 0; x < s.width; ++x) {
      if (work.row[x] == work.previousRow[x] || work.row[x] == 0) continue;
      ++changed;
      kept += StaysAsBefore(job, work, work.row[x], work.previousRow[x], prevOut[x]);
    }
  }
  return kept >= Share * static_cast<double>(changed);
}

// Without diffusion, a row against the previous picture's: a pixel keeps that picture's index
// for the tolerance only inside a run of pixels that all may, so that what the optimizer makes
// transparent comes in runs the coder takes cheaply. Scattered kept pixels cost more than they
// save: on a panning clip they made the file larger.
void MapRowKeeping(const MapJob& job, MapWork& work, uint32_t width, const uint8_t* prevOut,
                   uint8_t* out) {
  constexpr uint32_t KeptRun = 3;
  const uint32_t* row = work.row.data();
  const uint32_t* before = work.previousRow.data();
  uint32_t start = 0;
  for (uint32_t x = 0; x <= width; ++x) {
    if (x < width && row[x] != 0 && StaysAsBefore(job, work, row[x], before[x], prevOut[x]))
      continue;
    const bool keep = x - start >= KeptRun;
    for (uint32_t k = start; k < x; ++k)
      out[k] = keep || row[k] == before[k] ? prevOut[k] : work.cache.Find(row[k]);
    if (x < width) out[x] = row[x] == 0 ? job.slot : work.cache.Find(row[x]);
    start = x + 1;
  }
}

// Floyd-Steinberg damped by strength, with each diffused error bounded so that one stray pixel
// cannot streak; a pixel whose source equals the one under it in the previous picture takes
// that picture's index (and passes on that choice's own error, whatever came in).
void MapPicture(MapJob& job, MapWork& work, size_t k) {
  const PixelSource& s = (*job.pictures)[k].source;
  std::atomic<uint32_t>& done = job.rowsDone[k];
  const int before = job.previous[k];
  const PixelSource* prev = before >= 0 ? &(*job.pictures)[before].source : nullptr;
  const std::vector<uint8_t>* prevImage = before >= 0 ? &(*job.images)[before] : nullptr;
  std::vector<uint8_t>& image = (*job.images)[k];
  const uint64_t stride = IndexStride(s.width);
  const float strength = job.strength;
  constexpr float Limit = 48.0f;
  const auto& palette = *job.palette;
  try {
    ResizePicture(&image, stride * s.height);
  } catch (const std::bad_alloc&) {
    job.shortOfMemory = true;
    job.stop = true;
  }
  std::fill(work.errors[0].begin(), work.errors[0].end(), 0.0f);
  std::fill(work.errors[1].begin(), work.errors[1].end(), 0.0f);
  const bool keeping = strength == 0 && prev && job.tolerance2 > 0 && ToleranceFits(job, work, k);
  for (uint32_t y = 0; y < s.height; ++y) {
    if (job.stop.load(std::memory_order_relaxed)) break;
    uint8_t* out = image.data() + stride * y;
    if (strength == 0) {
      // Each colour has one answer, so a row that shows what the previous picture's row showed
      // takes that row's answers.
      bool same = false, fetched = false;
      if (prev && s.rgbRows && prev->rgbRows && !s.alphaRows == !prev->alphaRows) {
        same = SameRgbRow(s, *prev, y);
      } else if (prev) {
        FetchRow(s, y, work.row.data());
        FetchRow(*prev, y, work.previousRow.data());
        fetched = true;
        same = std::equal(work.row.begin(), work.row.begin() + s.width, work.previousRow.begin());
      }
      if (same) {
        WaitForRow(job.rowsDone[before], y);
        // A picture given up leaves no rows to take.
        if (prevImage->size() < stride * (y + 1)) break;
        std::memcpy(out, prevImage->data() + stride * y, s.width);
      } else {
        if (!fetched) FetchRow(s, y, work.row.data());
        // Once a tolerance has kept colours that are not the nearest, a pixel that did not
        // change keeps its index too, or it would be sent again for nothing.
        const uint8_t* prevOut = nullptr;
        if (prev && (keeping || job.tolerance2 > 0)) {
          if (!fetched) FetchRow(*prev, y, work.previousRow.data());
          WaitForRow(job.rowsDone[before], y);
          if (prevImage->size() < stride * (y + 1)) break;
          prevOut = prevImage->data() + stride * y;
        }
        if (keeping && prevOut) {
          MapRowKeeping(job, work, s.width, prevOut, out);
          MarkRows(done, y + 1);
          continue;
        }
        uint32_t lastColour = 0;
        uint8_t lastIndex = 0;
        for (uint32_t x = 0; x < s.width; ++x) {
          const uint32_t packed = work.row[x];
          if (packed == 0) {
            out[x] = job.slot;
            continue;
          }
          if (prevOut && packed == work.previousRow[x]) {
            out[x] = prevOut[x];
            continue;
          }
          if (packed != lastColour) lastIndex = work.cache.Find(packed), lastColour = packed;
          out[x] = lastIndex;
        }
      }
      MarkRows(done, y + 1);
      continue;
    }
    FetchRow(s, y, work.row.data());
    if (prev) {
      WaitForRow(job.rowsDone[before], y);
      FetchRow(*prev, y, work.previousRow.data());
    }
    float* here = work.errors[y & 1].data() + 3;  // one pixel of margin on each side
    float* below = work.errors[(y + 1) & 1].data() + 3;
    std::fill(below - 3, below + (size_t{s.width} + 1) * 3, 0.0f);
    if (prevImage && prevImage->size() < stride * (y + 1)) break;
    const uint8_t* prevOut = prevImage ? prevImage->data() + stride * y : nullptr;
    for (uint32_t x = 0; x < s.width; ++x) {
      const uint32_t packed = work.row[x];
      if (packed == 0) {
        out[x] = job.slot;
        continue;
      }
      const float src[3] = {static_cast<float>((packed >> 16) & 255),
                            static_cast<float>((packed >> 8) & 255),
                            static_cast<float>(packed & 255)};
      float value[3];
      uint8_t index;
      if (prevOut && StaysAsBefore(job, work, packed, work.previousRow[x], prevOut[x])) {
        index = prevOut[x];
        std::copy(src, src + 3, value);
      } else {
        for (int c = 0; c < 3; ++c) value[c] = std::clamp(src[c] + here[3 * x + c], 0.0f, 255.0f);
        index = work.cache.Find(static_cast<uint32_t>(value[0] + 0.5f) << 16 |
                                static_cast<uint32_t>(value[1] + 0.5f) << 8 |
                                static_cast<uint32_t>(value[2] + 0.5f));
      }
      out[x] = index;
      const PaletteEntry& e = palette[index];
      const float chosen[3] = {static_cast<float>(e.red), static_cast<float>(e.green),
                               static_cast<float>(e.blue)};
      for (int c = 0; c < 3; ++c) {
        float err = std::clamp((value[c] - chosen[c]) * strength, -Limit, Limit) / 16.0f;
        here[3 * (x + 1) + c] += err * 7;
        below[3 * (static_cast<int>(x) - 1) + c] += err * 3;
        below[3 * x + c] += err * 5;
        below[3 * (x + 1) + c] += err;
      }
    }
    MarkRows(done, y + 1);
  }
  MarkRows(done, Abandoned);
}

void MapWorker(MapJob& job, MapWork& work, ProgressMeter* progress, bool reports) {
  const size_t count = job.pictures->size();
  for (size_t k = job.next++; k < count; k = job.next++) {
    if (job.stop) {
      MarkRows(job.rowsDone[k], Abandoned);
      continue;
    }
    MapPicture(job, work, k);
    size_t finished = ++job.done;
    if (reports && !ProgressSetPosition(progress, static_cast<uint32_t>(count + finished)))
      job.stop = true;
  }
}

int ThreadsFor(uint64_t pixels, size_t pictures) {
  if (pixels < (uint64_t{1} << 18)) return 1;
  return static_cast<int>(std::clamp<size_t>(std::min<size_t>(GifEncoderThreads(), 8), 1,
                                             std::max<size_t>(pictures, 1)));
}

}  // namespace

QualitySettings QualityFor(int quality) {
  const int level = std::clamp(quality, MinQuality, MaxQuality);
  QualitySettings s;
  // From 8 colours at the bottom to 256 at the top, evenly in bits per pixel between: each
  // halving of the palette costs about 2 dB and saves about a third of the bytes.
  // From 29 down to 21 the colours fall a little faster: the tolerance then does more per byte.
  // From 20 down they do not, as the tolerance grows there (below): with a few more colours a
  // larger tolerance costs less than the colours it replaces. On a slow zoom into a print, 16
  // colours past a tolerance of 24 give 30.4 dB in 591 KB, 13 past 20 gave 30.5 dB in 706 KB.
  const bool fasterFall = level > 20 && level < 30;
  const double bits = 3 + 5 * (level / 100.0) - (fasterFall ? (30 - level) * 0.03 : 0);
  s.colours = std::clamp(static_cast<int>(std::lround(std::pow(2.0, bits))), 8, 256);
  // The levels that code without loss keep every entry for screen pictures: on a recording of
  // an editor the full palette gives 77 dB where 181 colours give 71 dB, for 2 % more bytes.
  s.screenColours = level >= 85 ? 256 : s.colours;
  // Diffusion costs bytes and, measured against the source, fidelity too; at the low levels it
  // also defeats the optimizer's transparency, so that those made larger files than level 35.
  s.dither = 0;
  s.refinePasses = 6 + level * 4 / 100;
  // From 20 down a frame re-sends only what moved more than the tolerance: on a slow zoom
  // this is what brings a file down to a third. Above it the tolerance is left out: with the
  // denser palettes there the lossy coder does more, and on a pan the two together cost more
  // than either.
  s.tolerance = level <= 20  ? static_cast<int>(std::lround(24 + (20 - level) * 1.2))
                : level < 60 ? (60 - level) / 2
                             : 0;
  // The lossy amount grows as the level falls, faster below 40 and 30: with fewer colours the
  // coder finds fewer neighbours within a given amount.
  s.lossy = level < 85 ? (85 - level + std::max(0, 40 - level) + std::max(0, 30 - level)) / 2 : 0;
  // Only the levels above 90 have bytes to spend past the shared palette's fit: it nearly
  // doubles a screen recording (4 tiles a frame down to an error of 16 gave 43.9 dB for two
  // thirds of gifski -Q 90's bytes, 42.5 dB), where 90 itself stays the plain 40.9 dB.
  s.refineTiles = level > 90 ? 4 + (level - 91) * 4 / 9 : 0;
  s.refineError = level > 90 ? 16 - (level - 91) * 8.0 / 9 : 16;
  return s;
}

QualitySettings WithDitherAsked(QualitySettings settings, bool asked) {
  if (asked) settings.dither = std::max(settings.dither, AskedDither);
  return settings;
}

ColourPoint PointOf(uint8_t red, uint8_t green, uint8_t blue) {
  return {static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue)};
}

float Distance2(const ColourPoint& x, const ColourPoint& y) {
  const float dr = x.r - y.r, dg = x.g - y.g, db = x.b - y.b;
  return dr * dr + dg * dg + db * db;
}

bool QuantizePictures(const std::vector<HqPicture>& pictures, const QualitySettings& settings,
                      bool reserveSlot, ProgressMeter* progress, HqResult* out) {
  *out = HqResult{};
  const int n = std::clamp(settings.colours, 2, 256);
  const int opaqueColours = reserveSlot ? n - 1 : n;
  const int screenN = std::clamp(std::max(settings.screenColours, n), 2, 256);
  const int opaqueScreenColours = reserveSlot ? screenN - 1 : screenN;
  uint32_t widest = 1;
  uint64_t pixels = 0;
  for (const HqPicture& p : pictures) {
    widest = std::max(widest, p.source.width);
    pixels += uint64_t{p.source.width} * p.source.height;
  }
  const int threads = ThreadsFor(pixels, pictures.size());
  ProgressSetRange(progress, static_cast<uint32_t>(2 * pictures.size()));
  try {
    std::vector<PaletteEntry> entries;
    if (!hq::PaletteFor(pictures, opaqueColours, opaqueScreenColours, widest, threads,
                        settings.refinePasses, progress, &entries))
      return false;
    if (entries.empty()) entries.push_back({0, 0, 0, 0});
    if (reserveSlot) entries.push_back({0, 0, 0, 0});

    const NearestColourGrid nearest(entries,
                                    reserveSlot ? static_cast<int>(entries.size()) - 1 : -1);

    ProgressSetText(progress, TableText(str::RemappingFrameColours));
    // Each image is made by the thread that maps it, so the pages are filled on every core.
    std::vector<std::vector<uint8_t>> images(pictures.size());
    MapJob job;
    job.pictures = &pictures;
    job.palette = &entries;
    job.nearest = &nearest;
    job.images = &images;
    job.strength = std::clamp(settings.dither, 0, 100) / 100.0f;
    const float tolerance = static_cast<float>(std::clamp(settings.tolerance, 0, 255));
    job.tolerance2 = tolerance * tolerance;
    job.slot = static_cast<uint8_t>(entries.size() - 1);
    job.rowsDone.reset(new std::atomic<uint32_t>[pictures.size()]());
    job.previous.assign(pictures.size(), -1);
    for (size_t k = 1; k < pictures.size(); ++k) {
      if (SamePlace(pictures[k - 1], pictures[k])) job.previous[k] = static_cast<int>(k - 1);
    }
    std::vector<std::unique_ptr<MapWork>> works;
    for (int i = 0; i < threads; ++i) works.push_back(std::make_unique<MapWork>(nearest, widest));
    RunThreads(threads, [&](int i) { MapWorker(job, *works[i], progress, i == 0); });
    if (job.stop || job.shortOfMemory) return false;

    out->palette = std::make_unique<Palette>();
    out->palette->entries = std::move(entries);
    out->images = std::move(images);
  } catch (const std::bad_alloc&) {
    *out = HqResult{};
    return false;
  }
  return true;
}

}  // namespace lw
