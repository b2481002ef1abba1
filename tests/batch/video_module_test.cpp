// FFmpeg's libraries come with the video module, loaded for videos only: a GIF job never maps
// them, and a program whose module is missing or broken refuses videos with its message.
#include <gmock/gmock.h>

#include <cstdio>
#include <filesystem>
#include <numeric>

#include "base/string_ids.h"
#include "base/strings.h"
#include "batch/batch_runner.h"
#include "formats/gif/gif_format.h"
#include "formats/open_flow.h"
#include "formats/save_flow.h"
#include "shell/batch.h"
#include "support/document.h"
#include "support/services.h"

namespace lw::test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class VideoModule : public ::testing::Test {
 protected:
  void SetUp() override {
    AnimationPtr a = MakeDocument(6, 5);
    AddSolidFrame(*a, 0, 0, 6, 5, 3);
    AddSolidFrame(*a, 1, 1, 3, 3, 4);
    SaveOptions options;
    ASSERT_TRUE(WriteAsType(dir_.Path("in.gif"), *a, options, savetype::Gif, nullptr));
  }
  // What the dynamic loader says it maps (LD_DEBUG=files), with the program's own messages.
  std::string LoaderLog(const std::string& program, const std::string& output) {
    return Output("cd " + Quoted(dir_.Root().string()) + " && env -u DISPLAY LD_DEBUG=files " +
                  Quoted(program) + " -i in.gif -o " + output + " 2>&1");
  }
  TempDir dir_;
};

TEST_F(VideoModule, OnlyVideoJobsLoadFfmpeg) {
  const std::string gif = LoaderLog(LW_LOOPWRIGHT_PATH, "out.gif");
  EXPECT_THAT(gif, HasSubstr("libc.so"));  // the log is there to be read
  EXPECT_THAT(gif, Not(HasSubstr("libav")));
  EXPECT_THAT(gif, Not(HasSubstr("loopwright-video")));
  const std::string mp4 = LoaderLog(LW_LOOPWRIGHT_PATH, "out.mp4");
  EXPECT_THAT(mp4, HasSubstr("libloopwright-video.so"));
  EXPECT_THAT(mp4, HasSubstr("libavcodec"));
}

TEST_F(VideoModule, WithoutItVideosAreRefusedAndTheJobGoesOn) {
  // A copy of the program outside the build tree looks for the module only in ../lib/loopwright.
  std::filesystem::create_directories(dir_.Path("bin"));
  std::filesystem::copy_file(LW_LOOPWRIGHT_PATH, dir_.Path("bin/loopwright"));
  std::string message = TableText(str::VideoModuleMissing);
  message = message.substr(0, message.find('('));
  for (const bool broken : {false, true}) {
    if (broken) dir_.Put("lib/loopwright/libloopwright-video.so", "not a library");
    const ToolRun run = RunTool("cd " + Quoted(dir_.Root().string()) +
                                " && env -u DISPLAY bin/loopwright -i in.gif -o clip.mp4 -o "
                                "clip.gif 2>" +
                                Quoted(dir_.Path("errors")));
    EXPECT_EQ(run.exitCode, 1) << broken;
    EXPECT_THAT(Contents(dir_.Path("errors")), HasSubstr(message)) << broken;
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("clip.mp4")));
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("clip.gif")));
    std::filesystem::remove(dir_.Path("clip.gif"));
  }
}

