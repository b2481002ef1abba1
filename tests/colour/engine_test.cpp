#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <thread>

#include "base/preferences.h"
#include "colour/colour_engine.h"
#include "colour_fixtures.h"

namespace lw {
namespace {

using test::AnimationWith;
using test::Append;
using test::GreyPalette;
using test::IndexedFrame;
using test::MakePalette;
using test::Pixel;
using test::PixelColour;

TEST(NearestColourTest, LowestIndexWinsTiesAndExactMatchesAreFlagged) {
  PalettePtr p = MakePalette({{0, 0, 0, 0}, {10, 0, 0, 0}, {20, 0, 0, 0}, {10, 0, 0, 0}});
  NearestResult halfway = NearestColour(p->entries.data(), p->Count(), 5, 0, 0);
  EXPECT_EQ(halfway.index, 0);
  EXPECT_FALSE(halfway.exact);
  NearestResult exact = NearestColour(p->entries.data(), p->Count(), 10, 0, 0);
  EXPECT_EQ(exact.index, 1);
  EXPECT_TRUE(exact.exact);
}

TEST(WebPaletteTest, CubeThenBlack) {
  PalettePtr web = WebPalette();
  ASSERT_EQ(web->Count(), 256);
  EXPECT_EQ(web->entries[1], (PaletteEntry{0, 0, 51, 0}));
  EXPECT_EQ(web->entries[36], (PaletteEntry{51, 0, 0, 0}));
  EXPECT_EQ(web->entries[215], (PaletteEntry{255, 255, 255, 0}));
  for (int i = 216; i < 256; ++i) EXPECT_EQ(web->entries[i], PaletteEntry{}) << i;
}

TEST(InverseColourMapTest, EveryCellTakesTheEntryNearestItsCentre) {
  std::srand(7);
  auto p = std::make_unique<Palette>();
  for (int i = 0; i < 40; ++i) {
    p->entries.push_back({static_cast<uint8_t>(std::rand()), static_cast<uint8_t>(std::rand()),
                          static_cast<uint8_t>(std::rand()), 0});
  }
  p->entries.push_back(p->entries[3]);  // a duplicate never wins over the lower index
  auto map = BuildInverseColourMap(*p);
  ASSERT_TRUE(map);
  for (int cell = 0; cell < 32768; cell += 7) {
    uint8_t r = 8 * (cell >> 10) + 4, g = 8 * ((cell >> 5) & 31) + 4, b = 8 * (cell & 31) + 4;
    EXPECT_EQ(map->cells[cell], NearestColour(p->entries.data(), p->Count(), r, g, b).index);
  }
  EXPECT_EQ(BuildInverseColourMap(*p), map) << "same palette, cached map";
  auto excluded = BuildInverseColourMap(*p, 3);
  for (uint8_t index : excluded->cells) ASSERT_NE(index, 3);
  p->entries[0].red ^= 1;
  EXPECT_NE(BuildInverseColourMap(*p), map) << "a changed entry rebuilds";
}

TEST(InverseColourMapTest, WorkersBuildingMapsForOtherPalettesDoNotDisturbEachOther) {
  PalettePtr grey = GreyPalette(16), web = WebPalette();
  auto work = [](const Palette* p, bool* ok) {
    for (int i = 0; i < 20; ++i) {
      auto map = BuildInverseColourMap(*p);
      *ok = *ok && map && map->palette == p->entries &&
            map->Lookup(255, 255, 255) == p->NearestIndex(252, 252, 252);
    }
  };
  bool ok1 = true, ok2 = true;
  std::thread a(work, grey.get(), &ok1), b(work, web.get(), &ok2);
  a.join();
  b.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
}

TEST(DitherTest, ThresholdOffsetsAndCells) {
  const int expected[4][4] = {{6, 0, 5, -1}, {2, 4, 1, 3}, {5, -1, 6, 0}, {1, 3, 2, 4}};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) EXPECT_EQ(DitherOffset(y, x), expected[y % 4][x % 4]);
  }
  EXPECT_EQ(DitherCell(6, 0), 0);
  EXPECT_EQ(DitherCell(7, 0), 1);  // never cell 0 once past the threshold
  EXPECT_EQ(DitherCell(0, 6), 0);
  EXPECT_EQ(DitherCell(1, 6), 1);
  EXPECT_EQ(DitherCell(255, 6), 31);
  EXPECT_EQ(DitherCell(100, 3), (100 + 3 - 7) / 8);
  EXPECT_EQ(DitherCell(7, -1), 0);
  EXPECT_EQ(DitherCell(16, -1), 1);
  EXPECT_EQ(DitherCell(254, -1), 30);
  EXPECT_EQ(DitherCell(255, -1), 31);
}

