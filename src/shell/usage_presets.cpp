#include "shell/usage_presets.h"

#include "base/preferences.h"

namespace lw {

UsagePreset CurrentUsagePreset() {
  uint32_t flags = GetPref(PrefFlags);
  uint32_t merge = GetPref(PrefPaletteMerge);
  if (!(flags & KeepTrueColor)) return merge == 0x00880001 ? UsagePreset::Gif : UsagePreset::Other;
  return merge == 0x00880010 && (flags & NoAutoPreview) ? UsagePreset::Icons : UsagePreset::Other;
}

bool ApplyUsagePreset(UsagePreset preset, UsagePreset initial) {
  if (preset == initial) return false;
  switch (preset) {
    case UsagePreset::Gif:
      SetPrefBits(PrefFlags, KeepTrueColor, false);
      SetPref(PrefPaletteMerge, 0x00880001);
      SetPref(PrefFrameTips, 173);  // on, number, size, delay, transparency
      return true;
    case UsagePreset::Icons:
      SetPrefBits(PrefFlags, KeepTrueColor | NoAutoPreview, true);
      SetPref(PrefPaletteMerge, 0x00880010);
      SetPref(PrefFrameTips, 1161);  // on, size, transparency, bit depth
      SetPref(PrefOversizeInsert, OversizeEnlarge);
      return true;
    case UsagePreset::Other: return false;
  }
  return false;
}

PaletteMergeChoice DecodePaletteMerge(uint32_t word) {
  PaletteMergeChoice c;
  c.method = 0x001;
  for (uint32_t bit : {0x001u, 0x002u, 0x004u, 0x008u, 0x010u, 0x400u}) {
    if (word & bit) {
      c.method = bit;
      break;
    }
  }
  c.dither = word & 0x100;
  c.ask = word & 0x200;
  auto position = [](uint32_t exponent) {
    return exponent < 3 || exponent > 8 ? 0 : 8 - static_cast<int>(exponent);
  };
  c.maxColoursSelection = position((word >> 16) & 0xF);
  c.trueColourSelection = position((word >> 20) & 0xF);
  return c;
}

uint32_t EncodePaletteMerge(const PaletteMergeChoice& c) {
  uint32_t word = c.method;
  if (c.dither) word |= 0x100;
  if (c.ask) word |= 0x200;
  word |= static_cast<uint32_t>((8 - c.maxColoursSelection) & 15) << 16;
  word |= static_cast<uint32_t>((8 - c.trueColourSelection) & 15) << 20;
  return word;
}

uint32_t EncodeOversizeInsert(bool crop, bool ask) {
  return (crop ? OversizeCrop : OversizeEnlarge) | (ask ? OversizeInsertAsk : 0);
}

}  // namespace lw
