// GIF87a/GIF89a files through the core GIF reader and writer: animations, and single frames for
// the still-image save choices.
#pragma once

#include "formats/common/format_entry.h"

namespace lw {

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Gif = 1;
}  // namespace savetype

FormatSpec GifFormat();

}  // namespace lw
