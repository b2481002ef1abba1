// Animated PNG against the programs that know it: what we write, FFmpeg and Pillow play as our
// preview plays the document; what they write, we open as they play it. The oracle is the
// preview's compositor (Timeline), pictures that repeat folded into one.
#include <gmock/gmock.h>
#include <zlib.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/picture_budget.h"
#include "flow_fixture.h"
#include "formats/common/apng_chunks.h"
#include "formats/common/png_codec.h"
#include "formats/open_flow.h"
#include "formats/png/apng_format.h"
#include "formats/png/png_entry.h"
#include "support/timeline.h"
#include "support/tools.h"

namespace lw::test {
namespace {

// Another program's pictures: width x height RGBA each, with their durations in 1/100 s.
std::vector<Shown> Pictures(const std::string& rgba, size_t pixels,
                            const std::vector<uint64_t>& delays) {
  std::vector<Shown> out;
  for (size_t i = 0; i < delays.size() && (i + 1) * 4 * pixels <= rgba.size(); ++i) {
    std::vector<uint32_t> picture;
    for (size_t k = 0; k < pixels; ++k) {
      const auto* p = reinterpret_cast<const uint8_t*>(rgba.data()) + 4 * (i * pixels + k);
      picture.push_back(p[3] ? 0xFF000000u | p[0] << 16 | p[1] << 8 | p[2]
                             : PixelFromColour(kNothingShown));
    }
    if (!out.empty() && out.back().pixels == picture) {
      out.back().delay += delays[i];
    } else {
      out.push_back({std::move(picture), delays[i]});
    }
  }
  return out;
}

std::vector<Shown> FfmpegPlays(const std::string& file, size_t pixels) {
  std::vector<uint64_t> delays;
  std::istringstream seconds(
      Output("ffprobe -v error -select_streams v:0 -show_entries "
             "packet=duration_time -of csv=p=0 " +
             Quoted(file)));
  for (double s; seconds >> s;) delays.push_back(static_cast<uint64_t>(std::llround(s * 100)));
  return Pictures(Output("ffmpeg -v error -i " + Quoted(file) +
                         " -fps_mode passthrough -f rawvideo -pix_fmt rgba -"),
                  pixels, delays);
}

// Pillow composes each frame as it seeks to it.
constexpr const char* kPillowDump =
    "import sys\nfrom PIL import Image, ImageSequence\nim = Image.open(sys.argv[1])\n"
    "out = open(sys.argv[2], 'wb')\nfor f in ImageSequence.Iterator(im):\n"
    "  print(round(f.info.get('duration', 0) / 10))\n  out.write(f.convert('RGBA').tobytes())\n";

std::vector<Shown> PillowPlays(const std::string& file, size_t pixels) {
  const std::string raw = file + ".rgba";
  std::istringstream lines(Output("/usr/bin/python3 -c " + Quoted(kPillowDump) + " " +
                                  Quoted(file) + " " + Quoted(raw)));
  std::vector<uint64_t> delays{std::istream_iterator<uint64_t>(lines), {}};
  std::ifstream in(raw, std::ios::binary);
  return Pictures({std::istreambuf_iterator<char>(in), {}}, pixels, delays);
}

// Whether a frame is blended OVER and cleared after it, which FFmpeg 5.1 shows as if cleared
// before.
bool ClearedOver(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string file{std::istreambuf_iterator<char>(in), {}};
  for (size_t at = file.find("fcTL"); at != std::string::npos; at = file.find("fcTL", at + 1))
    if (at + 30 <= file.size() && file[at + 28] == 1 && file[at + 29] == 1) return true;
  return false;
}

// Opened as the window opens it, true-colour frames fitted to palettes.
AnimationPtr Opened(const std::string& path) {
  DocumentSession state;
  if (!OpenOneFile(state, path)) return nullptr;
  return std::move(state.document);
}

class ApngTest : public FlowTest {};

// Pillow is Debian's, for the system's own Python.
#define LW_NEED_PILLOW()                                                  \
  LW_NEED_TOOL("ffmpeg");                                                 \
  if (RunTool("/usr/bin/python3 -c 'import PIL' 2>/dev/null").exitCode) { \
    if (std::getenv("CI")) FAIL() << "Pillow is not installed";           \
    GTEST_SKIP() << "Pillow is not installed";                            \
  }

// Random animations, transparent overlays, partial first frames, frames off the screen, every
// disposal, local palettes (then one merged palette): FFmpeg, Pillow and our reader play what we
// wrote as the preview plays the document, and the loop count survives.
TEST_F(ApngTest, WhatWeWritePlaysAsThePreviewEverywhere) {
  LW_NEED_PILLOW();
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    AnimationPtr a = RandomAnimation(seed, seed % 2 == 0);
    a->playCount = seed % 3;
    // Frames past the screen's edges: cut, or a clear pixel when wholly outside.
    FrameAt(*a, seed % 2)->left -= 5;
    if (seed % 3 == 0) FrameAt(*a, 1)->top = static_cast<int32_t>(a->screenHeight) + 1;
    const std::string path = Path("r" + std::to_string(seed) + ".apng");
    SaveOptions options;
    ASSERT_TRUE(WriteAsType(path, *a, options, savetype::Apng, nullptr));
    const std::vector<Shown> shown = Timeline(*a);
    const size_t pixels = size_t{a->screenWidth} * a->screenHeight;
    if (!ClearedOver(path)) {
      EXPECT_TRUE(SameTimeline(FfmpegPlays(path, pixels), shown));
    }
    EXPECT_TRUE(SameTimeline(PillowPlays(path, pixels), shown));
    AnimationPtr read = Opened(path);
    ASSERT_TRUE(read);
    EXPECT_TRUE(SameTimeline(Timeline(*read), shown));
    EXPECT_EQ(read->playCount, a->playCount);
  }
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
}

// Pillow's files: random rectangles, clear or opaque, with every disposal and blend (SOURCE
// over drawn pixels included, which our frames can only show composed).
constexpr const char* kPillowWrite =
    "import sys, random\nfrom PIL import Image\nr = random.Random(int(sys.argv[2]))\n"
    "w, h = r.randint(3, 30), r.randint(3, 20)\nframes = []\n"
    "for i in range(r.randint(2, 7)):\n  im = Image.new('RGBA', (w, h), (0, 0, 0, 0))\n"
    "  for k in range(r.randint(1, 4)):\n    x, y = r.randrange(w), r.randrange(h)\n"
    "    c = (r.randrange(256), r.randrange(256), r.randrange(256), r.choice([0, 255]))\n"
    "    im.paste(c, (x, y, r.randint(x + 1, w), r.randint(y + 1, h)))\n  frames.append(im)\n"
    "n = len(frames)\nframes[0].save(sys.argv[1], save_all=True, append_images=frames[1:], "
    "loop=r.randrange(3), duration=[r.randint(1, 20) * 10 for f in frames], "
    "disposal=[r.randrange(3) for f in frames], blend=[r.randrange(2) for f in frames])\n";

TEST_F(ApngTest, WeOpenWhatPillowAndFfmpegWriteAsTheyPlayIt) {
  LW_NEED_PILLOW();
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::string pillow = Path("p" + std::to_string(seed) + ".png");
    ASSERT_EQ(RunTool("/usr/bin/python3 -c " + Quoted(kPillowWrite) + " " + Quoted(pillow) + " " +
                      std::to_string(seed))
                  .exitCode,
              0);
    AnimationPtr read = Opened(pillow);
    ASSERT_TRUE(read);
    const size_t pixels = size_t{read->screenWidth} * read->screenHeight;
    EXPECT_TRUE(SameTimeline(Timeline(*read), PillowPlays(pillow, pixels)));

    AnimationPtr a = RandomAnimation(seed, false);
    const std::string gif = Path("g" + std::to_string(seed) + ".gif");
    const std::string ffmpeg = Path("f" + std::to_string(seed) + ".png");
    ASSERT_TRUE(SaveGifToFile(gif, *a, {}, nullptr));
    ASSERT_EQ(RunTool("ffmpeg -v error -i " + Quoted(gif) + " -fps_mode passthrough " +
                      "-time_base 1/100 -plays 0 -f apng " + Quoted(ffmpeg))
                  .exitCode,
              0);
    read = Opened(ffmpeg);
    ASSERT_TRUE(read);
    EXPECT_TRUE(SameTimeline(Timeline(*read),
                             FfmpegPlays(ffmpeg, size_t{a->screenWidth} * a->screenHeight)));
  }
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
}

