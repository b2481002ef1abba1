// ICO, CUR and ANI files: the 1- and 4-bit images of the standard colours, sizes grouped, cursor
// hot spots, animated-cursor steps and rates, PNG-stored images, damaged files. ImageMagick checks
// the pixels of every depth both ways in still_magick_test.cpp.
#include <gmock/gmock.h>

#include "base/progress.h"
#include "flow_fixture.h"
#include "formats/ani/ani_format.h"
#include "formats/common/icon_image.h"
#include "formats/common/png_codec.h"
#include "formats/ico/ico_format.h"
#include "formats/open_flow.h"
#include "support/bytes.h"

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

// A w x h frame of its own palette, index 0 transparent in a corner when asked, with a 24-bit
// plane and alpha when rgba. Two colours are black and white, up to 16 the standard ones: what
// the writer stores in 1 and 4 bits.
Frame* IconFrame(Animation& a, uint32_t w, uint32_t h, int colours, bool transparent,
                 bool rgba = false) {
  std::vector<uint8_t> rgb = {0,   0,   0,   128, 0, 0,   0, 128, 0,   128, 128, 0,
                              0,   0,   128, 128, 0, 128, 0, 128, 128, 192, 192, 192,
                              128, 128, 128, 255, 0, 0,   0, 255, 0,   255, 255, 0,
                              0,   0,   255, 255, 0, 255, 0, 255, 255, 255, 255, 255};
  if (colours == 2) rgb = {0, 0, 0, 255, 255, 255};
  for (int i = 16; i < colours; ++i) rgb.insert(rgb.end(), {uint8_t(i), uint8_t(255 - i), 77});
  Frame* f = AddDrawnFrame(a, 0, 0, w, h, [&](uint32_t x, uint32_t y) {
    return transparent && x < 3 && y < 2 ? 0 : 1 + (x * 7 + y * 3) % (colours - 1);
  });
  GiveLocalPalette(f, PaletteFromTriples(colours, rgb.data()));
  SetTransparentIndex(f, 0);
  SetTransparency(f, transparent);
  if (rgba) {  // colours of their own, the first three pixels clear
    std::vector<uint8_t> plane(RgbStride(w) * h), alpha(IndexStride(w) * h, 255);
    for (size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<uint8_t>(i * 37 + i / 7);
    std::fill_n(alpha.begin(), std::min(w, 3u), 0);
    SetRgbPlane(f, std::move(plane));
    SetAlphaPlane(f, std::move(alpha));
  }
  return f;
}

class IconTest : public FlowTest {
 protected:
  void SetUp() override {
    FlowTest::SetUp();
    Flows().read.keepTrueColour = true;
    Flows().paletteFit.keepTrueColour = true;
  }
  std::string PutBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    Put(Path(name), std::string(bytes.begin(), bytes.end()));
    return Path(name);
  }
  // A one-frame 8-bit cursor written by the program.
  std::vector<uint8_t> CursorBytes(uint32_t w, uint32_t h, int hotX, int hotY) {
    AnimationPtr a = NewAnimation();
    Frame* f = IconFrame(*a, w, h, 200, true);
    f->hotspotX = hotX, f->hotspotY = hotY;
    EXPECT_TRUE(WriteIconFile(Path("one.cur"), *a, false, nullptr));
    const std::string s = Contents(Path("one.cur"));
    return {s.begin(), s.end()};
  }
};

