// WebP files: our animations as libwebp's decoder and webpmux see them, the files of gif2webp and
// img2webp as we open them, and damaged or oversized files.
#include <gmock/gmock.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <array>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>

#include "base/string_ids.h"
#include "core/compose.h"
#include "core/picture_budget.h"
#include "flow_fixture.h"
#include "formats/common/png_codec.h"
#include "formats/open_flow.h"
#include "formats/webp/webp_canvas.h"
#include "formats/webp/webp_compose.h"
#include "formats/webp/webp_format.h"
#include "support/timeline.h"
#include "support/tools.h"

namespace lw::test {
namespace {

class WebpTest : public FlowTest {
 protected:
  // The pictures libwebp composes, as Timeline gives them: clear pixels show kNothingShown,
  // equal pictures in a row are one, delays in hundredths.
  // Each canvas libwebp's animation decoder composes, as BGRA, with its time in milliseconds.
  static void ForEachCanvas(const std::string& path,
                            const std::function<void(const uint8_t*, size_t, int)>& take) {
    const std::string bytes = Contents(path);
    WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_BGRA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    WebPAnimInfo info{};
    uint8_t* p = nullptr;
    int end = 0, start = 0;
    while (decoder && WebPAnimDecoderGetInfo(decoder, &info) &&
           WebPAnimDecoderGetNext(decoder, &p, &end)) {
      take(p, size_t{info.canvas_width} * info.canvas_height, end - start);
      start = end;
    }
    WebPAnimDecoderDelete(decoder);
  }
  // The pictures libwebp composes, as Timeline gives them: clear pixels show kNothingShown,
  // equal pictures in a row are one, delays in hundredths.
  static std::vector<Shown> Decoded(const std::string& path) {
    std::vector<Shown> out;
    ForEachCanvas(path, [&](const uint8_t* p, size_t count, int ms) {
      std::vector<uint32_t> pixels(count);
      for (uint32_t& pixel : pixels) {
        pixel = p[3] < 128 ? PixelFromColour(kNothingShown)
                           : PixelFromColour(p[2] | p[1] << 8 | p[0] << 16);
        p += 4;
      }
      const uint64_t delay = static_cast<uint64_t>(ms) / 10;
      if (!out.empty() && out.back().pixels == pixels)
        out.back().delay += delay;
      else
        out.push_back({std::move(pixels), delay});
    });
    return out;
  }
  AnimationPtr Open(const std::string& path) {
    DocumentSession state;
    Use(state);
    EXPECT_TRUE(OpenOneFile(state, path)) << ::testing::PrintToString(ShownTexts());
    return std::move(state.document);
  }
};

// Any animation is written as the preview shows it: libwebp decodes the same pictures for the
// same times, webpmux finds the loop count and one frame per picture, and we read it back the same.
TEST_F(WebpTest, RandomAnimationsAreWrittenAsThePreviewShowsThem) {
  LW_NEED_TOOL("webpmux");
  const std::string path = Path("random.webp");
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    AnimationPtr a = RandomAnimation(seed, seed % 2);
    a->playCount = seed % 4;
    ASSERT_TRUE(WriteWebp(path, path, *a, {.filled = true}, {}, nullptr));
    const std::vector<Shown> shown = Timeline(*a);
    EXPECT_TRUE(SameTimeline(Decoded(path), shown));
    EXPECT_TRUE(SameTimeline(Timeline(*Open(path)), shown));

    std::istringstream info(Output("webpmux -info " + Quoted(path)));
    std::string line, loop;
    std::vector<uint64_t> durations;
    while (std::getline(info, line)) {
      if (line.find("Loop Count : ") != std::string::npos) loop = line.substr(line.rfind(' ') + 1);
      std::istringstream row(line);
      std::string number, skip;
      uint64_t duration = 0;
      if (row >> number && number.back() == ':' &&
          row >> skip >> skip >> skip >> skip >> skip >> duration)
        durations.push_back(duration / 10);
    }
    EXPECT_EQ(loop, std::to_string(a->playCount));
    ASSERT_EQ(durations.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(durations[i], shown[i].delay) << i;
  }
}

// Pictures with partial alpha, pixels turning clear, disposals and a picture held longer than one
// WebP frame lasts: libwebp decodes exactly the canvases drawn, for the same times.
TEST_F(WebpTest, LosslessFilesGiveBackTheCanvasesExactly) {
  using Pictures = std::vector<std::pair<std::vector<uint8_t>, int64_t>>;  // canvas, milliseconds
  auto add = [](Pictures& to, const uint8_t* bgra, size_t size, int64_t ms) {
    std::vector<uint8_t> canvas(bgra, bgra + size);
    for (size_t i = 0; i < size; i += 4)
      if (canvas[i + 3] == 0) std::fill_n(&canvas[i], 4, 0);
    if (!to.empty() && to.back().first == canvas)
      to.back().second += ms;
    else
      to.emplace_back(std::move(canvas), ms);
  };
  const std::string path = Path("exact.webp");
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    auto pick = [&](uint32_t n) { return rng() % n; };
    AnimationPtr a = MakeDocument(20 + pick(60), 20 + pick(60));
    for (int i = 0; i < 12; ++i) {
      const uint32_t w = 1 + pick(a->screenWidth), h = 1 + pick(a->screenHeight);
      Frame* f = PaintedFrame(w, h, a->globalPalette.get(), [](uint32_t, uint32_t) { return 0; });
      std::vector<uint8_t> rgb(RgbStride(w) * h), alpha(IndexStride(w) * h);
      for (uint8_t& v : rgb) v = pick(2) ? 40 : 200;
      for (uint8_t& v : alpha) v = std::array<uint8_t, 4>{0, 90, 200, 255}[pick(4)];
      SetRgbPlane(f, std::move(rgb));
      SetAlphaPlane(f, std::move(alpha));
      f->left = static_cast<int32_t>(pick(a->screenWidth - w + 1));
      f->top = static_cast<int32_t>(pick(a->screenHeight - h + 1));
      f->delay = i == 5 ? 2'000'000 : 5 + 5 * pick(3);  // 20000 s: over 2^24 ms
      SetDisposal(f, static_cast<int>(pick(4)));
      Append(*a, f);
    }
    ASSERT_TRUE(WriteWebp(path, path, *a, {.filled = true}, {}, nullptr));
    Pictures drawn, decoded;
    DocumentPictures pictures(*a);
    ASSERT_TRUE(pictures.Ready());
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      const std::vector<uint8_t>& canvas = pictures.Draw(*f);
      add(drawn, canvas.data(), canvas.size(), int64_t{f->delay} * 10);
    }
    ForEachCanvas(path,
                  [&](const uint8_t* p, size_t count, int ms) { add(decoded, p, 4 * count, ms); });
    EXPECT_TRUE(drawn == decoded) << drawn.size() << " pictures drawn, " << decoded.size();
  }
}

