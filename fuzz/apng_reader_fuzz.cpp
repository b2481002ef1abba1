// Feeds arbitrary bytes to the animated PNG reader; whatever it reads must write back out as an
// animated PNG and read again with as many frames.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/picture_budget.h"
#include "formats/png/apng_format.h"
#include "still_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lw::fuzz::SetUpOnce();
  lw::AnimationPtr doc;
  const int status = lw::ReadApngBytes(data, size, {}, &doc, nullptr);
  if ((status == 0) != (doc == nullptr)) std::abort();
  // A still picture of one byte a pixel may be read where four bytes a pixel are not written.
  if (!doc || !lw::PictureFitsBudget(doc->screenWidth, doc->screenHeight, 4)) return 0;
  static const std::string out = "/tmp/lw-fuzz-" + std::to_string(::getpid()) + "-out.apng";
  if (!lw::WriteApng(out, out, *doc, {}, nullptr)) std::abort();
  lw::AnimationPtr again;
  if (lw::ReadApng(out, {}, &again, nullptr) != 1 || again->frameCount != doc->frameCount)
    std::abort();
  return 0;
}
