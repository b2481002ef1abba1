#include "core/picture_budget.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

#include "core/gif_reader.h"

namespace lw {

bool PictureFitsBudget(uint64_t width, uint64_t height, int bytesPerPixel) {
  if (width == 0 || height == 0) return true;
  if (bytesPerPixel <= 0) return false;
  // Past 2^32 x 2^16 bytes nothing fits anyway; keeps the arithmetic below exact.
  if (width > (uint64_t{1} << 32) || height > (uint64_t{1} << 32) || bytesPerPixel > 16)
    return false;
  const uint64_t stride = (width * static_cast<uint64_t>(bytesPerPixel) + 3) & ~uint64_t{3};
  const uint64_t limit = GifFrameByteLimit();
  return stride <= limit / height;
}

void ResizePicture(std::vector<uint8_t>* buffer, uint64_t bytes) {
  constexpr uint64_t Large = uint64_t{1} << 18;  // smaller ones mostly reuse freed memory
  if (bytes > buffer->capacity() && bytes >= Large) {
    buffer->reserve(static_cast<size_t>(bytes));
    const long size = sysconf(_SC_PAGESIZE);
    const uintptr_t page = size > 0 ? static_cast<uintptr_t>(size) : 4096;
    const auto start = reinterpret_cast<uintptr_t>(buffer->data());
    const uintptr_t from = (start + page - 1) & ~(page - 1);
    const uintptr_t to = (start + buffer->capacity()) & ~(page - 1);
    // Without it (older systems) the pages are simply faulted in as they are written.
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
  }
  buffer->resize(static_cast<size_t>(bytes));
}

}  // namespace lw
