// What the PSD reader's files share: the checked big-endian file, the memory budget of one read,
// PackBits rows, and the layer pass.
#pragma once

#include <sys/types.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/animation.h"
#include "core/delay_units.h"
#include "core/picture_budget.h"

namespace lw {

struct ProgressMeter;

namespace psd {

// How a read ended; each failure has its message (none for a cancel).
enum class Outcome {
  Done,
  Cancelled,
  NotPsd,
  UnsupportedMode,
  DataError,
  NoMemoryForImage,
  NoMemoryForComposite,
  NoMemoryForMask,
};
void ShowOutcome(Outcome outcome);

// The file, read big-endian, with every read checked against its size.
class PsdFile {
 public:
  explicit PsdFile(FILE* file) : file_(file) {
    if (fseeko(file_, 0, SEEK_END) == 0) {
      off_t end = ftello(file_);
      if (end > 0) size_ = static_cast<uint64_t>(end);
    }
    ok_ = fseeko(file_, 0, SEEK_SET) == 0;
  }

  uint64_t Pos() const { return pos_; }
  uint64_t Size() const { return size_; }
  uint64_t Remaining() const { return size_ - pos_; }

  bool Read(void* to, uint64_t count) {
    if (!ok_ || count > Remaining()) return false;
    if (count != 0 && std::fread(to, 1, count, file_) != count) return ok_ = false;
    pos_ += count;
    return true;
  }
  bool Seek(uint64_t at) {
    if (!ok_ || at > size_) return false;
    if (at == pos_) return true;
    if (fseeko(file_, static_cast<off_t>(at), SEEK_SET) != 0) return ok_ = false;
    pos_ = at;
    return true;
  }
  bool Skip(uint64_t count) { return count <= Remaining() && Seek(pos_ + count); }
  bool U8(uint8_t* v) { return Read(v, 1); }
  bool U16(uint16_t* v) {
    uint8_t b[2];
    if (!Read(b, 2)) return false;
    *v = static_cast<uint16_t>(b[0] << 8 | b[1]);
    return true;
  }
  bool U32(uint32_t* v) {
    uint8_t b[4];
    if (!Read(b, 4)) return false;
    *v = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
    return true;
  }
  bool I16(int16_t* v) {
    uint16_t u;
    if (!U16(&u)) return false;
    *v = static_cast<int16_t>(u);
    return true;
  }
  bool I32(int32_t* v) {
    uint32_t u;
    if (!U32(&u)) return false;
    *v = static_cast<int32_t>(u);
    return true;
  }

 private:
  FILE* file_;
  uint64_t size_ = 0;
  uint64_t pos_ = 0;
  bool ok_ = false;
};

// The pictures of one read share one budget, so that many layers cannot add up past it.
class Budget {
 public:
  bool Take(uint64_t width, uint64_t height, int bytesPerPixel) {
    if (!PictureFitsBudget(width, height, bytesPerPixel)) return false;
    uint64_t bytes = ((width * bytesPerPixel + 3) & ~uint64_t{3}) * height;
    uint64_t limit = PictureBudgetBytes();
    if (bytes > limit || used_ > limit - bytes) return false;
    used_ += bytes;
    return true;
  }

 private:
  uint64_t used_ = 0;
};

// Decodes one PackBits row of size bytes; runs past the row are cut, a short row leaves zeros.
inline void Unpack(const uint8_t* in, size_t size, uint8_t* row, size_t width) {
  std::memset(row, 0, width);
  size_t i = 0;
  size_t x = 0;
  while (i < size && x < width) {
    auto n = static_cast<int8_t>(in[i++]);
    if (n >= 0) {
      size_t count = std::min<size_t>(n + 1, size - i);
      count = std::min(count, width - x);
      std::memcpy(row + x, in + i, count);
      i += n + 1;
      x += count;
    } else if (n != -128) {
      if (i >= size) break;
      size_t count = std::min<size_t>(1 - n, width - x);
      std::memset(row + x, in[i++], count);
      x += count;
    }
  }
}

// A 16-bit sample to 8 bits, rounded to the nearest level.
inline uint8_t EightBits(uint16_t sample) { return static_cast<uint8_t>((sample + 128u) / 257u); }

// The working rows of a channel read.
struct RowBuffers {
  std::vector<uint8_t> row;      // the row's samples at 8 bits
  std::vector<uint8_t> samples;  // the row as stored, unpacked
  std::vector<uint8_t> packed;   // the row's PackBits bytes
};

// Reads rows of width samples of sampleBytes (1, or 2 big-endian): raw, or PackBits with the
// given byte counts (one per row). put receives each row in turn, at 8 bits per sample.
template <typename Put>
bool ReadRows(PsdFile& in, bool packed, const uint16_t* counts, uint32_t width, uint32_t height,
              int sampleBytes, RowBuffers& b, Put put) {
  const uint64_t bytes = uint64_t{width} * sampleBytes;
  b.samples.resize(bytes);
  b.row.resize(width);
  for (uint32_t y = 0; y < height; ++y) {
    if (!packed) {
      if (!in.Read(b.samples.data(), bytes)) return false;
    } else {
      uint16_t n = counts[y];
      if (b.packed.size() < n) b.packed.resize(n);
      if (!in.Read(b.packed.data(), n)) return false;
      Unpack(b.packed.data(), n, b.samples.data(), bytes);
    }
    if (sampleBytes == 1) {
      put(y, b.samples.data());
      continue;
    }
    for (uint32_t x = 0; x < width; ++x)
      b.row[x] = EightBits(static_cast<uint16_t>(b.samples[2 * x] << 8 | b.samples[2 * x + 1]));
    put(y, b.row.data());
  }
  return true;
}

inline bool ReadCounts(PsdFile& in, uint64_t entries, std::vector<uint16_t>* counts) {
  if (entries * 2 > in.Remaining()) return false;
  counts->resize(entries);
  for (uint16_t& c : *counts)
    if (!in.U16(&c)) return false;
  return true;
}

// The fewest PackBits bytes a row of `bytes` bytes takes: two per run of 128.
inline uint64_t MinPackedRow(uint64_t bytes) { return 2 * ((bytes + 127) / 128); }

// Bytes per channel sample for a header's depth: 16-bit files hold two, any other depth is read
// as one.
inline int SampleBytes(uint16_t depth) { return depth == 16 ? 2 : 1; }

// Where the layer records start, and what the reader chose.
struct LayerRead {
  uint64_t start = 0;  // just after the layer count
  int count = 0;
  uint32_t options = 0;
  uint32_t width = 0;  // the canvas
  uint32_t height = 0;
  int mode = 0;
  int sampleBytes = 1;
  Timing timing;  // the frames' delay and the document's play count
};

// Reads the layers as frames into a new animation of the canvas's size.
Outcome ReadLayers(PsdFile& in, const LayerRead& read, ProgressMeter* meter, AnimationPtr* out);

}  // namespace psd
}  // namespace lw
