// Turning, resizing and cropping: the pictures the viewer shows must turn, shrink or be cut as
// the command says, and every failure must leave the document as it was.
#include <gtest/gtest.h>

#include <tuple>

#include "base/preferences.h"
#include "core/compose.h"
#include "core/frame_viewer.h"
#include "core/support_animation.h"
#include "core/undo.h"
#include "edit/crop_move.h"
#include "edit/resize.h"
#include "edit/rotate.h"
#include "platform/headless_services.h"

namespace lw {
namespace {

using testing_support::AddFrame;
using testing_support::AddSolidFrame;
using testing_support::MakeDocument;
using testing_support::SameAnimation;

constexpr FrameTurn kTurns[] = {FrameTurn::Clockwise, FrameTurn::HalfTurn,
                                FrameTurn::CounterClockwise, FrameTurn::MirrorLeftRight,
                                FrameTurn::MirrorTopBottom};

// The composed picture after frame n (1-based), row by row.
std::vector<uint32_t> Picture(const Animation& a, int n) {
  FrameViewer viewer;
  EXPECT_TRUE(PrepareViewer(&viewer, &a, a.screenWidth, a.screenHeight));
  ShowPictureUpTo(&viewer, n, true);
  PixelView view = ViewerPicture(&viewer);
  std::vector<uint32_t> out;
  for (int y = 0; y < view.height; ++y)
    out.insert(out.end(), view.pixels + y * view.stride,
               view.pixels + y * view.stride + view.width);
  return out;
}

// Frames of every kind: opaque, transparent, restoring, partly off the screen, with 24-bit data
// and alpha, so that moving any of them wrongly changes some picture.
AnimationPtr Mixed() {
  AnimationPtr a = MakeDocument(7, 5);
  std::vector<uint8_t> p(35);
  for (int i = 0; i < 35; ++i) p[i] = static_cast<uint8_t>((i * 7) % 16);
  AddFrame(*a, 0, 0, 7, 5, p, DisposalLeave);
  AddFrame(*a, 1, 2, 3, 2, {0, 5, 6, 7, 0, 9}, DisposalBackground, 0);
  Frame* c = AddFrame(*a, 4, 0, 2, 4, {1, 2, 3, 4, 5, 6, 7, 8}, DisposalPrevious);
  AddRgbPlane(c);
  AddFrame(*a, -1, 3, 3, 3, {10, 11, 12, 13, 14, 15, 1, 2, 3}, DisposalNone);
  Frame* e = AddFrame(*a, 2, 1, 4, 3, std::vector<uint8_t>(12, 4), DisposalLeave);
  AddRgbPlane(e);
  SetAlphaPlane(e, std::vector<uint8_t>(IndexStride(4) * 3, 255));
  return a;
}

struct Spot {
  uint32_t x, y;
};
// Where the pixel (x, y) of a w x h picture lands.
Spot Turned(FrameTurn t, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
  switch (t) {
    case FrameTurn::Clockwise: return {h - 1 - y, x};
    case FrameTurn::HalfTurn: return {w - 1 - x, h - 1 - y};
    case FrameTurn::CounterClockwise: return {y, w - 1 - x};
    case FrameTurn::MirrorLeftRight: return {w - 1 - x, y};
    case FrameTurn::MirrorTopBottom: return {x, h - 1 - y};
  }
  return {x, y};
}

TEST(TurnAnimation, EveryPictureTurnsAndTheInverseGivesTheDocumentBack) {
  for (FrameTurn turn : kTurns) {
    SCOPED_TRACE(static_cast<int>(turn));
    AnimationPtr a = Mixed();
    AnimationPtr before = DuplicateAnimation(*a, nullptr);
    ASSERT_TRUE(TurnAnimation(*a, turn, nullptr));
    const bool swap = TurnSwapsSides(turn);
    EXPECT_EQ(a->screenWidth, swap ? 5u : 7u);
    EXPECT_EQ(a->screenHeight, swap ? 7u : 5u);
    for (int n = 1; n <= a->frameCount; ++n) {
      std::vector<uint32_t> was = Picture(*before, n), now = Picture(*a, n);
      for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 7; ++x) {
          Spot s = Turned(turn, x, y, 7, 5);
          ASSERT_EQ(now[s.y * a->screenWidth + s.x], was[y * 7 + x]) << n << " " << x << "," << y;
        }
      }
    }
    ASSERT_TRUE(TurnAnimation(*a, InverseTurn(turn), nullptr));
    EXPECT_TRUE(SameAnimation(*a, *before));
  }
  // Screen 7 x 5, frame 3 x 2 at (1, 2): clockwise it lands at (5 - 2 - 2, 1) = (1, 1).
  AnimationPtr a = Mixed();
  ASSERT_TRUE(TurnAnimation(*a, FrameTurn::Clockwise, nullptr));
  EXPECT_EQ(FrameAt(*a, 1)->left, 1);
  EXPECT_EQ(FrameAt(*a, 1)->top, 1);
  // Two quarter turns are one half turn, offsets included.
  ASSERT_TRUE(TurnAnimation(*a, FrameTurn::Clockwise, nullptr));
  AnimationPtr half = Mixed();
  ASSERT_TRUE(TurnAnimation(*half, FrameTurn::HalfTurn, nullptr));
  EXPECT_TRUE(SameAnimation(*a, *half));
}

