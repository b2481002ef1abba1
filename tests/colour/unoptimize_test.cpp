#include "colour/unoptimize.h"

#include <gtest/gtest.h>

#include "base/preferences.h"
#include "colour/optimize.h"
#include "colour/optimize_support.h"
#include "core/undo.h"
#include "platform/headless_services.h"

namespace lw {
namespace {

using namespace testing_support;

void ExpectWholePictures(const Animation& a) {
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    EXPECT_EQ(f->left, 0);
    EXPECT_EQ(f->top, 0);
    EXPECT_EQ(f->width, a.screenWidth);
    EXPECT_EQ(f->height, a.screenHeight);
    EXPECT_EQ(f->DibWidth(), a.screenWidth);
    EXPECT_FALSE(f->Transparent());
    EXPECT_EQ(f->Disposal(), DisposalLeave);
  }
}

uint8_t At(const Frame& f, uint32_t x, uint32_t y) {
  return f.bits()[y * IndexStride(f.width) + x];
}

TEST(Unoptimize, RestoredBackgroundShowsTheBackgroundIndex) {
  AnimationPtr a = MakeDocument(10, 10);
  a->backgroundIndex = 6;
  AddSolidFrame(*a, 0, 0, 10, 10, 1);
  AddSolidFrame(*a, 2, 2, 3, 3, 4, DisposalBackground);
  AddSolidFrame(*a, 0, 0, 10, 10, 9, 0, 9);  // fully transparent
  ASSERT_TRUE(UnoptimizeAnimation(nullptr, *a));
  ExpectWholePictures(*a);
  EXPECT_EQ(At(*FrameAt(*a, 1), 3, 3), 4);
  EXPECT_EQ(At(*FrameAt(*a, 2), 3, 3), 6);
  EXPECT_EQ(At(*FrameAt(*a, 2), 0, 0), 1);
}

TEST(Unoptimize, RestoreToPreviousShowsOnlyInItsOwnPicture) {
  AnimationPtr a = MakeDocument(10, 10);
  AddSolidFrame(*a, 0, 0, 10, 10, 1);
  AddSolidFrame(*a, 4, 4, 2, 2, 5, DisposalPrevious);
  AddSolidFrame(*a, 0, 0, 1, 1, 7);
  ASSERT_TRUE(UnoptimizeAnimation(nullptr, *a));
  EXPECT_EQ(At(*FrameAt(*a, 1), 4, 4), 5);
  EXPECT_EQ(At(*FrameAt(*a, 2), 4, 4), 1);
  EXPECT_EQ(At(*FrameAt(*a, 2), 0, 0), 7);
}

TEST(Unoptimize, FramesOffTheScreenAreClipped) {
  AnimationPtr a = MakeDocument(8, 6);
  AddSolidFrame(*a, 0, 0, 8, 6, 2);
  AddSolidFrame(*a, -3, -2, 5, 4, 3);
  AddSolidFrame(*a, 6, 4, 9, 9, 4);
  ASSERT_TRUE(UnoptimizeAnimation(nullptr, *a));
  ExpectWholePictures(*a);
  const Frame& last = *FrameAt(*a, 2);
  EXPECT_EQ(At(last, 1, 1), 3);
  EXPECT_EQ(At(last, 2, 2), 2);
  EXPECT_EQ(At(last, 7, 5), 4);
}

TEST(Unoptimize, KeepsThePicturesAndUndoesInOneStep) {
  SetPref(PrefUndoLevels, 10);
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    AnimationPtr a = RandomAnimation(seed, false);
    // A first full opaque frame, so that no pixel is left to the background.
    Frame* first = NewFrame(a->screenWidth, a->screenHeight);
    first->palette = a->globalPalette.get();
    NewFrameDib(first);
    LinkFrameAt(*a, first, 0);
    ++a->frameCount;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f))
      if (f->Disposal() == DisposalBackground) SetDisposal(f, DisposalLeave);
    AnimationPtr original = DuplicateAnimation(*a, nullptr);
    auto before = Timeline(*a);
    ASSERT_TRUE(UnoptimizeAnimation(nullptr, *a));
    ExpectWholePictures(*a);
    ASSERT_TRUE(SameTimeline(before, Timeline(*a))) << "seed " << seed;
    // Optimizing the whole pictures gives the same show again.
    AnimationPtr again = DuplicateAnimation(*a, nullptr);
    OptimizeAnimation(*again, optimize::Defaults, nullptr);
    ASSERT_TRUE(SameTimeline(before, Timeline(*again))) << "seed " << seed;

    EXPECT_EQ(CanUndoKind(), undo::Unoptimize);
    Undo(*a);
    EXPECT_TRUE(SameAnimation(*a, *original)) << "seed " << seed;
  }
  ClearHistory();
}

TEST(Unoptimize, RefusesLocalPalettesAndEmptyAnimations) {
  SetPref(PrefUndoLevels, 10);
  ClearHistory();
  auto& services = DefaultHeadlessServices();
  services.Reset();
  AnimationPtr a = MakeDocument(6, 6);
  Frame* f = AddSolidFrame(*a, 1, 1, 2, 2, 3);
  SetLocalPalette(f, RampPalette(4));
  f->palette = f->localPalette.get();
  EXPECT_FALSE(UnoptimizeAnimation(nullptr, *a));
  EXPECT_EQ(f->left, 1);
  EXPECT_EQ(f->width, 2u);
  ASSERT_EQ(services.Messages().size(), 1u);
  EXPECT_EQ(services.Messages()[0].caption, "Impossible d'annuler l'optimisation");
  EXPECT_EQ(CanUndoKind(), 0u);

  AnimationPtr empty = MakeDocument(6, 6);
  EXPECT_FALSE(UnoptimizeAnimation(nullptr, *empty));
  EXPECT_EQ(CanUndoKind(), 0u);
}

TEST(ConfirmDrop24BitData, AsksOnlyWhenThereIsTrueColourAndDropsItOnContinue) {
  auto& services = DefaultHeadlessServices();
  services.Reset();
  AnimationPtr a = MakeDocument(4, 4);
  Frame* f = AddSolidFrame(*a, 0, 0, 4, 4, 2);
  EXPECT_TRUE(ConfirmDrop24BitData(nullptr, *a));
  EXPECT_TRUE(services.Messages().empty());

  SetRgbPlane(f, std::vector<uint8_t>(RgbStride(4) * 4, 9));
  services.QueueAnswer(answer::Cancel);
  EXPECT_FALSE(ConfirmDrop24BitData(nullptr, *a));
  EXPECT_FALSE(f->rgbPlane.empty());
  services.QueueAnswer(answer::Ok);
  EXPECT_TRUE(ConfirmDrop24BitData(nullptr, *a));
  EXPECT_TRUE(f->rgbPlane.empty());
  ASSERT_EQ(services.Messages().size(), 2u);
  EXPECT_EQ(services.Messages()[0].caption, "Aucune prise en charge des couleurs de 24 bits");
}

}  // namespace
}  // namespace lw
