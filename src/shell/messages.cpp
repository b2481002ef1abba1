#include "shell/messages.h"

#include <cstdarg>
#include <cstdio>

#include "shell/strings.h"

namespace lw {

void ShowError(const char* format, ...) {
  char text[1025];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format ? format : "", args);
  va_end(args);
  Services().MessageBox(nullptr, text, ResText(40325), mb::Ok | mb::IconExclamation | mb::TaskModal);
}

int AskUser(WindowHandle owner, int textId, int titleId, int style) {
  return Services().MessageBox(owner, ResText(textId), ResText(titleId), style | mb::TaskModal);
}

}  // namespace lw
