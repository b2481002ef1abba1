// True-colour animations through the batch mode: an APNG or lossless WebP opened and saved as
// the same type shows, in FFmpeg's and libwebp's decoders, the very pictures of the file read.
// The files read are made by those programs' own encoders from random canvases, so the frames
// come with their own boxes, blend and dispose operations.
#include <gmock/gmock.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "batch/batch_runner.h"

namespace lw::test {
namespace {

using Canvas = std::vector<uint8_t>;  // width x height x 4 bytes, R G B A

// Clear pixels are clear whatever colour they hold.
Canvas Normalised(Canvas c) {
  for (size_t i = 0; i < c.size(); i += 4)
    if (c[i + 3] == 0) std::memset(&c[i], 0, 4);
  return c;
}

// Pictures in a row that are the same are one picture shown longer.
struct Timed {
  Canvas canvas;
  int ms = 0;
  bool operator==(const Timed&) const = default;
};
void Add(std::vector<Timed>* to, Canvas canvas, int ms) {
  canvas = Normalised(std::move(canvas));
  if (!to->empty() && to->back().canvas == canvas)
    to->back().ms += ms;
  else
    to->push_back({std::move(canvas), ms});
}

// Random canvases of many more colours than a GIF holds: noise, then each picture changes a
// random box of the one before to new noise, partly transparent or clear.
std::vector<Canvas> RandomCanvases(uint32_t seed, int width, int height, int count) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  std::vector<Canvas> out;
  Canvas c(size_t{4} * width * height);
  for (size_t i = 0; i < c.size(); ++i) c[i] = (i % 4 == 3) ? 255 : static_cast<uint8_t>(rng());
  for (int k = 0; k < count; ++k) {
    if (k > 0) {
      const int x = pick(width), y = pick(height);
      const int w = 1 + pick(width - x), h = 1 + pick(height - y);
      const uint8_t alpha = std::array<uint8_t, 5>{0, 255, 255, 170, 90}[pick(5)];
      for (int r = y; r < y + h; ++r)
        for (int q = x; q < x + w; ++q) {
          uint8_t* p = &c[4 * (static_cast<size_t>(r) * width + q)];
          p[0] = static_cast<uint8_t>(rng()), p[1] = static_cast<uint8_t>(rng());
          p[2] = static_cast<uint8_t>(rng()), p[3] = alpha;
        }
    }
    out.push_back(Normalised(c));
  }
  return out;
}

// Every picture FFmpeg decodes from the file, with its time.
std::vector<Timed> FfmpegPictures(const std::string& file, int width, int height) {
  std::vector<int> ms;
  std::istringstream seconds(
      Output("ffprobe -v error -select_streams v:0 -show_entries "
             "packet=duration_time -of csv=p=0 " +
             Quoted(file)));
  for (double s; seconds >> s;) ms.push_back(static_cast<int>(std::lround(s * 1000)));
  const std::string raw = Output("ffmpeg -v error -i " + Quoted(file) +
                                 " -fps_mode passthrough -f rawvideo -pix_fmt rgba -");
  const size_t size = size_t{4} * width * height;
  std::vector<Timed> out;
  for (size_t i = 0; i < ms.size() && (i + 1) * size <= raw.size(); ++i)
    Add(&out, Canvas(raw.begin() + i * size, raw.begin() + (i + 1) * size), ms[i]);
  return out;
}

// Every canvas libwebp's animation decoder composes, with its time.
std::vector<Timed> WebpPictures(const std::string& file) {
  const std::string bytes = Contents(file);
  WebPData data{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  WebPAnimInfo info{};
  std::vector<Timed> out;
  uint8_t* p = nullptr;
  int end = 0, start = 0;
  while (decoder && WebPAnimDecoderGetInfo(decoder, &info) &&
         WebPAnimDecoderGetNext(decoder, &p, &end)) {
    Add(&out, Canvas(p, p + size_t{4} * info.canvas_width * info.canvas_height), end - start);
    start = end;
  }
  WebPAnimDecoderDelete(decoder);
  return out;
}

// libwebp's own lossless animation of the canvases, each shown for its time.
bool EncodeWebp(const std::vector<Canvas>& canvases, const std::vector<int>& ms, int width,
                int height, const std::string& path) {
  WebPAnimEncoderOptions options;
  WebPAnimEncoderOptionsInit(&options);
  options.allow_mixed = 0;
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(width, height, &options);
  WebPConfig config;
  WebPConfigInit(&config);
  config.lossless = 1;
  config.exact = 1;
  int time = 0;
  bool ok = encoder != nullptr;
  for (size_t i = 0; ok && i < canvases.size(); ++i) {
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    ok = WebPPictureImportRGBA(&picture, canvases[i].data(), 4 * width) &&
         WebPAnimEncoderAdd(encoder, &picture, time, &config);
    WebPPictureFree(&picture);
    time += ms[i];
  }
  WebPData data;
  WebPDataInit(&data);
  ok = ok && WebPAnimEncoderAdd(encoder, nullptr, time, nullptr) &&
       WebPAnimEncoderAssemble(encoder, &data);
  if (ok) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.bytes), static_cast<std::streamsize>(data.size));
  }
  WebPDataClear(&data);
  WebPAnimEncoderDelete(encoder);
  return ok;
}

