// Frame versions, which views key their pictures on, and drawing for views without touching
// the document.
#include <gtest/gtest.h>

#include <set>

#include "core/compose.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

class FrameVersion : public CoreTest {};

// A picture cached for a freed frame must not be taken for a new frame at the same address:
// a version from a per-address or per-document count would repeat.
TEST_F(FrameVersion, NewFramesNeverRepeatAVersion) {
  std::set<uint64_t> seen;
  for (int i = 0; i < 50; ++i) {
    Frame* f = NewFrame(4, 4);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(seen.insert(f->version).second);
    FreeBlock(f);  // the next frame most likely reuses the memory
  }
  AnimationPtr a = MakeDocument(4, 4);
  Frame* f = AddFrame(*a, 0, 0, 2, 2, {1, 2, 3, 4});
  AnimationPtr copy = DuplicateAnimation(*a, nullptr);
  ASSERT_TRUE(copy);
  EXPECT_NE(FirstFrame(*copy)->version, f->version);
}

// Each change a view shows gives a new version: a setter that forgets to bump leaves a stale
// picture in the strip.
TEST_F(FrameVersion, PictureChangesBump) {
  AnimationPtr a = MakeDocument(8, 8);
  Frame* f = AddFrame(*a, 0, 0, 4, 4, std::vector<uint8_t>(16, 1));
  Frame* g = AddFrame(*a, 0, 0, 4, 4, std::vector<uint8_t>(16, 2));
  SetLocalPalette(g, RampPalette(8));
  auto bumps = [&](Frame* frame, auto change) {
    uint64_t before = frame->version;
    change();
    return frame->version != before;
  };
  EXPECT_TRUE(bumps(f, [&] { SetTransparency(f, true); }));
  EXPECT_TRUE(bumps(f, [&] { SetTransparentIndex(f, 2); }));
  EXPECT_TRUE(bumps(f, [&] { SetTransparency(f, false); }));
  EXPECT_TRUE(bumps(f, [&] { NewFrameDib(f); }));
  EXPECT_TRUE(bumps(f, [&] { CropFrame(f, 1, 1, 2, 2); }));
  EXPECT_TRUE(bumps(f, [&] { SetRgbPlane(f, std::vector<uint8_t>(12, 9)); }));
  EXPECT_TRUE(bumps(f, [&] { SetAlphaPlane(f, std::vector<uint8_t>(8, 128)); }));
  EXPECT_TRUE(bumps(f, [&] { FreeRgbPlane(f); }));
  EXPECT_TRUE(bumps(f, [&] { SetLocalPalette(f, RampPalette(4)); }));
  EXPECT_TRUE(bumps(f, [&] { UpdateDibColourTable(f); }));
  uint64_t gBefore = g->version;
  EXPECT_TRUE(bumps(f, [&] { SwapFrameImages(f, g); }));
  EXPECT_NE(g->version, gBefore);

  // A new global palette changes the frames that borrow it, not those with their own.
  Frame* borrower = AddFrame(*a, 0, 0, 2, 2, {0, 0, 0, 0});
  uint64_t own = f->version;
  EXPECT_TRUE(bumps(borrower, [&] { SetGlobalPalette(*a, RampPalette(32)); }));
  EXPECT_EQ(f->version, own);
  EXPECT_TRUE(bumps(borrower, [&] { TouchAllFrames(*a); }));
}

// Views draw true-colour frames blended over the backdrop without storing the blend in the
// document, and a frame without alpha draws as before.
TEST_F(FrameVersion, DrawingOverTheBackdropLeavesTheFrame) {
  AnimationPtr a = MakeDocument(2, 1);
  Frame* f = AddFrame(*a, 0, 0, 2, 1, {0, 0});
  SetRgbPlane(f, {200, 100, 0, 255, 255, 255, 0, 0});
  SetAlphaPlane(f, {128, 255, 0, 0});
  uint64_t version = f->version;
  PixelSurface surface;
  ASSERT_TRUE(ResizeSurface(&surface, 2, 1, 0xFF000000u));
  DrawFrameOver(*f, surface.View(), 0, 0, 1, 1, false, 0x000A0A0A);
  EXPECT_EQ(surface.pixels[0], 0xFF043769u);  // blue 105, green 55, red 4
  EXPECT_EQ(surface.pixels[1], 0xFFFFFFFFu);
  EXPECT_EQ(f->version, version);

  FreeAlphaPlane(f);
  DrawFrameOver(*f, surface.View(), 0, 0, 1, 1, false, 0x000A0A0A);
  EXPECT_EQ(surface.pixels[0], 0xFF0064C8u);

  EXPECT_EQ(AlphaBackdrop(2u << 24 | 0x123456), 0x123456u);
  EXPECT_EQ(AlphaBackdrop(1u << 24 | 0x123456), 0xC0C0C0u);
}

}  // namespace
}  // namespace lw::test
