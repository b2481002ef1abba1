// The PNG format's entry: a PNG with an animation goes to the animated PNG reader, and the
// document is written as one when the Save As choice asks for it (or when it replaces one).
#pragma once

#include "formats/common/format_entry.h"

namespace lw {

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Png = 7;
}  // namespace savetype

FormatSpec PngFormat();

}  // namespace lw
