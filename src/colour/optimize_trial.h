// The optimize dialog's engine: trial runs on a copy of the document, the choice of options the
// dialog makes, the texts of its size fields, and keeping a trial's result.
#pragma once

#include <cstdint>
#include <string>

#include "colour/optimize.h"
#include "core/animation.h"

namespace lw {

struct ProgressMeter;

enum class TrialStatus {
  Done,      // *size holds the copy's encoded size
  Stopped,   // cancelled through the meter; the copy is half done
  NoMemory,  // no copy could be made; *copy is none
};

// One trial: *copy is replaced by a fresh copy of document (the old one freed first, so that two
// copies never live at once), optimized with options, then measured.
TrialStatus RunOptimizeTrial(const Animation& document, const OptimizeOptions& options,
                             ProgressMeter* progress, AnimationPtr* copy, int32_t* size);

// The options the dialog reads from its controls. While the local-palette box is disabled (no
// frame has a local palette) its box and radios do not count for a trial, but they are stored.
uint32_t TrialOptions(uint32_t controls, bool localPalettesEnabled);
uint32_t StoredOptions(uint32_t controls);

// Whether a click on "Supprimer les cadres inutiles " needs a new trial: checking it can only
// remove frames the last result shrank to 1 x 1; unchecking it only matters when some were
// removed.
bool UselessFramesToggleNeedsTrial(bool checked, const Animation& document,
                                   const Animation& result);

// "%s octets" with the number grouped by separator, "Aucune" for 0, nothing for an unknown
// (negative) size.
std::string SizeFieldText(int64_t size, const std::string& separator);
// The saving and its percentage of the original size; both empty when the saving is negative or
// either size unknown.
void SavingTexts(int64_t before, int64_t after, const std::string& separator, std::string* saving,
                 std::string* percent);

// OK with a finished trial: when the copy's encoded size differs from the document's, the copy
// becomes the document and the old content the undo entry ("Optimisation de l'animation").
// True when the document changed; otherwise nothing is recorded and the copy is freed.
bool KeepOptimizeTrial(Animation& document, AnimationPtr copy, int32_t copySize,
                       const SaveSignature& signature);

// OK without a trial copy (memory was short): optimizes the document itself, without an undo
// entry, and marks its size unknown.
void OptimizeInPlace(Animation& document, const OptimizeOptions& options, ProgressMeter* progress);

}  // namespace lw
