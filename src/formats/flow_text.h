// Small text helpers the flows share.
#pragma once

#include <string>
#include <string_view>

namespace lw {

// printf-style text; empty when memory is short.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The string id's text as the format, with one text argument or one number.
std::string FormatResText(int id, const std::string& text);
std::string FormatResNumber(int id, int number);
// ASCII case-insensitive equality.
bool EqualsNoCase(std::string_view a, std::string_view b);
// The last n characters (the whole text when shorter).
std::string_view LastChars(std::string_view text, size_t n);

}  // namespace lw
