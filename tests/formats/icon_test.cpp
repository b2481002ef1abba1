// ICO, CUR and ANI files: images of every depth written and read back, the directory bytes other
// programs rely on, cursor hot spots, animated-cursor steps, PNG-stored images, damaged files.
#include <gmock/gmock.h>

#include <cstring>

#include "base/progress.h"
#include "flow_fixture.h"
#include "formats/ani/ani_format.h"
#include "formats/ico/ico_format.h"
#include "formats/ico/icon_image.h"
#include "formats/open_flow.h"
#include "formats/png/png_format.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Colour shown at (x, y): 0x00RRGGBB, or -1 where transparent.
int64_t Shown(const Frame& f, uint32_t x, uint32_t y) {
  if (!f.rgbPlane.empty()) {
    if (!f.alphaPlane.empty() && f.alphaPlane[y * IndexStride(f.width) + x] == 0) return -1;
    const uint8_t* bgr = &f.rgbPlane[y * RgbStride(f.width) + 3 * x];
    return bgr[2] << 16 | bgr[1] << 8 | bgr[0];
  }
  uint8_t index = Pixel(&f, x, y);
  if (f.Transparent() && index == f.transparentIndex) return -1;
  const PaletteEntry& e = f.palette->entries.at(index);
  return e.red << 16 | e.green << 8 | e.blue;
}

void ExpectSamePixels(const Frame& read, const Frame& written) {
  ASSERT_EQ(std::tie(read.width, read.height), std::tie(written.width, written.height));
  for (uint32_t y = 0; y < written.height; ++y)
    for (uint32_t x = 0; x < written.width; ++x)
      ASSERT_EQ(Shown(read, x, y), Shown(written, x, y)) << x << "," << y;
}

// What a test frame holds.
enum class Kind { BlackWhite, Standard, Palette, Rgb, Rgba };

struct FrameSpec {
  Kind kind;
  uint32_t width, height;
  int transparent;  // index, or -1
  int depth;        // expected in the file
};

// A frame of the kind with its own palette: a pattern of a few colours, a transparent corner.
Frame* AddDrawnFrame(Animation& a, const FrameSpec& s) {
  std::vector<uint8_t> rgb;
  int colours = 0;
  switch (s.kind) {
    case Kind::BlackWhite:
      rgb = {255, 255, 255, 0, 0, 0, 9, 9, 9};
      colours = 2;
      break;
    case Kind::Standard:
      rgb = {0, 0, 128, 255, 255, 0, 192, 192, 192, 0, 128, 128, 200, 100, 50};
      colours = 4;
      break;
    default:
      for (int i = 0; i < 200; ++i) rgb.insert(rgb.end(), {uint8_t(i), uint8_t(255 - i), 77});
      colours = 200;
      break;
  }
  PalettePtr palette = PaletteFromTriples(static_cast<int>(rgb.size() / 3), rgb.data());
  auto pixel = [&](uint32_t x, uint32_t y) -> int {
    if (s.transparent >= 0 && x < 3 && y < 2) return s.transparent;
    return static_cast<int>((x * 7 + y * 3) % colours);
  };
  Frame* f = PaintedFrame(s.width, s.height, palette.get(), pixel);
  SetLocalPalette(f, std::move(palette));
  UpdateDibColourTable(f);
  if (s.transparent >= 0) {
    SetTransparentIndex(f, static_cast<uint8_t>(s.transparent));
    SetTransparency(f, true);
  }
  if (s.kind == Kind::Rgb || s.kind == Kind::Rgba) {
    std::vector<uint8_t> planeRgb(RgbStride(s.width) * s.height), alpha;
    if (s.kind == Kind::Rgba) alpha.assign(IndexStride(s.width) * s.height, 255);
    for (uint32_t y = 0; y < s.height; ++y)
      for (uint32_t x = 0; x < s.width; ++x) {
        uint8_t* p = &planeRgb[y * RgbStride(s.width) + 3 * x];
        p[0] = static_cast<uint8_t>(40 * (x % 3));
        p[1] = static_cast<uint8_t>(90 + 50 * (y % 2));
        p[2] = 250;
        if (!alpha.empty() && x + y < 3) alpha[y * IndexStride(s.width) + x] = 0;
      }
    SetRgbPlane(f, std::move(planeRgb));
    if (!alpha.empty()) SetAlphaPlane(f, std::move(alpha));
  }
  InsertBlockAfter(LastBlock(a), f);
  ++a.frameCount;
  return f;
}

