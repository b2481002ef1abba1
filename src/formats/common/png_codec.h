// PNG pictures through libpng: any PNG libpng accepts is read into a one-frame animation (palette
// and grey images straight into the 8-bit DIB, the others into 24-bit data); one frame is
// written as RGBA, RGB or paletted. Still and animated PNG files and the PNG images of icons share
// it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/animation.h"
#include "core/delay_units.h"

namespace lw {

// 1 on success, 0 on failure (message shown, *out none). The document is made with timing.
int ReadPng(const std::string& path, const Timing& timing, AnimationPtr* out);
// The same from PNG bytes held in memory (an image stored inside another file).
int ReadPngBytes(const uint8_t* data, size_t size, const Timing& timing, AnimationPtr* out);
bool WritePng(const std::string& path, Frame* frame);

// While one lives, the still PNG files named (in the order they are to be read) are decoded
// ahead on the other cores, a few at a time; ReadPng then takes a file's picture from there and
// says what it would have said of it (when it reads with the same timing). One at a time: a
// second one made meanwhile does nothing.
class PngReadAhead {
 public:
  PngReadAhead(const std::vector<std::string>& paths, const Timing& timing);
  ~PngReadAhead();
  PngReadAhead(const PngReadAhead&) = delete;
  PngReadAhead& operator=(const PngReadAhead&) = delete;
  struct State;

 private:
  State* state_ = nullptr;
};

// One image for EncodePngBytes: 8-bit samples, rows top first.
struct PngImage {
  enum ColourType { Rgb = 2, Indexed = 3, Rgba = 6 };
  uint32_t width = 0;
  uint32_t height = 0;
  int colourType = Rgb;
  const uint8_t* rows = nullptr;  // blue, green, red (and alpha) per pixel, or indexes
  size_t rowBytes = 0;
  const uint8_t* paletteRgb = nullptr;  // Indexed: red, green, blue triples
  int paletteCount = 0;
};
// The image as a PNG stream in memory, for files that carry PNG data. False when libpng fails.
bool EncodePngBytes(const PngImage& image, std::vector<uint8_t>* out);

}  // namespace lw
