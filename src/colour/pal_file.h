// Palette files in the RIFF PAL layout: "RIFF", size, "PAL ", "data", size, version 0x300,
// count, then red, green, blue, flags per entry.
#pragma once

#include <string>

#include "core/animation.h"

namespace lw {

// The file's palette (counts above 256 taken as 256), or none with the message shown.
PalettePtr ReadPalFile(const std::string& path);
// False with the message shown when the file cannot be created or written.
bool WritePalFile(const std::string& path, const Palette& palette);

}  // namespace lw
