#include "core/clipboard_data.h"

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
  AnimationPtr a = MakeDocument(9, 7, nullptr, 3);
  a->backgroundIndex = 2, a->aspectByte = 49;
  AddFrame(*a, 0, 0, 3, 2, {1, 2, 3, 4, 5, 6}, DisposalLeave, -1, 25);
  Frame* local = AddFrame(*a, 2, 1, 5, 3, {0, 1, 2, 3, 4, 4, 3, 2, 1, 0, 1, 1, 1, 1, 1}, 0, 4);
  GiveLocalPalette(local, RampPalette(5));
  SetInterlaced(local, true);
  local->hotspotX = 2, local->hotspotY = 1;
  Frame* rich = AddFrame(*a, 1, 4, 2, 2, {7, 8, 9, 10}, DisposalPrevious, -1, 7);
  Bytes rgb(RgbStride(2) * 2), alpha(IndexStride(2) * 2);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = i * 37, alpha[i % alpha.size()] = 255 - i * 11;
  SetRgbPlane(rich, rgb);
  SetAlphaPlane(rich, alpha);
  SetFrameName(rich, "éclair");
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->selected = 1;
  SetSelectedCount(*a, 3);
  return a;
}

// Only selected frames go; they come back unselected, everything else as copied.
TEST_F(ClipboardData, SelectedFramesRoundTrip) {
  AnimationPtr a = ThreeFrames();
  Bytes block = PrivateDataFromSelection(*a);
  AnimationPtr b = AnimationFromPrivateData(block.data(), block.size());
  ASSERT_TRUE(b);
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->selected = 0;
  SetSelectedCount(*a, 0);
  EXPECT_TRUE(SameAnimation(*a, *b));
  EXPECT_EQ(b->anchorIndex, -1);

  SetGlobalPalette(*a, nullptr);
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) GiveLocalPalette(f, RampPalette(16));
  FrameAt(*a, 1)->selected = 1;
  SetSelectedCount(*a, 1);
  block = PrivateDataFromSelection(*a);
  b = AnimationFromPrivateData(block.data(), block.size());
  ASSERT_TRUE(b);
  EXPECT_FALSE(b->globalPalette);
  EXPECT_EQ(b->screenFlags, 0);
  ASSERT_EQ(b->frameCount, 1);
  EXPECT_EQ(Pixels(*FirstFrame(*b)), Pixels(*FrameAt(*a, 1)));
}

// The block comes from another process: any damage is refused without reading out of bounds.
TEST_F(ClipboardData, DamagedBlocksAreRefused) {
  AnimationPtr a = ThreeFrames();
  const Bytes good = PrivateDataFromSelection(*a);
  for (size_t cut = 0; cut < good.size(); ++cut)
    ASSERT_FALSE(AnimationFromPrivateData(good.data(), cut)) << "cut at " << cut;
  struct Case {
    const char* name;
    void (*damage)(Bytes&);
  };
  const Case cases[] = {
      {"more frames than the block holds", [](Bytes& b) { PutLe32(b, 24, 4); }},
      {"huge frame count", [](Bytes& b) { PutLe32(b, 24, 0xFFFFFFFF); }},
      {"palette version", [](Bytes& b) { b[1069] = 2; }},
      {"palette of 0 entries", [](Bytes& b) { b[1070] = b[1071] = 0; }},
      {"palette of 257 entries", [](Bytes& b) { b[1070] = 1, b[1071] = 1; }},
      {"record kind", [](Bytes& b) { b[2100] = '!'; }},
      {"giant frame", [](Bytes& b) { PutLe32(b, 2100 + 28, 0x7FFFFFFF); }},
      {"frame too large for the budget",
       [](Bytes& b) { PutLe32(b, 2100 + 28, 65535), PutLe32(b, 2100 + 32, 65535); }},
      {"offset out of range", [](Bytes& b) { PutLe32(b, 2100 + 20, 0x80000000); }},
      {"screen out of range", [](Bytes& b) { PutLe32(b, 0, 70000); }},
      {"alpha without rgb", [](Bytes& b) { PutLe32(b, 2100 + 80, 1); }},
  };
  Bytes block;
  for (const Case& c : cases) {
    c.damage(block = good);
    EXPECT_FALSE(AnimationFromPrivateData(block.data(), block.size())) << c.name;
  }
  EXPECT_FALSE(AnimationFromPrivateData(nullptr, 100));
  // An index past the first frame's 16-entry palette (its pixels follow its 88-byte record).
  (block = good)[2100 + 88] = 200;
  AnimationPtr b = AnimationFromPrivateData(block.data(), block.size());
  ASSERT_TRUE(b);
  EXPECT_EQ(Pixel(FirstFrame(*b), 0, 0), 0);
}

// What other programs get: an 8-bit bottom-up DIB of the frame with its palette in effect.
TEST_F(ClipboardData, PackedDibOfAThreeByTwoFrame) {
  AnimationPtr a = MakeDocument(3, 2);
  const Bytes dib = FrameToPackedDib(*AddFrame(*a, 0, 0, 3, 2, {1, 2, 3, 4, 5, 6}));
  ASSERT_EQ(dib.size(), 40u + 16 * 4 + 4 * 2);
  EXPECT_EQ((std::vector<uint32_t>{Le32At(dib, 0), Le32At(dib, 4), Le32At(dib, 8), Le32At(dib, 12),
                                   Le32At(dib, 16), Le32At(dib, 32)}),
            (std::vector<uint32_t>{40, 3, 2, 1 | 8 << 16, 0, 16}));
  // Entry 5 of the ramp is (5, 250, 15), stored blue, green, red; rows bottom-up.
  EXPECT_EQ(Bytes(dib.begin() + 40 + 20, dib.begin() + 44 + 20), (Bytes{15, 250, 5, 0}));
  EXPECT_EQ(Bytes(dib.begin() + 40 + 16 * 4, dib.end()), (Bytes{4, 5, 6, 0, 1, 2, 3, 0}));
}

}  // namespace
}  // namespace lw::test
