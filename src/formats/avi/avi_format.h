// AVI files, and the other movies FFmpeg reads (MP4, MOV, MKV, WebM, APNG): the video stream
// read into frames timed by the stream, and the document written as an AVI file, uncompressed
// first, then compressed and interleaved with an audio track when asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/animation.h"
#include "formats/avi/avi_settings.h"
#include "formats/common/format_entry.h"

namespace lw {

struct ProgressMeter;

// 0 failure (message shown, *out none), 1 complete, 2 stopped by Esc (the frames read so far
// kept). The frames' delays count in timing's units; the document plays its play count.
int ReadAvi(const std::string& path, const Timing& timing, WindowHandle owner, AnimationPtr* out,
            ProgressMeter* meter);
// The same from a file held in memory, without messages.
int ReadAviMemory(const uint8_t* data, size_t size, const Timing& timing, AnimationPtr* out);

// Writes the document to path (messages name target). Settings not filled by the Save As panel
// are taken from the stored choice. A document with local palettes, transparency or frames that
// do not cover the screen is written as the pictures a viewer sees, in 24 bits. The frames are
// timed by write's delay units, at its fixed rate when it has one.
bool WriteAvi(const std::string& path, const std::string& target, const Animation& document,
              AviSettings settings, const WriteSettings& write, WindowHandle owner);

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Avi = 2;
}  // namespace savetype

FormatSpec AviFormat();
// The movies of today through the same reader; listed with every format.
FormatSpec VideoFormat();

}  // namespace lw
