// Loopwright: the batch mode when the first argument starts with "-", else the window. The
// window lives in loopwright-window beside this program, so that a script never loads Qt and its
// libraries: a batch run starts on the engine alone.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "platform/files.h"
#include "platform/memory_pages.h"
#include "shell/batch.h"
#include "shell/options_from_preferences.h"

int main(int argc, char** argv) {
  if (argc > 1 && argv[1][0] == '-') {
    lw::PrepareHeapForPictures();
    lw::LoadPreferences();
    lw::ApplyEnginePreferences();
    int status = lw::RunBatch(std::vector<std::string>(argv + 1, argv + argc));
    lw::ShutdownBackgroundTasks();
    return status;
  }
  // The same arguments, argv[0] included, so that the window's class name stays the program's.
  const std::string window = lw::DirectoryPart(lw::GetProgramPath()) + "loopwright-window";
  ::execv(window.c_str(), argv);
  std::fprintf(stderr, "%s : %s\n", window.c_str(), std::strerror(errno));
  return 1;
}
