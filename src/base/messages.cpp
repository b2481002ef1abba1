#include "base/messages.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <new>

#include "base/string_ids.h"
#include "base/strings.h"

namespace lw {
namespace {

constexpr size_t MaxMessageChars = 1024;
constexpr size_t MaxErrorCaptionChars = 20;
constexpr size_t MaxTitleChars = 255;
constexpr int ErrorCaptionId = str::ErrorCaption;

std::string Format(const char* format, va_list args) {
  if (!format) return {};
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, args);
  std::string text;
  if (length > 0) {
    // Characters are up to four bytes; no more than the kept text is ever formatted.
    size_t keep = std::min(static_cast<size_t>(length), MaxMessageChars * 4);
    text.resize(keep + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(keep);
  }
  va_end(again);
  TruncateUtf8(text, MaxMessageChars);
  return text;
}

void ShowFormatted(const char* format, va_list args) {
  try {
    std::string text = Format(format, args);
    std::string caption = ResText(ErrorCaptionId);
    TruncateUtf8(caption, MaxErrorCaptionChars);
    Services().MessageBox(nullptr, text, caption, mb::Ok | mb::IconExclamation | mb::TaskModal);
  } catch (const std::bad_alloc&) {
    Services().MessageBox(nullptr, {}, {}, mb::Ok | mb::IconExclamation | mb::TaskModal);
  }
}

}  // namespace

void TruncateUtf8(std::string& text, size_t maxChars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (chars == maxChars) {
      text.resize(i);
      return;
    }
    ++chars;
  }
}

void ShowError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ShowFormatted(format, args);
  va_end(args);
}

void ShowErrorId(int textId, ...) {
  va_list args;
  va_start(args, textId);
  ShowFormatted(LoadResText(textId), args);
  va_end(args);
}

int AskUser(WindowHandle owner, int textId, int titleId, int style) {
  try {
    std::string title = ResText(titleId);
    TruncateUtf8(title, MaxTitleChars);
    return Services().MessageBox(owner, ResText(textId), title, style | mb::TaskModal);
  } catch (const std::bad_alloc&) {
    return 0;  // what a box that could not be shown answers
  }
}

}  // namespace lw
