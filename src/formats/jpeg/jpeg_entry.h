// The JPEG format's entry: still pictures read and written through the JPEG codec.
#pragma once

#include "formats/common/format_entry.h"

namespace lw {

FormatSpec JpegFormat();

}  // namespace lw
