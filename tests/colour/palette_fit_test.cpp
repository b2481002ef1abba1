#include "colour/palette_fit.h"

#include <gtest/gtest.h>

#include <set>

#include "base/preferences.h"
#include "base/settings.h"
#include "platform/settings_store.h"
#include "support/document.h"
#include "support/services.h"

namespace lw {
namespace {

using namespace test;

AnimationPtr AnimationWith(PalettePtr global) { return MakeDocument(16, 16, std::move(global)); }

constexpr uint32_t Colours256 = 0x00880000;

// A target with one frame on a grey palette of `entries`, its pixels using every index.
AnimationPtr GreyTarget(int entries) {
  AnimationPtr t = AnimationWith(GreyPalette(entries));
  std::vector<uint8_t> pixels;
  for (int i = 0; i < entries; ++i) pixels.push_back(static_cast<uint8_t>(i));
  Append(*t, IndexedFrame(entries, 1, t->globalPalette.get(), pixels));
  return t;
}

// A source with one 2 x 2 frame in colours red, green, blue and a transparent pixel.
AnimationPtr ColourSource(bool transparent) {
  AnimationPtr s =
      AnimationWith(MakePalette({{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {1, 2, 3, 0}}));
  Frame* f = IndexedFrame(2, 2, s->globalPalette.get(), {0, 1, 2, 3});
  if (transparent) {
    SetTransparentIndex(f, 3);
    SetTransparency(f, true);
  }
  Append(*s, f);
  return s;
}

TEST(FitPalettesTest, EqualPalettesOnlyRepointFrames) {
  AnimationPtr t = GreyTarget(4);
  AnimationPtr s = AnimationWith(GreyPalette(4));
  Frame* f = IndexedFrame(2, 1, s->globalPalette.get(), {3, 1});
  Append(*s, f);
  AnimationPtr second = AnimationWith(GreyPalette(4));
  Append(*second, IndexedFrame(1, 1, second->globalPalette.get(), {2}));
  s->nextInChain = std::move(second);
  PalettePtr before = CopyPalette(t->globalPalette.get());
  EXPECT_EQ(FitPalettes(t.get(), s.get(), Colours256 | merge::Adaptive, nullptr, nullptr), 1);
  EXPECT_EQ(t->globalPalette->entries, before->entries);
  EXPECT_EQ(f->palette, t->globalPalette.get());
  EXPECT_EQ(Pixel(f, 0, 0), 3);
  EXPECT_EQ(Pixel(f, 1, 0), 1);
  EXPECT_FALSE(s->nextInChain) << "chain joined";
  EXPECT_EQ(s->frameCount, 2);
  EXPECT_EQ(NextFrame(f)->palette, t->globalPalette.get());
}

TEST(FitPalettesTest, MapMethodLeavesTheTargetPaletteUnchanged) {
  for (bool dither : {false, true}) {
    AnimationPtr t = GreyTarget(16);
    AnimationPtr s = ColourSource(true);
    Frame* f = FirstFrame(*s);
    PalettePtr before = CopyPalette(t->globalPalette.get());
    uint32_t word = Colours256 | merge::MapGlobal | (dither ? merge::Dither : 0);
    ASSERT_EQ(FitPalettes(t.get(), s.get(), word, nullptr, nullptr), 1);
    EXPECT_EQ(t->globalPalette->entries, before->entries) << dither;
    EXPECT_EQ(f->palette, t->globalPalette.get());
    EXPECT_FALSE(s->globalPalette);
    ASSERT_TRUE(f->Transparent());
    EXPECT_EQ(Pixel(f, 1, 1), f->transparentIndex);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NE(Pixel(f, i % 2, i / 2), f->transparentIndex) << "opaque pixels stay opaque";
    }
  }
}

TEST(FitPalettesTest, MergeMethodAddsColoursWhereThereIsRoom) {
  AnimationPtr t = GreyTarget(4);
  Frame* targetFrame = FirstFrame(*t);
  AnimationPtr s = ColourSource(false);
  Frame* f = FirstFrame(*s);
  ASSERT_EQ(FitPalettes(t.get(), s.get(), Colours256 | merge::MergeGlobal, nullptr, nullptr), 1);
  ASSERT_EQ(t->globalPalette->Count(), 8);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(targetFrame, x, 0), x);
  EXPECT_EQ(targetFrame->palette, t->globalPalette.get());
  EXPECT_TRUE(SameRgb(PixelColour(f, 0, 0), {255, 0, 0, 0}));
  EXPECT_TRUE(SameRgb(PixelColour(f, 1, 1), {1, 2, 3, 0}));
}

TEST(FitPalettesTest, MergeIntoAFullPaletteApproximatesAndDithers) {
  AnimationPtr t = GreyTarget(256);
  AnimationPtr s = AnimationWith(MakePalette({{200, 30, 30, 0}, {10, 200, 10, 0}}));
  std::vector<uint8_t> pixels(64);
  for (int i = 0; i < 64; ++i) pixels[i] = i % 2;
  Frame* f = IndexedFrame(8, 8, s->globalPalette.get(), pixels);
  Append(*s, f);
  PalettePtr before = CopyPalette(t->globalPalette.get());
  ASSERT_EQ(FitPalettes(t.get(), s.get(), Colours256 | merge::MergeGlobal | merge::Dither, nullptr,
                        nullptr),
            1);
  EXPECT_EQ(t->globalPalette->entries, before->entries) << "no room: every entry is used";
  std::set<int> used;
  for (int i = 0; i < 64; ++i) used.insert(Pixel(f, i % 8, i / 8));
  EXPECT_GT(used.size(), 2u) << "dithered, not one grey per colour";
}

TEST(MergeIntoPaletteTest, ExactFreeAppendedAndApproximatedPlaces) {
  PalettePtr target = MakePalette({{0, 0, 0, 0}, {50, 50, 50, 0}, {90, 90, 90, 0}});
  uint32_t targetUsage[256] = {4, 0, 2};
  PalettePtr source = MakePalette({{90, 90, 90, 0}, {7, 7, 7, 0}, {8, 8, 8, 0}, {9, 9, 9, 0}});
  uint32_t sourceUsage[256] = {1, 1, 0, 5};
  PaletteMerge m;
  ASSERT_TRUE(MergeIntoPalette(*target, targetUsage, *source, sourceUsage, &m));
  EXPECT_EQ(m.mapping[0], 2) << "exact";
  EXPECT_EQ(m.mapping[1], 1) << "the unused entry is taken";
  EXPECT_EQ(m.mapping[2], NoIndex) << "unused source colour";
  EXPECT_EQ(m.mapping[3], 3) << "appended";
  EXPECT_EQ(m.entries.size(), 4u);
  EXPECT_EQ(m.usage[2], 3u);
  EXPECT_TRUE(m.exact);
  EXPECT_TRUE(m.changed);

  PalettePtr full = GreyPalette(256);
  uint32_t allUsed[256];
  std::fill(std::begin(allUsed), std::end(allUsed), 1);
  PalettePtr odd = MakePalette({{255, 0, 0, 0}});
  uint32_t one[256] = {1};
  ASSERT_TRUE(MergeIntoPalette(*full, allUsed, *odd, one, &m));
  EXPECT_FALSE(m.exact);
  EXPECT_FALSE(m.changed);
  EXPECT_EQ(m.mapping[0], full->NearestIndex(255, 0, 0));
}

TEST(FitPalettesTest, LocalMethodGivesEveryNewFrameItsOwnPalette) {
  SetPrefOn(Pref::KeepTrueColor, false);
  AnimationPtr t = GreyTarget(4);
  AnimationPtr s = ColourSource(false);
  Frame* indexed = FirstFrame(*s);
  Frame* rgb = TrueColourFrame(2, 1, {0x102030, 0xFFFFFF}, {255, 0});
  Append(*s, rgb);
  ASSERT_EQ(FitPalettes(t.get(), s.get(), merge::LocalEach | 0x00330000, nullptr, nullptr), 1);
  EXPECT_FALSE(s->globalPalette);
  ASSERT_TRUE(indexed->localPalette);
  EXPECT_EQ(indexed->localPalette->Count(), 4);
  EXPECT_EQ(indexed->palette, indexed->localPalette.get());
  ASSERT_TRUE(rgb->localPalette);
  EXPECT_LE(rgb->localPalette->Count(), 8);
  EXPECT_TRUE(rgb->Transparent());
  EXPECT_EQ(rgb->transparentIndex, rgb->localPalette->Count() - 1);
  EXPECT_EQ(Pixel(rgb, 1, 0), rgb->transparentIndex);
  EXPECT_TRUE(SameRgb(PixelColour(rgb, 0, 0), {0x10, 0x20, 0x30, 0}));
  EXPECT_TRUE(rgb->rgbPlane.empty());
}

TEST(FitPalettesTest, AdaptiveMethodReservesTheLastEntryForTransparency) {
  for (bool dither : {false, true}) {
    AnimationPtr t = GreyTarget(64);
    AnimationPtr s = ColourSource(true);
    Frame* f = FirstFrame(*s);
    Frame* targetFrame = FirstFrame(*t);
    uint32_t word = merge::Adaptive | 0x00840000 | (dither ? merge::Dither : 0);  // 16 colours
    ASSERT_EQ(FitPalettes(t.get(), s.get(), word, nullptr, nullptr), 1);
    const Palette& p = *t->globalPalette;
    ASSERT_LE(p.Count(), 16);
    int last = p.Count() - 1;
    EXPECT_EQ(p.entries[last], PaletteEntry{});
    EXPECT_EQ(f->palette, &p);
    EXPECT_EQ(f->transparentIndex, last);
    EXPECT_EQ(Pixel(f, 1, 1), last);
    for (int i = 0; i < 3; ++i) EXPECT_NE(Pixel(f, i % 2, i / 2), last) << dither;
    for (int x = 0; x < 64; ++x) ASSERT_NE(Pixel(targetFrame, x, 0), last) << "black stays opaque";
    EXPECT_TRUE(SameRgb(PixelColour(f, 0, 0), {255, 0, 0, 0}));
  }
}

TEST(FitPalettesTest, SingleSourceWithoutTargetIsLeftAloneUnlessItHasTrueColour) {
  AnimationPtr s = ColourSource(false);
  PalettePtr before = CopyPalette(s->globalPalette.get());
  EXPECT_EQ(FitPalettes(nullptr, s.get(), merge::Web, nullptr, nullptr), 1);
  EXPECT_EQ(s->globalPalette->entries, before->entries);

  AnimationPtr rgb = NewAnimation();
  Frame* f = TrueColourFrame(2, 1, {0xFF0000, 0x0000FF});
  Append(*rgb, f);
  ASSERT_EQ(FitPalettes(nullptr, rgb.get(), merge::Adaptive | Colours256, nullptr, nullptr), 1);
  ASSERT_TRUE(rgb->globalPalette);
  EXPECT_EQ(f->palette, rgb->globalPalette.get());
  EXPECT_TRUE(SameRgb(PixelColour(f, 1, 0), {0, 0, 255, 0}));
  EXPECT_EQ(rgb->colourUsage[Pixel(f, 0, 0)], 1u);
}

TEST(FitPalettesTest, WebAndFixedPalettesReplaceEveryPalette) {
  AnimationPtr t = GreyTarget(4);
  AnimationPtr s = ColourSource(false);
  Frame* f = FirstFrame(*s);
  ASSERT_EQ(FitPalettes(t.get(), s.get(), merge::Web, nullptr, nullptr), 1);
  EXPECT_EQ(t->globalPalette->entries, WebPalette()->entries);
  EXPECT_EQ(f->palette, t->globalPalette.get());
  EXPECT_TRUE(SameRgb(PixelColour(f, 0, 1), {0, 0, 255, 0}));

  FixedPalette stored;
  stored.count = 2;
  stored.entries[1] = {255, 0, 0, 0};
  ASSERT_TRUE(SaveFixedPalette(stored));
  AnimationPtr t2 = GreyTarget(4);
  AnimationPtr s2 = ColourSource(false);
  ASSERT_EQ(FitPalettes(t2.get(), s2.get(), merge::Fixed, nullptr, nullptr), 1);
  EXPECT_EQ(t2->globalPalette->Count(), 2);
  EXPECT_EQ(Pixel(FirstFrame(*s2), 0, 0), 1);

  SettingsKey key;  // none stored: the optimal palette serves
  ASSERT_EQ(OpenSettingsKey(ProgramKeyPath, &key), SettingsStatus::Ok);
  DeleteSettingsValue(key, "FixedPal");
  AnimationPtr t3 = GreyTarget(4);
  AnimationPtr s3 = ColourSource(false);
  ASSERT_EQ(FitPalettes(t3.get(), s3.get(), merge::Fixed | Colours256, nullptr, nullptr), 1);
  EXPECT_TRUE(SameRgb(PixelColour(FirstFrame(*s3), 1, 0), {0, 255, 0, 0}));
}

TEST(FitPalettesTest, StoredWordIsAskedAboutWhenItsAskBitIsSet) {
  ServicesScope scope;
  SetPref(PrefPaletteMerge, merge::MapGlobal | merge::Ask | Colours256);
  AnimationPtr t = GreyTarget(4);
  AnimationPtr s = ColourSource(false);
  PalettePtr before = CopyPalette(s->globalPalette.get());
  scope.services.QueuePaletteMergeAnswer(0);
  EXPECT_EQ(FitPalettes(t.get(), s.get(), 0, nullptr, nullptr), 2);
  EXPECT_EQ(s->globalPalette->entries, before->entries) << "cancel changes nothing";
  scope.services.QueuePaletteMergeAnswer(merge::MergeGlobal | Colours256);
  EXPECT_EQ(FitPalettes(t.get(), s.get(), 0, nullptr, nullptr), 1);
  EXPECT_EQ(t->globalPalette->Count(), 8) << "the answered method ran";
  SetPref(PrefPaletteMerge, 0x00880001);
}

TEST(RemoveLocalPaletteTest, WithoutGlobalPaletteTheLocalOneBecomesGlobal) {
  AnimationPtr a = NewAnimation();
  Frame* f = IndexedFrame(2, 1, nullptr, {1, 1});
  SetLocalPalette(f, GreyPalette(4));
  Append(*a, f);
  ASSERT_TRUE(RemoveLocalPalette(nullptr, *a, f));
  ASSERT_TRUE(a->globalPalette);
  EXPECT_FALSE(f->localPalette);
  EXPECT_EQ(f->palette, a->globalPalette.get());
  EXPECT_EQ(f->descriptorFlags & 0x80, 0);
  EXPECT_EQ(a->colourUsage[1], 2u);
}

TEST(RemoveLocalPaletteTest, FrameJoinsTheGlobalPaletteInPlace) {
  AnimationPtr a = GreyTarget(4);
  Frame* f = IndexedFrame(2, 1, nullptr, {0, 1});
  SetLocalPalette(f, MakePalette({{255, 0, 0, 0}, {0, 0, 255, 0}}));
  Append(*a, f);
  Append(*a, IndexedFrame(1, 1, a->globalPalette.get(), {2}));
  ASSERT_TRUE(RemoveLocalPalette(nullptr, *a, f, merge::MergeGlobal | Colours256));
  EXPECT_EQ(a->frameCount, 3);
  EXPECT_EQ(FrameAt(*a, 1), f);
  EXPECT_FALSE(f->localPalette);
  EXPECT_EQ(f->palette, a->globalPalette.get());
  EXPECT_TRUE(SameRgb(PixelColour(f, 0, 0), {255, 0, 0, 0}));
  EXPECT_TRUE(SameRgb(PixelColour(f, 1, 0), {0, 0, 255, 0}));
}

// Partial alpha becomes the one transparent index under half opacity, by every method that makes
// an 8-bit image from 24-bit data (a shared palette, a local palette, a fixed one), dithered or
// not: a soft black shadow (alpha 3 to 65) must not become a solid blot, an edge at 128 or more
// stays.
TEST(FitPalettesTest, PixelsUnderHalfOpacityBecomeTransparent) {
  const std::vector<uint8_t> alphas = {0, 3, 65, 127, 128, 200, 255, 255};
  for (uint32_t method : {merge::Adaptive, merge::LocalEach, merge::Web}) {
    for (bool dither : {false, true}) {
      SCOPED_TRACE(testing::Message() << "method " << method << (dither ? " dithered" : ""));
      AnimationPtr a = NewAnimation();
      Frame* f = TrueColourFrame(
          8, 1, {0x000000, 0x000000, 0x000000, 0x000000, 0xFF0000, 0xFF0000, 0x0000FF, 0x00FF00},
          alphas);
      Append(*a, f);
      uint32_t word = method | Colours256 | 0x00800000 | (dither ? merge::Dither : 0);
      ASSERT_EQ(FitPalettes(nullptr, a.get(), word, nullptr, nullptr), 1);
      ASSERT_TRUE(f->Transparent());
      for (uint32_t x = 0; x < 8; ++x) {
        EXPECT_EQ(Pixel(f, x, 0) == f->transparentIndex, alphas[x] < 128) << "pixel " << x;
      }
    }
  }
}

}  // namespace
}  // namespace lw