// gif2webp's files (lossless and lossy) of GIFs we write, and img2webp's of PNG pictures, open
// with their pictures, times and loop count.
TEST_F(WebpTest, FilesOfGif2webpAndImg2webpOpen) {
  LW_NEED_TOOL("gif2webp");
  LW_NEED_TOOL("img2webp");
  for (uint32_t seed = 40; seed < 46; ++seed) {
    SCOPED_TRACE(seed);
    AnimationPtr a = RandomAnimation(seed, seed % 2);
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->delay += 2;  // 0 and 1 play as 10
    a->playCount = seed % 3;
    ASSERT_TRUE(SaveGifToFile(Path("a.gif"), *a, {}, nullptr));
    const std::vector<Shown> shown = Timeline(*a);
    for (const char* mode : {"", "-lossy -q 90"}) {
      ASSERT_EQ(RunTool("gif2webp -quiet " + std::string(mode) + " " + Quoted(Path("a.gif")) +
                        " -o " + Quoted(Path("a.webp")))
                    .exitCode,
                0);
      AnimationPtr read = Open(Path("a.webp"));
      ASSERT_TRUE(read);
      EXPECT_EQ(read->playCount, a->playCount);
      const std::vector<Shown> opened = Timeline(*read);
      if (*mode == '\0') {
        EXPECT_TRUE(SameTimeline(opened, shown));
      }
      EXPECT_EQ(TotalDuration(*read), TotalDuration(*a));
    }
    // The same pictures as opaque PNG files, each with its time.
    std::string command = "img2webp -lossless -loop 3";
    for (size_t i = 0; i < shown.size(); ++i) {
      std::vector<uint32_t> rgb(shown[i].pixels.size());
      for (size_t k = 0; k < rgb.size(); ++k) rgb[k] = shown[i].pixels[k] & 0xFFFFFF;
      std::unique_ptr<Frame> picture(TrueColourFrame(a->screenWidth, a->screenHeight, rgb));
      const std::string png = Path(std::to_string(i) + ".png");
      ASSERT_TRUE(WritePng(png, picture.get()));
      command += " -d " + std::to_string(shown[i].delay * 10) + " " + Quoted(png);
    }
    ASSERT_EQ(RunTool(command + " -o " + Quoted(Path("b.webp"))).exitCode, 0);
    AnimationPtr read = Open(Path("b.webp"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->playCount, 3u);
    EXPECT_TRUE(SameTimeline(Timeline(*read), shown));
  }
}

TEST_F(WebpTest, DamagedAndOversizedFilesGiveTheirMessage) {
  AnimationPtr a = RandomAnimation(7, false);
  ASSERT_TRUE(WriteWebp(Path("good.webp"), "good.webp", *a, {.filled = true}, {}, nullptr));
  const std::string good = Contents(Path("good.webp"));
  std::string lastFrameBroken = good;  // the last picture's coded pixels, after its header
  const size_t last = good.rfind("VP8L") + 13;
  lastFrameBroken.replace(last, good.size() - last, good.size() - last, '\xFF');
  const std::string damaged = ResText(str::WebpDamaged), tooLarge = ResText(str::WebpTooLarge);
  const struct {
    std::string bytes;
    uint64_t budget;  // 0: the default
    std::vector<std::string> messages;
    int status;
  } cases[] = {
      {"RIFF", 0, {damaged}, ReadFailed},
      {good.substr(0, 40), 0, {damaged}, ReadFailed},
      {good.substr(0, good.size() - 3), 0, {damaged}, ReadFailed},
      {lastFrameBroken, 0, {damaged}, ReadPartial},
      // Said before any pixel is decoded.
      {good, 64, {tooLarge}, ReadFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    Headless().Reset();
    Put(Path("bad.webp"), c.bytes);
    SetPictureBudgetBytes(c.budget);
    AnimationPtr read;
    EXPECT_EQ(ReadWebp(Path("bad.webp"), {}, &read, nullptr), c.status);
    SetPictureBudgetBytes(0);
    EXPECT_EQ(read == nullptr, c.status == ReadFailed);
    EXPECT_EQ(ShownTexts(), c.messages);
  }
}

// An animated WebP of tiny frames (1 x 1 each, the given colours) on a canvas of side x side.
std::string TinyFramesOnHugeCanvas(uint32_t side, const std::vector<std::pair<int, int>>& places) {
  WebPMux* mux = WebPMuxNew();
  std::vector<uint8_t*> coded;
  for (size_t i = 0; i < places.size(); ++i) {
    const uint8_t bgra[4] = {static_cast<uint8_t>(10 * i), 20, 30, 255};
    uint8_t* out = nullptr;
    const size_t size = WebPEncodeLosslessBGRA(bgra, 1, 1, 4, &out);
    coded.push_back(out);
    WebPMuxFrameInfo info{};
    info.bitstream = {out, size};
    info.id = WEBP_CHUNK_ANMF;
    info.x_offset = places[i].first;
    info.y_offset = places[i].second;
    info.duration = 70;
    info.dispose_method = WEBP_MUX_DISPOSE_NONE;
    info.blend_method = WEBP_MUX_BLEND;
    EXPECT_EQ(WebPMuxPushFrame(mux, &info, 1), WEBP_MUX_OK);
  }
  WebPMuxAnimParams params{0, 2};
  EXPECT_EQ(WebPMuxSetAnimationParams(mux, &params), WEBP_MUX_OK);
  EXPECT_EQ(WebPMuxSetCanvasSize(mux, static_cast<int>(side), static_cast<int>(side)), WEBP_MUX_OK);
  WebPData data;
  WebPDataInit(&data);
  EXPECT_EQ(WebPMuxAssemble(mux, &data), WEBP_MUX_OK);
  std::string bytes(reinterpret_cast<const char*>(data.bytes), data.size);
  WebPDataClear(&data);
  WebPMuxDelete(mux);
  for (uint8_t* p : coded) WebPFree(p);
  return bytes;
}

// A file of a few hundred bytes with a canvas of gigabytes and ten tiny frames: the reader asks
// the budget only for the box the frames cover (libwebp's decoder would take two whole canvases
// and we three more), and refuses in French when even the box passes it. What was asked is
// counted, not time; the pictures are libwebp's.
TEST_F(WebpTest, HugeCanvasesCostOnlyWhatTheFramesCover) {
  struct Restore {
    ~Restore() { SetPictureBudgetBytes(0); }
  } restore;
  SetPictureBudgetBytes(uint64_t{64} << 20);
  for (bool spread : {false, true}) {
    SCOPED_TRACE(spread ? "spread" : "together");
    Headless().Reset();
    std::vector<std::pair<int, int>> places;
    for (int i = 0; i < 10; ++i) places.emplace_back(2 * (i % 3) + 100, 40);
    if (spread) places.back() = {16382, 16382};
    const std::string bytes = TinyFramesOnHugeCanvas(16383, places);
    EXPECT_LT(bytes.size(), 1000u);
    Put(Path("huge.webp"), bytes);
    ResetPicturePeakBytes();
    AnimationPtr read;
    const int status = ReadWebp(Path("huge.webp"), {}, &read, nullptr);
    EXPECT_LE(PicturePeakBytes(), PictureBudgetBytes());
    if (spread) {
      EXPECT_EQ(status, ReadFailed);
      EXPECT_EQ(ShownTexts(), std::vector<std::string>{ResText(str::WebpTooLarge)});
      continue;
    }
    ASSERT_EQ(status, ReadComplete) << ::testing::PrintToString(ShownTexts());
    EXPECT_LT(PicturePeakBytes(), 64u << 10);
    EXPECT_EQ(read->screenWidth, 16383u);
    EXPECT_EQ(read->playCount, 2u);
    EXPECT_EQ(read->frameCount, 10);
    for (const Frame* f = FirstFrame(*read); f; f = NextFrame(f)) {
      EXPECT_EQ(f->delay, 7u);
      EXPECT_GE(f->left, 100);
      EXPECT_EQ(f->top, 40);
    }
  }
}

// The pictures we compose in the frames' box are libwebp's, bit for bit: partial alpha blended
// or not, boxes cleared, key frames, lossy and lossless files.
TEST_F(WebpTest, PicturesComposedInTheBoxAreLibwebpsOwn) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    auto pick = [&](uint32_t n) { return rng() % n; };
    AnimationPtr a = MakeDocument(10 + pick(30), 10 + pick(30));
    for (int i = 0; i < 8; ++i) {
      const uint32_t w = 1 + pick(a->screenWidth), h = 1 + pick(a->screenHeight);
      Frame* f = PaintedFrame(w, h, a->globalPalette.get(), [](uint32_t, uint32_t) { return 0; });
      std::vector<uint8_t> rgb(RgbStride(w) * h), alpha(IndexStride(w) * h);
      for (uint8_t& v : rgb) v = static_cast<uint8_t>(rng());
      for (uint8_t& v : alpha) v = std::array<uint8_t, 5>{0, 1, 90, 200, 255}[pick(5)];
      SetRgbPlane(f, std::move(rgb));
      SetAlphaPlane(f, std::move(alpha));
      f->left = static_cast<int32_t>(pick(a->screenWidth - w + 1));
      f->top = static_cast<int32_t>(pick(a->screenHeight - h + 1));
      SetDisposal(f, static_cast<int>(pick(3)));
      Append(*a, f);
    }
    ASSERT_TRUE(WriteWebp(Path("c.webp"), "c.webp", *a, {.filled = true, .lossy = seed % 2 == 0},
                          {}, nullptr));
    const std::string bytes = Contents(Path("c.webp"));
    WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    WebPDemuxer* demux = WebPDemux(&data);
    ASSERT_TRUE(demux);
    WebpComposer composer(demux);
    ASSERT_TRUE(composer.Start());
    const uint32_t width = a->screenWidth;
    size_t frames = 0;
    int elapsed = 0;
    ForEachCanvas(Path("c.webp"), [&](const uint8_t* p, size_t count, int ms) {
      int64_t end = 0;
      ASSERT_TRUE(composer.Next(&end));
      elapsed += ms;
      EXPECT_EQ(end, elapsed);
      const std::vector<uint8_t>& box = composer.Picture();
      for (size_t i = 0; i < count; ++i) {
        const uint32_t x = static_cast<uint32_t>(i % width), y = static_cast<uint32_t>(i / width);
        const bool inside = x >= composer.Left() && y >= composer.Top() &&
                            x < composer.Left() + composer.Width() &&
                            y < composer.Top() + composer.Height();
        static const uint8_t kClear[4] = {};
        const uint8_t* ours =
            inside
                ? &box[4 * (uint64_t{y - composer.Top()} * composer.Width() + x - composer.Left())]
                : kClear;
        ASSERT_EQ(std::memcmp(ours, p + 4 * i, 4), 0)
            << "frame " << frames << " pixel " << x << "," << y;
      }
      ++frames;
    });
    EXPECT_EQ(frames, composer.FrameCount());
    WebPDemuxDelete(demux);
  }
}