// 1, 4, 8 and 32 bits with their transparency; frames of one size go together.
TEST_F(IconTest, DepthsRoundTripAndSizesGoTogether) {
  AnimationPtr doc = MakeDocument(300, 260);
  IconFrame(*doc, 16, 16, 2, true);
  IconFrame(*doc, 32, 32, 5, true);
  IconFrame(*doc, 48, 48, 200, true);
  IconFrame(*doc, 16, 16, 200, false);
  IconFrame(*doc, 20, 20, 200, false, true);
  IconFrame(*doc, 300, 260, 5, false);  // wider than a directory byte holds
  ASSERT_TRUE(WriteIconFile(Path("sizes.ico"), *doc, true, nullptr));
  const std::string file = Contents(Path("sizes.ico"));
  ASSERT_GT(file.size(), 6u + 16 * 6);
  std::vector<int> widths;
  for (int i = 0; i < 6; ++i) widths.push_back(uint8_t(file[6 + 16 * i]));
  EXPECT_THAT(widths, ElementsAre(16, 16, 32, 48, 20, 255));
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(Path("sizes.ico"), Flows().read, nullptr, &read, nullptr), ReadComplete);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  EXPECT_EQ(std::tie(read->screenWidth, read->screenHeight), std::tuple(300u, 260u));
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
  for (uint32_t i = 0; i < 32 * 32; ++i)
    f->bits()[i] = static_cast<uint8_t>(i % 32 < 3 && i < 64 ? 16 : (i % 32 + i / 32) % 16);
  SetTransparentIndex(f, 16);
  SetTransparency(f, true);
  UpdateDibColourTable(f);
  ASSERT_TRUE(WriteIconFile(Path("full16.ico"), *doc, true, nullptr));
  EXPECT_EQ(Contents(Path("full16.ico"))[2 + 6], 16);  // written at 4 bits
  AnimationPtr read;
  ASSERT_EQ(ReadIconFile(Path("full16.ico"), Flows().read, nullptr, &read, nullptr), 1);
  const Frame& r = *FirstFrame(*read);
  ASSERT_EQ(r.localPalette->Count(), 17);
  EXPECT_EQ(r.localPalette->entries[16], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(r.transparentIndex, 16);
  ExpectSamePixels(r, *f);
}

// A cursor's hot spot reads back, the one given at saving wins, and the hot-spot question sets
// the first frame's, within 0 to 999.
TEST_F(IconTest, CursorHotSpots) {
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(PutBytes("hot.cur", CursorBytes(32, 32, 5, 7)), Flows().read, nullptr,
                        &read, nullptr),
            ReadComplete);
  EXPECT_EQ(std::tie(FirstFrame(*read)->hotspotX, FirstFrame(*read)->hotspotY), std::tuple(5, 7));
  SaveOptions options;
  options.formatOptions = CursorSaveOptions{9, 30};
  ASSERT_TRUE(WriteAsType(Path("again.cur"), *read, options, savetype::Cur, nullptr));
  ASSERT_EQ(ReadAnyFile(Path("again.cur"), Flows().read, nullptr, &read, nullptr), ReadComplete);
  EXPECT_EQ(std::tie(FirstFrame(*read)->hotspotX, FirstFrame(*read)->hotspotY), std::tuple(9, 30));
  Headless().QueueHotSpotAnswer(7, 1200);
  EXPECT_TRUE(DefineCursorHotSpot(nullptr, *read));
  EXPECT_EQ(std::tie(FirstFrame(*read)->hotspotX, FirstFrame(*read)->hotspotY), std::tuple(7, 999));
  EXPECT_FALSE(DefineCursorHotSpot(nullptr, *NewAnimation()));
}

TEST_F(IconTest, ImagesTheDirectoryCannotTellApartAreRefused) {
  AnimationPtr doc = MakeDocument(32, 32);
  IconFrame(*doc, 32, 32, 200, false);
  IconFrame(*doc, 16, 16, 200, false);
  IconFrame(*doc, 32, 32, 200, true);
  const std::string path = PutBytes("dup.ico", {'o', 'l', 'd'});
  SaveOptions options;
  EXPECT_FALSE(WriteAsType(path, *doc, options, savetype::Ico, nullptr));
  EXPECT_EQ(Contents(path), "old");
  ASSERT_EQ(Headless().Messages().size(), 1u);
  const ShownMessage m = Headless().Messages()[0];
  EXPECT_EQ(std::tie(m.caption, m.text),
            std::tuple("Duplicate Resolutions",
                       "The following resolutions are duplicated\n\t32 x 32 x bitcount 8"));
  EXPECT_EQ(m.style & mb::IconMask, mb::IconExclamation);
}

