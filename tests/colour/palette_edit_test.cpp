#include "colour/palette_edit.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/compose.h"
#include "core/document_listener.h"
#include "core/undo.h"
#include "support/document.h"
#include "support/undo_check.h"

namespace lw {
namespace {

using namespace test;

// A document of frames on a 16-grey global palette; frame 1 has a local palette of its own.
struct Document {
  FreshUndoHistory history;
  AnimationPtr doc = MakeDocument(4, 4, GreyPalette(16));
  Document() {
    for (int i = 0; i < 3; ++i) {
      Frame* f = AddFrame(*doc, 0, 0, 4, 4, {5, 9, 9, 5, 9, 1, 1, 9, 5, 9, 2, 2, 3, 3, 3, 3});
      if (i == 1) GiveLocalPalette(f, GreyPalette(16));
    }
    ClearHistory();
  }
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
    EXPECT_EQ(std::make_tuple(f->Transparent(), f->transparencyMask.empty()),
              std::make_tuple(transparent, !transparent));
    EXPECT_EQ(f->transparentIndex, transparent ? index : f->transparentIndex);
    EXPECT_EQ(std::make_tuple(Pixel(f, 1, 0), Pixel(f, 1, 1), f->bits()[3]),
              std::make_tuple(nine, uint8_t{1}, uint8_t{9}));
    FreeBlock(f);
  }
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
    const std::pair<int64_t, int64_t> next[] = {
        {cx - 1, cy}, {cx + 1, cy}, {cx, cy - 1}, {cx, cy + 1}};
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

// Every edit is one undo step of its kind, with the refresh it needs; the same edit again (or
// one on a frame without a local palette) changes and records nothing.
TEST(PaletteEditTest, EachEditIsOneUndoStepAndARepeatRecordsNothing) {
  Document d;
  std::vector<uint8_t> filled = d.At(2)->dib;
  FloodFillDib(filled, 0, 3, 7);
  std::vector<PaletteEntry> global = d.doc->globalPalette->entries, local = global;
  global[5] = local[5] = {200, 10, 20, 0};
  const uint32_t oneFrame = refresh::OneFrame, kAny = ~0u;
  // Undo kind, refresh hints, the edit, a frame it must leave alone.
  const std::tuple<UndoKind, uint32_t, std::function<uint32_t()>, int> edits[] = {
      {UndoKind::EditTransparency, oneFrame | refresh::PropertiesFrame | refresh::Encoding,
       [&] {
         return ApplyTransparencyEdit(*d.doc, 0, Choice({5, 9})) & 0xFFFF;
       },
       1},  // then 5 alone
      {UndoKind::EditPixels, refresh::ForFrame(oneFrame | refresh::Encoding, 2),
       [&] { return ApplyPixelEdit(*d.doc, 2, filled); }, 0},
      {UndoKind::EditPalette, refresh::ForFrame(oneFrame, 1),
       [&] { return ApplyPaletteEdit(*d.doc, 1, local); }, 2},
      {UndoKind::EditPalette, refresh::Document,
       [&] { return ApplyPaletteEdit(*d.doc, -1, global); }, 1},
      {UndoKind::EditPalette, 0, [&] { return ApplyPaletteEdit(*d.doc, 0, global); }, 0},
      {UndoKind::RemoveLocalPalette, kAny,
       [&] { return RemoveLocalPaletteEdit(*d.doc, 1, {}, nullptr); }, 2},
      {UndoKind::RemoveLocalPalette, 0,
       [&] { return RemoveLocalPaletteEdit(*d.doc, 0, {}, nullptr); }, 0},
  };
  for (const auto& row : edits) {
    // Named copies: older compilers refuse a lambda capturing a structured binding.
    const UndoKind kind = std::get<0>(row);
    const uint32_t hints = std::get<1>(row);
    const auto& edit = std::get<2>(row);
    const int untouched = std::get<3>(row);
    ClearHistory();
    const std::vector<uint8_t> kept = d.At(untouched)->dib;
    if (hints) {
      EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] {
        const uint32_t got = edit();
        EXPECT_TRUE(hints == kAny ? got != 0 : got == hints)
            << static_cast<uint32_t>(kind) << ": " << got;
      }));
      EXPECT_EQ(CanUndoKind(), kind);
      ClearHistory();
    }
    EXPECT_EQ(
        kind == UndoKind::EditTransparency ? ApplyTransparencyEdit(*d.doc, 0, Choice({5})) : edit(),
        0u)
        << static_cast<uint32_t>(kind);
    EXPECT_EQ(d.At(untouched)->dib, kept) << static_cast<uint32_t>(kind);
    EXPECT_EQ(CanUndoKind(), UndoKind::None);
  }
  // A 9 merged into 5 in frame 0 (5 its transparent colour now); the fill in frame 2; colour 5
  // red in frame 1 (its own palette, then the equal global one) and in frame 2.
  EXPECT_EQ(std::make_tuple(Pixel(d.At(0), 1, 0), Pixel(d.At(2), 0, 3), Pixel(d.At(1), 1, 0)),
            std::make_tuple(5, 7, 9));
  for (int i = 1; i < 3; ++i) {
    RgbQuad q;
    GetDibColours(d.At(i)->dib, 5, 1, &q);
    EXPECT_EQ(std::make_tuple(q.red, q.green, q.blue, d.At(i)->palette->entries[5].red),
              std::make_tuple(200, 10, 20, 200))
        << i;
  }
  EXPECT_FALSE(d.At(1)->localPalette);
  EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] { return TransparencyOff(*d.doc, 0) != 0; }));
  EXPECT_FALSE(d.At(0)->Transparent());
}