TEST(TurnAnimation, RunningOutOfMemoryHalfwayLeavesEveryFrameAsItWas) {
  auto& services = DefaultHeadlessServices();
  // Mixed asks for 1, 1, 2, 1 and 3 buffers: fail the first frame, the third's second buffer, the
  // last frame's alpha plane.
  for (int passing : {0, 3, 7}) {
    services.Reset();
    AnimationPtr a = Mixed();
    AnimationPtr before = DuplicateAnimation(*a, nullptr);
    FailNextGeometryAllocations(1, passing);
    EXPECT_FALSE(TurnAnimation(*a, FrameTurn::Clockwise, nullptr)) << passing;
    FailNextGeometryAllocations(0);
    EXPECT_TRUE(SameAnimation(*a, *before)) << passing;
    ASSERT_EQ(services.Messages().size(), 1u);
    EXPECT_EQ(services.Messages()[0].text,
              "Mémoire insuffisante pour construire une image de cadre.");
  }
}

TEST(TurnOneFrame, QuarterTurnsGrowTheScreenOnlyWhenTheFrameReachesBeyondIt) {
  struct Case {
    int32_t x, y;
    uint32_t w, h;
    FrameTurn turn;
    uint32_t screenW, screenH;  // before
    uint32_t grownW, grownH;    // after
  } cases[] = {
      {1, 1, 6, 2, FrameTurn::Clockwise, 10, 6, 10, 7},         // 2 x 6 at (1, 1) reaches row 7
      {8, 1, 2, 6, FrameTurn::CounterClockwise, 10, 8, 14, 8},  // 6 x 2 at (8, 1) reaches column 14
      {1, 1, 2, 6, FrameTurn::Clockwise, 10, 8, 10, 8},         // still fits
      {8, 6, 3, 3, FrameTurn::Clockwise, 10, 8, 10, 8},         // square: the screen stays
      {5, 6, 6, 2, FrameTurn::HalfTurn, 10, 8, 10, 8},  // beyond already, not a quarter turn
  };
  for (const Case& c : cases) {
    AnimationPtr a = MakeDocument(c.screenW, c.screenH);
    AddSolidFrame(*a, c.x, c.y, c.w, c.h, 3);
    bool grown = false;
    ASSERT_TRUE(TurnOneFrame(*a, 0, c.turn, true, &grown));
    EXPECT_EQ(a->screenWidth, c.grownW) << c.x;
    EXPECT_EQ(a->screenHeight, c.grownH) << c.x;
    EXPECT_EQ(grown, c.grownW != c.screenW || c.grownH != c.screenH) << c.x;
    EXPECT_EQ(FrameAt(*a, 0)->left, c.x);
    EXPECT_EQ(FrameAt(*a, 0)->top, c.y);
  }
}

