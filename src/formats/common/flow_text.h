// Small helpers the flows and the readers share.
#pragma once

#include <string>
#include <string_view>

namespace lw {

// printf-style text; empty when memory is short.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The string id's text as the format, with one text argument or one number.
std::string FormatResText(int id, const std::string& text);
std::string FormatResNumber(int id, int number);
// Reads the whole file at path (at most maxSize bytes) for a reader; false after telling the user
// why: the file cannot be opened, or memory is short.
bool ReadFileForReader(const std::string& path, size_t maxSize, std::string* bytes);
// Why no video can be read or written: the video module could not be loaded, for lack of memory
// or because it is missing or broken.
void ShowVideoModuleProblem();
// ASCII case-insensitive equality.
bool EqualsNoCase(std::string_view a, std::string_view b);
// The last n characters (the whole text when shorter).
std::string_view LastChars(std::string_view text, size_t n);

}  // namespace lw