class IconTest : public FlowTest {
 protected:
  void SetUp() override {
    FlowTest::SetUp();
    SetPrefOn(Pref::KeepTrueColor, true);
  }

  std::vector<uint8_t> Bytes(const std::string& path) {
    std::string s = Contents(path);
    return {s.begin(), s.end()};
  }
  std::string PutBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    Put(Path(name), std::string(bytes.begin(), bytes.end()));
    return Path(name);
  }
  // The bytes of a one-frame cursor written by the program.
  std::vector<uint8_t> CursorBytes(const FrameSpec& s, int hotX, int hotY) {
    AnimationPtr a = NewAnimation();
    Frame* f = AddDrawnFrame(*a, s);
    f->hotspotX = hotX;
    f->hotspotY = hotY;
    std::string path = Path("one.cur");
    EXPECT_TRUE(WriteIconFile(path, *a, false, nullptr));
    return Bytes(path);
  }
};

TEST_F(IconTest, SizesAndDepthsRoundTripWithTheirDirectory) {
  const FrameSpec specs[] = {
      {Kind::BlackWhite, 16, 16, 2, 1},  {Kind::Standard, 32, 32, 4, 4},
      {Kind::Palette, 48, 48, 199, 8},   {Kind::Palette, 33, 7, -1, 8},
      {Kind::Rgb, 24, 24, -1, 24},       {Kind::Rgba, 20, 20, -1, 32},
      {Kind::Standard, 300, 260, -1, 8},  // a colour off the 16-colour table
  };
  AnimationPtr doc = MakeDocument(300, 260);
  for (const FrameSpec& s : specs) AddDrawnFrame(*doc, s);
  std::string path = Path("sizes.ico");
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(path, *doc, options, savetype::Ico, nullptr));
  std::vector<uint8_t> file = Bytes(path);
  ASSERT_GE(file.size(), 6u + 16 * std::size(specs));
  EXPECT_THAT(std::vector<int>({IconLe16(&file[0]), IconLe16(&file[2]), IconLe16(&file[4])}),
              ElementsAre(0, 1, 7));
  uint64_t offset = 6 + 16 * std::size(specs);
  for (size_t i = 0; i < std::size(specs); ++i) {
    SCOPED_TRACE(i);
    const FrameSpec& s = specs[i];
    const uint8_t* e = &file[6 + 16 * i];
    bool small = s.depth < 8;
    EXPECT_EQ(e[0], std::min<uint32_t>(s.width, 255));
    EXPECT_EQ(e[1], std::min<uint32_t>(s.height, 255));
    EXPECT_EQ(e[2], small ? 1 << s.depth : 0);
    EXPECT_EQ(IconLe16(e + 4), small ? 0 : 1);
    EXPECT_EQ(IconLe16(e + 6), small ? 0 : s.depth);
    EXPECT_EQ(IconLe32(e + 8), IconImageSize(s.depth, s.width, s.height));
    EXPECT_EQ(IconLe32(e + 12), offset);
    EXPECT_EQ(IconLe16(&file[offset + 14]), s.depth);  // the image's own header
    EXPECT_EQ(IconLe32(&file[offset + 8]), 2 * s.height);
    offset += IconLe32(e + 8);
  }
  EXPECT_EQ(file.size(), offset);

  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(path, nullptr, &read, nullptr), ReadComplete);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  EXPECT_EQ(std::tie(read->screenWidth, read->screenHeight),
            std::tie(doc->screenWidth, doc->screenHeight));
  ASSERT_EQ(read->frameCount, doc->frameCount);
  for (int i = 0; i < doc->frameCount; ++i) {
    SCOPED_TRACE(i);
    const Frame& r = *FrameAt(*read, i);
    EXPECT_TRUE(r.localPalette);
    EXPECT_EQ(r.Disposal(), DisposalBackground);
    ExpectSamePixels(r, *FrameAt(*doc, i));
  }
}

TEST_F(IconTest, FramesOfOneSizeAreWrittenTogether) {
  AnimationPtr doc = MakeDocument(32, 32);
  AddDrawnFrame(*doc, {Kind::Palette, 32, 32, -1, 8});
  AddDrawnFrame(*doc, {Kind::Palette, 16, 16, -1, 8});
  AddDrawnFrame(*doc, {Kind::BlackWhite, 32, 32, -1, 1});
  std::string path = Path("grouped.ico");
  ASSERT_TRUE(WriteIconFile(path, *doc, true, nullptr));
  std::vector<uint8_t> file = Bytes(path);
  EXPECT_THAT(std::vector<int>({file[6], file[22], file[38]}), ElementsAre(32, 32, 16));
}

