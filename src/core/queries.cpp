// Questions asked of a whole animation, and the operations that walk all its frames.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "base/progress.h"
#include "core/animation.h"
#include "core/gif_writer.h"
#include "core/model_internal.h"
#include "core/pixel_counts.h"

namespace lw {

Extent FramesExtent(const Animation& animation) {
  Extent extent;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    extent.right = std::max<int64_t>(extent.right, int64_t{f->left} + f->width);
    extent.bottom = std::max<int64_t>(extent.bottom, int64_t{f->top} + f->height);
  }
  return extent;
}

Bounds FramesBounds(const Animation& animation) {
  Bounds bounds;
  bool first = true;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    int64_t right = int64_t{f->left} + f->width, bottom = int64_t{f->top} + f->height;
    if (first) {
      bounds = {f->left, f->top, right, bottom};
      first = false;
      continue;
    }
    bounds.left = std::min<int64_t>(bounds.left, f->left);
    bounds.top = std::min<int64_t>(bounds.top, f->top);
    bounds.right = std::max(bounds.right, right);
    bounds.bottom = std::max(bounds.bottom, bottom);
  }
  return bounds;
}

uint64_t TotalDuration(const Animation& animation) {
  uint64_t total = 0;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) total += f->delay;
  return total;
}

void RescaleDelays(Animation& animation, DelayUnits from, DelayUnits to) {
  // Units are ticks per second: a delay keeps its length in seconds, to the nearest new tick.
  const uint64_t oldUnit = from.perSecond, units = to.perSecond;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    uint64_t delay = (uint64_t{f->delay} * units + oldUnit / 2) / oldUnit;
    f->delay = static_cast<uint32_t>(std::min<uint64_t>(delay, UINT32_MAX));
  }
}

void RefreshLogicalScreenFlags(Animation& animation) {
  int resolution = std::max((animation.screenFlags >> 4) & 7, animation.screenFlags & 7);
  for (Frame* f = FirstFrame(animation); f && resolution < 7; f = NextFrame(f)) {
    if (f->localPalette) {
      resolution = std::max(resolution, BitsForColours(f->localPalette->Count()) - 1);
    }
  }
  animation.screenFlags = static_cast<uint8_t>((animation.screenFlags & 0x8F) | (resolution << 4));
}

void ApplyAutoTransparency(Animation& animation, uint32_t colour) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (f->Transparent() || !f->rgbPlane.empty()) continue;
    int index = ExactPaletteIndex(f->palette, colour);
    if (index < 0) continue;
    SetTransparentIndex(f, static_cast<uint8_t>(index));
    SetTransparency(f, true);
  }
}

void SingleFrameRestoresBackground(Animation& animation) {
  Frame* frame = FirstFrame(animation);
  if (!frame || NextFrame(frame) || !frame->Transparent()) return;
  SetDisposal(frame, DisposalBackground);
}

static void CountPixels(const Frame* frame, uint32_t* counts, bool clear, bool opaqueOnly) {
  if (!counts) return;
  if (clear) std::memset(counts, 0, 256 * sizeof *counts);
  model::PixelLayout layout;
  if (!model::DibLayout(frame, &layout)) return;
  // The frame's own size, inside what the DIB holds; padding is never counted.
  uint64_t width = std::min<uint64_t>(frame->width, layout.width);
  uint64_t height = std::min<uint64_t>(frame->height, layout.height);
  // Neighbouring pixels are mostly equal: runs of eight equal pixels are counted in one add,
  // and four tables keep the other increments from waiting on one another. Sums wrap as the
  // counts themselves do.
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  uint32_t t[4 * 256] = {};
  const uint8_t* bits = frame->bits();
  auto load = [](const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  };
  for (uint64_t y = 0; y < height; ++y) {
    const uint8_t* row = bits + y * layout.stride;
    uint64_t x = 0;
    while (x + 8 <= width) {
      const uint8_t p = row[x];
      const uint64_t same = kOnes * p;
      if (load(row + x) == same) {
        uint32_t run = 0;
        do {
          run += 8;
          x += 8;
        } while (x + 8 <= width && load(row + x) == same);
        t[p] += run;
        continue;
      }
      for (int k = 0; k < 8; k += 4) {
        ++t[row[x + k]];
        ++t[256 + row[x + k + 1]];
        ++t[512 + row[x + k + 2]];
        ++t[768 + row[x + k + 3]];
      }
      x += 8;
    }
    for (; x < width; ++x) ++t[row[x]];
  }
  const bool skip = opaqueOnly && frame->Transparent();
  for (int i = 0; i < 256; ++i) {
    if (skip && i == frame->transparentIndex) continue;
    counts[i] += t[i] + t[256 + i] + t[512 + i] + t[768 + i];
  }
}

void CountFrameColours(const Frame* frame, uint32_t* counts, bool clear) {
  CountPixels(frame, counts, clear, false);
}

void CountOpaqueFrameColours(const Frame* frame, uint32_t* counts, bool clear) {
  CountPixels(frame, counts, clear, true);
}

bool CountGlobalFramesColours(const Animation& animation, uint32_t* counts, bool opaqueOnly,
                              uint32_t stopMask) {
  auto count = opaqueOnly ? CountOpaqueFrameColours : CountFrameColours;
  std::vector<const Frame*> frames;
  uint64_t pixels = 0;
  try {
    for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
      if (f->localPalette) continue;
      frames.push_back(f);
      pixels += uint64_t{f->width} * f->height;
    }
  } catch (const std::bad_alloc&) {
    for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
      if (f->localPalette) continue;
      if (stopMask && TaskStopRequested(stopMask)) return false;
      count(f, counts, false);
    }
    return true;
  }
  // Frames are shared out one by one, each thread with its own counters; sums do not depend on
  // the order they are taken in.
  const int threads = pixels >= (uint64_t{1} << 20) ? std::min(GifEncoderThreads(), 16) : 1;
  std::atomic<size_t> next{0};
  std::atomic<bool> stopped{false};
  auto work = [&](uint32_t* into) {
    for (size_t i = next++; i < frames.size() && !stopped; i = next++) {
      if (stopMask && TaskStopRequested(stopMask)) {
        stopped = true;
        break;
      }
      count(frames[i], into, false);
    }
  };
  std::vector<std::array<uint32_t, 256>> parts;
  std::vector<std::thread> helpers;
  try {
    parts.resize(static_cast<size_t>(std::max(threads - 1, 0)));
    for (auto& part : parts) {
      part.fill(0);
      helpers.emplace_back(work, part.data());
    }
  } catch (const std::exception&) {
    // Fewer helpers: the calling thread counts what they would have.
  }
  work(counts);
  for (size_t i = 0; i < helpers.size(); ++i) {
    helpers[i].join();
    for (int c = 0; c < 256; ++c) counts[c] += parts[i][static_cast<size_t>(c)];
  }
  return !stopped;
}

bool CountColourUsage(const Animation& animation, uint32_t* counts, bool clear) {
  if (!counts) return true;
  if (clear) std::memset(counts, 0, 256 * sizeof *counts);
  if (!animation.globalPalette) return true;
  return CountGlobalFramesColours(animation, counts, false, task::ColourCount);
}

void CountOpaqueColourUsage(const Animation& animation, uint32_t* counts, bool clear) {
  if (!counts) return;
  if (clear) std::memset(counts, 0, 256 * sizeof *counts);
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (!f->localPalette) CountOpaqueFrameColours(f, counts, false);
  }
}

}  // namespace lw
