// Drawing: 8-bit primitives, one frame into a picture, the compositors, frame versions.
#include "core/compose.h"

#include <functional>
#include <random>
#include <set>

#include "core/frame_player.h"
#include "core/frame_viewer.h"
#include "core/picture_budget.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

constexpr uint32_t Back = 0x00102030;

// Ramp entry i as a picture's pixel; the viewer's background for -1.
uint32_t C(int i) {
  if (i < 0) return PixelFromColour(Back);
  return PixelFromColour(static_cast<uint32_t>(i) | (static_cast<uint32_t>(255 - i) << 8) |
                         (static_cast<uint32_t>(3 * i) << 16));
}

// Random fills and copies against a pixel-by-pixel walk: rectangles anywhere, partly or wholly
// outside either DIB, keyed or not; the padding of the rows is never written.
TEST(ComposePrimitives, FillAndBlitClipLikeAPixelWalk) {
  std::mt19937 rng(5);
  auto dib = [&](uint32_t w, uint32_t h) {
    std::vector<uint8_t> d = BuildDib(w, h, nullptr);
    for (size_t i = DibBitsOffset; i < d.size(); ++i) d[i] = static_cast<uint8_t>(rng() % 5);
    return d;
  };
  auto any = [&](int lo, int hi) { return lo + static_cast<int>(rng() % (hi - lo + 1)); };
  for (int trial = 0; trial < 600; ++trial) {
    const int dw = any(1, 13), dh = any(1, 6), sw = any(1, 13), sh = any(1, 6);
    std::vector<uint8_t> to = dib(dw, dh), from = dib(sw, sh), want = to;
    const int x = any(-4, 12), y = any(-3, 5), w = any(-1, 16), h = any(-1, 8);
    const int sx = any(-4, 12), sy = any(-3, 5);
    const uint8_t key = static_cast<uint8_t>(any(0, 4));
    const bool fill = trial % 3 == 0, useKey = trial % 2;
    const uint64_t ds = IndexStride(dw), ss = IndexStride(sw);
    for (int r = 0; r < dh; ++r)
      for (int c = 0; c < dw; ++c) {
        if (c < x || c >= x + w || r < y || r >= y + h) continue;
        uint8_t& out = want[DibBitsOffset + r * ds + c];
        if (fill) {
          out = key;
          continue;
        }
        const int fc = c - x + sx, fr = r - y + sy;
        if (fc < 0 || fc >= sw || fr < 0 || fr >= sh) continue;
        const uint8_t in = from[DibBitsOffset + fr * ss + fc];
        if (!useKey || in != key) out = in;
      }
    if (fill) {
      FillIndexRect(to, x, y, w, h, key);
    } else {
      BlitIndexed(to, x, y, w, h, from, sx, sy, key, useKey);
    }
    ASSERT_EQ(to, want) << "trial " << trial << (fill ? " fill" : " blit") << " at " << x << ","
                        << y << " " << w << "x" << h << " from " << sx << "," << sy;
  }
  // A DIB whose header claims more rows than it holds is left alone.
  std::vector<uint8_t> truncated = BuildDib(4, 4, nullptr);
  truncated.pop_back();
  const std::vector<uint8_t> before = truncated;
  FillDibPixels(truncated, 9);
  FillIndexRect(truncated, 0, 0, 4, 4, 9);
  BlitIndexed(truncated, 0, 0, 4, 4, dib(4, 4), 0, 0, 0, false);
  EXPECT_EQ(truncated, before);
}

TEST(ComposeDrawing, ScalesClipsAndHonoursTheMask) {
  AnimationPtr doc = MakeDocument(4, 4);
  Frame* f = AddFrame(*doc, 1, 0, 2, 2, {1, 2, 3, 4}, 0, 4);
  PixelSurface surface;
  ASSERT_TRUE(ResizeSurface(&surface, 5, 3, 0xFF000000u));
  DrawFrame(*f, surface.View(), -1, 0, 2, 1, true);
  // Left 1 at zoom 2 from origin -1: x 1..4, rows 0..3 clipped to 3; index 4 is transparent.
  const uint32_t k = 0xFF000000u, p1 = C(1), p2 = C(2), p3 = C(3);
  EXPECT_EQ(surface.pixels,
            (std::vector<uint32_t>{k, p1, p1, p2, p2, k, p1, p1, p2, p2, k, p3, p3, k, k}));

  // A true-colour frame draws from its plane; a plane too short for the DIB is not read.
  Frame* t = AddFrame(*doc, 0, 0, 1, 1, {1});
  SetRgbPlane(t, {10, 20, 30, 0});
  DrawFrame(*t, surface.View(), 0, 0, 1, 1, false);
  EXPECT_EQ(surface.pixels[0], 0xFF1E140Au);
  t->rgbPlane.resize(2);
  DrawFrame(*t, surface.View(), 0, 0, 1, 1, false);
  EXPECT_EQ(surface.pixels[0], p1);
}

