// Feeds arbitrary bytes to the ICO/CUR reader; whatever it reads must write back (unless the
// directory would hold two images of one size) and read again with as many frames.
#include <unistd.h>

#include "formats/ico/ico_format.h"
#include "still_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lw::fuzz::SetUpOnce();
  static const std::string out = "/tmp/lw-fuzz-" + std::to_string(::getpid()) + "-out.ico";
  lw::AnimationPtr doc;
  int status = lw::ReadIconBytes(data, size, {}, nullptr, &doc);
  if ((status == 0) != (doc == nullptr)) std::abort();
  if (!doc) return 0;
  if (doc->frameCount < 1) std::abort();
  if (!lw::WriteIconFile(out, *doc, true, nullptr)) return 0;
  lw::AnimationPtr again;
  if (lw::ReadIconFile(out, {}, nullptr, &again, nullptr) != 1) std::abort();
  if (again->frameCount != doc->frameCount) std::abort();
  return 0;
}
