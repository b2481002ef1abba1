// The window of Loopwright, started by the loopwright program for anything but the batch mode.
#include "base/preferences.h"
#include "ui/window/application.h"

int main(int argc, char** argv) {
  lw::LoadPreferences();
  return lw::RunWindow(argc, argv);
}
