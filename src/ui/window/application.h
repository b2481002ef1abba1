// The windowed program: the application object, the main window and its event loop.
#pragma once

#include <string>

namespace lw {

// Loads Qt's own French texts (file and colour dialogs, standard buttons) into the running
// application; false when the translations are not installed, and Qt speaks English.
bool LoadQtFrenchTexts();

// Runs the window until it closes; returns the exit code. argv may name one file to open.
int RunWindow(int argc, char** argv);

}  // namespace lw
