// AVI files: the export timing, the RLE8 coder against FFmpeg's decoder, reading movies made with
// the FFmpeg libraries (dropped frames, palettes, Esc, the picture budget), the saved files as
// ffprobe and our reader see them, audio, the fix for AVI, and damaged files.
#include <gmock/gmock.h>

#include <cstring>
#include <functional>
#include <numeric>
#include <random>

#include "base/progress.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/picture_budget.h"
#include "flow_fixture.h"
#include "formats/avi/avi_fix.h"
#include "formats/avi/avi_format.h"
#include "formats/avi/avi_timing.h"
#include "formats/avi/video_import.h"
#include "formats/open_flow.h"
#include "platform/video_files.h"
#include "support/bytes.h"
#include "support/tools.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The delays the reader gives pictures at these samples (the last lasting until after).
std::vector<uint32_t> ClipDelays(const ClipClock& clock, const std::vector<int64_t>& samples,
                                 int64_t after) {
  std::vector<uint32_t> delays;
  FrameTimeline timeline(clock.MinDelay());
  for (int64_t sample : samples) {
    const int64_t at = clock.StartOf(sample);
    if (at < 0) {
      after = sample;
      break;
    }
    if (timeline.Add(at) == FrameTimeline::Take::NewFrame) delays.push_back(timeline.Delay());
  }
  if (timeline.Finish(clock.EndOf(after))) delays.push_back(timeline.Delay());
  return delays;
}

ClipClock Clock(int64_t scale, int64_t rate, int64_t fpsNum = 0, int64_t fpsDen = 0) {
  ClipClock c;
  c.scale = scale, c.rate = rate, c.ownRateNum = fpsNum, c.ownRateDen = fpsDen;
  return c;
}

// Played back at the stream's scale and rate, the samples give every frame its delay (at least
// one unit) and the stream lasts them all; the last frame is written again only when it spans
// more than one sample.
TEST(AviTiming, TheStreamReplaysTheDelays) {
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint32_t> delays(1 + random() % 6);
    const uint32_t unit = 1 + random() % 12;
    for (uint32_t& d : delays) d = std::max<uint32_t>(unit * (random() % 30), 2);
    SCOPED_TRACE(::testing::PrintToString(delays));
    const AviTiming t = ComputeAviTiming(delays, 0, 100);
    EXPECT_EQ(ClipDelays(Clock(t.scale, t.rate), t.samples, t.length), delays);
    EXPECT_EQ(t.repeatSample >= 0, t.length - t.samples.back() > 1);
  }
  // A fixed rate: 15 frames a second are 6 units a sample, 200 a second less than one unit; every
  // frame keeps a sample of its own.
  EXPECT_THAT(ComputeAviTiming({10, 10, 3}, 150000, 100).samples, ElementsAre(0, 1, 3));
  const AviTiming fast = ComputeAviTiming({4, 4}, 2000000, 100);
  EXPECT_EQ(std::tie(fast.step, fast.length), std::tuple(1u, 8u));
}

// Five seconds of a clip at each common rate, in the time bases MP4 and AVI files use: the
// frames last the five seconds to the hundredth, none less than 2 hundredths; up to 50 frames a
// second every picture is a frame, above it the frames are the pictures shown 50 times a second.
TEST(ClipTiming, EveryRateKeepsTheClipsDuration) {
  const std::pair<int64_t, int64_t> rates[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001},
                                               {30, 1},       {50, 1}, {60, 1}, {120, 1},
                                               {7, 1},        {12, 1}};
  for (auto [num, den] : rates) {
    for (bool avi : {false, true}) {
      SCOPED_TRACE(::testing::Message() << num << "/" << den << (avi ? " AVI" : " MP4"));
      // AVI: one sample a picture; MP4: a 90 kHz clock, pictures at rounded ticks.
      const int64_t scale = avi ? den : 1, rate = avi ? num : 90000;
      const int64_t count = 5 * num / den;
      std::vector<int64_t> samples;
      for (int64_t i = 0; i < count; ++i) samples.push_back(avi ? i : i * 90000 * den / num);
      const int64_t end = avi ? count : count * 90000 * den / num;
      const std::vector<uint32_t> delays = ClipDelays(Clock(scale, rate, num, den), samples, end);
      const double seconds = double(end) * scale / rate;
      EXPECT_NEAR(std::accumulate(delays.begin(), delays.end(), 0u), seconds * 100, 1.0);
      EXPECT_GE(*std::min_element(delays.begin(), delays.end()), 2u);
      EXPECT_EQ(delays.size(), num > 50 * den ? 250u : size_t(count));
    }
  }
}

