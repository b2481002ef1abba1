// A packed DIB (40-byte header, colour table, pixels) of 1 to 32 bits per pixel made into a
// one-frame animation: the way BMP files, pasted images and AVI frames come in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/animation.h"

namespace lw {

// The animation, or none with the refusal shown (unsupported header or depth, run-length
// compression, an unknown 16-bit layout) or, for a damaged or oversized DIB, silently.
AnimationPtr DibToAnimation(const uint8_t* dib, size_t size);

}  // namespace lw
