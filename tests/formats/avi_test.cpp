// AVI files: the export timing, the RLE8 coder against FFmpeg's decoder, reading movies made with
// the FFmpeg libraries (dropped frames, palettes, Esc, the picture budget), the saved files as
// ffprobe and our reader see them, audio, the fix for AVI, and damaged files.
#include <gmock/gmock.h>

#include <cstring>
#include <functional>
#include <random>

#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "flow_fixture.h"
#include "formats/avi/avi_fix.h"
#include "formats/avi/avi_format.h"
#include "formats/avi/avi_timing.h"
#include "formats/open_flow.h"
#include "platform/video_files.h"
#include "support/bytes.h"
#include "support/tools.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Played back at the stream's scale and rate, the samples give every frame its delay (at least
// one unit) and the stream lasts them all; the last frame is written again only when it spans
// more than one sample.
TEST(AviTiming, TheStreamReplaysTheDelays) {
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint32_t> delays(1 + random() % 6);
    const uint32_t unit = 1 + random() % 12;
    for (uint32_t& d : delays) d = random() % 8 == 0 ? 0 : unit * (random() % 30);
    SCOPED_TRACE(::testing::PrintToString(delays));
    const AviTiming t = ComputeAviTiming(delays, 0, 100);
    uint32_t total = 0;
    for (size_t i = 0; i < delays.size(); ++i) {
      const int64_t next = i + 1 < delays.size() ? t.samples[i + 1] : t.length;
      EXPECT_EQ(VideoDelay(100, next - t.samples[i], t.scale, t.rate), std::max(delays[i], 1u));
      total += std::max(delays[i], 1u);
    }
    EXPECT_EQ(VideoDelay(100, t.length, t.scale, t.rate), total);
    EXPECT_EQ(t.repeatSample >= 0, t.length - t.samples.back() > 1);
  }
  // A fixed rate: 15 frames a second are 6 units a sample, 200 a second less than one unit; every
  // frame keeps a sample of its own.
  EXPECT_THAT(ComputeAviTiming({10, 10, 3}, 150000, 100).samples, ElementsAre(0, 1, 3));
  const AviTiming fast = ComputeAviTiming({4, 4}, 2000000, 100);
  EXPECT_EQ(std::tie(fast.step, fast.length), std::tuple(1u, 8u));
  // Read pictures: the delay rounds down and stays within what a frame holds.
  EXPECT_EQ(VideoDelay(100, 1, 1, 15), 6u);
  EXPECT_EQ(VideoDelay(100, -3, 1, 15) + VideoDelay(100, 1, 1, 0), 0u);
  EXPECT_EQ(VideoDelay(100, INT64_MAX, INT32_MAX, 1), 0xFFFFu);
}

// Pictures of width x height, 8 bits over a palette or 24 bits, top row first, rows padded.
struct Movie {
  uint32_t width, height;
  bool palettised;
  std::vector<std::vector<uint8_t>> pictures;
  std::vector<int64_t> samples;
  std::vector<uint32_t> palette;
  uint64_t Stride() const { return palettised ? IndexStride(width) : RgbStride(width); }
};

// Pixels of runs (kind 0), noise (1) or one value (2).
Movie DrawnMovie(uint32_t w, uint32_t h, bool palettised, std::vector<int64_t> samples, int kind) {
  Movie m{w, h, palettised, {}, samples, {}};
  for (uint32_t i = 0; i < 256; ++i) m.palette.push_back(i << 16 | (255 - i) << 8 | 7);
  std::mt19937 noise(w * h);
  for (size_t n = 0; n < samples.size(); ++n) {
    std::vector<uint8_t> p(m.Stride() * h, 0);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < (palettised ? w : 3 * w); ++x)
        p[m.Stride() * y + x] = static_cast<uint8_t>(
            kind == 0 ? n * 40 + (x / 7) * 3 + y : kind == 1 ? noise() : n + 3);
    m.pictures.push_back(std::move(p));
  }
  return m;
}

// Writes the movie at 15 samples a second through the FFmpeg libraries, raw or as RLE8.
bool WriteMovie(const std::string& path, const Movie& m, uint32_t handler = kHandlerNone) {
  AviVideoSpec layout;
  layout.width = m.width, layout.height = m.height, layout.bitCount = m.palettised ? 8 : 24;
  layout.palette = m.palette, layout.handler = handler, layout.scale = 1, layout.rate = 15;
  int error = 0;
  auto writer = AviFileWriter::Create(path, layout, &error, nullptr);
  if (!writer) return false;
  for (size_t n = 0; n < m.pictures.size(); ++n) {
    std::vector<uint8_t> up(m.pictures[n].size());
    for (uint32_t y = 0; y < m.height; ++y)
      std::memcpy(&up[m.Stride() * (m.height - 1 - y)], &m.pictures[n][m.Stride() * y], m.Stride());
    if (handler == kHandlerRle8) up = EncodeRle8(up.data(), m.width, m.height);
    if (writer->WriteCoded(m.samples[n], up.data(), up.size(), true) != 0) return false;
  }
  return writer->Finish() == 0;
}

