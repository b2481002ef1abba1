// SWF movies read back by the walker of swf_walker.h: header, tags, bitmaps, shapes and the
// display list, and, where FFmpeg is installed, by its SWF demuxer.
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

class SwfTest : public FlowTest {
 protected:
  // Saves through the registry and walks the file; empty tags when it cannot be read whole.
  SwfFileRead SaveAndWalk(Animation& document, const std::string& name = "movie.swf") {
    SaveOptions options;
    EXPECT_TRUE(WriteAsType(Path(name), document, options, savetype::Swf, nullptr));
    std::string bytes = Contents(Path(name));
    SwfFileRead file;
    std::string fault = WalkSwf({bytes.begin(), bytes.end()}, &file);
    EXPECT_EQ(fault, "");
    return file;
  }

  static std::vector<const SwfTagRead*> Tags(const SwfFileRead& file, int code) {
    std::vector<const SwfTagRead*> list;
    for (const SwfTagRead& t : file.tags)
      if (t.code == code) list.push_back(&t);
    return list;
  }
};

uint32_t Opaque(const PaletteEntry& e) { return 0xFF000000u | e.red << 16 | e.green << 8 | e.blue; }

TEST(SwfTiming, StepIsTheDelaysGreatestDivisorAndEveryFrameLastsAtLeastOne) {
  struct Case {
    std::vector<uint32_t> delays;
    uint32_t units;
    uint32_t step;
    uint16_t rate;  // 8.8
    uint32_t frames;
  };
  const Case cases[] = {
      {{10, 10, 20}, 100, 10, 10 << 8, 4},
      {{0, 7}, 100, 1, 100 << 8, 8},   // a delay of 0 still shows once
      {{3, 6}, 100, 3, 33 << 8, 3},    // whole frames per second, as the field is read
      {{200, 400}, 100, 200, 128, 3},  // half a frame per second lives in the fraction byte
      {{5, 10}, 10, 5, 2 << 8, 3},     // delays in tenths of a second
      {{0, 0}, 100, 1, 100 << 8, 2},
  };
  for (const Case& c : cases) {
    AnimationPtr a = MakeDocument(4, 4);
    for (uint32_t d : c.delays) AddSolidFrame(*a, 0, 0, 4, 4, 1)->delay = d;
    SwfTiming t = SwfTimingFor(*a, c.units);
    uint32_t frames = 0;
    for (uint32_t d : c.delays) frames += SwfFrameDuration(d, t.step);
    EXPECT_EQ(t.step, c.step) << c.delays[0];
    EXPECT_EQ(t.frameRate, c.rate) << c.delays[0];
    EXPECT_EQ(frames, c.frames) << c.delays[0];
  }
}

