// The names of the program's texts, made from the rows of base/string_table.inc: code says which
// text it shows (str::StripOption), the table keeps the numbers and the texts.
#pragma once

namespace lw::str {

#define LW_TEXT(name, id, text) inline constexpr int name = id;
#include "base/string_table.inc"
#undef LW_TEXT

}  // namespace lw::str
