// Animated PNG files: frames with their places, delays, disposal and blending over a canvas,
// read into the document and written from it. Each frame's image data is plain PNG data, so the
// pixels go through the PNG format's own decoder and encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"

namespace lw {

// Reads an animated PNG (a PNG without animation is read as a still image). The reader
// contract: 0 failure (message shown, *out none), 1 complete, 2 cut short by Esc.
int ReadApng(const std::string& path, const Timing& timing, AnimationPtr* out,
             ProgressMeter* meter);
int ReadApngBytes(const uint8_t* data, size_t size, const Timing& timing, AnimationPtr* out,
                  ProgressMeter* meter);

// Writes the whole document as an animated PNG to path, showing the animation as the preview
// does, its delays counted in units; messages name target. False on failure (message shown) or
// when cancelled with Esc.
bool WriteApng(const std::string& path, const std::string& target, const Animation& document,
               DelayUnits units, WindowHandle owner);

// Whether path already holds an animated PNG.
bool IsAnimatedPng(const std::string& path);

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Apng = 11;
}  // namespace savetype

FormatSpec ApngFormat();

}  // namespace lw
