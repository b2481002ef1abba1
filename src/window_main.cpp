// The window of Loopwright, started by the loopwright program for anything but the batch mode.
#include "base/preferences.h"
#include "platform/memory_pages.h"
#include "ui/window/application.h"

int main(int argc, char** argv) {
  lw::PrepareHeapForPictures();
  lw::LoadPreferences();
  return lw::RunWindow(argc, argv);
}