TEST(DitherTest, FlatPaletteColourStaysExactAndGreyMixesBlackAndWhite) {
  PalettePtr bw = MakePalette({{0, 0, 0, 0}, {255, 255, 255, 0}, {200, 10, 10, 0}});
  std::vector<uint8_t> rgb(RgbStride(8) * 8);
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) rgb[i] = 10, rgb[i + 1] = 10, rgb[i + 2] = 200;
  PixelSource src;
  src.width = src.height = 8;
  src.rgbRows = rgb.data();
  src.rgbStride = RgbStride(8);
  std::vector<uint8_t> out(8 * 8, 99);
  ASSERT_TRUE(DitherToPalette(src, *bw, 0, out.data(), 8));
  for (uint8_t v : out) EXPECT_EQ(v, 2);

  std::fill(rgb.begin(), rgb.end(), 128);
  bw->entries.pop_back();
  ASSERT_TRUE(DitherToPalette(src, *bw, 0, out.data(), 8));
  int white = 0;
  for (uint8_t v : out) {
    ASSERT_LE(v, 1);
    white += v;
  }
  EXPECT_NEAR(white, 32, 4) << "the error spreads into a half-and-half pattern";
}

TEST(DitherTest, TransparentSourcePixelsTakeTheGivenIndexAndPassNoError) {
  PalettePtr source = MakePalette({{0, 0, 0, 0}, {255, 0, 0, 0}, {90, 90, 90, 0}});
  PalettePtr target = GreyPalette(4);
  Frame* f = IndexedFrame(3, 2, source.get(), {2, 1, 2, 1, 2, 1});
  SetTransparentIndex(f, 1);
  SetTransparency(f, true);
  ASSERT_TRUE(DitherFrameToPalette(f, *target, 3));
  EXPECT_EQ(Pixel(f, 1, 0), 3);
  EXPECT_EQ(Pixel(f, 0, 1), 3);
  EXPECT_EQ(Pixel(f, 0, 0), 1) << "grey 90 is nearest 85";
  FreeBlock(f);
}

TEST(OctreeTest, PaletteOfMeansWithReservedBlackSlotAndLookUps) {
  OctreeQuantizer q(4);
  q.AddColour(252, 0, 0, 1);
  q.AddColour(253, 0, 0, 3);  // same leaf as the first at depth 6
  q.AddColour(0, 0, 250, 2);
  PalettePtr p = q.MakePalette(4, true);
  ASSERT_TRUE(p);
  ASSERT_EQ(p->Count(), 3);
  EXPECT_EQ(p->entries[2], PaletteEntry{}) << "transparent slot last";
  EXPECT_EQ(p->entries[q.LookUp(0, 0, 250)], (PaletteEntry{0, 0, 250, 0}));
  EXPECT_EQ(p->entries[q.LookUp(252, 0, 0)], (PaletteEntry{252, 0, 0, 0})) << "mean, truncated";
  EXPECT_EQ(q.LookUp(0, 255, 0), 0) << "unknown colours give 0";
}

TEST(OctreeTest, NeverMoreColoursThanAskedEvenBelowEightLeaves) {
  OctreeQuantizer q(256);
  for (int i = 0; i < 8; ++i)
    q.AddColour((i & 4) ? 200 : 20, (i & 2) ? 200 : 20, (i & 1) ? 200 : 20, 1 + i);
  PalettePtr p = q.MakePalette(4, true);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Count(), 4);
  std::set<int> used;
  for (int i = 0; i < 8; ++i) {
    int index = q.LookUp((i & 4) ? 200 : 20, (i & 2) ? 200 : 20, (i & 1) ? 200 : 20);
    EXPECT_LT(index, 3) << "no colour on the transparent slot";
    used.insert(index);
  }
  EXPECT_EQ(used.size(), 3u);
}

