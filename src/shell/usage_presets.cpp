#include "shell/usage_presets.h"

#include "base/preferences.h"

namespace lw {

UsagePreset CurrentUsagePreset() {
  uint32_t merge = GetPref(PrefPaletteMerge);
  if (!PrefOn(Pref::KeepTrueColor))
    return merge == 0x00880001 ? UsagePreset::Gif : UsagePreset::Other;
  return merge == 0x00880010 && PrefOn(Pref::NoAutoPreview) ? UsagePreset::Icons
                                                            : UsagePreset::Other;
}

bool ApplyUsagePreset(UsagePreset preset, UsagePreset initial) {
  if (preset == initial) return false;
  switch (preset) {
    case UsagePreset::Gif:
      SetPrefOn(Pref::KeepTrueColor, false);
      SetPref(PrefPaletteMerge, 0x00880001);
      SetPref(PrefFrameTips, 173);  // on, number, size, delay, transparency
      return true;
    case UsagePreset::Icons:
      SetPrefOn(Pref::KeepTrueColor, true);
      SetPrefOn(Pref::NoAutoPreview, true);
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
  for (uint32_t bit : {0x001u, 0x002u, 0x004u, 0x008u, 0x010u, 0x400u, 0x800u}) {
    if (word & bit) {
      c.method = bit;
      break;
    }
  }
  c.dither = BitIn(word, Pref::PaletteMergeDither);
  c.ask = BitIn(word, Pref::PaletteMergeAsk);
  auto position = [](uint32_t exponent) {
    return exponent < 3 || exponent > 8 ? 0 : 8 - static_cast<int>(exponent);
  };
  c.maxColoursSelection = position(FieldIn(word, PrefField::PaletteMergeColours));
  c.trueColourSelection = position(FieldIn(word, PrefField::PaletteMergeTrueColours));
  c.quality = static_cast<int>(FieldIn(word, PrefField::PaletteMergeQuality));
  return c;
}

uint32_t EncodePaletteMerge(const PaletteMergeChoice& c) {
  uint32_t word = c.method;
  word = WithBit(word, Pref::PaletteMergeDither, c.dither);
  word = WithBit(word, Pref::PaletteMergeAsk, c.ask);
  word = WithField(word, PrefField::PaletteMergeColours,
                   static_cast<uint32_t>(8 - c.maxColoursSelection));
  word = WithField(word, PrefField::PaletteMergeTrueColours,
                   static_cast<uint32_t>(8 - c.trueColourSelection));
  if (c.quality > 0 && c.quality <= 100)
    word = WithField(word, PrefField::PaletteMergeQuality, static_cast<uint32_t>(c.quality));
  return word;
}

uint32_t EncodeOversizeInsert(bool crop, bool ask) {
  return WithBit(crop ? OversizeCrop : OversizeEnlarge, Pref::OversizeInsertAsk, ask);
}

}  // namespace lw
