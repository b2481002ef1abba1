// BMP/DIB files: read through the packed-DIB import (core and info headers), one frame written
// as an uncompressed 8-, 24- or 32-bit BMP.
#pragma once

#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"

namespace lw {

// 1 on success, 0 on failure (message shown where there is one, *out none).
int ReadBmp(const std::string& path, const Timing& timing, AnimationPtr* out);
// 8 bits for a frame without 24-bit data or with saveopt::StillImage in optionBits, else 24 or
// (with an alpha plane) 32 bits.
bool WriteBmp(const std::string& path, Frame* frame, uint32_t optionBits);

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Bmp = 4;
}  // namespace savetype

FormatSpec BmpFormat();

}  // namespace lw
