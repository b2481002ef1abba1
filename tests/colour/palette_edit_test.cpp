#include "colour/palette_edit.h"

#include <gtest/gtest.h>

#include <random>

#include "base/preferences.h"
#include "core/compose.h"
#include "core/undo.h"
#include "support/document.h"
#include "support/undo_check.h"

namespace lw {
namespace {

using namespace test;

// A document of frames on a 16-grey global palette; frame 1 has a local palette of its own.
struct Document {
  AnimationPtr doc = MakeDocument(4, 4, GreyPalette(16));
  Document() {
    SetPref(PrefUndoLevels, 20);
    for (int i = 0; i < 3; ++i) {
      Frame* f = AddFrame(*doc, 0, 0, 4, 4, {5, 9, 9, 5, 9, 1, 1, 9, 5, 9, 2, 2, 3, 3, 3, 3});
      if (i == 1) GiveLocalPalette(f, GreyPalette(16));
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

// No choice, none, one index, several (the later ones merged into the first): the result, and the
// pixels merged (a 9 pixel) or left alone (a 1 pixel and the row padding).
TEST(TransparencyChoiceTest, AppliesEachCountAsTheDialogMeantIt) {
  // What, starting index (-1 not transparent), choice, changed, transparent, index, a 9 becomes.
  const std::tuple<const char*, int, TransparencyChoice, bool, bool, int, uint8_t> cases[] = {
      {"untouched", 3, TransparencyChoice{}, false, true, 3, 9},
      {"off", 3, Choice({}), true, false, 3, 9},
      {"same index alone", 5, Choice({5}), false, true, 5, 9},
      {"same index, was off", -1, Choice({0}), true, true, 0, 9},
      {"new index", 3, Choice({9}), true, true, 9, 9},
      {"5 then 9", -1, Choice({5, 9}), true, true, 5, 5},
      {"9 then 5 merges the other way", -1, Choice({9, 5}), true, true, 9, 9},
  };
  for (const auto& [what, start, choice, changed, transparent, index, nine] : cases) {
    SCOPED_TRACE(what);
    auto palette = GreyPalette(16);
    Frame* f = IndexedFrame(3, 2, palette.get(), {5, 9, 9, 9, 1, 1});
    f->bits()[3] = 9;  // padding of the first row
    if (start >= 0) {
      SetTransparentIndex(f, static_cast<uint8_t>(start));
      SetTransparency(f, true);
    }
    EXPECT_EQ(ApplyTransparencyChoice(f, choice), changed);
    EXPECT_EQ(std::make_tuple(f->Transparent(), f->transparencyMask.empty()), std::make_tuple(transparent, !transparent));
    EXPECT_EQ(f->transparentIndex, transparent ? index : f->transparentIndex);
    EXPECT_EQ(std::make_tuple(Pixel(f, 1, 0), Pixel(f, 1, 1), f->bits()[3]), std::make_tuple(nine, uint8_t{1}, uint8_t{9}));
    FreeBlock(f);
  }
}

TEST(TransparencyEditTest, RecordsOneEntryThatUndoesTheMerge) {
  Document d;
  EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] {
    EXPECT_EQ(ApplyTransparencyEdit(*d.doc, 0, Choice({5, 9})) & 0xFFFF,
              refresh::OneFrame | refresh::PropertiesFrame | refresh::Encoding);
  }));
  EXPECT_EQ(CanUndoKind(), undo::EditTransparency);
  EXPECT_EQ(Pixel(d.At(0), 1, 0), 5);
  // Choosing the index it has changes nothing and records nothing; switching off records a flag.
  EXPECT_EQ(ApplyTransparencyEdit(*d.doc, 0, Choice({5})), 0u);
  EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] { return TransparencyOff(*d.doc, 0) != 0; }));
  EXPECT_FALSE(d.At(0)->Transparent());
}

// The region a breadth-first walk over the four neighbours reaches.
std::vector<uint8_t> ReferenceFill(std::vector<uint8_t> px, uint32_t w, uint32_t h, uint32_t x,
                                   uint32_t y, uint8_t index) {
  const uint8_t from = px[y * w + x];
  if (from == index) return px;
  std::vector<std::pair<uint32_t, uint32_t>> todo = {{x, y}};
  px[y * w + x] = index;
  while (!todo.empty()) {
    auto [cx, cy] = todo.back();
    todo.pop_back();
    const std::pair<int64_t, int64_t> next[] = {{cx - 1, cy}, {cx + 1, cy}, {cx, cy - 1}, {cx, cy + 1}};
    for (auto [nx, ny] : next) {
      if (nx < 0 || ny < 0 || nx >= w || ny >= h || px[ny * w + nx] != from) continue;
      px[ny * w + nx] = index;
      todo.push_back({static_cast<uint32_t>(nx), static_cast<uint32_t>(ny)});
    }
  }
  return px;
}

