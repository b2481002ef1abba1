// AVI files: the export timing, the RLE8 coder against FFmpeg's decoder, reading movies made with
// the FFmpeg libraries (dropped frames, palettes, Esc), the save paths checked by ffprobe and read
// back, audio interleaving, and damaged files.
#include <gmock/gmock.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/undo.h"
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

using ::testing::ElementsAreArray;

TEST(AviTiming, StepScaleRateAndSamples) {
  struct Case {
    std::vector<uint32_t> delays;
    uint32_t fixedRate;
    uint32_t step, scale, rate;
    uint64_t length;
    std::vector<int64_t> samples;
    int64_t repeat;
  };
  const Case cases[] = {
      {{10, 20, 30}, 0, 10, 10, 100, 6, {0, 1, 3}, 5},
      // A delay of 0 counts as 1 and still takes one sample.
      {{0, 7}, 0, 1, 1, 100, 8, {0, 1}, 7},
      // 15 frames per second: 6 units a sample, frames keep at least one.
      {{10, 10, 3}, 150000, 6, 10000, 150000, 4, {0, 1, 3}, 4},
      // One frame of one step needs no repeat.
      {{10}, 0, 10, 10, 100, 1, {0}, -1},
      // Faster than a delay unit: steps of one unit, never zero.
      {{4, 4}, 2000000, 1, 10000, 2000000, 8, {0, 4}, 7},
  };
  for (const Case& c : cases) {
    AviTiming t = ComputeAviTiming(c.delays, c.fixedRate, 100);
    SCOPED_TRACE(::testing::PrintToString(c.delays));
    EXPECT_EQ(std::tie(t.step, t.scale, t.rate, t.length),
              std::tie(c.step, c.scale, c.rate, c.length));
    EXPECT_THAT(t.samples, ElementsAreArray(c.samples));
    EXPECT_EQ(t.repeatSample, c.repeat);
  }
}

TEST(AviTiming, DelaysOfReadPictures) {
  struct Case {
    int64_t samples, scale, rate;
    uint32_t delay;
  } cases[] = {{1, 1, 15, 6},
               {2, 1, 15, 13},
               {1, 1, 30000, 0},
               {0, 1, 15, 0},
               {-3, 1, 15, 0},
               {1, 1, 0, 0},
               {INT64_MAX, INT32_MAX, 1, 0xFFFF}};
  for (const Case& c : cases)
    EXPECT_EQ(VideoDelay(100, c.samples, c.scale, c.rate), c.delay) << c.samples << "/" << c.rate;
}

// Pictures of width x height with a 256-colour palette: index = f(x, y, n).
struct Movie {
  uint32_t width, height;
  bool palettised;
  std::vector<std::vector<uint8_t>> pictures;  // top row first, rows padded
  std::vector<int64_t> samples;
  std::vector<uint32_t> palette;
};

uint64_t Stride(const Movie& m) { return m.palettised ? IndexStride(m.width) : RgbStride(m.width); }

Movie DrawnMovie(uint32_t w, uint32_t h, bool palettised, std::vector<int64_t> samples, int kind) {
  Movie m{w, h, palettised, {}, samples, {}};
  for (int i = 0; i < 256; ++i) m.palette.push_back(uint32_t(i) << 16 | uint32_t(255 - i) << 8 | 7);
  uint32_t noise = 12345;
  for (size_t n = 0; n < samples.size(); ++n) {
    std::vector<uint8_t> p(Stride(m) * h, 0);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < (palettised ? w : 3 * w); ++x) {
        noise = noise * 1103515245 + 12345;
        uint8_t v = kind == 0   ? static_cast<uint8_t>(n * 40 + (x / 7) * 3 + y)  // runs
                    : kind == 1 ? static_cast<uint8_t>(noise >> 16)               // noise
                                : static_cast<uint8_t>(n + 3);                    // flat
        p[Stride(m) * y + x] = v;
      }
    m.pictures.push_back(std::move(p));
  }
  return m;
}