// A frame of 24-bit data with alpha, clear on its slot 15 and partly clear elsewhere, given the
// transparent index 9: the alpha plane that 24-bit saves write now agrees with the image (clear
// on the 9s, the old clear pixels opaque in their palette colour, partial alpha kept elsewhere),
// and undo brings the planes back.
TEST(PaletteEditTest, ANewTransparentIndexIsFollowedByTheAlphaPlane) {
  Document d;
  Frame* f = d.At(0);
  const std::vector<uint8_t> indexes = {5, 9, 9, 5, 9, 1, 1, 9, 5, 9, 2, 2, 3, 3, 3, 3};
  std::vector<uint8_t> rgb(RgbStride(4) * 4), alpha(IndexStride(4) * 4);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 29 + 3);
  for (int i = 0; i < 16; ++i) {
    const bool slot = i % 5 == 0;
    if (slot) f->bits()[(i / 4) * IndexStride(4) + i % 4] = 15;
    alpha[(i / 4) * IndexStride(4) + i % 4] = slot ? 0 : i % 3 ? 255 : 128;
  }
  SetRgbPlane(f, rgb);
  SetAlphaPlane(f, alpha);
  SetTransparentIndex(f, 15);
  SetTransparency(f, true);
  ClearHistory();
  EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] { ApplyTransparencyEdit(*d.doc, 0, Choice({9})); }));
  ApplyTransparencyEdit(*d.doc, 0, Choice({9}));
  const PaletteEntry& slot = f->palette->entries[15];
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    const uint64_t at = (i / 4) * IndexStride(4) + i % 4;
    const uint8_t* c = &f->rgbPlane[(i / 4) * RgbStride(4) + 3 * (i % 4)];
    if (i % 5 == 0) {
      EXPECT_EQ(f->alphaPlane[at], 255);
      EXPECT_EQ(std::make_tuple(c[2], c[1], c[0]),
                std::make_tuple(slot.red, slot.green, slot.blue));
    } else if (indexes[i] == 9) {
      EXPECT_EQ(f->alphaPlane[at], 0);
    } else {
      EXPECT_EQ(f->alphaPlane[at], alpha[at]);
      EXPECT_EQ(c[0], rgb[(i / 4) * RgbStride(4) + 3 * (i % 4)]);
    }
  }
}

// Frames of 24-bit data, frame 1 on its local palette: an edit of the global palette recolours
// the true-colour pixels of the frames that show it where their index got a new colour (clear
// pixels and other indexes keep theirs), and leaves the local-palette frame alone; undo and redo
// bring back each state. Turning a 24-bit frame's transparency off makes its clear pixels opaque
// in the colour they show, and undo brings the planes back too.
TEST(PaletteEditTest, TrueColourFollowsPaletteEditsAndTransparencyOff) {
  Document d;
  std::vector<uint8_t> rgb(RgbStride(4) * 4);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37 + 11);
  for (int i = 0; i < 3; ++i) SetRgbPlane(d.At(i), rgb);
  SetTransparentIndex(d.At(2), 5);
  SetTransparency(d.At(2), true);
  ClearHistory();
  std::vector<PaletteEntry> entries = d.doc->globalPalette->entries;
  entries[9] = {200, 10, 20, 0};
  entries[5] = {1, 2, 3, 0};
  std::vector<std::vector<uint8_t>> planes;
  for (int i = 0; i < 3; ++i) planes.push_back(d.At(i)->rgbPlane);
  EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] { return ApplyPaletteEdit(*d.doc, -1, entries); }));
  const std::vector<uint8_t> indexes = {5, 9, 9, 5, 9, 1, 1, 9, 5, 9, 2, 2, 3, 3, 3, 3};
  for (int frame = 0; frame < 3; ++frame) {
    for (int i = 0; i < 16; ++i) {
      SCOPED_TRACE(testing::Message() << "frame " << frame << " pixel " << i);
      const size_t at = (i / 4) * RgbStride(4) + 3 * (i % 4);
      const uint8_t* c = &d.At(frame)->rgbPlane[at];
      const uint8_t* was = &planes[frame][at];
      const bool clear = frame == 2 && indexes[i] == 5;
      if (frame != 1 && !clear && (indexes[i] == 9 || indexes[i] == 5)) {
        const PaletteEntry& e = entries[indexes[i]];
        EXPECT_EQ(std::make_tuple(c[2], c[1], c[0]), std::make_tuple(e.red, e.green, e.blue));
      } else {
        EXPECT_EQ(std::make_tuple(c[2], c[1], c[0]), std::make_tuple(was[2], was[1], was[0]));
      }
    }
  }

  std::vector<uint8_t> alpha(IndexStride(4) * 4, 255);
  for (int i = 0; i < 16; ++i)
    if (indexes[i] == 5) alpha[(i / 4) * IndexStride(4) + i % 4] = 0;
  SetAlphaPlane(d.At(2), alpha);
  ClearHistory();
  EXPECT_TRUE(UndoRedoRestores(*d.doc, [&] { return TransparencyOff(*d.doc, 2) != 0; }));
  const Frame* f = d.At(2);
  const PaletteEntry& five = f->palette->entries[5];
  for (int i = 0; i < 16; ++i) {
    if (indexes[i] != 5) continue;
    SCOPED_TRACE(i);
    const uint8_t* c = &f->rgbPlane[(i / 4) * RgbStride(4) + 3 * (i % 4)];
    EXPECT_EQ(f->alphaPlane[(i / 4) * IndexStride(4) + i % 4], 255);
    EXPECT_EQ(std::make_tuple(c[2], c[1], c[0]), std::make_tuple(five.red, five.green, five.blue));
  }
}

}  // namespace
}  // namespace lw
