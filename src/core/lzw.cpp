#include "core/lzw.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

namespace lw {

static_assert(std::endian::native == std::endian::little,
              "the bit readers load little-endian words");

namespace {

constexpr int kNone = -100;

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Copies n bytes from an earlier place of the same buffer (src + n <= dst), eight at a time;
// may write up to 7 bytes past dst + n.
inline void CopyBackReference(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t k = 0; k < n; k += 8) {
    uint64_t v = Load64(src + k);
    std::memcpy(dst + k, &v, 8);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Decoder

void LzwDecoder::Reset(GifSource* source, int minCodeSize) {
  source_ = source;
  minCodeSize_ = minCodeSize;
  clear_ = 1 << minCodeSize;
  end_ = clear_ + 1;
  ResetTables();
  fresh_ = true;
  dataEnded_ = false;
  prev_ = first_ = 0;
  sp_ = 0;
  restart_ = false;
  modelValid_ = false;
  posPrev_ = 0;
  lenPrev_ = 0;
  bitPos_ = 0;
  bitsInWindow_ = 0;
  noMoreData_ = false;
  std::memset(window_, 0, sizeof window_);
}

void LzwDecoder::ResetTables() {
  width_ = minCodeSize_ + 1;
  limit_ = 1 << (minCodeSize_ + 1);
  nextFree_ = clear_ + 2;
  sp_ = 0;
}

// Entries from the clear code up to the next free one hold prefix 0 and suffix 0 until they are
// filled; entries below the clear code stand for themselves.
uint8_t LzwDecoder::SuffixOf(int code) const {
  if (code < clear_) return static_cast<uint8_t>(code);
  if (code >= nextFree_ || code <= end_) return 0;
  return suffix_[code];
}

int LzwDecoder::PrefixOf(int code) const {
  if (code < clear_ || code >= nextFree_ || code <= end_) return 0;
  return prefix_[code];
}

int LzwDecoder::ReadSubBlock(uint8_t* out) {
  int len = source_->ReadByte();
  if (len < 0) return -1;
  if (len == 0) {
    dataEnded_ = true;
    return 0;
  }
  const uint8_t* p = source_->Take(static_cast<size_t>(len));
  if (!p) return -1;
  std::memcpy(out, p, static_cast<size_t>(len));
  return len;
}

// Brings the next sub-blocks behind the unread bits until the next code fits. Sub-blocks are
// read only when a code needs them, so the file position stays where the image data was
// consumed up to.
void LzwDecoder::Gather() {
  uint32_t keep = bitPos_ >> 3;
  uint32_t used = bitsInWindow_ >> 3;
  if (keep) {
    std::memmove(window_, window_ + keep, used - keep);
    bitPos_ -= keep * 8;
    bitsInWindow_ -= keep * 8;
  }
  while (bitPos_ + static_cast<uint32_t>(width_) >= bitsInWindow_) {
    int got = ReadSubBlock(window_ + (bitsInWindow_ >> 3));
    if (got <= 0) {
      noMoreData_ = true;
      break;
    }
    bitsInWindow_ += static_cast<uint32_t>(got) * 8;
  }
  // Bits past the data read as zero.
  std::memset(window_ + (bitsInWindow_ >> 3), 0, 8);
}

int LzwDecoder::ReadCode() {
  if (bitPos_ + static_cast<uint32_t>(width_) >= bitsInWindow_) {
    if (noMoreData_) return LzwCorrupt;
    Gather();
  }
  uint64_t v = Load64(window_ + (bitPos_ >> 3));
  int code = static_cast<int>((v >> (bitPos_ & 7)) & ((1u << width_) - 1));
  bitPos_ += static_cast<uint32_t>(width_);
  return code;
}

int LzwDecoder::SkipRest() {
  for (;;) {
    int len = source_->ReadByte();
    if (len < 0) return LzwSkipFailed;
    if (len == 0) {
      dataEnded_ = true;
      return LzwEndOfData;
    }
    if (!source_->Take(static_cast<size_t>(len))) return LzwSkipFailed;
  }
}

// The code that starts the data or follows a clear code: further clear codes are skipped, and
// it must stand for a pixel (or end the data), as no table entry exists yet.
int LzwDecoder::FirstCode() {
  int c;
  do {
    c = ReadCode();
    if (c < 0) return LzwCorrupt;
  } while (c == clear_);
  if (c == end_) return EndCode();
  if (c > end_) return LzwCorrupt;
  prev_ = first_ = c;
  restart_ = true;
  return c;
}

int LzwDecoder::EndCode() {
  if (dataEnded_) return LzwEndOfData;
  return SkipRest();
}

int LzwDecoder::HandleCode(int c) {
  if (c == clear_) {
    ResetTables();
    return FirstCode();
  }
  if (c == end_) return EndCode();
  // Only the entry being made may be used before it exists.
  if (c > nextFree_) return LzwCorrupt;
  int code = c;
  if (c == nextFree_) {
    stack_[sp_++] = static_cast<uint8_t>(first_);
    code = prev_;
  }
  while (code >= clear_) {
    if (sp_ >= kStackSize) return LzwCorrupt;
    stack_[sp_++] = SuffixOf(code);
    code = PrefixOf(code);
  }
  first_ = code;
  if (sp_ >= kStackSize) return LzwCorrupt;
  stack_[sp_++] = static_cast<uint8_t>(code);
  if (nextFree_ < kTableSize) {
    prefix_[nextFree_] = static_cast<uint16_t>(prev_);
    suffix_[nextFree_] = static_cast<uint8_t>(first_);
    ++nextFree_;
    if (nextFree_ >= limit_ && limit_ < kTableSize) {
      limit_ <<= 1;
      ++width_;
    }
  }
  prev_ = c;
  return stack_[--sp_];
}

int LzwDecoder::Next() {
  if (sp_ > 0) return stack_[--sp_];
  if (fresh_) {
    fresh_ = false;
    return FirstCode();
  }
  int c = ReadCode();
  if (c < 0) return LzwCorrupt;
  return HandleCode(c);
}

// Decodes whole strings straight into the output while the stream behaves: every table entry's
// string is a copy of an earlier stretch of the output. Stops at the first code it does not
// handle (*pending), a read failure, or when the output is full.
size_t LzwDecoder::FastRun(uint8_t* out, size_t i, size_t count, int* pending) {
  *pending = kNone;
  const int clear = clear_;
  const int end = end_;
  uint32_t pos = bitPos_;
  uint32_t bits = bitsInWindow_;
  int w = width_;
  int nextFree = nextFree_;
  int limit = limit_;
  int prev = prev_;
  int first = first_;
  size_t posPrev = posPrev_;
  uint32_t lenPrev = lenPrev_;

  auto addEntry = [&](int suffix) {
    if (nextFree < kTableSize) {
      prefix_[nextFree] = static_cast<uint16_t>(prev);
      suffix_[nextFree] = static_cast<uint8_t>(suffix);
      offset_[nextFree] = static_cast<uint32_t>(posPrev);
      length_[nextFree] = static_cast<uint16_t>(lenPrev + 1);
      ++nextFree;
      if (nextFree >= limit && limit < kTableSize) {
        limit <<= 1;
        ++w;
      }
    }
  };
  auto readSlow = [&]() {
    bitPos_ = pos;
    width_ = w;
    int c = ReadCode();
    pos = bitPos_;
    bits = bitsInWindow_;
    return c;
  };

  while (i < count) {
    int c;
    if (pos + static_cast<uint32_t>(w) < bits) [[likely]] {
      c = static_cast<int>((Load64(window_ + (pos >> 3)) >> (pos & 7)) & ((1u << w) - 1));
      pos += static_cast<uint32_t>(w);
    } else {
      c = readSlow();
      if (c < 0) {
        *pending = LzwCorrupt;
        break;
      }
    }

    if (c < clear) {
      addEntry(c);
      out[i] = static_cast<uint8_t>(c);
      posPrev = i;
      lenPrev = 1;
      prev = first = c;
      ++i;
    } else if (c > end && c < nextFree) {
      uint32_t len = length_[c];
      if (len > count - i) {
        *pending = c;
        break;
      }
      const uint8_t* src = out + offset_[c];
      uint8_t* dst = out + i;
      if (((len + 7) & ~7u) <= count - i) {
        CopyBackReference(dst, src, len);
      } else {
        for (uint32_t k = 0; k < len; ++k) dst[k] = src[k];
      }
      first = dst[0];
      addEntry(first);
      posPrev = i;
      lenPrev = len;
      prev = c;
      i += len;
    } else if (c == nextFree) {
      uint32_t len = lenPrev + 1;
      if (len > count - i) {
        *pending = c;
        break;
      }
      const uint8_t* src = out + posPrev;
      uint8_t* dst = out + i;
      if (((lenPrev + 7) & ~7u) <= count - i) {
        CopyBackReference(dst, src, lenPrev);
      } else {
        for (uint32_t k = 0; k < lenPrev; ++k) dst[k] = src[k];
      }
      dst[lenPrev] = static_cast<uint8_t>(first);
      addEntry(first);
      posPrev = i;
      lenPrev = len;
      prev = c;
      i += len;
    } else if (c == clear) {
      w = minCodeSize_ + 1;
      limit = 1 << w;
      nextFree = clear + 2;
      int c2;
      do {
        c2 = readSlow();
      } while (c2 == clear);
      if (c2 < 0 || c2 > end) {
        *pending = LzwCorrupt;
        break;
      }
      if (c2 == end) {
        *pending = c2;
        break;
      }
      out[i] = static_cast<uint8_t>(c2);
      prev = first = c2;
      posPrev = i;
      lenPrev = 1;
      ++i;
    } else {
      // The end code, or a code past the table: the exact path decides.
      *pending = c;
      break;
    }
  }

  bitPos_ = pos;
  width_ = w;
  nextFree_ = nextFree;
  limit_ = limit;
  prev_ = prev;
  first_ = first;
  posPrev_ = posPrev;
  lenPrev_ = lenPrev;
  return i;
}

size_t LzwDecoder::Fill(uint8_t* out, size_t count, int* status) {
  *status = 0;
  size_t i = 0;
  while (i < count) {
    int v;
    if (modelValid_ && sp_ == 0 && !fresh_) {
      int pending;
      i = FastRun(out, i, count, &pending);
      if (pending == kNone) continue;
      if (pending == LzwCorrupt) {
        *status = LzwCorrupt;
        return i;
      }
      modelValid_ = false;
      v = HandleCode(pending);
    } else {
      v = Next();
    }
    if (v < 0) {
      *status = v;
      return i;
    }
    out[i] = static_cast<uint8_t>(v);
    if (restart_) {
      restart_ = false;
      modelValid_ = true;
      posPrev_ = i;
      lenPrev_ = 1;
    }
    ++i;
  }
  return count;
}

// ---------------------------------------------------------------------------------------------
// Encoder

bool PixelsFitCodeSize(const uint8_t* bits, size_t stride, uint32_t width, uint32_t height,
                       int codeSize) {
  if (codeSize >= 8) return true;
  const uint8_t limit = static_cast<uint8_t>(1u << codeSize);
  for (uint32_t r = 0; r < height; ++r) {
    const uint8_t* row = bits + r * stride;
    uint8_t any = 0;
    for (uint32_t x = 0; x < width; ++x) any |= row[x];
    if (any >= limit) {
      // Or-ing is only a quick filter; check the row exactly.
      for (uint32_t x = 0; x < width; ++x)
        if (row[x] >= limit) return false;
    }
  }
  return true;
}

namespace {

constexpr int kHashSize = 5003;
constexpr int kMaxCode = 4096;

// A slot packs the key (20 bits: pixel << 12 | prefix code) above the code (12 bits). Stored
// codes are never below 6, so 0 marks an empty slot, and a slot below 4096 holds key 0: that is
// what the probe treats as "not positive". 20 KB: the table stays in the first-level cache.
using HashSlot = uint32_t;

// For every code, the child (pixel and code, in two tables so that the code is loaded straight
// into the next lookup) it was last extended by, so that most pixels take one load instead of a
// hash probe. The hash table stays the authority: it alone says where
// an entry lands, and the entry for key 0 can be overwritten by a later one, which the cache
// must then forget. Codes whose pixel field can match no pixel:
constexpr uint16_t kNoChildren = 0xFFFF;  // nothing was added with this prefix yet
constexpr uint16_t kAskTable = 0xFFFE;    // children may exist: probe the table

// The encoder's tables, one set per thread so that encodings may run side by side.
struct EncoderState {
  HashSlot slots[kHashSize];
  uint16_t childPixel[kMaxCode];
  uint16_t childCode[kMaxCode];
  // Bytes of the code stream before they are cut into sub-blocks.
  static constexpr size_t kStreamSize = 254 * 64;
  uint8_t stream[kStreamSize + 16];
};

// Cuts the code stream into sub-blocks.
class PacketWriter {
 public:
  PacketWriter(ByteSink& sink, uint8_t* stream) : sink_(sink), stream_(stream) {}

  // Writes the whole 254-byte sub-blocks of stream[0..len) (with last, also the shorter final
  // one), moves the rest to the front and returns its length.
  size_t Write(size_t len, bool last) {
    size_t at = 0;
    uint8_t packet[255];
    while (len - at >= 254 || (last && len > at)) {
      size_t n = len - at < 254 ? len - at : 254;
      packet[0] = static_cast<uint8_t>(n);
      std::memcpy(packet + 1, stream_ + at, n);
      if (ok_) ok_ = sink_.Write(packet, n + 1);
      at += n;
    }
    std::memmove(stream_, stream_ + at, len - at);
    return len - at;
  }

  bool ok() const { return ok_; }

 private:
  ByteSink& sink_;
  uint8_t* stream_;
  bool ok_ = true;
};

// Packs codes into the stream. Its address is never taken, so that its fields stay in
// registers in the pixel loop.
class CodeWriter {
 public:
  CodeWriter(PacketWriter& packets, uint8_t* stream) : packets_(packets), stream_(stream) {}

  __attribute__((always_inline)) void Put(uint32_t code, int n) {
    acc_ |= static_cast<uint64_t>(code) << nbits_;
    nbits_ += n;
    if (nbits_ >= 32) {
      uint32_t word = static_cast<uint32_t>(acc_);
      std::memcpy(stream_ + len_, &word, 4);
      len_ += 4;
      acc_ >>= 32;
      nbits_ -= 32;
      if (len_ >= EncoderState::kStreamSize) len_ = packets_.Write(len_, false);
    }
  }

  // The last partial byte, the remaining sub-blocks and the terminator.
  bool Finish(ByteSink& sink) {
    while (nbits_ > 0) {
      stream_[len_++] = static_cast<uint8_t>(acc_);
      acc_ >>= 8;
      nbits_ -= 8;
    }
    packets_.Write(len_, true);
    return packets_.ok() && sink.WriteByte(0);
  }

 private:
  PacketWriter& packets_;
  uint8_t* stream_;
  size_t len_ = 0;
  uint64_t acc_ = 0;
  int nbits_ = 0;
};

}  // namespace

bool LzwEncode(ByteSink& sink, int codeSize, const uint8_t* bits, size_t stride, uint32_t width,
               uint32_t height, bool interlaced) {
  if (codeSize < 2 || codeSize > 8) return false;
  if (!sink.WriteByte(static_cast<uint8_t>(codeSize))) return false;

  thread_local std::unique_ptr<EncoderState> cached;
  if (!cached) {
    try {
      cached.reset(new EncoderState());
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  EncoderState& st = *cached;
  HashSlot* const slots = st.slots;
  std::memset(slots, 0, sizeof st.slots);

  const int initBits = codeSize + 1;
  const int clearCode = 1 << codeSize;
  const int endCode = clearCode + 1;
  int n = initBits;
  int maxCode = (1 << n) - 1;
  int nextFree = clearCode + 2;
  bool clearFlag = false;
  PacketWriter packets(sink, st.stream);
  CodeWriter out(packets, st.stream);

  auto emit = [&](int code) __attribute__((always_inline)) {
    out.Put(static_cast<uint32_t>(code), n);
    if (clearFlag) {
      n = initBits;
      maxCode = (1 << n) - 1;
      clearFlag = false;
    } else if (nextFree > maxCode) {
      ++n;
      maxCode = n == 12 ? kMaxCode : (1 << n) - 1;
    }
  };

  if (uint64_t{width} * height == 0) {
    // Nothing to encode: a clear code and the end code still make valid data.
    emit(clearCode);
    emit(endCode);
    return out.Finish(sink);
  }

  uint16_t* const childPixel = st.childPixel;
  uint16_t* const childCode = st.childCode;
  // Codes above the pixels get their entry when they are made.
  std::fill_n(childPixel, clearCode, kNoChildren);

  static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
  static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
  const int passes = interlaced ? 4 : 1;
  uint32_t ent = bits[0];  // row 0 comes first in both orders
  emit(clearCode);
  bool first = true;
  for (int pass = 0; pass < passes; ++pass) {
    const uint32_t step = interlaced ? kStep[pass] : 1;
    for (uint64_t r = interlaced ? kStart[pass] : 0; r < height; r += step) {
      const uint8_t* px = bits + r * stride;
      const uint8_t* const rowEnd = px + width;
      if (first) {
        ++px;  // the first pixel is the first string
        first = false;
      }
      while (px < rowEnd) {
        const uint32_t p = *px++;
        const uint32_t known = childPixel[ent];
        if (known == p) {
          ent = childCode[ent];
          continue;
        }
        const uint32_t keyBits = ((p << 12) + ent) << 12;
        int h = static_cast<int>((p << 4) ^ ent);
        HashSlot slot = slots[h];
        if (known != kNoChildren) {
          // Holds the key: the slot minus the key bits is a code 1..4095.
          bool found = slot - keyBits - 1 < 4095u;
          if (!found && slot != 0) {
            const int d = h == 0 ? 1 : kHashSize - h;
            do {
              h -= d;
              h += (h >> 31) & kHashSize;  // wraps without a branch
              slot = slots[h];
              if (slot - keyBits - 1 < 4095u) {
                found = true;
                break;
              }
            } while (slot >= 4096);
          }
          if (found) {
            childPixel[ent] = static_cast<uint16_t>(p);
            childCode[ent] = static_cast<uint16_t>(slot & 0xFFF);
            ent = slot & 0xFFF;
            continue;
          }
        } else if (slot != 0) {
          // The key is surely absent: only where it would land matters.
          const int d = h == 0 ? 1 : kHashSize - h;
          do {
            h -= d;
            h += (h >> 31) & kHashSize;
          } while (slots[h] >= 4096);
        }
        emit(static_cast<int>(ent));
        if (nextFree < kMaxCode) {
          // A used slot here holds key 0 (prefix 0, pixel 0), which is now lost.
          if (slots[h] != 0) childPixel[0] = kAskTable;
          slots[h] = keyBits | static_cast<uint32_t>(nextFree);
          childPixel[ent] = static_cast<uint16_t>(p);
          childCode[ent] = static_cast<uint16_t>(nextFree);
          childPixel[nextFree] = kNoChildren;
          ++nextFree;
        } else {
          std::memset(slots, 0, sizeof st.slots);
          std::fill_n(childPixel, clearCode, kNoChildren);
          nextFree = clearCode + 2;
          clearFlag = true;
          emit(clearCode);
        }
        ent = p;
      }
    }
  }
  emit(static_cast<int>(ent));
  emit(endCode);
  return out.Finish(sink);
}

}  // namespace lw