// Writes the movie at scale / rate with the FFmpeg libraries, uncompressed or as RLE8.
bool WriteMovie(const std::string& path, const Movie& m, uint32_t handler, uint32_t rate) {
  AviVideoSpec layout;
  layout.width = m.width;
  layout.height = m.height;
  layout.bitCount = m.palettised ? 8 : 24;
  layout.palette = m.palette;
  layout.handler = handler;
  layout.scale = 1;
  layout.rate = rate;
  int error = 0;
  auto writer = AviFileWriter::Create(path, layout, &error, nullptr);
  if (!writer) return false;
  for (size_t n = 0; n < m.pictures.size(); ++n) {
    std::vector<uint8_t> up(m.pictures[n].size());
    for (uint32_t y = 0; y < m.height; ++y)
      std::memcpy(&up[Stride(m) * (m.height - 1 - y)], &m.pictures[n][Stride(m) * y], Stride(m));
    if (handler == kHandlerRle8) up = EncodeRle8(up.data(), m.width, m.height);
    if (writer->WriteCoded(m.samples[n], up.data(), up.size(), true) != 0) return false;
  }
  return writer->Finish() == 0;
}

// What ffprobe says of the first video stream.
std::string Probe(const std::string& path, const std::string& entries) {
  std::string out = Output("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=" +
                           entries + " -of csv=p=0 " + Quoted(path) + " 2>/dev/null");
  while (!out.empty() && (out.back() == '\n' || out.back() == ',')) out.pop_back();
  return out;
}

class AviFiles : public FlowTest {};

TEST_F(AviFiles, Rle8PicturesDecodeExactlyThroughFfmpeg) {
  struct Case {
    uint32_t w, h;
    int kind;
  } cases[] = {{37, 9, 0}, {600, 3, 0}, {31, 7, 1}, {16, 16, 2}, {1, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " kind " +
                 std::to_string(c.kind));
    Movie m = DrawnMovie(c.w, c.h, true, {0, 1, 2}, c.kind);
    std::string path = Path("rle.avi");
    ASSERT_TRUE(WriteMovie(path, m, kHandlerRle8, 15));
    VideoOpenError error;
    auto reader = VideoFileReader::OpenFile(path, 1 << 24, &error);
    ASSERT_TRUE(reader);
    ASSERT_TRUE(reader->Info().palettised);
    VideoPicture picture;
    for (size_t n = 0; n < m.pictures.size(); ++n) {
      ASSERT_EQ(reader->Next(&picture), 1) << n;
      for (uint32_t y = 0; y < c.h; ++y)
        ASSERT_EQ(0, std::memcmp(&picture.pixels[IndexStride(c.w) * y],
                                 &m.pictures[n][IndexStride(c.w) * y], c.w))
            << "picture " << n << " row " << y;
      EXPECT_EQ(picture.palette[200], m.palette[200]);
    }
    EXPECT_EQ(reader->Next(&picture), 0);
  }
}

TEST_F(AviFiles, ReadsFramesTimedByTheirSamples) {
  struct Case {
    bool palettised;
    uint32_t width;  // odd widths pad their rows
    std::vector<int64_t> samples;
    std::vector<uint32_t> delays;
  } cases[] = {
      {false, 10, {0, 1, 2, 3}, {6, 6, 6, 6}},
      {false, 7, {0, 1, 3, 4}, {6, 13, 6, 6}},  // a dropped frame lengthens the one before
      {true, 9, {0, 2, 3}, {13, 6, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.samples));
    Movie m = DrawnMovie(c.width, 6, c.palettised, c.samples, 0);
    std::string path = Path("clip.avi");
    ASSERT_TRUE(WriteMovie(path, m, kHandlerNone, 15));
    AnimationPtr read;
    ASSERT_EQ(ReadAvi(path, nullptr, &read, nullptr), 1);
    EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
    ASSERT_EQ(read->frameCount, static_cast<int>(c.samples.size()));
    EXPECT_EQ(std::tie(read->screenWidth, read->screenHeight, read->playCount),
              std::tie(m.width, m.height, static_cast<const uint32_t&>(7u)));
    int n = 0;
    for (Frame* f = FirstFrame(*read); f; f = NextFrame(f), ++n) {
      EXPECT_EQ(f->delay, c.delays[n]) << n;
      if (c.palettised) {
        ASSERT_NE(f->bits(), nullptr);
        EXPECT_EQ(f->palette, read->globalPalette.get());
        for (uint32_t y = 0; y < 6; ++y)
          EXPECT_EQ(0, std::memcmp(f->bits() + IndexStride(c.width) * y,
                                   &m.pictures[n][IndexStride(c.width) * y], c.width));
      } else {
        ASSERT_EQ(f->rgbPlane.size(), RgbStride(c.width) * 6);
        for (uint32_t y = 0; y < 6; ++y)
          EXPECT_EQ(0, std::memcmp(&f->rgbPlane[RgbStride(c.width) * y],
                                   &m.pictures[n][RgbStride(c.width) * y], 3 * c.width));
      }
    }
  }
}

