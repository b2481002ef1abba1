// ICO, CUR and ANI files: round trips of every depth, cursor hot spots, animated-cursor steps and
// rates, PNG-stored images, damaged files. ImageMagick checks the pixels both ways elsewhere.
#include <gmock/gmock.h>

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

void ExpectSamePixels(const Frame& read, const Frame& written) {
  ASSERT_EQ(std::tie(read.width, read.height), std::tie(written.width, written.height));
  for (uint32_t y = 0; y < written.height; ++y)
    for (uint32_t x = 0; x < written.width; ++x)
      ASSERT_EQ(ShownColour(read, x, y), ShownColour(written, x, y)) << x << "," << y;
}

// A w x h frame of its own palette of the given colours, index 0 transparent when asked (a
// corner shows it); with a 24-bit plane and alpha, clear in a corner, when rgba. Two colours are
// black and white, up to 16 the standard ones: the writer's 1- and 4-bit images.
Frame* IconFrame(Animation& a, uint32_t w, uint32_t h, int colours, bool transparent,
                 bool rgba = false) {
  std::vector<uint8_t> rgb = {0,   0, 0,   128, 0,   0,   0,   128, 0,   128, 128, 0,
                              0,   0, 128, 128, 0,   128, 0,   128, 128, 192, 192, 192,
                              128, 128, 128, 255, 0, 0, 0,   255, 0,   255, 255, 0,
                              0,   0, 255, 255, 0,   255, 0,   255, 255, 255, 255, 255};
  if (colours == 2) rgb = {0, 0, 0, 255, 255, 255};
  for (int i = 16; i < colours; ++i) rgb.insert(rgb.end(), {uint8_t(i), uint8_t(255 - i), 77});
  Frame* f = AddDrawnFrame(a, 0, 0, w, h, [&](uint32_t x, uint32_t y) {
    return transparent && x < 3 && y < 2 ? 0 : 1 + (x * 7 + y * 3) % (colours - 1);
  });
  GiveLocalPalette(f, PaletteFromTriples(colours, rgb.data()));
  SetTransparentIndex(f, 0);
  SetTransparency(f, transparent);
  if (rgba) {
    std::vector<uint8_t> plane(RgbStride(w) * h), alpha(IndexStride(w) * h, 255);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t* p = &plane[y * RgbStride(w) + 3 * x];
        p[0] = static_cast<uint8_t>(40 * (x % 3)), p[1] = static_cast<uint8_t>(90 + 50 * (y % 2));
        p[2] = 250;
        if (x + y < 3) alpha[y * IndexStride(w) + x] = 0;
      }
    SetRgbPlane(f, std::move(plane));
    SetAlphaPlane(f, std::move(alpha));
  }
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
  // The bytes of a one-frame 8-bit cursor written by the program.
  std::vector<uint8_t> CursorBytes(uint32_t w, uint32_t h, int hotX, int hotY) {
    AnimationPtr a = NewAnimation();
    Frame* f = IconFrame(*a, w, h, 200, true);
    f->hotspotX = hotX;
    f->hotspotY = hotY;
    EXPECT_TRUE(WriteIconFile(Path("one.cur"), *a, false, nullptr));
    return Bytes(Path("one.cur"));
  }
};

// Every depth with its transparency (the mask, or alpha); frames of one size go together.
TEST_F(IconTest, DepthsRoundTripAndSizesGoTogether) {
  AnimationPtr doc = MakeDocument(300, 260);
  IconFrame(*doc, 16, 16, 2, true);    // 1 bit
  IconFrame(*doc, 32, 32, 5, true);    // 4 bits
  IconFrame(*doc, 48, 48, 200, true);  // 8 bits
  IconFrame(*doc, 16, 16, 200, false);
  IconFrame(*doc, 20, 20, 200, false, true);  // 32 bits
  IconFrame(*doc, 300, 260, 5, false);        // wider than a directory byte holds
  ASSERT_TRUE(WriteIconFile(Path("sizes.ico"), *doc, true, nullptr));
  std::vector<uint8_t> file = Bytes(Path("sizes.ico"));
  ASSERT_GT(file.size(), 6u + 16 * 6);
  std::vector<int> widths;
  for (int i = 0; i < 6; ++i) widths.push_back(file[6 + 16 * i]);
  EXPECT_THAT(widths, ElementsAre(16, 16, 32, 48, 20, 255));

  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(Path("sizes.ico"), nullptr, &read, nullptr), ReadComplete);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  EXPECT_EQ(std::tie(read->screenWidth, read->screenHeight), std::make_tuple(300u, 260u));
  ASSERT_EQ(read->frameCount, 6);
  const int order[] = {0, 3, 1, 2, 4, 5};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(FrameAt(*read, i)->Disposal(), DisposalBackground);
    ExpectSamePixels(*FrameAt(*read, i), *FrameAt(*doc, order[i]));
  }
}

