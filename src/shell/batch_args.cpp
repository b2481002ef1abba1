// The arguments of the batch mode's long flags: every text comes from the command line, so each
// parser checks its whole input and its ranges before a value is used.
#include <array>

#include "colour/optimize.h"
#include "formats/save_flow.h"
#include "formats/strip_flow.h"
#include "shell/batch.h"

namespace lw {
namespace {

// Cuts text at the first sep: *head before it, *tail after it; false when there is none.
bool SplitAt(std::string_view text, char sep, std::string_view* head, std::string_view* tail) {
  size_t at = text.find(sep);
  if (at == std::string_view::npos) return false;
  *head = text.substr(0, at);
  *tail = text.substr(at + 1);
  return true;
}

// One end of a frame range: a whole number, negative from the end, resolved to 0..count-1.
bool FrameIndexOf(std::string_view text, int count, int* index) {
  int64_t v = 0;
  if (!ParseWholeNumber(text, -int64_t{count}, int64_t{count} - 1, &v)) return false;
  *index = static_cast<int>(v < 0 ? v + count : v);
  return true;
}

}  // namespace

bool ParseWholeNumber(std::string_view text, int64_t min, int64_t max, int64_t* value) {
  size_t at = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    at = 1;
  }
  if (at == text.size() || text.size() - at > 12) return false;  // 12 digits: no overflow
  int64_t v = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    v = v * 10 + (text[at] - '0');
  }
  if (negative) v = -v;
  if (v < min || v > max) return false;
  *value = v;
  return true;
}

bool ParseFrameList(std::string_view text, int count, std::vector<bool>* frames) {
  if (count <= 0 || text.empty()) return false;
  std::vector<bool> chosen(static_cast<size_t>(count), false);
  while (true) {
    std::string_view item = text, rest;
    bool more = SplitAt(text, ',', &item, &rest);
    // A range's dash is the first one after its first character (which may be a sign).
    size_t dash = item.size() > 1 ? item.find('-', 1) : std::string_view::npos;
    int first = 0, last = 0;
    if (dash == std::string_view::npos) {
      if (!FrameIndexOf(item, count, &first)) return false;
      last = first;
    } else if (!FrameIndexOf(item.substr(0, dash), count, &first) ||
               !FrameIndexOf(item.substr(dash + 1), count, &last) || first > last) {
      return false;
    }
    for (int i = first; i <= last; ++i) chosen[static_cast<size_t>(i)] = true;
    if (!more) break;
    text = rest;
  }
  *frames = std::move(chosen);
  return true;
}

bool ParseResizeSize(std::string_view text, uint32_t* width, uint32_t* height) {
  std::string_view w, h;
  if (!SplitAt(text, 'x', &w, &h) && !SplitAt(text, 'X', &w, &h)) return false;
  int64_t sides[2] = {0, 0};
  std::string_view parts[2] = {w, h};
  for (int i = 0; i < 2; ++i) {
    if (parts[i] == "_") continue;
    if (!ParseWholeNumber(parts[i], 1, 65535, &sides[i])) return false;
  }
  if (sides[0] == 0 && sides[1] == 0) return false;
  *width = static_cast<uint32_t>(sides[0]);
  *height = static_cast<uint32_t>(sides[1]);
  return true;
}

bool ParseCropRectangle(std::string_view text, int64_t rect[4]) {
  int64_t values[4];
  for (int i = 0; i < 4; ++i) {
    std::string_view item = text, rest;
    bool more = SplitAt(text, ',', &item, &rest);
    if (more != (i < 3)) return false;
    if (!ParseWholeNumber(item, i < 2 ? 0 : 1, 65535, &values[i])) return false;
    text = rest;
  }
  for (int i = 0; i < 4; ++i) rect[i] = values[i];
  return true;
}

