// Feeds arbitrary bytes to the JPEG reader; whatever it reads must write back and read again.
#include "formats/common/jpeg_codec.h"
#include "still_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return lw::fuzz::RoundTrip(
      data, size, "jpg", lw::ReadJpeg,
      [](const std::string& path, lw::Frame* frame) { return lw::WriteJpeg(path, frame, 75); });
}