// A part at a chosen rate: 10 frames a second from 2 s for 3 s of a 30 fps clip are 30 frames of
// 10 hundredths, the first one the picture shown at 2 s; a rate above the clip's keeps its own
// pictures, and a picture the part ends in lasts until its end.
TEST(ClipTiming, APartAtAChosenRate) {
  std::vector<int64_t> samples(300);
  std::iota(samples.begin(), samples.end(), 0);
  ClipClock c = Clock(1, 30, 30, 1);
  c.partStartMs = 2000, c.partLengthMs = 3000, c.fpsMilli = 10000;
  EXPECT_EQ(c.PartStartSample(), 60);
  EXPECT_EQ(c.StartOf(59), 0);
  EXPECT_EQ(c.StartOf(60), 0);
  EXPECT_EQ(c.StartOf(61), 10);
  EXPECT_EQ(c.StartOf(150), -1);
  EXPECT_THAT(ClipDelays(c, samples, 300), ::testing::Each(10u));
  EXPECT_EQ(ClipDelays(c, samples, 300).size(), 30u);
  c.fpsMilli = 120000;  // faster than the clip: its own pictures at their own times
  EXPECT_EQ(ClipDelays(c, samples, 300).size(), 90u);
  c = Clock(1, 10, 10, 1);
  c.partStartMs = 250, c.partLengthMs = 420;
  EXPECT_THAT(ClipDelays(c, samples, 300), ElementsAre(5, 10, 10, 10, 7));
}

// A clip of varying rate keeps the times of its pictures; a picture shown less than 2
// hundredths is left out and the one before lasts its time.
TEST(ClipTiming, VaryingRatesKeepTheirTimes) {
  // Milliseconds: 100 ms pictures, then a burst 5 ms apart, then 40 ms ones.
  const std::vector<int64_t> ms = {0, 100, 200, 203, 206, 209, 240, 280, 320};
  EXPECT_THAT(ClipDelays(Clock(1, 1000, 9, 1), ms, 400), ElementsAre(10, 10, 4, 4, 4, 8));
}

// A movie of width x height pictures, 8 bits over a palette or 24 bits, shown at the samples
// given: runs (kind 0), noise (1) or one value (2).
struct Movie {
  uint32_t width, height;
  bool palettised;
  std::vector<int64_t> samples;
  int kind = 0;
  uint64_t Stride() const { return palettised ? IndexStride(width) : RgbStride(width); }
  // Byte x of row y (top row first) of picture n.
  uint8_t At(uint32_t n, uint32_t x, uint32_t y) const {
    const uint32_t noise = (n * 7919 + x * 104729 + y * 1299709 + width) * 2654435761u >> 24;
    return static_cast<uint8_t>(kind == 0 ? n * 40 + (x / 7) * 3 + y : kind == 1 ? noise : n + 3);
  }
  // Whether rows of the given stride hold picture n.
  bool Shows(uint32_t n, const uint8_t* rows) const {
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < (palettised ? width : 3 * width); ++x)
        if (rows[Stride() * y + x] != At(n, x, y)) return false;
    return true;
  }
};
uint32_t PaletteEntryAt(uint32_t i) { return i << 16 | (255 - i) << 8 | 7; }