class AviFiles : public FlowTest {};

// Random sizes, runs, noise and flat pictures: FFmpeg's RLE decoder gives back every row.
TEST_F(AviFiles, Rle8PicturesDecodeExactlyThroughFfmpeg) {
  std::mt19937 random(8);
  for (int round = 0; round < 12; ++round) {
    const uint32_t w = round == 0 ? 600 : 1 + random() % 40, h = 1 + random() % 12;
    const int kind = round % 3;
    SCOPED_TRACE(::testing::Message() << w << "x" << h << " kind " << kind);
    const Movie m = DrawnMovie(w, h, true, {0, 1, 2}, kind);
    ASSERT_TRUE(WriteMovie(Path("rle.avi"), m, kHandlerRle8));
    VideoOpenError error;
    auto reader = VideoFileReader::OpenFile(Path("rle.avi"), 1 << 24, &error);
    ASSERT_TRUE(reader && reader->Info().palettised);
    VideoPicture picture;
    for (size_t n = 0; n < m.pictures.size(); ++n) {
      ASSERT_EQ(reader->Next(&picture), 1) << n;
      for (uint32_t y = 0; y < h; ++y)
        ASSERT_EQ(0, std::memcmp(&picture.pixels[m.Stride() * y], &m.pictures[n][m.Stride() * y], w))
            << "picture " << n << " row " << y;
      EXPECT_EQ(picture.palette[200], m.palette[200]);
    }
    EXPECT_EQ(reader->Next(&picture), 0);
  }
}

TEST_F(AviFiles, ReadsFramesTimedByTheirSamples) {
  const struct {
    bool palettised;
    uint32_t width;  // odd widths pad their rows
    std::vector<int64_t> samples;
    std::vector<uint32_t> delays;
  } cases[] = {
      {false, 10, {0, 1, 2, 3}, {6, 6, 6, 6}},
      {false, 7, {0, 1, 3, 4}, {6, 13, 6, 6}},  // a dropped frame lengthens the one before
      {true, 9, {0, 2, 3}, {13, 6, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.samples));
    const Movie m = DrawnMovie(c.width, 6, c.palettised, c.samples, 0);
    ASSERT_TRUE(WriteMovie(Path("clip.avi"), m));
    AnimationPtr read;
    ASSERT_EQ(ReadAvi(Path("clip.avi"), nullptr, &read, nullptr), 1);
    EXPECT_THAT(ShownTexts(), IsEmpty());
    ASSERT_EQ(read->frameCount, static_cast<int>(c.samples.size()));
    EXPECT_EQ(std::tie(read->screenWidth, read->screenHeight, read->playCount),
              std::tuple(m.width, m.height, 7u));
    for (int n = 0; n < read->frameCount; ++n) {
      const Frame& f = *FrameAt(*read, n);
      EXPECT_EQ(f.delay, c.delays[n]) << n;
      if (c.palettised) {
        EXPECT_EQ(f.palette, read->globalPalette.get());
      }
      const uint8_t* rows = c.palettised ? f.bits() : f.rgbPlane.data();
      ASSERT_NE(rows, nullptr);
      for (uint32_t y = 0; y < 6; ++y)
        EXPECT_EQ(0, std::memcmp(rows + m.Stride() * y, &m.pictures[n][m.Stride() * y],
                                 c.palettised ? c.width : 3 * c.width));
    }
  }
  // Esc keeps the frames read so far.
  ASSERT_TRUE(WriteMovie(Path("clip.avi"), DrawnMovie(8, 8, false, {0, 1, 2, 3, 4}, 2)));
  ProgressMeterPtr meter(CreateProgressMeter(nullptr, 0, 0));
  ProgressCancel();
  AnimationPtr read;
  EXPECT_EQ(ReadAvi(Path("clip.avi"), nullptr, &read, meter.get()), 2);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->frameCount, 1);
}

