// The JPEG format's entry: still pictures read and written through the JPEG codec.
#pragma once

#include "formats/common/format_entry.h"

namespace lw {

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Jpeg = 5;
}  // namespace savetype

FormatSpec JpegFormat();

}  // namespace lw
