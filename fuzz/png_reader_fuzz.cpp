// Feeds arbitrary bytes to the PNG reader; whatever it reads must write back and read again.
#include "formats/common/png_codec.h"
#include "still_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return lw::fuzz::RoundTrip(data, size, "png", lw::ReadPng, lw::WritePng);
}
