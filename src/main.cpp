// Loopwright: the window when started normally, the batch mode when the first argument starts
// with "-".
#include <string>
#include <vector>

#include "base/preferences.h"
#include "shell/batch.h"
#include "shell/geometry_commands.h"
#include "shell/ui/application.h"

int main(int argc, char** argv) {
  lw::LoadPreferences();
  lw::RegisterGeometryUndo();
  if (argc > 1 && argv[1][0] == '-') {
    return lw::RunBatch(std::vector<std::string>(argv + 1, argv + argc));
  }
  return lw::RunWindow(argc, argv);
}
