// The program's batch mode alone: the same flags as "loopwright -i ... -z -o ...", no window.
#include <string>
#include <vector>

#include "base/preferences.h"
#include "base/progress.h"
#include "shell/batch.h"
#include "shell/geometry_commands.h"

int main(int argc, char** argv) {
  lw::LoadPreferences();
  lw::RegisterGeometryUndo();
  int status = lw::RunBatch(std::vector<std::string>(argv + 1, argv + argc));
  lw::ShutdownBackgroundTasks();
  return status;
}
