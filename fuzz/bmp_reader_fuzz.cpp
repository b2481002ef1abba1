// Feeds arbitrary bytes to the packed-DIB import, directly and through a BMP file; whatever is
// read must write back out as a BMP and read again at the same size.
#include "formats/bmp/bmp_format.h"
#include "formats/common/packed_dib.h"
#include "still_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lw::fuzz::SetUpOnce();
  lw::AnimationPtr direct = lw::DibToAnimation(data, size, {});
  (void)direct;
  return lw::fuzz::RoundTrip(
      data, size, "bmp", lw::ReadBmp,
      [](const std::string& path, lw::Frame* f) { return lw::WriteBmp(path, f, 0); });
}