TEST_F(IconTest, FullSixteenColourImageGetsABlackSeventeenthEntryForItsMask) {
  // All 16 standard colours drawn, the mask over one corner.
  AnimationPtr doc = NewAnimation();
  Frame* f = AddDrawnFrame(*doc, {Kind::Standard, 32, 32, 16, 4});
  std::vector<uint8_t> rgb;
  const uint8_t standard[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                   {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                   {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                   {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  for (const auto& c : standard) rgb.insert(rgb.end(), c, c + 3);
  rgb.insert(rgb.end(), {1, 2, 3});
  SetLocalPalette(f, PaletteFromTriples(17, rgb.data()));
  for (uint32_t y = 0; y < 32; ++y)
    for (uint32_t x = 0; x < 32; ++x)
      f->bits()[y * 32 + x] = static_cast<uint8_t>(x < 3 && y < 2 ? 16 : (x + y) % 16);
  UpdateDibColourTable(f);
  RebuildTransparencyMask(f);
  std::string path = Path("full16.ico");
  ASSERT_TRUE(WriteIconFile(path, *doc, true, nullptr));
  EXPECT_EQ(Bytes(path)[2 + 6], 16);  // written at 4 bits

  AnimationPtr read;
  ASSERT_EQ(ReadIconFile(path, nullptr, &read, nullptr), 1);
  const Frame& r = *FirstFrame(*read);
  ASSERT_EQ(r.localPalette->Count(), 17);
  EXPECT_EQ(r.localPalette->entries[16], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_TRUE(r.Transparent());
  EXPECT_EQ(r.transparentIndex, 16);
  ExpectSamePixels(r, *f);
}

TEST_F(IconTest, CursorHotSpotRoundTrips) {
  std::vector<uint8_t> bytes = CursorBytes({Kind::Palette, 32, 32, 5, 8}, 5, 7);
  EXPECT_EQ(IconLe16(&bytes[2]), 2);
  EXPECT_EQ(bytes[6 + 2], 0);  // no colour count for a cursor
  EXPECT_THAT(std::vector<int>({IconLe16(&bytes[10]), IconLe16(&bytes[12])}), ElementsAre(5, 7));
  std::string path = PutBytes("hot.cur", bytes);

  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(path, nullptr, &read, nullptr), ReadComplete);
  const Frame& f = *FirstFrame(*read);
  EXPECT_EQ(std::tie(f.hotspotX, f.hotspotY), std::make_tuple(5, 7));
  std::string again = Path("again.cur");
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(again, *read, options, savetype::Cur, nullptr));
  std::vector<uint8_t> rewritten = Bytes(again);
  ASSERT_EQ(rewritten.size(), bytes.size());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 22, rewritten.begin()));

  // The hot spot chosen when saving becomes the first frame's.
  options.hotspotX = 9;
  options.hotspotY = 30;
  ASSERT_TRUE(WriteAsType(again, *read, options, savetype::Cur, nullptr));
  EXPECT_EQ(std::tie(FirstFrame(*read)->hotspotX, FirstFrame(*read)->hotspotY),
            std::make_tuple(9, 30));
  EXPECT_EQ(IconLe16(&Bytes(again)[10]), 9);
}

TEST_F(IconTest, HotSpotDialogAnswerBecomesTheFirstFramesHotSpot) {
  struct Case {
    int answerX, answerY;  // scripted; x < 0 cancels, none queued when both are 0
    bool result;
    int x, y;
  } cases[] = {{0, 0, true, 4, 0}, {7, 1200, true, 7, 999}, {-1, 0, false, 4, -1}};
  for (const Case& c : cases) {
    AnimationPtr doc = MakeDocument(8, 8);
    AddSolidFrame(*doc, 0, 0, 8, 8, 1);
    FirstFrame(*doc)->hotspotX = 4;
    if (c.answerX != 0 || c.answerY != 0) Headless().QueueHotSpotAnswer(c.answerX, c.answerY);
    EXPECT_EQ(DefineCursorHotSpot(nullptr, *doc), c.result);
    EXPECT_EQ(std::tie(FirstFrame(*doc)->hotspotX, FirstFrame(*doc)->hotspotY), std::tie(c.x, c.y));
  }
  AnimationPtr empty = NewAnimation();
  EXPECT_FALSE(DefineCursorHotSpot(nullptr, *empty));
}

TEST_F(IconTest, ImagesTheDirectoryCannotTellApartAreRefused) {
  AnimationPtr doc = MakeDocument(32, 32);
  AddDrawnFrame(*doc, {Kind::Palette, 32, 32, -1, 8});
  AddDrawnFrame(*doc, {Kind::Palette, 16, 16, -1, 8});
  AddDrawnFrame(*doc, {Kind::Palette, 32, 32, 3, 8});
  std::string path = PutBytes("dup.ico", {'o', 'l', 'd'});
  SaveOptions options;
  EXPECT_FALSE(WriteAsType(path, *doc, options, savetype::Ico, nullptr));
  EXPECT_EQ(Contents(path), "old");
  ASSERT_EQ(Headless().Messages().size(), 1u);
  const ShownMessage m = Headless().Messages()[0];
  EXPECT_EQ(m.caption, "Duplicate Resolutions");
  EXPECT_EQ(m.text, "The following resolutions are duplicated\n\t32 x 32 x bitcount 8");
  EXPECT_EQ(m.style & mb::IconMask, mb::IconExclamation);
}

TEST_F(IconTest, PngStoredImageIsReadThroughThePngReader) {
  AnimationPtr source = NewAnimation();
  Frame* f = AddDrawnFrame(*source, {Kind::Rgba, 256, 256, -1, 32});
  std::string pngPath = Path("entry.png");
  ASSERT_TRUE(WritePng(pngPath, f));
  std::vector<uint8_t> png = Bytes(pngPath);
  std::vector<uint8_t> ico = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0};
  PutIconLe32(&ico, static_cast<uint32_t>(png.size()));
  PutIconLe32(&ico, 22);
  ico.insert(ico.end(), png.begin(), png.end());

  AnimationPtr read;
  ASSERT_EQ(ReadIconFile(PutBytes("vista.ico", ico), nullptr, &read, nullptr), 1);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  EXPECT_EQ(std::tie(read->screenWidth, read->screenHeight), std::make_tuple(256u, 256u));
  ASSERT_EQ(read->frameCount, 1);
  EXPECT_TRUE(FirstFrame(*read)->localPalette);
  ExpectSamePixels(*FirstFrame(*read), *f);
}

