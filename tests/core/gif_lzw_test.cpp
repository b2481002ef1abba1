// The LZW decoder on streams other encoders make and on broken ones. Our encoder's output is
// checked by giflib (gif_giflib_test.cpp).
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "core/gif_source.h"
#include "core/lzw.h"
#include "support/reference_lzw.h"

namespace lw {
namespace {

struct Decoded {
  std::vector<uint8_t> pixels;
  int status = 0;  // of the whole-image path
  int extra = 0;   // what one more value reads after a full image
  size_t consumed = 0;
};

// Decodes data that starts with the code size byte, as a whole image of count pixels.
Decoded Decode(const std::vector<uint8_t>& data, size_t count) {
  GifSource src(data.data(), data.size());
  auto dec = std::make_unique<LzwDecoder>();
  dec->Reset(&src, src.ReadByte());
  Decoded d;
  d.pixels.assign(count, 0xEE);
  d.pixels.resize(dec->Fill(d.pixels.data(), count, &d.status));
  if (d.pixels.size() == count) d.extra = dec->Next();
  d.consumed = src.Offset();
  return d;
}

// The same data one value at a time: the values, and what stopped them.
std::vector<uint8_t> DecodeOneByOne(const std::vector<uint8_t>& data, int* stop) {
  GifSource src(data.data(), data.size());
  auto dec = std::make_unique<LzwDecoder>();
  dec->Reset(&src, src.ReadByte());
  std::vector<uint8_t> values;
  while ((*stop = dec->Next()) >= 0 && values.size() < 100)
    values.push_back(static_cast<uint8_t>(*stop));
  return values;
}

// Code size 2: clear 4, end 5, first free code 6. Both decoding paths must agree.
TEST(GifLzw, OddAndCorruptCodeStreams) {
  struct Case {
    const char* what;
    std::vector<int> codes;
    std::vector<uint8_t> pixels;
    int status;
  };
  const Case cases[] = {
      {"clear codes before the first pixel", {4, 4, 4, 1, 2, 5}, {1, 2}, LzwEndOfData},
      {"two clear codes in a row", {4, 1, 6, 4, 4, 2, 3, 5}, {1, 1, 1, 2, 3}, LzwEndOfData},
      {"clear then end", {4, 3, 3, 4, 5}, {3, 3}, LzwEndOfData},
      {"the next free code", {4, 2, 6, 5}, {2, 2, 2}, LzwEndOfData},
      {"a code past the next free one", {4, 1, 7, 5}, {1}, LzwCorrupt},
      {"a table code first", {4, 6, 5}, {}, LzwCorrupt},
      {"a table code after a clear code", {4, 1, 4, 7, 5}, {1}, LzwCorrupt},
  };
  for (const Case& c : cases) {
    auto data = test::PackLzwCodes(2, c.codes);
    Decoded whole = Decode(data, 100);
    EXPECT_EQ(whole.pixels, c.pixels) << c.what;
    EXPECT_EQ(whole.status, c.status) << c.what;
    int stop = 0;
    EXPECT_EQ(DecodeOneByOne(data, &stop), c.pixels) << c.what;
    EXPECT_EQ(stop, c.status) << c.what;
  }

  // Sub-blocks of one byte each; after a full image the next value is the end code, and the
  // terminator is consumed.
  std::vector<int> codes = {4};
  for (int i = 0; i < 300; ++i) codes.push_back(i % 4);
  codes.push_back(5);
  auto packed = test::PackLzwCodes(2, codes);
  std::vector<uint8_t> split = {packed[0]};
  for (size_t at = 1; at < packed.size() && packed[at]; at += 1 + packed[at])
    for (int k = 1; k <= packed[at]; ++k) split.insert(split.end(), {1, packed[at + k]});
  split.push_back(0);
  Decoded d = Decode(split, 300);
  ASSERT_EQ(d.pixels.size(), 300u);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(d.pixels[i], i % 4) << i;
  EXPECT_EQ(d.extra, LzwEndOfData);
  EXPECT_EQ(d.consumed, split.size());
  // Cut in half: what was decoded is right, and the rest is reported missing.
  split.resize(split.size() / 2);
  d = Decode(split, 300);
  EXPECT_EQ(d.status, LzwCorrupt);
  for (size_t i = 0; i < d.pixels.size(); ++i) ASSERT_EQ(d.pixels[i], i % 4) << i;
}

// Byte soup: codes past the table, clear after clear, end codes first, missing terminators.
// It decodes to something or fails, never past its buffers (the sanitizers watch).
TEST(GifLzw, ByteSoupStaysInItsBuffers) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 2000; ++trial) {
    std::vector<uint8_t> soup = {static_cast<uint8_t>(rng() % 12)};
    for (int b = 1 + rng() % 4; b > 0; --b) {
      int n = 1 + rng() % 255;
      soup.push_back(static_cast<uint8_t>(n));
      for (int i = 0; i < n; ++i) soup.push_back(static_cast<uint8_t>(rng()));
    }
    if (rng() % 2) soup.push_back(0);
    Decode(soup, rng() % 20000);
  }
}

}  // namespace
}  // namespace lw
