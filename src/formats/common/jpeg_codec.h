// JPEG pictures through libjpeg: colour JPEGs (baseline or progressive) read into 24-bit data,
// frames written at the stored quality step. The JPEG format and the JPEG pictures of SWF
// movies share them.
#pragma once

#include <string>

#include "core/animation.h"

namespace lw {

// 1 on success, 0 on failure (message shown where there is one, *out none).
int ReadJpeg(const std::string& path, AnimationPtr* out);
// The frame must have 24-bit data.
bool WriteJpeg(const std::string& path, Frame* frame);

}  // namespace lw
