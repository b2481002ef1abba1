#include "formats/common/flow_text.h"

#include <cstdarg>
#include <cstdio>
#include <new>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "platform/files.h"
#include "platform/video_files.h"

namespace lw {
namespace {

std::string VFormat(const char* format, va_list args) {
  if (!format) return {};
  try {
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    std::string text;
    if (length > 0) {
      text.resize(static_cast<size_t>(length) + 1);
      std::vsnprintf(text.data(), text.size(), format, again);
      text.resize(static_cast<size_t>(length));
    }
    va_end(again);
    return text;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  return text;
}

std::string FormatResText(int id, const std::string& text) {
  std::string format = ResText(id);
  return FormatText(format.c_str(), text.c_str());
}

std::string FormatResNumber(int id, int number) {
  std::string format = ResText(id);
  return FormatText(format.c_str(), number);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string_view LastChars(std::string_view text, size_t n) {
  return text.size() <= n ? text : text.substr(text.size() - n);
}

bool ReadFileForReader(const std::string& path, size_t maxSize, std::string* bytes) {
  try {
    if (ReadWholeFile(path, maxSize, bytes)) return true;
    ShowErrorId(str::CannotOpenFile, path.c_str());
  } catch (const std::bad_alloc&) {
    ShowErrorId(str::NoFrameMemory);
  }
  return false;
}

void ShowVideoModuleProblem() {
  ShowErrorId(VideoModuleShortOfMemory() ? str::VideoModuleNoMemory : str::VideoModuleMissing,
              VideoModuleProblem().c_str());
}

}  // namespace lw
