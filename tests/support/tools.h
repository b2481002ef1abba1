// Running the other programs that differential tests compare against. A test that needs one
// starts with LW_NEED_TOOL("name"): without it on the PATH the test is skipped on a developer's
// machine, but fails under CI (CI set), where scripts/setup.sh has installed them all.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace lw::test {

// True when the program is on the PATH.
inline bool HasTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

#define LW_NEED_TOOL(name)                                        \
  if (!::lw::test::HasTool(name)) {                               \
    if (std::getenv("CI")) FAIL() << name << " is not installed"; \
    GTEST_SKIP() << name << " is not installed";                  \
  }

struct ToolRun {
  int exitCode = -1;
  std::string output;  // standard output
};

// Runs a shell command; standard error is left to the test's log.
inline ToolRun RunTool(const std::string& command) {
  ToolRun run;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return run;
}

// Everything the shell command writes to standard output.
inline std::string Output(const std::string& command) { return RunTool(command).output; }

// A path quoted for the shell.
inline std::string Quoted(const std::string& path) {
  std::string out = "'";
  for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace lw::test