TEST_F(IconTest, PngStoredImageIsReadThroughThePngReader) {
  AnimationPtr source = NewAnimation();
  Frame* f = IconFrame(*source, 256, 256, 200, false, true);
  ASSERT_TRUE(WritePng(Path("entry.png"), f));
  const std::string png = Contents(Path("entry.png"));
  Bytes ico;
  ico.Le16(0).Le16(1).Le16(1).U8(0).U8(0).U8(0).U8(0).Le16(1).Le16(32).Le32(png.size()).Le32(22);
  AnimationPtr read;
  ASSERT_EQ(
      ReadIconFile(PutBytes("vista.ico", ico.Text(png)), Flows().read, nullptr, &read, nullptr), 1);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  ASSERT_EQ(read->frameCount, 1);
  ExpectSamePixels(*FirstFrame(*read), *f);
}

// An ANI of the icon chunks given, with its steps' rates and sequence (empty: no chunk).
std::vector<uint8_t> AniBytes(const std::vector<std::vector<uint8_t>>& icons, uint32_t steps,
                              const std::vector<uint32_t>& rates,
                              const std::vector<uint32_t>& sequence, uint32_t flags = 1) {
  Bytes body;
  body.Text("ACONanih").Le32(36);
  for (uint32_t v : {36u, uint32_t(icons.size()), steps, 0u, 0u, 8u, 1u, 6u, flags}) body.Le32(v);
  const std::pair<const char*, const std::vector<uint32_t>*> tables[] = {{"rate", &rates},
                                                                         {"seq ", &sequence}};
  for (const auto& [id, values] : tables) {
    if (values->empty()) continue;
    body.Text(id).Le32(4 * values->size());
    for (uint32_t v : *values) body.Le32(v);
  }
  Bytes list;
  list.Text("fram");
  for (const auto& icon : icons)
    list.Text("icon").Le32(icon.size()).Raw(icon).Fill(icon.size() & 1);
  body.Text("LIST").Le32(list.size()).Raw(list);
  return Bytes().Text("RIFF").Le32(body.size()).Raw(body).data();
}

// Steps follow the rate and sequence chunks; the program writes rates in jiffies and the first
// frame's hot spot on every step (its pixels and delays come back in format_roundtrip_test.cpp).
TEST_F(IconTest, AnimatedCursorStepsAndRates) {
  const std::vector<uint8_t> a = CursorBytes(32, 32, 3, 4), b = CursorBytes(16, 24, 1, 2);
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(PutBytes("steps.ani", AniBytes({a, b}, 3, {6, 12, 6}, {0, 1, 0})),
                        Flows().read, nullptr, &read, nullptr),
            ReadComplete);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  std::vector<std::tuple<uint32_t, uint32_t, int32_t>> steps;
  for (Frame* f = FirstFrame(*read); f; f = NextFrame(f))
    steps.emplace_back(f->delay, f->width, f->hotspotX);
  EXPECT_THAT(steps, ElementsAre(std::tuple(10u, 32u, 3), std::tuple(20u, 16u, 1),
                                 std::tuple(10u, 32u, 3)));
  EXPECT_NE(FrameAt(*read, 2)->localPalette.get(), FrameAt(*read, 0)->localPalette.get());

  AnimationPtr doc = MakeDocument(32, 32);
  for (uint32_t d : {15u, 1u, 100u, 10u}) IconFrame(*doc, 32, 32, 200, true)->delay = d;
  FirstFrame(*doc)->hotspotX = 6;
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(Path("out.ani"), *doc, options, savetype::Ani, nullptr));
  const std::string file = Contents(Path("out.ani"));
  const size_t rate = file.find("rate");
  ASSERT_LT(rate + 24, file.size());
  std::vector<uint32_t> chunk;  // its size, then the rates in jiffies
  for (size_t at = rate + 4; at < rate + 24; at += 4)
    chunk.push_back(IconLe32(reinterpret_cast<const uint8_t*>(&file[at])));
  EXPECT_THAT(chunk, ElementsAre(16, 9, 0, 60, 6));
  ASSERT_EQ(ReadAnyFile(Path("out.ani"), Flows().read, nullptr, &read, nullptr), ReadComplete);
  ASSERT_EQ(read->frameCount, 4);
  for (Frame* f = FirstFrame(*read); f; f = NextFrame(f)) EXPECT_EQ(f->hotspotX, 6);
}

