#include "colour/palette_fit.h"

#include <gtest/gtest.h>

#include <set>

#include "colour/palette_edit.h"
#include "support/document.h"
#include "support/services.h"

namespace lw {
namespace {

using namespace test;

AnimationPtr AnimationWith(PalettePtr global) { return MakeDocument(16, 16, std::move(global)); }

constexpr uint32_t Colours256 = 0x00880000;

// A target with one frame on a grey palette of `entries`, its pixels using every index.
AnimationPtr GreyTarget(int entries) {
  AnimationPtr t = AnimationWith(GreyPalette(entries));
  std::vector<uint8_t> pixels;
  for (int i = 0; i < entries; ++i) pixels.push_back(static_cast<uint8_t>(i));
  Append(*t, IndexedFrame(entries, 1, t->globalPalette.get(), pixels));
  return t;
}

// A source with one 2 x 2 frame in colours red, green, blue and a transparent pixel.
AnimationPtr ColourSource(bool transparent) {
  AnimationPtr s =
      AnimationWith(MakePalette({{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {1, 2, 3, 0}}));
  Frame* f = IndexedFrame(2, 2, s->globalPalette.get(), {0, 1, 2, 3});
  if (transparent) {
    SetTransparentIndex(f, 3);
    SetTransparency(f, true);
  }
  Append(*s, f);
  return s;
}

TEST(FitPalettesTest, EqualPalettesOnlyRepointFrames) {
  AnimationPtr t = GreyTarget(4);
  AnimationPtr s = AnimationWith(GreyPalette(4));
  Frame* f = IndexedFrame(2, 1, s->globalPalette.get(), {3, 1});
  Append(*s, f);
  AnimationPtr second = AnimationWith(GreyPalette(4));
  Append(*second, IndexedFrame(1, 1, second->globalPalette.get(), {2}));
  s->nextInChain = std::move(second);
  PalettePtr before = CopyPalette(t->globalPalette.get());
  EXPECT_EQ(FitPalettes(t.get(), s.get(), Colours256 | merge::Adaptive, {}, nullptr, nullptr), 1);
  EXPECT_EQ(t->globalPalette->entries, before->entries);
  EXPECT_EQ(f->palette, t->globalPalette.get());
  EXPECT_EQ(Pixels(*f), (std::vector<uint8_t>{3, 1}));
  EXPECT_FALSE(s->nextInChain) << "chain joined";
  EXPECT_EQ(NextFrame(f)->palette, t->globalPalette.get());
}

int64_t Distance(const PaletteEntry& a, const PaletteEntry& b) {
  int64_t dr = a.red - b.red, dg = a.green - b.green, db = a.blue - b.blue;
  return dr * dr + dg * dg + db * db;
}

// Each method: opaque pixels show the nearest colour their palette offers (exact where kept), the
// transparent one stays, the target keeps its picture unless every palette is replaced.
TEST(FitPalettesTest, EveryMethodShowsTheNearestColourItsPaletteOffers) {
  const PaletteEntry colours[] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}};
  struct Case {
    uint32_t word;
    bool exact, keepsTarget, samePalette;
  } cases[] = {
      {merge::Adaptive | 0x00440000, true, true, false},  // 8 greys, 3 colours, a slot: 16
      {merge::MergeGlobal | Colours256, true, true, false},
      {merge::MapGlobal | Colours256, false, true, true},
      {merge::LocalEach | Colours256, true, true, true},
      {merge::Web, false, false, false},
  };
  for (const Case& c : cases) {
    for (bool dither : {false, true}) {
      SCOPED_TRACE(testing::Message() << "word " << c.word << (dither ? " dithered" : ""));
      AnimationPtr t = GreyTarget(8), s = ColourSource(true);
      Frame *f = FirstFrame(*s), *targetFrame = FirstFrame(*t);
      std::vector<PaletteEntry> before = t->globalPalette->entries;
      ASSERT_EQ(FitPalettes(t.get(), s.get(), c.word | (dither ? merge::Dither : 0), {}, nullptr,
                            nullptr),
                1);
      EXPECT_FALSE(s->globalPalette);
      const Palette* final = f->localPalette ? f->localPalette.get() : t->globalPalette.get();
      EXPECT_EQ(f->palette, final);
      EXPECT_EQ(f->localPalette != nullptr, (c.word & merge::LocalEach) != 0);
      EXPECT_EQ(t->globalPalette->entries == before, c.samePalette);
      ASSERT_TRUE(f->Transparent());
      EXPECT_EQ(Pixel(f, 1, 1), f->transparentIndex);
      for (uint32_t i = 0; i < 3; ++i) {
        const uint8_t index = Pixel(f, i % 2, i / 2);
        ASSERT_NE(index, f->transparentIndex) << "opaque pixels stay opaque";
        int64_t best = INT64_MAX;
        for (int j = 0; j < final->Count(); ++j)
          if (j != f->transparentIndex)
            best = std::min(best, Distance(final->entries[j], colours[i]));
        if (!dither || c.exact) {
          EXPECT_EQ(Distance(final->entries[index], colours[i]), c.exact ? 0 : best) << i;
        }
      }
      for (uint32_t x = 0; x < 8 && c.keepsTarget; ++x)
        EXPECT_EQ(ShownColour(*targetFrame, x, 0), before[x].red * 0x010101) << x;
    }
  }
}

TEST(MergeIntoPaletteTest, ExactFreeAppendedAndApproximatedPlaces) {
  PalettePtr target = MakePalette({{0, 0, 0, 0}, {50, 50, 50, 0}, {90, 90, 90, 0}});
  uint32_t targetUsage[256] = {4, 0, 2};
  PalettePtr source = MakePalette({{90, 90, 90, 0}, {7, 7, 7, 0}, {8, 8, 8, 0}, {9, 9, 9, 0}});
  uint32_t sourceUsage[256] = {1, 1, 0, 5};
  PaletteMerge m;
  ASSERT_TRUE(MergeIntoPalette(*target, targetUsage, *source, sourceUsage, &m));
  // Exact, the unused entry taken, an unused source colour, appended.
  EXPECT_EQ(std::make_tuple(m.mapping[0], m.mapping[1], m.mapping[2], m.mapping[3]),
            std::make_tuple(2, 1, NoIndex, 3));
  EXPECT_EQ(std::make_tuple(m.entries.size(), m.usage[2], m.exact, m.changed),
            std::make_tuple(4u, 3u, true, true));

  PalettePtr full = GreyPalette(256);
  uint32_t allUsed[256];
  std::fill(std::begin(allUsed), std::end(allUsed), 1);
  PalettePtr odd = MakePalette({{255, 0, 0, 0}});
  uint32_t one[256] = {1};
  ASSERT_TRUE(MergeIntoPalette(*full, allUsed, *odd, one, &m));
  EXPECT_EQ(std::make_tuple(m.exact, m.changed, m.mapping[0]),
            std::make_tuple(false, false, full->NearestIndex(255, 0, 0)));
}

TEST(FitPalettesTest, FixedPaletteReplacesEveryPaletteAndTheOptimalOneServesWithoutIt) {
  PaletteFitOptions options;
  options.fixedPalette = [] { return MakePalette({{0, 0, 0, 0}, {255, 0, 0, 0}}); };
  AnimationPtr t2 = GreyTarget(4);
  AnimationPtr s2 = ColourSource(false);
  ASSERT_EQ(FitPalettes(t2.get(), s2.get(), merge::Fixed, options, nullptr, nullptr), 1);
  EXPECT_EQ(t2->globalPalette->Count(), 2);
  EXPECT_EQ(Pixel(FirstFrame(*s2), 0, 0), 1);

  options.fixedPalette = [] { return PalettePtr(); };  // none stored: the optimal palette serves
  AnimationPtr t3 = GreyTarget(4);
  AnimationPtr s3 = ColourSource(false);
  ASSERT_EQ(FitPalettes(t3.get(), s3.get(), merge::Fixed | Colours256, options, nullptr, nullptr),
            1);
  EXPECT_TRUE(SameRgb(PixelColour(FirstFrame(*s3), 1, 0), {0, 255, 0, 0}));
}

TEST(FitPalettesTest, StoredWordIsAskedAboutWhenItsAskBitIsSet) {
  ServicesScope scope;
  PaletteFitOptions options;
  options.storedWord = merge::MapGlobal | merge::Ask | Colours256;
  AnimationPtr t = GreyTarget(4);
  AnimationPtr s = ColourSource(false);
  PalettePtr before = CopyPalette(s->globalPalette.get());
  scope.services.QueuePaletteMergeAnswer(0);
  EXPECT_EQ(FitPalettes(t.get(), s.get(), 0, options, nullptr, nullptr), 2);
  EXPECT_EQ(s->globalPalette->entries, before->entries) << "cancel changes nothing";
  scope.services.QueuePaletteMergeAnswer(merge::MergeGlobal | Colours256);
  EXPECT_EQ(FitPalettes(t.get(), s.get(), 0, options, nullptr, nullptr), 1);
  EXPECT_EQ(t->globalPalette->Count(), 8) << "the answered method ran";
}

TEST(RemoveLocalPaletteTest, FrameJoinsTheGlobalPaletteInPlaceOrMakesItsOwnGlobal) {
  AnimationPtr a = GreyTarget(4);
  Frame* f = IndexedFrame(2, 1, nullptr, {0, 1});
  SetLocalPalette(f, MakePalette({{255, 0, 0, 0}, {0, 0, 255, 0}}));
  Append(*a, f);
  Append(*a, IndexedFrame(1, 1, a->globalPalette.get(), {2}));
  ASSERT_TRUE(RemoveLocalPalette(nullptr, *a, f, {}, merge::MergeGlobal | Colours256));
  EXPECT_EQ(FrameAt(*a, 1), f);
  EXPECT_EQ(f->palette, a->globalPalette.get());
  EXPECT_EQ(std::make_tuple(ShownColour(*f, 0, 0), ShownColour(*f, 1, 0)),
            std::make_tuple(0xFF0000, 0x0000FF));

  AnimationPtr b = NewAnimation();
  Frame* g = IndexedFrame(2, 1, nullptr, {1, 1});
  SetLocalPalette(g, GreyPalette(4));
  Append(*b, g);
  ASSERT_TRUE(RemoveLocalPalette(nullptr, *b, g, {}));
  ASSERT_TRUE(b->globalPalette);
  EXPECT_EQ(std::make_tuple(g->localPalette.get(), g->palette, g->descriptorFlags & 0x80,
                            b->colourUsage[1]),
            std::make_tuple(nullptr, b->globalPalette.get(), 0, 2u));
}

// Under half opacity pixels become transparent by every method making 8-bit images from 24-bit
// data, dithered or not: a soft shadow (alpha 3 to 65) is no solid blot, an edge at 128 stays.
TEST(FitPalettesTest, PixelsUnderHalfOpacityBecomeTransparent) {
  const std::vector<uint8_t> alphas = {0, 3, 65, 127, 128, 200, 255, 255};
  for (uint32_t method : {merge::Adaptive, merge::LocalEach, merge::Web, merge::HighQuality}) {
    for (bool dither : {false, true}) {
      SCOPED_TRACE(testing::Message() << "method " << method << (dither ? " dithered" : ""));
      AnimationPtr a = NewAnimation();
      Frame* f = TrueColourFrame(
          8, 1, {0x000000, 0x000000, 0x000000, 0x000000, 0xFF0000, 0xFF0000, 0x0000FF, 0x00FF00},
          alphas);
      Append(*a, f);
      uint32_t word = method | Colours256 | 0x00800000 | (dither ? merge::Dither : 0);
      ASSERT_EQ(FitPalettes(nullptr, a.get(), word, {}, nullptr, nullptr), 1);
      ASSERT_TRUE(f->Transparent());
      for (uint32_t x = 0; x < 8; ++x) {
        EXPECT_EQ(Pixel(f, x, 0) == f->transparentIndex, alphas[x] < 128) << "pixel " << x;
      }
    }
  }
}

}  // namespace
}  // namespace lw