TEST_F(AviFiles, EscKeepsTheFramesReadSoFar) {
  Movie m = DrawnMovie(8, 8, false, {0, 1, 2, 3, 4}, 2);
  std::string path = Path("clip.avi");
  ASSERT_TRUE(WriteMovie(path, m, kHandlerNone, 15));
  ProgressMeterPtr meter(CreateProgressMeter(nullptr, 0, 0));
  ProgressCancel();
  AnimationPtr read;
  EXPECT_EQ(ReadAvi(path, nullptr, &read, meter.get()), 2);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->frameCount, 1);
}

// A movie whose frames together pass the picture budget: the frames that fit are kept as a
// partial read, with the memory message, instead of taking all the memory there is; the open
// flow leaves such a document untitled.
TEST_F(AviFiles, FramesPastThePictureBudgetAreLeftOut) {
  struct RestoreLimit {
    uint64_t old = GifFrameByteLimit();
    ~RestoreLimit() { SetGifFrameByteLimit(old); }
  } restoreLimit;
  for (bool palettised : {false, true}) {
    SCOPED_TRACE(palettised ? "8 bits" : "24 bits");
    Movie m = DrawnMovie(10, 6, palettised, {0, 1, 2, 3, 4, 5}, 0);
    std::string path = Path("long.avi");
    ASSERT_TRUE(WriteMovie(path, m, kHandlerNone, 15));
    const uint64_t frameBytes =
        palettised ? DibBitsOffset + IndexStride(10) * 6 : RgbStride(10) * 6;
    struct Case {
      uint64_t limit;
      int status;
      int frames;
    } cases[] = {{3 * frameBytes + frameBytes / 2, 2, 3}, {6 * frameBytes, 1, 6}};
    for (const Case& c : cases) {
      SetGifFrameByteLimit(c.limit);
      Headless().Reset();
      AnimationPtr read;
      EXPECT_EQ(ReadAvi(path, nullptr, &read, nullptr), c.status);
      ASSERT_TRUE(read);
      EXPECT_EQ(read->frameCount, c.frames);
      if (c.status == 2) {
        EXPECT_THAT(ShownTexts(),
                    ElementsAreArray({std::string(
                        "Manque de mémoire survenue pendant la lecture de données vidéo.")}));
        ShellState state;
        ASSERT_TRUE(OpenCommand(state, path));
        EXPECT_EQ(state.document->frameCount, 3);
        EXPECT_EQ(state.documentPath, std::string());
      } else {
        EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
      }
    }
  }
}

// A document of 8 x 8 frames (multiples of 4, as Video 1 needs) over the ramp palette.
AnimationPtr SmallDocument(bool trueColour) {
  AnimationPtr a = MakeDocument(8, 8);
  for (int n = 0; n < 3; ++n) {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 64; ++i) pixels.push_back(static_cast<uint8_t>((i / 16 + n) % 16));
    Frame* f = AddFrame(*a, 0, 0, 8, 8, pixels, DisposalLeave, -1, 10 * (n + 1));
    if (trueColour) {
      EXPECT_TRUE(AddRgbPlane(f));
    }
  }
  return a;
}

