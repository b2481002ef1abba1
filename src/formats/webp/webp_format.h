// WebP files through libwebp: still and animated pictures read into frames (their composed
// canvases cut back to the boxes that change), and the document written as the animation the
// preview shows, lossless or lossy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"
#include "formats/webp/webp_settings.h"

namespace lw {

struct ProgressMeter;

// 0 failure (message shown, *out none), 1 complete, 2 partial (stopped by Esc, the picture
// budget or a damaged frame; the frames read so far kept).
int ReadWebp(const std::string& path, const Timing& timing, AnimationPtr* out,
             ProgressMeter* meter);
// The same from bytes in memory.
int ReadWebpBytes(const uint8_t* data, size_t size, const Timing& timing, AnimationPtr* out,
                  ProgressMeter* meter);

// Writes the document to path (messages name target): one frame as a still picture, several as
// an animation, its delays counted in units, with the settings given (filled or not). False on
// failure (message shown) or Esc.
bool WriteWebp(const std::string& path, const std::string& target, const Animation& document,
               const WebpSettings& settings, DelayUnits units, WindowHandle owner);

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Webp = 14;
}  // namespace savetype

FormatSpec WebpFormat();

}  // namespace lw