// All 16 colours of a 4-bit image in use: the mask's pixels get a black seventeenth entry.
TEST_F(IconTest, FullSixteenColourImageGetsABlackSeventeenthEntryForItsMask) {
  AnimationPtr doc = NewAnimation();
  Frame* f = IconFrame(*doc, 32, 32, 17, false);
  for (uint32_t y = 0; y < 32; ++y)
    for (uint32_t x = 0; x < 32; ++x)
      f->bits()[y * 32 + x] = static_cast<uint8_t>(x < 3 && y < 2 ? 16 : (x + y) % 16);
  SetTransparentIndex(f, 16);
  SetTransparency(f, true);
  UpdateDibColourTable(f);
  ASSERT_TRUE(WriteIconFile(Path("full16.ico"), *doc, true, nullptr));
  EXPECT_EQ(Bytes(Path("full16.ico"))[2 + 6], 16);  // written at 4 bits
  AnimationPtr read;
  ASSERT_EQ(ReadIconFile(Path("full16.ico"), nullptr, &read, nullptr), 1);
  const Frame& r = *FirstFrame(*read);
  ASSERT_EQ(r.localPalette->Count(), 17);
  EXPECT_EQ(r.localPalette->entries[16], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(r.transparentIndex, 16);
  ExpectSamePixels(r, *f);
}

TEST_F(IconTest, CursorHotSpotRoundTripsAndTheSavedOneWins) {
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(PutBytes("hot.cur", CursorBytes(32, 32, 5, 7)), nullptr, &read, nullptr),
            ReadComplete);
  EXPECT_EQ(std::tie(FirstFrame(*read)->hotspotX, FirstFrame(*read)->hotspotY),
            std::make_tuple(5, 7));
  SaveOptions options;
  options.hotspotX = 9;
  options.hotspotY = 30;
  ASSERT_TRUE(WriteAsType(Path("again.cur"), *read, options, savetype::Cur, nullptr));
  ASSERT_EQ(ReadAnyFile(Path("again.cur"), nullptr, &read, nullptr), ReadComplete);
  EXPECT_EQ(std::tie(FirstFrame(*read)->hotspotX, FirstFrame(*read)->hotspotY),
            std::make_tuple(9, 30));
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
  IconFrame(*doc, 32, 32, 200, false);
  IconFrame(*doc, 16, 16, 200, false);
  IconFrame(*doc, 32, 32, 200, true);
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
  Frame* f = IconFrame(*source, 256, 256, 200, false, true);
  ASSERT_TRUE(WritePng(Path("entry.png"), f));
  std::vector<uint8_t> png = Bytes(Path("entry.png"));
  std::vector<uint8_t> ico = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0};
  PutIconLe32(&ico, static_cast<uint32_t>(png.size()));
  PutIconLe32(&ico, 22);
  ico.insert(ico.end(), png.begin(), png.end());
  AnimationPtr read;
  ASSERT_EQ(ReadIconFile(PutBytes("vista.ico", ico), nullptr, &read, nullptr), 1);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  ASSERT_EQ(read->frameCount, 1);
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

// Steps follow the rate and sequence chunks; what the program writes reads back with its delays
// (rates in jiffies) and the first frame's hot spot on every step.
TEST_F(IconTest, AnimatedCursorStepsAndRates) {
  std::vector<uint8_t> a = CursorBytes(32, 32, 3, 4), b = CursorBytes(16, 24, 1, 2);
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(PutBytes("steps.ani", AniBytes({a, b}, 3, {6, 12, 6}, {0, 1, 0})),
                        nullptr, &read, nullptr),
            ReadComplete);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  std::vector<std::tuple<uint32_t, uint32_t, int32_t>> got;
  for (Frame* f = FirstFrame(*read); f; f = NextFrame(f))
    got.emplace_back(f->delay, f->width, f->hotspotX);
  EXPECT_THAT(got, ElementsAre(std::make_tuple(10u, 32u, 3), std::make_tuple(20u, 16u, 1),
                               std::make_tuple(10u, 32u, 3)));
  EXPECT_NE(FrameAt(*read, 2)->localPalette.get(), FrameAt(*read, 0)->localPalette.get());

  AnimationPtr doc = MakeDocument(32, 32);
  for (uint32_t d : {15u, 1u, 100u}) IconFrame(*doc, 32, 32, 200, true)->delay = d;
  IconFrame(*doc, 20, 10, 200, false, true)->delay = 10;
  FirstFrame(*doc)->hotspotX = 6;
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(Path("out.ani"), *doc, options, savetype::Ani, nullptr));
  std::vector<uint8_t> file = Bytes(Path("out.ani"));
  ASSERT_GT(file.size(), 80u);
  ASSERT_EQ(std::string(file.begin() + 56, file.begin() + 60), "rate");
  EXPECT_THAT(std::vector<uint32_t>({IconLe32(&file[64]), IconLe32(&file[68]),
                                     IconLe32(&file[72]), IconLe32(&file[76])}),
              ElementsAre(9, 0, 60, 6));
  ASSERT_EQ(ReadAnyFile(Path("out.ani"), nullptr, &read, nullptr), ReadComplete);
  ASSERT_EQ(read->frameCount, 4);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(FrameAt(*read, i)->hotspotX, 6);
    ExpectSamePixels(*FrameAt(*read, i), *FrameAt(*doc, i));
  }
}

// Esc while an animated cursor is read keeps the steps read so far as a partial read: the
// document opened from it stays untitled, so Save cannot write the shortened animation over the
// file. Esc on the last step changes nothing: every step was read.
TEST_F(IconTest, EscWhileReadingAnAnimatedCursorLeavesTheDocumentUntitled) {
  std::vector<uint8_t> icon = CursorBytes(32, 32, 3, 4);
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

struct Damaged {
  const char* name;
  std::vector<uint8_t> bytes;
  int status;
  const char* message;  // first text shown, or none
};

TEST_F(IconTest, DamagedFilesAreRefusedWithTheirMessage) {
  std::vector<uint8_t> good = CursorBytes(8, 8, 0, 0);
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