// The field at offset in the body of a chunk's nth occurrence, its CRC made right again, so
// that only the field is wrong.
void Patch(std::string& file, const char* tag, int nth, size_t offset, uint32_t value) {
  size_t at = file.find(tag);
  for (int i = 0; i < nth; ++i) at = file.find(tag, at + 1);
  auto put = [&](size_t to, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[to + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
  const uint32_t length =
      bytes[at - 4] << 24 | bytes[at - 3] << 16 | bytes[at - 2] << 8 | bytes[at - 1];
  put(at + 4 + offset, value);
  put(at + 4 + length, static_cast<uint32_t>(crc32(0, bytes + at, 4 + length)));
}

// Cut files, wrong CRCs, sequence numbers out of order, frames outside the canvas: the PNG
// message; a canvas beyond the picture budget: the memory message, before any allocation.
TEST_F(ApngTest, DamagedFilesGiveThePngMessage) {
  AnimationPtr a = RandomAnimation(3, false);
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(Path("good.apng"), *a, options, savetype::Apng, nullptr));
  std::ifstream in(Path("good.apng"), std::ios::binary);
  const std::string good{std::istreambuf_iterator<char>(in), {}};
  const std::string damaged = ResText(str::PngDamaged);
  const std::vector<std::pair<std::function<void(std::string&)>, std::string>> cases = {
      {[](std::string& f) { f.resize(f.size() - 20); }, damaged},
      {[](std::string& f) { f[f.rfind("fdAT") + 9] ^= 1; }, damaged},
      {[](std::string& f) { Patch(f, "fcTL", 1, 0, 7); }, damaged},
      {[](std::string& f) { Patch(f, "fdAT", 0, 0, 0); }, damaged},
      {[&](std::string& f) { Patch(f, "fcTL", 1, 12, a->screenWidth); }, damaged},
      {[](std::string& f) {
         for (size_t at : {0, 4})
           Patch(f, "IHDR", 0, at, 60000), Patch(f, "fcTL", 0, at + 4, 60000);
       },
       ResText(str::NoFrameMemory)},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    Headless().Reset();
    std::string file = good;
    cases[i].first(file);
    Put(Path("bad.png"), file);
    AnimationPtr read;
    EXPECT_EQ(ReadAnyFile(Path("bad.png"), Flows().read, nullptr, &read, nullptr), ReadFailed);
    EXPECT_FALSE(read);
    EXPECT_THAT(ShownTexts(), ::testing::ElementsAre(cases[i].second));
  }
}

// Saving as PNG: the choice box names the animation; several frames saved plainly give the
// first as before, the animation chosen gives them all, and a plain save over an animated PNG
// keeps it animated.
TEST_F(ApngTest, PngSavesWriteTheAnimationWhenChosenOrAlreadyThere) {
  EXPECT_EQ(SaveChoiceEntries(savetype::Png, doctrait::SeveralFrames).at(0).textId,
            str::ApngChoice);
  AnimationPtr a = RandomAnimation(5, false);
  auto framesAfter = [&](uint32_t bits) {
    SaveOptions options;
    options.optionBits = bits;
    EXPECT_TRUE(WriteAsType(Path("a.png"), *a, options, savetype::Png, nullptr));
    AnimationPtr read;
    EXPECT_EQ(ReadAnyFile(Path("a.png"), Flows().read, nullptr, &read, nullptr), ReadComplete);
    return read ? read->frameCount : 0;
  };
  EXPECT_EQ(framesAfter(saveopt::Plain), 1);
  EXPECT_EQ(framesAfter(saveopt::AnimationChosen), a->frameCount);
  EXPECT_EQ(framesAfter(saveopt::Plain), a->frameCount);
}

// ---- Files built here, chunk by chunk ----

struct BuiltFrame {
  uint32_t x = 0, y = 0, w = 1, h = 1;
  uint16_t num = 10, den = 100;
  uint8_t dispose = 0, blend = 0;
  std::vector<uint32_t> argb{};  // w x h, 0xAARRGGBB; empty: clear
};

struct BuiltFile {
  uint32_t width = 1, height = 1;
  std::vector<BuiltFrame> frames{};
  // The default image is the first frame; otherwise it is hidden, and only a few bytes (it is
  // never decoded unless the file is read as a still).
  bool defaultIsFrame = true;
  std::vector<uint32_t> hidden{};  // the hidden default image's pixels, when it is decoded
  int64_t declared = -1;           // the frame count acTL gives; -1: the frames'
  uint32_t plays = 0;
  bool frameControlFirst = false;  // the first fcTL comes before acTL
};

// The IDAT payload of an RGBA picture.
std::vector<uint8_t> ImageData(uint32_t w, uint32_t h, std::vector<uint32_t> argb) {
  argb.resize(size_t{w} * h, 0);
  std::vector<uint8_t> rows;
  for (uint32_t p : argb)
    rows.insert(rows.end(), {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), uint8_t(p >> 24)});
  PngImage image;
  image.width = w;
  image.height = h;
  image.colourType = PngImage::Rgba;
  image.rows = rows.data();
  image.rowBytes = size_t{4} * w;
  std::vector<uint8_t> png, data;
  std::vector<apng::Chunk> chunks;
  EXPECT_TRUE(EncodePngBytes(image, &png) && apng::SplitChunks(png.data(), png.size(), &chunks));
  for (const apng::Chunk& c : chunks)
    if (c.tag == apng::Tag("IDAT")) data.insert(data.end(), c.data, c.data + c.length);
  return data;
}

