// The window of Loopwright, started by the loopwright program for anything but the batch mode.
#include "base/preferences.h"
#include "platform/memory_pages.h"
#include "shell/options_from_preferences.h"
#include "ui/window/application.h"

int main(int argc, char** argv) {
  lw::PrepareHeapForPictures();
  lw::LoadPreferences();
  lw::ApplyEnginePreferences();
  return lw::RunWindow(argc, argv);
}
