// MP4 (H.264) and WebM (VP9) clips: the animation as the preview shows it, picture after picture
// with its own duration, transparency over the background colour, odd sizes made even, played
// once (a clip has no loop count). Read back through the movie reader of formats/avi.
#pragma once

#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"
#include "platform/video_files.h"

namespace lw {

// The options of a clip save: the CRF chosen in the Save As panel, or remembered from the last
// one (-1: none, the encoder's usual default).
struct ClipSaveOptions {
  int crf = -1;
};

// The range an encoder takes (0 is its best quality) and its usual default.
int MaxClipCrf(ClipCodec codec);
int DefaultClipCrf(ClipCodec codec);

// Writes the document to path as a clip (messages name target), its delays counted in units.
// False on failure or Esc, its message shown.
bool WriteClip(const std::string& path, const std::string& target, const Animation& document,
               ClipCodec codec, int crf, DelayUnits units, WindowHandle owner);

// The save type numbers, kept by stored choices and -T.
namespace savetype {
constexpr int Mp4 = 12;
constexpr int Webm = 13;
}  // namespace savetype

FormatSpec Mp4Format();
FormatSpec WebmFormat();

}  // namespace lw