std::string Build(const BuiltFile& file) {
  std::vector<uint8_t> out(apng::kSignature, apng::kSignature + 8), body;
  auto chunk = [&](const char(&tag)[5], const std::vector<uint8_t>& data) {
    apng::AppendChunk(out, apng::Tag(tag), data.data(), data.size());
  };
  body.clear();
  apng::PutBe32(body, file.width);
  apng::PutBe32(body, file.height);
  body.insert(body.end(), {8, 6, 0, 0, 0});
  chunk("IHDR", body);
  uint32_t sequence = 0;
  auto control = [&](const BuiltFrame& f) {
    body.clear();
    apng::PutBe32(body, sequence++);
    for (uint32_t v : {f.w, f.h, f.x, f.y}) apng::PutBe32(body, v);
    apng::PutBe16(body, f.num);
    apng::PutBe16(body, f.den);
    body.insert(body.end(), {f.dispose, f.blend});
    chunk("fcTL", body);
  };
  size_t next = 0;
  if (file.frameControlFirst) control(file.frames[next++]);
  body.clear();
  apng::PutBe32(body,
                static_cast<uint32_t>(file.declared < 0 ? file.frames.size() : file.declared));
  apng::PutBe32(body, file.plays);
  chunk("acTL", body);
  if (file.defaultIsFrame) {
    if (next == 0) control(file.frames[next++]);
    chunk("IDAT", ImageData(file.width, file.height, file.frames[0].argb));
  } else if (!file.hidden.empty()) {
    chunk("IDAT", ImageData(file.width, file.height, file.hidden));
  } else {
    chunk("IDAT", {0x78, 0x9C});
  }
  for (; next < file.frames.size(); ++next) {
    const BuiltFrame& f = file.frames[next];
    control(f);
    body.clear();
    apng::PutBe32(body, sequence++);
    const std::vector<uint8_t> data = ImageData(f.w, f.h, f.argb);
    body.insert(body.end(), data.begin(), data.end());
    chunk("fdAT", body);
  }
  chunk("IEND", {});
  return {out.begin(), out.end()};
}

