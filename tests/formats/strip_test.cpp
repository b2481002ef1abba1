#include "formats/strip/strip.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/gif_reader.h"
#include "formats/flow_fixture.h"
#include "formats/flow_text.h"
#include "formats/format_registry.h"
#include "formats/open_flow.h"
#include "platform/files.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int B = -1;  // a background cell

uint32_t StripBits(int strips, bool vertical) {
  return saveopt::Strip | (static_cast<uint32_t>(strips) << stripopt::CountShift) |
         (vertical ? stripopt::Vertical : 0);
}

// The value at the centre of every cell of a strip, row by row across the image.
std::vector<int> CellCentres(const Frame& strip, uint32_t cellWidth, uint32_t cellHeight,
                             uint8_t background) {
  std::vector<int> cells;
  for (uint32_t y = cellHeight / 2; y < strip.DibHeight(); y += cellHeight) {
    for (uint32_t x = cellWidth / 2; x < strip.DibWidth(); x += cellWidth) {
      uint8_t v = Pixel(&strip, x, y);
      cells.push_back(v == background ? B : v);
    }
  }
  return cells;
}

TEST(StripBuild, CellsFollowTheStripsAndOrientation) {
  struct Case {
    int frames;
    uint32_t w, h;
    int strips;
    bool vertical;
    uint32_t width, height;
    std::vector<int> cells;
  };
  const Case cases[] = {
      // Rows of 4, 4 and 2: the last two cells are background.
      {10, 32, 32, 3, false, 128, 96, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, B, B}},
      {5, 20, 10, 1, true, 20, 50, {1, 2, 3, 4, 5}},
      {5, 20, 10, 1, false, 100, 10, {1, 2, 3, 4, 5}},
      // Two columns of three: frames run down the first column, then the second.
      {5, 6, 4, 2, true, 12, 12, {1, 4, 2, 5, 3, B}},
      // No count means one strip; more strips than frames means one frame each.
      {3, 5, 5, 0, false, 15, 5, {1, 2, 3}},
      {3, 5, 5, 9, false, 5, 15, {1, 2, 3}},
      {1, 7, 3, 1, false, 7, 3, {1}},
  };
  for (const Case& c : cases) {
    AnimationPtr doc = NumberedAnimation(c.frames, c.w, c.h);
    doc->backgroundIndex = 13;
    AnimationPtr strip = BuildStrip(*doc, StripBits(c.strips, c.vertical));
    ASSERT_TRUE(strip) << c.frames << " frames";
    EXPECT_EQ(strip->frameCount, 1);
    const Frame* f = FirstFrame(*strip);
    EXPECT_EQ(strip->screenWidth, c.width);
    EXPECT_EQ(strip->screenHeight, c.height);
    EXPECT_EQ(f->width, c.width);
    EXPECT_EQ(f->DibHeight(), c.height);
    EXPECT_EQ(CellCentres(*f, c.w, c.h, 13), c.cells) << c.frames << " frames " << c.strips;
    EXPECT_TRUE(f->rgbPlane.empty());
  }
}

TEST(StripBuild, FramesKeepTheirOffsetsWithinTheirCells) {
  AnimationPtr doc = MakeDocument(8, 8);
  doc->backgroundIndex = 200;          // beyond the palette: 0 fills
  AddSolidFrame(*doc, 6, 6, 8, 8, 1);  // reaches past the screen
  AddSolidFrame(*doc, 1, 2, 2, 2, 2);
  AnimationPtr strip = BuildStrip(*doc, StripBits(1, false));
  ASSERT_TRUE(strip);
  const Frame* f = FirstFrame(*strip);
  EXPECT_EQ(strip->backgroundIndex, 0);
  struct Probe {
    uint32_t x, y;
    int value;
  };
  const Probe probes[] = {{6, 6, 1}, {7, 7, 1},  {5, 6, 0}, {0, 0, 0},
                          {9, 2, 2}, {10, 3, 2}, {8, 2, 0}, {9, 6, 0}};  // nothing spills over
  for (const Probe& p : probes) EXPECT_EQ(Pixel(f, p.x, p.y), p.value) << p.x << "," << p.y;
}

TEST(StripBuild, LocalPaletteFramesKeepTheirColours) {
  AnimationPtr doc = MakeDocument(2, 2);
  AddSolidFrame(*doc, 0, 0, 2, 2, 4);
  Frame* own = AddSolidFrame(*doc, 0, 0, 2, 2, 0);
  const PaletteEntry nine = doc->globalPalette->entries[9];
  const uint8_t rgb[] = {nine.red, nine.green, nine.blue};
  SetLocalPalette(own, PaletteFromTriples(1, rgb));
  AnimationPtr strip = BuildStrip(*doc, StripBits(1, false));
  ASSERT_TRUE(strip);
  EXPECT_EQ(Pixels(*FirstFrame(*strip)), (std::vector<uint8_t>{4, 4, 9, 9, 4, 4, 9, 9}));
}

