#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <tuple>

#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/gif_reader.h"
#include "core/picture_budget.h"
#include "formats/bmp/bmp_format.h"
#include "formats/common/flow_text.h"
#include "formats/flow_fixture.h"
#include "formats/format_registry.h"
#include "formats/gif/gif_format.h"
#include "formats/jpeg/jpeg_entry.h"
#include "formats/open_flow.h"
#include "formats/png/png_entry.h"
#include "formats/strip/strip_format.h"
#include "formats/strip_flow.h"
#include "formats/strip_import.h"
#include "platform/files.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

uint32_t StripBits(int strips, bool vertical) {
  return saveopt::Strip | (static_cast<uint32_t>(strips) << stripopt::CountShift) |
         (vertical ? stripopt::Vertical : 0);
}

using Strips = FlowTest;

// Whatever the counts, a strip cut along its own grid gives back every frame in its order, then
// background cells.
TEST_F(Strips, CuttingABuiltStripGivesTheFramesBack) {
  std::mt19937 random(5);
  for (int round = 0; round < 40; ++round) {
    const int frames = 1 + static_cast<int>(random() % 7);
    const int strips = static_cast<int>(random() % (frames + 3));  // 0 and too many clamp
    const uint32_t w = 1 + random() % 9, h = 1 + random() % 9;
    const bool vertical = random() % 2;
    SCOPED_TRACE(::testing::Message() << frames << " frames " << w << "x" << h << " in " << strips
                                      << (vertical ? " columns" : " rows"));
    AnimationPtr doc = MakeDocument(w, h);
    doc->backgroundIndex = 15;
    for (int i = 0; i < frames; ++i)
      AddDrawnFrame(*doc, 0, 0, w, h, [&](uint32_t, uint32_t) { return random() % 15; });
    AnimationPtr strip = BuildStrip(*doc, StripBits(strips, vertical), 10);
    ASSERT_TRUE(strip);
    const int along = std::clamp(strips, 1, frames), across = (frames + along - 1) / along;
    const StripSplitChoice choice{vertical ? along : across, vertical ? across : along, vertical};
    EXPECT_EQ(strip->screenWidth, w * choice.framesPerRow);
    EXPECT_EQ(FirstFrame(*strip)->DibHeight(), h * choice.framesPerColumn);
    ASSERT_TRUE(CutStrip(*strip, choice, 10));
    ASSERT_EQ(strip->frameCount, along * across);
    EXPECT_EQ(std::tie(strip->screenWidth, strip->screenHeight), std::tie(w, h));
    const PaletteEntry background = doc->globalPalette->entries[15];
    for (int i = 0; i < strip->frameCount; ++i) {
      const Frame* cut = FrameAt(*strip, i);
      ASSERT_EQ(std::tie(cut->width, cut->height), std::tie(w, h)) << i;
      for (uint32_t n = 0; n < w * h; ++n)
        ASSERT_TRUE(SameRgb(PixelColour(cut, n % w, n / w),
                            i < frames ? PixelColour(FrameAt(*doc, i), n % w, n / w) : background))
            << "frame " << i << " pixel " << n;
    }
  }
}

