// What the GIF tests compare with other programs: random documents, written to bytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/byte_sink.h"
#include "core/gif_writer.h"
#include "support/document.h"
#include "support/timeline.h"

namespace lw::test {

// RandomAnimation varied further by the seed: palettes of 1 to 8 bits (indexes spread so that
// high ones are used), interlaced frames, comments, a loop count, and for half the seeds a last
// frame in 256 colours of its own, which no rewrite can fold into the global table.
inline AnimationPtr VariedAnimation(uint32_t seed) {
  AnimationPtr a = RandomAnimation(seed, true);
  std::mt19937 rng(seed * 7919u + 3);
  const int n = 2 << rng() % 8;
  // 17 i mod n keeps 0..15 apart, and is i itself when n divides 16.
  auto spread = [n](int i) { return static_cast<uint8_t>(17 * i % n); };
  SetGlobalPalette(*a, RampPalette(n));
  a->backgroundIndex = spread(a->backgroundIndex);
  const uint32_t plays[] = {0, 1, 2, 7, 65536};
  a->playCount = plays[rng() % 5];
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    const uint64_t stride = IndexStride(f->DibWidth());
    for (uint64_t i = 0; i < stride * f->DibHeight(); ++i) f->bits()[i] = spread(f->bits()[i]);
    if (f->localPalette) {
      PalettePtr local = RampPalette(n);
      std::reverse(local->entries.begin(), local->entries.end());
      GiveLocalPalette(f, std::move(local));
    }
    UpdateDibColourTable(f);
    if (f->Transparent()) SetTransparentIndex(f, spread(f->transparentIndex));
    RebuildTransparencyMask(f);
    SetInterlaced(f, rng() % 3 == 0);
    if (rng() % 4 == 0) {
      Block* comment = NewBlock(BlockKind::Comment, 0);
      SetCommentText(comment, "note " + std::to_string(rng() % 1000));
      InsertBlockAfter(f, comment);
    }
  }
  if (rng() % 2) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 256; ++i)
      rgb.insert(rgb.end(), {static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2),
                             static_cast<uint8_t>(i)});
    const uint32_t w = a->screenWidth;
    Frame* rich = AddDrawnFrame(*a, 0, 0, w, a->screenHeight,
                                [w](uint32_t x, uint32_t y) { return (x + y * w) % 256; });
    GiveLocalPalette(rich, PaletteFromTriples(256, rgb.data()));
  }
  return a;
}

inline std::vector<uint8_t> GifBytes(Animation& a, const GifWriteOptions& options = {}) {
  std::vector<uint8_t> out;
  ByteSink sink(&out);
  EXPECT_EQ(WriteGif(sink, a, nullptr, options), GifWriteStatus::Done);
  return out;
}

}  // namespace lw::test
