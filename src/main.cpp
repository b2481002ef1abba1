// Loopwright: the window when started normally, the batch mode when the first argument starts
// with "-".
#include "shell/preferences.h"
#include "shell/ui/application.h"

int main(int argc, char** argv) {
  lw::LoadPreferences();
  return lw::RunWindow(argc, argv);
}