TEST_F(Strips, FramesKeepTheirPlaceAndColoursWithinTheirCells) {
  AnimationPtr doc = MakeDocument(4, 4);
  doc->backgroundIndex = 200;                       // beyond the palette: 0 fills
  AddSolidFrame(*doc, 3, 2, 8, 8, 1);               // reaches past the screen
  Frame* own = AddSolidFrame(*doc, 1, 1, 1, 1, 0);  // its own palette
  const PaletteEntry nine = doc->globalPalette->entries[9];
  const uint8_t rgb[] = {nine.red, nine.green, nine.blue};
  SetLocalPalette(own, PaletteFromTriples(1, rgb));
  AnimationPtr strip = BuildStrip(*doc, StripBits(1, false), 10);
  ASSERT_TRUE(strip);
  EXPECT_EQ(Pixels(*FirstFrame(*strip)), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0,  //
                                                               0, 0, 0, 0, 0, 9, 0, 0,  //
                                                               0, 0, 0, 1, 0, 0, 0, 0,  //
                                                               0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST_F(Strips, TrueColourFramesGiveTheStripPlanes) {
  AnimationPtr doc = MakeDocument(1, 1);
  doc->backgroundIndex = 5;
  SetRgbPlane(AddSolidFrame(*doc, 0, 0, 1, 1, 1), {10, 20, 30, 0});
  SetAlphaPlane(FirstFrame(*doc), {7, 0, 0, 0});
  AddFrame(*doc, 0, 0, 1, 1, {3}, 0, 3);  // 8-bit and transparent
  AddSolidFrame(*doc, 0, 0, 1, 1, 4);
  AnimationPtr strip = BuildStrip(*doc, StripBits(2, false), 10);
  ASSERT_TRUE(strip);
  const Frame* f = FirstFrame(*strip);
  const std::vector<PaletteEntry>& p = doc->globalPalette->entries;
  auto bgr = [&](int i) { return std::vector<int>{p[i].blue, p[i].green, p[i].red}; };
  auto at = [&](int row, int x) {
    auto begin = f->rgbPlane.begin() + static_cast<long>(row * RgbStride(2) + 3 * x);
    return std::vector<int>(begin, begin + 3);
  };
  EXPECT_EQ(at(0, 0), (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(at(0, 1), bgr(3));
  EXPECT_EQ(at(1, 0), bgr(4));
  EXPECT_EQ(at(1, 1), bgr(5));  // the background cell
  const std::vector<uint8_t>& alpha = f->alphaPlane;
  EXPECT_THAT((std::vector<int>{alpha[0], alpha[1], alpha[4], alpha[5]}),
              ElementsAre(7, 0, 255, 255));
  // GIF (the still-image bit) takes no 24-bit data.
  EXPECT_TRUE(FirstFrame(*BuildStrip(*doc, StripBits(2, false) | saveopt::StillImage, 10))
                  ->rgbPlane.empty());
}

TEST_F(Strips, TooLargeToMakeIsRefusedBeforeAnyAllocation) {
  SetPictureBudgetBytes(1 << 20);
  const struct {
    uint32_t w, h;
    int frames;
    bool vertical, trueColour, built;
  } cases[] = {
      {300, 1000, 2, false, false, true},  // 600 kB
      {300, 1000, 2, false, true, false},  // three times that
      {UINT32_MAX, 1, 3, false, false, false},
      {1, UINT32_MAX / 2, 3, true, false, false},
  };
  for (const auto& c : cases) {
    Headless().Reset();
    AnimationPtr doc = MakeDocument(c.w, c.h);
    for (int i = 0; i < c.frames; ++i) AddSolidFrame(*doc, 0, 0, 1, 1, 1);
    if (c.trueColour) SetRgbPlane(FirstFrame(*doc), {1, 2, 3, 0});
    EXPECT_EQ(BuildStrip(*doc, StripBits(1, c.vertical), 10) != nullptr, c.built) << c.w;
    EXPECT_EQ(ShownTexts().empty(), c.built) << c.w;
  }
  // Through the save: nothing is left behind.
  SaveOptions options;
  options.optionBits = StripBits(1, false);
  AnimationPtr doc = MakeDocument(60000, 60000);
  for (int i = 0; i < 4; ++i) AddSolidFrame(*doc, 0, 0, 1, 1, 1);
  EXPECT_FALSE(WriteAsType(Path("huge.png"), *doc, options, savetype::Png, nullptr));
  EXPECT_TRUE(FolderNames().empty());
  SetPictureBudgetBytes(0);
}

// ---- Cutting ----

// An image whose pixel is 1 + the index of its cell in row order.
AnimationPtr StripImage(uint32_t width, uint32_t height, uint32_t cellWidth, uint32_t cellHeight) {
  AnimationPtr doc = MakeDocument(width, height);
  std::vector<uint8_t> pixels;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      pixels.push_back(
          static_cast<uint8_t>(1 + y / cellHeight * (width / cellWidth) + x / cellWidth));
  AddFrame(*doc, 0, 0, width, height, pixels);
  return doc;
}

TEST_F(Strips, CutsThatDoNotDivideTheImageAreRefused) {
  const struct {
    StripSplitChoice choice;
    int refusal;
  } cases[] = {
      {{7, 1, false}, str::StripCannotSplitHorizontally},
      {{3, 7, false}, str::StripCannotSplitVertically},
      {{0, 1, false}, str::StripCannotSplitHorizontally},
      {{3, 0, false}, str::StripCannotSplitVertically},
      {{300, 200, false}, str::StripNoMemory},  // more than a document counts
  };
  for (const auto& c : cases) {
    Headless().Reset();
    AnimationPtr doc = StripImage(300, 200, 100, 100);
    EXPECT_FALSE(CutStrip(*doc, c.choice, 10)) << c.choice.framesPerRow;
    EXPECT_EQ(doc->frameCount, 1);
    EXPECT_EQ(ShownTexts(), TextsOf({c.refusal}));
  }
  // 24-bit planes and transparency go with the cells.
  AnimationPtr doc = StripImage(4, 1, 2, 1);
  Frame* f = FirstFrame(*doc);
  SetTransparentIndex(f, 1);
  SetTransparency(f, true);
  AddRgbPlane(f);
  SetAlphaPlane(f, {1, 2, 3, 4});
  ASSERT_TRUE(CutStrip(*doc, {2, 1, false}, 10));
  const Frame* second = NextFrame(FirstFrame(*doc));
  const PaletteEntry two = doc->globalPalette->entries[2];
  EXPECT_TRUE(second->Transparent() && second->transparentIndex == 1);
  EXPECT_THAT((std::vector<int>{second->alphaPlane[0], second->alphaPlane[1], second->rgbPlane[0],
                                second->rgbPlane[1], second->rgbPlane[2]}),
              ElementsAre(3, 4, two.blue, two.green, two.red));
}

// A strip written to a file and read back cuts into its frames; a refused choice asks again.
TEST_F(Strips, AStripWrittenByTheProgramGivesBackItsFrames) {
  AnimationPtr doc = NumberedAnimation(5);
  SaveOptions options;
  options.optionBits = StripBits(2, true);
  ASSERT_TRUE(WriteAsType(Path("columns.png"), *doc, options, savetype::Png, nullptr));
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(Path("columns.png"), Flows().read, nullptr, &read, nullptr), ReadComplete);
  Headless().QueueStripSplitAnswer({7, 1, false});
  Headless().QueueStripSplitAnswer({2, 3, true});
  ASSERT_TRUE(SplitStrip(*read, 10, nullptr));
  ASSERT_EQ(read->frameCount, 6);
  for (int n = 0; n < 5 * 12; ++n)  // frame n / 12, pixel n % 12 of 4 x 3
    ASSERT_TRUE(SameRgb(PixelColour(FrameAt(*read, n / 12), n % 4, n % 12 / 4),
                        PixelColour(FrameAt(*doc, n / 12), n % 4, n % 12 / 4)))
        << n;
  // Not a strip: nothing is asked.
  Headless().Reset();
  EXPECT_FALSE(SplitStrip(*NumberedAnimation(2), 10, nullptr));
  EXPECT_EQ(Headless().StripQuestions(), 0);
  EXPECT_EQ(ShownTexts(), TextsOf({str::StripSingleImage}));
}

TEST_F(Strips, ImportCommandOpensAndCutsOrCloses) {
  std::string bmp = Path("strip.bmp");
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(bmp, *StripImage(6, 2, 2, 2), options, savetype::Bmp, nullptr));
  std::string gif = WriteSolidGif("strip.gif", 6, 2, {1});
  std::string two = WriteSolidGif("two.gif", 6, 2, {1, 2});
  const struct {
    std::string path;
    bool answered, opened;
    const char* name;  // afterwards
  } cases[] = {
      {bmp, true, true, ""},  // a still image's name is not kept for an animation
      {gif, true, true, "strip.gif"},
      {gif, false, false, ""},  // cancelled: closed
      {two, true, false, ""},   // not a strip: closed
  };
  for (const auto& c : cases) {
    Headless().Reset();
    DocumentSession state;
    Use(state);
    Headless().QueueChosenFiles({c.path});
    if (c.answered) Headless().QueueStripSplitAnswer({3, 1, false});
    EXPECT_EQ(ImportStripCommand(state), c.opened) << c.path;
    EXPECT_EQ(Headless().FileQuestions().at(0).filter, ImportFilter(ImportStripCommandId));
    ASSERT_EQ(state.document != nullptr, c.opened);
    if (!c.opened) continue;
    EXPECT_TRUE(state.document->frameCount == 3 && state.modified);
    EXPECT_EQ(BaseName(state.documentPath), c.name);
  }
}

// ---- One file per frame ----

TEST_F(Strips, IndividualFilesFollowTheBaseNameAndSelection) {
  std::vector<std::string> all;
  for (int i = 1; i <= 12; ++i)
    all.push_back((i < 10 ? "anim0" : "anim") + std::to_string(i) + ".gif");
  struct Case {
    const char* base;
    int type;
    std::vector<int> selected;  // empty: every frame
    std::vector<std::string> files;
  } const cases[] = {
      {"anim.gif", savetype::Gif, {}, all},
      {"anim.bmp", savetype::Bmp, {12}, {"anim.bmp"}},  // one selected frame: no number
      {"anim", savetype::Jpeg, {2, 5}, {"anim02.jpg", "anim05.jpg"}},
      {"c#/a.png", savetype::Png, {1, 12}, {"c#/a01.png", "c#/a12.png"}},  // not the folder's #
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "c#");
    AnimationPtr doc = NumberedAnimation(12);
    for (int n : c.selected) FrameAt(*doc, n - 1)->selected = 1;
    SetSelectedCount(*doc, static_cast<uint32_t>(c.selected.size()));
    SaveOptions options;
    options.optionBits = saveopt::Individual | (c.selected.empty() ? 0 : stripopt::SelectedOnly);
    options.baseName = c.base;  // in the target's folder
    ASSERT_TRUE(WriteAsType(Path("ignored"), *doc, options, c.type, nullptr)) << c.base;
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_))
      if (e.is_regular_file()) files.push_back(e.path().lexically_relative(dir_).string());
    std::sort(files.begin(), files.end());
    EXPECT_THAT(files, ElementsAreArray(c.files)) << c.base;
  }
  AnimationPtr png;  // the files hold their own frames
  ASSERT_EQ(ReadAnyFile(Path("c#/a12.png"), Flows().read, nullptr, &png, nullptr), 1);
  const Frame* f = FirstFrame(*png);
  EXPECT_EQ(f->palette->entries[Pixel(f, 0, 0)], RampPalette(16)->entries[12]);
}

