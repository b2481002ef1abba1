// The full-screen compositor against pictures worked out by hand for each disposal and
// transparency case.
#include <gtest/gtest.h>

#include "core/compose.h"
#include "core/frame_player.h"
#include "core_fixture.h"

namespace lw::test {
namespace {

using P = std::vector<uint8_t>;

// Every picture of the document, in order.
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

TEST(FramePlayer, RestoreToBackgroundFillsWithTheNextFramesTransparentIndex) {
  AnimationPtr doc = MakeDocument(4, 1);
  doc->backgroundIndex = 9;
  AddFrame(*doc, 0, 0, 4, 1, {1, 1, 1, 1}, DisposalBackground);
  AddFrame(*doc, 0, 0, 2, 1, {5, 2}, DisposalBackground, 5);
  AddFrame(*doc, 3, 0, 1, 1, {3}, DisposalNone);
  // The transparent frame's area shows through as transparent; before an opaque frame the
  // background index is used.
  EXPECT_EQ(Play(*doc), (std::vector<P>{{1, 1, 1, 1}, {5, 2, 5, 5}, {9, 9, 5, 3}}));

  FramePlayerPtr player = NewFramePlayer(*doc);
  FirstPicture(player.get());
  Frame* second = NextPicture(player.get());
  EXPECT_TRUE(second->Transparent());
  EXPECT_EQ(second->transparentIndex, 5);
  EXPECT_FALSE(second->transparencyMask.empty());
  Frame* third = NextPicture(player.get());
  EXPECT_FALSE(third->Transparent());
  EXPECT_TRUE(third->transparencyMask.empty());
  EXPECT_EQ(player->index, 2);
}

TEST(FramePlayer, RestoreToPreviousKeepsThePictureBeforeTheFrame) {
  // On the first frame: back to the cleared screen before frame 2.
  AnimationPtr first = MakeDocument(3, 1);
  first->backgroundIndex = 9;
  AddSolidFrame(*first, 0, 0, 3, 1, 1, DisposalPrevious);
  AddSolidFrame(*first, 1, 0, 1, 1, 2);
  EXPECT_EQ(Play(*first), (std::vector<P>{{1, 1, 1}, {9, 2, 9}}));

  // In the middle, after a frame left in place; twice in a row.
  AnimationPtr middle = MakeDocument(3, 1);
  AddSolidFrame(*middle, 0, 0, 3, 1, 1, DisposalLeave);
  AddSolidFrame(*middle, 0, 0, 1, 1, 2, DisposalPrevious);
  AddSolidFrame(*middle, 1, 0, 1, 1, 4, DisposalPrevious);
  AddSolidFrame(*middle, 2, 0, 1, 1, 3, DisposalNone);
  EXPECT_EQ(Play(*middle), (std::vector<P>{{1, 1, 1}, {2, 1, 1}, {1, 4, 1}, {1, 1, 3}}));

  // A transparent first frame clears the screen to its own transparent index.
  AnimationPtr clear = MakeDocument(2, 1);
  clear->backgroundIndex = 9;
  AddFrame(*clear, 0, 0, 1, 1, {6}, DisposalPrevious, 7);
  AddFrame(*clear, 1, 0, 1, 1, {8}, DisposalNone);
  EXPECT_EQ(Play(*clear), (std::vector<P>{{6, 7}, {7, 8}}));
}

TEST(FramePlayer, FramesPartlyOffTheScreen) {
  AnimationPtr doc = MakeDocument(3, 2);
  doc->backgroundIndex = 9;
  AddFrame(*doc, -1, -1, 3, 2, {1, 2, 3, 4, 5, 6}, DisposalBackground);
  AddFrame(*doc, 2, 1, 3, 3, std::vector<uint8_t>(9, 7), DisposalBackground);
  AddFrame(*doc, 5, 5, 2, 2, {8, 8, 8, 8}, DisposalNone);  // wholly off: changes nothing
  EXPECT_EQ(Play(*doc),
            (std::vector<P>{{5, 6, 9, 9, 9, 9}, {9, 9, 9, 9, 9, 7}, {9, 9, 9, 9, 9, 9}}));
}

TEST(FramePlayer, TheCanvasTakesTheFramesColoursAndTiming) {
  AnimationPtr doc = MakeDocument(2, 1);
  Frame* f = AddSolidFrame(*doc, 0, 0, 2, 1, 1);
  f->delay = 33;
  Frame* local = AddSolidFrame(*doc, 0, 0, 1, 1, 2, DisposalPrevious);
  SetLocalPalette(local, RampPalette(4));
  local->palette->entries[2] = {50, 60, 70, 0};
  UpdateDibColourTable(local);

  FramePlayerPtr player = NewFramePlayer(*doc);
  Frame* canvas = FirstPicture(player.get());
  ASSERT_TRUE(canvas);
  EXPECT_EQ(canvas->delay, 33u);
  EXPECT_EQ(canvas->palette, doc->globalPalette.get());
  canvas = NextPicture(player.get());
  ASSERT_TRUE(canvas);
  EXPECT_EQ(canvas->palette, local->palette);
  EXPECT_EQ(canvas->Disposal(), DisposalPrevious);
  RgbQuad quad;
  GetDibColours(canvas->dib, 2, 1, &quad);
  EXPECT_EQ(quad, (RgbQuad{70, 60, 50, 0}));
  EXPECT_EQ(NextPicture(player.get()), nullptr);
  EXPECT_EQ(NextPicture(player.get()), nullptr);

  // Restarting gives the first picture again; an empty document gives none.
  ASSERT_TRUE(FirstPicture(player.get()));
  EXPECT_EQ(Pixels(*player->canvas), (P{1, 1}));
  AnimationPtr empty = MakeDocument(2, 2);
  FramePlayerPtr none = NewFramePlayer(*empty);
  EXPECT_EQ(FirstPicture(none.get()), nullptr);
  EXPECT_FALSE(none->failed);
}

}  // namespace
}  // namespace lw::test