TEST(ResizeFields, LinkedSizeAndPercent) {
  // 100 x 50 to width 33 with the aspect kept: height 17, 33 %.
  EXPECT_EQ(ResizeKeptAspect(100, 50, 33), 17u);
  EXPECT_EQ(ResizePercent(100, 33), 33u);
  EXPECT_EQ(ResizeLengthForPercent(333, 50), 167u);  // (333 x 50 + 50) / 100
  EXPECT_EQ(ResizeKeptAspect(100, 1, 10), 1u);       // never below 1
  // A frame of width 1 scaled by a third keeps width 1; offsets may become 0 or stay negative.
  EXPECT_EQ(ScaleLength(1, 3, 1), 1u);
  EXPECT_EQ(ScaleOffset(1, 3, 1), 0);
  EXPECT_EQ(ScaleOffset(-7, 7, 3), -2);  // (3 x -7 + 3) / 7 = -18 / 7, towards zero
}

// A document resized with the aspect kept or not; where each frame lands and how large it is.
TEST(ResizeNearest, FramesFollowTheScalingRuleOnOddSizes) {
  struct Case {
    uint32_t w1, h1;
    int32_t left, top;
    uint32_t w, h;
  } cases[] = {
      // 7 x 5 to 3 x 2. Frame 3 x 3 at (3, 1): width (3 x 3 + 3) / 7 = 1, height (2 x 3 + 2) / 5
      // = 1, left (3 x 3 + 3) / 7 = 1, top (2 x 1 + 2) / 5 = 0.
      {3, 2, 1, 0, 1, 1},
      // 7 x 5 to 11 x 9: width (33 + 3) / 7 = 5, height (27 + 2) / 5 = 5, left 36 / 7 = 5,
      // top (9 + 2) / 5 = 2.
      {11, 9, 5, 2, 5, 5},
  };
  for (const Case& c : cases) {
    AnimationPtr a = MakeDocument(7, 5);
    AddSolidFrame(*a, 0, 0, 7, 5, 1);
    AddFrame(*a, 3, 1, 3, 3, {2, 3, 4, 5, 6, 7, 8, 9, 10});
    a->screenFlags = 0x33;
    const std::vector<PaletteEntry> palette = a->globalPalette->entries;
    ResizeRequest r{a.get(), 0, true, 7, 5, c.w1, c.h1, false};
    ASSERT_NE(ApplyResize(r, false, nullptr), 0u);
    EXPECT_EQ(a->screenWidth, c.w1);
    EXPECT_EQ(a->screenHeight, c.h1);
    const Frame* f = FrameAt(*a, 1);
    EXPECT_EQ(f->left, c.left);
    EXPECT_EQ(f->top, c.top);
    EXPECT_EQ(f->width, c.w);
    EXPECT_EQ(f->height, c.h);
    EXPECT_EQ(f->DibWidth(), c.w);
    EXPECT_EQ(a->globalPalette->entries, palette);
    // Each pixel is one of the source's, never a blend.
    for (uint8_t p : testing_support::Pixels(*f)) EXPECT_TRUE(p >= 2 && p <= 10) << +p;
  }
  // Doubling copies every pixel into a 2 x 2 block.
  AnimationPtr a = MakeDocument(3, 2);
  AddFrame(*a, 0, 0, 3, 2, {1, 2, 3, 4, 5, 6});
  ResizeRequest r{a.get(), 0, true, 3, 2, 6, 4, true};
  ASSERT_NE(ApplyResize(r, false, nullptr), 0u);
  EXPECT_EQ(testing_support::Pixels(*FrameAt(*a, 0)),
            (std::vector<uint8_t>{1, 1, 2, 2, 3, 3, 1, 1, 2, 2, 3, 3,  //
                                  4, 4, 5, 5, 6, 6, 4, 4, 5, 5, 6, 6}));
}

