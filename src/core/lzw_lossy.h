// Lossy LZW: the encoder may take a longer dictionary string than the pixels hold exactly, as
// long as every pixel of it stays close to the pixel it stands for. What comes out is a new
// set of pixels; the exact encoder (LzwEncode) finds the same strings in them again, so a frame
// whose pixels are replaced by them is written, bit for bit, as the lossy codes were.
//
// The distance between two colours is a weighted squared RGB difference,
//     d = (2 dR² + 4 dG² + 3 dB²) / 30,
// green counting most and red least, as the eye sees them. On a grey shift (dR = dG = dB) it
// equals gifsicle's (dR² + dG² + dB²) / 10, so a tolerance N means about what gifsicle's
// --lossy=N means (0 to 200 in practice), except that here N bounds every pixel: no pixel ends
// further than N from its source colour, and the first pixel of every string stays exact.
// Along a string the error is carried on (three quarters of it from pixel to pixel), and each
// pixel's own error plus all or half of the carried one must stay within N too: a string can
// stray from its source for a pixel or two, but not shift a whole run of pixels by N, which on
// flat areas and text would cost far more in squared error than it saves in bytes. The
// transparent index is never swapped for a colour, nor a colour for it; indexes without a
// palette entry are kept as they are.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lw {

constexpr int LossyMaxTolerance = 255;

// 30 times the distance above, so that it stays a whole number.
constexpr uint32_t LossyDistance30(const uint8_t* rgbA, const uint8_t* rgbB) {
  const int r = rgbA[0] - rgbB[0], g = rgbA[1] - rgbB[1], b = rgbA[2] - rgbB[2];
  return static_cast<uint32_t>(2 * r * r + 4 * g * g + 3 * b * b);
}

struct LossyLzwInput {
  const uint8_t* pixels = nullptr;  // in the order they are coded (rows, interlaced or not)
  size_t count = 0;
  int codeSize = 8;              // 2..8: every pixel below 2^codeSize
  const uint8_t* rgb = nullptr;  // R, G, B of each palette entry
  int colours = 0;               // palette entries (0..256)
  int transparent = -1;          // the transparent index, -1 for none
  int tolerance = 0;             // 0..LossyMaxTolerance; 0 keeps every pixel
};

// Codes input's pixels, choosing at each step the longest dictionary string whose pixels are
// all within tolerance of the source, as above (the smallest summed error among equally long
// ones), and writes into out (count bytes) what those codes decode to. Returns the size of the
// LZW data LzwEncode writes for out (code size byte, sub-blocks, terminator); 0 when memory was
// short or the input is not one it codes (out is then untouched).
uint64_t LossyLzwPixels(const LossyLzwInput& input, uint8_t* out);

}  // namespace lw