// An ANI of the icon chunks given, with its steps' rates and sequence (empty: no chunk).
std::vector<uint8_t> AniBytes(const std::vector<std::vector<uint8_t>>& icons, uint32_t steps,
                              const std::vector<uint32_t>& rates,
                              const std::vector<uint32_t>& sequence, uint32_t flags = 1) {
  std::vector<uint8_t> body = {'A', 'C', 'O', 'N', 'a', 'n', 'i', 'h'};
  PutIconLe32(&body, 36);
  for (uint32_t v : {36u, uint32_t(icons.size()), steps, 0u, 0u, 8u, 1u, 6u, flags})
    PutIconLe32(&body, v);
  auto table = [&](const char* id, const std::vector<uint32_t>& values) {
    if (values.empty()) return;
    body.insert(body.end(), id, id + 4);
    PutIconLe32(&body, static_cast<uint32_t>(4 * values.size()));
    for (uint32_t v : values) PutIconLe32(&body, v);
  };
  table("rate", rates);
  table("seq ", sequence);
  std::vector<uint8_t> list = {'f', 'r', 'a', 'm'};
  for (const auto& icon : icons) {
    list.insert(list.end(), {'i', 'c', 'o', 'n'});
    PutIconLe32(&list, static_cast<uint32_t>(icon.size()));
    list.insert(list.end(), icon.begin(), icon.end());
    if (icon.size() & 1) list.push_back(0);
  }
  body.insert(body.end(), {'L', 'I', 'S', 'T'});
  PutIconLe32(&body, static_cast<uint32_t>(list.size()));
  body.insert(body.end(), list.begin(), list.end());
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
  PutIconLe32(&file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

TEST_F(IconTest, AnimatedCursorStepsFollowRatesAndSequence) {
  std::vector<uint8_t> a = CursorBytes({Kind::Palette, 32, 32, 7, 8}, 3, 4);
  std::vector<uint8_t> b = CursorBytes({Kind::Standard, 16, 24, -1, 4}, 1, 2);
  std::string path = PutBytes("steps.ani", AniBytes({a, b}, 3, {6, 12, 6}, {0, 1, 0}));
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(path, nullptr, &read, nullptr), ReadComplete);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  EXPECT_EQ(std::tie(read->screenWidth, read->screenHeight), std::make_tuple(32u, 32u));
  std::vector<std::tuple<uint32_t, uint32_t, int32_t>> steps;
  for (Frame* f = FirstFrame(*read); f; f = NextFrame(f))
    steps.emplace_back(f->delay, f->width, f->hotspotX);
  EXPECT_THAT(steps, ElementsAre(std::make_tuple(10u, 32u, 3), std::make_tuple(20u, 16u, 1),
                                 std::make_tuple(10u, 32u, 3)));
  ExpectSamePixels(*FrameAt(*read, 2), *FrameAt(*read, 0));
  EXPECT_NE(FrameAt(*read, 2)->localPalette.get(), FrameAt(*read, 0)->localPalette.get());
}

// Esc while an animated cursor is read keeps the steps read so far as a partial read: the
// document opened from it stays untitled, so Save cannot write the shortened animation over the
// file. Esc on the last step changes nothing: every step was read.
TEST_F(IconTest, EscWhileReadingAnAnimatedCursorLeavesTheDocumentUntitled) {
  std::vector<uint8_t> icon = CursorBytes({Kind::Palette, 32, 32, 7, 8}, 3, 4);
  std::string path = PutBytes("steps.ani", AniBytes({icon}, 3, {6, 6, 6}, {0, 0, 0}));
  struct Case {
    int escAtReport;  // the report of the read at which Esc is pressed (1 = after step 1)
    int frames;
    bool named;
  } cases[] = {{1, 1, false}, {2, 2, false}, {3, 3, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.escAtReport);
    int reports = 0;
    SetProgressReportHookForTests([&] {
      if (++reports == c.escAtReport) ProgressCancel();
    });
    ShellState state;
    bool opened = OpenCommand(state, path);
    SetProgressReportHookForTests(nullptr);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(state.document);
    EXPECT_EQ(state.document->frameCount, c.frames);
    EXPECT_EQ(state.documentPath, c.named ? path : std::string());
    EXPECT_EQ(state.modified, !c.named);
  }
}

TEST_F(IconTest, AnimatedCursorIsWrittenWithRatesInJiffies) {
  AnimationPtr doc = MakeDocument(32, 32);
  const uint32_t delays[] = {15, 1, 100};
  for (uint32_t d : delays) AddDrawnFrame(*doc, {Kind::Palette, 32, 32, 4, 8})->delay = d;
  AddDrawnFrame(*doc, {Kind::Rgba, 20, 10, -1, 32})->delay = 10;
  FirstFrame(*doc)->hotspotX = 6;
  FirstFrame(*doc)->hotspotY = -1;
  std::string path = Path("out.ani");
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(path, *doc, options, savetype::Ani, nullptr));
  std::vector<uint8_t> file = Bytes(path);
  ASSERT_GT(file.size(), 100u);
  EXPECT_EQ(IconLe32(&file[4]), file.size() - 8);
  EXPECT_EQ(std::memcmp(&file[12], "anih", 4), 0);
  EXPECT_THAT(std::vector<uint32_t>({IconLe32(&file[24]), IconLe32(&file[28]), IconLe32(&file[32]),
                                     IconLe32(&file[52])}),
              ElementsAre(4, 4, 32, 1));
  ASSERT_EQ(std::memcmp(&file[56], "rate", 4), 0);
  EXPECT_THAT(std::vector<uint32_t>({IconLe32(&file[64]), IconLe32(&file[68]), IconLe32(&file[72]),
                                     IconLe32(&file[76])}),
              ElementsAre(9, 0, 60, 6));
  // The first icon chunk: a one-image cursor with the first frame's hot spot, size by formula.
  const uint8_t* icon = &file[80 + 20];
  ASSERT_EQ(std::memcmp(icon - 8, "icon", 4), 0);
  EXPECT_EQ(IconLe32(icon - 4), 62 + 4 * 1 * 32 + 1024 + 4 * 8 * 32);
  EXPECT_THAT(std::vector<int>({icon[2], icon[6], icon[8], IconLe16(icon + 10), IconLe16(icon + 12),
                                int(IconLe32(icon + 18))}),
              ElementsAre(2, 32, 255, 6, 0, 22));

  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(path, nullptr, &read, nullptr), ReadComplete);
  ASSERT_EQ(read->frameCount, 4);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(FrameAt(*read, i)->hotspotX, 6);
    ExpectSamePixels(*FrameAt(*read, i), *FrameAt(*doc, i));
  }
  EXPECT_EQ(FrameAt(*read, 2)->delay, 100u);
}