// Esc while an animated cursor is read keeps the steps read so far as a partial read, which the
// open flow leaves untitled; Esc on the last step changes nothing.
TEST_F(IconTest, EscWhileReadingAnAnimatedCursorLeavesTheDocumentUntitled) {
  const std::string path =
      PutBytes("steps.ani", AniBytes({CursorBytes(32, 32, 3, 4)}, 3, {6, 6, 6}, {0, 0, 0}));
  for (int escAt : {1, 3}) {  // Esc at the read's report after that step
    SCOPED_TRACE(escAt);
    int reports = 0;
    SetProgressReportHookForTests([&] {
      if (++reports == escAt) ProgressCancel();
    });
    DocumentSession state;
    Use(state);
    const bool opened = OpenCommand(state, path);
    SetProgressReportHookForTests(nullptr);
    ASSERT_TRUE(opened && state.document);
    EXPECT_EQ(state.document->frameCount, escAt);
    EXPECT_EQ(state.documentPath, escAt == 3 ? path : "");
    EXPECT_EQ(state.modified, escAt != 3);
  }
}

TEST_F(IconTest, DamagedFilesAreRefusedWithTheirMessage) {
  const std::vector<uint8_t> good = CursorBytes(8, 8, 0, 0), ani = AniBytes({good}, 1, {}, {});
  auto with = [](std::vector<uint8_t> b, size_t at, std::vector<uint8_t> patch, size_t cut = 0) {
    std::copy(patch.begin(), patch.end(), b.begin() + at);
    b.resize(b.size() - cut);
    return b;
  };
  const char* kTrouble = "Trouble reading icon data.";
  const char* kAni = "Erreur de lecture du curseur animé. Le fichier semble corrompu.";
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int status;
    const char* message;  // first text shown, or none
  } cases[] = {
      {"short.ico", {0, 0, 1}, 0, "error reading ICON header"},
      {"type.ico", with(good, 2, {3}), 0, "Res type not an ICON/CURSOR"},
      {"reserved.ico", with(good, 0, {1}), 0, "Res type not an ICON/CURSOR"},
      {"dir.ico",
       {0, 0, 1, 0, 2, 0, 8, 8, 0, 0, 1, 0, 8, 0, 9, 9, 9, 9, 9, 9, 9, 9},
       0,
       "error reading IconRes blocks"},
      {"empty.ico", {0, 0, 1, 0, 0, 0}, 0, kTrouble},
      {"offset.ico", with(good, 18, {0xFF, 0xFF, 0xFF, 0x7F}), 0, kTrouble},
      {"huge.ico", with(good, 22 + 4, {0, 0, 0, 0x10, 0, 0, 0, 0x20}), 0, kTrouble},
      {"negative.ico", with(good, 22 + 8, {0xF0, 0xFF, 0xFF, 0xFF}), 0, kTrouble},
      {"colours.ico", with(good, 22 + 32, {0, 0, 1, 0}), 0, kTrouble},
      {"nomask.ico", with(good, 0, {0}, 32), 1, kTrouble},  // mask cut off: read without it
      {"size.ico", with(good, 14, {0xFF, 0xFF, 0xFF, 0xFF}), 1, kTrouble},
      {"riff.ani", with(ani, 0, {'R', 'I', 'F', 'X'}), 0, kAni},
      {"flags.ani", with(ani, 52, {0}), 0, kAni},
      {"frames.ani", with(ani, 24, {0}), 0, kAni},
      {"steps.ani", with(ani, 28, {0x50, 0xC3}), 0, kAni},
      {"chunk.ani", with(ani, 16, {0xFF, 0xFF, 0xFF, 0x0F}), 0, kAni},
      {"seq.ani", AniBytes({good}, 2, {}, {0, 1}), 0, kAni},
      {"icon.ani", AniBytes({{0, 0, 2, 0}}, 1, {}, {}), 0, kAni},
      {"ok.ani", AniBytes({good}, 0, {}, {}), 1, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Headless().Reset();
    AnimationPtr read;
    EXPECT_EQ(ReadAnyFile(PutBytes(c.name, c.bytes), Flows().read, nullptr, &read, nullptr),
              c.status);
    EXPECT_EQ(read != nullptr, c.status != 0);
    const std::vector<std::string> texts = ShownTexts();
    EXPECT_EQ(texts.empty() ? std::string() : texts[0], c.message ? c.message : "");
  }
}

}  // namespace
}  // namespace lw::test