TEST(ResizeNearest, SelectedFramesOnlyAndTheScreenBecomesTheirExtent) {
  AnimationPtr a = MakeDocument(8, 8);
  AddSolidFrame(*a, 0, 0, 8, 8, 1);
  Frame* second = AddSolidFrame(*a, 2, 2, 4, 4, 2);
  second->selected = 1;
  SetSelectedCount(*a, 1);
  ResizeRequest r{a.get(), 1, false, 4, 4, 12, 12, true};
  ASSERT_NE(ApplyResize(r, false, nullptr), 0u);
  EXPECT_EQ(FrameAt(*a, 0)->width, 8u);  // not selected
  EXPECT_EQ(second->left, 6);
  EXPECT_EQ(second->width, 12u);
  EXPECT_EQ(a->screenWidth, 18u);  // 6 + 12
  EXPECT_EQ(a->screenHeight, 18u);
}

TEST(BicubicTapTable, FifthsOfAPixelAndFoldedEdges) {
  // Kernel weights x 4096, truncated, for the fractions in fifths (taps -2 ... +2):
  //   f = 0.2: K(1.2) = -0.128 -> -524, K(0.2) = 0.928 -> 3801, K(0.8) = 0.232 -> 950,
  //            K(1.8) = -0.032 -> -131
  //   f = 0.4: K(1.4) = -0.144 -> -589, K(0.4) = 0.744 -> 3047, K(0.6) = 0.496 -> 2031,
  //            K(1.6) = -0.096 -> -393
  // 8 -> 5: p = 0, 1.6, 3.2, 4.8, 6.4.
  std::vector<BicubicTaps> t = BicubicTapTable(8, 5);
  ASSERT_EQ(t.size(), 5u);
  struct Expected {
    int32_t base;
    std::array<int32_t, 5> weight;
    uint8_t mask;
  } expected[] = {
      {0, {0, 0, 4096, 0, 0}, 0x1C},           // left edge: -2 and -1 folded onto the centre
      {1, {0, -393, 2031, 3047, -589}, 0x1E},  // f = 0.6; tap -2 (weight 0) folded, not read
      {3, {0, -524, 3801, 950, -131}, 0x1F},   // f = 0.2
      {4, {0, -131, 950, 3801, -524}, 0x1F},   // f = 0.8
      {6, {0, -589, 3047, 1638, 0}, 0x0F},     // f = 0.4; +2 (-393) folded onto +1 (2031)
  };
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(t[i].base, expected[i].base) << i;
    EXPECT_EQ(t[i].weight, expected[i].weight) << i;
    EXPECT_EQ(t[i].mask, expected[i].mask) << i;
  }
  // 2 -> 4, last output: p = 1.5, f = round(2.5) / 5 = 0.6 at the right edge: +2 onto +1
  // (3047 - 589 = 2458), then +1 onto the centre (2031 + 2458 = 4489).
  t = BicubicTapTable(2, 4);
  EXPECT_EQ(t[3].base, 1);
  EXPECT_EQ(t[3].weight, (std::array<int32_t, 5>{0, -393, 4489, 0, 0}));
  EXPECT_EQ(t[3].mask, 0x06);
}

class BicubicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    flags_ = GetPref(PrefFlags);
    merge_ = GetPref(PrefPaletteMerge);
    levels_ = GetPref(PrefUndoLevels);
    SetPref(PrefUndoLevels, 10);
    SetPrefOn(Pref::KeepTrueColor, true);  // keeps the resampled 24-bit data to look at
    SetPref(PrefPaletteMerge, 0x00880001);
    DefaultHeadlessServices().Reset();
  }
  void TearDown() override {
    SetPref(PrefFlags, flags_);
    SetPref(PrefPaletteMerge, merge_);
    SetPref(PrefUndoLevels, levels_);
    FailNextGeometryAllocations(0);
    ClearHistory();
  }
  // Blue, green, red of pixel x of row y of the frame's 24-bit data.
  static std::array<int, 3> Bgr(const Frame* f, uint32_t x, uint32_t y = 0) {
    const uint8_t* p = f->rgbPlane.data() + y * RgbStride(f->width) + 3 * x;
    return {p[0], p[1], p[2]};
  }
  uint32_t flags_ = 0, merge_ = 0, levels_ = 0;
};

