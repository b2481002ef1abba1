#include "core/clipboard_data.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core_fixture.h"

namespace lw::test {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Le32At(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}
void PutLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

class ClipboardData : public CoreTest {};

// Three frames: one borrowing the global palette, one with a local palette and transparency,
// one with 24-bit and alpha data and a name; all selected.
AnimationPtr ThreeFrames() {
  AnimationPtr a = MakeDocument(9, 7);
  a->playCount = 3;
  a->backgroundIndex = 2;
  a->aspectByte = 49;
  AddFrame(*a, 0, 0, 3, 2, {1, 2, 3, 4, 5, 6}, DisposalLeave, -1, 25);
  Frame* local = AddFrame(*a, 2, 1, 5, 3, {0, 1, 2, 3, 4, 4, 3, 2, 1, 0, 1, 1, 1, 1, 1});
  SetLocalPalette(local, RampPalette(5));
  UpdateDibColourTable(local);
  SetTransparentIndex(local, 4);
  SetTransparency(local, true);
  SetInterlaced(local, true);
  local->hotspotX = 2;
  local->hotspotY = 1;
  Frame* rich = AddFrame(*a, 1, 4, 2, 2, {7, 8, 9, 10}, DisposalPrevious, -1, 7);
  Bytes rgb(RgbStride(2) * 2), alpha(IndexStride(2) * 2);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37);
  for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = static_cast<uint8_t>(255 - i * 11);
  SetRgbPlane(rich, rgb);
  SetAlphaPlane(rich, alpha);
  SetFrameName(rich, "éclair");
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->selected = 1;
  SetSelectedCount(*a, 3);
  return a;
}

TEST_F(ClipboardData, SelectedFramesRoundTripWithEverything) {
  AnimationPtr a = ThreeFrames();
  Bytes block = PrivateDataFromSelection(*a);
  // What other instances read: the count, the palette's version word and the record mark.
  EXPECT_EQ(Le32At(block, 24), 3u);  // selectedCount
  EXPECT_EQ(block[1068] | block[1069] << 8, 0x0300);
  EXPECT_EQ(block[2100], ',');

  AnimationPtr b = AnimationFromPrivateData(block.data(), block.size());
  ASSERT_TRUE(b);
  // Pasted frames come unselected; everything else is as copied.
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->selected = 0;
  SetSelectedCount(*a, 0);
  EXPECT_TRUE(SameAnimation(*a, *b));
  EXPECT_EQ(b->anchorIndex, -1);
  EXPECT_EQ(b->screenFlags, a->screenFlags);
}

TEST_F(ClipboardData, OnlySelectedFramesAndNoGlobalPalette) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = 4;
  a->screenHeight = 4;
  PalettePtr own = RampPalette(2);
  for (int i = 0; i < 3; ++i) {
    Frame* f = PaintedFrame(1, 1, nullptr, [&](uint32_t, uint32_t) { return i % 2; });
    SetLocalPalette(f, CopyPalette(own.get()));
    InsertBlockAfter(LastBlock(*a), f);
    ++a->frameCount;
  }
  FrameAt(*a, 1)->selected = 1;
  SetSelectedCount(*a, 1);
  Bytes block = PrivateDataFromSelection(*a);
  EXPECT_EQ(Le32At(block, 28), 0u);  // no global palette: the first record follows the header
  EXPECT_EQ(block[1068], ',');
  AnimationPtr b = AnimationFromPrivateData(block.data(), block.size());
  ASSERT_TRUE(b);
  EXPECT_EQ(b->frameCount, 1);
  EXPECT_FALSE(b->globalPalette);
  EXPECT_EQ(b->screenFlags, 0);
  EXPECT_EQ(Pixel(FirstFrame(*b), 0, 0), 1);
}

