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

namespace {

using Wide = __int128;

Wide FloorDiv(Wide a, Wide b) {  // b > 0
  Wide q = a / b;
  return q * b > a ? q - 1 : q;
}
Wide CeilDiv(Wide a, Wide b) { return -FloorDiv(-a, b); }
Wide RoundDiv(Wide a, Wide b) { return FloorDiv(2 * a + b, 2 * b); }

int64_t Narrow(Wide v) {
  return v > INT64_MAX / 2 ? INT64_MAX / 2 : v < INT64_MIN / 2 ? INT64_MIN / 2 : int64_t(v);
}

// Seconds from the part's start to sample, as numerator over Denominator(): hostile
// timestamps are bounded so that nothing below overflows.
Wide SinceStart(const ClipClock& c, int64_t sample) {
  constexpr int64_t kFar = int64_t{1} << 40;
  const Wide samples = std::clamp<Wide>(Wide{sample} - c.start, -kFar, kFar);
  return samples * std::max<int64_t>(c.scale, 1) * 1000 -
         Wide{std::clamp<int64_t>(c.partStartMs, 0, kFar)} * std::max<int64_t>(c.rate, 1);
}
Wide Denominator(const ClipClock& c) { return Wide{std::max<int64_t>(c.rate, 1)} * 1000; }

// The delay units at a time (numerator over Denominator()), on the clock's grid.
int64_t UnitsAt(const ClipClock& c, Wide time) {
  const Wide den = Denominator(c);
  const uint32_t step = c.StepRateMilli();
  if (step == 0) return Narrow(RoundDiv(time * c.units, den));
  // The first step at or after the time, and where it falls.
  const Wide k = CeilDiv(time * step, den * 1000);
  return Narrow(RoundDiv(k * 1000 * c.units, step));
}

}  // namespace

uint32_t ClipClock::StepRateMilli() const {
  const uint32_t most = std::min<uint32_t>(kMaxClipRate, std::max<uint32_t>(units, 1)) * 1000;
  const bool ownKnown = ownRateNum > 0 && ownRateDen > 0;
  // A rate below the clip's own; asked at or above it, the clip keeps its own pictures.
  if (fpsMilli > 0 && (!ownKnown || Wide{fpsMilli} * ownRateDen < Wide{ownRateNum} * 1000))
    return std::min(fpsMilli, most);
  if (ownKnown && Wide{ownRateNum} * 1000 > Wide{most} * ownRateDen) return most;
  return 0;
}

uint32_t ClipClock::MinDelay() const {
  return std::max<uint32_t>((units + kMaxClipRate - 1) / kMaxClipRate, 1);
}

int64_t ClipClock::PartStartSample() const {
  if (partStartMs <= 0 || scale <= 0 || rate <= 0) return start;
  return Narrow(Wide{start} + FloorDiv(Wide{partStartMs} * rate, Wide{scale} * 1000));
}

int64_t ClipClock::StartOf(int64_t sample) const {
  const Wide time = SinceStart(*this, sample);
  if (partLengthMs > 0 && time >= Wide{partLengthMs} * std::max<int64_t>(rate, 1)) return -1;
  if (time <= 0) return 0;
  const int64_t at = UnitsAt(*this, time);
  if (partLengthMs > 0 && StepRateMilli() > 0 &&
      at >= UnitsAt(*this, Wide{partLengthMs} * std::max<int64_t>(rate, 1)))
    return -1;  // between the last step and the part's end: never shown
  return at;
}

int64_t ClipClock::EndOf(int64_t sampleAfterLast) const {
  Wide time = SinceStart(*this, sampleAfterLast);
  if (partLengthMs > 0) time = std::min(time, Wide{partLengthMs} * std::max<int64_t>(rate, 1));
  return time <= 0 ? 0 : UnitsAt(*this, time);
}

FrameTimeline::Take FrameTimeline::Add(int64_t start) {
  if (!holding_) {  // the first picture is shown from the part's start
    holding_ = true;
    held_ = 0;
    return Take::Replace;
  }
  if (start <= held_) return Take::Replace;
  if (start - held_ < minDelay_) return Take::Skip;
  delay_ = static_cast<uint32_t>(std::min<int64_t>(start - held_, 0xFFFF));
  held_ = start;
  gave_ = true;
  return Take::NewFrame;
}

bool FrameTimeline::Finish(int64_t end) {
  if (!holding_) return false;
  holding_ = false;
  // A picture that starts at the end is never shown (the first step after the last picture).
  if (end <= held_ && gave_) return false;
  delay_ = static_cast<uint32_t>(std::clamp<int64_t>(end - held_, minDelay_, 0xFFFF));
  return true;
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
