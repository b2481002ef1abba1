// What a script's input keeps through the batch mode (its loop count), and what it is told when
// a limit cuts the job short: a frame count beyond a document's ceiling, a process short of
// memory.
#include <gmock/gmock.h>

#include <filesystem>
#include <sstream>

#include "base/string_ids.h"
#include "base/strings.h"
#include "batch/batch_runner.h"
#include "formats/common/flow_text.h"
#include "formats/save_flow.h"
#include "support/document.h"
#include "support/services.h"

namespace lw::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class BatchLimits : public ::testing::Test {
 protected:
  void SetUp() override {
    AnimationPtr a = MakeDocument(6, 5);
    AddSolidFrame(*a, 0, 0, 6, 5, 3);
    AddSolidFrame(*a, 1, 1, 3, 3, 4);
    a->playCount = 3;
    ASSERT_TRUE(Save("base.gif", *a));
    ASSERT_TRUE(Save("three.webp", *a));
    for (const char* name : {"stills/a.gif", "stills/b.gif"}) {
      AnimationPtr still = MakeDocument(6, 5);
      AddSolidFrame(*still, 0, 0, 6, 5, 2);
      ASSERT_TRUE(Save(name, *still));
    }
  }
  bool Save(const std::string& name, Animation& doc) {
    std::filesystem::create_directories(std::filesystem::path(dir_.Path(name)).parent_path());
    SaveOptions options;
    return WriteAsType(dir_.Path(name), doc, options, SaveTypeFromName(name), nullptr);
  }
  // The loop block as gifsicle reads it: "loop forever", "loop count N", or nothing.
  std::string LoopOf(const std::string& name) {
    std::istringstream info(Output("gifsicle --info " + Quoted(dir_.Path(name)) + " 2>&1"));
    std::string loops;
    for (std::string line; std::getline(info, line);)
      if (line.find("loop") != std::string::npos) loops += line + "\n";
    return loops;
  }
  TempDir dir_;
  ServicesScope services_;
};

// Each count gifsicle writes (none included) comes back out as gifsicle wrote it, through the
// optimizer and a second input; stills put together loop as new animations do; a WebP's count
// goes to the GIF and to a WebP written again.
TEST_F(BatchLimits, InputsKeepTheirLoopCount) {
  LW_NEED_TOOL("gifsicle");
  LW_NEED_TOOL("webpmux");
  for (const char* loop :
       {"--loopcount=forever", "--loopcount=1", "--loopcount=2", "--no-loopcount"}) {
    SCOPED_TRACE(loop);
    ASSERT_EQ(RunTool("gifsicle " + std::string(loop) + " " + Quoted(dir_.Path("base.gif")) +
                      " -o " + Quoted(dir_.Path("in.gif")))
                  .exitCode,
              0);
    const BatchRun run =
        RunBatchProgram(dir_, {"-i", "in.gif", "-z", "-i", "base.gif", "-o", "out.gif"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(LoopOf("out.gif"), LoopOf("in.gif"));
  }
  EXPECT_THAT(LoopOf("in.gif"), Not(HasSubstr("loop")));  // the last one has no block
  EXPECT_EQ(RunBatchProgram(dir_, {"-i", "stills/*.gif", "-o", "out.gif"}).exitCode, 0);
  EXPECT_THAT(LoopOf("out.gif"), HasSubstr("loop forever"));

  EXPECT_EQ(RunBatchProgram(dir_, {"-i", "three.webp", "-o", "out.gif", "-o", "out.webp"}).exitCode,
            0);
  EXPECT_THAT(LoopOf("out.gif"), HasSubstr("loop count 2"));  // three plays
  EXPECT_THAT(Output("webpmux -info " + Quoted(dir_.Path("out.webp"))),
              HasSubstr("Loop Count : 3"));
}

// A GIF of 1x1 images, its bytes written here: 15 bytes a frame.
std::string TinyFrames(int count) {
  std::string gif("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13);
  gif += std::string("\x00\x00\x00\xff\xff\xff", 6);
  // Clear code, index 0, end code at 3 bits: 100 000 101, low bits first.
  const std::string image("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00", 15);
  for (int i = 0; i < count; ++i) gif += image;
  return gif + "\x3b";
}

// The frames past the ceiling are refused aloud, whether one file holds them or an input would
// add them; what fits is kept and written.
TEST_F(BatchLimits, FramesPastTheCeilingAreTold) {
  dir_.Put("many.gif", TinyFrames(32800));
  dir_.Put("full.gif", TinyFrames(32767));
  BatchRun run = RunBatchProgram(dir_, {"-i", "many.gif", "--info"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.errors, HasSubstr(FormatResText(str::TooManyFramesRead, "many.gif")));
  EXPECT_THAT(run.output, HasSubstr(": 32767 cadre(s)"));

  run = RunBatchProgram(dir_, {"-i", "full.gif", "-i", "base.gif", "--info"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.errors, Not(HasSubstr(FormatResText(str::TooManyFramesRead, "full.gif"))));
  EXPECT_THAT(run.errors, HasSubstr(TableText(str::TooManyFramesInsert)));
  EXPECT_THAT(run.output, HasSubstr(": 32767 cadre(s)"));
}

}  // namespace
}  // namespace lw::test
