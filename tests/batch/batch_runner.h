// Runs the real executable without a display, in a folder of the test's own.
#pragma once

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/tools.h"

namespace lw::test {

struct BatchRun {
  int exitCode = -1;
  std::string errors, output;  // standard error and output
};

// The program with these arguments, run in dir; it shares the test's settings folder.
inline BatchRun RunBatchProgram(const TempDir& dir, const std::vector<std::string>& args) {
  std::string command = "cd " + Quoted(dir.Root().string()) +
                        " && env -u DISPLAY -u WAYLAND_DISPLAY " + Quoted(LW_LOOPWRIGHT_PATH);
  for (const std::string& a : args) command += " " + Quoted(a);
  const ToolRun run = RunTool(command + " 2>" + Quoted(dir.Path(".stderr")));
  return {run.exitCode, Contents(dir.Path(".stderr")), run.output};
}

}  // namespace lw::test
