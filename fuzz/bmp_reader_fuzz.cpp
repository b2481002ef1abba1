// Feeds arbitrary bytes to the packed-DIB import, directly and through a BMP file. Whatever
// is read must write back out as a BMP and read again at the same size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/gif_reader.h"
#include "formats/bmp/bmp_format.h"
#include "formats/bmp/packed_dib.h"
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
  return "/tmp/lw-bmp-fuzz-" + std::to_string(::getpid()) + "-" + name;
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

  lw::AnimationPtr direct = lw::DibToAnimation(data, size);
  (void)direct;

  static const std::string in = TempPath("in.bmp"), out = TempPath("out.bmp");
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  lw::AnimationPtr doc;
  int status = lw::ReadBmp(in, &doc);
  if ((status == 0) != (doc == nullptr)) std::abort();
  if (!doc) return 0;
  lw::Frame* frame = lw::FirstFrame(*doc);
  if (!lw::WriteBmp(out, frame, 0)) std::abort();
  lw::AnimationPtr again;
  if (lw::ReadBmp(out, &again) != 1) std::abort();
  if (lw::FirstFrame(*again)->width != frame->width) std::abort();
  return 0;
}
