// JPEG pictures through libjpeg: colour JPEGs (baseline or progressive) read into 24-bit data,
// frames written at the quality asked. The JPEG format and the JPEG pictures of SWF
// movies share them.
#pragma once

#include <string>

#include "core/animation.h"
#include "core/delay_units.h"

namespace lw {

// 1 on success, 0 on failure (message shown where there is one, *out none).
int ReadJpeg(const std::string& path, const Timing& timing, AnimationPtr* out);
// The frame must have 24-bit data; quality 50..95.
bool WriteJpeg(const std::string& path, Frame* frame, int quality);

}  // namespace lw