struct Damaged {
  const char* name;
  std::vector<uint8_t> bytes;
  int status;
  const char* message;  // first text shown, or none
};

TEST_F(IconTest, DamagedFilesAreRefusedWithTheirMessage) {
  std::vector<uint8_t> good = CursorBytes({Kind::Palette, 8, 8, -1, 8}, 0, 0);
  auto with = [&](size_t at, std::vector<uint8_t> patch, size_t cut = 0) {
    std::vector<uint8_t> b = good;
    std::copy(patch.begin(), patch.end(), b.begin() + at);
    b.resize(b.size() - cut);
    return b;
  };
  const std::vector<uint8_t> ani = AniBytes({good}, 1, {}, {});
  auto aniWith = [&](size_t at, std::vector<uint8_t> patch) {
    std::vector<uint8_t> b = ani;
    std::copy(patch.begin(), patch.end(), b.begin() + at);
    return b;
  };
  const char* kTrouble = "Trouble reading icon data.";
  const char* kAni = "Erreur de lecture du curseur animé. Le fichier semble corrompu.";
  const Damaged cases[] = {
      {"short.ico", {0, 0, 1}, 0, "error reading ICON header"},
      {"type.ico", with(2, {3}), 0, "Res type not an ICON/CURSOR"},
      {"reserved.ico", with(0, {1}), 0, "Res type not an ICON/CURSOR"},
      {"dir.ico",
       {0, 0, 1, 0, 2, 0, 8, 8, 0, 0, 1, 0, 8, 0, 9, 9, 9, 9, 9, 9, 9, 9},
       0,
       "error reading IconRes blocks"},
      {"empty.ico", {0, 0, 1, 0, 0, 0}, 0, kTrouble},
      {"offset.ico", with(18, {0xFF, 0xFF, 0xFF, 0x7F}), 0, kTrouble},
      {"huge.ico", with(22 + 4, {0, 0, 0, 0x10, 0, 0, 0, 0x20}), 0, kTrouble},
      {"negative.ico", with(22 + 8, {0xF0, 0xFF, 0xFF, 0xFF}), 0, kTrouble},
      {"colours.ico", with(22 + 32, {0, 0, 1, 0}), 0, kTrouble},
      {"nomask.ico", with(0, {0}, 32), 1, kTrouble},  // mask cut off: read without it
      {"size.ico", with(14, {0xFF, 0xFF, 0xFF, 0xFF}), 1, kTrouble},
      {"riff.ani", aniWith(0, {'R', 'I', 'F', 'X'}), 0, kAni},
      {"flags.ani", aniWith(52, {0}), 0, kAni},
      {"frames.ani", aniWith(24, {0}), 0, kAni},
      {"steps.ani", aniWith(28, {0x50, 0xC3}), 0, kAni},
      {"chunk.ani", aniWith(16, {0xFF, 0xFF, 0xFF, 0x0F}), 0, kAni},
      {"seq.ani", AniBytes({good}, 2, {}, {0, 1}), 0, kAni},
      {"icon.ani", AniBytes({{0, 0, 2, 0}}, 1, {}, {}), 0, kAni},
      {"ok.ani", AniBytes({good}, 0, {}, {}), 1, nullptr},
  };
  for (const Damaged& c : cases) {
    SCOPED_TRACE(c.name);
    Headless().Reset();
    AnimationPtr read;
    EXPECT_EQ(ReadAnyFile(PutBytes(c.name, c.bytes), nullptr, &read, nullptr), c.status);
    EXPECT_EQ(read != nullptr, c.status != 0);
    std::vector<std::string> texts = ShownTexts();
    if (c.message) {
      ASSERT_FALSE(texts.empty());
      EXPECT_EQ(texts[0], c.message);
    } else {
      EXPECT_THAT(texts, IsEmpty());
    }
  }
}

}  // namespace
}  // namespace lw::test
