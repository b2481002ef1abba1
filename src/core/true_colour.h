// What a frame's 24-bit picture holds that its GIF image does not: the colours a user would lose
// by saving it as a GIF, told before it happens.
#pragma once

#include <cstdint>

#include "core/animation.h"

namespace lw {

struct TrueColourFacts {
  bool present = false;     // 24-bit data of the image's size
  uint32_t colours = 0;     // distinct colours of its visible pixels
  bool gifDiffers = false;  // the GIF image shows some visible pixel in another colour
  int paletteColours = 0;   // entries of the palette in effect
};

// Visible pixels: alpha above 0 with an alpha plane, else every pixel but those of the
// transparent index of a transparent frame.
TrueColourFacts DescribeTrueColour(const Frame& frame);

}  // namespace lw
