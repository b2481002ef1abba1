#include "base/signature.h"

#include <new>
#include <string>

namespace lw {
namespace {

// The UTF-8 text in Latin-1, as older versions wrote comments; false when a character has no
// Latin-1 form.
bool ToLatin1(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
               (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      out->push_back(
          static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F)));
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsSignatureText(std::string_view text, std::string_view own) {
  // Older versions wrote the signature in Latin-1; it is recognised in both encodings, so that
  // a save replaces it rather than adding a second one.
  constexpr std::string_view mark = "Réalisé avec Loopwright";
  constexpr std::string_view latin1Mark =
      "R\xE9"
      "alis\xE9 avec Loopwright";
  if (text.substr(0, mark.size()) == mark || text.substr(0, latin1Mark.size()) == latin1Mark)
    return true;
  if (own.empty()) return false;
  if (text == own) return true;
  try {
    std::string latin1;
    return ToLatin1(own, &latin1) && text == latin1;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace lw