// Writes the movie at 15 samples a second through the FFmpeg libraries, raw or as RLE8.
bool WriteMovie(const std::string& path, const Movie& m, uint32_t handler = kHandlerNone) {
  AviVideoSpec layout;
  layout.width = m.width, layout.height = m.height, layout.bitCount = m.palettised ? 8 : 24;
  layout.handler = handler, layout.scale = 1, layout.rate = 15;
  for (uint32_t i = 0; i < 256; ++i) layout.palette.push_back(PaletteEntryAt(i));
  int error = 0;
  auto writer = AviFileWriter::Create(path, layout, &error, nullptr);
  for (uint32_t n = 0; writer && n < m.samples.size(); ++n) {
    std::vector<uint8_t> rows(m.Stride() * m.height);  // bottom row first
    for (uint32_t y = 0; y < m.height; ++y)
      for (uint32_t x = 0; x < (m.palettised ? m.width : 3 * m.width); ++x)
        rows[m.Stride() * (m.height - 1 - y) + x] = m.At(n, x, y);
    if (handler == kHandlerRle8) rows = EncodeRle8(rows.data(), m.width, m.height);
    if (writer->WriteCoded(m.samples[n], rows.data(), rows.size(), true) != 0) return false;
  }
  return writer && writer->Finish() == 0;
}

class AviFiles : public FlowTest {};

// Random movies, 8 bits (raw or RLE8, which FFmpeg decodes) or 24, odd widths padding their rows,
// samples skipped now and then: every picture comes back exactly, and a skipped sample lengthens
// the frame before it.
TEST_F(AviFiles, ReadsEveryPictureTimedByItsSamples) {
  std::mt19937 random(8);
  for (int round = 0; round < 12; ++round) {
    Movie m{round == 1 ? 600 : 1 + uint32_t(random() % 40),
            1 + uint32_t(random() % 12),
            round % 4 != 3,
            {0},
            round % 3};
    while (m.samples.size() < 3) m.samples.push_back(m.samples.back() + 1 + (random() % 3 == 0));
    const uint32_t handler = round % 2 ? kHandlerRle8 : kHandlerNone;
    SCOPED_TRACE(::testing::Message()
                 << m.width << "x" << m.height << " kind " << m.kind
                 << (m.palettised ? handler ? " RLE8" : " 8 bits" : " 24 bits"));
    ASSERT_TRUE(WriteMovie(Path("clip.avi"), m, m.palettised ? handler : kHandlerNone));
    AnimationPtr read;
    ASSERT_EQ(ReadAvi(Path("clip.avi"), Flows().read.timing, nullptr, &read, nullptr), 1);
    EXPECT_THAT(ShownTexts(), IsEmpty());
    ASSERT_EQ(read->frameCount, 3);
    EXPECT_EQ(std::tie(read->screenWidth, read->screenHeight, read->playCount),
              std::tuple(m.width, m.height, 7u));
    for (uint32_t n = 0; n < 3; ++n) {
      const Frame& f = *FrameAt(*read, n);
      // Each picture's start rounded on the running total: 30 fps plays for its real time.
      auto at = [&](uint32_t i) {
        return ((i < 3 ? m.samples[i] : m.samples[2] + 1) * 200 + 15) / 30;
      };
      EXPECT_EQ(f.delay, at(n + 1) - at(n)) << n;
      EXPECT_TRUE(m.palettised
                      ? f.palette == read->globalPalette.get() && m.Shows(n, f.bits()) &&
                            SameRgb(f.palette->entries[200], {200, 55, 7, 0})
                      : f.rgbPlane.size() == m.Stride() * m.height && m.Shows(n, f.rgbPlane.data()))
          << n;
    }
  }
  // Esc keeps the frames read so far.
  ASSERT_TRUE(WriteMovie(Path("clip.avi"), {8, 8, false, {0, 1, 2, 3, 4}, 2}));
  ProgressMeterPtr meter(CreateProgressMeter(nullptr, 0, 0));
  ProgressCancel();
  AnimationPtr read;
  EXPECT_EQ(ReadAvi(Path("clip.avi"), {}, nullptr, &read, meter.get()), 2);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->frameCount, 1);
}