bool ParseOptimizeOptions(std::string_view text, uint32_t* options) {
  struct Name {
    std::string_view name;
    uint32_t bit;
  };
  static constexpr std::array<Name, 7> kNames = {{
      {"crop", optimize::CropFrames},
      {"transparency", optimize::DuplicatesToTransparency},
      {"useless", optimize::RemoveUselessFrames},
      {"local", optimize::RemoveLocalPalettes},
      {"global", optimize::MapToGlobalPalette},
      {"meta", optimize::BuildMetaPalette},
      {"reduce", optimize::ReducePalettes},
  }};
  uint32_t bits = 0;
  while (!text.empty()) {
    std::string_view item = text, rest;
    bool more = SplitAt(text, ',', &item, &rest);
    uint32_t bit = 0;
    for (const Name& n : kNames)
      if (n.name == item) bit = n.bit;
    if (bit == 0) return false;
    bits |= bit;
    if (!more) break;
    if (rest.empty()) return false;
    text = rest;
  }
  // The dialog's palette choice is one of three radio buttons.
  const uint32_t both = optimize::MapToGlobalPalette | optimize::BuildMetaPalette;
  if ((bits & both) == both) return false;
  *options = bits;
  return true;
}

bool ParseFramesChoice(std::string_view text, uint32_t* optionBits) {
  if (text == "animation") {
    // Chosen, not merely left as it is: a PNG then holds the whole animation.
    *optionBits = saveopt::AnimationChosen;
    return true;
  }
  if (text == "individual") {
    *optionBits = saveopt::Individual;
    return true;
  }
  std::string_view kind = text, count;
  bool counted = SplitAt(text, ':', &kind, &count);
  if (kind != "strip" && kind != "vstrip") return false;
  int64_t strips = 1;
  if (counted && !ParseWholeNumber(count, 1, 32767, &strips)) return false;
  *optionBits = saveopt::Strip | (kind == "vstrip" ? stripopt::Vertical : 0u) |
                (static_cast<uint32_t>(strips) << stripopt::CountShift);
  return true;
}

namespace {

// Digits only, no sign.
bool ParseUnsigned(std::string_view text, int64_t max, int64_t* value) {
  return !text.empty() && text[0] != '-' && text[0] != '+' && ParseWholeNumber(text, 0, max, value);
}

// Digits (a whole part of at most max), then an optional fraction of up to 3 digits: the value
// x 1000.
bool ParseMilli(std::string_view text, int64_t max, int64_t* milli) {
  std::string_view whole = text, fraction;
  const bool dotted = SplitAt(text, '.', &whole, &fraction);
  if (dotted && fraction.size() > 3) return false;
  int64_t w = 0, f = 0;
  if (!ParseUnsigned(whole, max, &w) || (dotted && !ParseUnsigned(fraction, 999, &f))) return false;
  for (size_t i = fraction.size(); i < 3; ++i) f *= 10;
  *milli = w * 1000 + f;
  return true;
}

}  // namespace

bool ParseClipTime(std::string_view text, int64_t* ms) {
  constexpr int64_t kMostSeconds = 100 * 3600;  // 100 hours
  std::string_view parts[3];
  int count = 0;
  for (std::string_view rest = text;; ++count) {
    if (count == 3) return false;
    if (!SplitAt(rest, ':', &parts[count], &rest)) {
      parts[count++] = rest;
      break;
    }
  }
  int64_t seconds = 0;
  if (!ParseMilli(parts[count - 1], count == 1 ? kMostSeconds : 59, &seconds)) return false;
  int64_t minutes = 0, hours = 0;
  if (count >= 2 && !ParseUnsigned(parts[count - 2], count == 3 ? 59 : 99 * 60, &minutes))
    return false;
  if (count == 3 && !ParseUnsigned(parts[0], 99, &hours)) return false;
  *ms = ((hours * 60 + minutes) * 60) * 1000 + seconds;
  return true;
}

bool ParseFrameRate(std::string_view text, uint32_t* milli) {
  int64_t value = 0;
  if (!ParseMilli(text, 1000, &value) || value == 0 || value > 1000000) return false;
  *milli = static_cast<uint32_t>(value);
  return true;
}

}  // namespace lw
