#include "shell/preferences.h"

#include <array>

namespace lw {
namespace {
// In memory only for now; the settings store comes next.
std::array<uint32_t, PrefWordCapacity> words{};
}  // namespace

void LoadPreferences() {
  words = {};
  words[PrefDefaultDelay] = 10;
  words[PrefOversizeInsert] = 32;
  words[PrefOptimize] = 1134;
  words[PrefFlags] = 0x00800000;
  words[PrefReduceColors] = 7;
  words[PrefModemSpeed] = 1;
  words[PrefPaletteMerge] = 0x00880001;
  words[PrefUndoLevels] = 20;
  words[PrefSaveOptions] = 1;
  words[PrefDelayUnits] = 100;
}

uint32_t GetPref(int index) {
  if (index < 0 || index >= PrefWordCapacity) return 0;
  return words[index];
}

bool SetPref(int index, uint32_t value) {
  if (index < 0 || index >= PrefWordCount) return false;
  words[index] = value;
  return false;
}

bool SetPrefBits(int index, uint32_t mask, bool on) {
  uint32_t v = GetPref(index) & ~mask;
  return SetPref(index, on ? v | mask : v);
}

int JpegQuality() {
  uint32_t step = (GetPref(PrefSaveOptions) >> 8) & 0xFF;
  return 45 + 5 * static_cast<int>(step ? step : 6);
}

}  // namespace lw
