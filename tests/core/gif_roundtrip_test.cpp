#include <cstring>

#include "core/gif_source.h"
#include "gif_test_helpers.h"

namespace lw::test {
namespace {

class GifRoundTrip : public GifTest {};

// A document with a bit of everything the format carries.
AnimationPtr Showcase(uint32_t playCount) {
  AnimationPtr a = Screen(64, 48, 8, playCount);
  a->aspectByte = 49;
  a->backgroundIndex = 3;
  AddComment(*a, "premier");
  Frame* f1 = DrawnFrame(*a, 64, 48, nullptr, [](uint32_t x, uint32_t y) { return x / 8 + y / 8; });
  f1->delay = 10;
  Append(*a, f1);
  Append(*a, Extension(BlockKind::Application, {11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X',
                                                'M', 'P', 3, 1, 2, 3, 1, 9, 0}));
  AddComment(*a, "entre deux cadres");
  uint32_t seed = 1;
  Frame* f2 = DrawnFrame(*a, 37, 29, Ramp(256, 5), [&](uint32_t, uint32_t) {
    seed = seed * 1103515245 + 12345;
    return seed >> 16;
  });
  f2->left = 5;
  f2->top = 7;
  f2->delay = 65535;
  SetInterlaced(f2, true);
  SetTransparentIndex(f2, 200);
  SetTransparency(f2, true);
  SetDisposal(f2, 2);
  f2->controlFlags |= 0x02;
  Append(*a, f2);
  Frame* f3 = DrawnFrame(*a, 13, 9, Ramp(4, 9), [](uint32_t x, uint32_t y) { return x * y; });
  f3->left = 50;
  f3->top = 39;
  f3->delay = 0;
  SetDisposal(f3, 3);
  SetInterlaced(f3, true);
  Append(*a, f3);
  Append(*a, Extension(BlockKind::PlainText,
                       {12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 4, 't', 'e', 'x', 't', 0}));
  Frame* f4 = DrawnFrame(*a, 1, 1, nullptr, [](uint32_t, uint32_t) { return 6; });
  SetDisposal(f4, 1);
  Append(*a, f4);
  return a;
}

TEST_F(GifRoundTrip, ReadingWhatWasWrittenGivesTheSameDocumentAndBytes) {
  for (uint32_t playCount : {0u, 1u, 2u, 7u}) {
    SCOPED_TRACE(playCount);
    AnimationPtr a = Showcase(playCount);
    auto bytes = Write(*a);
    AnimationPtr b;
    ASSERT_EQ(Read(bytes, &b, nullptr, {.keepInterlace = true}), GifReadStatus::Done);
    EXPECT_TRUE(SameAnimation(*a, *b));
    EXPECT_EQ(b->encodedSizeCache, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(Write(*b), bytes);
  }
  EXPECT_TRUE(Texts().empty());
}

TEST_F(GifRoundTrip, InterlacedFramesAreKeptOnlyWhenAllowed) {
  AnimationPtr a = Showcase(0);
  auto bytes = Write(*a);
  AnimationPtr b;
  ASSERT_EQ(Read(bytes, &b), GifReadStatus::Done);
  EXPECT_EQ(b->encodedSizeCache, -1) << "the file no longer tells the size";
  for (Frame *f = FirstFrame(*a), *g = FirstFrame(*b); f; f = NextFrame(f), g = NextFrame(g)) {
    EXPECT_FALSE(g->Interlaced());
    EXPECT_EQ(Pixels(*f), Pixels(*g));
  }
}

TEST_F(GifRoundTrip, EveryInterlacedHeightFillsEachRowOnce) {
  for (uint32_t h : {1u, 2u, 3u, 5u, 9u, 17u, 100u}) {
    for (uint32_t w : {1u, 3u, 8u}) {
      AnimationPtr a = Screen(w, h, 256, 1);
      Frame* f = DrawnFrame(*a, w, h, nullptr, [](uint32_t x, uint32_t y) { return y * 3 + x; });
      SetInterlaced(f, true);
      Append(*a, f);
      AnimationPtr b;
      ASSERT_EQ(Read(Write(*a), &b, nullptr, {.keepInterlace = true}), GifReadStatus::Done);
      EXPECT_EQ(Pixels(*FirstFrame(*b)), Pixels(*f)) << w << "x" << h;
    }
  }
}

TEST_F(GifRoundTrip, FramesOffTheScreenGrowItOnReading) {
  AnimationPtr a = Screen(320, 200, 4, 0);
  Frame* f = DrawnFrame(*a, 100, 10, nullptr, [](uint32_t x, uint32_t) { return x; });
  f->left = 300;
  Append(*a, f);
  Append(*a, DrawnFrame(*a, 2, 2, nullptr, [](uint32_t, uint32_t) { return 1; }));
  auto bytes = Write(*a);
  AnimationPtr b;
  ASSERT_EQ(Read(bytes, &b), GifReadStatus::Done);
  EXPECT_EQ(b->screenWidth, 400u);
  EXPECT_EQ(b->screenHeight, 200u);
  auto again = Write(*b);
  bytes[6] = 400 & 0xFF;
  bytes[7] = 400 >> 8;
  EXPECT_EQ(again, bytes);
}

TEST_F(GifRoundTrip, LoopCountsAsTheyReadBack) {
  for (auto [written, frames, expected] : std::vector<std::tuple<uint32_t, int, uint32_t>>{
           {0, 2, 0}, {1, 2, 1}, {3, 2, 3}, {65536, 2, 65536}, {0, 1, 1}}) {
    AnimationPtr a = Screen(4, 4, 2, written);
    for (int i = 0; i < frames; ++i)
      Append(*a, DrawnFrame(*a, 4, 4, nullptr, [](uint32_t x, uint32_t) { return x; }));
    AnimationPtr b;
    ASSERT_EQ(Read(Write(*a), &b), GifReadStatus::Done);
    EXPECT_EQ(b->playCount, expected) << written << " over " << frames;
  }
}

}  // namespace
}  // namespace lw::test
