// Feeds arbitrary bytes to the GIF reader. Reading with images decoded on worker threads must
// give what one thread gives; whatever it keeps must write back out, and what is written must
// read back as the same frames.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/byte_sink.h"
#include "core/gif_reader.h"
#include "core/gif_writer.h"
#include "core/picture_budget.h"
#include "quiet_services.h"

namespace {

bool SamePixels(const lw::Frame& a, const lw::Frame& b) {
  if (a.width != b.width || a.height != b.height) return false;
  uint64_t stride = lw::IndexStride(a.width);
  for (uint32_t y = 0; y < a.height; ++y)
    if (std::memcmp(a.bits() + y * stride, b.bits() + y * stride, a.width) != 0) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    lw::fuzz::InstallQuietServices();
    lw::SetPictureBudgetBytes(uint64_t{4} << 20);  // keeps each run short
    return true;
  }();
  (void)ready;

  lw::AnimationPtr doc;
  lw::SetGifDecoderThreads(1);
  lw::GifReadStatus status = lw::ReadGifMemory(data, size, nullptr, &doc);
  if ((status == lw::GifReadStatus::Failed) != (doc == nullptr)) std::abort();
  lw::AnimationPtr threaded;
  lw::SetGifDecoderThreads(2);
  if (lw::ReadGifMemory(data, size, nullptr, &threaded) != status) std::abort();
  if (!doc) return 0;
  if (threaded->frameCount != doc->frameCount || threaded->playCount != doc->playCount)
    std::abort();
  for (lw::Frame *f = lw::FirstFrame(*doc), *g = lw::FirstFrame(*threaded); f;
       f = lw::NextFrame(f), g = lw::NextFrame(g))
    if (!g || !SamePixels(*f, *g) || f->transparencyMask != g->transparencyMask) std::abort();

  std::vector<uint8_t> out;
  lw::ByteSink sink(&out);
  // Whatever was read can be saved.
  if (lw::WriteGif(sink, *doc, nullptr) != lw::GifWriteStatus::Done) std::abort();
  lw::AnimationPtr again;
  if (lw::ReadGifMemory(out.data(), out.size(), nullptr, &again) != lw::GifReadStatus::Done)
    std::abort();
  if (again->frameCount != doc->frameCount) std::abort();
  for (lw::Frame *f = lw::FirstFrame(*doc), *g = lw::FirstFrame(*again); f;
       f = lw::NextFrame(f), g = lw::NextFrame(g))
    if (!g || !SamePixels(*f, *g)) std::abort();
  return 0;
}
