// The windowed program: the application object, the main window and its event loop.
#pragma once

#include <string>

namespace lw {

// Runs the window until it closes; returns the exit code. argv may name one file to open.
int RunWindow(int argc, char** argv);

}  // namespace lw
