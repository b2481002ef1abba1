// How long the numbers in frame delays are. A document's delays count in units of 1/perSecond
// of a second (the user's choice, 1 to 100 a second; GIF files hold hundredths). Every reader,
// writer and player converts through this one type so that a stored value out of range is
// understood the same way everywhere: as hundredths.
#pragma once

#include <cstdint>

namespace lw {

struct DelayUnits {
  uint32_t perSecond = 100;

  // The stored setting as a value every caller agrees on: 1 to 100 a second, else hundredths.
  static constexpr DelayUnits From(uint32_t stored) {
    return DelayUnits{stored >= 1 && stored <= 100 ? stored : 100};
  }

  // What one unit is in hundredths, as the GIF delay field counts (whole hundredths: units that
  // do not divide 100 round down, as the files always have).
  constexpr uint64_t HundredthsPerUnit() const { return 100 / perSecond; }
  constexpr uint64_t ToHundredths(uint64_t delay) const { return delay * HundredthsPerUnit(); }
  // A delay in milliseconds, exactly as the units give it.
  constexpr uint64_t ToMilliseconds(uint64_t delay) const { return delay * 1000 / perSecond; }

  friend constexpr bool operator==(DelayUnits a, DelayUnits b) {
    return a.perSecond == b.perSecond;
  }
};

// The timing a document is made with: its delay units, and what a new frame and a new document
// start with.
struct Timing {
  DelayUnits units;
  uint32_t defaultDelay = 10;     // a new frame's delay, in units
  uint32_t defaultLoopCount = 0;  // a new document's play count (0: for ever)
};

}  // namespace lw
