// Runs the real executable without a display on files the tests write, and reads its outputs
// back with the program's own reader.
#pragma once

#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/flow_fixture.h"

namespace lw::test {

using namespace lw::testing_support;

struct RunResult {
  int exitCode = -1;
  std::string errors;  // standard error
  std::string output;  // standard output
};

// Settings written here (the fixture stores its preference words) are the program's too: both
// use the same settings folder.
class BatchTest : public FlowTest {
 protected:
  // Runs the program with these arguments, without a display, in the test folder.
  RunResult Run(const std::vector<std::string>& args) {
    std::string errorsPath = Path("stderr.txt"), outputPath = Path("stdout.txt");
    pid_t pid = fork();
    if (pid == 0) {
      int fd = ::open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd < 0 || out < 0 || ::dup2(fd, 2) < 0 || ::dup2(out, 1) < 0 ||
          ::chdir(dir_.c_str()) != 0)
        _exit(125);
      ::unsetenv("DISPLAY");
      ::unsetenv("WAYLAND_DISPLAY");
      std::vector<char*> argv;
      std::string program = LW_LOOPWRIGHT_PATH;
      argv.push_back(program.data());
      std::vector<std::string> copies = args;
      for (std::string& a : copies) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      _exit(126);
    }
    RunResult result;
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.errors = Contents(errorsPath);
    result.output = Contents(outputPath);
    std::filesystem::remove(errorsPath);
    std::filesystem::remove(outputPath);
    return result;
  }

  // A one-frame w x h GIF filled with index.
  std::string Gif(const std::string& name, uint8_t index, uint32_t w = 4, uint32_t h = 4) {
    AnimationPtr a = MakeDocument(w, h);
    AddSolidFrame(*a, 0, 0, w, h, index);
    return Save(name, *a);
  }
  std::string Save(const std::string& name, Animation& a) {
    std::filesystem::create_directories((dir_ / name).parent_path());
    std::string path = Path(name);
    EXPECT_TRUE(SaveGifToFile(path, a, nullptr));
    return path;
  }
  // The red of every frame's first pixel: which input each frame came from (the inputs' index i
  // is red i; palettes are merged, so the indexes themselves change).
  static std::vector<int> FirstPixels(const std::string& path) {
    std::vector<int> out;
    AnimationPtr a = ReadBack(path);
    if (!a) return out;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      out.push_back(f->palette ? f->palette->entries.at(Pixels(*f)[0]).red : -1);
    }
    return out;
  }
};

}  // namespace lw::test