TEST(OctreeTest, ExactColoursWhenTheyFitTheTreeOtherwise) {
  // Colours one step apart, which six bits per channel cannot tell apart.
  const PaletteEntry colours[] = {{252, 0, 0, 0}, {253, 0, 0, 0}, {254, 1, 0, 0}, {0, 0, 250, 0}};
  for (bool reserve : {false, true}) {
    SCOPED_TRACE(reserve);
    OctreeQuantizer q(256);
    q.SetExactWhenFits(true);
    for (const PaletteEntry& c : colours) q.AddColour(c.red, c.green, c.blue, 1);
    q.AddColour(253, 0, 0, 5);  // a colour seen again takes no second entry
    PalettePtr p = q.MakePalette(reserve ? 5 : 4, reserve);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->Count(), reserve ? 5 : 4);
    if (reserve) {
      EXPECT_EQ(p->entries[4], PaletteEntry{});
    }
    for (const PaletteEntry& c : colours)
      EXPECT_EQ(p->entries[q.LookUp(c.red, c.green, c.blue)], c);
    EXPECT_EQ(q.LookUp(0, 0, 240), q.LookUp(0, 0, 250)) << "an unseen colour takes the nearest";
  }
  // One colour more than the palette holds (the transparent slot counts): the tree's means.
  OctreeQuantizer q(256);
  q.SetExactWhenFits(true);
  for (const PaletteEntry& c : colours) q.AddColour(c.red, c.green, c.blue, 1);
  PalettePtr p = q.MakePalette(4, true);
  ASSERT_TRUE(p);
  EXPECT_LE(p->Count(), 4);
  EXPECT_EQ(q.LookUp(252, 0, 0), q.LookUp(253, 0, 0));
}

TEST(OctreeTest, PlainTreeMergesTheBranchWithTheSmallestCount) {
  OctreeQuantizer q(3);
  q.AddColour(0, 0, 0, 1);
  q.AddColour(0, 0, 4, 1);  // shares its level-5 parent with black
  q.AddColour(255, 255, 255, 100);
  q.AddColour(255, 255, 251, 100);
  PalettePtr p = q.MakePalette(3, false);
  ASSERT_EQ(p->Count(), 3);
  EXPECT_EQ(q.LookUp(0, 0, 0), q.LookUp(0, 0, 4));
  EXPECT_NE(q.LookUp(255, 255, 255), q.LookUp(255, 255, 251));
}

TEST(OctreeTest, LockedColoursAreKeptApartWhileAnotherCandidateExists) {
  for (bool lockedFirst : {true, false}) {
    LockedOctreeQuantizer q(3);
    auto addLocked = [&] {
      q.AddColour(0, 0, 0, 1, true);
      q.AddColour(0, 0, 4, 1, true);
    };
    if (lockedFirst) addLocked();
    q.AddColour(255, 255, 255, 100);
    q.AddColour(255, 255, 251, 100);
    if (!lockedFirst) addLocked();
    PalettePtr p = q.MakePalette(3, false);
    ASSERT_TRUE(p);
    EXPECT_NE(q.LookUp(0, 0, 0), q.LookUp(0, 0, 4)) << lockedFirst;
    EXPECT_EQ(p->entries[q.LookUp(0, 0, 4)], (PaletteEntry{0, 0, 4, 0})) << "exact colour kept";
    EXPECT_EQ(q.LookUp(255, 255, 255), q.LookUp(255, 255, 251));
  }
}

TEST(MedianCutTest, BoxesByCountWithWeightedMeans) {
  PaletteEntry entries[256] = {{0, 0, 0, 0}, {252, 0, 0, 0}, {0, 0, 252, 0}, {0, 0, 248, 0}};
  uint32_t counts[256] = {5, 30, 1, 3};
  int n = MedianCutQuantize(entries, 4, counts, 3);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(entries[0], (PaletteEntry{255, 0, 0, 0})) << "largest box first, 63 * 255 / 63";
  EXPECT_EQ(entries[1], PaletteEntry{});
  // The two blues share a box: mean cell (63 + 3 * 62) / 4 = 62.
  EXPECT_EQ(entries[2], (PaletteEntry{0, 0, 62 * 255 / 63, 0}));

  PaletteEntry one[256] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  uint32_t equal[256] = {1, 1, 0};
  EXPECT_EQ(MedianCutQuantize(one, 2, equal, 8), 2) << "no more boxes than colours";
}

