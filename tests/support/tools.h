// Running the other programs that differential tests compare against.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace lw::test {

// True when the program is on the PATH; tests skip without it.
inline bool HasTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Everything the shell command writes to standard output.
inline std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

}  // namespace lw::test
