// Numbers as a French reader writes them: digits grouped by three with a no-break space, so that
// a number never wraps across two lines, and a decimal comma.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

inline constexpr const char* GroupSeparator = "\u00A0";

// 1234567 -> "1 234 567" (with the separator between groups), -1234 -> "-1 234".
std::string GroupDigits(int64_t number, std::string_view separator = GroupSeparator);

// The value rounded to decimals places, with a comma: (33.75, 1) -> "33,8".
std::string DecimalText(double value, int decimals);

}  // namespace lw