// The block comes from another process: any damage is refused without reading out of bounds.
TEST_F(ClipboardData, DamagedBlocksAreRefused) {
  AnimationPtr a = ThreeFrames();
  const Bytes good = PrivateDataFromSelection(*a);
  struct Case {
    const char* name;
    void (*damage)(Bytes&);
  };
  const Case cases[] = {
      {"empty", [](Bytes& b) { b.clear(); }},
      {"header cut", [](Bytes& b) { b.resize(1000); }},
      {"palette cut", [](Bytes& b) { b.resize(1068 + 500); }},
      {"record cut", [](Bytes& b) { b.resize(2100 + 40); }},
      {"last name without its zero", [](Bytes& b) { b.pop_back(); }},
      {"planes cut", [](Bytes& b) { b.erase(b.end() - 12, b.end()); }},
      {"more frames than the block holds", [](Bytes& b) { PutLe32(b, 24, 4); }},
      {"huge frame count", [](Bytes& b) { PutLe32(b, 24, 0xFFFFFFFF); }},
      {"palette version", [](Bytes& b) { b[1069] = 2; }},
      {"palette of 0 entries", [](Bytes& b) { b[1070] = b[1071] = 0; }},
      {"palette of 257 entries", [](Bytes& b) { b[1070] = 1, b[1071] = 1; }},
      {"record kind", [](Bytes& b) { b[2100] = '!'; }},
      {"giant frame", [](Bytes& b) { PutLe32(b, 2100 + 28, 0x7FFFFFFF); }},
      {"frame too large for the budget",
       [](Bytes& b) {
         PutLe32(b, 2100 + 28, 65535);
         PutLe32(b, 2100 + 32, 65535);
       }},
      {"offset out of range", [](Bytes& b) { PutLe32(b, 2100 + 20, 0x80000000); }},
      {"screen out of range", [](Bytes& b) { PutLe32(b, 0, 70000); }},
      {"alpha without rgb", [](Bytes& b) { PutLe32(b, 2100 + 80, 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes block = good;
    c.damage(block);
    EXPECT_FALSE(AnimationFromPrivateData(block.data(), block.size()));
  }
  EXPECT_FALSE(AnimationFromPrivateData(nullptr, 100));
}

TEST_F(ClipboardData, OutsideIndexesAndNamesStayInBounds) {
  AnimationPtr a = ThreeFrames();
  Bytes block = PrivateDataFromSelection(*a);
  // First frame's pixels follow its 88-byte record; its palette has 16 entries.
  block[2100 + 88] = 200;
  AnimationPtr b = AnimationFromPrivateData(block.data(), block.size());
  ASSERT_TRUE(b);
  EXPECT_EQ(Pixel(FirstFrame(*b), 0, 0), 0);
}

// What other programs get: an 8-bit bottom-up DIB of the frame with its palette in effect.
TEST_F(ClipboardData, PackedDibOfAThreeByTwoFrame) {
  AnimationPtr a = MakeDocument(3, 2);
  Frame* f = AddFrame(*a, 0, 0, 3, 2, {1, 2, 3, 4, 5, 6});
  Bytes dib = FrameToPackedDib(*f);
  ASSERT_EQ(dib.size(), 40u + 16 * 4 + 4 * 2);
  EXPECT_EQ(Le32At(dib, 0), 40u);
  EXPECT_EQ(Le32At(dib, 4), 3u);
  EXPECT_EQ(Le32At(dib, 8), 2u);  // positive: bottom-up
  EXPECT_EQ(dib[12], 1);
  EXPECT_EQ(dib[14], 8);
  EXPECT_EQ(Le32At(dib, 16), 0u);
  EXPECT_EQ(Le32At(dib, 20), 0u);
  EXPECT_EQ(Le32At(dib, 32), 16u);
  // Entry 5 of the ramp is (5, 250, 15), stored blue, green, red.
  EXPECT_EQ(Bytes(dib.begin() + 40 + 20, dib.begin() + 44 + 20), (Bytes{15, 250, 5, 0}));
  const size_t rows = 40 + 16 * 4;
  EXPECT_EQ(Bytes(dib.begin() + rows, dib.end()), (Bytes{4, 5, 6, 0, 1, 2, 3, 0}));
}

}  // namespace
}  // namespace lw::test
