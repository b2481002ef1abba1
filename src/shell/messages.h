// Failures and questions shown to the user, with texts from the string table.
#pragma once

#include "platform/services.h"

namespace lw {

// Formats the text printf-style (at most 1024 characters) and shows it in a box captioned
// "Erreur" (string 40325) with the exclamation icon and an OK button.
void ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Asks with the text and title of the given string ids; style is a mb:: combination.
// Returns the answer:: value of the button pressed.
int AskUser(WindowHandle owner, int textId, int titleId, int style);

}  // namespace lw
