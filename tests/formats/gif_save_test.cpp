// The GIF format's reader and save commands: the preferences they hand the codec, and the
// messages and question they show for it.
#include "formats/gif/gif_save.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/gif_source.h"
#include "core/gif_test_helpers.h"
#include "formats/gif/gif_format.h"

namespace lw::test {
namespace {

class GifSave : public GifTest {
 protected:
  std::string Path(const char* name) { return ::testing::TempDir() + "/lw-gif-save-" + name; }
  static std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static void PutFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  static AnimationPtr TwoFrames() {
    AnimationPtr a = Screen(8, 6, 4, 0);
    for (int i = 0; i < 2; ++i) {
      Frame* f = DrawnFrame(*a, 8, 6, nullptr, [i](uint32_t x, uint32_t y) { return x + y + i; });
      f->delay = 7;
      SetInterlaced(f, true);
      Append(*a, f);
    }
    return a;
  }
};

// The file holds what the codec writes with the delay unit of the preferences, and a file that
// cannot be made or written is named in a message.
TEST_F(GifSave, FilesFollowTheDelayUnitAndFailuresAreSaid) {
  AnimationPtr a = TwoFrames();
  const std::string path = Path("delay.gif");
  ASSERT_TRUE(SaveGifToFile(path, *a, nullptr));
  EXPECT_EQ(FileBytes(path), Write(*a));
  SetPref(PrefDelayUnits, 10);
  ASSERT_TRUE(SaveGifToFile(path, *a, nullptr));
  EXPECT_EQ(FileBytes(path), Write(*a, {.delayUnits = 10}));
  ASSERT_TRUE(SaveFrameAsGif(path, FirstFrame(*a)));
  const std::vector<uint8_t> still = FileBytes(path);
  ASSERT_GT(still.size(), 29u);
  EXPECT_EQ(still[6 + 7 + 12 + 4], 70) << "the still's delay in hundredths";
  std::remove(path.c_str());
  EXPECT_TRUE(Texts().empty());

  EXPECT_FALSE(SaveGifToFile("/nonexistent/dossier/x.gif", *a, nullptr));
  EXPECT_FALSE(SaveFrameAsGif("/nonexistent/dossier/y.gif", FirstFrame(*a)));
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{
                "Impossible de sauvegarder '/nonexistent/dossier/x.gif' (fichier temporaire).",
                "Impossible de sauvegarder '/nonexistent/dossier/y.gif' (fichier temporaire)."}));
  services_.Reset();
  EXPECT_FALSE(SaveGifToFile("/dev/full", *a, nullptr, "plein.gif"));
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_NE(Texts()[0].find("plein.gif"), std::string::npos) << Texts()[0];
}

// Opening a GIF: the interlace preference decides whether frames stay interlaced, and the
// reader's messages are shown in its order.
TEST_F(GifSave, OpeningFollowsTheInterlacePreferenceAndShowsTheReadersMessages) {
  AnimationPtr a = TwoFrames();
  const std::vector<uint8_t> bytes = Write(*a);
  const std::string path = Path("open.gif");
  PutFile(path, bytes);
  FormatSpec gif = GifFormat();
  for (bool allowed : {false, true}) {
    SetPrefOn(Pref::AllowInterlace, allowed);
    AnimationPtr b;
    ASSERT_EQ(gif.reader(path, nullptr, &b, nullptr), static_cast<int>(GifReadStatus::Done));
    EXPECT_EQ(FirstFrame(*b)->Interlaced(), allowed);
  }
  EXPECT_TRUE(Texts().empty());

  // The second frame too large for memory: the cause, then that part was kept.
  const uint64_t limit = GifFrameByteLimit();
  SetGifFrameByteLimit(8 * 6 + 1);
  AnimationPtr b;
  EXPECT_EQ(gif.reader(path, nullptr, &b, nullptr), static_cast<int>(GifReadStatus::Partial));
  SetGifFrameByteLimit(limit);
  EXPECT_EQ(Texts(), Ids({40182, 40184}));
  std::remove(path.c_str());
}

TEST_F(GifSave, CropQuestion) {
  auto doc = [] {
    AnimationPtr a = Screen(10, 10, 2, 1);
    Frame* f = DrawnFrame(*a, 10, 10, nullptr, [](uint32_t x, uint32_t) { return x; });
    f->left = 1;  // one column past the screen
    Append(*a, f);
    return a;
  };
  int owner = 0;
  AnimationPtr a = doc();
  services_.QueueAnswer(answer::No);
  EXPECT_FALSE(ConfirmCropToScreen(&owner, *a));
  EXPECT_EQ(FirstFrame(*a)->width, 10u);
  EXPECT_EQ(Texts(), Ids({40188}));

  services_.QueueAnswer(answer::Yes);
  EXPECT_TRUE(ConfirmCropToScreen(&owner, *a));
  EXPECT_EQ(FirstFrame(*a)->width, 9u);

  services_.Reset();
  a = doc();
  EXPECT_TRUE(ConfirmCropToScreen(nullptr, *a)) << "no window: cropped without a question";
  EXPECT_EQ(FirstFrame(*a)->width, 9u);
  a = doc();
  SetPrefOn(Pref::CropSilently, true);
  EXPECT_TRUE(ConfirmCropToScreen(&owner, *a));
  EXPECT_EQ(FirstFrame(*a)->width, 9u);
  EXPECT_TRUE(Texts().empty());
  SetPrefOn(Pref::CropSilently, false);
  EXPECT_TRUE(ConfirmCropToScreen(&owner, *a)) << "inside now: nothing asked";
  EXPECT_TRUE(Texts().empty());
}

TEST_F(GifSave, OneFrameAsAFile) {
  AnimationPtr a = Screen(30, 30, 4, 0);
  Append(*a, DrawnFrame(*a, 5, 5, nullptr, [](uint32_t x, uint32_t) { return x; }));
  Frame* f = DrawnFrame(*a, 6, 4, Ramp(16), [](uint32_t x, uint32_t y) { return x + y; });
  f->left = 3;
  Append(*a, f);
  std::string path = Path("frame.gif");
  ASSERT_TRUE(SaveFrameAsGif(path, f));
  EXPECT_EQ(f->prev, FirstFrame(*a));
  EXPECT_EQ(f->next, nullptr);
  EXPECT_EQ(a->globalPalette->Count(), 4) << "palettes untouched";
  GifSource file;
  ASSERT_TRUE(file.Open(path));
  ASSERT_TRUE(IsGifFile(file));
  AnimationPtr b;
  ASSERT_EQ(ReadGif(file, nullptr, &b), GifReadStatus::Done);
  EXPECT_EQ(b->frameCount, 1);
  EXPECT_EQ(b->globalPalette->Count(), 16);
  EXPECT_EQ(FirstFrame(*b)->left, 3);
  EXPECT_EQ(Pixels(*FirstFrame(*b)), Pixels(*f));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace lw::test
