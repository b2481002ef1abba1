// The preview's off-screen picture: incremental moves, restarts, loops, alpha frames and a
// screen too large. The disposal rules are checked against ImageMagick (compose_coalesce_test.cpp).
#include <gtest/gtest.h>

#include "core/compose.h"
#include "core/frame_viewer.h"
#include "core/gif_reader.h"
#include "core_fixture.h"
#include "platform/headless_services.h"

namespace lw::test {
namespace {

constexpr uint32_t Back = 0x00102030;

uint32_t C(int i) {
  if (i < 0) return PixelFromColour(Back);
  return PixelFromColour(static_cast<uint32_t>(i) | (static_cast<uint32_t>(255 - i) << 8) |
                         (static_cast<uint32_t>(3 * i) << 16));
}

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
  EXPECT_EQ(f.viewer.framesDrawn, 5u);
  EXPECT_EQ(Picture(f.viewer), Cs({1, 2, 3, 4, 5}));

  ShowPictureUpTo(&f.viewer, 2, true);
  EXPECT_EQ(f.viewer.framesDrawn, 7u);  // frames 1 and 2 again
  EXPECT_EQ(Picture(f.viewer), Cs({1, 2, -1, -1, -1}));
  ShowPictureUpTo(&f.viewer, 5, true);
  EXPECT_EQ(f.viewer.framesDrawn, 10u);  // 3, 4 and 5 only
  EXPECT_EQ(ShowPictureUpTo(&f.viewer, 5, true), ViewerUpdate::Nothing);
  EXPECT_EQ(ShowPictureUpTo(&f.viewer, 6, true), ViewerUpdate::Nothing);
  EXPECT_EQ(ShowPictureUpTo(&f.viewer, -1, true), ViewerUpdate::Nothing);
  EXPECT_EQ(ShowPictureUpTo(&f.viewer, 0, true), ViewerUpdate::Repaint);
  EXPECT_EQ(Picture(f.viewer), Cs({-1, -1, -1, -1, -1}));
}

TEST(FrameViewer, PlayingOnLoopsFromTheLastPicture) {
  AnimationPtr doc = MakeDocument(2, 1);
  AddSolidFrame(*doc, 0, 0, 1, 1, 1, DisposalLeave);
  AddSolidFrame(*doc, 1, 0, 1, 1, 2, DisposalBackground);
  Fixture f(std::move(doc));
  ShowPictureUpTo(&f.viewer, 2, false);
  EXPECT_EQ(Picture(f.viewer), Cs({1, 2}));
  // Without a restart the last frame's disposal runs before the first is drawn again.
  ShowPictureUpTo(&f.viewer, 1, false);
  EXPECT_EQ(f.viewer.shown, 1);
  EXPECT_EQ(f.viewer.framesDrawn, 3u);
  EXPECT_EQ(Picture(f.viewer), Cs({1, -1}));
}

TEST(FrameViewer, BlendsTrueColourFrames) {
  AnimationPtr doc = MakeDocument(2, 1);
  AddSolidFrame(*doc, 0, 0, 2, 1, 1, DisposalLeave);
  Frame* t = AddSolidFrame(*doc, 1, 0, 1, 1, 0);
  SetRgbPlane(t, {255, 255, 255, 0});
  SetAlphaPlane(t, {0, 0, 0, 0});
  Fixture f(std::move(doc));
  ShowPictureUpTo(&f.viewer, 2, true);
  EXPECT_EQ(Picture(f.viewer), Cs({1, 1}));  // alpha 0: the first frame stays
  t->alphaPlane[0] = 255;
  ShowPictureUpTo(&f.viewer, 1, true);
  ShowPictureUpTo(&f.viewer, 2, true);
  EXPECT_EQ(Picture(f.viewer)[1], 0xFFFFFFFFu);
}

TEST(FrameViewer, RemakesTheBitmapOnlyWhenNeededAndReportsFailure) {
  Fixture f(Counting());
  ShowPictureUpTo(&f.viewer, 3, true);
  const uint32_t* pixels = f.viewer.bitmap.pixels.data();
  ASSERT_TRUE(PrepareViewer(&f.viewer, f.doc.get(), 5, 1));
  EXPECT_EQ(f.viewer.bitmap.pixels.data(), pixels);
  EXPECT_EQ(f.viewer.shown, 0);
  EXPECT_EQ(Picture(f.viewer), Cs({-1, -1, -1, -1, -1}));
  ASSERT_TRUE(PrepareViewer(&f.viewer, f.doc.get(), 2, 3));
  EXPECT_EQ(f.viewer.bitmap.width, 2);
  EXPECT_EQ(f.viewer.bitmap.height, 3);
  ShowPictureUpTo(&f.viewer, 5, true);
  EXPECT_EQ(Picture(f.viewer), Cs({1, 2, -1, -1, -1, -1}));

  HeadlessServices services;
  services.SetEcho(false);
  SetServices(&services);
  // Beyond what can be addressed, beyond the 4 GiB cap of the picture budget, beyond a budget
  // made small: the message, and nothing allocated.
  const uint64_t budget = GifFrameByteLimit();
  struct {
    uint32_t width, height;
    uint64_t limit;
  } tooLarge[] = {{0x7FFFFFFF, 0x7FFFFFFF, budget}, {65535, 65535, budget}, {100, 100, 39999}};
  for (const auto& c : tooLarge) {
    SetGifFrameByteLimit(c.limit);
    EXPECT_FALSE(PrepareViewer(&f.viewer, f.doc.get(), c.width, c.height)) << c.width;
    EXPECT_TRUE(f.viewer.bitmap.pixels.empty());
  }
  SetGifFrameByteLimit(budget);
  SetServices(nullptr);
  ASSERT_EQ(services.Messages().size(), 3u);
  EXPECT_EQ(services.Messages()[0].text,
            "Ressources système insuffisantes pour afficher un aperçu.");
  EXPECT_EQ(ShowPictureUpTo(&f.viewer, 1, true), ViewerUpdate::Nothing);
}

}  // namespace
}  // namespace lw::test
