// SWF movies read back by the walker of swf_walker.h (header, tags, bitmaps, shapes and the
// display list) and, where FFmpeg is installed, by its SWF demuxer.
#include <gmock/gmock.h>

#include "base/string_ids.h"
#include "base/strings.h"
#include "flow_fixture.h"
#include "formats/format_registry.h"
#include "formats/swf/swf_format.h"
#include "support/tools.h"
#include "swf_walker.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;
using Point = std::pair<int32_t, int32_t>;

class SwfTest : public FlowTest {
 protected:
  // Saves through the registry and walks the file, which must read whole.
  SwfFile SaveAndWalk(Animation& document) {
    SaveOptions options;
    EXPECT_TRUE(WriteAsType(Path("movie.swf"), document, options, savetype::Swf, nullptr));
    const std::string bytes = Contents(Path("movie.swf"));
    SwfFile file;
    EXPECT_EQ(WalkSwf({bytes.begin(), bytes.end()}, &file), "");
    return file;
  }
};

std::vector<const SwfTag*> Tags(const SwfFile& file, int code) {
  std::vector<const SwfTag*> list;
  for (const SwfTag& t : file.tags)
    if (t.code == code) list.push_back(&t);
  return list;
}

TEST(SwfTiming, StepIsTheDelaysGreatestDivisorAndEveryFrameLastsAtLeastOne) {
  const struct {
    std::vector<uint32_t> delays;
    uint32_t units, step;
    uint16_t rate;  // 8.8
    uint32_t frames;
  } cases[] = {
      {{10, 10, 20}, 100, 10, 10 << 8, 4},
      {{0, 7}, 100, 1, 100 << 8, 8},   // a delay of 0 still shows once
      {{3, 6}, 100, 3, 33 << 8, 3},    // whole frames per second, as the field is read
      {{200, 400}, 100, 200, 128, 3},  // half a frame per second lives in the fraction byte
      {{5, 10}, 10, 5, 2 << 8, 3},     // delays in tenths of a second
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.delays));
    AnimationPtr a = MakeDocument(4, 4);
    for (uint32_t d : c.delays) AddSolidFrame(*a, 0, 0, 4, 4, 1)->delay = d;
    const SwfTiming t = SwfTimingFor(*a, c.units);
    uint32_t frames = 0;
    for (uint32_t d : c.delays) frames += SwfFrameDuration(d, t.step);
    EXPECT_EQ(std::tie(t.step, t.frameRate, frames), std::tie(c.step, c.rate, c.frames));
  }
}

// The bitmap shows the frame's colours, clear where it is transparent, inside a clear border.
void ExpectShows(const SwfBitmap& b, const Frame& f, uint32_t border) {
  ASSERT_EQ(b.format, 3);
  ASSERT_EQ(std::tie(b.width, b.height), std::tuple(f.width + 2 * border, f.height + 2 * border));
  for (uint32_t y = 0; y < b.height; ++y)
    for (uint32_t x = 0; x < b.width; ++x) {
      const bool inside =
          x >= border && y >= border && x - border < f.width && y - border < f.height;
      const int64_t c = inside ? ShownColour(f, x - border, y - border) : -1;
      ASSERT_EQ(b.argb[y * b.width + x], c < 0 ? 0u : 0xFF000000u | static_cast<uint32_t>(c))
          << x << "," << y;
    }
}

// An opaque frame that stays, a transparent one restoring the background, and a last one.
TEST_F(SwfTest, FramesAreBitmapsPlacedAndRemovedByTheirDisposal) {
  AnimationPtr a = MakeDocument(60, 50);
  AddDrawnFrame(
      *a, 0, 0, 60, 50, [](uint32_t x, uint32_t y) { return (x + 60 * y) % 15; }, DisposalLeave, -1,
      10);
  AddDrawnFrame(
      *a, 5, 5, 50, 40, [](uint32_t x, uint32_t y) { return (x + y) % 7 ? 3 : 14; },
      DisposalBackground, 14, 20);
  AddFrame(*a, 10, 0, 3, 2, {1, 2, 3, 4, 5, 6}, DisposalPrevious, -1, 10);

  const SwfFile file = SaveAndWalk(*a);
  EXPECT_EQ(file.version, 4);
  // The transparent frame's border grows the stage by a pixel each way.
  EXPECT_THAT(file.stage, ElementsAre(0, 61 * 20, 0, 51 * 20));
  EXPECT_EQ(file.frameRate, 10 << 8);
  // The transparent frame leaves when the next one comes; the last one always stays.
  std::string fault;
  EXPECT_THAT(DisplayChanges(file, &fault), ElementsAre(" +2@1", " +4@2", "", " -4@2 +6@3"));
  EXPECT_EQ(fault, "");

  // Opaque frames as DefineBitsLossless, the transparent one with alpha.
  const auto lossless = Tags(file, 20), lossless2 = Tags(file, 36), shapes = Tags(file, 32);
  ASSERT_EQ(lossless.size(), 2u);
  ASSERT_EQ(lossless2.size(), 1u);
  ASSERT_EQ(shapes.size(), 3u);
  SwfBitmap first, second;
  ASSERT_EQ(ReadLossless(*lossless[0], &first), "");
  ExpectShows(first, *FrameAt(*a, 0), 0);
  ASSERT_EQ(ReadLossless(*lossless2[0], &second), "");
  ExpectShows(second, *FrameAt(*a, 1), 1);

  // Each shape is its bitmap unscaled at the frame's place, outlined corner to corner.
  const struct {
    int32_t left, top, right, bottom;
    uint16_t bitmap;
  } places[] = {{0, 0, 60, 50, 1}, {4, 4, 56, 46, 3}, {10, 0, 13, 2, 5}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    SwfShape s;
    ASSERT_EQ(ReadShape(*shapes[i], &s), "");
    const auto& p = places[i];
    const int32_t x0 = p.left * 20, y0 = p.top * 20, x1 = p.right * 20, y1 = p.bottom * 20;
    EXPECT_EQ(s.bitmapId, p.bitmap);
    EXPECT_THAT(s.matrix, ElementsAre(20 << 16, 20 << 16, x0, y0));
    EXPECT_THAT(s.bounds, ElementsAre(x0, x1, y0, y1));
    EXPECT_THAT(s.path, ElementsAre(Point{x0, y0}, Point{x1, y0}, Point{x1, y1}, Point{x0, y1},
                                    Point{x0, y0}));
  }
}

