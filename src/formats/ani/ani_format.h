// ANI animated cursors: a RIFF "ACON" file whose steps (rates and sequence) each become a frame;
// the document is written one cursor image per frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"

namespace lw {

// 1 on success, 0 on failure (message shown, *out none).
int ReadAniFile(const std::string& path, const ReadOptions& options, WindowHandle owner,
                AnimationPtr* out, ProgressMeter* meter);
// The same from the file's bytes.
int ReadAniBytes(const uint8_t* data, size_t size, const ReadOptions& options, WindowHandle owner,
                 AnimationPtr* out, ProgressMeter* meter = nullptr);

// Each frame's delay, counted in units, becomes jiffies.
bool WriteAniFile(const std::string& path, const Animation& document, DelayUnits units,
                  WindowHandle owner);

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Ani = 10;
}  // namespace savetype

FormatSpec AniFormat();

}  // namespace lw
