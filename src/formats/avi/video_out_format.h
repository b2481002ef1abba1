// MP4 (H.264) and WebM (VP9) clips: the animation as the preview shows it, picture after picture
// with its own duration, transparency over the background colour, odd sizes made even, played
// once (a clip has no loop count). Read back through the movie reader of formats/avi.
#pragma once

#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"
#include "platform/video_files.h"

namespace lw {

// The options of a clip save: the CRF chosen in the Save As panel (-1: the stored one).
struct ClipSaveOptions {
  int crf = -1;
};

// The CRF a clip is written with when no panel chose one: the stored choice, else the encoder's
// usual default.
int StoredClipCrf(ClipCodec codec);
void StoreClipCrf(ClipCodec codec, int crf);
// The range an encoder takes (0 is its best quality) and its usual default.
int MaxClipCrf(ClipCodec codec);
int DefaultClipCrf(ClipCodec codec);

// Writes the document to path as a clip (messages name target), its delays counted in units.
// False on failure or Esc, its message shown.
bool WriteClip(const std::string& path, const std::string& target, const Animation& document,
               ClipCodec codec, int crf, DelayUnits units, WindowHandle owner);

FormatSpec Mp4Format();
FormatSpec WebmFormat();

}  // namespace lw
