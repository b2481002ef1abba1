// The GIF flavour of LZW: a decoder that reads image data sub-blocks from a GifSource, and an
// encoder that writes them to a ByteSink. The encoder's output is fixed bit for bit: displayed
// sizes and the optimizer's choices depend on it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/byte_sink.h"
#include "core/gif_source.h"

namespace lw {

// Results of LzwDecoder::Next besides pixel values.
constexpr int LzwEndOfData = -3;   // the end code, after the data's zero terminator
constexpr int LzwSkipFailed = -2;  // the data ended while skipping to the terminator
constexpr int LzwCorrupt = -1;     // the data ended early, or a code makes no sense

class LzwDecoder {
 public:
  // Starts an image: minimum code size 0..11 (larger sizes are the caller's to refuse).
  void Reset(GifSource* source, int minCodeSize);

  // Fills out[0..count) with pixels in stream order. Returns count, or fewer when the data
  // ended: *status is 0 when full, else the LzwDecoder result that stopped it. Bytes past
  // the returned count are left undefined.
  size_t Fill(uint8_t* out, size_t count, int* status);

  // One more value (or a negative result) exactly as a one-value-at-a-time reader would give it.
  int Next();

 private:
  static constexpr int kTableSize = 4096;
  static constexpr int kStackSize = 8192;

  int ReadCode();
  void Gather();
  int ReadSubBlock(uint8_t* out);
  int SkipRest();
  void ResetTables();
  int HandleCode(int code);
  int FirstCode();
  int EndCode();
  size_t FastRun(uint8_t* out, size_t i, size_t count, int* pending);
  uint8_t SuffixOf(int code) const;
  int PrefixOf(int code) const;

  GifSource* source_ = nullptr;
  int minCodeSize_ = 0;
  int clear_ = 0;
  int end_ = 0;
  int width_ = 0;
  int nextFree_ = 0;
  int limit_ = 0;
  bool fresh_ = true;
  bool dataEnded_ = false;
  int prev_ = 0;
  int first_ = 0;
  int sp_ = 0;
  // Set when the last value came from the first code after a reset; the fast path may restart.
  bool restart_ = false;
  // The fast path keeps, for every table entry, where its string last appeared in the output.
  bool modelValid_ = false;
  size_t posPrev_ = 0;
  uint32_t lenPrev_ = 0;

  // Bit reader: a window over the last bytes of one sub-block and the next ones.
  uint32_t bitPos_ = 0;
  uint32_t bitsInWindow_ = 0;
  bool noMoreData_ = false;
  uint8_t window_[640];

  uint16_t prefix_[kTableSize];
  uint8_t suffix_[kTableSize];
  uint32_t offset_[kTableSize];
  uint16_t length_[kTableSize];
  uint8_t stack_[kStackSize];
};

// True when every pixel of the width x height area is below 2^codeSize.
bool PixelsFitCodeSize(const uint8_t* bits, size_t stride, uint32_t width, uint32_t height,
                       int codeSize);

// Writes the minimum code size byte, the LZW data sub-blocks and the zero terminator for the
// width x height pixels (rows of stride bytes), in interlace order when asked. Every pixel must
// be below 2^codeSize (2..8). False when a write failed or memory was short.
bool LzwEncode(ByteSink& sink, int codeSize, const uint8_t* bits, size_t stride, uint32_t width,
               uint32_t height, bool interlaced);

// Calls f(row) for every row of an image in the order it is stored (interlaced or not).
template <typename F>
void ForEachRowInOrder(uint32_t height, bool interlaced, F f) {
  if (!interlaced) {
    for (uint32_t r = 0; r < height; ++r) f(r);
    return;
  }
  static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
  static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (uint64_t r = kStart[pass]; r < height; r += kStep[pass]) f(static_cast<uint32_t>(r));
}

}  // namespace lw
