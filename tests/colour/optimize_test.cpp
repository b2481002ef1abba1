// The optimizer makes files smaller and never changes what the animation shows, and the few
// decisions a user sees in the result.
#include "colour/optimize.h"

#include <gtest/gtest.h>

#include <random>

#include "core/byte_sink.h"
#include "core/gif_reader.h"
#include "core/gif_writer.h"
#include "support/document.h"
#include "support/timeline.h"

namespace lw {
namespace {

using namespace test;

constexpr uint32_t kFrameOptions =
    optimize::CropFrames | optimize::DuplicatesToTransparency | optimize::RemoveUselessFrames;

std::vector<uint8_t> GifBytes(Animation& a) {
  std::vector<uint8_t> bytes;
  ByteSink sink(&bytes);
  EXPECT_EQ(WriteGif(sink, a, nullptr), GifWriteStatus::Done);
  return bytes;
}

bool AnyLocal(const Animation& a) {
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f))
    if (f->localPalette) return true;
  return false;
}

// Restoring full-screen redraws, some with holes, and a few patches: disposals to choose.
AnimationPtr RandomRestoringAnimation(uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  uint32_t sw = 6 + pick(30), sh = 6 + pick(20);
  AnimationPtr a = MakeDocument(sw, sh);
  int frames = 2 + pick(9);
  int ground = pick(3) == 0 ? -1 : pick(6);  // -1: the sprite moves over nothing
  for (int i = 0; i < frames; ++i) {
    int disposal = pick(5) == 0 ? pick(2) : 2 + pick(2);
    int transparent = ground < 0 || pick(3) == 0 ? 15 : -1;
    int sx = pick(static_cast<int>(sw)), sy = pick(static_cast<int>(sh));
    bool patch = pick(5) == 0;
    uint32_t w = patch ? 1 + pick(static_cast<int>(sw)) : sw;
    uint32_t h = patch ? 1 + pick(static_cast<int>(sh)) : sh;
    int32_t x = pick(static_cast<int>(sw - w + 1)), y = pick(static_cast<int>(sh - h + 1));
    AddDrawnFrame(
        *a, x, y, w, h,
        [&](uint32_t px, uint32_t py) -> uint8_t {
          if (px >= uint32_t(sx) && px < uint32_t(sx) + 4 && py >= uint32_t(sy) &&
              py < uint32_t(sy) + 3)
            return static_cast<uint8_t>(8 + (px + py) % 3);
          if (ground < 0 || (transparent >= 0 && (px * 7 + py * 3) % 11 == 0)) return 15;
          return static_cast<uint8_t>(ground + (py / 5) % 2);
        },
        disposal, transparent, 1 + pick(9));
  }
  return a;
}

// Colours closer than six bits per channel tell apart, global and local: rounding merges them.
void UseCloseColours(Animation& a, std::mt19937& rng) {
  auto close = [&]() -> PaletteEntry {
    return {static_cast<uint8_t>(96 + rng() % 8), static_cast<uint8_t>(40 + rng() % 8),
            static_cast<uint8_t>(200 + rng() % 8), 0};
  };
  for (PaletteEntry& e : a.globalPalette->entries) e = close();
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (f->localPalette) {
      std::vector<PaletteEntry>& local = f->localPalette->entries;
      local = a.globalPalette->entries;
      if (rng() % 3 == 1) std::shuffle(local.begin(), local.end(), rng);
      if (rng() % 3 == 2)
        for (PaletteEntry& e : local) e = close();
    }
    UpdateDibColourTable(f);
  }
}

// All 256 entries in use, the first frame with a local copy: full, no slot, nothing may change.
AnimationPtr FullPaletteWithALocalCopy() {
  AnimationPtr a = MakeDocument(16, 16);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 256; ++i) {
    rgb.push_back(static_cast<uint8_t>(100 + (i & 7)));
    rgb.push_back(static_cast<uint8_t>(50 + (i >> 3 & 7)));
    rgb.push_back(static_cast<uint8_t>(150 + (i >> 6)));
  }
  SetGlobalPalette(*a, PaletteFromTriples(256, rgb.data()));
  for (int n = 0; n < 12; ++n) {
    Frame* f = AddDrawnFrame(*a, 0, 0, 16, 16, [n](uint32_t x, uint32_t y) {
      return static_cast<uint8_t>((y * 16 + x + n * 37) % 256);
    });
    if (n == 0) GiveLocalPalette(f, CopyPalette(a->globalPalette.get()));
  }
  return a;
}