TEST(StripBuild, TrueColourFramesGiveTheStripPlanes) {
  AnimationPtr doc = MakeDocument(2, 1);
  doc->backgroundIndex = 5;
  Frame* deep = AddSolidFrame(*doc, 0, 0, 2, 1, 1);
  SetRgbPlane(deep, {10, 20, 30, 40, 50, 60, 0, 0});
  SetAlphaPlane(deep, {255, 7, 0, 0});
  AddFrame(*doc, 0, 0, 2, 1, {2, 3}, 0, 3);  // 8-bit, its index 3 transparent
  AddSolidFrame(*doc, 0, 0, 2, 1, 4);
  // Two strips of two: the fourth cell is background.
  AnimationPtr strip = BuildStrip(*doc, StripBits(2, false));
  ASSERT_TRUE(strip);
  const Frame* f = FirstFrame(*strip);
  ASSERT_EQ(f->rgbPlane.size(), 2 * RgbStride(4));
  const Palette& p = *doc->globalPalette;
  auto bgr = [&](int i) {
    return std::vector<int>{p.entries[i].blue, p.entries[i].green, p.entries[i].red};
  };
  std::vector<int> row0(f->rgbPlane.begin(), f->rgbPlane.begin() + 12);
  std::vector<int> row1(f->rgbPlane.begin() + static_cast<long>(RgbStride(4)),
                        f->rgbPlane.begin() + static_cast<long>(RgbStride(4)) + 12);
  std::vector<int> expected0{10, 20, 30, 40, 50, 60};
  std::vector<int> expected1;
  for (int i : {2, 3}) {
    std::vector<int> c = bgr(i);
    expected0.insert(expected0.end(), c.begin(), c.end());
  }
  for (int i : {4, 4, 5, 5}) {
    std::vector<int> c = bgr(i);
    expected1.insert(expected1.end(), c.begin(), c.end());
  }
  EXPECT_EQ(row0, expected0);
  EXPECT_EQ(row1, expected1);
  EXPECT_THAT(std::vector<int>(f->alphaPlane.begin(), f->alphaPlane.begin() + 4),
              ElementsAre(255, 7, 255, 0));
  EXPECT_THAT(std::vector<int>(f->alphaPlane.begin() + 4, f->alphaPlane.begin() + 8),
              ElementsAre(255, 255, 255, 255));
  // A still image written as GIF (bit 4) takes no 24-bit data.
  AnimationPtr gif = BuildStrip(*doc, StripBits(2, false) | saveopt::StillImage);
  ASSERT_TRUE(gif);
  EXPECT_TRUE(FirstFrame(*gif)->rgbPlane.empty());
}

// ---- Cutting ----

// A width x height image whose pixel is 1 + the index of its cell in row order (cells of
// cellWidth x cellHeight).
AnimationPtr StripImage(uint32_t width, uint32_t height, uint32_t cellWidth, uint32_t cellHeight) {
  AnimationPtr doc = MakeDocument(width, height);
  std::vector<uint8_t> pixels;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      pixels.push_back(
          static_cast<uint8_t>(1 + (y / cellHeight) * (width / cellWidth) + x / cellWidth));
  AddFrame(*doc, 0, 0, width, height, pixels);
  return doc;
}

class StripCut : public FlowTest {};

