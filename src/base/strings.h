// The program's string table: every text the program shows, keyed by its string id.
#pragma once

#include <cstddef>
#include <string>

namespace lw {

namespace detail {
struct StringEntry {
  int id;
  const char* text;
};
// Kept sorted by id so that a lookup is a binary search over constant data.
inline constexpr StringEntry kStringTable[] = {
#define LW_TEXT(name, id, text) {id, text},
#include "base/string_table.inc"
#undef LW_TEXT
};
}  // namespace detail

// The text of id straight from the table, whole and never overwritten; "" when the id has none.
// Usable in constant expressions, for texts that code keeps as constants.
constexpr const char* TableText(int id) {
  std::size_t low = 0, high = sizeof detail::kStringTable / sizeof detail::kStringTable[0];
  while (low < high) {
    std::size_t mid = (low + high) / 2;
    if (detail::kStringTable[mid].id < id) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  bool found = low < sizeof detail::kStringTable / sizeof detail::kStringTable[0] &&
               detail::kStringTable[low].id == id;
  return found ? detail::kStringTable[low].text : "";
}

// The text of string id, or nullptr when the id has none. The text is UTF-8 and lives in a buffer
// of the calling thread that the thread's next call overwrites, at most 511 characters.
const char* LoadResText(int id);

// The whole text of id as a string, empty when the id has none.
std::string ResText(int id);

}  // namespace lw
