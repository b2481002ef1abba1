// The one rule that decides which pixels of 24-bit data with alpha become transparent when the
// picture gets its 8-bit image (a GIF frame has one transparent index and no partial alpha).
#pragma once

#include <cstdint>

namespace lw {

// Under half opacity: the pixel is left out, as other editors do when they make a GIF, so a soft
// shadow or a faint edge does not turn into a solid blot.
constexpr bool IsClearAlpha(uint8_t alpha) { return alpha < 128; }

}  // namespace lw
