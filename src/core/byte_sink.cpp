#include "core/byte_sink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace lw {

namespace {

constexpr size_t kBufferSize = 1 << 16;

bool WriteAll(int handle, const uint8_t* p, size_t left) {
  while (left) {
    ssize_t put = ::write(handle, p, left);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    left -= static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

bool ByteSink::Write(const void* data, size_t n) {
  count_ += n;
  if (Counting() || n == 0) return true;
  if (failed_) return false;
  auto p = static_cast<const uint8_t*>(data);
  try {
    if (memory_) {
      memory_->insert(memory_->end(), p, p + n);
      return true;
    }
    if (buffer_.capacity() < kBufferSize) buffer_.reserve(kBufferSize);
  } catch (const std::bad_alloc&) {
    failed_ = true;
    return false;
  }
  if (buffer_.size() + n > kBufferSize && !Flush()) return false;
  if (n >= kBufferSize) {
    failed_ = !WriteAll(handle_, p, n);
    return !failed_;
  }
  buffer_.insert(buffer_.end(), p, p + n);  // within the reserved capacity
  return true;
}

bool ByteSink::Flush() {
  if (failed_) return false;
  if (handle_ == InvalidHandle || buffer_.empty()) return true;
  failed_ = !WriteAll(handle_, buffer_.data(), buffer_.size());
  buffer_.clear();
  return !failed_;
}

}  // namespace lw
