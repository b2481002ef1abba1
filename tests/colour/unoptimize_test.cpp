#include "colour/unoptimize.h"

#include <gtest/gtest.h>

#include "colour/optimize.h"
#include "core/undo.h"
#include "support/document.h"
#include "support/services.h"
#include "support/timeline.h"
#include "support/undo_check.h"

namespace lw {
namespace {

using namespace test;

::testing::AssertionResult WholePictures(const Animation& a) {
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (f->left != 0 || f->top != 0 || f->width != a.screenWidth || f->height != a.screenHeight ||
        f->DibWidth() != a.screenWidth || f->Transparent() || f->Disposal() != DisposalLeave)
      return ::testing::AssertionFailure() << "a frame is not a whole opaque picture";
  }
  return ::testing::AssertionSuccess();
}

class Unoptimize : public ::testing::Test {
 protected:
  ServicesScope scope_;
  FreshUndoHistory history_{10};
};

// Whole pictures that show what the animation showed.
TEST_F(Unoptimize, KeepsThePicturesOfRandomAnimationsAndUndoesInOneStep) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    AnimationPtr a = RandomAnimation(seed, false);
    // A first full opaque frame, so that no pixel is left to the background, which unoptimize
    // paints with the background index and the viewer leaves empty.
    Frame* first = NewFrame(a->screenWidth, a->screenHeight, 10);
    first->palette = a->globalPalette.get();
    NewFrameDib(first);
    LinkFrameAt(*a, first, 0);
    ++a->frameCount;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f))
      if (f->Disposal() == DisposalBackground) SetDisposal(f, DisposalLeave);
    auto before = Timeline(*a);
    ASSERT_TRUE(UndoRedoRestores(*a, [&] { return UnoptimizeAnimation(nullptr, *a); }))
        << "seed " << seed;
    EXPECT_TRUE(WholePictures(*a)) << "seed " << seed;
    ASSERT_TRUE(SameTimeline(before, Timeline(*a))) << "seed " << seed;
  }
}

TEST_F(Unoptimize, RestoredBackgroundShowsTheBackgroundIndexAndFramesOffTheScreenAreClipped) {
  AnimationPtr a = MakeDocument(10, 10);
  a->backgroundIndex = 6;
  AddSolidFrame(*a, 0, 0, 10, 10, 1);
  AddSolidFrame(*a, 2, 2, 3, 3, 4, DisposalBackground);
  AddSolidFrame(*a, -3, -2, 5, 4, 3);
  AddSolidFrame(*a, 8, 7, 9, 9, 9);
  ASSERT_TRUE(UnoptimizeAnimation(nullptr, *a));
  EXPECT_TRUE(WholePictures(*a));
  const Frame* last = FrameAt(*a, 3);
  EXPECT_EQ(std::make_tuple(Pixel(FrameAt(*a, 1), 3, 3), Pixel(last, 3, 3), Pixel(last, 1, 1),
                            Pixel(last, 5, 5), Pixel(last, 9, 9)),
            std::make_tuple(4, 6, 3, 1, 9));
}

TEST_F(Unoptimize, RefusesLocalPalettesAndEmptyAnimations) {
  AnimationPtr a = MakeDocument(6, 6);
  GiveLocalPalette(AddSolidFrame(*a, 1, 1, 2, 2, 3), RampPalette(4));
  AnimationPtr copy = DuplicateAnimation(*a, nullptr);
  EXPECT_FALSE(UnoptimizeAnimation(nullptr, *a));
  EXPECT_TRUE(SameAnimation(*a, *copy));
  ASSERT_EQ(scope_.services.Messages().size(), 1u);
  EXPECT_EQ(scope_.services.Messages()[0].caption, "Impossible d'annuler l'optimisation");
  AnimationPtr empty = MakeDocument(6, 6);
  EXPECT_FALSE(UnoptimizeAnimation(nullptr, *empty));
  EXPECT_EQ(CanUndoKind(), UndoKind::None);
}

TEST_F(Unoptimize, DroppingTrueColourIsAskedOnlyWhenThereIsSome) {
  AnimationPtr a = MakeDocument(4, 4);
  Frame* f = AddSolidFrame(*a, 0, 0, 4, 4, 2);
  EXPECT_TRUE(ConfirmDrop24BitData(nullptr, *a)) << "nothing to drop, nothing asked";
  SetRgbPlane(f, std::vector<uint8_t>(RgbStride(4) * 4, 9));
  scope_.services.QueueAnswer(answer::Cancel);
  EXPECT_FALSE(ConfirmDrop24BitData(nullptr, *a));
  EXPECT_FALSE(f->rgbPlane.empty());
  scope_.services.QueueAnswer(answer::Ok);
  EXPECT_TRUE(ConfirmDrop24BitData(nullptr, *a));
  EXPECT_TRUE(f->rgbPlane.empty());
  EXPECT_EQ(scope_.services.Messages().size(), 2u);
}

}  // namespace
}  // namespace lw