// Half-transparent frames OVER opaque pictures, every alpha, every disposal FFmpeg plays right:
// we show the colours mixed as FFmpeg mixes them (browsers too), not the frame's own colours.
TEST_F(ApngTest, PartlyTransparentFramesMixWithThePictureBelow) {
  LW_NEED_TOOL("ffmpeg");
  for (uint32_t seed = 0; seed <= 10; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    BuiltFile file;
    // Seed 0: blue at alpha 128 over black shows (0, 0, 128).
    file.width = seed ? 2 + pick(6) : 1;
    file.height = seed ? 2 + pick(5) : 1;
    const uint32_t colours[] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x806040};
    BuiltFrame base{.w = file.width, .h = file.height};
    for (uint32_t i = 0; i < file.width * file.height; ++i)
      base.argb.push_back(0xFF000000u | (seed ? colours[pick(6)] : 0));
    file.frames.push_back(base);
    for (uint32_t n = seed ? 1 + pick(4) : 1; n > 0; --n) {
      BuiltFrame f{.x = pick(file.width), .y = pick(file.height), .blend = 1};
      f.w = 1 + pick(file.width - f.x), f.h = 1 + pick(file.height - f.y);
      f.dispose = pick(2) ? 2 : 0;
      const uint32_t alphas[] = {0, 1, 64, 128, 200, 254, 255};
      for (uint32_t i = 0; i < f.w * f.h; ++i)
        f.argb.push_back(seed ? alphas[pick(7)] << 24 | colours[pick(6)] : 0x800000FFu);
      file.frames.push_back(f);
    }
    Put(Path("mix.png"), Build(file));
    AnimationPtr read = Opened(Path("mix.png"));
    ASSERT_TRUE(read);
    const size_t pixels = size_t{file.width} * file.height;
    EXPECT_TRUE(SameTimeline(Timeline(*read), FfmpegPlays(Path("mix.png"), pixels)));
  }
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
}