TEST_F(SwfTest, TrueColourFramesAreAlphaBitmapsOrJpegData) {
  AnimationPtr a = MakeDocument(3, 2);
  // Blue, green, red with alpha 0, 255 and 128; then the same without alpha.
  const std::vector<uint8_t> bgr = {10, 20, 30, 40,  50,  60,  200, 100, 50,  0, 0, 0,
                                    1,  2,  3,  255, 255, 255, 0,   0,   255, 0, 0, 0};
  for (bool withAlpha : {true, false}) {
    Frame* f = AddSolidFrame(*a, 0, 0, 3, 2, 0);
    SetRgbPlane(f, bgr);
    if (withAlpha) SetAlphaPlane(f, {0, 255, 128, 0, 255, 255, 128, 0});
  }
  const SwfFile file = SaveAndWalk(*a);
  const auto lossless2 = Tags(file, 36), jpeg = Tags(file, 21);
  ASSERT_EQ(lossless2.size(), 1u);
  ASSERT_EQ(jpeg.size(), 1u);
  SwfBitmap alpha;
  ASSERT_EQ(ReadLossless(*lossless2[0], &alpha), "");
  EXPECT_EQ(alpha.format, 5);
  // Premultiplied: 50 * 128 / 255 = 25, 100 * 128 / 255 = 50, 200 * 128 / 255 = 100.
  EXPECT_THAT(alpha.argb, ElementsAre(0x00000000u, 0xFF3C3228u, 0x80193264u, 0xFF030201u,
                                      0xFFFFFFFFu, 0x80800000u));
  // The JPEG data is a whole JPEG file, from its start-of-image marker.
  ASSERT_GT(jpeg[0]->body.size(), 4u);
  EXPECT_EQ(jpeg[0]->body[2] << 8 | jpeg[0]->body[3], 0xFFD8);
}

TEST_F(SwfTest, LargeScreensWidenTheFieldsAndLongEdgesAreSplit) {
  // 4000 pixels are 80000 twips: past 15-bit fields and a single edge record.
  AnimationPtr a = MakeDocument(4000, 2);
  AddSolidFrame(*a, 0, 0, 4000, 2, 1);
  const SwfFile file = SaveAndWalk(*a);
  EXPECT_EQ(file.stage[1], 80000);
  const auto shapes = Tags(file, 32);
  ASSERT_EQ(shapes.size(), 1u);
  SwfShape s;
  ASSERT_EQ(ReadShape(*shapes[0], &s), "");
  EXPECT_THAT(s.path, ElementsAre(Point{0, 0}, Point{65535, 0}, Point{80000, 0}, Point{80000, 40},
                                  Point{80000 - 65535, 40}, Point{0, 40}, Point{0, 0}));
}

TEST_F(SwfTest, FailedWritesLeaveNoFileAndSayWhy) {
  AnimationPtr longOne = MakeDocument(2, 2);
  AddSolidFrame(*longOne, 0, 0, 2, 2, 1)->delay = 1;
  AddSolidFrame(*longOne, 0, 0, 2, 2, 2)->delay = 65535;
  SaveOptions options;
  EXPECT_FALSE(WriteAsType(Path("long.swf"), *longOne, options, savetype::Swf, nullptr));
  EXPECT_THAT(ShownTexts(), ElementsAre(TableText(str::SwfTooManyFrames)));
  Headless().Reset();
  AnimationPtr broken = MakeDocument(2, 2);
  AddSolidFrame(*broken, 0, 0, 2, 2, 1)->dib.resize(100);  // pixels cut short
  EXPECT_FALSE(WriteAsType(Path("broken.swf"), *broken, options, savetype::Swf, nullptr));
  EXPECT_THAT(ShownTexts(), ElementsAre("Impossible d'écrire " + Path("broken.swf") + "."));
  EXPECT_THAT(FolderNames(), ElementsAre());
}

// FFmpeg's SWF demuxer reads the header and turns every lossless bitmap into a video frame.
TEST_F(SwfTest, FfmpegReadsTheMovie) {
  LW_NEED_TOOL("ffprobe");
  AnimationPtr a = MakeDocument(8, 6);
  for (uint8_t i = 1; i <= 3; ++i) AddSolidFrame(*a, 0, 0, 8, 6, i)->delay = 5;
  SaveAndWalk(*a);
  EXPECT_EQ(Output("ffprobe -v error -count_frames -show_entries stream=width,height,"
                   "nb_read_frames,r_frame_rate -of csv=p=0 " +
                   Quoted(Path("movie.swf"))),
            "8,6,20/1,3\n");
}

}  // namespace
}  // namespace lw::test
