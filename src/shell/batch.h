// The batch mode: started with a first argument beginning with "-", the program opens no window
// and works through its flags from left to right, reading files into one document, optimizing
// it and writing it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Runs the flags (the program's arguments after its own name). Messages go through the
// services (standard error without a window). Returns the exit code: 0 when no message was
// shown, 1 otherwise.
int RunBatch(const std::vector<std::string>& args);

// The names of a list file's text: one per line, lines ending at CR, LF or CR LF; an empty line
// gives an empty name, a break at the very end no further name; a zero byte ends the list.
std::vector<std::string> SplitFileList(std::string_view text);

}  // namespace lw