// Delays as FFmpeg reads them: a 0 denominator means hundredths, any unit, and one frame as long
// as the format allows keeps its own time without spilling onto the next.
TEST_F(ApngTest, DelaysAreEachFramesOwnInAnyUnit) {
  LW_NEED_TOOL("ffmpeg");
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    BuiltFile file{.width = 2, .height = 1};
    for (uint32_t i = 0; i < 5; ++i) {
      BuiltFrame f{.w = 2,
                   .h = 1,
                   .argb = {0xFF000000u | i * 40, 0xFF000000u | static_cast<uint32_t>(random())}};
      const uint16_t n = static_cast<uint16_t>(2 + random() % 60);
      switch (random() % 4) {
        case 0: f.num = n, f.den = 0; break;
        case 1: f.num = n, f.den = 100; break;
        case 2: f.num = static_cast<uint16_t>(n * 10), f.den = 1000; break;
        default: f.num = static_cast<uint16_t>(n % 6 + 1), f.den = 1; break;
      }
      file.frames.push_back(f);
    }
    if (seed == 1) file.frames[0].num = 1000, file.frames[0].den = 1;  // 1000 s
    Put(Path("delays.png"), Build(file));
    AnimationPtr read = Opened(Path("delays.png"));
    ASSERT_TRUE(read);
    EXPECT_TRUE(SameTimeline(Timeline(*read), FfmpegPlays(Path("delays.png"), 2)));
  }
}

// The play count of the file reaches the document and the GIF written from it (gifsicle reads
// the loop block: none for one play, plays - 1 otherwise, as many as 16 bits hold past that)
// and our own animated PNG.
TEST_F(ApngTest, PlayCountsReachTheGifLoopBlock) {
  LW_NEED_TOOL("gifsicle");
  for (uint32_t plays : {0u, 1u, 2u, 3u, 70000u}) {
    SCOPED_TRACE(plays);
    BuiltFile file{.width = 2, .height = 2, .plays = plays};
    file.frames = {{.w = 2, .h = 2, .argb = {0xFFFF0000u, 0xFF00FF00u, 0, 0}},
                   {.w = 2, .h = 2, .argb = {0xFF0000FFu, 0, 0xFF0000FFu, 0}}};
    Put(Path("plays.png"), Build(file));
    AnimationPtr read = Opened(Path("plays.png"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->playCount, plays);
    ASSERT_TRUE(SaveGifToFile(Path("plays.gif"), *read, {}, nullptr));
    const std::string info = Output("gifsicle --info " + Quoted(Path("plays.gif")));
    const std::string loop = plays == 0 ? "loop forever"
                             : plays == 1
                                 ? ""
                                 : "loop count " + std::to_string(std::min(plays - 1, 65535u));
    if (loop.empty()) {
      EXPECT_EQ(info.find("loop"), std::string::npos) << info;
    } else {
      EXPECT_NE(info.find(loop), std::string::npos) << info;
    }
    SaveOptions options;
    ASSERT_TRUE(WriteAsType(Path("again.apng"), *read, options, savetype::Apng, nullptr));
    AnimationPtr again;
    ASSERT_EQ(ReadAnyFile(Path("again.apng"), Flows().read, nullptr, &again, nullptr),
              ReadComplete);
    EXPECT_EQ(again->playCount, plays);
  }
}

// A frame count other than the file's frames, a frame control before the animation control or
// an animation control after the image: the file shows its default image alone, as browsers
// show it, without a message.
TEST_F(ApngTest, FilesBrowsersShowStillAreReadStill) {
  BuiltFile good{.width = 3, .height = 2};
  good.frames = {{.w = 3, .h = 2, .argb = {0xFFFF0000u, 0xFFFF0000u, 0xFF00FF00u, 0, 0, 0}},
                 {.x = 1, .y = 1, .w = 2, .h = 1, .argb = {0xFF0000FFu, 0xFF0000FFu}}};
  std::vector<std::pair<std::string, BuiltFile>> cases;
  for (int64_t declared : {0, 1, 3, 1000}) {
    cases.emplace_back("declared " + std::to_string(declared), good);
    cases.back().second.declared = declared;
  }
  cases.emplace_back("frame control first", good);
  cases.back().second.frameControlFirst = true;
  for (const auto& [name, file] : cases) {
    SCOPED_TRACE(name);
    Headless().Reset();
    Put(Path("still.apng"), Build(file));
    AnimationPtr read;
    ASSERT_EQ(ReadAnyFile(Path("still.apng"), Flows().read, nullptr, &read, nullptr), ReadComplete);
    ASSERT_EQ(read->frameCount, 1);
    const Frame* f = FirstFrame(*read);
    ASSERT_EQ(f->width, 3u);
    EXPECT_EQ(f->rgbPlane[0], 0);    // blue
    EXPECT_EQ(f->rgbPlane[2], 255);  // red
    EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
  }
  // The animation control after the image data (moved there from before it).
  BuiltFile hidden = good;
  hidden.defaultIsFrame = false;
  hidden.hidden = good.frames[0].argb;
  std::string file = Build(hidden);
  const size_t actl = file.find("acTL") - 4;
  const std::string control = file.substr(actl, 20);
  file.erase(actl, 20);
  file.insert(file.find("fcTL") - 4, control);
  ASSERT_GT(file.find("acTL"), file.find("IDAT"));
  Put(Path("late.apng"), file);
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(Path("late.apng"), Flows().read, nullptr, &read, nullptr), ReadComplete);
  EXPECT_EQ(read->frameCount, 1);
  EXPECT_THAT(ShownTexts(), ::testing::IsEmpty());
}

