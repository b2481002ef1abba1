// One memory budget for every picture the program makes: the frames a read keeps and the
// surfaces drawn from them (composited screens, previews, thumbnails).
#pragma once

#include <cstdint>

namespace lw {

// True when a picture of width x height pixels of bytesPerPixel bytes each, rows padded to
// 4 bytes, stays within the budget the GIF reader uses for its frames (GifFrameByteLimit), so
// callers can show the memory message instead of allocating. An empty picture always fits.
bool PictureFitsBudget(uint64_t width, uint64_t height, int bytesPerPixel);

}  // namespace lw
