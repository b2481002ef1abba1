#include "formats/strip/strip.h"

#include <algorithm>
#include <cctype>

#include "formats/save_flow.h"

namespace lw {

std::string NumberedName::Fill(int number) const {
  if (!numbered) return prefix + suffix;
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return prefix + digits + suffix;
}

int NumberDigits(int frameCount) {
  if (frameCount < 2) return 0;
  int digits = 0;
  for (long long power = 1; power < frameCount; power *= 10) ++digits;
  return std::max(digits, 1);
}

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  if (tail.size() > text.size()) return false;
  return std::equal(tail.begin(), tail.end(), text.end() - static_cast<long>(tail.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

}  // namespace

NumberedName NumberedNamePattern(std::string_view baseName, std::string_view extension,
                                 bool alwaysNumber, int digits) {
  std::string name(baseName);
  std::string dotted = "." + std::string(extension);
  if (!EndsWithNoCase(name, dotted)) name += dotted;
  NumberedName out;
  size_t hash = name.find('#');
  if (hash != std::string::npos) {
    size_t end = name.find_first_not_of('#', hash);
    if (end == std::string::npos) end = name.size();
    out.prefix = name.substr(0, hash);
    out.width = std::max(static_cast<int>(end - hash), digits);
    out.suffix = name.substr(end);
    out.numbered = true;
  } else if (alwaysNumber) {
    out.prefix = name.substr(0, name.size() - dotted.size());
    out.width = digits;
    out.suffix = name.substr(out.prefix.size());
    out.numbered = true;
  } else {
    out.prefix = name;
  }
  return out;
}

StripSize StripSizeFor(const Animation& document, uint32_t optionBits) {
  StripSize size;
  int frames = document.frameCount;
  if (frames <= 0) return size;
  int strips = std::clamp(static_cast<int>(optionBits >> stripopt::CountShift), 1, frames);
  size.framesPerStrip = (frames + strips - 1) / strips;
  uint32_t along = static_cast<uint32_t>(size.framesPerStrip);
  uint32_t across = static_cast<uint32_t>(strips);
  if (optionBits & stripopt::Vertical) {
    size.width = across * document.screenWidth;
    size.height = along * document.screenHeight;
  } else {
    size.width = along * document.screenWidth;
    size.height = across * document.screenHeight;
  }
  return size;
}

}  // namespace lw
