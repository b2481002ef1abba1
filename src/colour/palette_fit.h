// Bringing frames that join an animation onto a common palette, and removing a local palette.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/preference_layout.h"
#include "colour/colour_engine.h"
#include "platform/services.h"

namespace lw {

// Bits of the palette-merge word (PrefPaletteMerge).
namespace merge {
constexpr uint32_t Adaptive = 0x001;     // optimal common palette for all frames
constexpr uint32_t MergeGlobal = 0x002;  // merge new colours into the global palette
constexpr uint32_t MapGlobal = 0x004;    // map onto the global palette, unchanged
constexpr uint32_t Web = 0x008;          // map every frame onto the web palette
constexpr uint32_t LocalEach = 0x010;    // a local palette for each new frame
constexpr uint32_t Fixed = 0x400;        // map every frame onto the fixed palette
// One palette for every frame by the high-quality method, at the quality of bits 24-30.
constexpr uint32_t HighQuality = MaskOf(Pref::PaletteMergeHighQuality);
constexpr uint32_t MethodMask = 0xC1F;
constexpr uint32_t Quality = MaskOf(PrefField::PaletteMergeQuality);
constexpr int QualityShift = 24;
// The stored word's own bits, as the preference registry names them.
constexpr uint32_t Dither = MaskOf(Pref::PaletteMergeDither);
constexpr uint32_t Ask = MaskOf(Pref::PaletteMergeAsk);
constexpr uint32_t ColourCounts =
    MaskOf(PrefField::PaletteMergeColours) | MaskOf(PrefField::PaletteMergeTrueColours);
constexpr uint32_t TakeLocals = 0x1000;  // also take in frames with local palettes
// The high-quality method leaves frames their 24-bit data (QualitySettings::keepTrueColour).
constexpr uint32_t KeepTrueColour = 0x2000;
}  // namespace merge

// The method of a word: the first of 1, 2, 4, 8, 16, 0x400, 0x800 that is set; 1 when none is.
uint32_t PaletteMergeMethod(uint32_t word);
// The high-quality method's level (1..100): bits 24-30, the default when they hold 0.
int PaletteMergeQuality(uint32_t word);
// The word that fits every frame, local palettes too, by the high-quality method at quality.
uint32_t HighQualityMergeWord(int quality);
// Colours for the optimal palette (bits 16-19) and for 24-bit frames (bits 20-23): 2^e, with an
// exponent below 3 or above 8 read as 256, as the dialogs show it.
int PaletteMergeColours(uint32_t word);
int PaletteMergeTrueColours(uint32_t word);

// What fitting palettes takes from the user's settings.
struct PaletteFitOptions {
  // The stored choice, taken when a call names no method (and asked first when its ask bit is
  // set).
  uint32_t storedWord = 0x001;
  // Frames mapped from their 24-bit data keep that data.
  bool keepTrueColour = false;
  // The user's fixed palette (method 0x400), fetched only when that method runs; none (or a
  // function giving none) falls back to the optimal palette.
  std::function<PalettePtr()> fixedPalette;
};

// Brings the frames of sources (a chain on nextInChain) onto a palette shared with target (or
// with one another without a target). methodWord 0 takes options.storedWord and asks first when
// its ask bit is set. Returns 1 done, 2 cancelled by the user, 0 failure (message shown). After 1
// the chain has been joined into the first source, whose frames reference the final palette.
int FitPalettes(Animation* target, Animation* sources, uint32_t methodWord,
                const PaletteFitOptions& options, WindowHandle owner, ProgressMeter* progress);

struct PaletteMerge {
  PaletteMapping mapping{};           // source index -> merged index, NoIndex when unused
  std::vector<PaletteEntry> entries;  // the merged palette (the target's, possibly grown)
  std::array<uint32_t, 256> usage{};  // the merged usage counters
  bool exact = true;                  // every colour found an exact place
  bool changed = false;               // the palette differs from the target's
};
// Puts every used source colour into a copy of the target: an exact entry, else an unused one,
// else a new one while there is room, else the nearest. False when memory is short.
bool MergeIntoPalette(const Palette& target, const uint32_t* targetUsage, const Palette& source,
                      const uint32_t* sourceUsage, PaletteMerge* out);

// Moves one frame onto the animation's global palette. methodWord 0 takes options.storedWord,
// with the local-palette method read as the optimal palette. The frame stays in place on failure.
bool RemoveLocalPalette(WindowHandle owner, Animation& animation, Frame* frame,
                        const PaletteFitOptions& options, uint32_t methodWord = 0);

}  // namespace lw
