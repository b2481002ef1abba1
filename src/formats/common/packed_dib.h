// A packed DIB (info header of 40 bytes or a V2 to V5 one, bit-field masks, colour table, pixels)
// of 1 to 32 bits per pixel, uncompressed or run-length, made into a one-frame animation: the
// way BMP files, pasted images and AVI frames come in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/animation.h"
#include "core/delay_units.h"

namespace lw {

// Where the parts of a packed DIB lie, counted from its header.
struct PackedDibLayout {
  uint32_t headerSize = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  bool bottomUp = true;
  int bitCount = 0;
  uint32_t compression = 0;
  uint32_t masks[4] = {};  // red, green, blue, alpha of 16- to 32-bit pixels (alpha 0: none)
  uint64_t colours = 0;    // palette entries of 1- to 8-bit images
  uint64_t pixelsAt = 0;
  // Uncompressed: the pixel bytes. Run-length: the most any sane encoding takes, so that a
  // reader knows how much of a file is worth reading.
  uint64_t pixelBytes = 0;
  bool RunLength() const { return compression == 1 || compression == 2; }
};

enum class DibCheck {
  Ok,
  Refused,   // a layout the program does not read; its message has been shown
  Damaged,   // cut short or impossible fields
  NoMemory,  // beyond the picture budget, or memory ran short
};

// Reads the header and the masks that may follow it from the first size bytes of dib. Nothing
// is allocated, so a reader can refuse a huge picture before it reads the pixels.
DibCheck MeasureDib(const uint8_t* dib, size_t size, PackedDibLayout* layout);

// The animation, or none with the refusal shown (unsupported header, depth or compression, an
// unknown 16-bit layout); a damaged or oversized DIB gives none silently, *why saying which.
AnimationPtr DibToAnimation(const uint8_t* dib, size_t size, const Timing& timing,
                            DibCheck* why = nullptr);

}  // namespace lw