TEST_F(BicubicTest, GradientAndStepMatchTheKernelByHand) {
  // 8 x 2, both rows alike: red 30 x, green a step 0 0 0 255 255 255 255 255, blue 100.
  AnimationPtr a = MakeDocument(8, 2);
  Frame* f = AddSolidFrame(*a, 0, 0, 8, 2, 1);
  std::vector<uint8_t> plane(RgbStride(8) * 2);
  for (uint32_t y = 0; y < 2; ++y) {
    for (uint32_t x = 0; x < 8; ++x) {
      uint8_t* p = plane.data() + y * RgbStride(8) + 3 * x;
      p[0] = 100, p[1] = x < 3 ? 0 : 255, p[2] = static_cast<uint8_t>(30 * x);
    }
  }
  SetRgbPlane(f, plane);
  ResizeRequest r{a.get(), 0, true, 8, 2, 5, 2, false};
  ASSERT_NE(ApplyResize(r, true, nullptr), 0u);
  f = FrameAt(*a, 0);
  ASSERT_EQ(f->width, 5u);
  ASSERT_EQ(f->height, 2u);
  ASSERT_FALSE(f->rgbPlane.empty());
  // Rows keep their height: the vertical taps are the centre alone. Along x (taps above):
  //   x = 1, base 1: red (2031 x 30 + 3047 x 60 - 589 x 90 + 2048) >> 12 = 192788 >> 12 = 47
  //                  green (-589 x 255 + 2048) >> 12 = -148147 >> 12 -> clamped to 0
  //   x = 2, base 3: red (-524 x 60 + 3801 x 90 + 950 x 120 - 131 x 150 + 2048) >> 12 = 99
  //                  green (255 x (3801 + 950 - 131) + 2048) >> 12 = 288 -> clamped to 255
  //   x = 4, base 6: red (-589 x 150 + 3047 x 180 + 1638 x 210 + 2048) >> 12 = 806138 >> 12 = 196
  // Blue: the weights add up to 4096, so 100 stays 100.
  const std::array<int, 3> expected[] = {
      {100, 0, 0}, {100, 0, 47}, {100, 255, 99}, {100, 255, 141}, {100, 255, 196}};
  // x = 3, base 4, f = 0.8: red (-131 x 90 + 950 x 120 + 3801 x 150 - 524 x 180 + 2048) >> 12
  //   = 580088 >> 12 = 141; green (255 x (-131 + 950 + 3801 - 524) + 2048) >> 12 = 255.
  for (uint32_t y = 0; y < 2; ++y) {
    for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(Bgr(f, x, y), expected[x]) << x << "," << y;
  }
  EXPECT_FALSE(f->dib.empty());  // back on a palette
}

