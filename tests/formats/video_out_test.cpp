// MP4 and WebM clips as FFmpeg's own tools see them: one picture per frame at the summed delays
// of the frames before it, the last lasting its own delay, odd sides made even, transparency
// over the background colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <locale>
#include <sstream>

#include "formats/avi/video_out_format.h"
#include "formats/save_flow.h"
#include "support/document.h"
#include "support/services.h"
#include "support/temp_dir.h"
#include "support/timeline.h"
#include "support/tools.h"

namespace lw::test {
namespace {

const char* const kClips[] = {"clip.mp4", "clip.webm"};

std::string Probe(const std::string& what, const std::string& path) {
  return Output("ffprobe -v error -select_streams v:0 -count_frames -show_entries " + what +
                " -of csv=p=0 " + Quoted(path));
}

// ffprobe's numbers, whatever the test's locale.
std::vector<double> Numbers(const std::string& text) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  std::vector<double> numbers;
  for (double t; in >> t;) numbers.push_back(t);
  return numbers;
}

bool Save(const std::string& path, Animation& a) {
  SaveOptions options;
  return WriteAsType(path, a, options, SaveTypeFromName(path), nullptr);
}

TEST(Clips, FramesTimesAndSizesAsFfprobeReadsThem) {
  LW_NEED_TOOL("ffprobe");
  TempDir dir;
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    AnimationPtr a = RandomAnimation(seed, seed == 2);
    a->screenWidth |= 1;  // the frames still fit
    a->screenHeight |= 1;
    std::vector<double> starts;
    double end = 0;
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      starts.push_back(end);
      end += f->delay / 100.0;
    }
    for (const char* name : kClips) {
      SCOPED_TRACE(std::string(name) + " of seed " + std::to_string(seed));
      const std::string path = dir.Path(name);
      ASSERT_TRUE(Save(path, *a));
      EXPECT_EQ(Probe("stream=width,height,nb_read_frames", path),
                std::to_string(a->screenWidth + 1) + "," + std::to_string(a->screenHeight + 1) +
                    "," + std::to_string(a->frameCount) + "\n");
      std::vector<double> times = Numbers(Probe("packet=pts_time", path));
      std::sort(times.begin(), times.end());
      ASSERT_EQ(times.size(), starts.size());
      for (size_t i = 0; i < times.size(); ++i)
        EXPECT_NEAR(times[i] - times[0], starts[i], 0.0015) << "picture " << i;
      EXPECT_NEAR(Numbers(Probe("format=duration", path)).at(0), end, 0.0015);
      // Saved again, the same bytes.
      const std::string again = dir.Path(std::string("again-") + name);
      ASSERT_TRUE(Save(again, *a));
      EXPECT_TRUE(Contents(path) == Contents(again));
    }
  }
}

// Delays far apart, zero and long: every picture decodes, packets come in strictly increasing
// decoding times, and each picture starts at the summed delays before it.
TEST(Clips, IrregularDelaysKeepEveryPicture) {
  LW_NEED_TOOL("ffprobe");
  TempDir dir;
  const std::vector<std::vector<uint16_t>> patterns = {
      {2, 700, 3, 1, 40}, {0, 0, 0, 100, 1, 0}, {1, 1, 1000, 1, 1, 1, 65535, 7}, {50, 1, 50, 1}};
  for (const auto& delays : patterns) {
    AnimationPtr a = MakeDocument(16, 16);
    std::vector<double> starts;
    int64_t start = 0, sum = 0;  // hundredths; a picture lasts at least one
    for (uint16_t d : delays) {
      // Moving content, so that the encoder reorders pictures.
      const uint32_t shift = static_cast<uint32_t>(starts.size()) * 5;
      AddDrawnFrame(*a, 0, 0, 16, 16, [&](uint32_t x, uint32_t y) {
        return static_cast<uint8_t>((x * y + shift + x) % 16);
      })->delay = d;
      starts.push_back(static_cast<double>(start) / 100);
      sum += d;
      start = std::max(start + 1, sum);
    }
    for (const char* name : kClips) {
      SCOPED_TRACE(std::string(name) + " of " + std::to_string(delays.size()) + " delays from " +
                   std::to_string(delays[0]) + "," + std::to_string(delays[1]));
      const std::string path = dir.Path(name);
      ASSERT_TRUE(Save(path, *a));
      EXPECT_EQ(Numbers(Probe("stream=nb_read_frames", path)),
                std::vector<double>{static_cast<double>(delays.size())});
      const std::vector<double> dts = Numbers(Probe("packet=dts_time", path));
      ASSERT_EQ(dts.size(), delays.size());
      // The pictures decoded ahead of their showing start a few ticks before the clip, never
      // the seconds a gap between the first pictures would give.
      EXPECT_GT(dts[0], -0.1);
      for (size_t i = 1; i < dts.size(); ++i) EXPECT_LT(dts[i - 1], dts[i]) << "packet " << i;
      std::vector<double> times = Numbers(Probe("packet=pts_time", path));
      std::sort(times.begin(), times.end());
      for (size_t i = 0; i < times.size(); ++i)
        EXPECT_NEAR(times[i] - times[0], starts[i], 0.0015) << "picture " << i;
    }
  }
}

// A disk that refuses the bytes (/dev/full answers every write so) gets the message every
// other writer gives, not the encoder's error number.
TEST(Clips, AFullDiskGivesTheWriteMessage) {
  ServicesScope scope;
  AnimationPtr a = NumberedAnimation(3, 16, 16);
  for (ClipCodec codec : {ClipCodec::H264, ClipCodec::Vp9}) {
    scope.services.Reset();
    EXPECT_FALSE(WriteClip("/dev/full", "plein.clip", *a, codec, 30, {}, nullptr));
    EXPECT_EQ(scope.services.Texts(), std::vector<std::string>{"Impossible d'écrire plein.clip."});
  }
}

TEST(Clips, TransparentPixelsShowTheBackgroundColour) {
  LW_NEED_TOOL("ffmpeg");
  TempDir dir;
  AnimationPtr a = MakeDocument(16, 16, MakePalette({{0, 0, 0}, {40, 200, 90}}));
  a->backgroundIndex = 1;
  AddSolidFrame(*a, 0, 0, 16, 16, 0, 0, 0);  // all transparent
  for (const char* name : kClips) {
    ASSERT_TRUE(Save(dir.Path(name), *a));
    const std::string rgb = Output("ffmpeg -v error -i " + Quoted(dir.Path(name)) +
                                   " -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(rgb.size(), 16u * 16 * 3) << name;
    const uint8_t want[3] = {40, 200, 90};
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(static_cast<uint8_t>(rgb[(8 * 16 + 8) * 3 + c]), want[c], 12) << name;
  }
}

}  // namespace
}  // namespace lw::test
