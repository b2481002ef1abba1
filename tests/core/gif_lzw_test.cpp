#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "core/byte_sink.h"
#include "core/gif_source.h"
#include "core/lzw.h"
#include "support/reference_lzw.h"

namespace lw {
namespace {

std::vector<uint8_t> Encode(const std::vector<uint8_t>& px, uint32_t w, uint32_t h, int c,
                            bool interlaced = false) {
  std::vector<uint8_t> out;
  ByteSink sink(&out);
  EXPECT_TRUE(LzwEncode(sink, c, px.data(), w, w, h, interlaced));
  return out;
}

// Decodes data that starts with the code size byte; returns the pixels and the decoder status,
// and leaves the source just behind what the decoder consumed.
struct Decoded {
  std::vector<uint8_t> pixels;
  int status = 0;
  int extra = 0;
  size_t consumed = 0;
};

Decoded Decode(const std::vector<uint8_t>& data, size_t count) {
  GifSource src(data.data(), data.size());
  int c = src.ReadByte();
  auto dec = std::make_unique<LzwDecoder>();
  dec->Reset(&src, c);
  Decoded d;
  d.pixels.assign(count, 0xEE);
  size_t got = dec->Fill(d.pixels.data(), count, &d.status);
  d.pixels.resize(got);
  if (got == count) d.extra = dec->Next();
  d.consumed = src.Offset();
  return d;
}

// Reads the sub-blocks back into one stream of bytes.
std::vector<uint8_t> Unpack(const std::vector<uint8_t>& data, std::vector<int>* sizes) {
  std::vector<uint8_t> stream;
  size_t at = 1;
  while (at < data.size() && data[at]) {
    sizes->push_back(data[at]);
    stream.insert(stream.end(), data.begin() + at + 1, data.begin() + at + 1 + data[at]);
    at += 1 + data[at];
  }
  EXPECT_EQ(at + 1, data.size()) << "one zero terminator closes the data";
  return stream;
}

TEST(GifLzw, KnownBytesForSmallInputs) {
  // One pixel: clear code, the pixel, end code, at 3 bits each (a two-colour palette still
  // uses code size 2).
  EXPECT_EQ(Encode({0}, 1, 1, 2), (std::vector<uint8_t>{0x02, 0x02, 0x44, 0x01, 0x00}));
  // Eight equal pixels: codes 4 0 6 7 at 3 bits; 6 and the end code 5 at 4 bits, because the
  // width grows once code 8 is taken.
  EXPECT_EQ(Encode(std::vector<uint8_t>(8, 0), 8, 1, 2),
            (std::vector<uint8_t>{0x02, 0x03, 0x84, 0x6F, 0x05, 0x00}));
  // An empty image still gives valid data.
  EXPECT_EQ(Encode({}, 0, 0, 2), (std::vector<uint8_t>{0x02, 0x01, 0x2C, 0x00}));
}

TEST(GifLzw, SubBlocksAre254BytesExceptTheLast) {
  std::mt19937 rng(1);
  std::vector<uint8_t> px(20000);
  for (auto& p : px) p = static_cast<uint8_t>(rng());
  auto data = Encode(px, 200, 100, 8);
  std::vector<int> sizes;
  Unpack(data, &sizes);
  ASSERT_GT(sizes.size(), 2u);
  for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 254);
  EXPECT_LT(sizes.back(), 255);
}

// Walks the code stream with the decoder's width rules and checks the encoder's table handling.
TEST(GifLzw, ClearCodeFirstAndWhenTheTableIsFull) {
  std::mt19937 rng(7);
  std::vector<uint8_t> px(30000);
  for (auto& p : px) p = static_cast<uint8_t>(rng() & 0x3F);
  auto data = Encode(px, 300, 100, 6);
  std::vector<int> sizes;
  auto stream = Unpack(data, &sizes);
  const int clear = 64, end = 65;
  size_t bit = 0;
  auto read = [&](int w) {
    int code = 0;
    for (int i = 0; i < w; ++i, ++bit)
      if (stream.at(bit / 8) >> (bit % 8) & 1) code |= 1 << i;
    return code;
  };
  int width = 7, nextFree = clear + 2, clears = 0, codes = 0;
  bool first = true;
  ASSERT_EQ(read(width), clear) << "the clear code comes first";
  for (;;) {
    int code = read(width);
    ++codes;
    if (code == end) break;
    if (code == clear) {
      EXPECT_EQ(width, 12) << "the encoder clears only a full table";
      EXPECT_EQ(nextFree, 4096);
      ++clears;
      width = 7;
      nextFree = clear + 2;
      first = true;
      continue;
    }
    ASSERT_LE(code, nextFree);
    if (!first && nextFree < 4096 && ++nextFree >= (1 << width) && width < 12) ++width;
    first = false;
  }
  EXPECT_GE(clears, 2);
  EXPECT_EQ((bit + 7) / 8, stream.size()) << "nothing after the end code";
  EXPECT_EQ(Decode(data, px.size()).pixels, px);
}

TEST(GifLzw, RoundTripsEveryCodeSizeAndShape) {
  std::mt19937 rng(3);
  for (int c = 2; c <= 8; ++c) {
    for (int pattern = 0; pattern < 4; ++pattern) {
      uint32_t w = 1 + rng() % 97, h = 1 + rng() % 61;
      std::vector<uint8_t> px(w * h);
      for (uint32_t i = 0; i < px.size(); ++i) {
        uint32_t v = pattern == 0   ? rng()
                     : pattern == 1 ? i / 7
                     : pattern == 2 ? 0
                                    : (i % w) ^ (i / w);
        px[i] = static_cast<uint8_t>(v & ((1u << c) - 1));
      }
      auto data = Encode(px, w, h, c);
      auto d = Decode(data, px.size());
      ASSERT_EQ(d.pixels, px) << "c=" << c << " pattern=" << pattern;
      EXPECT_EQ(d.status, 0);
      EXPECT_EQ(d.extra, LzwEndOfData) << "the extra value reads the end code";
      EXPECT_EQ(d.consumed, data.size()) << "the terminator is consumed";
    }
  }
}

TEST(GifLzw, SameBytesAsThePlainEncoder) {
  std::mt19937 rng(2024);
  int keyZeroLost = 0, trials = 0;
  for (int c = 2; c <= 8; ++c) {
    const uint32_t mask = (1u << c) - 1;
    for (int kind = 0; kind < 6; ++kind) {
      for (int round = 0; round < 4; ++round) {
        // Mostly small images; every few a long one, to go through several table clears.
        uint32_t w = 1 + rng() % (round == 3 ? 700 : 90);
        uint32_t h = 1 + rng() % (round == 3 ? 300 : 40);
        const uint32_t stride = w + rng() % 5;
        std::vector<uint8_t> bits(static_cast<size_t>(stride) * h, 0xFF);
        uint32_t run = 0, value = 0;
        for (uint32_t y = 0; y < h; ++y) {
          for (uint32_t x = 0; x < w; ++x) {
            uint32_t v;
            switch (kind) {
              case 0: v = rng(); break;                       // noise
              case 1: v = rng() % 8 == 0 ? rng() : 0; break;  // zeros, a few others
              case 2: v = rng() % 3 ? 0 : rng() % 3; break;   // three values
              case 3:                                         // runs
                if (run == 0) run = 1 + rng() % 40, value = rng();
                --run;
                v = value;
                break;
              case 4: v = (x + 2 * y) / 3; break;                              // gradient
              default: v = rng() % 64 == 0 ? rng() : (x / 16 + y / 8); break;  // flat, specks
            }
            bits[static_cast<size_t>(y) * stride + x] = static_cast<uint8_t>(v & mask);
          }
        }
        const bool interlaced = (round + kind) % 3 == 0;
        std::vector<uint8_t> inOrder;
        ForEachRowInOrder(h, interlaced, [&](uint32_t r) {
          inOrder.insert(inOrder.end(), bits.begin() + r * stride, bits.begin() + r * stride + w);
        });
        std::vector<uint8_t> ours;
        ByteSink sink(&ours);
        ASSERT_TRUE(LzwEncode(sink, c, bits.data(), stride, w, h, interlaced));
        ASSERT_EQ(ours, test::ReferenceLzw(inOrder, c, &keyZeroLost))
            << "c=" << c << " kind=" << kind << " " << w << "x" << h;
        ++trials;
      }
    }
  }
  EXPECT_EQ(trials, 7 * 6 * 4);
  EXPECT_GT(keyZeroLost, 0) << "some inputs must overwrite the entry for key 0";
}

TEST(GifLzw, InterlacedRowOrder) {
  std::vector<uint32_t> rows;
  ForEachRowInOrder(11, true, [&](uint32_t r) { rows.push_back(r); });
  EXPECT_EQ(rows, (std::vector<uint32_t>{0, 8, 4, 2, 6, 10, 1, 3, 5, 7, 9}));
  for (uint32_t h : {1u, 2u, 3u, 5u, 9u}) {
    std::vector<int> seen(h);
    ForEachRowInOrder(h, true, [&](uint32_t r) { ++seen.at(r); });
    EXPECT_EQ(seen, std::vector<int>(h, 1)) << h;
  }
}

TEST(GifLzw, OneByteSubBlocksDecode) {
  std::vector<uint8_t> px(500);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((i * 7) % 256);
  auto data = Encode(px, 500, 1, 8);
  std::vector<int> sizes;
  auto stream = Unpack(data, &sizes);
  std::vector<uint8_t> split = {8};
  for (uint8_t b : stream) split.insert(split.end(), {1, b});
  split.push_back(0);
  auto d = Decode(split, px.size());
  EXPECT_EQ(d.pixels, px);
  EXPECT_EQ(d.extra, LzwEndOfData);
}

TEST(GifLzw, EndCodeBeforeTheImageIsFull) {
  std::vector<uint8_t> px(50, 3);
  auto data = Encode(px, 50, 1, 2);
  auto d = Decode(data, 100);
  EXPECT_EQ(d.status, LzwEndOfData);
  EXPECT_EQ(d.pixels, px);
  EXPECT_EQ(d.consumed, data.size());
}

TEST(GifLzw, BrokenStreamsFailWithoutOverrun) {
  // Cut short: the data ends without an end code or terminator.
  std::vector<uint8_t> px(3000);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 13);
  auto data = Encode(px, 3000, 1, 8);
  data.resize(data.size() / 2);
  auto d = Decode(data, px.size());
  EXPECT_EQ(d.status, LzwCorrupt);
  EXPECT_LT(d.pixels.size(), px.size());
  EXPECT_TRUE(std::equal(d.pixels.begin(), d.pixels.end(), px.begin()));

