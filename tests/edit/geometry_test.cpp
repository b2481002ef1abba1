// Turning, resizing and cropping move the pictures shown as the command says, and undo.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "base/preferences.h"
#include "core/undo.h"
#include "edit/crop_move.h"
#include "edit/resize.h"
#include "edit/rotate.h"
#include "support/document.h"
#include "support/services.h"
#include "support/timeline.h"
#include "support/undo_check.h"

namespace lw {
namespace {

using namespace test;

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
  AddDrawnFrame(
      *a, 0, 0, 7, 5, [](uint32_t x, uint32_t y) { return (x * 7 + y * 49) % 16; }, DisposalLeave);
  AddFrame(*a, 1, 2, 3, 2, {0, 5, 6, 7, 0, 9}, DisposalBackground, 0);
  AddRgbPlane(AddFrame(*a, 4, 0, 2, 4, {1, 2, 3, 4, 5, 6, 7, 8}, DisposalPrevious));
  AddFrame(*a, -1, 3, 3, 3, {10, 11, 12, 13, 14, 15, 1, 2, 3}, DisposalNone);
  Frame* e = AddSolidFrame(*a, 2, 1, 4, 3, 4, DisposalLeave);
  AddRgbPlane(e);
  SetAlphaPlane(e, std::vector<uint8_t>(IndexStride(4) * 3, 255));
  return a;
}

AnimationPtr Subject(uint32_t seed) {
  return seed == 0 ? Mixed() : RandomAnimation(seed, seed % 2);
}

class Geometry : public ::testing::Test {
 protected:
  void TearDown() override { FailNextGeometryAllocations(0); }
  // The stored palette choice, with the 24-bit data kept so that the test can read it.
  static PaletteFitOptions KeepingTrueColour() {
    PaletteFitOptions options;
    options.storedWord = 0x00880001;
    options.keepTrueColour = true;
    return options;
  }
  ServicesScope scope_;
  FreshUndoHistory history_{10};
};

// Every picture of `now` is the picture of `was` after the same frame, read at from(x, y).
template <typename F>
::testing::AssertionResult PicturesMoved(const Animation& was, const Animation& now, F from) {
  for (int n = 1; n <= now.frameCount; ++n) {
    std::vector<uint32_t> old = Picture(was, n), shown = Picture(now, n);
    for (uint32_t y = 0; y < now.screenHeight; ++y)
      for (uint32_t x = 0; x < now.screenWidth; ++x) {
        auto [ox, oy] = from(x, y);
        if (shown[y * now.screenWidth + x] != old[oy * was.screenWidth + ox])
          return ::testing::AssertionFailure() << "picture " << n << " at " << x << "," << y;
      }
  }
  return ::testing::AssertionSuccess();
}

// Where the pixel (x, y) of a turned picture came from in the w x h original.
std::pair<uint32_t, uint32_t> Unturned(FrameTurn t, uint32_t x, uint32_t y, uint32_t w,
                                       uint32_t h) {
  switch (t) {
    case FrameTurn::Clockwise: return {y, h - 1 - x};
    case FrameTurn::HalfTurn: return {w - 1 - x, h - 1 - y};
    case FrameTurn::CounterClockwise: return {w - 1 - y, x};
    case FrameTurn::MirrorLeftRight: return {w - 1 - x, y};
    case FrameTurn::MirrorTopBottom: return {x, h - 1 - y};
  }
  return {x, y};
}

// Every picture turns as a whole, undoes, and comes back after four quarter turns or two mirrors.
TEST_F(Geometry, EveryTurnTurnsEveryPictureAndUndoes) {
  for (uint32_t seed = 0; seed < 12; ++seed) {
    for (FrameTurn turn : kTurns) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " turn " << static_cast<int>(turn));
      AnimationPtr a = Subject(seed);
      AnimationPtr before = DuplicateAnimation(*a, nullptr);
      const uint32_t w = a->screenWidth, h = a->screenHeight;
      ASSERT_TRUE(UndoRedoRestores(*a, [&] {
        RecordUndo(UndoKind::RotateAllFrames, *a,
                   undo::TurnedAnimation{turncmd::FirstAnimationTurn + static_cast<int>(turn)});
        return TurnAnimation(*a, turn, nullptr);
      }));
      ASSERT_EQ(a->screenWidth, TurnSwapsSides(turn) ? h : w);
      ASSERT_TRUE(PicturesMoved(
          *before, *a, [&](uint32_t x, uint32_t y) { return Unturned(turn, x, y, w, h); }));
      const int times = TurnSwapsSides(turn) ? 3 : 1;  // back to the start
      for (int i = 0; i < times; ++i) ASSERT_TRUE(TurnAnimation(*a, turn, nullptr));
      EXPECT_TRUE(SameAnimation(*a, *before));
    }
  }
  // A lone frame turned beyond the screen grows it: 2 x 6 at (1, 3) reaches row 9.
  AnimationPtr a = MakeDocument(10, 8);
  AddSolidFrame(*a, 1, 3, 6, 2, 3);
  bool grown = false;
  ASSERT_TRUE(TurnOneFrame(*a, 0, FrameTurn::Clockwise, true, &grown));
  EXPECT_EQ(std::make_tuple(a->screenWidth, a->screenHeight, grown),
            std::make_tuple(10u, 9u, true));
}

