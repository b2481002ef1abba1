#include "formats/avi/avi_timing.h"

#include <algorithm>
#include <numeric>

namespace lw {

AviTiming ComputeAviTiming(const std::vector<uint32_t>& delays, uint32_t fixedRate,
                           uint32_t delayUnits) {
  AviTiming timing;
  if (delayUnits == 0) delayUnits = 100;
  if (fixedRate != 0) {
    timing.rate = fixedRate;
    timing.scale = 10000;
    timing.step = static_cast<uint32_t>(uint64_t{delayUnits} * 10000 / fixedRate);
  } else {
    uint32_t step = 0;
    for (uint32_t delay : delays) step = std::gcd(step, std::max<uint32_t>(delay, 1));
    timing.step = step;
    timing.scale = std::max<uint32_t>(step, 1);
    timing.rate = delayUnits;
  }
  // A rate faster than one delay unit still moves on by a whole unit per frame.
  timing.step = std::max<uint32_t>(timing.step, 1);
  uint64_t elapsed = 0;
  for (uint32_t delay : delays) {
    timing.elapsed.push_back(elapsed);
    timing.samples.push_back(static_cast<int64_t>(elapsed / timing.step));
    elapsed += std::max(delay, timing.step);
  }
  timing.length = elapsed / timing.step;
  if (!delays.empty()) {
    int64_t repeat = static_cast<int64_t>((elapsed - 1) / timing.step);
    if (repeat > timing.samples.back()) timing.repeatSample = repeat;
  }
  return timing;
}

uint32_t VideoDelay(uint32_t delayUnits, int64_t samples, int64_t scale, int64_t rate) {
  if (samples <= 0 || scale <= 0 || rate <= 0) return 0;
  unsigned __int128 units = static_cast<unsigned __int128>(delayUnits) *
                            static_cast<uint64_t>(samples) * static_cast<uint64_t>(scale);
  units /= static_cast<uint64_t>(rate);
  return units > 0xFFFF ? 0xFFFF : static_cast<uint32_t>(units);
}

namespace {

// Length of the run of equal bytes at row[i], at most 255.
uint32_t RunAt(const uint8_t* row, uint32_t i, uint32_t width) {
  uint32_t j = i + 1;
  while (j < width && j - i < 255 && row[j] == row[i]) ++j;
  return j - i;
}

}  // namespace

std::vector<uint8_t> EncodeRle8(const uint8_t* rows, uint32_t width, uint32_t height) {
  std::vector<uint8_t> out;
  const uint64_t stride = (uint64_t{width} + 3) & ~uint64_t{3};
  out.reserve(static_cast<size_t>(std::min<uint64_t>(stride * height + 2 * height + 2, 1 << 24)));
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = rows + stride * y;
    uint32_t i = 0;
    while (i < width) {
      uint32_t run = RunAt(row, i, width);
      if (run >= 3) {
        out.push_back(static_cast<uint8_t>(run));
        out.push_back(row[i]);
        i += run;
        continue;
      }
      // Bytes up to the next run of three or more go as one absolute stretch.
      uint32_t j = i;
      while (j < width && j - i < 255 && RunAt(row, j, width) < 3) ++j;
      uint32_t count = j - i;
      if (count < 3) {  // absolute stretches hold three bytes or more
        for (uint32_t k = i; k < j; ++k) {
          out.push_back(1);
          out.push_back(row[k]);
        }
      } else {
        out.push_back(0);
        out.push_back(static_cast<uint8_t>(count));
        out.insert(out.end(), row + i, row + j);
        if (count & 1) out.push_back(0);  // stretches end on a 16-bit boundary
      }
      i = j;
    }
    if (y + 1 < height) {
      out.push_back(0);  // end of line
      out.push_back(0);
    }
  }
  // Readers take a picture exactly the size of the uncompressed one as uncompressed: an end of
  // line on the last row changes the size and nothing else.
  if (out.size() + 2 == stride * height) {
    out.push_back(0);
    out.push_back(0);
  }
  out.push_back(0);  // end of bitmap
  out.push_back(1);
  return out;
}

}  // namespace lw
