// The lossy coder against the exact one: its pixels stay near their sources, and the exact
// encoder writes them with exactly the bytes the lossy coder counted, which only holds when both
// build the same dictionary and the exact encoder finds the same strings again.
#include <gtest/gtest.h>

#include <random>

#include "core/byte_sink.h"
#include "core/lzw.h"
#include "core/lzw_lossy.h"

namespace lw {
namespace {

TEST(LossyLzw, PixelsStayNearAndTheExactEncoderFindsTheSameStrings) {
  std::mt19937 rng(7);
  for (int round = 0; round < 48; ++round) {
    SCOPED_TRACE(round);
    LossyLzwInput in;
    in.codeSize = 2 + static_cast<int>(rng() % 7);
    const int clear = 1 << in.codeSize;
    // Every other palette a smooth ramp, where many entries lie near each other.
    std::vector<uint8_t> rgb(3 * 256);
    for (int i = 0; i < 3 * 256; ++i)
      rgb[i] = static_cast<uint8_t>(round % 2 ? i / 3 * (i % 3 + 1) + rng() % 9 : rng());
    in.rgb = rgb.data();
    in.colours = static_cast<int>(rng() % (clear + 1));  // some indexes may have no colour
    in.transparent = round % 3 ? static_cast<int>(rng() % clear) : -1;
    in.tolerance = round % 5 == 0 ? 0 : static_cast<int>(rng() % 201);
    // Long streams fill the table and clear it; runs of zeros make key 0 collide.
    in.count = 1 + rng() % (round % 4 == 0 ? 60000 : 3000);
    std::vector<uint8_t> src(in.count), out(in.count);
    int v = 0;
    for (uint8_t& p : src) {
      if (rng() % 4 == 0) v = (v + static_cast<int>(rng() % 5) + clear - 2) % clear;
      p = static_cast<uint8_t>(round % 4 == 1 && rng() % 8 ? 0 : v);
    }
    in.pixels = src.data();
    const uint64_t size = LossyLzwPixels(in, out.data());
    ByteSink sink;
    ASSERT_TRUE(LzwEncode(sink, in.codeSize, out.data(), in.count,
                          static_cast<uint32_t>(in.count), 1, false));
    ASSERT_EQ(sink.Count(), size);
    if (in.tolerance == 0) {
      EXPECT_EQ(out, src);
    }
    for (size_t i = 0; i < in.count; ++i) {
      const int s = src[i], o = out[i];
      if (s == o) continue;
      ASSERT_TRUE(s < in.colours && o < in.colours && s != in.transparent &&
                  o != in.transparent)
          << i << ": " << s << " became " << o;
      ASSERT_LE(LossyDistance30(&rgb[3 * s], &rgb[3 * o]), 30u * in.tolerance) << i;
    }
  }
}

}  // namespace
}  // namespace lw