TEST_F(StripCut, CountsMustDivideTheImage) {
  struct Case {
    uint32_t w, h;
    StripSplitChoice choice;
    int refusal;  // 0: cut
    uint32_t cellWidth, cellHeight;
    std::vector<int> order;  // first pixel of each frame
  };
  const Case cases[] = {
      {300, 100, {3, 1, false}, 0, 100, 100, {1, 2, 3}},
      {300, 100, {7, 1, false}, str::StripCannotSplitHorizontally, 0, 0, {}},
      {300, 100, {3, 7, false}, str::StripCannotSplitVertically, 0, 0, {}},
      {300, 100, {0, 1, false}, str::StripCannotSplitHorizontally, 0, 0, {}},
      {300, 100, {3, 0, false}, str::StripCannotSplitVertically, 0, 0, {}},
      {300, 100, {-3, 1, false}, str::StripCannotSplitHorizontally, 0, 0, {}},
      // More frames than a document can count.
      {300, 200, {300, 200, false}, str::StripNoMemory, 0, 0, {}},
      {4, 4, {2, 2, false}, 0, 2, 2, {1, 2, 3, 4}},
      {4, 4, {2, 2, true}, 0, 2, 2, {1, 3, 2, 4}},
      {6, 4, {3, 2, true}, 0, 2, 2, {1, 4, 2, 5, 3, 6}},
  };
  for (const Case& c : cases) {
    Headless().Reset();
    uint32_t cw = c.refusal ? 1 : c.cellWidth, ch = c.refusal ? 1 : c.cellHeight;
    AnimationPtr doc = StripImage(c.w, c.h, c.refusal ? c.w : cw, c.refusal ? c.h : ch);
    EXPECT_EQ(StripSplitProblem(c.w, c.h, c.choice), c.refusal);
    bool cut = CutStrip(*doc, c.choice);
    EXPECT_EQ(cut, c.refusal == 0) << c.choice.framesPerRow << "x" << c.choice.framesPerColumn;
    if (!cut) {
      EXPECT_EQ(doc->frameCount, 1);
      EXPECT_EQ(doc->screenWidth, c.w);
      EXPECT_THAT(ShownTexts(), ElementsAre(ResText(c.refusal)));
      continue;
    }
    EXPECT_EQ(doc->screenWidth, c.cellWidth);
    EXPECT_EQ(doc->screenHeight, c.cellHeight);
    EXPECT_EQ(doc->frameCount, static_cast<int>(c.order.size()));
    std::vector<int> order;
    for (Frame* f = FirstFrame(*doc); f; f = NextFrame(f)) {
      EXPECT_EQ(f->width, c.cellWidth);
      EXPECT_EQ(f->DibHeight(), c.cellHeight);
      EXPECT_EQ(f->palette, doc->globalPalette.get());
      // Every pixel of a frame comes from its one cell.
      std::vector<uint8_t> px = Pixels(*f);
      EXPECT_EQ(std::count(px.begin(), px.end(), px[0]), static_cast<long>(px.size()));
      order.push_back(px[0]);
    }
    EXPECT_EQ(order, c.order);
  }
}

TEST_F(StripCut, PlanesAndTransparencyGoWithTheCells) {
  AnimationPtr doc = StripImage(4, 1, 2, 1);
  Frame* f = FirstFrame(*doc);
  SetTransparentIndex(f, 1);
  SetTransparency(f, true);
  AddRgbPlane(f);
  SetAlphaPlane(f, {1, 2, 3, 4});
  ASSERT_TRUE(CutStrip(*doc, {2, 1, false}));
  Frame* second = NextFrame(FirstFrame(*doc));
  EXPECT_TRUE(second->Transparent());
  EXPECT_EQ(second->transparentIndex, 1);
  EXPECT_THAT(std::vector<int>(second->alphaPlane.begin(), second->alphaPlane.begin() + 2),
              ElementsAre(3, 4));
  const PaletteEntry two = doc->globalPalette->entries[2];
  EXPECT_THAT(std::vector<int>(second->rgbPlane.begin(), second->rgbPlane.begin() + 3),
              ElementsAre(two.blue, two.green, two.red));
  EXPECT_FALSE(second->transparencyMask.empty());
}

