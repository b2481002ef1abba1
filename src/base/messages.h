// Failures and questions shown to the user, with texts from the string table.
#pragma once

#include <cstddef>
#include <string>

#include "platform/services.h"

namespace lw {

// Formats the text printf-style (at most 1024 characters; a null format gives an empty text)
// and shows it in a task-modal box without owner, captioned "Erreur" (string 40325), with the
// exclamation icon and an OK button.
void ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The same with the text of a string id as the format.
void ShowErrorId(int textId, ...);

// Asks with the text and title of the given string ids (an id without text gives an empty
// text); style is a mb:: combination, shown task-modal. Returns the answer:: value of the
// button pressed, 0 when the box could not be shown.
int AskUser(WindowHandle owner, int textId, int titleId, int style);

// Cuts a UTF-8 text after maxChars characters, never inside a character.
void TruncateUtf8(std::string& text, size_t maxChars);

}  // namespace lw