// Random blotches of two or three indexes (regions that wind, touch diagonally, enclose one
// another), filled from random points: the same pixels as the reference walk.
TEST(FloodFillTest, FillsWhatAFourNeighbourWalkReaches) {
  std::mt19937 rng(17);
  auto palette = GreyPalette(16);
  for (int round = 0; round < 200; ++round) {
    const uint32_t w = 1 + rng() % 23, h = 1 + rng() % 17;
    const uint32_t colours = 2 + rng() % 2;
    std::vector<uint8_t> px(w * h);
    for (uint8_t& v : px) v = static_cast<uint8_t>(rng() % colours);
    Frame* f = IndexedFrame(w, h, palette.get(), px);
    std::vector<uint8_t> dib = f->dib;
    FreeBlock(f);
    const uint32_t x = rng() % (w + 1), y = rng() % h;  // x == w: outside
    const uint8_t index = static_cast<uint8_t>(rng() % (colours + 1));
    std::vector<uint8_t> expected = x < w ? ReferenceFill(px, w, h, x, y, index) : px;
    uint64_t changed = 0;
    for (size_t i = 0; i < px.size(); ++i) changed += px[i] != expected[i];
    ASSERT_EQ(FloodFillDib(dib, x, y, index), changed) << "round " << round;
    for (uint32_t i = 0; i < w * h; ++i) {
      uint8_t v = 0;
      ASSERT_TRUE(DibPixelIndex(dib, i % w, i / w, &v));
      ASSERT_EQ(v, expected[i]) << "round " << round << " pixel " << i;
    }
  }
  // A frame far larger than any stack would allow a recursive fill.
  std::vector<uint8_t> big = BuildDib(4096, 4096, palette.get());
  ASSERT_FALSE(big.empty());
  EXPECT_EQ(FloodFillDib(big, 2000, 2000, 3), uint64_t{4096} * 4096);
}

// New pixels replace the frame's in one undo step; its 24-bit data follows them.
TEST(PixelEditTest, ReplacesThePixelsAndTheirTrueColourDataAndUndoes) {
  Document d;
  std::vector<uint8_t> dib = d.At(2)->dib;
  EXPECT_EQ(ApplyPixelEdit(*d.doc, 2, dib), 0u) << "nothing changed";
  FloodFillDib(dib, 0, 3, 7);
  EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] {
    EXPECT_EQ(ApplyPixelEdit(*d.doc, 2, dib), refresh::ForFrame(refresh::OneFrame | refresh::Encoding, 2));
  }));
  EXPECT_EQ(CanUndoKind(), undo::EditPixels);
  EXPECT_EQ(Pixel(d.At(2), 0, 3), 7);
  ASSERT_TRUE(AddRgbPlane(d.At(0)));
  dib = d.At(0)->dib;
  SetDibPixelIndex(dib, 0, 0, 15);
  ApplyPixelEdit(*d.doc, 0, dib);
  EXPECT_EQ(std::make_pair(d.At(0)->rgbPlane[0], d.At(0)->rgbPlane[3]),
            std::make_pair(uint8_t{255}, d.doc->globalPalette->entries[9].blue));
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
    EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] {
      EXPECT_EQ(ApplyPaletteEdit(*d.doc, c.frameIndex, entries), c.hints);
    }));
    for (int i = 0; i < 3; ++i) {
      RgbQuad q;
      GetDibColours(d.At(i)->dib, 5, 1, &q);
      EXPECT_EQ(q.red == 200 && q.green == 10 && q.blue == 20, c.recoloured[i]) << "frame " << i;
      EXPECT_EQ(d.At(i)->palette->entries[5].red == 200, c.recoloured[i]);
    }
    EXPECT_EQ(ApplyPaletteEdit(*d.doc, c.frameIndex, entries), 0u) << "same entries";
  }
  Document d;
  EXPECT_EQ(ApplyPaletteEdit(*d.doc, 0, d.doc->globalPalette->entries), 0u) << "no local palette";
  EXPECT_EQ(CanUndoKind(), 0u);
}

TEST(PaletteEditTest, RemovingTheLocalPaletteOfAnEqualPaletteKeepsTheGlobalOne) {
  Document d;
  std::vector<PaletteEntry> before = d.doc->globalPalette->entries;
  EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] { return RemoveLocalPaletteEdit(*d.doc, 1, nullptr) != 0; }));
  EXPECT_EQ(CanUndoKind(), undo::RemoveLocalPalette);
  EXPECT_FALSE(d.At(1)->localPalette);
  EXPECT_EQ(d.doc->globalPalette->entries, before);
  EXPECT_EQ(Pixel(d.At(1), 1, 0), 9) << "same colours, same pixels";
  EXPECT_EQ(RemoveLocalPaletteEdit(*d.doc, 0, nullptr), 0u) << "no local palette";
}

}  // namespace
}  // namespace lw