TEST_F(BicubicTest, TransparentPixelsNeitherBleedNorTurnOpaque) {
  // 5 x 1 on grey: transparent, 200, 100, 100, 100 -> 3 x 1 (p = 0, 1.67, 3.33).
  AnimationPtr a = MakeDocument(5, 1);
  a->globalPalette->entries[1] = {200, 200, 200, 0};
  a->globalPalette->entries[2] = {100, 100, 100, 0};
  Frame* f = AddFrame(*a, 0, 0, 5, 1, {0, 1, 2, 2, 2}, DisposalBackground, 0);
  AddRgbPlane(f);
  ResizeRequest r{a.get(), 0, true, 5, 1, 3, 1, false};
  ASSERT_NE(ApplyResize(r, true, nullptr), 0u);
  f = FrameAt(*a, 0);
  ASSERT_EQ(f->alphaPlane.size(), IndexStride(3));
  // x = 0: the centre is transparent, so is the output.
  EXPECT_EQ(f->alphaPlane[0], 0);
  // x = 1, base 1, f = 0.6: the transparent tap -1 takes the centre's 200:
  //   (-393 x 200 + 2031 x 200 + 3047 x 100 - 589 x 100 + 2048) >> 12 = 575448 >> 12 = 140
  // (with the transparent pixel's black it would be 159).
  EXPECT_EQ(f->alphaPlane[1], 255);
  EXPECT_EQ(Bgr(f, 1), (std::array<int, 3>{140, 140, 140}));
  EXPECT_EQ(Bgr(f, 2), (std::array<int, 3>{100, 100, 100}));
  EXPECT_TRUE(f->Transparent());
  EXPECT_EQ(testing_support::Pixel(f, 0, 0), f->transparentIndex);
}

TEST_F(BicubicTest, OneColourStaysExactAndFailuresChangeNothing) {
  auto make = [] {
    AnimationPtr a = MakeDocument(9, 7);
    a->globalPalette->entries[5] = {12, 34, 56, 0};
    AddSolidFrame(*a, 0, 0, 9, 7, 5);
    AddSolidFrame(*a, 2, 1, 5, 5, 5);
    return a;
  };
  AnimationPtr a = make();
  ResizeRequest r{a.get(), 0, true, 9, 7, 4, 3, false};
  ASSERT_NE(ApplyResize(r, true, nullptr), 0u);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    for (uint8_t p : testing_support::Pixels(*f)) {
      EXPECT_EQ(f->palette->entries[p], (PaletteEntry{12, 34, 56, 0}));
    }
  }
  EXPECT_EQ(CanUndoKind(), undo::ResizeAnimation);

  // Memory short at each buffer in turn, and the palette question cancelled.
  auto& services = DefaultHeadlessServices();
  for (int passing = 0; passing < 6; ++passing) {  // three buffers a frame
    services.Reset();
    ClearHistory();
    a = make();
    AnimationPtr before = DuplicateAnimation(*a, nullptr);
    r.animation = a.get();
    FailNextGeometryAllocations(1, passing);
    EXPECT_EQ(ApplyResize(r, true, nullptr), 0u) << passing;
    FailNextGeometryAllocations(0);
    EXPECT_TRUE(SameAnimation(*a, *before)) << passing;
    EXPECT_EQ(CanUndoKind(), 0u);
    ASSERT_EQ(services.Messages().size(), 1u) << passing;
    EXPECT_EQ(services.Messages()[0].text,
              "Mémoire insuffisante pour l'échelle bicubique. Opération annulée.");
  }
  services.Reset();
  a = make();
  AnimationPtr before = DuplicateAnimation(*a, nullptr);
  r.animation = a.get();
  SetPref(PrefPaletteMerge, 0x00880001 | 0x200);
  services.QueuePaletteMergeAnswer(0);
  EXPECT_EQ(ApplyResize(r, true, nullptr), 0u);
  EXPECT_TRUE(SameAnimation(*a, *before));
  EXPECT_TRUE(services.Messages().empty());
}

// Commands that record their undo entry; the history is emptied before and after.
class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    levels_ = GetPref(PrefUndoLevels);
    SetPref(PrefUndoLevels, 10);
    ClearHistory();
  }
  void TearDown() override {
    ClearHistory();
    SetPref(PrefUndoLevels, levels_);
  }
  uint32_t levels_ = 0;
};

