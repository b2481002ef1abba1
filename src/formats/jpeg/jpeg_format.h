// JPEG files through libjpeg: colour JPEGs (baseline or progressive) read into 24-bit data,
// frames written at the stored quality step.
#pragma once

#include <string>

#include "core/animation.h"
#include "formats/format_registry.h"

namespace lw {

// 1 on success, 0 on failure (message shown where there is one, *out none).
int ReadJpeg(const std::string& path, AnimationPtr* out);
// The frame must have 24-bit data.
bool WriteJpeg(const std::string& path, Frame* frame);

FormatSpec JpegFormat();

}  // namespace lw
