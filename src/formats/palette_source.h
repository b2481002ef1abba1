// Where the palette editor loads a palette from: a PAL file, or the palette an image or an
// animation is drawn with.
#pragma once

#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"
#include "platform/services.h"

namespace lw {

// A PAL file's palette (by the name's extension), else the global palette of what the file's
// reader builds, or its first frame's local palette when it has no global one. None, with the
// message shown, when the file cannot be read or holds no palette.
PalettePtr ReadPaletteSource(const std::string& path, const ReadOptions& options,
                             WindowHandle owner);

}  // namespace lw
