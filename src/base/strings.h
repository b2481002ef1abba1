// The program's string table: every text the program shows, keyed by its string id.
#pragma once

#include <string>

namespace lw {

// The text of string id, or nullptr when the id has none. The text is UTF-8 and lives in a buffer
// of the calling thread that the thread's next call overwrites, at most 511 characters.
const char* LoadResText(int id);

// The whole text of id as a string, empty when the id has none.
std::string ResText(int id);

}  // namespace lw
