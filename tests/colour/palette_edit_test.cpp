#include "colour/palette_edit.h"

#include <gtest/gtest.h>

#include <chrono>

#include "base/preferences.h"
#include "colour/colour_fixtures.h"
#include "core/compose.h"
#include "core/undo.h"

namespace lw {
namespace {

using test::GreyPalette;
using test::IndexedFrame;

uint8_t Pixel(const Frame* f, uint32_t x, uint32_t y) {
  return f->bits()[y * IndexStride(f->DibWidth()) + x];
}

// A document of frames on a 16-grey global palette; frame 1 has a local palette of its own.
struct Document {
  AnimationPtr doc = NewAnimation();
  Document() {
    SetPref(PrefUndoLevels, 20);
    doc->screenWidth = doc->screenHeight = 4;
    SetGlobalPalette(*doc, GreyPalette(16));
    for (int i = 0; i < 3; ++i) {
      Frame* f = IndexedFrame(4, 4, doc->globalPalette.get(),
                              {5, 9, 9, 5, 9, 1, 1, 9, 5, 9, 2, 2, 3, 3, 3, 3});
      if (i == 1) {
        SetLocalPalette(f, GreyPalette(16));
        UpdateDibColourTable(f);
      }
      InsertBlockAfter(LastBlock(*doc), f);
      ++doc->frameCount;
    }
    ClearHistory();
  }
  ~Document() { ClearHistory(); }
  Frame* At(int i) { return FrameAt(*doc, i); }
};

TransparencyChoice Choice(std::initializer_list<int> indexes) {
  TransparencyChoice c;
  c.count = static_cast<int>(indexes.size());
  int i = 0;
  for (int v : indexes) c.indexes[i++] = static_cast<uint8_t>(v);
  return c;
}

TEST(TransparencyChoiceTest, AppliesEachCountAsTheDialogMeantIt) {
  struct Case {
    const char* what;
    int startIndex;  // -1: not transparent
    TransparencyChoice choice;
    bool changed;
    bool transparent;
    int index;
    uint8_t pixel01;  // what a 9 pixel becomes
  };
  TransparencyChoice untouched;
  const Case cases[] = {
      {"untouched", 3, untouched, false, true, 3, 9},
      {"off", 3, Choice({}), true, false, 3, 9},
      {"same index alone", 5, Choice({5}), false, true, 5, 9},
      {"same index, was off", -1, Choice({0}), true, true, 0, 9},
      {"new index", 3, Choice({9}), true, true, 9, 9},
      {"5 then 9", -1, Choice({5, 9}), true, true, 5, 5},
      {"9 then 5 merges the other way", -1, Choice({9, 5}), true, true, 9, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto palette = GreyPalette(16);
    Frame* f = IndexedFrame(4, 4, palette.get(), {5, 9, 9, 5, 9, 1, 1, 9});
    if (c.startIndex >= 0) {
      SetTransparentIndex(f, static_cast<uint8_t>(c.startIndex));
      SetTransparency(f, true);
    }
    EXPECT_EQ(ApplyTransparencyChoice(f, c.choice), c.changed);
    EXPECT_EQ(f->Transparent(), c.transparent);
    if (c.transparent) {
      EXPECT_EQ(f->transparentIndex, c.index);
    }
    EXPECT_EQ(Pixel(f, 1, 0), c.pixel01);
    EXPECT_EQ(Pixel(f, 1, 1), 1) << "other pixels are left alone";
    EXPECT_EQ(f->transparencyMask.empty(), !c.transparent);
    FreeBlock(f);
  }
}

TEST(TransparencyChoiceTest, MergingLeavesThePaddingBytes) {
  auto palette = GreyPalette(16);
  Frame* f = IndexedFrame(3, 2, palette.get(), {9, 9, 9, 9, 9, 9});
  f->bits()[3] = 9;  // padding of the first row
  ApplyTransparencyChoice(f, Choice({2, 9}));
  EXPECT_EQ(Pixel(f, 2, 1), 2);
  EXPECT_EQ(f->bits()[3], 9);
  FreeBlock(f);
}

TEST(TransparencyEditTest, RecordsOneEntryThatUndoesTheMerge) {
  Document d;
  uint32_t hints = ApplyTransparencyEdit(*d.doc, 0, Choice({5, 9}));
  EXPECT_EQ(hints & 0xFFFF, refresh::OneFrame | refresh::PropertiesFrame | refresh::Encoding);
  EXPECT_EQ(CanUndoKind(), undo::EditTransparency);
  EXPECT_EQ(Pixel(d.At(0), 1, 0), 5);
  Undo(*d.doc);
  EXPECT_EQ(Pixel(d.At(0), 1, 0), 9);
  EXPECT_FALSE(d.At(0)->Transparent());
  Redo(*d.doc);
  EXPECT_EQ(Pixel(d.At(0), 1, 0), 5);
  EXPECT_TRUE(d.At(0)->Transparent());
  // Choosing the index it has changes nothing and records nothing; switching off records a flag.
  EXPECT_EQ(ApplyTransparencyEdit(*d.doc, 0, Choice({5})), 0u);
  EXPECT_NE(TransparencyOff(*d.doc, 0), 0u);
  EXPECT_FALSE(d.At(0)->Transparent());
  Undo(*d.doc);
  EXPECT_TRUE(d.At(0)->Transparent());
  EXPECT_EQ(d.At(0)->transparentIndex, 5);
}

TEST(FloodFillTest, FillsTheFourConnectedRegionOnly) {
  struct Case {
    const char* what;
    uint32_t x, y;
    uint8_t index;
    uint64_t changed;
    std::vector<uint8_t> after;
  };
  // 9s touching only diagonally stay apart.
  const std::vector<uint8_t> start = {5, 9, 9, 5,  //
                                      9, 1, 1, 9,  //
                                      5, 9, 2, 2,  //
                                      3, 3, 3, 3};
  const Case cases[] = {
      {"top run", 1, 0, 7, 2, {5, 7, 7, 5, 9, 1, 1, 9, 5, 9, 2, 2, 3, 3, 3, 3}},
      {"own colour", 1, 0, 9, 0, start},
      {"bottom row", 0, 3, 0, 4, {5, 9, 9, 5, 9, 1, 1, 9, 5, 9, 2, 2, 0, 0, 0, 0}},
      {"outside", 4, 0, 7, 0, start},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto palette = GreyPalette(16);
    Frame* f = IndexedFrame(4, 4, palette.get(), start);
    std::vector<uint8_t> dib = f->dib;
    EXPECT_EQ(FloodFillDib(dib, c.x, c.y, c.index), c.changed);
    for (uint32_t i = 0; i < 16; ++i) {
      uint8_t v = 0;
      ASSERT_TRUE(DibPixelIndex(dib, i % 4, i / 4, &v));
      EXPECT_EQ(v, c.after[i]) << "pixel " << i;
    }
    FreeBlock(f);
  }
}

TEST(FloodFillTest, FillsASpiralAndALargeFrameWithoutRecursing) {
  // A one-pixel corridor winding through a wall: every turn goes through the seed stack.
  const uint32_t n = 63;
  auto palette = GreyPalette(16);
  Frame* f = IndexedFrame(n, n, palette.get(), {});
  std::vector<uint8_t> dib = f->dib;
  for (uint32_t y = 1; y < n; y += 2)
    for (uint32_t x = 0; x < n; ++x) SetDibPixelIndex(dib, x, y, 1);
  for (uint32_t y = 1; y < n; y += 2) SetDibPixelIndex(dib, (y / 2) % 2 ? 0 : n - 1, y, 0);
  uint64_t corridor = 0;
  for (uint32_t y = 0; y < n; ++y)
    for (uint32_t x = 0; x < n; ++x) {
      uint8_t v;
      DibPixelIndex(dib, x, y, &v);
      corridor += v == 0;
    }
  EXPECT_EQ(FloodFillDib(dib, 0, 0, 4), corridor);
  FreeBlock(f);

  std::vector<uint8_t> big = BuildDib(4096, 4096, palette.get());
  ASSERT_FALSE(big.empty());
  EXPECT_EQ(FloodFillDib(big, 2000, 2000, 3), uint64_t{4096} * 4096);
  uint8_t corner = 0;
  DibPixelIndex(big, 4095, 4095, &corner);
  EXPECT_EQ(corner, 3);
}

TEST(PixelEditTest, ReplacesThePixelsAndUndoes) {
  Document d;
  std::vector<uint8_t> dib = d.At(2)->dib;
  EXPECT_EQ(ApplyPixelEdit(*d.doc, 2, dib), 0u) << "nothing changed";
  FloodFillDib(dib, 0, 3, 7);
  EXPECT_TRUE(SetDibPixelIndex(dib, 0, 0, 8));
  uint32_t hints = ApplyPixelEdit(*d.doc, 2, dib);
  EXPECT_EQ(hints, refresh::ForFrame(refresh::OneFrame | refresh::Encoding, 2));
  EXPECT_EQ(Pixel(d.At(2), 0, 3), 7);
  EXPECT_EQ(Pixel(d.At(2), 0, 0), 8);
  EXPECT_EQ(CanUndoKind(), undo::EditPixels);
  Undo(*d.doc);
  EXPECT_EQ(Pixel(d.At(2), 0, 3), 3);
  EXPECT_EQ(Pixel(d.At(2), 0, 0), 5);
}

TEST(PixelEditTest, TrueColourDataFollowsTheEditedPixels) {
  Document d;
  Frame* f = d.At(0);
  ASSERT_TRUE(AddRgbPlane(f));
  std::vector<uint8_t> dib = f->dib;
  SetDibPixelIndex(dib, 0, 0, 15);
  ApplyPixelEdit(*d.doc, 0, dib);
  EXPECT_EQ(f->rgbPlane[0], 255);
  EXPECT_EQ(f->rgbPlane[3], d.doc->globalPalette->entries[9].blue);
}

TEST(PaletteEditTest, LocalChangesOneFrameGlobalEveryFrameWithoutLocal) {
  struct Case {
    const char* what;
    int frameIndex;
    uint32_t hints;
    bool recoloured[3];
  };
  const Case cases[] = {
      {"local", 1, refresh::ForFrame(refresh::OneFrame, 1), {false, true, false}},
      {"global", -1, refresh::Document, {true, false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Document d;
    const Palette* edited =
        c.frameIndex >= 0 ? d.At(c.frameIndex)->localPalette.get() : d.doc->globalPalette.get();
    std::vector<PaletteEntry> entries = edited->entries;
    entries[5] = {200, 10, 20, 0};
    EXPECT_EQ(ApplyPaletteEdit(*d.doc, c.frameIndex, entries), c.hints);
    for (int i = 0; i < 3; ++i) {
      RgbQuad q;
      GetDibColours(d.At(i)->dib, 5, 1, &q);
      EXPECT_EQ(q.red == 200 && q.green == 10 && q.blue == 20, c.recoloured[i]) << "frame " << i;
      EXPECT_EQ(d.At(i)->palette->entries[5].red == 200, c.recoloured[i]);
    }
    EXPECT_EQ(ApplyPaletteEdit(*d.doc, c.frameIndex, entries), 0u) << "same entries";
    Undo(*d.doc);
    for (int i = 0; i < 3; ++i) {
      RgbQuad q;
      GetDibColours(d.At(i)->dib, 5, 1, &q);
      EXPECT_EQ(q.red, d.At(i)->palette->entries[5].red);
      EXPECT_NE(q.red, 200);
    }
  }
}

TEST(PaletteEditTest, FrameWithoutLocalPaletteIsRefused) {
  Document d;
  EXPECT_EQ(ApplyPaletteEdit(*d.doc, 0, d.doc->globalPalette->entries), 0u);
  EXPECT_EQ(CanUndoKind(), 0u);
}

TEST(PaletteEditTest, RemovingTheLocalPaletteOfAnEqualPaletteKeepsTheGlobalOne) {
  Document d;
  std::vector<PaletteEntry> before = d.doc->globalPalette->entries;
  uint32_t hints = RemoveLocalPaletteEdit(*d.doc, 1, nullptr);
  ASSERT_NE(hints, 0u);
  EXPECT_FALSE(d.At(1)->localPalette);
  EXPECT_EQ(d.At(1)->palette, d.doc->globalPalette.get());
  EXPECT_EQ(Pixel(d.At(1), 1, 0), 9) << "same colours, same pixels";
  EXPECT_EQ(CanUndoKind(), undo::RemoveLocalPalette);
  Undo(*d.doc);
  EXPECT_TRUE(d.At(1)->localPalette);
  EXPECT_EQ(d.doc->globalPalette->entries, before);
  EXPECT_EQ(RemoveLocalPaletteEdit(*d.doc, 0, nullptr), 0u) << "no local palette";
}

TEST(PaletteEditTest, FixedPaletteRoundTripsThroughTheSettings) {
  std::vector<PaletteEntry> entries = {{1, 2, 3, 0}, {250, 251, 252, 0}};
  ASSERT_TRUE(StoreFixedPaletteEntries(entries));
  EXPECT_EQ(LoadFixedPaletteEntries(), entries);
  EXPECT_FALSE(StoreFixedPaletteEntries({}));
}

}  // namespace
}  // namespace lw
