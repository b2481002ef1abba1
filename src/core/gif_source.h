// The bytes of a GIF file, read whole into memory so that every read is a bounds-checked copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lw {

class GifSource {
 public:
  GifSource() = default;
  // Reads from memory that the caller keeps alive.
  GifSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // Reads the whole file; false when it cannot be opened or read (or memory is short).
  bool Open(const std::string& path);

  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }
  size_t Offset() const { return pos_; }
  size_t Remaining() const { return size_ - pos_; }
  void Seek(size_t offset) { pos_ = offset < size_ ? offset : size_; }

  // One byte, or -1 at the end.
  int ReadByte() {
    if (pos_ >= size_) return -1;
    return data_[pos_++];
  }
  // n bytes into out; a short read moves to the end and reports false.
  bool Read(void* out, size_t n);
  // The next n bytes in place, advancing past them; none (and the position at the end) when fewer
  // remain.
  const uint8_t* Take(size_t n) {
    if (n > size_ - pos_) {
      pos_ = size_;
      return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }

 private:
  std::vector<uint8_t> owned_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
};

}  // namespace lw