TEST_F(StripCut, AStripWrittenByTheProgramGivesBackItsFrames) {
  struct Case {
    const char* name;
    int type;
    int strips;
    bool vertical;
    StripSplitChoice choice;
  };
  const Case cases[] = {
      {"row.bmp", savetype::Bmp, 1, false, {5, 1, false}},
      {"columns.gif", savetype::Gif, 2, true, {2, 3, true}},
      {"rows.png", savetype::Png, 3, false, {2, 3, false}},
  };
  for (const Case& c : cases) {
    AnimationPtr doc = MakeDocument(6, 4);
    for (int i = 1; i <= 5; ++i) {
      AddFrame(*doc, 0, 0, 6, 4, std::vector<uint8_t>(24, static_cast<uint8_t>(i)));
      FrameAt(*doc, i - 1)->bits()[5] = static_cast<uint8_t>(10 + i);  // not a solid frame
    }
    SaveOptions options;
    options.optionBits = StripBits(c.strips, c.vertical);
    ASSERT_TRUE(WriteAsType(Path(c.name), *doc, options, c.type, nullptr)) << c.name;
    AnimationPtr read;
    ASSERT_EQ(ReadAnyFile(Path(c.name), nullptr, &read, nullptr), 1) << c.name;
    Headless().QueueStripSplitAnswer(c.choice);
    ASSERT_TRUE(SplitStrip(*read, nullptr)) << c.name;
    EXPECT_EQ(read->screenWidth, 6u);
    EXPECT_EQ(read->screenHeight, 4u);
    // Background cells come back as frames too.
    ASSERT_EQ(read->frameCount, c.choice.framesPerRow * c.choice.framesPerColumn) << c.name;
    for (int i = 0; i < 5; ++i) {
      const Frame* a = FrameAt(*doc, i);
      const Frame* b = FrameAt(*read, i);
      for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 6; ++x) {
          const PaletteEntry ca = a->palette->entries[Pixel(a, x, y)];
          const PaletteEntry cb = b->palette->entries[Pixel(b, x, y)];
          ASSERT_EQ(ca, cb) << c.name << " frame " << i << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST_F(StripCut, SplitAsksAgainAfterARefusalAndStopsOnCancel) {
  AnimationPtr doc = StripImage(300, 100, 100, 100);
  Headless().QueueStripSplitAnswer({7, 1, false});
  Headless().QueueStripSplitAnswer({3, 1, false});
  EXPECT_TRUE(SplitStrip(*doc, nullptr));
  EXPECT_EQ(doc->frameCount, 3);
  EXPECT_THAT(ShownTexts(), ElementsAre(ResText(str::StripCannotSplitHorizontally)));

  Headless().Reset();
  AnimationPtr again = StripImage(300, 100, 100, 100);
  Headless().QueueStripSplitAnswer({3, 3, false});
  EXPECT_FALSE(SplitStrip(*again, nullptr));  // refused, then cancelled
  EXPECT_EQ(again->frameCount, 1);
  EXPECT_EQ(Headless().StripQuestions(), 2);

  Headless().Reset();
  AnimationPtr two = NumberedAnimation(2);
  EXPECT_FALSE(SplitStrip(*two, nullptr));
  EXPECT_EQ(Headless().StripQuestions(), 0);
  EXPECT_THAT(ShownTexts(), ElementsAre(ResText(str::StripSingleImage)));
}

TEST_F(StripCut, ImportCommandOpensCutsOrCloses) {
  AnimationPtr doc = StripImage(6, 2, 2, 2);
  std::string bmp = Path("strip.bmp");
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(bmp, *doc, options, savetype::Bmp, nullptr));
  std::string gif = WriteSolidGif("strip.gif", 6, 2, {1});
  std::string two = WriteSolidGif("two.gif", 6, 2, {1, 2});

  struct Case {
    std::string path;
    bool answered;
    bool opened;
    const char* name;  // the document's name afterwards
  };
  const Case cases[] = {
      {bmp, true, true, ""},  // a still image's name is not kept for the animation
      {gif, true, true, "strip.gif"},
      {gif, false, false, ""},  // cancelled: the strip is closed
      {two, true, false, ""},   // not a strip
  };
  for (const Case& c : cases) {
    Headless().Reset();
    ShellState state;
    Headless().QueueChosenFiles({c.path});
    if (c.answered) Headless().QueueStripSplitAnswer({3, 1, false});
    EXPECT_EQ(ImportStripCommand(state), c.opened) << c.path;
    ASSERT_FALSE(Headless().FileQuestions().empty());
    EXPECT_EQ(Headless().FileQuestions()[0].filter, ImportFilter(ImportStripCommandId));
    if (!c.opened) {
      EXPECT_FALSE(state.document) << c.path;
      continue;
    }
    ASSERT_TRUE(state.document);
    EXPECT_EQ(state.document->frameCount, 3);
    EXPECT_TRUE(state.modified);
    EXPECT_EQ(BaseName(state.documentPath), c.name);
  }
}

// ---- Hostile sizes ----

TEST_F(StripCut, StripsTooLargeToMakeAreRefusedBeforeAnyAllocation) {
  SetGifFrameByteLimit(1 << 20);
  struct Case {
    uint32_t screenWidth, screenHeight;
    int frames;
    uint32_t bits;
    bool trueColour;
    bool built;
  };
  const Case cases[] = {
      {300, 1000, 2, StripBits(1, false), false, true},  // 600 kB
      {300, 1000, 2, StripBits(1, false), true, false},  // three times that
      {400, 1000, 3, StripBits(1, false), false, false},
      {60000, 60000, 4, StripBits(2, true), false, false},
      {UINT32_MAX, 1, 3, StripBits(1, false), false, false},     // the width overflows 32 bits
      {1, UINT32_MAX / 2, 3, StripBits(1, true), false, false},  // so does the height
  };
  for (const Case& c : cases) {
    Headless().Reset();
    AnimationPtr doc = MakeDocument(c.screenWidth, c.screenHeight);
    for (int i = 0; i < c.frames; ++i) AddSolidFrame(*doc, 0, 0, 1, 1, 1);
    if (c.trueColour) SetRgbPlane(FirstFrame(*doc), {1, 2, 3, 0});
    StripSize size = StripSizeFor(*doc, c.bits);
    EXPECT_GE(uint64_t{size.width} * size.height, uint64_t{c.screenWidth} * c.screenHeight);
    EXPECT_EQ(BuildStrip(*doc, c.bits) != nullptr, c.built) << c.screenWidth;
    if (!c.built) {
      EXPECT_THAT(ShownTexts(), ElementsAre(ResText(str::StripNoMemory)));
    }
  }
  // Through the save: nothing is left behind.
  AnimationPtr doc = MakeDocument(60000, 60000);
  for (int i = 0; i < 4; ++i) AddSolidFrame(*doc, 0, 0, 1, 1, 1);
  SaveOptions options;
  options.optionBits = StripBits(1, false);
  EXPECT_FALSE(WriteAsType(Path("huge.png"), *doc, options, savetype::Png, nullptr));
  EXPECT_TRUE(FolderNames().empty());
  SetGifFrameByteLimit(0);
}

// ---- One file per frame ----

class IndividualFiles : public FlowTest {};

TEST_F(IndividualFiles, NamesFollowTheBaseNameAndSelection) {
  struct Case {
    const char* base;
    int type;
    std::vector<int> selected;  // empty: every frame
    std::vector<std::string> files;
  };
  std::vector<std::string> all;
  for (int i = 1; i <= 12; ++i)
    all.push_back((i < 10 ? "anim0" : "anim") + std::to_string(i) + ".gif");
  const Case cases[] = {
      {"anim.gif", savetype::Gif, {}, all},
      {"anim.bmp", savetype::Bmp, {12}, {"anim.bmp"}},    // one selected frame: no number
      {"anim###", savetype::Bmp, {12}, {"anim012.bmp"}},  // unless the name asks for one
      {"anim", savetype::Jpeg, {2, 5}, {"anim02.jpg", "anim05.jpg"}},
      {"anim###.png", savetype::Png, {1, 12}, {"anim001.png", "anim012.png"}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    AnimationPtr doc = NumberedAnimation(12);
    for (int n : c.selected) FrameAt(*doc, n - 1)->selected = 1;
    SetSelectedCount(*doc, static_cast<uint32_t>(c.selected.size()));
    SaveOptions options;
    options.optionBits = saveopt::Individual | (c.selected.empty() ? 0 : stripopt::SelectedOnly);
    options.baseName = c.base;  // taken in the target's folder
    ASSERT_TRUE(WriteAsType(Path("ignored.gif"), *doc, options, c.type, nullptr)) << c.base;
    EXPECT_THAT(FolderNames(), ElementsAreArray(c.files)) << c.base;
  }
  // The files hold their frames.
  AnimationPtr png;
  ASSERT_EQ(ReadAnyFile(Path("anim012.png"), nullptr, &png, nullptr), 1);
  const Frame* f = FirstFrame(*png);
  EXPECT_EQ(f->palette->entries[Pixel(f, 0, 0)], RampPalette(16)->entries[12]);
}

TEST_F(IndividualFiles, AHashInAFolderNameIsNotTheNumber) {
  std::filesystem::create_directory(dir_ / "c#");
  AnimationPtr doc = NumberedAnimation(2);
  SaveOptions options;
  options.optionBits = saveopt::Individual;
  options.baseName = Path("c#/a.gif");
  ASSERT_TRUE(WriteAsType(Path("c#/a.gif"), *doc, options, savetype::Gif, nullptr));
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir_ / "c#"))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_THAT(names, ElementsAre("a1.gif", "a2.gif"));
}

TEST_F(IndividualFiles, AFailureInTheMiddleNamesTheFileAndKeepsTheEarlierOnes) {
  std::filesystem::create_directory(dir_ / "anim2.gif");  // no file can take that name
  AnimationPtr doc = NumberedAnimation(3);
  EXPECT_FALSE(
      WriteIndividualFiles(Path("anim.gif"), *doc, saveopt::Individual, savetype::Gif, nullptr));
  EXPECT_THAT(ShownTexts(),
              ElementsAre(FormatResText(str::CannotWriteFile, Path("anim2.gif").c_str())));
  EXPECT_THAT(FolderNames(), ElementsAre("anim1.gif", "anim2.gif"));
  AnimationPtr first = ReadBack(Path("anim1.gif"));
  ASSERT_TRUE(first);
  EXPECT_EQ(FrameNumbers(*first), std::vector<int>{1});
}

}  // namespace
}  // namespace lw::test
