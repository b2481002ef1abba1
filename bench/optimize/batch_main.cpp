// The program's batch mode alone: the same flags as "loopwright -i ... -z -o ...", no window.
#include <string>
#include <vector>

#include "base/preferences.h"
#include "base/progress.h"
#include "shell/batch.h"

int main(int argc, char** argv) {
  lw::LoadPreferences();
  int status = lw::RunBatch(std::vector<std::string>(argv + 1, argv + argc));
  lw::ShutdownBackgroundTasks();
  return status;
}