// The stretch rule: v becomes (to v + from / 2) / from, towards zero, lengths at least 1.
int64_t Scaled(int64_t v, int64_t from, int64_t to) { return (to * v + from / 2) / from; }

// Nearest-neighbour stretches (a third by whole multiples): every frame lands where the rule puts
// it and takes its pixels from the cells it covers.
TEST_F(Geometry, NearestResizeFollowsTheRuleAndTakesPixelsFromTheirCell) {
  std::mt19937 rng(9);
  for (uint32_t seed = 0; seed < 30; ++seed) {
    AnimationPtr a = Subject(seed);
    const uint32_t w0 = a->screenWidth, h0 = a->screenHeight;
    const bool multiple = seed % 3 == 0;
    const uint32_t w1 = multiple ? w0 * (1 + rng() % 3) : 1 + rng() % (2 * w0);
    const uint32_t h1 = multiple ? h0 * (1 + rng() % 3) : 1 + rng() % (2 * h0);
    SCOPED_TRACE(testing::Message()
                 << "seed " << seed << ": " << w0 << "x" << h0 << " to " << w1 << "x" << h1);
    AnimationPtr before = DuplicateAnimation(*a, nullptr);
    ResizeRequest r{a.get(), 0, true, w0, h0, w1, h1, false};
    if (w1 == w0 && h1 == h0) continue;
    ASSERT_TRUE(UndoRedoRestores(*a, [&] { return ApplyResize(r, false, nullptr) != 0; }));
    EXPECT_EQ(std::tie(a->screenWidth, a->screenHeight), std::tie(w1, h1));
    for (const Frame *f = FirstFrame(*a), *g = FirstFrame(*before); f;
         f = NextFrame(f), g = NextFrame(g)) {
      ASSERT_EQ(f->left, Scaled(g->left, w0, w1));
      ASSERT_EQ(f->top, Scaled(g->top, h0, h1));
      ASSERT_EQ(f->width, std::max<int64_t>(1, Scaled(g->width, w0, w1)));
      ASSERT_EQ(f->height, std::max<int64_t>(1, Scaled(g->height, h0, h1)));
      ASSERT_EQ(f->palette->entries, g->palette->entries);
      // Each output pixel is a source pixel of the cell it covers; a whole multiple's cell is
      // one pixel.
      for (uint32_t y = 0; y < f->height; ++y) {
        for (uint32_t x = 0; x < f->width; ++x) {
          const uint64_t x0 = uint64_t{x} * g->width / f->width,
                         y0 = uint64_t{y} * g->height / f->height;
          const uint64_t x1 = ((uint64_t{x} + 1) * g->width + f->width - 1) / f->width;
          const uint64_t y1 = ((uint64_t{y} + 1) * g->height + f->height - 1) / f->height;
          bool found = false;
          for (uint64_t sy = y0; sy < y1 && !found; ++sy)
            for (uint64_t sx = x0; sx < x1 && !found; ++sx)
              found = Pixel(f, x, y) == Pixel(g, sx, sy);
          ASSERT_TRUE(found) << x << "," << y;
        }
      }
    }
  }
}

std::array<int, 3> Bgr(const Frame* f, uint32_t x, uint32_t y = 0) {
  const uint8_t* p = f->rgbPlane.data() + y * RgbStride(f->width) + 3 * x;
  return {p[0], p[1], p[2]};
}

