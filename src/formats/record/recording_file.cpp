#include "formats/record/recording_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "core/animation.h"
#include "platform/files.h"

namespace lw {
namespace {

constexpr uint32_t kRecordMark = 0x4C575231;  // "LWR1"

// Each record: this header, then height rows of 3 x width bytes (no padding).
struct RecordHeader {
  uint32_t mark;
  uint32_t x;
  uint32_t y;
  uint32_t width;
  uint32_t height;
  uint32_t unused;
  int64_t timeUs;
};
static_assert(sizeof(RecordHeader) == 32);

}  // namespace

RecordingFile::~RecordingFile() {
  if (fd_ >= 0) close(fd_);
}

bool RecordingFile::Create(const std::string& folder, uint64_t limitBytes) {
  std::string path;
  fd_ = OpenTempFile(folder.empty() ? SystemTempFolder() : WithTrailingSlash(folder),
                     "loopwright-record-", &path);
  if (fd_ < 0) return false;
  unlink(path.c_str());
  limit_ = limitBytes;
  return true;
}

bool RecordingFile::Write(const void* data, uint64_t bytes) {
  if (limit_ != 0 && (written_ > limit_ || bytes > limit_ - written_)) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  uint64_t done = 0;
  while (done < bytes) {
    const ssize_t n = pwrite(fd_, p + done, bytes - done, static_cast<off_t>(written_ + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<uint64_t>(n);
  }
  return true;
}

RecordingFile::Added RecordingFile::Add(const std::vector<uint8_t>& picture, int64_t timeUs) {
  const uint64_t stride = RgbStride(width_);
  if (failed_ || fd_ < 0 || picture.size() < stride * height_) return Added::WriteFailed;
  // The rectangle where the picture differs from the last one kept (the whole picture first).
  uint32_t top = 0, bottom = height_, left = 0, right = width_;
  if (count_ > 0) {
    while (top < height_ && std::memcmp(&picture[stride * top], &last_[stride * top], stride) == 0)
      ++top;
    if (top == height_) return Added::Same;
    while (std::memcmp(&picture[stride * (bottom - 1)], &last_[stride * (bottom - 1)], stride) == 0)
      --bottom;
    left = width_;
    right = 0;
    for (uint32_t y = top; y < bottom; ++y) {
      const uint8_t* a = &picture[stride * y];
      const uint8_t* b = &last_[stride * y];
      uint32_t x = 0;
      while (x < left && std::memcmp(a + 3 * x, b + 3 * x, 3) == 0) ++x;
      left = std::min(left, x);
      uint32_t r = width_;
      while (r > right && std::memcmp(a + 3 * (r - 1), b + 3 * (r - 1), 3) == 0) --r;
      right = std::max(right, r);
    }
  }
  const RecordHeader header{kRecordMark, left, top, right - left, bottom - top, 0, timeUs};
  const uint64_t rowBytes = 3 * uint64_t{header.width};
  try {
    block_.resize(sizeof header + rowBytes * header.height);
    last_.resize(picture.size());
  } catch (const std::bad_alloc&) {
    failed_ = true;
    return Added::WriteFailed;
  }
  std::memcpy(block_.data(), &header, sizeof header);
  for (uint32_t y = 0; y < header.height; ++y)
    std::memcpy(&block_[sizeof header + rowBytes * y], &picture[stride * (top + y) + 3 * left],
                rowBytes);
  if (!Write(block_.data(), block_.size())) {
    failed_ = true;
    return Added::WriteFailed;
  }
  written_ += block_.size();
  ++count_;
  std::memcpy(last_.data(), picture.data(), picture.size());
  return Added::Kept;
}

bool RecordingFile::Rewind() {
  read_ = 0;
  readAt_ = 0;
  return fd_ >= 0;
}

int RecordingFile::Next(std::vector<uint8_t>* picture, int64_t* timeUs) {
  if (read_ >= count_) return 0;
  const uint64_t stride = RgbStride(width_);
  RecordHeader header;
  if (pread(fd_, &header, sizeof header, static_cast<off_t>(readAt_)) !=
      static_cast<ssize_t>(sizeof header))
    return -1;
  // The file is this process's own, but a disk may still give back something else.
  if (header.mark != kRecordMark || header.x > width_ || header.width > width_ - header.x ||
      header.y > height_ || header.height > height_ - header.y ||
      (read_ == 0 && (header.width != width_ || header.height != height_)))
    return -1;
  const uint64_t rowBytes = 3 * uint64_t{header.width};
  try {
    if (picture->size() != stride * height_) picture->assign(stride * height_, 0);
    block_.resize(rowBytes * header.height);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  uint64_t done = 0;
  while (done < block_.size()) {
    const ssize_t n = pread(fd_, block_.data() + done, block_.size() - done,
                            static_cast<off_t>(readAt_ + sizeof header + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    done += static_cast<uint64_t>(n);
  }
  for (uint32_t y = 0; y < header.height; ++y)
    std::memcpy(picture->data() + stride * (header.y + y) + 3 * header.x, &block_[rowBytes * y],
                rowBytes);
  readAt_ += sizeof header + block_.size();
  ++read_;
  *timeUs = header.timeUs;
  return 1;
}

}  // namespace lw
