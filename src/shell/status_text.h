// The texts of the status bar, the properties toolbar and the frame tips, and the checks of the
// toolbar's two number edits. Plain text logic, so that it is tested without a display.
#pragma once

#include <cstdint>
#include <string>

#include "base/numbers.h"
#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/true_colour.h"

namespace lw {

// ---- Numbers and download times ----

// Decimal digits grouped by three with the separator (a no-break space unless told otherwise):
// 1234567 -> "1 234 567", 999 -> "999".
std::string FormatThousands(int64_t number, std::string_view separator = GroupSeparator);

constexpr int ModemSpeedCount = 6;
// Bits per second of a modem speed index (PrefModemSpeed), 0 for an index without speed.
uint32_t ModemBitsPerSecond(int index);
// "14,4K" .. "128K", nullptr for an index without speed.
const char* ModemLabel(int index);

// Seconds to download size bytes at the speed: (size x 8, in single precision) / bits per second.
// Negative when the index has no speed.
float DownloadSeconds(uint64_t size, int speedIndex);
// "< 0,1sec" below 0.1 s, else "%.1fsecs" with a decimal comma (status bar).
std::string StatusDownloadTime(float seconds);
// "< 0,1sec" at 0.1 s or less, else "%.1fsecs" with a decimal comma (download-time menu).
std::string MenuDownloadTime(float seconds);

// Status part 3: "Fichier de : %s octets  (%s à %s)"; an index without speed shows the size alone.
std::string StatusFileSizeText(uint64_t size, int speedIndex);
inline constexpr const char* StatusSizeComputing = TableText(str::StatusSizeComputing);
inline constexpr const char* StatusReady = TableText(str::StatusReady);
// A download-time menu entry: "%s :\t %s", or the label alone when no size is known (size < 0).
// Empty for an index without label (the entry is removed).
std::string DownloadMenuText(int speedIndex, int64_t size);

// ---- Status parts ----

// current: frame index, -2 for several selected, -1 for none.
std::string StatusFrameText(int current, int frameCount);
std::string StatusScreenSizeText(uint32_t width, uint32_t height);
// The total of the delays in seconds with two decimals after a comma; delayUnits ticks make a
// second.
std::string StatusDurationText(uint64_t totalDelay, uint32_t delayUnits = 100);
std::string StatusZoomText(int percent);
// What the frame part adds for a frame whose GIF image does not show every colour of its 24-bit
// picture; empty for any other frame.
std::string StatusTrueColourNote(const TrueColourFacts& facts);

// ---- Title and frame list ----

// "name - Loopwright" from the path's file name, "Sans nom - Loopwright" without a path.
std::string DocumentTitle(const std::string& path);
// "#%d: %s" with the number counted from 1.
std::string FrameListEntry(int index, const std::string& name);
inline constexpr const char* FrameListNone = TableText(str::FrameListNone);
inline constexpr const char* FrameListMultiple = TableText(str::FrameListMultiple);

// ---- The two number edits ----

enum class EditCheck { Empty, Valid, OutOfRange };
struct EditValue {
  EditCheck check = EditCheck::Empty;
  uint32_t value = 0;  // the value to apply: the typed one, or the replacement when out of range
};
// The delay edit: 0..65535; out of range gives the replacement 65535. Only the first 9
// characters are read, as the edit's buffer holds them.
EditValue CheckDelayText(const std::string& text);
// The loop-count edit: 0..65536; out of range gives the replacement 0 (loop for ever).
EditValue CheckLoopText(const std::string& text);

inline constexpr const char* DelayRangeText = TableText(str::DelayRangeText);
inline constexpr const char* DelayRangeTitle = TableText(str::DelayRangeTitle);
inline constexpr const char* LoopRangeText = TableText(str::LoopRangeText);
inline constexpr const char* LoopRangeTitle = TableText(str::LoopRangeTitle);

// ---- Frame information tip ----

struct FrameTipFacts {
  int index = 0;
  uint32_t width = 0, height = 0;
  int32_t left = 0, top = 0;
  uint32_t delay = 0;
  int disposal = 0;
  bool trueColour = false;
  bool transparent = false;
  bool localPalette = false;
  int bitCount = 8;
};
// The tip's lines, joined by '\n', from the bits in order; empty when no bit asks for text.
std::string FrameTipText(const FrameTipFacts& facts, uint32_t bits);

}  // namespace lw