// One colour with black transparent holes, stretched to random sizes: the kernel's weights add up
// to one, so every opaque pixel keeps the colour exactly (a black hole bleeding in, or a weight of
// the wrong sign, changes it); a transparent corner stays transparent.
TEST_F(Geometry, BicubicKeepsOneColourExactAndHolesNeitherBleedNorFill) {
  std::mt19937 rng(6);
  for (int round = 0; round < 25; ++round) {
    const uint32_t w = 1 + rng() % 12, h = 1 + rng() % 6, h1 = 1 + rng() % 12;
    uint32_t w1 = 1 + rng() % 24;
    if (w1 == w && h1 == h) ++w1;  // some other size
    SCOPED_TRACE(testing::Message() << w << "x" << h << " to " << w1 << "x" << h1);
    AnimationPtr a = MakeDocument(w, h);
    a->globalPalette->entries[1] = {200, 120, 40, 0};
    std::vector<uint8_t> px(w * h);
    for (uint8_t& v : px) v = rng() % 4 ? 1 : 0;
    px[0] = 0;
    AddRgbPlane(AddFrame(*a, 0, 0, w, h, px, DisposalBackground, 0));
    ResizeRequest r{a.get(), 0, true, w, h, w1, h1, false};
    r.paletteFit = KeepingTrueColour();
    ASSERT_NE(ApplyResize(r, true, nullptr), 0u);
    const Frame* f = FirstFrame(*a);
    ASSERT_EQ(std::make_tuple(f->width, f->height, f->alphaPlane.size()),
              std::make_tuple(w1, h1, IndexStride(w1) * h1));
    EXPECT_EQ(Pixel(f, 0, 0), f->transparentIndex);
    for (uint32_t y = 0; y < h1; ++y) {
      for (uint32_t x = 0; x < w1; ++x) {
        const bool opaque = f->alphaPlane[y * IndexStride(w1) + x] != 0;
        ASSERT_TRUE(!opaque || Bgr(f, x, y) == (std::array<int, 3>{40, 120, 200})) << x << "," << y;
      }
    }
  }
}

// A ramp (red 30 x) and a step (green 0 0 0 255 ...) from 8 to 5 columns: the cubic's values,
// worked out by hand from its weights for the fifths 0.6, 0.2, 0.8, 0.4, edge taps folded in,
// the step's overshoot clamped. Every failure leaves the document as it was.
TEST_F(Geometry, BicubicRampGivesTheCubicsValuesAndFailuresChangeNothing) {
  auto make = [] {
    AnimationPtr a = MakeDocument(8, 2);
    std::vector<uint8_t> plane(RgbStride(8) * 2);
    for (uint32_t i = 0; i < 16; ++i) {
      uint8_t* p = plane.data() + i / 8 * RgbStride(8) + 3 * (i % 8);
      p[0] = 100, p[1] = i % 8 < 3 ? 0 : 255, p[2] = static_cast<uint8_t>(30 * (i % 8));
    }
    SetRgbPlane(AddSolidFrame(*a, 0, 0, 8, 2, 1), plane);
    return a;
  };
  AnimationPtr a = make();
  ResizeRequest r{a.get(), 0, true, 8, 2, 5, 2, false};
  r.paletteFit = KeepingTrueColour();
  ASSERT_TRUE(UndoRedoRestores(*a, [&] { return ApplyResize(r, true, nullptr) != 0; }));
  const std::array<int, 3> expected[] = {
      {100, 0, 0}, {100, 0, 47}, {100, 255, 99}, {100, 255, 141}, {100, 255, 196}};
  for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(Bgr(FirstFrame(*a), x), expected[x]) << x;

  // Memory short at each of the three buffers, or the palette question cancelled: no change.
  for (int passing = 0; passing <= 3; ++passing) {
    scope_.services.Reset();
    ClearHistory();
    a = make();
    r.animation = a.get();
    if (passing < 3)
      FailNextGeometryAllocations(1, passing);
    else
      r.paletteFit.storedWord = 0x00880001 | 0x200, scope_.services.QueuePaletteMergeAnswer(0);
    EXPECT_EQ(ApplyResize(r, true, nullptr), 0u) << passing;
    EXPECT_TRUE(SameAnimation(*a, *make())) << passing;
    EXPECT_EQ(CanUndoKind(), UndoKind::None);
    EXPECT_EQ(scope_.services.Texts().size(), passing < 3 ? 1u : 0u) << passing;
  }
}

// Cropped to a random rectangle, each picture is the window of the old one, on the new screen.
TEST_F(Geometry, CropKeepsWhatIsShownInsideTheRectangle) {
  std::mt19937 rng(2);
  for (uint32_t seed = 0; seed < 30; ++seed) {
    AnimationPtr a = Subject(seed);
    const int64_t sw = a->screenWidth, sh = a->screenHeight;
    ScreenRect rect;
    rect.left = rng() % sw, rect.top = rng() % sh;
    rect.right = rect.left + 1 + rng() % (sw - rect.left);
    rect.bottom = rect.top + 1 + rng() % (sh - rect.top);
    if (rect.right - rect.left == sw && rect.bottom - rect.top == sh) continue;
    SCOPED_TRACE(testing::Message() << "seed " << seed << " rect " << rect.left << "," << rect.top
                                    << "-" << rect.right << "," << rect.bottom);
    AnimationPtr before = DuplicateAnimation(*a, nullptr);
    ASSERT_TRUE(UndoRedoRestores(*a, [&] { return CropAnimation(*a, rect) != 0; }));
    const uint32_t w = static_cast<uint32_t>(rect.right - rect.left);
    const uint32_t h = static_cast<uint32_t>(rect.bottom - rect.top);
    ASSERT_EQ(std::tie(a->screenWidth, a->screenHeight), std::tie(w, h));
    ASSERT_TRUE(PicturesMoved(*before, *a, [&](uint32_t x, uint32_t y) {
      return std::make_pair(x + rect.left, y + rect.top);
    }));
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f))
      EXPECT_TRUE(f->left >= 0 && f->top >= 0 && f->left + f->width <= w &&
                  f->top + f->height <= h);
  }
}