  // Codes past the table, a clear code right after a clear code, an end code as first code:
  // a byte soup decodes to something or fails, never past its buffers.
  std::mt19937 rng(11);
  for (int trial = 0; trial < 2000; ++trial) {
    std::vector<uint8_t> soup = {static_cast<uint8_t>(rng() % 12)};
    int blocks = 1 + rng() % 4;
    for (int b = 0; b < blocks; ++b) {
      int n = 1 + rng() % 255;
      soup.push_back(static_cast<uint8_t>(n));
      for (int i = 0; i < n; ++i) soup.push_back(static_cast<uint8_t>(rng()));
    }
    if (rng() % 2) soup.push_back(0);
    Decode(soup, rng() % 20000);
  }
}

// Streams other encoders make, and broken ones, decoded by the whole-image path and one value at
// a time: both must agree. Code size 2: clear 4, end 5, first free code 6.
TEST(GifLzw, OddAndCorruptCodeStreams) {
  struct Case {
    const char* what;
    std::vector<int> codes;
    std::vector<uint8_t> pixels;
    int status;
  };
  const std::vector<Case> cases = {
      {"clear codes before the first pixel", {4, 4, 4, 1, 2, 5}, {1, 2}, LzwEndOfData},
      {"two clear codes in a row", {4, 1, 6, 4, 4, 2, 3, 5}, {1, 1, 1, 2, 3}, LzwEndOfData},
      {"clear then end", {4, 3, 3, 4, 5}, {3, 3}, LzwEndOfData},
      {"the next free code", {4, 2, 6, 5}, {2, 2, 2}, LzwEndOfData},
      {"a code past the next free one", {4, 1, 7, 5}, {1}, LzwCorrupt},
      {"a table code first", {4, 6, 5}, {}, LzwCorrupt},
      {"a table code after a clear code", {4, 1, 4, 7, 5}, {1}, LzwCorrupt},
  };
  for (const auto& c : cases) {
    auto data = test::PackLzwCodes(2, c.codes);
    auto whole = Decode(data, 100);
    EXPECT_EQ(whole.pixels, c.pixels) << c.what;
    EXPECT_EQ(whole.status, c.status) << c.what;

    GifSource src(data.data(), data.size());
    auto dec = std::make_unique<LzwDecoder>();
    dec->Reset(&src, src.ReadByte());
    std::vector<uint8_t> single;
    int v;
    while ((v = dec->Next()) >= 0 && single.size() < 100) single.push_back(static_cast<uint8_t>(v));
    EXPECT_EQ(single, c.pixels) << c.what;
    EXPECT_EQ(v, c.status) << c.what;
  }
}

}  // namespace
}  // namespace lw