// What the window shows and asks before writing one file per frame: the first and last names
// with their folder, and one question naming the one file already there, or how many.
TEST_F(Strips, TheFilesToWriteAreShownAndThoseThereCounted) {
  AnimationPtr doc = NumberedAnimation(30);
  const std::vector<std::string> names =
      IndividualFileNames(Path("clip.jpeg"), *doc, saveopt::Individual, savetype::Jpeg);
  ASSERT_EQ(names.size(), 30u);
  EXPECT_EQ(names[6], Path("clip07.jpeg"));
  EXPECT_EQ(IndividualNamesLine(names), "clip01.jpeg … clip30.jpeg dans " + dir_.string());
  EXPECT_EQ(ReplaceFilesQuestion(names), "");
  Put(Path("clip07.jpeg"), "mine");
  EXPECT_EQ(ReplaceFilesQuestion(names), FormatResText(str::ReplaceExistingQuestion, names[6]));
  SaveOptions options;
  options.optionBits = saveopt::Individual;
  ASSERT_TRUE(WriteAsType(Path("clip.jpeg"), *doc, options, savetype::Jpeg, nullptr));
  EXPECT_EQ(ReplaceFilesQuestion(names), "30 fichiers portant ces noms existent déjà dans " +
                                             dir_.string() + ".\nVoulez-vous les remplacer?");
  EXPECT_EQ(FolderNames().size(), 30u);
  // One selected frame: one name without a number.
  FrameAt(*doc, 4)->selected = 1;
  SetSelectedCount(*doc, 1);
  EXPECT_EQ(
      IndividualNamesLine(IndividualFileNames(
          Path("one.png"), *doc, saveopt::Individual | stripopt::SelectedOnly, savetype::Png)),
      "one.png dans " + dir_.string());
}

TEST_F(Strips, AFailureInTheMiddleNamesTheFileAndKeepsTheEarlierOnes) {
  std::filesystem::create_directory(dir_ / "anim2.gif");  // no file can take that name
  AnimationPtr doc = NumberedAnimation(3);
  EXPECT_FALSE(WriteIndividualFiles(Path("anim.gif"), *doc, saveopt::Individual, savetype::Gif, {},
                                    nullptr));
  EXPECT_THAT(ShownTexts(),
              ElementsAre(FormatResText(str::CannotWriteFile, Path("anim2.gif").c_str())));
  EXPECT_THAT(FolderNames(), ElementsAre("anim1.gif", "anim2.gif"));
  EXPECT_EQ(FrameNumbers(*ReadBack(Path("anim1.gif"))), std::vector<int>{1});
}

}  // namespace
}  // namespace lw::test
