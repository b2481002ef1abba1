// The windowed program: the application object, the main window and its event loop.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace lw {

// Loads Qt's own French texts (file and colour dialogs, standard buttons) into the running
// application; false when the translations are not installed, and Qt speaks English.
bool LoadQtFrenchTexts();

class MainWindow;

// Starts a program (argv[0]) with its arguments, detached; false when it could not be started.
using ProgramStarter = std::function<bool(const std::vector<std::string>& argv)>;

// The files named on the command line: the first becomes the window's document; each of the
// others opens in a window of its own, the program started once more for it, since a window
// holds one document. A file that could not be given its window is named in a message.
void OpenCommandLineFiles(MainWindow& window, const std::vector<std::string>& files,
                          const ProgramStarter& start);

// Runs the window until it closes; returns the exit code. argv may name files to open.
int RunWindow(int argc, char** argv);

}  // namespace lw
