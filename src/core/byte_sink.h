// Where the GIF writer puts its bytes: a file, a memory buffer, or nowhere (a counting sink for
// size estimates). The count always grows by what was asked to be written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lw {

class ByteSink {
 public:
  static constexpr int InvalidHandle = -1;

  // A file descriptor the caller owns; InvalidHandle makes a counting sink.
  explicit ByteSink(int handle = InvalidHandle) : handle_(handle) {}
  // Appends to memory the caller owns.
  explicit ByteSink(std::vector<uint8_t>* memory) : memory_(memory) {}
  ~ByteSink() { Flush(); }
  ByteSink(const ByteSink&) = delete;
  ByteSink& operator=(const ByteSink&) = delete;

  // False only when the file (or memory) refused the bytes; the count grows regardless.
  bool Write(const void* data, size_t n);
  bool WriteByte(uint8_t b) { return Write(&b, 1); }
  bool WriteU16(uint32_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    return Write(b, 2);
  }
  // Hands buffered bytes to the file; false when that write failed.
  bool Flush();

  uint64_t Count() const { return count_; }
  bool Counting() const { return handle_ == InvalidHandle && !memory_; }

 private:
  int handle_ = InvalidHandle;
  std::vector<uint8_t>* memory_ = nullptr;
  uint64_t count_ = 0;
  bool failed_ = false;
  std::vector<uint8_t> buffer_;
};

}  // namespace lw