TEST(ComposeDrawing, AlphaBlendingAndTheDisplayCache) {
  AnimationPtr doc = MakeDocument(2, 1);
  Frame* f = AddFrame(*doc, 0, 0, 2, 1, {0, 0});
  SetRgbPlane(f, {200, 100, 0, 255, 255, 255, 0, 0});
  SetAlphaPlane(f, {128, 255, 0, 0});
  PixelSurface surface;
  ASSERT_TRUE(ResizeSurface(&surface, 3, 1, 0xFF0A0A0Au));
  ASSERT_TRUE(BlendFrame(*f, surface.View()));
  // Blue (200 x 128 + 10 x 127) / 255 = 105, green 55, red 4; the opaque pixel is the source.
  EXPECT_EQ(surface.pixels, (std::vector<uint32_t>{0xFF043769u, 0xFFFFFFFFu, 0xFF0A0A0Au}));
  // Views blend over their backdrop without storing the blend in the document.
  const std::vector<uint8_t> rgb = f->rgbPlane;
  const uint64_t version = f->version;
  DrawFrameOver(*f, surface.View(), 0, 0, 1, 1, false, 0x000A0A0A);
  EXPECT_EQ(surface.pixels[0], 0xFF043769u);
  EXPECT_TRUE(f->version == version && f->rgbPlane == rgb);
  std::vector<uint8_t> blended;
  ASSERT_TRUE(BlendedPlaneOf(*f, 0x000A0A0A, 0, &blended));
  EXPECT_EQ(blended, (std::vector<uint8_t>{105, 55, 4, 255, 255, 255, 0, 0}));
  // Twelve-bit display: channels rounded to sixteen levels before blending.
  ASSERT_TRUE(BlendedPlaneOf(*f, 0x000A0A0A, 12, &blended));
  EXPECT_EQ(blended[0], (204 * 128 + 10 * 127) / 255);
  // Without alpha the plane is only rounded; without rounding there is no cache.
  FreeAlphaPlane(f);
  ASSERT_TRUE(BlendedPlaneOf(*f, 0, 12, &blended));
  EXPECT_EQ(blended[0], 204);
  ASSERT_TRUE(BlendedPlaneOf(*f, 0, 0, &blended));
  EXPECT_TRUE(blended.empty());

  // A plane made from the pixels: transparent ones black, the indexes kept.
  Frame* g = AddFrame(*doc, 0, 0, 2, 1, {3, 5}, 0, 5);
  ASSERT_TRUE(AddRgbPlane(g));
  EXPECT_EQ(g->rgbPlane, (std::vector<uint8_t>{9, 252, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Pixels(*g), (std::vector<uint8_t>{3, 5}));
}

// The full-screen compositor: pictures worked out by hand.
using P = std::vector<uint8_t>;

std::vector<P> Play(const Animation& doc) {
  std::vector<P> pictures;
  FramePlayerPtr player = NewFramePlayer(doc);
  for (Frame* canvas = FirstPicture(player.get()); canvas; canvas = NextPicture(player.get())) {
    pictures.push_back(Pixels(*canvas));
  }
  EXPECT_FALSE(player->failed);
  EXPECT_FALSE(player->canvas);
  EXPECT_FALSE(player->saved);
  return pictures;
}

TEST(FramePlayer, DisposalsAndFramesOffTheScreen) {
  struct Row {
    const char* what;
    AnimationPtr doc;
    std::vector<P> pictures;
  };
  std::vector<Row> rows;
  auto add = [&](const char* what, uint32_t w, uint32_t h, std::vector<P> pictures) {
    rows.push_back({what, MakeDocument(w, h), std::move(pictures)});
    rows.back().doc->backgroundIndex = 9;
    return rows.back().doc.get();
  };
  // Restore to background fills with the next frame's transparent index, else the background.
  Animation* d = add("background", 4, 1, {{1, 1, 1, 1}, {5, 2, 5, 5}, {9, 9, 5, 3}});
  AddFrame(*d, 0, 0, 4, 1, {1, 1, 1, 1}, DisposalBackground);
  AddFrame(*d, 0, 0, 2, 1, {5, 2}, DisposalBackground, 5);
  AddFrame(*d, 3, 0, 1, 1, {3}, DisposalNone);
  // Restore to previous on the first frame: back to the cleared screen.
  d = add("previous first", 3, 1, {{1, 1, 1}, {9, 2, 9}});
  AddSolidFrame(*d, 0, 0, 3, 1, 1, DisposalPrevious);
  AddSolidFrame(*d, 1, 0, 1, 1, 2);
  // In the middle, after a frame left in place; twice in a row.
  d = add("previous twice", 3, 1, {{1, 1, 1}, {2, 1, 1}, {1, 4, 1}, {1, 1, 3}});
  AddSolidFrame(*d, 0, 0, 3, 1, 1, DisposalLeave);
  AddSolidFrame(*d, 0, 0, 1, 1, 2, DisposalPrevious);
  AddSolidFrame(*d, 1, 0, 1, 1, 4, DisposalPrevious);
  AddSolidFrame(*d, 2, 0, 1, 1, 3, DisposalNone);
  // A transparent first frame clears the screen to its own transparent index.
  d = add("transparent first", 2, 1, {{6, 7}, {7, 8}});
  AddFrame(*d, 0, 0, 1, 1, {6}, DisposalPrevious, 7);
  AddFrame(*d, 1, 0, 1, 1, {8}, DisposalNone);
  d = add("off the screen", 3, 2, {{5, 6, 9, 9, 9, 9}, {9, 9, 9, 9, 9, 7}, {9, 9, 9, 9, 9, 9}});
  AddFrame(*d, -1, -1, 3, 2, {1, 2, 3, 4, 5, 6}, DisposalBackground);
  AddFrame(*d, 2, 1, 3, 3, std::vector<uint8_t>(9, 7), DisposalBackground);
  AddFrame(*d, 5, 5, 2, 2, {8, 8, 8, 8}, DisposalNone);  // wholly off: changes nothing
  for (const Row& r : rows) EXPECT_EQ(Play(*r.doc), r.pictures) << r.what;
}

// The preview's picture. Its disposals: gif_other_programs_test.cpp.

std::vector<uint32_t> Picture(FrameViewer& viewer) {
  PixelView view = ViewerPicture(&viewer);
  std::vector<uint32_t> out;
  for (int y = 0; y < view.height; ++y)
    for (int x = 0; x < view.width; ++x) out.push_back(view.pixels[y * view.stride + x]);
  return out;
}

std::vector<uint32_t> Cs(std::initializer_list<int> indexes) {
  std::vector<uint32_t> out;
  for (int i : indexes) out.push_back(C(i));
  return out;
}

struct Fixture {
  AnimationPtr doc;
  FrameViewer viewer;
  explicit Fixture(AnimationPtr d) : doc(std::move(d)) {
    viewer.background = Back;
    EXPECT_TRUE(PrepareViewer(&viewer, doc.get(), doc->screenWidth, doc->screenHeight));
  }
};

// Five frames, each adding one pixel: picture n shows pixels 0..n-1.
AnimationPtr Counting() {
  AnimationPtr doc = MakeDocument(5, 1);
  for (int i = 0; i < 5; ++i)
    AddSolidFrame(*doc, i, 0, 1, 1, static_cast<uint8_t>(i + 1), DisposalLeave);
  return doc;
}

TEST(FrameViewer, DrawsForwardIncrementallyAndReplaysBackwardFromAClearedPicture) {
  Fixture f(Counting());
  EXPECT_EQ(Picture(f.viewer), Cs({-1, -1, -1, -1, -1}));
  EXPECT_EQ(ShowPictureUpTo(&f.viewer, 5, true), ViewerUpdate::Changed);
  EXPECT_EQ(Picture(f.viewer), Cs({1, 2, 3, 4, 5}));
  ShowPictureUpTo(&f.viewer, 2, true);
  EXPECT_EQ(Picture(f.viewer), Cs({1, 2, -1, -1, -1}));
  ShowPictureUpTo(&f.viewer, 5, true);
  EXPECT_EQ(f.viewer.framesDrawn, 10u) << "5, then 1 and 2 again, then 3 to 5 only";
  for (int past : {5, 6, -1})
    EXPECT_EQ(ShowPictureUpTo(&f.viewer, past, true), ViewerUpdate::Nothing);
  EXPECT_EQ(ShowPictureUpTo(&f.viewer, 0, true), ViewerUpdate::Repaint);
  EXPECT_EQ(Picture(f.viewer), Cs({-1, -1, -1, -1, -1}));
}

// Without a restart the last frame's disposal runs before the first is drawn again.
TEST(FrameViewer, PlayingOnLoopsAndBlendsTrueColour) {
  AnimationPtr doc = MakeDocument(2, 1);
  AddSolidFrame(*doc, 0, 0, 1, 1, 1, DisposalLeave);
  AddSolidFrame(*doc, 1, 0, 1, 1, 2, DisposalBackground);
  Frame* t = AddSolidFrame(*doc, 0, 0, 2, 1, 0);
  SetRgbPlane(t, {255, 255, 255, 0, 0, 0, 0, 0});
  SetAlphaPlane(t, {255, 0, 0, 0});
  Fixture f(std::move(doc));
  ShowPictureUpTo(&f.viewer, 2, false);
  EXPECT_EQ(Picture(f.viewer), Cs({1, 2}));
  ShowPictureUpTo(&f.viewer, 3, false);
  EXPECT_EQ(Picture(f.viewer), (std::vector<uint32_t>{0xFFFFFFFFu, C(-1)}));
  ShowPictureUpTo(&f.viewer, 1, false);
  EXPECT_EQ(f.viewer.shown, 1);
  EXPECT_EQ(f.viewer.framesDrawn, 4u) << "played on, not redrawn from the start";
  EXPECT_EQ(Picture(f.viewer), (std::vector<uint32_t>{C(1), C(-1)}));
}

TEST(FrameViewer, NewSizesAndPicturesTooLarge) {
  Fixture f(Counting());
  ShowPictureUpTo(&f.viewer, 3, true);
  ASSERT_TRUE(PrepareViewer(&f.viewer, f.doc.get(), 2, 3));
  EXPECT_EQ(f.viewer.shown, 0);
  ShowPictureUpTo(&f.viewer, 5, true);
  EXPECT_EQ(Picture(f.viewer), Cs({1, 2, -1, -1, -1, -1}));

  ServicesScope scope;
  // Beyond what can be addressed, beyond the 4 GiB cap of the picture budget, beyond a budget
  // made small: the message, and nothing allocated.
  const uint64_t budget = PictureBudgetBytes();
  struct {
    uint32_t width, height;
    uint64_t limit;
  } tooLarge[] = {{0x7FFFFFFF, 0x7FFFFFFF, budget}, {65535, 65535, budget}, {100, 100, 39999}};
  for (const auto& c : tooLarge) {
    SetPictureBudgetBytes(c.limit);
    EXPECT_FALSE(PrepareViewer(&f.viewer, f.doc.get(), c.width, c.height)) << c.width;
    EXPECT_TRUE(f.viewer.bitmap.pixels.empty());
  }
  SetPictureBudgetBytes(budget);
  EXPECT_EQ(scope.services.Messages().size(), 3u);
  EXPECT_EQ(ShowPictureUpTo(&f.viewer, 1, true), ViewerUpdate::Nothing);
}

class FrameVersion : public CoreTest {};

// A picture cached for a freed frame must not be taken for a new frame at the same address.
TEST_F(FrameVersion, NewFramesNeverRepeatAVersion) {
  std::set<uint64_t> seen;
  for (int i = 0; i < 50; ++i) {
    Frame* f = NewFrame(4, 4, 10);
    EXPECT_TRUE(seen.insert(f->version).second);
    FreeBlock(f);  // the next frame most likely reuses the memory
  }
  AnimationPtr a = NumberedAnimation(1);
  AnimationPtr copy = DuplicateAnimation(*a, nullptr);
  EXPECT_NE(FirstFrame(*copy)->version, FirstFrame(*a)->version);
}

// Each change a view shows gives a new version: a setter that forgets to bump leaves a stale
// picture in the strip. A new global palette changes only the frames that borrow it.
TEST_F(FrameVersion, PictureChangesBump) {
  AnimationPtr a = NumberedAnimation(3);
  Frame *f = FrameAt(*a, 0), *g = FrameAt(*a, 1), *borrower = FrameAt(*a, 2);
  SetLocalPalette(g, RampPalette(8));
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"transparency on", [&] { SetTransparency(f, true); }},
      {"transparent index", [&] { SetTransparentIndex(f, 2); }},
      {"transparency off", [&] { SetTransparency(f, false); }},
      {"new DIB", [&] { NewFrameDib(f); }},
      {"crop", [&] { CropFrame(f, 1, 1, 2, 2); }},
      {"rgb plane", [&] { SetRgbPlane(f, std::vector<uint8_t>(12, 9)); }},
      {"alpha plane", [&] { SetAlphaPlane(f, std::vector<uint8_t>(8, 128)); }},
      {"rgb plane freed", [&] { FreeRgbPlane(f); }},
      {"local palette", [&] { SetLocalPalette(f, RampPalette(4)); }},
      {"colour table", [&] { UpdateDibColourTable(f); }},
      {"images swapped", [&] { SwapFrameImages(f, g); }},
      {"global palette", [&] { SetGlobalPalette(*a, RampPalette(32)); }},
      {"all touched", [&] { TouchAllFrames(*a); }},
  };
  for (const auto& [what, change] : changes) {
    const uint64_t before[3] = {f->version, g->version, borrower->version};
    change();
    const std::string w = what;
    const bool global = w == "global palette", swap = w == "images swapped",
               all = w == "all touched";
    EXPECT_EQ(f->version != before[0], !global) << what;
    EXPECT_EQ(g->version != before[1], swap || all) << what;
    EXPECT_EQ(borrower->version != before[2], global || all) << what;
  }
}

}  // namespace
}  // namespace lw::test
