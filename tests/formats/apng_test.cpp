// Animated PNG against the programs that know it: what we write, FFmpeg and Pillow play as our
// preview plays the document; what they write, we open as they play it. The oracle is the
// preview's compositor (Timeline), pictures that repeat folded into one.
#include <gmock/gmock.h>
#include <zlib.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "flow_fixture.h"
#include "formats/open_flow.h"
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
  ShellState state;
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
// disposal, local palettes (then one merged palette): FFmpeg, Pillow and our reader play what we wrote as the
// preview plays the document, and the loop count survives.
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
    ASSERT_TRUE(SaveGifToFile(gif, *a, nullptr));
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
      {[](std::string& f) { Patch(f, "acTL", 0, 0, 0); }, damaged},
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
    EXPECT_EQ(ReadAnyFile(Path("bad.png"), nullptr, &read, nullptr), ReadFailed);
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
    EXPECT_EQ(ReadAnyFile(Path("a.png"), nullptr, &read, nullptr), ReadComplete);
    return read ? read->frameCount : 0;
  };
  EXPECT_EQ(framesAfter(saveopt::Plain), 1);
  EXPECT_EQ(framesAfter(saveopt::AnimationChosen), a->frameCount);
  EXPECT_EQ(framesAfter(saveopt::Plain), a->frameCount);
}

}  // namespace
}  // namespace lw::test
