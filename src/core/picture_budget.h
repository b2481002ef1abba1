// One memory budget for every picture the program makes: the frames a read keeps and the
// surfaces drawn from them (composited screens, previews, thumbnails).
#pragma once

#include <cstdint>
#include <vector>

namespace lw {

// True when a picture of width x height pixels of bytesPerPixel bytes each, rows padded to
// 4 bytes, stays within the budget the GIF reader uses for its frames (GifFrameByteLimit), so
// callers can show the memory message instead of allocating. An empty picture always fits.
bool PictureFitsBudget(uint64_t width, uint64_t height, int bytesPerPixel);

// Resizes a picture's buffer as resize does (new bytes zero, std::bad_alloc when short), but
// takes a large one's memory from the system in one step instead of one fault per page as it
// is first written, which costs several times more under a virtual machine.
void ResizePicture(std::vector<uint8_t>* buffer, uint64_t bytes);

}  // namespace lw
