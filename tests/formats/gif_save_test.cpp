// The GIF format's reader and save commands: the preferences they hand the codec, and the
// messages and question they show for it.
#include "formats/gif/gif_save.h"

#include <gmock/gmock.h>

#include "core/picture_budget.h"
#include "flow_fixture.h"
#include "formats/gif/gif_format.h"

namespace lw::test {
namespace {

class GifSave : public FlowTest {
 protected:
  void SetUp() override {
    FlowTest::SetUp();
    SetPref(PrefFlags, 0);
  }
  static AnimationPtr TwoFrames() {
    AnimationPtr a = MakeDocument(8, 6, RampPalette(4));
    for (int i = 0; i < 2; ++i) {
      Frame* f =
          AddDrawnFrame(*a, 0, 0, 8, 6, [i](uint32_t x, uint32_t y) { return (x + y + i) % 4; });
      f->delay = 7;
      SetInterlaced(f, true);
    }
    return a;
  }
  // The delay of the file's first graphic control block, in hundredths.
  static int FileDelay(const std::string& path) {
    const std::string bytes = Contents(path);
    const size_t at = bytes.find("\x21\xF9\x04");
    if (at == std::string::npos || at + 6 > bytes.size()) return -1;
    return static_cast<uint8_t>(bytes[at + 4]) | static_cast<uint8_t>(bytes[at + 5]) << 8;
  }
};

// Delays follow the delay unit asked for; a file that cannot be made or written is named in a
// message.
TEST_F(GifSave, FilesFollowTheDelayUnitAndFailuresAreSaid) {
  AnimationPtr a = TwoFrames();
  const std::string path = Path("delay.gif");
  ASSERT_TRUE(SaveGifToFile(path, *a, {}, nullptr));
  EXPECT_EQ(FileDelay(path), 7);
  GifWriteOptions tenths;
  tenths.units = DelayUnits::From(10);
  ASSERT_TRUE(SaveGifToFile(path, *a, tenths, nullptr));
  EXPECT_EQ(FileDelay(path), 70);
  ASSERT_TRUE(SaveFrameAsGif(path, FirstFrame(*a), tenths));
  EXPECT_EQ(FileDelay(path), 70);
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());

  EXPECT_FALSE(SaveGifToFile("/nonexistent/x.gif", *a, {}, nullptr));
  EXPECT_FALSE(SaveFrameAsGif("/nonexistent/y.gif", FirstFrame(*a), {}));
  EXPECT_FALSE(SaveGifToFile("/dev/full", *a, {}, nullptr, "plein.gif"));
  EXPECT_THAT(
      ShownTexts(),
      ::testing::ElementsAre("Impossible de sauvegarder '/nonexistent/x.gif' (fichier temporaire).",
                             "Impossible de sauvegarder '/nonexistent/y.gif' (fichier temporaire).",
                             ::testing::HasSubstr("plein.gif")));
}

// Opening a GIF: the interlace choice decides whether frames stay interlaced, and the
// reader's messages are shown in its order.
TEST_F(GifSave, OpeningFollowsTheInterlaceChoiceAndShowsTheReadersMessages) {
  AnimationPtr a = TwoFrames();
  const std::string path = Path("open.gif");
  ASSERT_TRUE(SaveGifToFile(path, *a, {}, nullptr));
  FormatSpec gif = GifFormat();
  for (bool allowed : {false, true}) {
    ReadOptions options;
    options.keepInterlace = allowed;
    AnimationPtr b;
    ASSERT_EQ(gif.reader(path, options, nullptr, &b, nullptr),
              static_cast<int>(GifReadStatus::Done));
    EXPECT_EQ(FirstFrame(*b)->Interlaced(), allowed);
  }
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
  // The second frame too large for memory: the cause, then that part was kept.
  SetPictureBudgetBytes(8 * 6 + 1);
  AnimationPtr b;
  EXPECT_EQ(gif.reader(path, {}, nullptr, &b, nullptr), static_cast<int>(GifReadStatus::Partial));
  SetPictureBudgetBytes(0);
  EXPECT_EQ(ShownTexts(), TextsOf({40182, 40184}));
}

// With a window the crop is asked for, unless the setting says to crop silently; without one it
// is done; a document inside its screen asks nothing.
TEST_F(GifSave, CropQuestion) {
  auto doc = [] {
    AnimationPtr a = MakeDocument(10, 10);
    AddDrawnFrame(*a, 1, 0, 10, 10, [](uint32_t x, uint32_t) { return x % 16; });
    return a;
  };
  int owner = 0;
  AnimationPtr a = doc();
  Headless().QueueAnswer(answer::No);
  EXPECT_FALSE(ConfirmCropToScreen(&owner, *a, false));
  EXPECT_EQ(FirstFrame(*a)->width, 10u);
  EXPECT_EQ(ShownTexts(), TextsOf({40188}));
  Headless().QueueAnswer(answer::Yes);
  EXPECT_TRUE(ConfirmCropToScreen(&owner, *a, false) && FirstFrame(*a)->width == 9u);
  Headless().Reset();
  a = doc();
  EXPECT_TRUE(ConfirmCropToScreen(nullptr, *a, false) && FirstFrame(*a)->width == 9u)
      << "no window";
  a = doc();
  EXPECT_TRUE(ConfirmCropToScreen(&owner, *a, true) && FirstFrame(*a)->width == 9u) << "silently";
  EXPECT_TRUE(ConfirmCropToScreen(&owner, *a, false)) << "inside now: nothing asked";
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
}

TEST_F(GifSave, OneFrameAsAFileKeepsItsPlaceAndPalette) {
  AnimationPtr a = MakeDocument(30, 30, RampPalette(4));
  AddSolidFrame(*a, 0, 0, 5, 5, 1);
  Frame* f = AddDrawnFrame(*a, 3, 0, 6, 4, [](uint32_t x, uint32_t y) { return x + y; });
  GiveLocalPalette(f, RampPalette(16));
  ASSERT_TRUE(SaveFrameAsGif(Path("frame.gif"), f, {}));
  EXPECT_TRUE(f->prev == FirstFrame(*a) && f->next == nullptr) << "the frame stays in place";
  EXPECT_EQ(a->globalPalette->Count(), 4) << "palettes untouched";
  AnimationPtr b = ReadBack(Path("frame.gif"));
  ASSERT_TRUE(b && b->frameCount == 1);
  EXPECT_EQ(std::make_tuple(b->globalPalette->Count(), FirstFrame(*b)->left),
            std::make_tuple(16, 3));
  EXPECT_EQ(Pixels(*FirstFrame(*b)), Pixels(*f));
}

}  // namespace
}  // namespace lw::test
