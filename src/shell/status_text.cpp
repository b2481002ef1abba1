#include "shell/status_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace lw {

namespace {

struct ModemSpeed {
  uint32_t bitsPerSecond;
  const char* label;
};
// The labels' tenths are written with a comma, as the times beside them are.
constexpr ModemSpeed kModemSpeeds[ModemSpeedCount] = {
    {14400, "14,4K"}, {28800, "28,8K"}, {33600, "33,6K"},
    {56000, "56K"},   {64000, "64K"},   {128000, "128K"},
};

std::string Printf(const char* format, auto... args) {
  char buffer[512];
  int n = std::snprintf(buffer, sizeof buffer, format, args...);
  if (n < 0) return {};
  return std::string(buffer, static_cast<size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
}

// The table's texts write their numbers with a point; the reader expects a comma.
std::string WithDecimalComma(std::string text) {
  std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

std::string Tenths(float seconds, bool lessOrEqual) {
  bool small = lessOrEqual ? seconds <= 0.1f : seconds < 0.1f;
  if (small) return WithDecimalComma(TableText(str::DownloadUnderTenth));
  return WithDecimalComma(Printf(TableText(str::DownloadSeconds), static_cast<double>(seconds)));
}

EditValue CheckNumber(const std::string& text, uint32_t maximum, uint32_t replacement) {
  std::string digits = text.substr(0, 9);
  EditValue result;
  size_t start = 0;
  while (start < digits.size() && std::isspace(static_cast<unsigned char>(digits[start]))) ++start;
  if (start == digits.size()) return result;
  char* end = nullptr;
  long long value = std::strtoll(digits.c_str() + start, &end, 10);
  if (end == digits.c_str() + start) {  // no digits at all: nothing to apply
    return result;
  }
  if (value < 0 || value > static_cast<long long>(maximum)) {
    result.check = EditCheck::OutOfRange;
    result.value = replacement;
  } else {
    result.check = EditCheck::Valid;
    result.value = static_cast<uint32_t>(value);
  }
  return result;
}

}  // namespace

std::string FormatThousands(int64_t number, std::string_view separator) {
  return GroupDigits(number, separator);
}

uint32_t ModemBitsPerSecond(int index) {
  return index >= 0 && index < ModemSpeedCount ? kModemSpeeds[index].bitsPerSecond : 0;
}

const char* ModemLabel(int index) {
  return index >= 0 && index < ModemSpeedCount ? kModemSpeeds[index].label : nullptr;
}

float DownloadSeconds(uint64_t size, int speedIndex) {
  uint32_t bps = ModemBitsPerSecond(speedIndex);
  if (bps == 0) return -1.0f;
  float bits = static_cast<float>(size * 8);
  return bits / static_cast<float>(bps);
}

std::string StatusDownloadTime(float seconds) { return Tenths(seconds, false); }
std::string MenuDownloadTime(float seconds) { return Tenths(seconds, true); }

std::string StatusFileSizeText(uint64_t size, int speedIndex) {
  std::string grouped = FormatThousands(static_cast<int64_t>(size));
  const char* label = ModemLabel(speedIndex);
  if (!label) return Printf(TableText(str::StatusFileSize), grouped.c_str());
  return Printf(TableText(str::StatusFileSizeWithTime), grouped.c_str(),
                StatusDownloadTime(DownloadSeconds(size, speedIndex)).c_str(), label);
}

std::string DownloadMenuText(int speedIndex, int64_t size) {
  const char* label = ModemLabel(speedIndex);
  if (!label) return {};
  if (size < 0) return label;
  return std::string(label) + " :\t " +
         MenuDownloadTime(DownloadSeconds(static_cast<uint64_t>(size), speedIndex));
}

std::string StatusFrameText(int current, int frameCount) {
  if (current == -2) return Printf(TableText(str::StatusSeveralFrames), frameCount);
  if (current < 0) return Printf(TableText(str::StatusNoFrame), frameCount);
  return Printf(TableText(str::StatusFrameOf), current + 1, frameCount);
}

std::string StatusScreenSizeText(uint32_t width, uint32_t height) {
  return Printf("  %u × %u", width, height);
}

std::string StatusDurationText(uint64_t totalDelay, uint32_t delayUnits) {
  if (delayUnits == 0) delayUnits = 100;
  return WithDecimalComma(
      Printf(TableText(str::StatusDuration), static_cast<double>(totalDelay) / delayUnits));
}

std::string StatusZoomText(int percent) { return Printf("  %d%%", percent); }

std::string StatusTrueColourNote(const TrueColourFacts& facts) {
  if (!facts.present || !facts.gifDiffers) return {};
  return Printf(TableText(str::StatusTrueColourBeyondGif), FormatThousands(facts.colours).c_str());
}

std::string DocumentTitle(const std::string& path) {
  if (path.empty()) return TableText(str::TitleUntitled);
  size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return Printf(TableText(str::TitleWithName), name.c_str());
}

std::string FrameListEntry(int index, const std::string& name) {
  std::string entry = "#";  // appended: g++ 12 warns falsely on "literal" + std::string at -O2
  entry += std::to_string(index + 1);
  entry += ": ";
  entry += name;
  return entry;
}

EditValue CheckDelayText(const std::string& text) { return CheckNumber(text, 65535, 65535); }
EditValue CheckLoopText(const std::string& text) { return CheckNumber(text, 65536, 0); }

std::string FrameTipText(const FrameTipFacts& f, uint32_t bits) {
  std::string out;
  auto line = [&](const std::string& text) {
    if (!out.empty()) out += '\n';
    out += text;
  };
  if (BitIn(bits, Pref::FrameTipNumber)) line(Printf("#%d: ", f.index + 1));
  if (BitIn(bits, Pref::FrameTipSize)) line(Printf(TableText(str::TipSize), f.width, f.height));
  if (BitIn(bits, Pref::FrameTipOffset)) line(Printf(TableText(str::TipOffset), f.left, f.top));
  if (BitIn(bits, Pref::FrameTipDelay)) line(Printf(TableText(str::TipDelay), f.delay));
  if (BitIn(bits, Pref::FrameTipDisposal)) {
    int how = f.disposal == 2   ? str::TipDisposalBackground
              : f.disposal == 3 ? str::TipDisposalPrevious
                                : str::TipDisposalLeave;
    line(std::string(TableText(str::TipDisposal)) + TableText(how));
  }
  if (BitIn(bits, Pref::FrameTipTransparency)) {
    line(TableText(f.trueColour    ? str::TipAlphaChannel
                   : f.transparent ? str::TipTransparent
                                   : str::TipNoTransparency));
  }
  if (BitIn(bits, Pref::FrameTipPalette))
    line(TableText(f.localPalette ? str::TipLocalPalette : str::TipGlobalPalette));
  if (BitIn(bits, Pref::FrameTipBitCount)) line(Printf(TableText(str::TipBitCount), f.bitCount));
  return out;
}

}  // namespace lw
