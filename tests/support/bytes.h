// Files built byte by byte, for readers' tests: little- and big-endian fields, as the formats
// lay them out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lw::test {

class Bytes {
 public:
  Bytes& U8(uint32_t v) { return Put(v, 1, false); }
  Bytes& Le16(uint32_t v) { return Put(v, 2, false); }
  Bytes& Le32(uint32_t v) { return Put(v, 4, false); }
  Bytes& Be16(uint32_t v) { return Put(v, 2, true); }
  Bytes& Be32(uint32_t v) { return Put(v, 4, true); }
  Bytes& Text(const std::string& s) {
    data_.insert(data_.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& Raw(const std::vector<uint8_t>& v) {
    data_.insert(data_.end(), v.begin(), v.end());
    return *this;
  }
  Bytes& Fill(size_t n, uint8_t v = 0) {
    data_.insert(data_.end(), n, v);
    return *this;
  }
  // Overwrites a field written earlier (a size known only at the end).
  Bytes& PatchLe32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) data_.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
    return *this;
  }
  Bytes& PatchBe32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) data_.at(at + i) = static_cast<uint8_t>(v >> (8 * (3 - i)));
    return *this;
  }

  size_t size() const { return data_.size(); }
  const std::vector<uint8_t>& data() const { return data_; }
  std::string str() const { return std::string(data_.begin(), data_.end()); }
  operator const std::vector<uint8_t>&() const { return data_; }

 private:
  Bytes& Put(uint32_t v, int n, bool bigEndian) {
    for (int i = 0; i < n; ++i)
      data_.push_back(static_cast<uint8_t>(v >> (8 * (bigEndian ? n - 1 - i : i))));
    return *this;
  }
  std::vector<uint8_t> data_;
};

}  // namespace lw::test