// Clips FFmpeg makes at each common rate, a clip of varying rate (whose last picture lasts as
// long as the file says) and a 30 fps AVI: the frames last as long as ffprobe says the clip
// does, within 10 ms, and none less than 2 hundredths.
TEST_F(AviFiles, ClipsLastTheirOwnTime) {
  if (!HasTool("ffmpeg") || !HasTool("ffprobe")) GTEST_SKIP() << "no ffmpeg";
  const std::string source = "-f lavfi -i testsrc2=size=160x90:rate=";
  const std::pair<std::string, std::string> clips[] = {
      {"23.976", source + "24000/1001 -t 5 -pix_fmt yuv420p"},
      {"24", source + "24 -t 5 -pix_fmt yuv420p"},
      {"25", source + "25 -t 5 -pix_fmt yuv420p"},
      {"29.97", source + "30000/1001 -t 5 -pix_fmt yuv420p"},
      {"30", source + "30 -t 5 -pix_fmt yuv420p"},
      {"50", source + "50 -t 5 -pix_fmt yuv420p"},
      {"60", source + "60 -t 5 -pix_fmt yuv420p"},
      {"120", source + "120 -t 5 -pix_fmt yuv420p"},
      // 30 fps for 2 s, then 10 fps for 3 s.
      {"vfr", source + "30 -t 5 -pix_fmt yuv420p -vf select='lt(t\\,2)+not(mod(n\\,3))' "
                       "-fps_mode vfr"},
      {"avi", source + "30 -t 5 -c:v mjpeg -q:v 5"},
  };
  for (const auto& [name, options] : clips) {
    SCOPED_TRACE(name);
    const std::string path = Path("c-" + name + (name == "avi" ? ".avi" : ".mp4"));
    ASSERT_EQ(RunTool("ffmpeg -v error -y " + options + " " + Quoted(path)).exitCode, 0);
    const double seconds = std::stod(
        Output("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quoted(path)));
    AnimationPtr read;
    ASSERT_EQ(ReadAvi(path, {}, nullptr, &read, nullptr), 1);
    uint32_t total = 0, shortest = UINT32_MAX;
    for (const Frame* f = FirstFrame(*read); f; f = NextFrame(f))
      total += f->delay, shortest = std::min(shortest, f->delay);
    EXPECT_NEAR(total * 10.0, seconds * 1000, 10.0);
    EXPECT_GE(shortest, 2u);
  }
}

// What the import question answers is what is read: the part from the picture shown at its
// start, the rate, the width with the proportions kept. A cancelled question reads nothing,
// says nothing, and stops a run of files without asking about the others.
TEST_F(AviFiles, TheImportChoiceIsWhatIsRead) {
  if (!HasTool("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  const std::string path = Path("clip.mp4");
  ASSERT_EQ(RunTool("ffmpeg -v error -y -f lavfi -i testsrc2=size=160x90:rate=30 -t 4 -pix_fmt "
                    "yuv420p " +
                    Quoted(path))
                .exitCode,
            0);
  AnimationPtr whole, part;
  ASSERT_EQ(ReadAvi(path, {}, nullptr, &whole, nullptr), 1);
  ASSERT_EQ(whole->frameCount, 120);
  VideoPart answer{.startMs = 2000, .lengthMs = 500};
  Headless().videoImport = [&](VideoImportRequest* r) {
    EXPECT_EQ(std::tie(r->width, r->height, r->lengthMs, r->ownFpsMilli),
              std::tuple(160u, 90u, int64_t{4000}, 30000u));
    EXPECT_EQ(r->part, VideoPart());  // the preset: the whole clip at its own rate
    r->part = answer;
    return true;
  };
  ASSERT_EQ(ReadAvi(path, {}, nullptr, &part, nullptr), 1);
  ASSERT_EQ(part->frameCount, 15);
  EXPECT_EQ(FirstFrame(*part)->rgbPlane, FrameAt(*whole, 60)->rgbPlane);
  answer = {.startMs = 1000, .fpsMilli = 10000, .width = 80};
  ASSERT_EQ(ReadAvi(path, {}, nullptr, &part, nullptr), 1);
  EXPECT_EQ(std::tie(part->frameCount, part->screenWidth, part->screenHeight),
            std::tuple(int16_t{30}, 80u, 45u));
  EXPECT_EQ(Headless().videoImports, std::vector<std::string>(3, path));

  // The pictures the dialog shows at its ends.
  VideoImportRequest seen;
  Headless().videoImport = [&](VideoImportRequest* r) {
    seen = *r;
    return false;
  };
  Put(Path("second.mp4"), Contents(path));
  DocumentSession state;
  Use(state);
  EXPECT_EQ(ReadFiles(state, {path, Path("second.mp4")}, false), 0);
  EXPECT_FALSE(state.document);
  EXPECT_THAT(ShownTexts(), IsEmpty());
  EXPECT_EQ(Headless().videoImports.size(), 4u);
  std::vector<uint8_t> bgr;
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(seen.pictureAt(2000, 40, &bgr, &w, &h));
  EXPECT_EQ(std::tie(w, h), std::tuple(40u, 22u));
  EXPECT_EQ(bgr.size(), RgbStride(40) * 22);
}

// Frames past the picture budget are left out, with the memory message, as a partial read.
TEST_F(AviFiles, FramesPastThePictureBudgetAreLeftOut) {
  for (bool palettised : {false, true}) {
    SCOPED_TRACE(palettised ? "8 bits" : "24 bits");
    Headless().Reset();
    ASSERT_TRUE(WriteMovie(Path("long.avi"), {10, 6, palettised, {0, 1, 2, 3, 4, 5}}));
    const uint64_t frame = palettised ? DibBitsOffset + IndexStride(10) * 6 : RgbStride(10) * 6;
    AnimationPtr read;
    const std::pair<uint64_t, int> limits[] = {{6 * frame, 1}, {3 * frame + frame / 2, 2}};
    for (auto [limit, status] : limits) {
      SetPictureBudgetBytes(limit);
      EXPECT_EQ(ReadAvi(Path("long.avi"), {}, nullptr, &read, nullptr), status);
    }
    SetPictureBudgetBytes(0);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->frameCount, 3);
    EXPECT_THAT(ShownTexts(),
                ElementsAre("Manque de mémoire survenue pendant la lecture de données vidéo."));
  }
}

// 8 x 8 frames (multiples of 4, as Video 1 needs) over the ramp palette, delays 10, 20 and 30.
AnimationPtr SmallDocument(bool trueColour) {
  AnimationPtr a = MakeDocument(8, 8);
  for (uint32_t n = 0; n < 3; ++n) {
    Frame* f = AddDrawnFrame(
        *a, 0, 0, 8, 8, [&](uint32_t, uint32_t y) { return (y / 2 + n) % 16; }, DisposalLeave, -1,
        10 * (n + 1));
    if (trueColour) {
      EXPECT_TRUE(AddRgbPlane(f));
    }
  }
  return a;
}

TEST_F(AviFiles, SavedFilesPlayElsewhereWithTheirFramesRateAndPixels) {
  const struct {
    const char* name;
    uint32_t handler;  // 0: uncompressed
    bool trueColour;
    const char* codec;
    int tolerance;
  } cases[] = {
      {"raw8", 0, false, "rawvideo", 0},
      {"raw24", 0, true, "rawvideo", 0},
      {"rle8", kHandlerRle8, false, "msrle", 0},
      {"video1", kHandlerVideo1, false, "msvideo1", 8},
      {"video1-24", kHandlerRle8, true, "msvideo1", 8},  // RLE8 cannot code 24 bits
  };
  const bool probe = HasTool("ffprobe");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AnimationPtr doc = SmallDocument(c.trueColour);
    SaveOptions options;
    AviSettings& avi = options.EditFormatOptions<AviSettings>();
    avi.filled = true;
    avi.compress = c.handler != 0;
    avi.trueColour = c.trueColour;
    avi.compressOptions = c.handler == kHandlerVideo1 ? Video1Options() : Rle8Options();
    const std::string path = Path(std::string(c.name) + ".avi");
    ASSERT_TRUE(WriteAsType(path, *doc, options, savetype::Avi, nullptr));
    EXPECT_THAT(ShownTexts(), IsEmpty());
    // One sample per 10 units, the last frame written again at sample 5 so that the stream lasts
    // 60 units: four pictures.
    if (probe) {
      EXPECT_EQ(Output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                       "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of csv=p=0 " +
                       Quoted(path)),
                std::string(c.codec) + ",8,8,10/1,4\n");
    }
    AnimationPtr read;
    ASSERT_EQ(ReadAvi(path, {}, nullptr, &read, nullptr), 1);
    ASSERT_EQ(read->frameCount, 4);
    const uint32_t delays[] = {10, 20, 20, 10};
    for (int n = 0; n < 4; ++n) {
      EXPECT_EQ(FrameAt(*read, n)->delay, delays[n]) << n;
      for (uint32_t i = 0; i < 64; ++i) {
        const int64_t a = ShownColour(*FrameAt(*read, n), i % 8, i / 8);
        const int64_t b = ShownColour(*FrameAt(*doc, std::min(n, 2)), i % 8, i / 8);
        int off = 0;
        for (int shift : {0, 8, 16}) off += std::abs(int(a >> shift & 255) - int(b >> shift & 255));
        ASSERT_LE(off, 3 * c.tolerance) << n << " at " << i;
      }
    }
  }
  EXPECT_THAT(FolderNames(),
              ElementsAre("raw24.avi", "raw8.avi", "rle8.avi", "video1-24.avi", "video1.avi"));
}

TEST_F(AviFiles, AudioIsInterleavedOrTheSaveRefused) {
  Bytes wav;  // a second of mono 16-bit PCM
  wav.Text("RIFF").Le32(36 + 16000).Text("WAVEfmt ").Le32(16).Le16(1).Le16(1).Le32(8000);
  wav.Le32(16000).Le16(2).Le16(16).Text("data").Le32(16000);
  for (uint32_t i = 0; i < 8000; ++i) wav.Le16((i * 700) & 0xFFFF);
  Put(Path("sound.wav"), wav.str());
  ASSERT_TRUE(WriteMovie(Path("silent.avi"), {4, 4, false, {0, 1}, 2}));
  for (const std::string& audio : {Path("sound.wav"), Path("silent.avi")}) {
    SCOPED_TRACE(audio);
    Headless().Reset();
    const bool sound = HasAudioStream(audio);
    EXPECT_EQ(sound, audio.ends_with(".wav"));
    AnimationPtr doc = SmallDocument(false), read;
    SaveOptions options;
    AviSettings& avi = options.EditFormatOptions<AviSettings>();
    avi.filled = avi.withAudio = true;
    avi.audioPath = audio;
    Put(Path("with-sound.avi"), "old");
    EXPECT_EQ(WriteAsType(Path("with-sound.avi"), *doc, options, savetype::Avi, nullptr), sound);
    EXPECT_EQ(HasAudioStream(Path("with-sound.avi")), sound);
    EXPECT_EQ(ReadAvi(Path("with-sound.avi"), {}, nullptr, &read, nullptr), sound ? 1 : 0);
    if (!sound) {
      EXPECT_EQ(Contents(Path("with-sound.avi")), "old");
      EXPECT_EQ(ShownTexts().at(0), TableText(str::AviNoAudioWhileInterleaving));
    }
  }
}

TEST_F(AviFiles, DamagedFilesGiveAMessageAndNoDocument) {
  ASSERT_TRUE(WriteMovie(Path("good.avi"), {16, 16, true, {0, 1, 2, 3}, 1}, kHandlerRle8));
  const std::string bytes = Contents(Path("good.avi"));
  const size_t strf = bytes.find("strf"), strh = bytes.find("strh");
  ASSERT_NE(strf, std::string::npos);
  std::string badWidth = bytes, badCodec = bytes;
  badWidth.replace(strf + 12, 4, "\xff\xff\xff\x7f");  // biWidth
  badCodec.replace(strf + 24, 4, "ZZZZ").replace(strh + 12, 4, "ZZZZ");
  const std::string cases[] = {
      "",       "RIFF",   bytes.substr(0, 200),    bytes.substr(0, bytes.size() / 2),
      badWidth, badCodec, std::string(5000, '\0'), "RIFF\x10\0\0\0AVI LIST\xff\xff\xff\xff",
  };
  for (const std::string& data : cases) {
    SCOPED_TRACE(&data - cases);
    Headless().Reset();
    Put(Path("damaged.avi"), data);
    AnimationPtr read, fromMemory;
    const int status = ReadAvi(Path("damaged.avi"), {}, nullptr, &read, nullptr);
    // Nothing and one message, or what the file still holds.
    EXPECT_EQ(ShownTexts().size(), status == 0 ? 1u : 0u);
    EXPECT_TRUE(status == 0 ? !read : read && read->frameCount >= 1 && read->screenWidth == 16);
    if (ReadAviMemory(reinterpret_cast<const uint8_t*>(data.data()), data.size(), {},
                      &fromMemory)) {
      EXPECT_GE(fromMemory->frameCount, 1);
    }
  }
}

TEST_F(AviFiles, FixLeavesADocumentAnAviStreamCanHold) {
  auto transparent = [](Frame* f, int index) {
    SetTransparentIndex(f, static_cast<uint8_t>(index));
    SetTransparency(f, true);
  };
  const struct {
    const char* name;
    std::function<void(Animation&)> spoil;
    bool fixed;
  } cases[] = {
      {"transparent index 3", [&](Animation& a) { transparent(FirstFrame(a), 3); }, true},
      {"two transparent indexes",
       [&](Animation& a) { transparent(FirstFrame(a), 3), transparent(FrameAt(a, 2), 4); }, false},
      {"local palette", [](Animation& a) { GiveLocalPalette(FrameAt(a, 1), GreyPalette(16)); },
       true},
      {"frame off the screen", [](Animation& a) { AddSolidFrame(a, 2, 2, 3, 3, 5); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ClearHistory();
    AnimationPtr doc = SmallDocument(false);
    c.spoil(*doc);
    const std::vector<PaletteEntry> palette = doc->globalPalette->entries;
    uint32_t traits = DocumentTraits(*doc);
    ASSERT_FALSE(AviPanelAllowed(traits));
    EXPECT_EQ(FixForAvi(nullptr, *doc, {}, &traits), c.fixed);
    EXPECT_EQ(AviPanelAllowed(traits), c.fixed);
    EXPECT_EQ(AviPanelAllowed(DocumentTraits(*doc)), c.fixed);
    EXPECT_EQ(History().count > 0, c.fixed);  // a withdrawn fix leaves nothing to undo
    // Indexes 3 and 0 trade places in the palette and in the pixels; a refused fix changes none.
    const bool swapped = c.fixed && c.name[0] == 't';
    if (swapped || !c.fixed) {
      EXPECT_EQ(doc->globalPalette->entries[0], palette[swapped ? 3 : 0]);
      EXPECT_EQ(Pixel(FirstFrame(*doc), 0, 0), swapped ? 3 : 0);
    }
  }
}

// A movie the program cannot write back opens untitled, so that Save never puts a GIF over it;
// an AVI keeps its name. FFmpeg goes by the content, not the name.
TEST_F(AviFiles, OnlyMoviesThatCanBeSavedNameTheDocument) {
  for (const std::string name : {"clip.avi", "clip.mkv"}) {
    ASSERT_TRUE(WriteMovie(Path(name), {8, 8, false, {0, 1}, 2}));
    DocumentSession state;
    Use(state);
    ASSERT_TRUE(OpenCommand(state, Path(name)));
    EXPECT_EQ(state.document->frameCount, 2);
    EXPECT_EQ(state.documentPath, name == "clip.avi" ? Path(name) : "") << name;
    EXPECT_EQ(state.modified, name != "clip.avi");
  }
}

// Opening a clip reads it before the open document goes: a cancelled import question (by name,
// from the chooser or from the recent list) leaves that document with its frames, name,
// modified flag and history, and the recent list keeps the clip. A part that starts where the
// clip has ended reads nothing and says so in French, whether the clip tells its length or not.
// (A chooser closed or a file that cannot be read still closes the document, as Open always
// has: tests/ui/window/main_window_test.cpp checks it.)
TEST_F(AviFiles, OpeningAClipKeepsTheDocumentUntilTheClipIsRead) {
  if (!HasTool("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  const std::string clip = Path("clip.mp4");
  ASSERT_EQ(RunTool("ffmpeg -v error -y -f lavfi -i testsrc2=size=64x36:rate=10 -t 2 -pix_fmt "
                    "yuv420p " +
                    Quoted(clip))
                .exitCode,
            0);
  const std::string doc = WriteSolidGif("doc.gif", 4, 4, {1, 2});
  DocumentSession state;
  Use(state);
  ASSERT_TRUE(OpenCommand(state, doc));
  RecordUndo(UndoKind::ReverseAnimation, *state.document);
  AddSolidFrame(*state.document, 0, 0, 4, 4, 3);
  state.modified = true;
  const std::vector<int> frames = FrameNumbers(*state.document);
  const auto unchanged = [&] {
    ASSERT_TRUE(state.document);
    EXPECT_EQ(FrameNumbers(*state.document), frames);
    EXPECT_TRUE(state.modified && state.documentPath == doc);
    EXPECT_EQ(CanUndoKind(), UndoKind::ReverseAnimation);
  };

  Headless().videoImport = [](VideoImportRequest*) { return false; };
  for (const bool chosen : {false, true}) {
    Headless().QueueAnswer(answer::No);  // "Sauvegarder les changements?"
    if (chosen) Headless().QueueChosenFiles({clip});
    EXPECT_FALSE(OpenCommand(state, chosen ? "" : clip));
    unchanged();
  }
  state.settings->KeepRecentFile(clip);
  Headless().QueueAnswer(answer::No);
  EXPECT_FALSE(OpenRecentFile(state, clip));
  unchanged();
  EXPECT_THAT(RecentFiles(), ElementsAre(clip, doc));  // a read cancelled keeps its entry
  EXPECT_THAT(ShownTexts(),
              ElementsAre(::testing::HasSubstr("Sauvegarder"), ::testing::HasSubstr("Sauvegarder"),
                          ::testing::HasSubstr("Sauvegarder")));

  for (const bool told : {true, false}) {
    SCOPED_TRACE(told ? "length told" : "length unknown");
    Headless().Reset();
    Headless().videoImport = [told](VideoImportRequest* r) {
      EXPECT_GT(r->lengthMs, 1900);
      EXPECT_LE(r->lengthMs, 2000);
      r->part.startMs = told ? 2000 : 2500;
      if (!told) r->lengthMs = 0;  // as a stream that does not say
      return true;
    };
    DocumentSession empty;
    Use(empty);
    EXPECT_FALSE(OpenCommand(empty, clip));
    EXPECT_FALSE(empty.document);
    EXPECT_THAT(ShownTexts().back(),
                ::testing::StartsWith("Le début demandé (" + std::string(told ? "2" : "2,5") +
                                      " s) est au-delà de la fin de la vidéo " + clip));
  }
}

// An MPEG transport stream named .ts is a clip; a Qt translation of that name, or a file whose
// first byte alone looks like a packet's, is refused as a type the program does not read.
TEST_F(AviFiles, TransportStreamsAreKnownByTheirContent) {
  if (!HasTool("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  const std::string ts = Path("clip.ts");
  ASSERT_EQ(RunTool("ffmpeg -v error -y -f lavfi -i testsrc2=size=64x36:rate=10 -t 1 -pix_fmt "
                    "yuv420p -f mpegts " +
                    Quoted(ts))
                .exitCode,
            0);
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(ts, Flows().read, nullptr, &read, nullptr), ReadComplete)
      << ShownTexts().size();
  EXPECT_EQ(read->frameCount, 10);
  EXPECT_EQ(read->screenWidth, 64u);

  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n<TS version=\"2.1\" "
      "language=\"fr_FR\">\n";
  while (xml.size() < 2000)
    xml += "<message><source>Open</source><translation>Ouvrir</translation></message>\n";
  Put(Path("app_fr.ts"), xml + "</TS>\n");
  std::string one(600, 'x');
  one[0] = 0x47;
  Put(Path("one.ts"), one);
  for (const char* name : {"app_fr.ts", "one.ts"}) {
    EXPECT_EQ(ReadAnyFile(Path(name), Flows().read, nullptr, &read, nullptr), ReadFailed) << name;
    EXPECT_FALSE(read);
  }
  EXPECT_THAT(ShownTexts(), ElementsAre("Impossible de lire ce type de fichier.",
                                        "Impossible de lire ce type de fichier."));
}

}  // namespace
}  // namespace lw::test
