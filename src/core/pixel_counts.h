// Colour counts over many frames at once, shared out among the encoder's threads.
#pragma once

#include <cstdint>

#include "core/animation.h"

namespace lw {

// Adds the counts of every frame without a local palette to counts (opaque pixels only when
// opaqueOnly); big animations are counted on several threads, with the same sums. When
// stopMask is not 0, a stop request for one of its tasks ends the count at the next frame:
// false then, the counts partial.
bool CountGlobalFramesColours(const Animation& animation, uint32_t* counts, bool opaqueOnly,
                              uint32_t stopMask);

}  // namespace lw