// Frames past the picture budget are left out with the memory message, as a partial read that
// the open flow leaves untitled.
TEST_F(AviFiles, FramesPastThePictureBudgetAreLeftOut) {
  struct RestoreLimit {
    uint64_t old = GifFrameByteLimit();
    ~RestoreLimit() { SetGifFrameByteLimit(old); }
  } restoreLimit;
  for (bool palettised : {false, true}) {
    SCOPED_TRACE(palettised ? "8 bits" : "24 bits");
    const std::string path = Path("long.avi");
    ASSERT_TRUE(WriteMovie(path, DrawnMovie(10, 6, palettised, {0, 1, 2, 3, 4, 5}, 0)));
    const uint64_t frame = palettised ? DibBitsOffset + IndexStride(10) * 6 : RgbStride(10) * 6;
    SetGifFrameByteLimit(6 * frame);
    AnimationPtr read;
    EXPECT_EQ(ReadAvi(path, nullptr, &read, nullptr), 1);
    SetGifFrameByteLimit(3 * frame + frame / 2);
    EXPECT_EQ(ReadAvi(path, nullptr, &read, nullptr), 2);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->frameCount, 3);
    EXPECT_THAT(ShownTexts(),
                ElementsAre("Manque de mémoire survenue pendant la lecture de données vidéo."));
    ShellState state;
    ASSERT_TRUE(OpenCommand(state, path));
    EXPECT_EQ(state.document->frameCount, 3);
    EXPECT_EQ(state.documentPath, "");
    Headless().Reset();
  }
}

// A document of 8 x 8 frames (multiples of 4, as Video 1 needs) over the ramp palette, delays
// 10, 20 and 30.
AnimationPtr SmallDocument(bool trueColour) {
  AnimationPtr a = MakeDocument(8, 8);
  for (uint32_t n = 0; n < 3; ++n) {
    Frame* f = AddDrawnFrame(*a, 0, 0, 8, 8, [&](uint32_t, uint32_t y) { return (y / 2 + n) % 16; },
                             DisposalLeave, -1, 10 * (n + 1));
    if (trueColour) {
      EXPECT_TRUE(AddRgbPlane(f));
    }
  }
  return a;
}

TEST_F(AviFiles, SavedFilesPlayElsewhereWithTheirFramesRateAndPixels) {
  const struct {
    const char* name;
    bool compress;
    uint32_t handler;
    bool trueColour;
    const char* codec;
    int tolerance;
  } cases[] = {
      {"raw8", false, 0, false, "rawvideo", 0},
      {"raw24", false, 0, true, "rawvideo", 0},
      {"rle8", true, kHandlerRle8, false, "msrle", 0},
      {"video1", true, kHandlerVideo1, false, "msvideo1", 8},
      {"video1-24", true, kHandlerRle8, true, "msvideo1", 8},  // RLE8 cannot code 24 bits
  };
  const bool probe = HasTool("ffprobe");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AnimationPtr doc = SmallDocument(c.trueColour);
    SaveOptions options;
    options.avi.filled = true;
    options.avi.compress = c.compress;
    options.avi.trueColour = c.trueColour;
    options.avi.compressOptions = c.handler == kHandlerVideo1 ? Video1Options() : Rle8Options();
    const std::string path = Path(std::string(c.name) + ".avi");
    ASSERT_TRUE(WriteAsType(path, *doc, options, savetype::Avi, nullptr));
    EXPECT_THAT(ShownTexts(), IsEmpty());
    for (const std::string& name : FolderNames())
      EXPECT_EQ(name.find(".tmp"), std::string::npos) << "left behind: " << name;
    // One sample per 10 units, the last frame written again at sample 5 so that the stream lasts
    // 60 units: four pictures.
    if (probe) {
      EXPECT_EQ(Output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                       "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of csv=p=0 " +
                       Quoted(path)),
                std::string(c.codec) + ",8,8,10/1,4\n");
    }
    AnimationPtr read;
    ASSERT_EQ(ReadAvi(path, nullptr, &read, nullptr), 1);
    ASSERT_EQ(read->frameCount, 4);
    const uint32_t delays[] = {10, 20, 20, 10};
    for (int n = 0; n < 4; ++n) {
      const Frame& r = *FrameAt(*read, n);
      const Frame& w = *FrameAt(*doc, std::min(n, 2));
      EXPECT_EQ(r.delay, delays[n]) << n;
      for (uint32_t i = 0; i < 64; ++i) {
        const int64_t a = ShownColour(r, i % 8, i / 8), b = ShownColour(w, i % 8, i / 8);
        int off = 0;
        for (int shift : {0, 8, 16}) off += std::abs(int(a >> shift & 255) - int(b >> shift & 255));
        ASSERT_LE(off, 3 * c.tolerance) << n << " at " << i;
      }
    }
  }
}

