// Merging a second animation into the open one: both are played side by side, frame by frame or
// by time, and every moment becomes one full-screen frame of the result.
#pragma once

#include <cstdint>
#include <string>

#include "core/animation.h"
#include "formats/document_session.h"

namespace lw {

struct ProgressMeter;

struct MergeOptions {
  int offsetX = 0;  // of the second animation relative to the first, -32000..32000
  int offsetY = 0;
  bool byDuration = false;   // "Synchroniser selon la durée", else "Assembler les cadres un à un"
  bool loopShorter = false;  // "Boucle plus courte avec l'animation"
  uint32_t frameDelay = 10;  // a merged frame's delay until the timing gives it its own
};

// Where the two screens land on the merged one.
struct MergeLayout {
  int64_t width = 0;
  int64_t height = 0;
  int64_t ax = 0, ay = 0;  // where a is drawn
  int64_t bx = 0, by = 0;  // where b is drawn
};
MergeLayout ComputeMergeLayout(const Animation& a, const Animation& b, int offsetX, int offsetY);

// Replaces a's frames by the merged frames of a and b (b on a's palette already). False when
// memory ran short, the result would be too large (its frames together past the picture
// budget included), or the meter was cancelled: a is then as it was.
bool BuildMergedAnimation(Animation& a, const Animation& b, const MergeOptions& options,
                          ProgressMeter* meter);

// The merge command on the open document with the file at path: reads it, fits its palette to
// the document's, asks the merge options (the services' AskMergeOptions, preset with the
// remembered choices and offsets 0), merges and records the undo entry. Returns 0 when nothing
// changed, 2 when the document was rebuilt (it is then marked modified).
int MergeAnimations(DocumentSession& state, const std::string& path);

}  // namespace lw