TEST_F(RecordingTest, CropAnimationKeepsWhatIsShownInsideTheRectangle) {
  struct Case {
    ScreenRect rect;
  } cases[] = {{{2, 1, 6, 4}}, {{0, 0, 7, 2}}, {{3, 2, 4, 3}}, {{1, 0, 7, 5}}};
  for (const Case& c : cases) {
    AnimationPtr a = Mixed();
    AddSolidFrame(*a, 6, 4, 1, 1, 9);  // outside every rectangle but the last
    AnimationPtr before = DuplicateAnimation(*a, nullptr);
    ASSERT_NE(CropAnimation(*a, c.rect), 0u);
    const uint32_t w = static_cast<uint32_t>(c.rect.right - c.rect.left);
    const uint32_t h = static_cast<uint32_t>(c.rect.bottom - c.rect.top);
    ASSERT_EQ(a->screenWidth, w);
    ASSERT_EQ(a->screenHeight, h);
    for (int n = 1; n <= a->frameCount; ++n) {
      std::vector<uint32_t> was = Picture(*before, n), now = Picture(*a, n);
      for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
          ASSERT_EQ(now[y * w + x], was[(y + c.rect.top) * 7 + x + c.rect.left])
              << n << " " << x << "," << y;
        }
      }
    }
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      EXPECT_TRUE(f->left >= 0 && f->top >= 0 && f->left + f->width <= w &&
                  f->top + f->height <= h);
    }
  }
  // The whole screen changes nothing and records only "NOP".
  ClearHistory();
  AnimationPtr a = Mixed();
  AnimationPtr before = DuplicateAnimation(*a, nullptr);
  EXPECT_EQ(CropAnimation(*a, AutoCropRect(*a)), refresh::StripOnly);
  EXPECT_TRUE(SameAnimation(*a, *before));
  EXPECT_EQ(CanUndoKind(), undo::Nop);
  ClearHistory();
}

TEST(MoveCrop, ConstraintsAndAlignment) {
  struct Case {
    MoveCropState in, out;
  } cases[] = {
      // A right edge typed beyond the frame comes back to the frame's edge.
      {{2, 2, 20, 10, 40, 30, 0, 0, 50, 10}, {2, 2, 20, 10, 40, 30, 0, 0, 20, 10}},
      // Left at or beyond right; bottom at or above top.
      {{0, 0, 20, 10, 40, 30, 12, 6, 12, 3}, {0, 0, 20, 10, 40, 30, 11, 2, 12, 3}},
      // A frame hanging off the left and bottom: the kept part starts and ends on the screen.
      {{-5, 25, 20, 10, 40, 30, 2, 0, 20, 10}, {-5, 25, 20, 10, 40, 30, 5, 0, 20, 5}},
      // Positions beyond the screen keep one column and row on it.
      {{45, -12, 20, 10, 40, 30, 0, 0, 20, 10}, {39, -9, 20, 10, 40, 30, 0, 9, 1, 10}},
  };
  for (const Case& c : cases) {
    MoveCropState s = c.in;
    ConstrainMoveCrop(&s);
    EXPECT_EQ(std::tie(s.x, s.y, s.left, s.top, s.right, s.bottom),
              std::tie(c.out.x, c.out.y, c.out.left, c.out.top, c.out.right, c.out.bottom))
        << c.in.x << "," << c.in.y;
  }
  MoveCropState s{0, 0, 20, 10, 40, 30, 2, 3, 12, 8};
  AlignMoveCrop(&s, MoveCropAlign::Right);
  EXPECT_EQ(s.x, 28);  // the kept part ends at the screen's right edge
  AlignMoveCrop(&s, MoveCropAlign::Centre);
  EXPECT_EQ(std::tie(s.x, s.y),
            std::make_tuple(13, 9));  // (40 - 12 + 2) / 2 - 2, (30 - 8 + 3) / 2 - 3
}

