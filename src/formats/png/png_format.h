// PNG files through libpng: any PNG libpng accepts is read into a one-frame animation (palette
// and grey images straight into the 8-bit DIB, the others into 24-bit data); one frame is
// written as RGBA, RGB or paletted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/animation.h"
#include "formats/format_registry.h"

namespace lw {

// 1 on success, 0 on failure (message shown, *out none).
int ReadPng(const std::string& path, AnimationPtr* out);
// The same from PNG bytes held in memory (an image stored inside another file).
int ReadPngBytes(const uint8_t* data, size_t size, AnimationPtr* out);
bool WritePng(const std::string& path, Frame* frame);

FormatSpec PngFormat();

}  // namespace lw
