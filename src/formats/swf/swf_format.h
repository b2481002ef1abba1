// SWF movies: every frame a bitmap on the stage at its offset for as long as its delay lasts,
// taken away again when its disposal asks for it. Written only.
#pragma once

#include <cstdint>
#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"
#include "formats/swf/swf_movie.h"

namespace lw {

// How the delays become SWF frames: one SWF frame lasts step delay units (the greatest common
// divisor of the delays, 0 and 1 counting as 1), and the movie runs at units / step frames per
// second (8.8 fixed point).
struct SwfTiming {
  uint32_t step = 1;
  uint16_t frameRate = 0;
};
SwfTiming SwfTimingFor(const Animation& animation, uint32_t delayUnits);
// SWF frames a frame of delay lasts: at least one.
uint32_t SwfFrameDuration(uint32_t delay, uint32_t step);

// A frame's bitmap and where it goes, in pixels (a transparent palette frame gains a
// transparent border of one pixel, so it starts one pixel up and to the left).
struct SwfFrameBitmap {
  SwfBitmap bitmap;
  int64_t left = 0;
  int64_t top = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  bool bordered = false;
};
// scratchFolder receives the passing JPEG file of a true-colour frame. False when the frame has
// no pixels, is too large for the format or memory is short.
bool BuildSwfFrameBitmap(const Frame& frame, const std::string& scratchFolder, int jpegQuality,
                         SwfFrameBitmap* out);

// Writes the document to path with the settings' delay units and JPEG quality; messages name
// target. False on failure (message shown) or cancel.
bool WriteSwf(const std::string& path, const std::string& target, const Animation& document,
              const WriteSettings& settings, WindowHandle owner);

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Swf = 3;
}  // namespace savetype

FormatSpec SwfFormat();

}  // namespace lw