TEST(ReducePaletteColoursTest, LockedColoursSurviveExactly) {
  PalettePtr grey = GreyPalette(64);
  PaletteEntry entries[256];
  std::copy(grey->entries.begin(), grey->entries.end(), entries);
  uint32_t counts[256] = {};
  for (int i = 0; i < 64; ++i) counts[i] = 10;
  LockedColours locked{};
  locked[21] = locked[50] = true;  // in different halves of the cube
  PaletteEntry a = entries[21], b = entries[50];
  int n = ReducePaletteColours(entries, 64, counts, 4, &locked, nullptr);
  EXPECT_EQ(n, 8) << "at least eight colours with locked ones";
  int found = 0;
  for (int i = 0; i < n; ++i) found += entries[i] == a || entries[i] == b;
  EXPECT_EQ(found, 2);
}

TEST(RemapTest, MappingRewritesPixelsPaddingColourTableAndTransparency) {
  PalettePtr old = GreyPalette(4), fresh = MakePalette({{9, 9, 9, 0}, {1, 2, 3, 0}, {0, 0, 0, 0}});
  Frame* f = IndexedFrame(3, 1, old.get(), {0, 1, 2});
  f->bits()[3] = 3;  // padding byte
  SetTransparentIndex(f, 2);
  SetTransparency(f, true);
  PaletteMapping m = EmptyPaletteMapping();
  m[0] = 2, m[1] = 0, m[2] = 1, m[3] = 0x1FF;
  RemapFrame(f, fresh.get(), &m);
  EXPECT_EQ(Pixel(f, 0, 0), 2);
  EXPECT_EQ(Pixel(f, 2, 0), 1);
  EXPECT_EQ(f->bits()[3], 0xFF) << "the low byte of the entry, padding included";
  EXPECT_EQ(f->transparentIndex, 1);
  EXPECT_EQ(f->palette, fresh.get());
  EXPECT_EQ(f->dib[DibHeaderSize + 2], 9) << "colour table from the new palette (red of 0)";
  m[1] = NoIndex;
  RemapFrame(f, fresh.get(), &m);
  EXPECT_FALSE(f->Transparent()) << "a transparent index with no place switches transparency off";
  FreeBlock(f);

  PaletteMapping toSmall = MapPaletteToPalette(*GreyPalette(3), *GreyPalette(2));
  EXPECT_EQ(toSmall[0], 0);
  EXPECT_EQ(toSmall[1], 0) << "127.5 is a tie, the lower index wins";
  EXPECT_EQ(toSmall[2], 1);
  EXPECT_EQ(toSmall[3], NoIndex);
}

TEST(RemapTest, GlobalFramesKeepTransparentPixelsApart) {
  AnimationPtr a = AnimationWith(GreyPalette(4));
  Frame* f = IndexedFrame(2, 1, a->globalPalette.get(), {0, 1});
  SetTransparentIndex(f, 1);
  SetTransparency(f, true);
  Append(*a, f);
  PalettePtr fresh = GreyPalette(3);
  PaletteMapping m = EmptyPaletteMapping();
  m[0] = 0, m[1] = 0;  // the transparent colour would land on the opaque one
  RemapGlobalFrames(*a, fresh.get(), m);
  EXPECT_EQ(Pixel(f, 0, 0), 0);
  EXPECT_EQ(Pixel(f, 1, 0), 1) << "lowest index nothing maps to";
  EXPECT_EQ(f->transparentIndex, 1);

  RemapGlobalFramesWithSlot(*a, fresh.get(), nullptr, 2);
  EXPECT_EQ(f->transparentIndex, 2);
}

