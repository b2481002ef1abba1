// Feeds arbitrary bytes to the PNG reader; whatever it reads must write back and read again.
#include "formats/png/png_format.h"
#include "still_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return lw::fuzz::RoundTrip(data, size, "png", lw::ReadPng, lw::WritePng);
}
