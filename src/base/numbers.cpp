#include "base/numbers.h"

#include <algorithm>
#include <cstdio>

namespace lw {

std::string GroupDigits(int64_t number, std::string_view separator) {
  std::string digits = std::to_string(number);
  std::string out;
  if (!digits.empty() && digits[0] == '-') {
    out = "-";
    digits.erase(0, 1);
  }
  size_t first = digits.size() % 3;
  if (first == 0) first = 3;
  out += digits.substr(0, first);
  for (size_t i = first; i < digits.size(); i += 3) {
    out += separator;
    out += digits.substr(i, 3);
  }
  return out;
}

std::string DecimalText(double value, int decimals) {
  char buffer[64];
  int n = std::snprintf(buffer, sizeof buffer, "%.*f", std::clamp(decimals, 0, 9), value);
  if (n < 0 || static_cast<size_t>(n) >= sizeof buffer) return {};
  std::string text(buffer, static_cast<size_t>(n));
  // Whatever the C library's locale put there, the reader sees a comma.
  std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

}  // namespace lw