// A lossy animation with a picture longer than a WebP frame lasts (2^24 ms) is written as the
// lossless one is: the long picture spread over frames that change nothing.
TEST_F(WebpTest, LossyFilesHoldPicturesLongerThanAFrame) {
  // Colours far apart, which the lossy encoder cannot take for one another.
  AnimationPtr a = MakeDocument(16, 8);
  for (uint8_t index : {0, 8, 15}) AddSolidFrame(*a, 0, 0, 16, 8, index);
  FrameAt(*a, 1)->delay = 2'000'000;  // 20000 s
  ASSERT_TRUE(
      WriteWebp(Path("long.webp"), "long.webp", *a, {.filled = true, .lossy = true}, {}, nullptr))
      << ::testing::PrintToString(ShownTexts());
  std::vector<int64_t> durations;  // of each picture, in milliseconds
  std::vector<uint8_t> last;
  ForEachCanvas(Path("long.webp"), [&](const uint8_t* p, size_t count, int ms) {
    std::vector<uint8_t> canvas(p, p + 4 * count);
    if (!durations.empty() && canvas == last)
      durations.back() += ms;
    else
      durations.push_back(ms);
    last = std::move(canvas);
  });
  EXPECT_EQ(durations, (std::vector<int64_t>{100, 20'000'000, 100}));
}