TEST_F(AviFiles, AudioIsInterleavedOrTheSaveRefused) {
  // A second of mono 16-bit PCM.
  Bytes wav;
  wav.Text("RIFF").Le32(36 + 16000).Text("WAVEfmt ").Le32(16).Le16(1).Le16(1).Le32(8000);
  wav.Le32(16000).Le16(2).Le16(16).Text("data").Le32(16000);
  for (uint32_t i = 0; i < 8000; ++i) wav.Le16((i * 700) & 0xFFFF);
  Put(Path("sound.wav"), wav.str());
  ASSERT_TRUE(WriteMovie(Path("silent.avi"), DrawnMovie(4, 4, false, {0, 1}, 2)));
  for (const std::string& audio : {Path("sound.wav"), Path("silent.avi")}) {
    SCOPED_TRACE(audio);
    Headless().Reset();
    const bool sound = HasAudioStream(audio);
    EXPECT_EQ(sound, audio.ends_with(".wav"));
    AnimationPtr doc = SmallDocument(false);
    SaveOptions options;
    options.avi.filled = options.avi.withAudio = true;
    options.avi.audioPath = audio;
    const std::string path = Path("with-sound.avi");
    Put(path, "old");
    EXPECT_EQ(WriteAsType(path, *doc, options, savetype::Avi, nullptr), sound);
    if (sound) {
      EXPECT_TRUE(HasAudioStream(path));
      AnimationPtr read;
      EXPECT_EQ(ReadAvi(path, nullptr, &read, nullptr), 1);
      EXPECT_THAT(ShownTexts(), IsEmpty());
    } else {
      EXPECT_EQ(Contents(path), "old");
      EXPECT_THAT(ShownTexts(), ElementsAre(TableText(str::AviNoAudioWhileInterleaving)));
    }
  }
}

TEST_F(AviFiles, DamagedFilesGiveAMessageAndNoDocument) {
  ASSERT_TRUE(WriteMovie(Path("good.avi"), DrawnMovie(16, 16, true, {0, 1, 2, 3}, 1), kHandlerRle8));
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
    AnimationPtr read;
    if (ReadAvi(Path("damaged.avi"), nullptr, &read, nullptr) == 0) {
      EXPECT_FALSE(read);
      EXPECT_EQ(ShownTexts().size(), 1u);
    } else {
      ASSERT_TRUE(read);
      EXPECT_GE(read->frameCount, 1);
      EXPECT_EQ(read->screenWidth, 16u);
    }
    AnimationPtr fromMemory;
    if (ReadAviMemory(reinterpret_cast<const uint8_t*>(data.data()), data.size(), &fromMemory)) {
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
      {"transparent index 3 everywhere",
       [&](Animation& a) {
         for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) transparent(f, 3);
       },
       true},
      {"two transparent indexes",
       [&](Animation& a) { transparent(FirstFrame(a), 3), transparent(FrameAt(a, 2), 4); }, false},
      {"local palette",
       [](Animation& a) { GiveLocalPalette(FrameAt(a, 1), GreyPalette(16)); }, true},
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
    EXPECT_EQ(FixForAvi(nullptr, *doc, &traits), c.fixed);
    EXPECT_EQ(AviPanelAllowed(traits), c.fixed);
    EXPECT_EQ(AviPanelAllowed(DocumentTraits(*doc)), c.fixed);
    EXPECT_EQ(History().count > 0, c.fixed);  // a withdrawn fix leaves nothing to undo
    if (!c.fixed) {
      EXPECT_EQ(doc->globalPalette->entries, palette);
    }
    if (c.fixed && std::string(c.name).starts_with("transparent")) {
      // Indexes 3 and 0 trade places in the palette and in the pixels.
      EXPECT_EQ(doc->globalPalette->entries[0], palette[3]);
      EXPECT_EQ(doc->globalPalette->entries[3], palette[0]);
      EXPECT_EQ(Pixel(FirstFrame(*doc), 0, 0), 3);
    }
  }
}

// A movie the program cannot write back opens untitled, so that Save never puts a GIF over it;
// an AVI keeps its name. FFmpeg goes by the content, not the name.
TEST_F(AviFiles, OnlyMoviesThatCanBeSavedNameTheDocument) {
  for (const std::string name : {"clip.avi", "clip.mp4", "clip.mov"}) {
    SCOPED_TRACE(name);
    const std::string path = Path(name);
    ASSERT_TRUE(WriteMovie(path, DrawnMovie(8, 8, false, {0, 1}, 2)));
    ShellState state;
    ASSERT_TRUE(OpenCommand(state, path));
    ASSERT_TRUE(state.document);
    EXPECT_EQ(state.document->frameCount, 2);
    const bool named = name == "clip.avi";
    EXPECT_EQ(state.documentPath, named ? path : "");
    EXPECT_EQ(state.modified, !named);
  }
}

}  // namespace
}  // namespace lw::test
