// Loopwright: the window when started normally, the batch mode when the first argument starts
// with "-". The batch mode runs on the engine alone: no Qt object is made before RunWindow.
#include <string>
#include <vector>

#include "base/preferences.h"
#include "base/progress.h"
#include "shell/batch.h"
#include "shell/geometry_commands.h"
#include "shell/ui/application.h"

int main(int argc, char** argv) {
  lw::LoadPreferences();
  lw::RegisterGeometryUndo();
  if (argc > 1 && argv[1][0] == '-') {
    int status = lw::RunBatch(std::vector<std::string>(argv + 1, argv + argc));
    lw::ShutdownBackgroundTasks();
    return status;
  }
  return lw::RunWindow(argc, argv);
}