// An opaque frame that stays, a transparent one restoring the background, and a last one.
TEST_F(SwfTest, FramesAreBitmapsPlacedAndRemovedByTheirDisposal) {
  AnimationPtr a = MakeDocument(60, 50);
  std::vector<uint8_t> ramp(60 * 50);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i % 15);
  AddFrame(*a, 0, 0, 60, 50, ramp, DisposalLeave, -1, 10);
  std::vector<uint8_t> spots(50 * 40, 3);
  for (size_t i = 0; i < spots.size(); i += 7) spots[i] = 14;
  AddFrame(*a, 5, 5, 50, 40, spots, DisposalBackground, 14, 20);
  AddFrame(*a, 10, 0, 3, 2, {1, 2, 3, 4, 5, 6}, DisposalPrevious, -1, 10);

  SwfFileRead file = SaveAndWalk(*a);
  EXPECT_EQ(file.version, 4);
  EXPECT_EQ(file.rectBits, 15);
  // The transparent frame's border grows the stage by a pixel each way.
  EXPECT_EQ(file.xMin, 0);
  EXPECT_EQ(file.yMin, 0);
  EXPECT_EQ(file.xMax, 61 * 20);
  EXPECT_EQ(file.yMax, 51 * 20);
  EXPECT_EQ(file.frameRate, 10 << 8);
  EXPECT_EQ(file.frameCount, 4);

  std::string fault;
  // The transparent frame leaves when the next one comes; the last one always stays.
  EXPECT_THAT(DisplayChanges(file, &fault), ElementsAre("+2@1", "+4@2", "", "-4@2 +6@3"));
  EXPECT_EQ(fault, "");

  auto lossless = Tags(file, 20), lossless2 = Tags(file, 36), shapes = Tags(file, 32);
  ASSERT_EQ(lossless.size(), 2u);
  ASSERT_EQ(lossless2.size(), 1u);
  ASSERT_EQ(shapes.size(), 3u);

  // Opaque frames: their palette's colours, pixel for pixel.
  const Palette& palette = *a->globalPalette;
  BitmapRead first;
  ASSERT_EQ(ReadLossless(*lossless[0], &first), "");
  EXPECT_EQ(first.format, 3);
  ASSERT_EQ(first.width, 60u);
  ASSERT_EQ(first.height, 50u);
  for (size_t i = 0; i < ramp.size(); ++i)
    ASSERT_EQ(first.argb[i], Opaque(palette.entries[ramp[i]])) << i;

  // The transparent frame: 52 x 42, clear border and clear transparent index.
  BitmapRead second;
  ASSERT_EQ(ReadLossless(*lossless2[0], &second), "");
  EXPECT_EQ(second.format, 3);
  ASSERT_EQ(second.width, 52u);
  ASSERT_EQ(second.height, 42u);
  for (uint32_t y = 0; y < 42; ++y) {
    for (uint32_t x = 0; x < 52; ++x) {
      bool inside = x >= 1 && x <= 50 && y >= 1 && y <= 40;
      uint8_t index = inside ? spots[(y - 1) * 50 + (x - 1)] : 14;
      uint32_t want = index == 14 ? 0 : Opaque(palette.entries[index]);
      ASSERT_EQ(second.argb[y * 52 + x], want) << x << "," << y;
    }
  }

  // Each shape is its bitmap unscaled at the frame's place, outlined corner to corner.
  struct Place {
    int32_t left, top, right, bottom;
    uint16_t bitmap;
  };
  const Place places[] = {{0, 0, 60, 50, 1}, {4, 4, 56, 46, 3}, {10, 0, 13, 2, 5}};
  for (size_t i = 0; i < 3; ++i) {
    ShapeRead s;
    ASSERT_EQ(ReadShape(*shapes[i], &s), "");
    const Place& p = places[i];
    int32_t x0 = p.left * 20, y0 = p.top * 20, x1 = p.right * 20, y1 = p.bottom * 20;
    EXPECT_EQ(s.bitmapId, p.bitmap);
    EXPECT_EQ(s.fillType, 0x41);
    EXPECT_EQ(s.scaleX, 20 << 16);
    EXPECT_EQ(s.scaleY, 20 << 16);
    EXPECT_EQ(s.translateX, x0);
    EXPECT_EQ(s.translateY, y0);
    EXPECT_EQ((std::vector<int32_t>{s.xMin, s.yMin, s.xMax, s.yMax}),
              (std::vector<int32_t>{x0, y0, x1, y1}));
    EXPECT_THAT(s.path, ElementsAre(std::pair{x0, y0}, std::pair{x1, y0}, std::pair{x1, y1},
                                    std::pair{x0, y1}, std::pair{x0, y0}))
        << i;
  }
}

