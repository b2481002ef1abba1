// Pixels that repeat what is already on screen become transparent when that encodes smaller:
// either all of them, or only the runs where a transparent span breaks fewer LZW strings.
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "colour/optimize.h"
#include "colour/optimize_queue.h"
#include "core/gif_writer.h"

namespace lw {

namespace {

// The record size of the frame with other pixel rows in place of its own; their LZW data in *lzw.
uint64_t SizeWith(Frame* f, std::vector<uint8_t>& dib, std::vector<uint8_t>* lzw) {
  f->dib.swap(dib);
  uint64_t size = EncodeFrameRecord(f, lzw);
  f->dib.swap(dib);
  return size;
}

// Every unchanged pixel becomes t; returns how many pixels took a new value.
uint64_t AllDuplicates(uint8_t* bits, uint64_t stride, uint32_t w, uint32_t h,
                       const uint8_t* changed, uint8_t t) {
  uint64_t n = 0;
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* p = bits + y * stride;
    const uint8_t* m = changed + uint64_t{y} * w;
    for (uint32_t x = 0; x < w; ++x) {
      if (!m[x] && p[x] != t) {
        p[x] = t;
        ++n;
      }
    }
  }
  return n;
}

// Only runs of unchanged pixels that interrupt the colour flow become t: a run that continues
// the colour on its left is replaced from where that colour ends, and a run of one colour that
// starts fresh is kept, since it encodes as well as a transparent one.
uint64_t DuplicateRuns(uint8_t* bits, uint64_t stride, uint32_t w, uint32_t h,
                       const uint8_t* changed, uint8_t t) {
  uint64_t n = 0;
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* p = bits + y * stride;
    const uint8_t* m = changed + uint64_t{y} * w;
    uint32_t x = 0;
    while (x < w) {
      if (m[x]) {
        ++x;
        continue;
      }
      uint32_t a = x, b = x;
      while (b < w && !m[b]) ++b;
      x = b + 1;
      if (b - a == 1) continue;
      uint32_t start = a;
      if (a > 0 && p[a - 1] == p[a]) {
        uint8_t c = p[a];
        while (start < b && p[start] == c) ++start;
        if (start >= b) continue;
      } else {
        uint32_t k = a + 1;
        while (k < b && p[k] == p[a]) ++k;
        if (k == b) continue;
      }
      for (uint32_t k = start; k < b; ++k) {
        if (p[k] != t) {
          p[k] = t;
          ++n;
        }
      }
    }
  }
  return n;
}

}  // namespace

int ChooseTransparentIndex(const bool* used, int entries, int preferred, int smallBits) {
  entries = std::clamp(entries, 0, 256);
  if (preferred >= 0 && preferred < entries && !used[preferred] &&
      (smallBits == 0 || preferred < (1 << smallBits)))
    return preferred;
  if (smallBits > 0) {
    for (int i = std::min(entries, 1 << smallBits) - 1; i >= 0; --i)
      if (!used[i]) return i;
  }
  for (int i = entries - 1; i >= 0; --i)
    if (!used[i]) return i;
  return -1;
}

uint8_t SmallestCodeSize(const Frame& f) {
  const uint8_t* bits = f.bits();
  if (!bits || !f.width || !f.height || f.DibWidth() < f.width || f.DibHeight() < f.height)
    return 0;
  const uint64_t stride = IndexStride(f.DibWidth());
  if (f.dib.size() - DibBitsOffset < stride * f.height) return 0;
  uint8_t top = 0;
  for (uint32_t y = 0; y < f.height; ++y) {
    const uint8_t* row = bits + y * stride;
    top = std::max(top, *std::max_element(row, row + f.width));
  }
  return static_cast<uint8_t>(std::max(2, static_cast<int>(std::bit_width(unsigned{top}))));
}

// With lzw, the LZW data of the image the frame ends with goes there instead of being kept.
static bool TryDuplicates(Frame* f, const uint8_t* changed, bool smallIndex,
                          std::vector<uint8_t>* lzw) {
  if (!f || !changed || !f->bits()) return false;
  const uint32_t w = f->width, h = f->height;
  if (f->DibWidth() != w || f->DibHeight() != h) return false;
  const uint64_t stride = IndexStride(w);
  if (f->dib.size() - DibBitsOffset < stride * h) return false;

  int t = -1;
  if (f->Transparent()) {
    t = f->transparentIndex;
  } else {
    bool used[256] = {};
    const uint8_t* bits = f->bits();
    // Unconditional stores (unchanged pixels go to a spare slot) keep the loop free of
    // read-modify-write chains.
    bool marks[257] = {};
    for (uint32_t y = 0; y < h; ++y) {
      const uint8_t* p = bits + y * stride;
      const uint8_t* m = changed + uint64_t{y} * w;
      for (uint32_t x = 0; x < w; ++x) marks[m[x] ? p[x] : 256] = true;
    }
    std::memcpy(used, marks, sizeof used);
    int entries = f->palette ? std::min(f->palette->Count(), 256) : 256;
    int smallBits = 0;
    if (smallIndex) {
      int top = 0;
      for (int i = 0; i < 256; ++i)
        if (used[i]) top = i;
      smallBits = std::max(2, static_cast<int>(std::bit_width(unsigned(top))));
    }
    t = ChooseTransparentIndex(used, entries, -1, smallBits);
    if (t < 0) return false;
  }
  const uint8_t T = static_cast<uint8_t>(t);

  std::vector<uint8_t> bestData, data;
  uint64_t best = EncodeFrameRecord(f, &bestData);
  if (best == 0) return false;
  bool taken = false;
  try {
    std::vector<uint8_t> original = f->dib;
    std::vector<uint8_t> variant = original;
    if (AllDuplicates(variant.data() + DibBitsOffset, stride, w, h, changed, T) > 0) {
      uint64_t size = SizeWith(f, variant, &data);
      if (size != 0 && size < best) {
        f->dib.swap(variant);
        bestData.swap(data);
        best = size;
        taken = true;
      }
    }
    variant = std::move(original);
    if (DuplicateRuns(variant.data() + DibBitsOffset, stride, w, h, changed, T) > 0) {
      uint64_t size = SizeWith(f, variant, &data);
      if (size != 0 && size < best) {
        f->dib.swap(variant);
        bestData.swap(data);
        taken = true;
      }
    }
  } catch (const std::bad_alloc&) {
    // No room for a trial copy: the frame keeps what it has.
  }
  if (lzw)
    lzw->swap(bestData);
  else
    KeepFrameData(f, std::move(bestData));
  if (!taken) return false;
  FreeRgbPlane(f);
  SetTransparency(f, false);
  SetTransparentIndex(f, T);
  SetTransparency(f, true);
  return true;
}

bool TryDuplicatesTransparency(Frame* f, const uint8_t* changed, bool smallIndex) {
  return TryDuplicates(f, changed, smallIndex, nullptr);
}

bool TryDuplicatesTransparencyData(Frame* f, const uint8_t* changed, bool smallIndex,
                                   std::vector<uint8_t>* lzw) {
  if (lzw) lzw->clear();
  return TryDuplicates(f, changed, smallIndex, lzw);
}

}  // namespace lw
