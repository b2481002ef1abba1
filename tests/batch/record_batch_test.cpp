// --record as an input of the batch mode: on a private X server, and where there is none.
#include <gmock/gmock.h>

#include "base/string_ids.h"
#include "base/strings.h"
#include "batch/batch_runner.h"
#include "formats/open_flow.h"
#include "platform/files.h"
#include "support/services.h"
#include "support/x_server.h"

namespace lw {
namespace {

using namespace lw::test;

BatchRun RunWithDisplay(const TempDir& dir, const std::string& environment,
                        const std::vector<std::string>& args) {
  std::string command = "cd " + Quoted(dir.Root().string()) +
                        " && env -u DISPLAY -u WAYLAND_DISPLAY " + environment + " " +
                        Quoted(LW_LOOPWRIGHT_PATH);
  for (const std::string& a : args) command += " " + Quoted(a);
  const ToolRun run = RunTool(command + " 2>" + Quoted(dir.Path(".stderr")));
  return {run.exitCode, Contents(dir.Path(".stderr")), run.output};
}

// Without an X server to record the command says why in French and fails: under Wayland (even
// with the X server a Wayland desktop runs for older programs, whose screen shows only them) or
// with no display at all; and a malformed request is refused before anything is recorded.
// Catches a recording that fails without a word or writes an empty file, and one taken from a
// Wayland desktop's X server, which shows the other programs black.
TEST(BatchRecord, SaysWhyItCannotRecord) {
  TempDir dir;
  struct Case {
    std::string environment;
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {"WAYLAND_DISPLAY=wayland-0",
       {"--record", "screen", "--duration", "1"},
       ResText(str::RecordWayland)},
      // Its X server shows only the programs that use X11: it is not asked either.
      {"WAYLAND_DISPLAY=wayland-0 DISPLAY=:1",
       {"--record", "screen", "--duration", "1"},
       ResText(str::RecordWayland)},
      {"", {"--record", "screen", "--duration", "1"}, ResText(str::RecordNoDisplay)},
      {"DISPLAY=:1", {"--record", "screen", "-o", "x.gif"}, ResText(str::RecordNeedsDuration)},
      {"DISPLAY=:1", {"--record", "1,2,3", "--duration", "1"}, "--record : 1,2,3"},
      {"DISPLAY=:1", {"--record", "screen", "--duration", "1", "--fps", "51"}, "--fps : 51"},
      {"DISPLAY=:1", {"--record", "screen", "--duration", "0"}, "--duration : 0"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-o", "x.gif"});
    const BatchRun run = RunWithDisplay(dir, c.environment, args);
    EXPECT_EQ(run.exitCode, 1) << c.args[1];
    EXPECT_THAT(run.errors, testing::HasSubstr(c.message));
    EXPECT_FALSE(FileExists(dir.Path("x.gif")));
  }
}

// A still screen recorded for 1.5 s is one frame lasting 1.5 s, of the rectangle's size, and the
// flags after the recording edit it. Catches repeats not merged, a total that drifts from the
// duration, the flags that follow --record taken as its own, and the whole screen taken for the
// rectangle.
TEST(BatchRecord, RecordsARectangleAsAnInput) {
  LW_NEED_TOOL("Xvfb");
  XServer server("320x240x24");
  ASSERT_FALSE(server.Display().empty());
  TempDir dir;
  const BatchRun run = RunWithDisplay(dir, "DISPLAY=" + server.Display(),
                                      {"--record", "10,20,100,80", "--duration", "1.5", "--fps",
                                       "10", "--pointer", "--resize", "50x40", "-o", "still.gif"});
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  ServicesScope scope;
  AnimationPtr read;
  ASSERT_EQ(ReadAnyFile(dir.Path("still.gif"), ReadOptions{}, nullptr, &read, nullptr),
            ReadComplete);
  EXPECT_EQ(read->screenWidth, 50u);
  EXPECT_EQ(read->screenHeight, 40u);
  ASSERT_EQ(read->frameCount, 1);
  EXPECT_EQ(FirstFrame(*read)->delay, 150u);
}

}  // namespace
}  // namespace lw