// Every option set keeps the pictures and times; the frame step never grows the file.
TEST(Optimize, EveryOptionSetKeepsThePicturesAndTheFrameStepNeverGrowsTheFile) {
  constexpr uint32_t kLocal = optimize::RemoveLocalPalettes | optimize::ReducePalettes;
  const uint32_t optionSets[] = {
      optimize::CropFrames,
      optimize::CropFrames | optimize::DuplicatesToTransparency,
      kFrameOptions,
      kFrameOptions | optimize::ChooseDisposal,
      kFrameOptions | optimize::ChooseDisposal | optimize::MinimalCodeSize,
      optimize::CropFrames | optimize::ChooseDisposal | optimize::MinimalCodeSize,
      kLocal | optimize::CropFrames | optimize::DuplicatesToTransparency,
      optimize::Defaults,
  };
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    const int kind = seed % 4;  // 0 one palette, 1 local palettes, 2 restoring, 3 close colours
    AnimationPtr original = seed == 100 ? FullPaletteWithALocalCopy()
                            : kind == 2 ? RandomRestoringAnimation(seed)
                                        : RandomAnimation(seed, kind != 0);
    std::mt19937 rng(seed);
    if (kind == 3) UseCloseColours(*original, rng);
    // A flat picture, then a frame that changes one pixel of it.
    const uint32_t sw = original->screenWidth, sh = original->screenHeight;
    AddSolidFrame(*original, 0, 0, sw, sh, 4);
    AddSolidFrame(*original, rng() % sw, rng() % sh, 1, 1, 5);
    const bool hadLocal = AnyLocal(*original);
    const auto before = Timeline(*original);
    const size_t sizeBefore = GifBytes(*original).size();
    for (uint32_t options : optionSets) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " options " << options);
      AnimationPtr a = DuplicateAnimation(*original, nullptr);
      OptimizeAnimation(*a, OptimizeOptions(options), nullptr);
      ASSERT_TRUE(SameTimeline(before, Timeline(*a)));
      std::vector<uint8_t> bytes = GifBytes(*a);
      // The frame step alone only ever cuts; choosing disposals and sharing palettes may trade
      // a few bytes for others.
      if (!(options & (kLocal | optimize::ChooseDisposal))) {
        EXPECT_LE(bytes.size(), sizeBefore);
      }
      if (options & kLocal) {
        // Every local palette here fits the global one.
        EXPECT_FALSE(AnyLocal(*a));
      }
      if (options == optimize::Defaults && !hadLocal) {
        // Unused entries went: the palette is as small as the colours in use allow.
        uint32_t used[256];
        CountColourUsage(*a, used, true);
        int n = 0;
        for (uint32_t u : used) n += u != 0;
        EXPECT_EQ(a->globalPalette->Count(), 1 << BitsForColours(n));
      }
      if ((options & optimize::MinimalCodeSize) && seed % 4 == 0) {
        // Small code sizes survive the file.
        AnimationPtr back;
        ASSERT_EQ(ReadGifMemory(bytes.data(), bytes.size(), nullptr, &back), GifReadStatus::Done);
        ASSERT_TRUE(SameTimeline(before, Timeline(*back)));
      }
    }
  }
}

AnimationPtr MovingSprite(int disposal, int transparent = -1, bool ground = true) {
  AnimationPtr a = MakeDocument(48, 32);
  for (uint32_t i = 0; i < 6; ++i) {
    AddDrawnFrame(
        *a, 0, 0, 48, 32,
        [&](uint32_t x, uint32_t y) -> uint8_t {
          if (x >= 4 + 6 * i && x < 12 + 6 * i && y >= 10 && y < 18) return 9 + (x + y) % 3;
          return ground ? ((y / 4) % 2 ? 2 : 3) : 15;
        },
        disposal, transparent);
  }
  return a;
}