TEST(QuantizeTest, TrueColourFrameGetsImageAlphaOnLastEntryAndDropsItsPlane) {
  SetPrefOn(Pref::KeepTrueColor, false);
  PalettePtr p = MakePalette({{255, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
  for (bool dither : {false, true}) {
    Frame* f =
        test::TrueColourFrame(2, 2, {0xFF0000, 0x000000, 0x000000, 0x010101}, {255, 255, 0, 255});
    ASSERT_TRUE(QuantizeTrueColourFrame(f, p.get(), dither));
    EXPECT_EQ(Pixel(f, 0, 0), 0);
    EXPECT_EQ(Pixel(f, 1, 0), 1);
    EXPECT_EQ(Pixel(f, 0, 1), 2);
    EXPECT_EQ(Pixel(f, 1, 1), 1) << "black stays off the transparent slot";
    EXPECT_TRUE(f->Transparent());
    EXPECT_EQ(f->transparentIndex, 2);
    EXPECT_TRUE(f->rgbPlane.empty());
    FreeBlock(f);
  }
  SetPrefOn(Pref::KeepTrueColor, true);
  Frame* kept = test::TrueColourFrame(1, 1, {0xFF0000});
  ASSERT_TRUE(QuantizeTrueColourFrame(kept, p.get(), false));
  EXPECT_FALSE(kept->rgbPlane.empty());
  EXPECT_FALSE(kept->Transparent());
  FreeBlock(kept);
  SetPrefOn(Pref::KeepTrueColor, false);
}

TEST(ReduceColoursTest, GlobalPaletteGetsReducedColoursAndABlackSlot) {
  for (int n : {8, 6}) {
    AnimationPtr a = AnimationWith(GreyPalette(16));
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 16; ++i) pixels.push_back(static_cast<uint8_t>(i));
    Frame* f = IndexedFrame(16, 1, a->globalPalette.get(), pixels);
    Append(*a, f);
    PalettePtr before = CopyPalette(a->globalPalette.get());
    ASSERT_TRUE(ReduceColours(*a, n, false, nullptr, nullptr));
    int expected = n == 8 ? 8 : 7;  // powers of two keep room for the slot
    ASSERT_EQ(a->globalPalette->Count(), expected) << n;
    EXPECT_EQ(a->globalPalette->entries.back(), PaletteEntry{});
    EXPECT_EQ(f->palette, a->globalPalette.get());
    for (int x = 0; x < 16; ++x) {
      EXPECT_LT(Pixel(f, x, 0), expected - 1);
      EXPECT_NEAR(PixelColour(f, x, 0).red, before->entries[x].red, 40) << x;
    }
    uint32_t total = 0;
    for (uint32_t c : a->colourUsage) total += c;
    EXPECT_EQ(total, 16u) << "usage recounted";
  }
}

TEST(ReduceColoursTest, TransparentPixelsEndOnTheLastEntryWithAndWithoutDither) {
  for (bool dither : {false, true}) {
    AnimationPtr a = AnimationWith(GreyPalette(32));
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 64; ++i) pixels.push_back(static_cast<uint8_t>(i % 32));
    Frame* f = IndexedFrame(8, 8, a->globalPalette.get(), pixels);
    SetTransparentIndex(f, 5);
    SetTransparency(f, true);
    Append(*a, f);
    ASSERT_TRUE(ReduceColours(*a, 8, dither, nullptr, nullptr));
    int last = a->globalPalette->Count() - 1;
    EXPECT_LE(a->globalPalette->Count(), 8);
    EXPECT_EQ(f->transparentIndex, last);
    for (int i = 0; i < 64; ++i) {
      bool wasTransparent = pixels[i] == 5;
      EXPECT_EQ(Pixel(f, i % 8, i / 8) == last, wasTransparent) << dither << " " << i;
    }
  }
}

TEST(ReduceColoursTest, LocalPalettesAreReducedAndSmallOnesLeftAlone) {
  AnimationPtr a = AnimationWith(GreyPalette(4));
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 64; ++i) pixels.push_back(static_cast<uint8_t>(i));
  Frame* big = IndexedFrame(8, 8, nullptr, pixels);
  SetLocalPalette(big, GreyPalette(64));
  UpdateDibColourTable(big);
  Append(*a, big);
  Frame* small = IndexedFrame(2, 1, nullptr, {0, 1});
  SetLocalPalette(small, GreyPalette(2));
  Palette* smallPalette = small->palette;
  Append(*a, small);
  ASSERT_TRUE(ReduceColours(*a, 16, false, nullptr, nullptr));
  EXPECT_EQ(a->globalPalette->Count(), 4) << "not above n: untouched";
  EXPECT_LE(big->localPalette->Count(), 16);
  EXPECT_EQ(big->palette, big->localPalette.get());
  EXPECT_EQ(big->descriptorFlags & 0x87, 0x80 | (BitsForColours(big->localPalette->Count()) - 1));
  EXPECT_EQ(small->palette, smallPalette);
}

}  // namespace
}  // namespace lw