TEST_F(Geometry, MoveCropMovesSelectedFramesTogetherAndCutsThem) {
  AnimationPtr a = MakeDocument(10, 8);
  AddSolidFrame(*a, 0, 0, 4, 4, 1);
  AddSolidFrame(*a, 5, 5, 4, 3, 2);  // not selected
  AddSolidFrame(*a, 2, 2, 6, 4, 3);
  FrameAt(*a, 0)->selected = FrameAt(*a, 2)->selected = 1;
  SetSelectedCount(*a, 2);
  // The current frame goes to (3, 1) keeping its columns 1..3 and rows 0..2: on the screen
  // (4, 1) to (7, 4). The other selected frame moves by (3, 1) to (5, 3) and keeps (5, 3)-(7, 4).
  MoveCropState s{3, 1, 4, 4, 10, 8, 1, 0, 4, 3};
  ASSERT_TRUE(UndoRedoRestores(*a, [&] { return MoveCropFrames(*a, 0, s) != 0; }));
  std::vector<std::tuple<int32_t, int32_t, uint32_t, uint32_t>> rects;
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f))
    rects.emplace_back(f->left, f->top, f->width, f->height);
  EXPECT_EQ(rects, (decltype(rects){{4, 1, 3, 3}, {5, 5, 4, 3}, {5, 3, 2, 1}}));
  EXPECT_EQ(CanUndoKind(), UndoKind::MoveCropFrames);
}

TEST(MoveCrop, ConstraintsAlignmentHitsAndDrags) {
  // A right edge typed beyond the frame comes back to its edge; a frame hanging off the left and
  // bottom keeps its part on the screen; positions beyond the screen keep a column and a row.
  const std::pair<MoveCropState, MoveCropState> cases[] = {
      {{2, 2, 20, 10, 40, 30, 0, 0, 50, 10}, {2, 2, 20, 10, 40, 30, 0, 0, 20, 10}},
      {{-5, 25, 20, 10, 40, 30, 2, 0, 20, 10}, {-5, 25, 20, 10, 40, 30, 5, 0, 20, 5}},
      {{45, -12, 20, 10, 40, 30, 0, 0, 20, 10}, {39, -9, 20, 10, 40, 30, 0, 9, 1, 10}}};
  for (auto [s, out] : cases) {
    ConstrainMoveCrop(&s);
    EXPECT_EQ(std::tie(s.x, s.y, s.left, s.top, s.right, s.bottom),
              std::tie(out.x, out.y, out.left, out.top, out.right, out.bottom));
  }
  MoveCropState s{0, 0, 20, 10, 40, 30, 2, 3, 12, 8};
  AlignMoveCrop(&s, MoveCropAlign::Centre);
  EXPECT_EQ(std::tie(s.x, s.y), std::make_tuple(13, 9));  // (40 - 12 + 2) / 2 - 2, ...
  // The kept part drawn from (10, 20) to (50, 60): handles reach 3 pixels out and 6 in, the inner
  // 3 of the edge band are the border (no hit), past the handles the whole frame moves.
  const ViewRect r{10, 20, 50, 60}, frame{0, 0, 80, 90};
  const std::tuple<int64_t, int64_t, CropHit> hits[] = {
      {7, 17, CropHit::TopLeft}, {15, 25, CropHit::TopLeft}, {6, 30, CropHit::Move},
      {11, 41, CropHit::Left},   {13, 30, CropHit::None},    {14, 30, CropHit::Move},
      {47, 30, CropHit::None},   {46, 30, CropHit::Move},    {32, 62, CropHit::Bottom},
      {30, 54, CropHit::Move},   {16, 25, CropHit::Move},    {70, 70, CropHit::Move}};
  for (auto [x, y, hit] : hits) EXPECT_EQ(HitTestCrop(r, x, y, true, &frame), hit) << x << "," << y;
  EXPECT_EQ(HitTestCrop(r, 70, 70, true, nullptr), CropHit::None);
  EXPECT_EQ(ViewToScreen(-3, 1, 2), -6);
  s = {0, 0, 20, 10, 40, 30, 0, 0, 20, 10};
  DragMoveCrop(&s, CropHit::Move, 100, 0);  // the frame cannot leave the screen
  EXPECT_EQ(std::tie(s.x, s.left, s.right), std::make_tuple(39, 0, 1));
}

}  // namespace
}  // namespace lw