TEST_F(AviFiles, SavedFilesPlayElsewhereWithTheirFramesRateAndPixels) {
  struct Case {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AnimationPtr doc = SmallDocument(c.trueColour);
    SaveOptions options;
    options.avi.filled = true;
    options.avi.compress = c.compress;
    options.avi.trueColour = c.trueColour;
    options.avi.compressOptions = c.handler == kHandlerVideo1 ? Video1Options() : Rle8Options();
    std::string path = Path(std::string(c.name) + ".avi");
    ASSERT_TRUE(WriteAsType(path, *doc, options, savetype::Avi, nullptr));
    EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
    EXPECT_THAT(FolderNames(), ::testing::Contains(std::string(c.name) + ".avi"));
    for (const std::string& name : FolderNames())
      EXPECT_EQ(name.find(".tmp"), std::string::npos) << "left behind: " << name;
    // Delays 10, 20, 30: one sample per 10 units, the last frame written again at sample 5, so
    // that the stream lasts 60 units and reads back as four pictures.
    if (probe) {
      EXPECT_EQ(Probe(path, "codec_name,width,height,r_frame_rate,nb_read_frames"),
                std::string(c.codec) + ",8,8,10/1,4");
    }
    AnimationPtr read;
    ASSERT_EQ(ReadAvi(path, nullptr, &read, nullptr), 1);
    ASSERT_EQ(read->frameCount, 4);
    const uint32_t delays[] = {10, 20, 20, 10};
    for (int n = 0; n < 4; ++n) {
      const Frame& r = *FrameAt(*read, n);
      const Frame& w = *FrameAt(*doc, std::min(n, 2));
      EXPECT_EQ(r.delay, delays[n]) << n;
      for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x) {
          const int64_t a = ShownColour(r, x, y), b = ShownColour(w, x, y);
          int off = 0;
          for (int shift : {0, 8, 16}) off += std::abs(int(a >> shift & 255) - int(b >> shift & 255));
          ASSERT_LE(off, 3 * c.tolerance) << n << " at " << x << "," << y;
        }
    }
  }
}

// A mono 16-bit PCM WAV file of count samples.
void PutWav(const std::string& path, uint32_t count) {
  Bytes s;
  s.Text("RIFF").Le32(36 + 2 * count).Text("WAVEfmt ").Le32(16).Le16(1).Le16(1).Le32(8000);
  s.Le32(16000).Le16(2).Le16(16).Text("data").Le32(2 * count);
  for (uint32_t i = 0; i < count; ++i) s.Le16((i * 700) & 0xFFFF);
  std::ofstream(path, std::ios::binary) << s.str();
}

TEST_F(AviFiles, AudioIsInterleavedOrTheSaveRefused) {
  std::string wav = Path("sound.wav");
  PutWav(wav, 8000);
  std::string silent = Path("silent.avi");
  ASSERT_TRUE(WriteMovie(silent, DrawnMovie(4, 4, false, {0, 1}, 2), kHandlerNone, 15));
  EXPECT_TRUE(HasAudioStream(wav));
  EXPECT_FALSE(HasAudioStream(silent));

  struct Case {
    std::string audio;
    bool written;
  } cases[] = {{wav, true}, {silent, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.audio);
    Headless().Reset();
    AnimationPtr doc = SmallDocument(false);
    SaveOptions options;
    options.avi.filled = true;
    options.avi.withAudio = true;
    options.avi.audioPath = c.audio;
    std::string path = Path("with-sound.avi");
    Put(path, "old");
    EXPECT_EQ(WriteAsType(path, *doc, options, savetype::Avi, nullptr), c.written);
    if (c.written) {
      EXPECT_TRUE(HasAudioStream(path));
      AnimationPtr read;
      EXPECT_EQ(ReadAvi(path, nullptr, &read, nullptr), 1);
      EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
    } else {
      EXPECT_EQ(Contents(path), "old");
      EXPECT_THAT(ShownTexts(),
                  ElementsAreArray({std::string(TableText(str::AviNoAudioWhileInterleaving))}));
    }
  }
}

