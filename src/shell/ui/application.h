// The windowed program: the application object, the main window and its event loop.
#pragma once

#include <string>

namespace lw {

// Runs the window until it closes; returns the exit code. argv may name one file to open.
int RunWindow(int argc, char** argv);

// The one file of a command line given as a single text: a leading double quote is skipped; a
// closing quote ends the name; a space followed two characters later by ':' ends it (a second
// path with a drive letter follows); any other space makes the whole rest the name, less one
// trailing quote.
std::string FileFromCommandLine(const std::string& line);

}  // namespace lw
