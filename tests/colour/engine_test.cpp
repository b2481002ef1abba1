// The colour engine against plain oracles on random palettes and images.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "colour/colour_engine.h"
#include "colour/palette_fit.h"
#include "colour/reduce_trial.h"
#include "support/document.h"

namespace lw {
namespace {

using namespace test;

// The nearest entry by squared RGB distance, lowest index on ties, skipping `excluded`.
int BruteNearest(const std::vector<PaletteEntry>& p, int r, int g, int b, int excluded = -1) {
  int best = -1;
  int64_t bestDistance = 0;
  for (int i = 0; i < static_cast<int>(p.size()); ++i) {
    if (i == excluded) continue;
    int64_t dr = p[i].red - r, dg = p[i].green - g, db = p[i].blue - b;
    int64_t d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < bestDistance) best = i, bestDistance = d;
  }
  return best;
}

// Random colours; with few distinct values per channel, so that ties and repeats happen.
PalettePtr RandomPalette(std::mt19937& rng, int n) {
  auto p = std::make_unique<Palette>();
  const uint32_t levels = rng() % 2 ? 256 : 4;
  for (int i = 0; i < n; ++i) {
    auto v = [&] { return static_cast<uint8_t>(rng() % levels * (levels == 4 ? 85 : 1)); };
    p->entries.push_back({v(), v(), v(), 0});
  }
  return p;
}

TEST(NearestColourTest, AgreesWithABruteForceSearchOnRandomPalettes) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    PalettePtr p = RandomPalette(rng, 1 + static_cast<int>(rng() % 256));
    for (int q = 0; q < 20; ++q) {
      const PaletteEntry& c =
          q < 3 ? p->entries[rng() % p->Count()]
                : PaletteEntry{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                               static_cast<uint8_t>(rng()), 0};
      const int expected = BruteNearest(p->entries, c.red, c.green, c.blue);
      NearestResult got = NearestColour(p->entries.data(), p->Count(), c.red, c.green, c.blue);
      ASSERT_EQ(got.index, expected) << "round " << round;
      ASSERT_EQ(got.exact, SameRgb(p->entries[expected], c)) << "round " << round;
      ASSERT_EQ(p->NearestIndex(c.red, c.green, c.blue), expected) << "round " << round;
    }
    if (round % 50 == 0 &&
        p->Count() > 1) {  // the inverse map: each 15-bit cell takes the entry nearest its centre
      const int excluded = static_cast<int>(rng() % p->Count());
      auto map = BuildInverseColourMap(*p, excluded);
      for (int c = 0; c < 32768; c += 7)
        ASSERT_EQ(map->cells[c], BruteNearest(p->entries, 8 * (c >> 10) + 4, 8 * (c >> 5 & 31) + 4,
                                              8 * (c & 31) + 4, excluded));
    }
    // Palette to palette: each used entry to its nearest, entries past the source none.
    PalettePtr to = RandomPalette(rng, 1 + static_cast<int>(rng() % 64));
    PaletteMapping m = MapPaletteToPalette(*p, *to);
    for (int i = 0; i < 256; ++i) {
      const int expected = i < p->Count() ? BruteNearest(to->entries, p->entries[i].red,
                                                         p->entries[i].green, p->entries[i].blue)
                                          : NoIndex;
      ASSERT_EQ(m[i], expected) << "round " << round << " entry " << i;
    }
  }
}

// Random colours drawn from `distinct` different ones, weights 1..9.
std::vector<std::pair<PaletteEntry, int>> RandomColours(std::mt19937& rng, int distinct) {
  std::set<uint32_t> seen;
  std::vector<std::pair<PaletteEntry, int>> out;
  while (static_cast<int>(out.size()) < distinct) {
    uint32_t c = rng() & 0xFFFFFF;
    if (rng() % 4 == 0) c &= 0xF8F8F8 | (rng() & 0x030303);  // neighbours six bits cannot split
    if (!seen.insert(c).second) continue;
    out.push_back(
        {{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c), 0},
         1 + static_cast<int>(rng() % 9)});
  }
  return out;
}