// Over the ground frames shrink to the old and new sprite places (14 x 8 at row 10), restoring ones
// are better left (1); over nothing the old sprite must go (2) and only the new one is drawn.
TEST(Optimize, MovingSpriteShrinksToTheChangedAreaWithTheDisposalThatAllows) {
  const std::tuple<int, bool, uint32_t, int> cases[] = {
      {0, true, 14, 0}, {1, true, 14, 1}, {2, true, 14, 1}, {2, false, 8, 2}};
  for (auto [disposal, ground, width, chosen] : cases) {
    AnimationPtr a = MovingSprite(disposal, ground ? -1 : 15, ground);
    OptimizeAnimation(*a, OptimizeOptions(kFrameOptions | optimize::ChooseDisposal), nullptr);
    EXPECT_EQ(FirstFrame(*a)->width,
              ground ? 48u : 8u);  // an opaque first frame lays down the screen
    for (const Frame* f = NextFrame(FirstFrame(*a)); f; f = NextFrame(f))
      EXPECT_EQ(std::make_tuple(f->width, f->height, f->top), std::make_tuple(width, 8u, 10))
          << disposal;
    for (const Frame* f = FirstFrame(*a); NextFrame(f); f = NextFrame(f))
      EXPECT_EQ(f->Disposal(), chosen);
  }
}

// A preferred index if free (and within the small codes), else the highest free one there.
TEST(Optimize, TransparentIndexPrefersSmallCodesAndNeverAUsedOne) {
  bool used[256] = {true, true, true};
  EXPECT_EQ(std::make_tuple(
                ChooseTransparentIndex(used, 256, -1, 0), ChooseTransparentIndex(used, 256, -1, 2),
                ChooseTransparentIndex(used, 256, 40, 2), ChooseTransparentIndex(used, 256, 40, 0),
                ChooseTransparentIndex(used, 256, 1, 0), ChooseTransparentIndex(used, 3, -1, 0)),
            std::make_tuple(255, 3, 3, 40, 255, -1));
}

TEST(Optimize, SmallestCodeSizeIsWrittenOnlyWithTheCut) {
  AnimationPtr a = MakeDocument(24, 8);
  SetGlobalPalette(*a, RampPalette(256));
  AddDrawnFrame(*a, 0, 0, 24, 8, [](uint32_t x, uint32_t y) { return uint8_t((x + y) % 16); });
  // Options, a pixel value put after optimizing (a later edit must still fit), code size written.
  const std::tuple<uint32_t, uint8_t, int> cases[] = {
      {optimize::CropFrames | optimize::MinimalCodeSize, 3, 4},
      {optimize::CropFrames | optimize::MinimalCodeSize, 200, 8},
      {optimize::CropFrames, 3, 8},
      {optimize::MinimalCodeSize, 3, 8}};
  for (auto [options, edit, expected] : cases) {
    AnimationPtr doc = DuplicateAnimation(*a, nullptr);
    OptimizeAnimation(*doc, OptimizeOptions(options), nullptr);
    FirstFrame(*doc)->bits()[5] = edit;
    std::vector<uint8_t> bytes = GifBytes(*doc);
    int written = -1;  // the code size follows the image descriptor (no local table here)
    for (size_t i = 0; i + 18 < bytes.size() && written < 0; ++i)
      if (bytes[i] == 0x21 && bytes[i + 1] == 0xF9 && bytes[i + 2] == 4 && bytes[i + 8] == 0x2C)
        written = bytes[i + 18];
    EXPECT_EQ(written, expected) << int(edit);
    AnimationPtr back;
    ASSERT_EQ(ReadGifMemory(bytes.data(), bytes.size(), nullptr, &back), GifReadStatus::Done);
    EXPECT_EQ(Pixels(*FirstFrame(*back)), Pixels(*FirstFrame(*doc)));
  }
}

TEST(Optimize, DropsTextAndApplicationBlocksAndClipsFrames) {
  AnimationPtr a = MovingSprite(0);
  AddComment(*a, "hello");
  InsertBlockAfter(LastBlock(*a), NewBlock(BlockKind::Application, 0));
  InsertBlockAfter(a->blocks, NewBlock(BlockKind::PlainText, 0));
  AddSolidFrame(*a, -3, 26, 8, 8, 2);
  OptimizeAnimation(*a, OptimizeOptions(kFrameOptions), nullptr);
  int comments = 0, others = 0;
  for (Block* b = a->blocks->next; b; b = b->next) {
    comments += b->kind == BlockKind::Comment;
    others += b->kind == BlockKind::Application || b->kind == BlockKind::PlainText;
  }
  EXPECT_EQ(comments, 1);
  EXPECT_EQ(others, 0);
  const Frame* off = FrameAt(*a, a->frameCount - 1);
  EXPECT_GE(off->left, 0);
  EXPECT_LE(off->top + static_cast<int64_t>(off->height), 32);
}

}  // namespace
}  // namespace lw
