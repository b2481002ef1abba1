// The exact encoder finds the lossy coder's strings again (same dictionary, clears and hash
// quirks included): it writes the lossy pixels in exactly the bytes the lossy coder counted.
#include "core/lzw_lossy.h"

#include <gtest/gtest.h>

#include <random>

#include "core/byte_sink.h"
#include "core/lzw.h"

namespace lw {
namespace {

TEST(LossyLzw, TheExactEncoderFindsTheSameStrings) {
  std::mt19937 rng(7);
  for (int round = 0; round < 48; ++round) {
    SCOPED_TRACE(round);
    LossyLzwInput in;
    in.codeSize = 2 + static_cast<int>(rng() % 7);
    const int clear = 1 << in.codeSize;
    std::vector<uint8_t> rgb(3 * 256);  // every other palette a ramp of close colours
    for (int i = 0; i < 3 * 256; ++i)
      rgb[i] = static_cast<uint8_t>(round % 2 ? i / 3 * (i % 3 + 1) + rng() % 9 : rng());
    in.rgb = rgb.data();
    in.colours = static_cast<int>(rng() % (clear + 1));  // some indexes may have no colour
    in.transparent = round % 3 ? static_cast<int>(rng() % clear) : -1;
    in.tolerance = round % 5 == 0 ? 0 : static_cast<int>(rng() % 201);
    // Long streams fill the table and clear it; runs of zeros make key 0 collide.
    in.count = 1 + rng() % (round % 4 == 0 ? 60000 : 3000);
    std::vector<uint8_t> src(in.count), out(in.count);
    for (int i = 0, v = 0; i < static_cast<int>(in.count); ++i) {
      if (rng() % 4 == 0) v = (v + static_cast<int>(rng() % 5) + clear - 2) % clear;
      src[i] = static_cast<uint8_t>(round % 4 == 1 && rng() % 8 ? 0 : v);
    }
    in.pixels = src.data();
    const uint64_t size = LossyLzwPixels(in, out.data());
    ByteSink sink;
    ASSERT_TRUE(LzwEncode(sink, in.codeSize, out.data(), in.count, uint32_t(in.count), 1, false));
    ASSERT_EQ(sink.Count(), size);
  }
}

}  // namespace
}  // namespace lw