// However many colours come in, the octree gives at most the count asked for, keeps the
// transparent slot free, and gives back exact colours whenever they fit.
TEST(QuantizerTest, NeverMoreColoursThanAskedAndExactWhenTheyFit) {
  std::mt19937 rng(3);
  for (int round = 0; round < 150; ++round) {
    const int distinct = 1 + static_cast<int>(rng() % (round % 3 ? 300 : 20));
    const int n = 2 + static_cast<int>(rng() % 255);
    const bool reserve = rng() % 2, exact = rng() % 2;
    SCOPED_TRACE(testing::Message() << "round " << round << ": " << distinct << " colours to " << n
                                    << (reserve ? " with slot" : "") << (exact ? " exact" : ""));
    auto colours = RandomColours(rng, distinct);
    OctreeQuantizer q(n);
    q.SetExactWhenFits(exact);
    for (auto& [c, weight] : colours) q.AddColour(c.red, c.green, c.blue, weight);
    PalettePtr p = q.MakePalette(n, reserve);
    ASSERT_TRUE(p);
    ASSERT_LE(p->Count(), n);
    const int opaque = p->Count() - (reserve ? 1 : 0);
    const bool fits = distinct <= n - (reserve ? 1 : 0);
    for (auto& [c, weight] : colours) {
      int index = q.LookUp(c.red, c.green, c.blue);
      ASSERT_LT(index, opaque);
      if (exact && fits) {
        ASSERT_EQ(p->entries[index], c);
      }
    }

    // Median cut on the same colours, as a palette with counts.
    PaletteEntry entries[256] = {};
    uint32_t counts[256] = {};
    const int count = std::min(distinct, 256);
    for (int i = 0; i < count; ++i) entries[i] = colours[i].first, counts[i] = colours[i].second;
    ASSERT_LE(MedianCutQuantize(entries, count, counts, n), std::min(n, count));
  }
}

// An image of 24-bit colours made 8-bit on an optimal palette: at most the colours asked for
// (the transparent slot apart), and exactly its own colours when they fit and are not dithered.
TEST(QuantizerTest, TrueColourImagesKeepTheirColoursWhenTheyFit) {
  std::mt19937 rng(8);
  for (int round = 0; round < 40; ++round) {
    const int bits = 3 + static_cast<int>(rng() % 6), n = 1 << bits;
    const int distinct = 1 + static_cast<int>(rng() % (round % 2 ? n - 1 : 3 * n));
    const bool dither = rng() % 2;
    SCOPED_TRACE(testing::Message()
                 << "round " << round << ": " << distinct << " colours to " << n);
    auto colours = RandomColours(rng, distinct);
    const uint32_t w = 8 + rng() % 24, h = 1 + rng() % 16;
    std::vector<uint32_t> rgb(w * h);
    for (size_t i = 0; i < rgb.size(); ++i) {
      const PaletteEntry& c = colours[i < colours.size() ? i : rng() % colours.size()].first;
      rgb[i] = c.red << 16 | c.green << 8 | c.blue;
    }
    AnimationPtr a = NewAnimation();
    Frame* f = TrueColourFrame(w, h, rgb);
    Append(*a, f);
    const uint32_t word = merge::Adaptive | (dither ? merge::Dither : 0) |
                          static_cast<uint32_t>(bits) << 16 | static_cast<uint32_t>(bits) << 20;
    ASSERT_EQ(FitPalettes(nullptr, a.get(), word, {}, nullptr, nullptr), 1);
    std::set<int64_t> shown;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) shown.insert(ShownColour(*f, x, y));
    EXPECT_LE(shown.size(), static_cast<size_t>(n));
    if (distinct < n && !dither) {  // dithering looks colours up by 15-bit cells
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) ASSERT_EQ(ShownColour(*f, x, y), rgb[y * w + x]);
    }
  }
}

