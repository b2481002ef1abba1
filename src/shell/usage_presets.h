// The two typical uses offered at first start and on the "Utilisation" page, and the words the
// preference pages pack their controls into.
#pragma once

#include <cstdint>

namespace lw {

// Radio ids of the usage choice.
enum class UsagePreset : int {
  Gif = 1073,    // GIF files and 256-colour AVI animations
  Icons = 1074,  // Windows XP icons
  Other = 1254,  // the user's own palette and colour settings
};

// The choice that the stored preferences correspond to.
UsagePreset CurrentUsagePreset();
// Applies the preset's preference values when it differs from initial; Other changes nothing.
// True when something was written.
bool ApplyUsagePreset(UsagePreset preset, UsagePreset initial);

// ---- PrefPaletteMerge ----

struct PaletteMergeChoice {
  uint32_t method = 0x001;  // exactly one of 0x001, 0x002, 0x004, 0x008, 0x010, 0x400, 0x800
  bool dither = false;
  bool ask = false;
  int maxColoursSelection = 0;  // list position 0..5: 256 .. 8 colours
  int trueColourSelection = 0;  // same for frames with 24-bit data
  int quality = 0;              // the high-quality method's level, 1..100; 0 the default
};

// The method shown selected (the first set in the order 1, 2, 4, 8, 16, 0x400, 0x800; none set
// reads as 1) and the list positions (8 - exponent; exponents below 3 or above 8 show 256).
PaletteMergeChoice DecodePaletteMerge(uint32_t word);
// method | dither | ask | exponents in bits 16-19 and 20-23 | quality in bits 24-30.
uint32_t EncodePaletteMerge(const PaletteMergeChoice& choice);

// ---- PrefOversizeInsert ----

constexpr uint32_t OversizeCrop = 16;
constexpr uint32_t OversizeEnlarge = 32;
// The word of the frame-size question: crop or enlarge, plus the ask bit unless the user said
// not to ask again.
uint32_t EncodeOversizeInsert(bool crop, bool ask);

}  // namespace lw
