// The first half of the high-quality quantizer: pictures read as packed pixel words, their
// colours counted (on several threads) and the palette cut from them. quantize_hq.cpp maps the
// pictures to that palette.
#pragma once

#include <cstdint>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "colour/quantize_hq.h"

namespace lw {

struct ProgressMeter;

namespace hq {

// ---------------------------------------------------------------------------------------------
// Pixels as packed words: 0xFF000000 | red << 16 | green << 8 | blue when opaque, 0 when clear.

constexpr uint32_t Opaque = 0xFF000000u;

inline uint32_t Pack(uint8_t r, uint8_t g, uint8_t b) { return Opaque | r << 16 | g << 8 | b; }

// One row of a picture as packed words.
void FetchRow(const PixelSource& s, uint32_t y, uint32_t* out);
// Whether two 24-bit pictures of one width, both with an alpha plane or neither, hold the same
// bytes on row y; false for any other pair, whatever they show.
bool SameRgbRow(const PixelSource& a, const PixelSource& b, uint32_t y);
// Whether a picture stands where the one before it stood, at its size.
bool SamePlace(const HqPicture& a, const HqPicture& b);

// Runs work(i) for i in 0..threads-1, i = 0 on the calling thread; fewer when threads cannot be
// started (the others' share then falls to whoever asks next).
template <typename F>
void RunThreads(int threads, F&& work) {
  std::vector<std::thread> helpers;
  try {
    for (int i = 1; i < threads; ++i) helpers.emplace_back(work, i);
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  work(0);
  for (std::thread& t : helpers) t.join();
}

// The palette's colours for the pictures (at most colours of them, or screenColours when the
// pictures hold few enough distinct colours to be counted one by one), counted on threads threads
// (widest: the widest picture), refined in refinePasses passes; one progress step a picture.
// False when stopped. Throws std::bad_alloc when memory is short.
bool PaletteFor(const std::vector<HqPicture>& pictures, int colours, int screenColours,
                uint32_t widest, int threads, int refinePasses, ProgressMeter* progress,
                std::vector<PaletteEntry>* out);

}  // namespace hq
}  // namespace lw