// Reduced copies come down to the count plus a black slot, which only transparent pixels use.
TEST(ReduceColoursTest, EveryPaletteComesDownToTheCountAndTransparencyToTheSlot) {
  std::mt19937 rng(21);
  for (int round = 0; round < 30; ++round) {
    const int n = 2 + static_cast<int>(rng() % 40);
    const int entries = n + 1 + static_cast<int>(rng() % (255 - n));
    const bool dither = rng() % 2;
    SCOPED_TRACE(testing::Message() << "round " << round << ": " << entries << " entries to " << n
                                    << (dither ? " dithered" : ""));
    AnimationPtr a = MakeDocument(12, 10, RandomPalette(rng, entries));
    std::vector<int> transparent;
    const int localSize = rng() % 2 ? n : entries;  // the third frame's own palette
    for (int i = 0; i < 3; ++i) {
      std::vector<uint8_t> px(120);
      for (uint8_t& v : px) v = static_cast<uint8_t>(rng() % (i == 2 ? localSize : entries));
      const int t = rng() % 2 ? px[rng() % 120] : -1;
      Frame* f = AddFrame(*a, 0, 0, 12, 10, px, 0, t);
      if (i == 2) GiveLocalPalette(f, RandomPalette(rng, localSize));
      transparent.push_back(t);
    }
    std::vector<std::vector<uint8_t>> before;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) before.push_back(Pixels(*f));
    std::vector<PaletteEntry> smallLocal = FrameAt(*a, 2)->localPalette->entries;

    AnimationPtr original = DuplicateAnimation(*a, nullptr), reduced;
    ASSERT_TRUE(MakeReducedCopy(*a, n, dither, nullptr, nullptr, &reduced));
    ASSERT_TRUE(SameAnimation(*a, *original)) << "the document is only read";
    a = std::move(reduced);
    int i = 0;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++i) {
      const Palette* own = f->localPalette ? f->localPalette.get() : a->globalPalette.get();
      ASSERT_EQ(f->palette, own);
      if (i == 2 && static_cast<int>(smallLocal.size()) <= n) {
        EXPECT_EQ(own->entries, smallLocal) << "a palette within the count is left alone";
        continue;
      }
      // The global palette always ends with the slot; a local one only for a transparent frame.
      const bool hasSlot = !f->localPalette || transparent[i] >= 0;
      ASSERT_LE(own->Count(), n + (hasSlot ? 1 : 0));
      const int slot = hasSlot ? own->Count() - 1 : own->Count();
      if (hasSlot) {
        EXPECT_EQ(own->entries[slot], PaletteEntry{});
      }
      std::set<int> opaque;
      for (size_t k = 0; k < before[i].size(); ++k) {
        const uint8_t p = Pixel(f, k % 12, k / 12);
        if (before[i][k] == transparent[i]) {
          ASSERT_EQ(p, slot) << "pixel " << k;
        } else {
          ASSERT_LT(p, slot) << "pixel " << k;
          opaque.insert(p);
        }
      }
      EXPECT_LE(opaque.size(), static_cast<size_t>(n));
      if (transparent[i] >= 0) {
        EXPECT_EQ(f->transparentIndex, slot);
      }
    }
    uint32_t total = 0;
    for (uint32_t c : a->colourUsage) total += c;
    EXPECT_EQ(total, 240u) << "usage recounted for the global frames";
  }
}

// (Palette colours stay exact when dithered: the palette fitting tests check that.)
TEST(DitherTest, TransparencyPassesNoError) {
  PalettePtr source = MakePalette({{0, 0, 0, 0}, {255, 0, 0, 0}, {90, 90, 90, 0}});
  PalettePtr target = GreyPalette(4);
  Frame* f = IndexedFrame(3, 2, source.get(), {2, 1, 2, 1, 2, 1});
  SetTransparentIndex(f, 1);
  SetTransparency(f, true);
  ASSERT_TRUE(DitherFrameToPalette(f, *target, 3));
  EXPECT_EQ(Pixels(*f), (std::vector<uint8_t>{1, 3, 1, 3, 1, 3})) << "grey 90 is nearest 85";
  FreeBlock(f);
}

