#include <cstring>

#include "core/gif_source.h"
#include "gif_test_helpers.h"

namespace lw::test {
namespace {

class GifRoundTrip : public GifTest {};

// Everything the file keeps of a document, in block order.
void ExpectSameDocument(const Animation& a, const Animation& b) {
  EXPECT_EQ(a.frameCount, b.frameCount);
  EXPECT_EQ(a.playCount, b.playCount);
  EXPECT_EQ(a.backgroundIndex, b.backgroundIndex);
  EXPECT_EQ(a.aspectByte, b.aspectByte);
  EXPECT_EQ(Entries(a.globalPalette.get()), Entries(b.globalPalette.get()));
  const Block* x = a.blocks->next;
  const Block* y = b.blocks->next;
  int index = 0;
  for (; x && y; x = x->next, y = y->next, ++index) {
    SCOPED_TRACE(index);
    ASSERT_EQ(x->kind, y->kind);
    if (!x->IsFrame()) {
      EXPECT_EQ(static_cast<const ExtensionBlock*>(x)->data, static_cast<const ExtensionBlock*>(y)->data);
      continue;
    }
    auto& f = static_cast<const Frame&>(*x);
    auto& g = static_cast<const Frame&>(*y);
    EXPECT_EQ(f.left, g.left);
    EXPECT_EQ(f.top, g.top);
    EXPECT_EQ(f.width, g.width);
    EXPECT_EQ(f.height, g.height);
    EXPECT_EQ(f.delay, g.delay);
    EXPECT_EQ(f.controlFlags, g.controlFlags);
    EXPECT_EQ(f.transparentIndex, g.transparentIndex);
    EXPECT_EQ(f.descriptorFlags, g.descriptorFlags);
    EXPECT_EQ(Entries(f.localPalette.get()), Entries(g.localPalette.get()));
    EXPECT_EQ(Entries(f.palette), Entries(g.palette));
    EXPECT_EQ(Pixels(f), Pixels(g));
    EXPECT_EQ(f.transparencyMask.empty(), g.transparencyMask.empty());
  }
  EXPECT_FALSE(x || y) << "same number of blocks";
}

// A document with a bit of everything the format carries.
AnimationPtr Showcase(uint32_t playCount) {
  AnimationPtr a = Screen(64, 48, 8, playCount);
  a->aspectByte = 49;
  a->backgroundIndex = 3;
  Append(*a, Comment("premier"));
  Frame* f1 = DrawnFrame(*a, 64, 48, nullptr, [](uint32_t x, uint32_t y) { return x / 8 + y / 8; });
  f1->delay = 10;
  Append(*a, f1);
  Append(*a, Extension(BlockKind::Application,
                       {11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 3, 1, 2, 3, 1, 9, 0}));
  Append(*a, Comment("entre deux cadres"));
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
  Append(*a, Extension(BlockKind::PlainText, {12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 4, 't', 'e', 'x', 't', 0}));
  Frame* f4 = DrawnFrame(*a, 1, 1, nullptr, [](uint32_t, uint32_t) { return 6; });
  SetDisposal(f4, 1);
  Append(*a, f4);
  return a;
}

TEST_F(GifRoundTrip, ReadingWhatWasWrittenGivesTheSameDocumentAndBytes) {
  SetPref(PrefFlags, AllowInterlace);
  for (uint32_t playCount : {0u, 1u, 2u, 7u}) {
    SCOPED_TRACE(playCount);
    AnimationPtr a = Showcase(playCount);
    auto bytes = Write(*a);
    AnimationPtr b;
    ASSERT_EQ(Read(bytes, &b), GifReadComplete);
    ExpectSameDocument(*a, *b);
    EXPECT_EQ(b->encodedSizeCache, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(Write(*b), bytes);
  }
  EXPECT_TRUE(Texts().empty());
}

TEST_F(GifRoundTrip, InterlacedFramesAreKeptOnlyWhenAllowed) {
  AnimationPtr a = Showcase(0);
  auto bytes = Write(*a);
  AnimationPtr b;
  ASSERT_EQ(Read(bytes, &b), GifReadComplete);
  EXPECT_EQ(b->encodedSizeCache, -1) << "the file no longer tells the size";
  for (Frame *f = FirstFrame(*a), *g = FirstFrame(*b); f; f = NextFrame(f), g = NextFrame(g)) {
    EXPECT_FALSE(g->Interlaced());
    EXPECT_EQ(Pixels(*f), Pixels(*g));
  }
}

TEST_F(GifRoundTrip, EveryInterlacedHeightFillsEachRowOnce) {
  SetPref(PrefFlags, AllowInterlace);
  for (uint32_t h : {1u, 2u, 3u, 5u, 9u, 17u, 100u}) {
    for (uint32_t w : {1u, 3u, 8u}) {
      AnimationPtr a = Screen(w, h, 256, 1);
      Frame* f = DrawnFrame(*a, w, h, nullptr, [](uint32_t x, uint32_t y) { return y * 3 + x; });
      SetInterlaced(f, true);
      Append(*a, f);
      AnimationPtr b;
      ASSERT_EQ(Read(Write(*a), &b), GifReadComplete);
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
  ASSERT_EQ(Read(bytes, &b), GifReadComplete);
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
    for (int i = 0; i < frames; ++i) Append(*a, DrawnFrame(*a, 4, 4, nullptr, [](uint32_t x, uint32_t) { return x; }));
    AnimationPtr b;
    ASSERT_EQ(Read(Write(*a), &b), GifReadComplete);
    EXPECT_EQ(b->playCount, expected) << written << " over " << frames;
  }
}

TEST_F(GifRoundTrip, SavedFilesReadBack) {
  AnimationPtr a = Showcase(0);
  std::string path = ::testing::TempDir() + "/lw-gif-roundtrip.gif";
  ASSERT_TRUE(SaveGifToFile(path, *a, nullptr));
  GifSource file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_EQ(file.Size(), Write(*a).size());
  ASSERT_TRUE(IsGifFile(file));
  AnimationPtr b;
  EXPECT_EQ(ReadGif(file, nullptr, &b), GifReadComplete);
  EXPECT_EQ(b->frameCount, 4);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace lw::test
