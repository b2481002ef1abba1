// Feeds arbitrary bytes to the movie reader straight from memory (FFmpeg's demuxers and
// decoders behind it): whatever is read must be a well-formed animation of the stream's size.
#include <cstdlib>

#include "formats/avi/avi_format.h"
#include "still_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lw::fuzz::SetUpOnce();
  lw::AnimationPtr read;
  if (lw::ReadAviMemory(data, size, {}, &read) == 0) return 0;
  int count = 0;
  for (const lw::Frame* f = lw::FirstFrame(*read); f; f = lw::NextFrame(f), ++count) {
    if (f->width != read->screenWidth || f->height != read->screenHeight) std::abort();
    if (f->dib.empty() && f->rgbPlane.size() != lw::RgbStride(f->width) * f->height) std::abort();
  }
  if (count != read->frameCount || count == 0) std::abort();
  return 0;
}
