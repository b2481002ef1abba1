// Feeds arbitrary bytes to the JPEG reader (through a file, as it reads). Whatever it reads must
// write back out and read again at the same size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/gif_reader.h"
#include "formats/jpeg/jpeg_format.h"
#include "platform/services.h"

namespace {

class QuietServices : public lw::PlatformServices {
 public:
  int MessageBox(lw::WindowHandle, const std::string&, const std::string&, int) override {
    return lw::answer::Ok;
  }
  bool Interactive() const override { return false; }
};

std::string TempPath(const char* name) {
  return "/tmp/lw-jpeg-fuzz-" + std::to_string(::getpid()) + "-" + name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuietServices quiet;
  static const bool ready = [] {
    lw::SetServices(&quiet);
    lw::SetGifFrameByteLimit(uint64_t{4} << 20);  // the picture budget: keeps each run short
    return true;
  }();
  (void)ready;

  static const std::string in = TempPath("in.jpg"), out = TempPath("out.jpg");
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  lw::AnimationPtr doc;
  int status = lw::ReadJpeg(in, &doc);
  if ((status == 0) != (doc == nullptr)) std::abort();
  if (!doc) return 0;
  lw::Frame* frame = lw::FirstFrame(*doc);
  if (!lw::WriteJpeg(out, frame)) std::abort();
  lw::AnimationPtr again;
  if (lw::ReadJpeg(out, &again) != 1) std::abort();
  lw::Frame* back = lw::FirstFrame(*again);
  if (back->width != frame->width || back->height != frame->height) std::abort();
  return 0;
}
