// GIF87a/GIF89a files through the core GIF reader and writer: animations, and single frames for
// the still-image save choices.
#pragma once

#include "formats/common/format_entry.h"

namespace lw {

FormatSpec GifFormat();

}  // namespace lw
