// Feeds arbitrary bytes to the animated-cursor reader; whatever it reads must write back and
// read again with as many frames of the same sizes.
#include <unistd.h>

#include "formats/ani/ani_format.h"
#include "still_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lw::fuzz::SetUpOnce();
  static const std::string out = "/tmp/lw-fuzz-" + std::to_string(::getpid()) + "-out.ani";
  lw::AnimationPtr doc;
  int status = lw::ReadAniBytes(data, size, {}, nullptr, &doc);
  if ((status == 0) != (doc == nullptr)) std::abort();
  if (!doc) return 0;
  if (!lw::WriteAniFile(out, *doc, {}, nullptr)) std::abort();
  lw::AnimationPtr again;
  if (lw::ReadAniFile(out, {}, nullptr, &again, nullptr) != 1) std::abort();
  if (again->frameCount != doc->frameCount) std::abort();
  for (lw::Frame *a = FirstFrame(*doc), *b = FirstFrame(*again); a && b;
       a = NextFrame(a), b = NextFrame(b))
    if (a->width != b->width || a->height != b->height) std::abort();
  return 0;
}