TEST_F(RecordingTest, MoveCropMovesSelectedFramesTogetherAndCutsThem) {
  ClearHistory();
  AnimationPtr a = MakeDocument(10, 8);
  AddSolidFrame(*a, 0, 0, 4, 4, 1);
  AddSolidFrame(*a, 5, 5, 4, 3, 2);  // not selected
  AddSolidFrame(*a, 2, 2, 6, 4, 3);
  FrameAt(*a, 0)->selected = FrameAt(*a, 2)->selected = 1;
  SetSelectedCount(*a, 2);
  // The current frame goes to (3, 1) keeping its columns 1..3 and rows 0..2: on the screen
  // (4, 1) to (7, 4). The other selected frame moves by (3, 1) to (5, 3) and keeps (5, 3)-(7, 4).
  MoveCropState s{3, 1, 4, 4, 10, 8, 1, 0, 4, 3};
  ASSERT_NE(MoveCropFrames(*a, 0, s), 0u);
  const Frame* f = FrameAt(*a, 0);
  EXPECT_EQ(std::tie(f->left, f->top, f->width, f->height), std::make_tuple(4, 1, 3u, 3u));
  f = FrameAt(*a, 2);
  EXPECT_EQ(std::tie(f->left, f->top, f->width, f->height), std::make_tuple(5, 3, 2u, 1u));
  f = FrameAt(*a, 1);
  EXPECT_EQ(std::tie(f->left, f->top, f->width, f->height), std::make_tuple(5, 5, 4u, 3u));
  EXPECT_EQ(CanUndoKind(), undo::MoveCropFrames);

  // Nothing selected: nothing changes and nothing is recorded.
  ClearHistory();
  for (Frame* g = FirstFrame(*a); g; g = NextFrame(g)) g->selected = 0;
  SetSelectedCount(*a, 0);
  EXPECT_EQ(MoveCropFrames(*a, 0, s), 0u);
  EXPECT_EQ(CanUndoKind(), 0u);
}

TEST(MoveCrop, HitTestAndDrag) {
  // The kept part drawn from (10, 20) to (50, 60): mid-x 30, mid-y 40.
  const ViewRect r{10, 20, 50, 60};
  const ViewRect frame{0, 0, 80, 90};
  struct Case {
    int64_t x, y;
    CropHit hit;
  } cases[] = {
      {8, 18, CropHit::TopLeft},      {12, 58, CropHit::BottomLeft}, {48, 21, CropHit::TopRight},
      {52, 62, CropHit::BottomRight}, {11, 41, CropHit::Left},       {49, 38, CropHit::Right},
      {31, 22, CropHit::Top},         {29, 57, CropHit::Bottom},     {14, 30, CropHit::Move},
      {12, 30, CropHit::None},        {20, 22, CropHit::None},       {30, 40, CropHit::Move},
      {46, 30, CropHit::Move},        {48, 30, CropHit::None},       {70, 70, CropHit::Move},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HitTestCrop(r, c.x, c.y, true, &frame), c.hit) << c.x << "," << c.y;
  }
  // Without a position to move, or with only the kept part shown, outside grabs nothing.
  EXPECT_EQ(HitTestCrop(r, 30, 40, false, nullptr), CropHit::None);
  EXPECT_EQ(HitTestCrop(r, 70, 70, true, nullptr), CropHit::None);
  EXPECT_EQ(HitTestCrop(r, 11, 41, false, nullptr), CropHit::Left);

  // At 200 % three view pixels make one screen pixel (towards zero); at 50 % each makes two.
  EXPECT_EQ(ViewToScreen(3, 2, 1), 1);
  EXPECT_EQ(ViewToScreen(-3, 1, 2), -6);
  MoveCropState s{0, 0, 20, 10, 40, 30, 0, 0, 20, 10};
  DragMoveCrop(&s, CropHit::TopLeft, 5, 50);  // the top cannot pass the bottom
  EXPECT_EQ(std::tie(s.left, s.top), std::make_tuple(5, 9));
  DragMoveCrop(&s, CropHit::Move, 100, 0);  // nor the frame leave the screen: one column stays
  EXPECT_EQ(std::tie(s.x, s.left, s.right), std::make_tuple(39, 0, 1));
}

}  // namespace
}  // namespace lw