// Delays past what a GIF frame holds (655.35 s): each frame is cut on its own, the others keep
// theirs, and the save says so once.
TEST_F(WebpTest, GifSavesCutLongDelaysEachOnItsOwnAndSaySo) {
  AnimationPtr a = NumberedAnimation(4, 4, 2);
  const uint32_t delays[] = {70'000, 5, 65'535, 1'000'000};
  uint32_t i = 0;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->delay = delays[i++];
  ASSERT_TRUE(WriteWebp(Path("long.webp"), "long.webp", *a, {.filled = true}, {}, nullptr));
  AnimationPtr read = Open(Path("long.webp"));
  ASSERT_TRUE(read);
  Headless().Reset();
  ASSERT_TRUE(SaveGifToFile(Path("long.gif"), *read, {}, nullptr));
  EXPECT_EQ(ShownTexts(), std::vector<std::string>{ResText(str::GifDelaysShortened)});
  AnimationPtr back = ReadBack(Path("long.gif"));
  ASSERT_TRUE(back);
  std::vector<uint32_t> written;
  for (const Frame* f = FirstFrame(*back); f; f = NextFrame(f)) written.push_back(f->delay);
  EXPECT_EQ(written, (std::vector<uint32_t>{65'535, 5, 65'535, 65'535}));
  // Nothing to cut, nothing said.
  Headless().Reset();
  ASSERT_TRUE(SaveGifToFile(Path("again.gif"), *back, {}, nullptr));
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace lw::test
