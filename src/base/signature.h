// Recognising the signature comments this program writes, apart from where the user's own text
// is stored.
#pragma once

#include <string_view>

namespace lw {

// True for the standard signature ("Réalisé avec Loopwright..."), and for own, the user's
// signature text (empty: none), each in UTF-8 or in the Latin-1 older versions wrote.
bool IsSignatureText(std::string_view text, std::string_view own);

}  // namespace lw
