// Feeds arbitrary bytes to the WebP reader straight from memory (libwebp's demuxer and decoders
// behind it): whatever is read must be frames of 24-bit colour inside the canvas it announced.
#include <cstdlib>

#include "formats/webp/webp_format.h"
#include "still_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lw::fuzz::SetUpOnce();
  lw::AnimationPtr read;
  if (lw::ReadWebpBytes(data, size, {}, &read, nullptr) == 0) {
    if (read) std::abort();
    return 0;
  }
  int count = 0;
  for (const lw::Frame* f = lw::FirstFrame(*read); f; f = lw::NextFrame(f), ++count) {
    if (f->left < 0 || f->top < 0 || f->width == 0 || f->height == 0 ||
        f->left + uint64_t{f->width} > read->screenWidth ||
        f->top + uint64_t{f->height} > read->screenHeight)
      std::abort();
    if (f->rgbPlane.size() != lw::RgbStride(f->width) * f->height) std::abort();
    if (!f->alphaPlane.empty() && f->alphaPlane.size() != lw::IndexStride(f->width) * f->height)
      std::abort();
  }
  if (count != read->frameCount || count == 0) std::abort();
  return 0;
}
