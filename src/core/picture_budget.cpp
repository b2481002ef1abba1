#include "core/picture_budget.h"

#include "core/gif_reader.h"
#include "platform/memory_pages.h"

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
  if (bytes > buffer->capacity()) {
    buffer->reserve(static_cast<size_t>(bytes));
    PopulatePages(buffer->data(), buffer->capacity());
  }
  buffer->resize(static_cast<size_t>(bytes));
}

}  // namespace lw