// Short of memory, the loader fails as with a missing module, but the advice is to free memory:
// reinstalling would not help.
TEST_F(VideoModule, AModuleShortOfMemoryIsToldAsSuch) {
  if (Contents("/proc/sys/vm/overcommit_memory").rfind('1', 0) == 0)
    GTEST_SKIP() << "this system maps any size";
  std::filesystem::create_directories(dir_.Path("bin"));
  std::filesystem::create_directories(dir_.Path("lib/loopwright"));
  std::filesystem::copy_file(LW_LOOPWRIGHT_PATH, dir_.Path("bin/loopwright"));
  std::filesystem::copy_file(LW_HUGE_MODULE_PATH,
                             dir_.Path("lib/loopwright/libloopwright-video.so"));
  const ToolRun run = RunTool("cd " + Quoted(dir_.Root().string()) +
                              " && env -u DISPLAY bin/loopwright -i in.gif -o clip.mp4 2>" +
                              Quoted(dir_.Path("errors")));
  EXPECT_EQ(run.exitCode, 1);
  const std::string errors = Contents(dir_.Path("errors"));
  std::string message = TableText(str::VideoModuleNoMemory);
  EXPECT_THAT(errors, HasSubstr(message.substr(0, message.find('('))));
  EXPECT_THAT(errors, Not(HasSubstr("Réinstallez")));
}

// A clip whose job fits under a limit on the address space without the heap's set-up for
// pictures fits with it (the sanitizers' shadow memory fits under no such limit).
TEST_F(VideoModule, AClipIsWrittenUnderAMemoryLimit) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "built with the sanitizers";
#endif
  AnimationPtr a = MakeDocument(160, 120);
  for (int i = 0; i < 12; ++i) AddSolidFrame(*a, i * 8, i * 6, 64, 48, static_cast<uint8_t>(i));
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(dir_.Path("moving.gif"), *a, options, savetype::Gif, nullptr));
  for (const char* kib : {"300000", "700000"}) {
    std::filesystem::remove(dir_.Path("clip.mp4"));
    const ToolRun run = RunTool("cd " + Quoted(dir_.Root().string()) + " && ulimit -v " + kib +
                                " && env -u DISPLAY " + Quoted(LW_LOOPWRIGHT_PATH) +
                                " -i moving.gif -o clip.mp4 2>" + Quoted(dir_.Path("errors")));
    EXPECT_EQ(run.exitCode, 0) << kib << " KiB: " << Contents(dir_.Path("errors"));
    EXPECT_GT(Contents(dir_.Path("clip.mp4")).size(), 0u) << kib;
  }
}

// Times and rates as the clip flags take them; anything else is refused.
TEST(ClipFlags, TimesAndRatesAreReadWhole) {
  const std::pair<const char*, int64_t> times[] = {{"2", 2000},
                                                   {"2.5", 2500},
                                                   {"0.125", 125},
                                                   {"1:30", 90000},
                                                   {"01:02:03.250", 3723250},
                                                   {"75:00", 4500000},
                                                   {"-1", -1},
                                                   {"1:60", -1},
                                                   {"1:2:3:4", -1},
                                                   {"1.", -1},
                                                   {"1.2345", -1},
                                                   {":30", -1},
                                                   {"1:-5", -1},
                                                   {"1:+5", -1},
                                                   {"100:00:00", -1},
                                                   {"", -1},
                                                   {"2s", -1},
                                                   {"1:00:60", -1},
                                                   {"99:59:59.999", 359999999}};
  for (auto [text, ms] : times) {
    int64_t got = -1;
    EXPECT_EQ(ParseClipTime(text, &got) ? got : -1, ms) << text;
  }
  const std::pair<const char*, int64_t> rates[] = {
      {"10", 10000}, {"12.5", 12500}, {"29.97", 29970},  {"0", -1},     {"1001", -1},
      {"-5", -1},    {"0.0004", -1},  {"1000", 1000000}, {"1000.5", -1}};
  for (auto [text, milli] : rates) {
    uint32_t got = 0;
    EXPECT_EQ(ParseFrameRate(text, &got) ? int64_t{got} : -1, milli) << text;
  }
}

class ClipJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HasTool("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  }
  // A 160x90 clip of testsrc2 at rate (an FFmpeg rate: "30", "30000/1001") for seconds.
  void MakeClip(const std::string& name, const std::string& rate, int seconds) {
    ASSERT_EQ(RunTool("ffmpeg -v error -y -f lavfi -i testsrc2=size=160x90:rate=" + rate + " -t " +
                      std::to_string(seconds) + " -pix_fmt yuv420p " + Quoted(dir_.Path(name)))
                  .exitCode,
              0);
  }
  // The delays of a GIF the job wrote.
  std::vector<uint32_t> Delays(const std::string& name) {
    AnimationPtr read;
    EXPECT_EQ(ReadAnyFile(dir_.Path(name), {}, nullptr, &read, nullptr), ReadComplete) << name;
    std::vector<uint32_t> delays;
    for (const Frame* f = read ? FirstFrame(*read) : nullptr; f; f = NextFrame(f))
      delays.push_back(f->delay);
    return delays;
  }
  static uint32_t Sum(const std::vector<uint32_t>& delays) {
    return std::accumulate(delays.begin(), delays.end(), 0u);
  }
  ServicesScope scope_;
  TempDir dir_;
};

// A part at a rate: 30 frames over 3.00 s. The settings hold for the clips read after them
// only, and a 60 fps clip without them becomes 50 frames a second, never hundredths.
TEST_F(ClipJobs, APartAtARate) {
  MakeClip("clip.mp4", "30", 6);
  MakeClip("fast.mp4", "60", 2);
  BatchRun run = RunBatchProgram(dir_, {"-i", "fast.mp4", "-o", "fast.gif"});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  const std::vector<uint32_t> fast = Delays("fast.gif");
  EXPECT_EQ(fast.size(), 100u);
  EXPECT_THAT(fast, Each(2u));
  run = RunBatchProgram(dir_, {"-i", "clip.mp4", "--fps", "10", "--start", "2", "--duration", "3",
                               "-o", "whole.gif", "-i", "clip.mp4", "-o", "part.gif"});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  const std::vector<uint32_t> whole = Delays("whole.gif"), part = Delays("part.gif");
  EXPECT_EQ(whole.size(), 180u);
  EXPECT_EQ(Sum(whole), 600u);
  ASSERT_EQ(part.size(), 210u);
  EXPECT_THAT(std::vector<uint32_t>(part.begin() + 180, part.end()), Each(10u));
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"--fps", "0"}, {"--start", "-1"}, {"--duration", "0"}, {"--start", "1:60"}}) {
    run = RunBatchProgram(dir_, {bad[0], bad[1], "-i", "clip.mp4", "-o", "bad.gif"});
    EXPECT_THAT(run.errors, HasSubstr(bad[0])) << bad[0] << " " << bad[1];
  }
}

// --fps times an image sequence: 20 a second gives 5 hundredths each, 30 gives 3, 3 and 4 so
// that 30 frames last one second.
TEST_F(ClipJobs, TheRateTimesImageSequences) {
  AnimationPtr a = MakeDocument(4, 4);
  AddSolidFrame(*a, 0, 0, 4, 4, 3);
  for (int i = 0; i < 30; ++i) {
    SaveOptions options;
    char name[32];
    std::snprintf(name, sizeof name, "f/%02d.gif", i);
    std::filesystem::create_directories(dir_.Path("f"));
    ASSERT_TRUE(WriteAsType(dir_.Path(name), *a, options, savetype::Gif, nullptr));
  }
  const BatchRun run = RunBatchProgram(dir_, {"--fps", "20", "-i", "f/*.gif", "-o", "a.gif",
                                              "--fps", "30", "-i", "f/*.gif", "-o", "b.gif"});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  const std::vector<uint32_t> a20 = Delays("a.gif"), b = Delays("b.gif");
  ASSERT_EQ(b.size(), 60u);
  EXPECT_THAT(std::vector<uint32_t>(b.begin(), b.begin() + 30), Each(5u));
  EXPECT_THAT(std::vector<uint32_t>(b.begin() + 30, b.begin() + 33), ElementsAre(3, 4, 3));
  EXPECT_EQ(Sum(std::vector<uint32_t>(b.begin() + 30, b.end())), 100u);
  EXPECT_EQ(Sum(a20), 150u);
}

}  // namespace
}  // namespace lw::test
