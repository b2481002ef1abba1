// What the reader keeps of a file, so that writing it back gives the same bytes: every block,
// the screen's fields, and interlacing when asked.
#include "core_fixture.h"
#include "gif_pictures.h"

namespace lw::test {
namespace {

class GifRoundTrip : public CoreTest {};

// A document with a bit of everything the format carries.
AnimationPtr Showcase(uint32_t playCount) {
  AnimationPtr a = MakeDocument(64, 48, RampPalette(8), playCount);
  a->aspectByte = 49;
  a->backgroundIndex = 3;
  AddComment(*a, "premier");
  AddDrawnFrame(*a, 0, 0, 64, 48, [](uint32_t x, uint32_t y) { return (x / 8 + y / 8) % 8; });
  AddExtension(*a, BlockKind::Application,
               {11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 3, 1, 2, 3, 1, 9, 0});
  AddComment(*a, "entre deux cadres");
  uint32_t seed = 1;
  Frame* f2 = AddDrawnFrame(
      *a, 5, 7, 37, 29,
      [&](uint32_t, uint32_t) { return (seed = seed * 1103515245 + 12345) >> 16; }, 2, 200, 65535);
  GiveLocalPalette(f2, GreyPalette(256));
  SetInterlaced(f2, true);
  f2->controlFlags |= 0x02;  // the user-input bit
  Frame* f3 = AddDrawnFrame(
      *a, 50, 39, 13, 9, [](uint32_t x, uint32_t y) { return x * y % 4; }, 3, -1, 0);
  GiveLocalPalette(f3, RampPalette(4));
  SetInterlaced(f3, true);
  AddExtension(*a, BlockKind::PlainText,
               {12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 4, 't', 'e', 'x', 't', 0});
  AddSolidFrame(*a, 0, 0, 1, 1, 6, 1);
  return a;
}

TEST_F(GifRoundTrip, ReadingWhatWasWrittenGivesTheSameDocumentAndBytes) {
  for (uint32_t playCount : {0u, 1u, 7u}) {
    SCOPED_TRACE(playCount);
    AnimationPtr a = Showcase(playCount);
    auto bytes = GifBytes(*a);
    AnimationPtr b;
    ASSERT_EQ(ReadBytes(bytes, &b, nullptr, {.keepInterlace = true}), GifReadStatus::Done);
    EXPECT_TRUE(SameAnimation(*a, *b));
    EXPECT_EQ(b->encodedSizeCache, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(GifBytes(*b), bytes);
  }
  EXPECT_TRUE(Texts().empty());
}

TEST_F(GifRoundTrip, InterlacedFramesAreKeptOnlyWhenAllowed) {
  AnimationPtr a = Showcase(0);
  AnimationPtr b;
  ASSERT_EQ(ReadBytes(GifBytes(*a), &b), GifReadStatus::Done);
  EXPECT_EQ(b->encodedSizeCache, -1) << "the file no longer tells the size";
  for (Frame *f = FirstFrame(*a), *g = FirstFrame(*b); f; f = NextFrame(f), g = NextFrame(g)) {
    EXPECT_FALSE(g->Interlaced());
    EXPECT_EQ(Pixels(*f), Pixels(*g));
  }
}

}  // namespace
}  // namespace lw::test
