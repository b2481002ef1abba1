// GIF files written field by field, for readers' tests: any table, control block, interlacing
// and frame place a file from elsewhere may hold, whatever our writer would make of them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/bytes.h"

namespace lw::test {

// LZW data that never grows past the first code width: a clear code before the table would.
inline std::vector<uint8_t> LzwData(const std::vector<uint8_t>& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize, width = minCodeSize + 1;
  std::vector<uint8_t> bytes;
  uint32_t bits = 0;
  int count = 0;
  auto emit = [&](int code) {
    bits |= static_cast<uint32_t>(code) << count;
    for (count += width; count >= 8; count -= 8, bits >>= 8) bytes.push_back(bits & 0xFF);
  };
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (i % static_cast<size_t>(clear - 3) == 0) emit(clear);
    emit(pixels[i]);
  }
  emit(clear + 1);
  if (count) bytes.push_back(bits & 0xFF);
  std::vector<uint8_t> out{static_cast<uint8_t>(minCodeSize)};
  for (size_t i = 0; i < bytes.size(); i += 255) {
    size_t n = std::min<size_t>(255, bytes.size() - i);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), bytes.begin() + static_cast<long>(i),
               bytes.begin() + static_cast<long>(i + n));
  }
  out.push_back(0);
  return out;
}

// How a frame is stored.
struct Look {
  int disposal = 0;
  int transparent = -1;
  int delay = 10;
  bool control = true;               // a graphic control extension before the image
  std::vector<uint32_t> local = {};  // 0xRRGGBB; none when empty
  bool interlaced = false;
};

// A GIF89a file: screen and global table, loop block, frames, trailer.
class GifBytes {
 public:
  GifBytes(uint16_t width, uint16_t height, const std::vector<uint32_t>& global,
           uint8_t background = 0) {
    b_.Text("GIF89a").Le16(width).Le16(height);
    b_.U8(global.empty() ? 0 : 0xF0 | SizeCode(global.size())).U8(background).U8(0);
    Table(global);
  }
  GifBytes& Loop(uint16_t count) {
    b_.U8(0x21).U8(0xFF).U8(11).Text("NETSCAPE2.0").U8(3).U8(1).Le16(count).U8(0);
    return *this;
  }
  // A frame whose pixel (x, y) is pixel(x, y).
  template <typename F>
  GifBytes& Frame(int left, int top, int w, int h, const Look& look, F pixel) {
    if (look.control) {
      b_.U8(0x21).U8(0xF9).U8(4);
      b_.U8(look.disposal << 2 | (look.transparent >= 0 ? 1 : 0)).Le16(look.delay);
      b_.U8(look.transparent >= 0 ? look.transparent : 0).U8(0);
    }
    b_.U8(0x2C).Le16(left).Le16(top).Le16(w).Le16(h);
    b_.U8((look.local.empty() ? 0 : 0x80 | SizeCode(look.local.size())) |
          (look.interlaced ? 0x40 : 0));
    Table(look.local);
    std::vector<int> rows;
    if (look.interlaced) {
      for (auto [first, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = first; y < h; y += step) rows.push_back(y);
    } else {
      for (int y = 0; y < h; ++y) rows.push_back(y);
    }
    std::vector<uint8_t> pixels;
    int highest = 0;
    for (int y : rows)
      for (int x = 0; x < w; ++x) {
        pixels.push_back(static_cast<uint8_t>(pixel(x, y)));
        highest = std::max<int>(highest, pixels.back());
      }
    int minCodeSize = 2;
    while ((1 << minCodeSize) <= highest) ++minCodeSize;
    b_.Raw(LzwData(pixels, minCodeSize));
    return *this;
  }
  GifBytes& Solid(int left, int top, int w, int h, const Look& look, int index) {
    return Frame(left, top, w, h, look, [&](int, int) { return index; });
  }
  std::string Done() { return Bytes(b_).U8(0x3B).str(); }

 private:
  static int SizeCode(size_t n) {
    int code = 0;
    while ((2u << code) < n) ++code;
    return code;
  }
  void Table(const std::vector<uint32_t>& colours) {
    if (colours.empty()) return;
    size_t n = size_t{2} << SizeCode(colours.size());
    for (size_t i = 0; i < n; ++i) {
      uint32_t c = i < colours.size() ? colours[i] : 0;
      b_.U8(c >> 16).U8(c >> 8 & 0xFF).U8(c & 0xFF);
    }
  }
  Bytes b_;
};

}  // namespace lw::test