class TrueColourRoundTrip : public ::testing::Test {
 protected:
  TempDir dir_;
};

// FFmpeg's APNG encoder cuts each picture to the box that changed, blends over or replaces and
// disposes as it finds best; the file we save from it decodes in FFmpeg to the same pictures,
// pixel for pixel, with their times. A writer drawing the frames' 8-bit images, or a read that
// cuts the frames into GIF-style changes and drops their 24-bit data, shows other colours.
TEST_F(TrueColourRoundTrip, ApngSavedAsApngGivesBackItsPictures) {
  LW_NEED_TOOL("ffmpeg");
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const int width = 24 + static_cast<int>(seed * 7 % 40),
              height = 16 + static_cast<int>(seed * 5 % 30);
    const std::vector<Canvas> canvases = RandomCanvases(seed, width, height, 6);
    std::string raw;
    for (const Canvas& c : canvases) raw.append(c.begin(), c.end());
    dir_.Put("frames.rgba", raw);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    ASSERT_EQ(RunTool("ffmpeg -v error -f rawvideo -pix_fmt rgba -s " + size + " -r 10 -i " +
                      Quoted(dir_.Path("frames.rgba")) + " -y -plays 0 -pred mixed -f apng " +
                      Quoted(dir_.Path("in.apng")))
                  .exitCode,
              0);
    const std::vector<Timed> source = FfmpegPictures(dir_.Path("in.apng"), width, height);
    ASSERT_EQ(source.size(), canvases.size());
    for (size_t i = 0; i < canvases.size(); ++i) ASSERT_TRUE(source[i].canvas == canvases[i]) << i;

    const BatchRun run = RunBatchProgram(dir_, {"-i", "in.apng", "-o", "out.apng"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::vector<Timed> back = FfmpegPictures(dir_.Path("out.apng"), width, height);
    ASSERT_EQ(back.size(), source.size());
    for (size_t i = 0; i < source.size(); ++i) {
      EXPECT_TRUE(back[i].canvas == source[i].canvas) << "picture " << i;
      EXPECT_EQ(back[i].ms, source[i].ms) << "picture " << i;
    }
  }
}

// libwebp's lossless animation encoder makes sub-frames with their own blend and dispose; saved
// again as lossless WebP, libwebp decodes the same canvases for the same times. Partly clear
// pixels are where a reader goes wrong: taken as left out below half opacity, blended over the
// picture they replace, or drawn again over themselves inside a later frame's box.
TEST_F(TrueColourRoundTrip, LosslessWebpSavedAsWebpGivesBackItsCanvases) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const int width = 20 + static_cast<int>(seed * 11 % 50),
              height = 12 + static_cast<int>(seed * 3 % 40);
    const std::vector<Canvas> canvases = RandomCanvases(seed + 100, width, height, 7);
    std::vector<int> ms;
    for (size_t i = 0; i < canvases.size(); ++i)
      ms.push_back(10 * (2 + static_cast<int>((seed + i) % 9)));
    ASSERT_TRUE(EncodeWebp(canvases, ms, width, height, dir_.Path("in.webp")));
    const std::vector<Timed> source = WebpPictures(dir_.Path("in.webp"));
    ASSERT_FALSE(source.empty());

    const BatchRun run =
        RunBatchProgram(dir_, {"-i", "in.webp", "--webp", "lossless", "-o", "out.webp"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::vector<Timed> back = WebpPictures(dir_.Path("out.webp"));
    ASSERT_EQ(back.size(), source.size());
    for (size_t i = 0; i < source.size(); ++i) {
      EXPECT_TRUE(back[i].canvas == source[i].canvas) << "canvas " << i;
      EXPECT_EQ(back[i].ms, source[i].ms) << "canvas " << i;
    }
  }
}

}  // namespace
}  // namespace lw::test