TEST_F(AviFiles, DamagedFilesGiveAMessageAndNoDocument) {
  std::string good = Path("good.avi");
  ASSERT_TRUE(WriteMovie(good, DrawnMovie(16, 16, true, {0, 1, 2, 3}, 1), kHandlerRle8, 15));
  const std::string bytes = Contents(good);
  std::string badWidth = bytes;
  size_t strf = badWidth.find("strf");
  ASSERT_NE(strf, std::string::npos);
  std::memcpy(&badWidth[strf + 12], "\xff\xff\xff\x7f", 4);  // biWidth
  std::string badCodec = bytes;
  std::memcpy(&badCodec[strf + 24], "ZZZZ", 4);  // biCompression
  std::memcpy(&badCodec[badCodec.find("strh") + 12], "ZZZZ", 4);
  const std::string cases[] = {
      "",       "RIFF",   bytes.substr(0, 200),    bytes.substr(0, bytes.size() / 2),
      badWidth, badCodec, std::string(5000, '\0'), "RIFF\x10\0\0\0AVI LIST\xff\xff\xff\xff",
  };
  int index = 0;
  for (const std::string& data : cases) {
    SCOPED_TRACE(index++);
    Headless().Reset();
    std::string path = Path("damaged.avi");
    Put(path, data);
    AnimationPtr read;
    int result = ReadAvi(path, nullptr, &read, nullptr);
    if (result == 0) {
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
  struct Case {
    const char* name;
    std::function<void(Animation&)> spoil;
    bool fixed;
  } cases[] = {
      {"transparent index 3 everywhere",
       [](Animation& a) {
         for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
           SetTransparentIndex(f, 3);
           SetTransparency(f, true);
         }
       },
       true},
      {"two transparent indexes",
       [](Animation& a) {
         SetTransparentIndex(FirstFrame(a), 3), SetTransparency(FirstFrame(a), true);
         Frame* last = FrameAt(a, 2);
         SetTransparentIndex(last, 4), SetTransparency(last, true);
       },
       false},
      {"local palette",
       [](Animation& a) {
         std::vector<uint8_t> rgb(48, 90);
         SetLocalPalette(FrameAt(a, 1), PaletteFromTriples(16, rgb.data()));
         UpdateDibColourTable(FrameAt(a, 1));
       },
       true},
      {"frame off the screen", [](Animation& a) { AddSolidFrame(a, 2, 2, 3, 3, 5); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearHistory();
    AnimationPtr doc = SmallDocument(false);
    c.spoil(*doc);
    const uint8_t before = Pixel(FirstFrame(*doc), 0, 0);  // index 0 (the first rows)
    const std::vector<PaletteEntry> palette = doc->globalPalette->entries;
    uint32_t traits = DocumentTraits(*doc);
    ASSERT_FALSE(AviPanelAllowed(traits));
    EXPECT_EQ(FixForAvi(nullptr, *doc, &traits), c.fixed);
    if (!c.fixed) {
      EXPECT_FALSE(AviPanelAllowed(traits));
      EXPECT_EQ(doc->globalPalette->entries, palette);
      EXPECT_TRUE(FirstFrame(*doc)->Transparent());
      EXPECT_EQ(History().count, 0u);  // the withdrawn entry leaves nothing to undo or redo
      continue;
    }
    EXPECT_TRUE(AviPanelAllowed(traits));
    EXPECT_TRUE(AviPanelAllowed(DocumentTraits(*doc)));
    EXPECT_EQ(UndoKindNameId(CanUndoKind()) != 0, true);
    if (std::string(c.name).starts_with("transparent")) {
      // Index 3 and 0 traded places in the palette and in the pixels.
      EXPECT_EQ(doc->globalPalette->entries[0], palette[3]);
      EXPECT_EQ(doc->globalPalette->entries[3], palette[0]);
      EXPECT_EQ(Pixel(FirstFrame(*doc), 0, 0), before == 0 ? 3 : before == 3 ? 0 : before);
    }
  }
}

// A movie the program cannot write back opens untitled, so that Save never puts a GIF over it;
// an AVI keeps its name.
TEST_F(AviFiles, OnlyMoviesThatCanBeSavedNameTheDocument) {
  struct Case {
    const char* name;
    bool named;
  } cases[] = {{"clip.avi", true}, {"clip.mp4", false}, {"clip.mov", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = Path(c.name);  // FFmpeg goes by the content, not the name
    ASSERT_TRUE(WriteMovie(path, DrawnMovie(8, 8, false, {0, 1}, 2), kHandlerNone, 15));
    ShellState state;
    ASSERT_TRUE(OpenCommand(state, path));
    ASSERT_TRUE(state.document);
    EXPECT_EQ(state.document->frameCount, 2);
    EXPECT_EQ(state.documentPath, c.named ? path : std::string());
    EXPECT_EQ(state.modified, !c.named);
  }
}

}  // namespace
}  // namespace lw::test
