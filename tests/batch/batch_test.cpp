// The batch mode end to end: the real executable run on GIF files written here, its outputs read
// back.
#include "base/string_ids.h"
#include "base/strings.h"
#include "batch/batch_fixture.h"
#include "formats/avi/avi_format.h"
#include "formats/flow_text.h"
#include "formats/jpeg/jpeg_format.h"
#include "formats/png/png_format.h"
#include "formats/psd/psd_format.h"
#include "formats/swf_walker.h"

namespace lw {
namespace {

using namespace lw::testing_support;
using test::BatchTest;
using test::RunResult;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

TEST_F(BatchTest, PatternReadsMatchesInNameOrderAndWritesOneAnimation) {
  Gif("in/c.gif", 3);
  Gif("in/A.gif", 1);
  Gif("in/b.GIF", 2);
  Put(Path("in/notes.txt"), "not an image");
  RunResult r = Run({"-i", Path("in/*.gif"), "-o", Path("all.gif")});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_THAT(r.errors, IsEmpty());
  EXPECT_THAT(FirstPixels(Path("all.gif")), ElementsAre(1, 2, 3));
  AnimationPtr all = ReadBack(Path("all.gif"));
  EXPECT_EQ(all->playCount, GetPref(PrefDefaultLoopCount));
}

TEST_F(BatchTest, PatternStopsAtTheFirstFileThatCannotBeRead) {
  Gif("in/a1.gif", 1);
  Gif("in/a2.gif", 2);
  Put(Path("in/a3.gif"), "GIF89a but nothing after");
  Gif("in/a4.gif", 4);
  // Relative to the folder the program runs in, with ? matching one character.
  RunResult r = Run({"-i", "in/a?.gif", "-o", "out.gif"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(FirstPixels(Path("out.gif")), ElementsAre(1, 2));
}

// A damaged file gives the frames before the damage, with one message, and the exit code says
// the output is not the whole input; the files after it in the pattern are not read.
TEST_F(BatchTest, ADamagedInputGivesTheFramesItHolds) {
  AnimationPtr a = MakeDocument(8, 8);
  for (uint8_t i = 1; i <= 3; ++i) AddSolidFrame(*a, 0, 0, 8, 8, i);
  std::string bytes = Contents(Save("whole.gif", *a));
  Gif("in/a2.gif", 4);
  Put(Path("in/a1.gif"), bytes.substr(0, bytes.size() - 6));  // inside the third frame
  RunResult r = Run({"-i", "in/a*.gif", "-o", "out.gif"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(FirstPixels(Path("out.gif")), ElementsAre(1, 2));
  const std::string partial = ResText(str::PartialRead);
  ASSERT_THAT(r.errors, HasSubstr(partial));
  EXPECT_EQ(r.errors.find(partial), r.errors.rfind(partial)) << r.errors;
  EXPECT_THAT(r.errors, Not(HasSubstr(ResText(str::GifDamaged))));
}

// Every extension of a type the program writes gives that type; a movie name gets nothing.
TEST_F(BatchTest, OutputsTakeTheTypeTheirExtensionNames) {
  std::string in = Gif("in.gif", 1);
  RunResult r = Run({"-i", in, "-o", "a.jpeg", "-o", "b.JPE", "-o", "c.dib"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(Contents(Path("a.jpeg")).substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(Contents(Path("b.JPE")).substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(Contents(Path("c.dib")).substr(0, 2), "BM");
  r = Run({"-i", in, "-o", "clip.mp4"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr(FormatResText(str::CannotSaveExtension, "mp4")));
  EXPECT_FALSE(std::filesystem::exists(Path("clip.mp4")));
}

TEST_F(BatchTest, ListFilesWithEitherLineBreakGiveTheSameAnimation) {
  std::string a = Gif("a.gif", 1), b = Gif("b.gif", 2);
  Put(Path("lf.txt"), a + "\n" + b + "\n");
  Put(Path("crlf.txt"), b + "\r\n" + a);
  EXPECT_EQ(Run({"-l", Path("lf.txt"), "-o", Path("lf.gif")}).exitCode, 0);
  EXPECT_EQ(Run({"-L", Path("crlf.txt"), "-O", Path("crlf.gif")}).exitCode, 0);
  EXPECT_THAT(FirstPixels(Path("lf.gif")), ElementsAre(1, 2));
  EXPECT_THAT(FirstPixels(Path("crlf.gif")), ElementsAre(2, 1));

  // A blank line is an empty name: its read fails and ends the list.
  Put(Path("blank.txt"), a + "\n\n" + b + "\n");
  RunResult r = Run({"-l", Path("blank.txt"), "-o", Path("blank.gif")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(FirstPixels(Path("blank.gif")), ElementsAre(1));
}

TEST_F(BatchTest, InputsAddUpAndEveryOutputTakesTheDocumentAsItIsThen) {
  // Two frames that differ in one pixel: optimizing leaves the second as that pixel alone.
  AnimationPtr a = MakeDocument(8, 8);
  AddSolidFrame(*a, 0, 0, 8, 8, 1);
  std::vector<uint8_t> pixels(64, 1);
  pixels[3 * 8 + 3] = 2;
  AddFrame(*a, 0, 0, 8, 8, pixels);
  std::string in = Save("two.gif", *a);
  std::string more = Gif("more.gif", 5, 12, 10);  // larger: the screen grows

  RunResult r = Run({"-I", in, "-o", Path("plain.gif"), "-i", more, "-o", Path("three.gif"), "-Z",
                     "-o", Path("optimized.gif")});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr plain = ReadBack(Path("plain.gif"));
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->frameCount, 2);
  EXPECT_EQ(FrameAt(*plain, 1)->width, 8u);
  AnimationPtr three = ReadBack(Path("three.gif"));
  ASSERT_TRUE(three);
  EXPECT_EQ(three->frameCount, 3);
  EXPECT_EQ(three->screenWidth, 12u);
  EXPECT_EQ(three->screenHeight, 10u);
  AnimationPtr optimized = ReadBack(Path("optimized.gif"));
  ASSERT_TRUE(optimized);
  Frame* second = FrameAt(*optimized, 1);
  ASSERT_TRUE(second);
  EXPECT_LT(uint64_t{second->width} * second->height, 64u);
}

TEST_F(BatchTest, FramesBeyondTheScreenAreCroppedWithoutAQuestion) {
  // Larger inserts keep the screen (stored setting, which the program reads at start).
  SetPref(PrefOversizeInsert, 16);
  std::string small = Gif("small.gif", 1, 4, 4);
  std::string large = Gif("large.gif", 2, 6, 5);
  RunResult r = Run({"-i", small, "-i", large, "-o", Path("cropped.gif")});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr out = ReadBack(Path("cropped.gif"));
  ASSERT_TRUE(out);
  EXPECT_EQ(out->screenWidth, 4u);
  EXPECT_EQ(FrameAt(*out, 1)->width, 4u);
  EXPECT_EQ(FrameAt(*out, 1)->height, 4u);
}

TEST_F(BatchTest, HyphensInPathsAreJustNames) {
  Gif("my-files/a-1.gif", 6);
  std::filesystem::create_directories(dir_ / "out-dir");
  RunResult r = Run({"-i", Path("my-files/a-*.gif"), "-o", Path("out-dir/-b-2.gif")});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_THAT(FirstPixels(Path("out-dir/-b-2.gif")), ElementsAre(6));
}

// Files other programs show: they are saved again and show the same.
TEST_F(BatchTest, OddFilesAreSavedAsTheyShow) {
  // A 2 x 1 image on a two-colour table with code size 3: pixel 5 lies past the palette, and a
  // clear code follows a clear code. Codes (4 bits): clear, clear, 5, 1, end.
  std::vector<uint8_t> file = {
      'G',  'I', 'F',  '8',  '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,    0,    0,    0, 255,
      255,  255, 0x21, 0x03, 1,   'x', 0,  // an extension with an unknown label
      0x2C, 0,   0,    0,    0,   2,   0, 1, 0, 0, 3,    3, 0x88, 0x15, 0x09, 0, 0x3B};
  Put(Path("odd.gif"), std::string(file.begin(), file.end()));
  RunResult r = Run({"-i", Path("odd.gif"), "-o", Path("again.gif")});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr out = ReadBack(Path("again.gif"));
  ASSERT_TRUE(out);
  EXPECT_EQ(Pixels(*FirstFrame(*out)), (std::vector<uint8_t>{5, 1}));
}

TEST_F(BatchTest, AnimationsGoOutAsSwfMovies) {
  AnimationPtr a = MakeDocument(5, 4);
  for (uint8_t i = 1; i <= 3; ++i) AddSolidFrame(*a, 0, 0, 5, 4, i)->delay = 20;
  Save("anim.gif", *a);
  RunResult r = Run({"-i", "anim.gif", "-o", "anim.swf"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  std::string bytes = Contents(Path("anim.swf"));
  test::SwfFileRead file;
  ASSERT_EQ(test::WalkSwf({bytes.begin(), bytes.end()}, &file), "");
  EXPECT_EQ(file.frameCount, 3);
  EXPECT_EQ(file.frameRate, 5 << 8);
  EXPECT_EQ(file.xMax, 100);
}

TEST_F(BatchTest, AFailedSaveSetsTheExitCodeAndKeepsTheTarget) {
  std::string in = Gif("in.gif", 1);
  std::filesystem::create_directories(dir_ / "folder.gif");
  RunResult r = Run({"-i", in, "-o", Path("folder.gif")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr(Path("folder.gif")));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "folder.gif"));
  r = Run({"-i", in, "-o", Path("no-folder/out.gif")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr(Path("no-folder/out.gif")));
}

TEST_F(BatchTest, FailuresAreReportedAndSetTheExitCode) {
  RunResult r = Run({"-o", Path("x.gif")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr("Nothing to output."));
  EXPECT_FALSE(std::filesystem::exists(Path("x.gif")));

  r = Run({"-z"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr("Nothing to optimize."));

  // An unknown flag stops everything after it.
  r = Run({"-q", "-o", Path("x.gif")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr("Unrecognized flag: -q"));
  EXPECT_THAT(r.errors, Not(HasSubstr("Nothing to output.")));

  // A missing input stops the batch too.
  r = Run({"-i", Path("none*.gif"), "-o", Path("x.gif")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr("Input file " + Path("none*.gif") + " not found"));
  EXPECT_THAT(r.errors, HasSubstr("Input operation unsuccessful."));
  EXPECT_THAT(r.errors, Not(HasSubstr("Nothing to output.")));

  r = Run({"-l", Path("missing.txt")});
  EXPECT_THAT(r.errors, HasSubstr("Input file " + Path("missing.txt") + " not found"));

  // A word that is no flag, such as a second file after -i, is refused rather than ignored.
  std::string a = Gif("a.gif", 1);
  r = Run({"-i", a, a, "-o", Path("x.gif")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr("Unrecognized flag: " + a));
}

TEST_F(BatchTest, StillImagesComeInAndOneFrameGoesOutAsPng) {
  // A true-colour photo and three PNG frames, written by the program's own writers.
  AnimationPtr doc = MakeDocument(8, 6);
  Frame* f = AddSolidFrame(*doc, 0, 0, 8, 6, 1);
  std::vector<uint8_t> rgb(RgbStride(8) * 6);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i % 3 == 2 ? 200 : 40);
  SetRgbPlane(f, rgb);
  ASSERT_TRUE(WriteJpeg(Path("photo.jpg"), f));
  FreeRgbPlane(f);
  std::filesystem::create_directories(dir_ / "frames");
  for (const char* name : {"frames/1.png", "frames/2.png", "frames/3.png"})
    ASSERT_TRUE(WritePng(Path(name), f));

  RunResult r = Run({"-i", "photo.jpg", "-o", "photo.gif"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr photo = ReadBack(Path("photo.gif"));
  ASSERT_NE(photo, nullptr);
  EXPECT_EQ(photo->frameCount, 1);
  EXPECT_EQ(photo->screenWidth, 8u);
  const PaletteEntry& e = FirstFrame(*photo)->palette->entries.at(Pixels(*FirstFrame(*photo))[0]);
  EXPECT_NEAR(e.red, 200, 8);
  EXPECT_NEAR(e.blue, 40, 8);

  r = Run({"-i", "frames/*.png", "-o", "anim.gif"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr anim = ReadBack(Path("anim.gif"));
  ASSERT_NE(anim, nullptr);
  EXPECT_EQ(anim->frameCount, 3);

  // A still-image type gets one frame of the animation.
  r = Run({"-i", "anim.gif", "-o", "frame.png"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr frame;
  ASSERT_EQ(ReadPng(Path("frame.png"), &frame), 1);
  EXPECT_EQ(frame->frameCount, 1);
  EXPECT_EQ(FirstFrame(*frame)->width, 8u);
}

TEST_F(BatchTest, AnimationsGoOutAsPsdLayersAndComeBackAsTheSettingsSay) {
  Gif("in/a.gif", 1);
  Gif("in/b.gif", 2);
  RunResult r = Run({"-i", Path("in/?.gif"), "-o", Path("anim.psd")});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.errors, "");
  // The remembered choice: one composite frame, or every layer.
  r = Run({"-i", Path("anim.psd"), "-o", Path("composite.gif")});
  EXPECT_EQ(FirstPixels(Path("composite.gif")), std::vector<int>{2});
  StorePsdLayerChoice(psdopt::Layers | psdopt::Separate);
  r = Run({"-i", Path("anim.psd"), "-o", Path("layers.gif")});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(FirstPixels(Path("layers.gif")), (std::vector<int>{1, 2}));
}

TEST_F(BatchTest, AnimationsGoOutAsIconsAndAnimatedCursors) {
  AnimationPtr doc = MakeDocument(32, 32);
  AddSolidFrame(*doc, 0, 0, 32, 32, 1)->delay = 15;
  AddSolidFrame(*doc, 8, 8, 16, 16, 2)->delay = 30;
  Save("anim.gif", *doc);
  RunResult r = Run({"-i", "anim.gif", "-o", "icon.ico", "-o", "cursor.ani"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  struct Case {
    const char* name;
    std::vector<uint32_t> widths, delays;
  } cases[] = {{"icon.ico", {32, 16}, {10, 10}}, {"cursor.ani", {32, 16}, {15, 30}}};
  for (const Case& c : cases) {
    r = Run({"-i", c.name, "-o", std::string(c.name) + ".gif"});
    EXPECT_EQ(r.exitCode, 0) << c.name << r.errors;
    AnimationPtr back = ReadBack(Path(std::string(c.name) + ".gif"));
    ASSERT_NE(back, nullptr) << c.name;
    std::vector<uint32_t> widths, delays;
    for (Frame* f = FirstFrame(*back); f; f = NextFrame(f)) {
      widths.push_back(f->width);
      delays.push_back(f->delay);
    }
    EXPECT_EQ(widths, c.widths) << c.name;
    EXPECT_EQ(delays, c.delays) << c.name;
  }
  // An icon file cannot hold two images of one size.
  AddSolidFrame(*doc, 0, 0, 16, 16, 3);
  Save("twins.gif", *doc);
  r = Run({"-i", "twins.gif", "-o", "twins.ico"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr("The following resolutions are duplicated"));
  EXPECT_FALSE(std::filesystem::exists(Path("twins.ico")));
}

// An optimized GIF (a small transparent frame over the first) goes out as the pictures a viewer
// sees, and the AVI comes back in as an animation.
TEST_F(BatchTest, AnimationsGoOutAsAviAndComeBack) {
  AnimationPtr a = MakeDocument(8, 8);
  AddSolidFrame(*a, 0, 0, 8, 8, 2)->delay = 10;
  Frame* small = AddSolidFrame(*a, 2, 2, 4, 4, 5, DisposalLeave, 3);
  small->bits()[0] = 3;  // see-through corner
  small->delay = 20;
  Save("anim.gif", *a);
  SetPrefOn(Pref::NoAviCompression, true);  // exact pixels
  RunResult r = Run({"-i", "anim.gif", "-o", "anim.avi"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr avi;
  ASSERT_EQ(ReadAvi(Path("anim.avi"), nullptr, &avi, nullptr), 1);
  ASSERT_GE(avi->frameCount, 2);
  EXPECT_EQ(FirstFrame(*avi)->delay, 10u);
  auto red = [](const Frame* f, uint32_t x, uint32_t y) {
    return f->rgbPlane.empty() ? -1 : f->rgbPlane[RgbStride(f->width) * y + 3 * x + 2];
  };
  const Frame* second = FrameAt(*avi, 1);
  const Palette& palette = *a->globalPalette;
  EXPECT_EQ(red(second, 0, 0), palette.entries[2].red);  // the first frame left in place
  EXPECT_EQ(red(second, 2, 2), palette.entries[2].red);  // seen through the transparent corner
  EXPECT_EQ(red(second, 3, 3), palette.entries[5].red);

  r = Run({"-i", "anim.avi", "-o", "back.gif"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr back = ReadBack(Path("back.gif"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->frameCount, avi->frameCount);
  EXPECT_EQ(back->screenWidth, 8u);
}

}  // namespace
}  // namespace lw
