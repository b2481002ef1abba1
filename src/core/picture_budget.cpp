#include "core/picture_budget.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "core/animation.h"
#include "platform/memory_pages.h"

namespace lw {
namespace {

std::atomic<uint64_t> gBudget{0};
std::atomic<uint64_t> gHeld{0};
std::atomic<uint64_t> gPeak{0};

uint64_t DefaultBudget() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  uint64_t half =
      pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) / 2 : MaxImageBytes;
  return std::min<uint64_t>(half, MaxImageBytes);
}

}  // namespace

uint64_t PictureBudgetBytes() {
  uint64_t budget = gBudget;
  if (!budget) {
    budget = DefaultBudget();
    gBudget = budget;
  }
  return budget;
}

void SetPictureBudgetBytes(uint64_t bytes) { gBudget = bytes; }

uint64_t PictureBytes(uint64_t width, uint64_t height, int bytesPerPixel) {
  if (width == 0 || height == 0) return 0;
  // Past 2^32 x 2^16 bytes nothing fits anyway; keeps the arithmetic below exact.
  if (bytesPerPixel <= 0 || width > (uint64_t{1} << 32) || height > (uint64_t{1} << 32) ||
      bytesPerPixel > 16)
    return UINT64_MAX;
  const uint64_t stride = (width * static_cast<uint64_t>(bytesPerPixel) + 3) & ~uint64_t{3};
  return stride > UINT64_MAX / height ? UINT64_MAX : stride * height;
}

bool PictureFitsBudget(uint64_t width, uint64_t height, int bytesPerPixel) {
  return PictureBytes(width, height, bytesPerPixel) <= PictureBudgetBytes();
}

PictureReservation::~PictureReservation() { Give(held_); }

bool PictureReservation::Take(uint64_t bytes) {
  const uint64_t limit = PictureBudgetBytes();
  if (bytes > limit || held_ > limit - bytes) return false;
  held_ += bytes;
  const uint64_t now = gHeld.fetch_add(bytes) + bytes;
  uint64_t peak = gPeak.load();
  while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
  }
  return true;
}

void PictureReservation::Give(uint64_t bytes) {
  bytes = std::min(bytes, held_);
  held_ -= bytes;
  gHeld.fetch_sub(bytes);
}

uint64_t PicturePeakBytes() { return gPeak.load(); }

void ResetPicturePeakBytes() { gPeak.store(gHeld.load()); }

void ResizePicture(std::vector<uint8_t>* buffer, uint64_t bytes) {
  if (bytes > buffer->capacity()) {
    buffer->reserve(static_cast<size_t>(bytes));
    PopulatePages(buffer->data(), buffer->capacity());
  }
  buffer->resize(static_cast<size_t>(bytes));
}

}  // namespace lw
