#include "core/pixel_counts.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "core/animation.h"
#include "core/gif_writer.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

// Frames of every width around the word sizes the counting and masking loops work in, with runs
// of one index and transparent pixels.
TEST(PixelCounts, CountsAndMasksMatchAPixelByPixelWalk) {
  std::mt19937 rng(7);
  for (uint32_t width : {1u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 64u, 71u}) {
    AnimationPtr a = MakeDocument(width, 5);
    std::vector<uint8_t> px(width * 5);
    for (uint8_t& p : px) p = rng() % 3 ? static_cast<uint8_t>(rng() % 6) : 2;
    Frame* f = AddFrame(*a, 0, 0, width, 5, px, 0, 2, 10);
    ASSERT_TRUE(f->Transparent());

    std::array<uint32_t, 256> all{}, opaque{}, want{};
    for (uint8_t p : px) ++want[p];
    CountFrameColours(f, all.data(), true);
    CountOpaqueFrameColours(f, opaque.data(), true);
    EXPECT_EQ(all, want) << width;
    want[2] = 0;
    EXPECT_EQ(opaque, want) << width;

    const uint64_t stride = MaskStride(width);
    ASSERT_EQ(f->transparencyMask.size(), stride * 5);
    for (uint32_t y = 0; y < 5; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        bool set = f->transparencyMask[y * stride + x / 8] & (0x80 >> (x % 8));
        EXPECT_EQ(set, px[y * width + x] == 2) << width << " at " << x << "," << y;
      }
  }
}

// A big animation is counted on several threads: the counters are those of one.
TEST(PixelCounts, ABigAnimationCountsTheSameOnAnyThreadCount) {
  AnimationPtr a = MakeDocument(400, 300);
  std::mt19937 rng(3);
  uint64_t opaque = 0;
  for (int i = 0; i < 12; ++i) {
    std::vector<uint8_t> px(400 * 300, static_cast<uint8_t>(i));
    for (size_t k = 0; k < px.size(); k += 1 + rng() % 50) px[k] = static_cast<uint8_t>(rng());
    for (uint8_t p : px) opaque += i % 2 == 0 || p != 5;
    AddFrame(*a, 0, 0, 400, 300, px, 0, i % 2 ? 5 : -1, 10);
  }
  for (bool opaqueOnly : {false, true}) {
    std::array<uint32_t, 256> counts[3];
    for (int n = 0; n < 3; ++n) {
      SetGifEncoderThreads(n * 2 + 1);
      counts[n].fill(1);
      EXPECT_TRUE(CountGlobalFramesColours(*a, counts[n].data(), opaqueOnly, 0));
    }
    SetGifEncoderThreads(0);
    EXPECT_EQ(counts[0], counts[1]);
    EXPECT_EQ(counts[0], counts[2]);
    uint64_t total = 0;
    for (uint32_t n : counts[0]) total += n;
    EXPECT_EQ(total, (opaqueOnly ? opaque : 12u * 400 * 300) + 256) << opaqueOnly;
  }
}

}  // namespace
}  // namespace lw::test
