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

}  // namespace
}  // namespace lw::test