TEST(RemapTest, MappingRewritesPixelsColourTableAndTransparency) {
  PalettePtr old = GreyPalette(4), fresh = MakePalette({{9, 9, 9, 0}, {1, 2, 3, 0}, {0, 0, 0, 0}});
  Frame* f = IndexedFrame(3, 1, old.get(), {0, 1, 2});
  SetTransparentIndex(f, 2);
  SetTransparency(f, true);
  PaletteMapping m = EmptyPaletteMapping();
  m[0] = 2, m[1] = 0, m[2] = 1;
  RemapFrame(f, fresh.get(), &m);
  EXPECT_EQ(Pixels(*f), (std::vector<uint8_t>{2, 0, 1}));
  EXPECT_EQ(std::make_tuple(f->transparentIndex, f->palette, f->dib[DibHeaderSize + 2]),
            std::make_tuple(uint8_t{1}, fresh.get(), uint8_t{9}))
      << "colour table from the new palette";
  m[1] = NoIndex;
  RemapFrame(f, fresh.get(), &m);
  EXPECT_FALSE(f->Transparent()) << "a transparent index with no place switches transparency off";
  FreeBlock(f);

  // Global frames: a transparent colour that would land on an opaque one gets its own index.
  AnimationPtr a = MakeDocument(2, 1, GreyPalette(4));
  Frame* g = AddFrame(*a, 0, 0, 2, 1, {0, 1}, 0, 1);
  PalettePtr three = GreyPalette(3);
  m = EmptyPaletteMapping();
  m[0] = 0, m[1] = 0;
  RemapGlobalFrames(*a, three.get(), m);
  EXPECT_EQ(Pixels(*g), (std::vector<uint8_t>{0, 1})) << "lowest index nothing maps to";
  EXPECT_EQ(g->transparentIndex, 1);
  RemapGlobalFramesWithSlot(*a, three.get(), nullptr, 2);
  EXPECT_EQ(g->transparentIndex, 2);
}

// The mask follows the pixels through any mapping, whether the transparent pixels' new index is
// theirs alone (the mask is kept) or other pixels land on it too (it has to be built again).
TEST(RemapTest, TheMaskStaysInStepWithThePixels) {
  std::mt19937 rng(7);
  PalettePtr old = GreyPalette(16), fresh = GreyPalette(16);
  for (int round = 0; round < 300; ++round) {
    const uint32_t w = 1 + rng() % 21, h = 1 + rng() % 4;
    std::vector<uint8_t> pixels(size_t{w} * h);
    for (uint8_t& p : pixels) p = static_cast<uint8_t>(rng() % 16);
    Frame* f = IndexedFrame(w, h, old.get(), pixels);
    SetTransparentIndex(f, static_cast<uint8_t>(rng() % 16));
    SetTransparency(f, true);
    PaletteMapping m = EmptyPaletteMapping();
    std::vector<uint16_t> to(16);
    for (int i = 0; i < 16; ++i) to[i] = static_cast<uint16_t>(i);
    std::shuffle(to.begin(), to.end(), rng);
    // Half the rounds a permutation, the others with indexes merged.
    for (int i = 0; i < 16; ++i) m[i] = round % 2 ? to[i] : to[rng() % 16];
    RemapFrame(f, fresh.get(), &m);
    ASSERT_TRUE(f->Transparent()) << round;
    std::vector<uint8_t> expected;
    ASSERT_TRUE(BuildTransparencyMask(f, &expected));
    EXPECT_EQ(f->transparencyMask, expected) << "round " << round;
    FreeBlock(f);
  }
}

}  // namespace
}  // namespace lw
