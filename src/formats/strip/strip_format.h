// Strips have no reader or save type of their own: their import command opens a GIF or BMP
// image and cuts it into frames, and the strip is a choice of the still-image saves.
#pragma once

#include "formats/common/format_entry.h"

namespace lw {

// The "Bande..." import command's id.
constexpr int ImportStripCommandId = 40111;

FormatSpec StripFormat();

}  // namespace lw
