// FFmpeg's libraries come with the video module, loaded for videos only: a GIF job never maps
// them, and a program whose module is missing or broken refuses videos with its message.
#include <gmock/gmock.h>

#include <filesystem>

#include "base/string_ids.h"
#include "base/strings.h"
#include "batch/batch_runner.h"
#include "formats/save_flow.h"
#include "support/document.h"

namespace lw::test {
namespace {

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

}  // namespace
}  // namespace lw::test