// A file of a few hundred bytes declaring a huge canvas with a few small frames that restore the
// previous picture: the reader asks only for the box the frames cover, and refuses in French,
// before asking, when even that passes the budget. The budget asked for is counted, not time.
TEST_F(ApngTest, HugeCanvasesCostOnlyWhatTheFramesCover) {
  struct Restore {
    ~Restore() { SetPictureBudgetBytes(0); }
  } restore;
  SetPictureBudgetBytes(uint64_t{64} << 20);
  for (uint32_t side : {16384u, 32768u, 1u << 30}) {
    for (bool spread : {false, true}) {
      SCOPED_TRACE(std::to_string(side) + (spread ? " spread" : " together"));
      Headless().Reset();
      BuiltFile file{.width = side, .height = side, .defaultIsFrame = false};
      for (uint32_t i = 0; i < 10; ++i)
        file.frames.push_back({.x = spread && i == 9 ? side - 1 : 100 + i % 3,
                               .y = spread && i == 9 ? side - 1 : 200,
                               .dispose = 2,
                               .argb = {0xFF000000u | i}});
      const std::string bytes = Build(file);
      EXPECT_LT(bytes.size(), 1000u);
      Put(Path("huge.apng"), bytes);
      ResetPicturePeakBytes();
      AnimationPtr read;
      const int status = ReadAnyFile(Path("huge.apng"), Flows().read, nullptr, &read, nullptr);
      EXPECT_LE(PicturePeakBytes(), PictureBudgetBytes());
      if (!spread) {
        ASSERT_EQ(status, ReadComplete) << ::testing::PrintToString(ShownTexts());
        EXPECT_EQ(read->frameCount, 10);
        EXPECT_EQ(read->screenWidth, side);
        EXPECT_LT(PicturePeakBytes(), 64u << 10);
      } else {
        EXPECT_EQ(status, ReadFailed);
        EXPECT_THAT(ShownTexts(), ::testing::ElementsAre(ResText(str::NoFrameMemory)));
      }
    }
  }
}

// Esc while decoding, while composing or while building keeps the frames done as a partial
// read.
TEST_F(ApngTest, EscStopsTheReadBetweenFrames) {
  BuiltFile file{.width = 3000, .height = 3000, .defaultIsFrame = false};
  for (uint32_t i = 0; i < 10; ++i)
    file.frames.push_back({.x = i, .y = 2 * i, .dispose = 2, .argb = {0xFF000000u | i}});
  Put(Path("esc.apng"), Build(file));
  for (const std::pair<int, int>& run : {std::pair{3, 3}, {15, 5}, {25, 5}}) {
    const int escAt = run.first, frames = run.second;
    SCOPED_TRACE(escAt);
    int reports = 0;
    SetProgressReportHookForTests([&] {
      if (++reports == escAt) ProgressCancel();
    });
    DocumentSession state;
    Use(state);
    const bool opened = OpenCommand(state, Path("esc.apng"));
    SetProgressReportHookForTests(nullptr);
    ASSERT_TRUE(opened && state.document);
    EXPECT_EQ(state.document->frameCount, frames);
    EXPECT_EQ(state.documentPath, "");
  }
}

}  // namespace
}  // namespace lw::test
