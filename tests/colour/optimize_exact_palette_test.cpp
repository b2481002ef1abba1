// The default optimization folds local palettes without changing a picture when the colours fit
// one palette: 256-colour clips whose frames leave an index free for transparency, and frames
// that have no colour table at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "colour/optimize.h"
#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "support/document.h"
#include "support/gif_bytes.h"
#include "support/services.h"
#include "support/temp_dir.h"
#include "support/timeline.h"

namespace lw::test {
namespace {

// What -z runs with the stored options nobody changed.
constexpr uint32_t kDefault = optimize::CropFrames | optimize::DuplicatesToTransparency |
                              optimize::RemoveLocalPalettes | optimize::ReducePalettes |
                              optimize::RemoveUselessFrames | optimize::BuildMetaPalette;

// A clip as a video converter writes it: 256 colours in use, the first frame with a local copy of
// the global palette, later frames patches whose transparent index is one they do not draw with
// (some on a reversed local palette, so the same indexes show other colours).
AnimationPtr FullClip(uint32_t seed) {
  std::mt19937 rng(seed);
  const uint32_t w = 20 + rng() % 20, h = 14 + rng() % 10;
  AnimationPtr a = MakeDocument(w, h, RampPalette(256));
  std::vector<uint8_t> first(size_t{w} * h);
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i);
  std::shuffle(first.begin(), first.end(), rng);
  GiveLocalPalette(AddFrame(*a, 0, 0, w, h, first, DisposalLeave),
                   CopyPalette(a->globalPalette.get()));
  for (int n = 0; n < 6; ++n) {
    const uint32_t fw = 1 + rng() % w, fh = 1 + rng() % h;
    const int32_t x = static_cast<int32_t>(rng() % (w - fw + 1)),
                  y = static_cast<int32_t>(rng() % (h - fh + 1));
    const uint8_t t = static_cast<uint8_t>(rng());
    std::vector<uint8_t> px(size_t{fw} * fh);
    for (uint8_t& v : px) {
      v = static_cast<uint8_t>(rng());
      if (v == t && rng() % 2) v = static_cast<uint8_t>(t + 1);  // t left free but for holes
    }
    const int disposal = n % 4 == 3 ? static_cast<int>(rng() % 4) : DisposalLeave;
    Frame* f = AddFrame(*a, x, y, fw, fh, px, disposal, t);
    if (rng() % 3 == 0) {
      PalettePtr reversed = CopyPalette(a->globalPalette.get());
      std::reverse(reversed->entries.begin(), reversed->entries.end());
      GiveLocalPalette(f, std::move(reversed));
    }
  }
  return a;
}

// The colours fit one palette, so no pixel may change: each transparent frame keeps an index its
// own pixels leave free (a common transparent entry would push a 257th colour out).
TEST(OptimizeExactPalette, FullPaletteClipsKeepEveryPicture) {
  ServicesScope scope;
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    AnimationPtr a = FullClip(seed);
    const auto before = Timeline(*a);
    OptimizeAnimation(*a, OptimizeOptions(kDefault), nullptr);
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) EXPECT_FALSE(f->localPalette);
    EXPECT_TRUE(SameTimeline(before, Timeline(*a)));
  }
}

// Frames stored without any colour table show black whatever their indexes: folding the first
// frame's table into a global one must not give them its colours, nor merge them away.
TEST(OptimizeExactPalette, FramesWithoutAnyTableStayBlack) {
  ServicesScope scope;
  TempDir dir;
  const std::vector<uint32_t> four = {0xE01010, 0x10C020, 0x2030F0, 0xF0F0E0};
  const std::string path =
      dir.Put("untabled.gif",
              GifBytes(6, 5, {})
                  .Frame(0, 0, 6, 5, {.local = four}, [](int x, int y) { return (x + y) % 4; })
                  .Solid(1, 1, 3, 2, {}, 1)
                  .Solid(2, 0, 4, 4, {.delay = 20}, 2)
                  .Solid(0, 2, 2, 3, {.transparent = 3, .local = four}, 3)
                  .Solid(3, 3, 2, 2, {}, 3)
                  .Done());
  // The meta-palette, and the other two ways of folding local palettes.
  const uint32_t noMeta = kDefault & ~optimize::BuildMetaPalette;
  for (uint32_t options : {kDefault, noMeta, noMeta | optimize::MapToGlobalPalette}) {
    SCOPED_TRACE(options);
    GifSource source;
    AnimationPtr a;
    ASSERT_TRUE(source.Open(path) && IsGifFile(source));
    ASSERT_EQ(ReadGif(source, nullptr, &a), GifReadStatus::Done);
    const auto before = Timeline(*a);
    OptimizeAnimation(*a, OptimizeOptions(options), nullptr);
    EXPECT_TRUE(SameTimeline(before, Timeline(*a)));
  }
}

}  // namespace
}  // namespace lw::test
