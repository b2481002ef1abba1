// The lossy step: every frame's pixels replaced by what the lossy LZW coder's codes decode to
// (core/lzw_lossy.h says how close they stay), so that the document shows what will be saved
// and the ordinary writer finds the lossy coder's long strings again.
#pragma once

#include <cstdint>

#include "colour/optimize_trial.h"
#include "core/animation.h"

namespace lw {

struct ProgressMeter;

constexpr int LossyDefaultTolerance = 40;
constexpr int LossyLargestTolerance = 200;

// The tolerance the optimize options ask for, 0 when their lossy step is off.
int LossyToleranceOf(uint32_t options);
// The options with the lossy step on at tolerance (1..LossyLargestTolerance), or off for 0.
uint32_t WithLossyTolerance(uint32_t options, int tolerance);

// One frame: true when it took the lossy pixels, which it does only when it then encodes
// smaller. Frames without an 8-bit image, or still holding 24-bit data, are left alone, and so
// is a frame when memory is short.
bool LossyCompressFrame(Frame* frame, int tolerance);

// Every frame, one progress step each. False when cancelled (frames done stay done). Marks the
// encoded size unknown when something changed.
bool LossyCompressAnimation(Animation& animation, int tolerance, ProgressMeter* progress);

// As LossyCompressAnimation, and a frame whose clear pixels hide colours of the global palette
// (what the frames before it leave there) is also coded with those drawn in: the coder's strings
// then run through them. The smaller is kept: transparency made from a tolerance is scattered
// on a panning picture, and there the drawn pixels code smaller. No pixel shows a colour further
// than tolerance from what it showed before. This is the lossy step the program takes (the
// batch's --lossy and quality levels, the optimize dialog): on a screen recording, where the
// optimizer leaves clear holes all through the changed boxes, coding around the holes gains
// a few per cent where coding through them gains a fifth.
bool LossyCompressOverScreen(Animation& animation, int tolerance, ProgressMeter* progress);

// The optimize dialog's trial with the lossy step after the optimizer's own when the options
// ask for it; the copy is measured once, after both.
TrialStatus RunOptimizeTrialWithLossy(const Animation& document, const OptimizeOptions& options,
                                      ProgressMeter* progress, AnimationPtr* copy, int32_t* size);
// OptimizeInPlace, then the lossy step when the options ask for it.
void OptimizeInPlaceWithLossy(Animation& document, const OptimizeOptions& options,
                              ProgressMeter* progress);

}  // namespace lw