TEST_F(SwfTest, TrueColourFramesAreAlphaBitmapsOrJpegData) {
  AnimationPtr a = MakeDocument(3, 2);
  // Pixels as blue, green, red with alpha 0, 255 and 128.
  const uint8_t bgr[2][9] = {{10, 20, 30, 40, 50, 60, 200, 100, 50},
                             {1, 2, 3, 255, 255, 255, 0, 0, 255}};
  const uint8_t alpha[2][3] = {{0, 255, 128}, {255, 255, 128}};
  for (int withAlpha = 1; withAlpha >= 0; --withAlpha) {
    Frame* f = AddSolidFrame(*a, 0, 0, 3, 2, 0);
    std::vector<uint8_t> plane(RgbStride(3) * 2), mask(IndexStride(3) * 2);
    for (int y = 0; y < 2; ++y) {
      std::copy(bgr[y], bgr[y] + 9, plane.begin() + static_cast<long>(RgbStride(3) * y));
      std::copy(alpha[y], alpha[y] + 3, mask.begin() + static_cast<long>(IndexStride(3) * y));
    }
    SetRgbPlane(f, plane);
    if (withAlpha) SetAlphaPlane(f, mask);
  }
  SwfFileRead file = SaveAndWalk(*a);
  auto lossless2 = Tags(file, 36), jpeg = Tags(file, 21);
  ASSERT_EQ(lossless2.size(), 1u);
  ASSERT_EQ(jpeg.size(), 1u);

  BitmapRead alphaBitmap;
  ASSERT_EQ(ReadLossless(*lossless2[0], &alphaBitmap), "");
  EXPECT_EQ(alphaBitmap.format, 5);
  // Premultiplied: 50 * 128 / 255 = 25, 100 * 128 / 255 = 50, 200 * 128 / 255 = 100.
  EXPECT_THAT(alphaBitmap.argb, ElementsAre(0x00000000u, 0xFF3C3228u, 0x80193264u, 0xFF030201u,
                                            0xFFFFFFFFu, 0x80800000u));

  // The JPEG data is a whole JPEG file, from its start-of-image marker.
  const std::vector<uint8_t>& body = jpeg[0]->body;
  ASSERT_GT(body.size(), 4u);
  EXPECT_EQ(body[2] << 8 | body[3], 0xFFD8);
}

TEST_F(SwfTest, LargeScreensWidenTheFieldsAndLongEdgesAreSplit) {
  // 4000 pixels are 80000 twips: past 15-bit fields and a single edge record.
  AnimationPtr a = MakeDocument(4000, 2);
  AddSolidFrame(*a, 0, 0, 4000, 2, 1);
  SwfFileRead file = SaveAndWalk(*a);
  EXPECT_EQ(file.rectBits, 18);
  EXPECT_EQ(file.xMax, 80000);
  auto shapes = Tags(file, 32);
  ASSERT_EQ(shapes.size(), 1u);
  ShapeRead s;
  ASSERT_EQ(ReadShape(*shapes[0], &s), "");
  EXPECT_THAT(s.path, ElementsAre(std::pair{0, 0}, std::pair{65535, 0}, std::pair{80000, 0},
                                  std::pair{80000, 40}, std::pair{80000 - 65535, 40},
                                  std::pair{0, 40}, std::pair{0, 0}));
}

TEST_F(SwfTest, FailedWritesLeaveNoFileAndSayWhy) {
  AnimationPtr longOne = MakeDocument(2, 2);
  AddSolidFrame(*longOne, 0, 0, 2, 2, 1)->delay = 1;
  AddSolidFrame(*longOne, 0, 0, 2, 2, 2)->delay = 65535;
  SaveOptions options;
  EXPECT_FALSE(WriteAsType(Path("long.swf"), *longOne, options, savetype::Swf, nullptr));
  EXPECT_THAT(ShownTexts(), ElementsAre(TableText(str::SwfTooManyFrames)));
  EXPECT_FALSE(std::filesystem::exists(Path("long.swf")));

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
  const ToolRun probe = RunTool(
      "ffprobe -v error -count_frames -show_entries stream=width,height,nb_read_frames,"
      "r_frame_rate -of csv=p=0 " + Quoted(Path("movie.swf")));
  ASSERT_EQ(probe.exitCode, 0);
  EXPECT_EQ(probe.output, "8,6,20/1,3\n");
}

}  // namespace
}  // namespace lw::test
