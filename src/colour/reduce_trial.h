// The reduce-colours dialog's engine: the counts it offers, the reduced copy it shows, the texts
// of its size captions, and keeping the copy on OK.
#pragma once

#include <cstdint>
#include <string>

#include "colour/colour_engine.h"
#include "core/animation.h"

namespace lw {

struct ProgressMeter;

// The largest entry count among the global palette and every local palette.
int LargestPaletteSize(const Animation& animation);
// The count first offered: half the power of two that holds m.
int InitialReduceCount(int m);
// A typed count brought within 2..256.
int ClampReduceCount(int n);
// What the dialog stores in PrefReduceColors: the count (clamped), the dither bit, and the
// high-quality method with its level.
uint32_t ReduceSetting(int n, bool dither, bool highQuality = false, int quality = 0);

// *copy becomes a fresh copy of document (the old one freed first) reduced to n colours. False
// when memory was short or progress answered cancelled: *copy is then none.
bool MakeReducedCopy(const Animation& document, int n, bool dither, const LockedColours* locked,
                     ProgressMeter* progress, AnimationPtr* copy);

// The same by the high-quality method at quality (one palette for every frame); keepTrueColour:
// frames keep the 24-bit data they were mapped from.
bool MakeReducedCopyHq(const Animation& document, int quality, bool dither, bool keepTrueColour,
                       ProgressMeter* progress, AnimationPtr* copy);

// "Volume : %s octets" with the size grouped by separator; nothing for an unknown size.
std::string ReduceVolumeText(int64_t size, const std::string& separator);
// "Sauvegardés : ..." for a reduction from before to after bytes.
std::string ReduceSavingText(int64_t before, int64_t after, const std::string& separator);

// OK with a reduced copy: the copy becomes the document and the old content the undo entry
// "Réduction de la palette". False (nothing changed) without a copy.
bool KeepReducedCopy(Animation& document, AnimationPtr copy);

}  // namespace lw
