// Feeds arbitrary bytes to the reader of the clipboard block that another running copy of the
// program leaves there. Whatever it keeps must go back into a block that reads as the same
// frames and gives the same bytes again, and every frame must give a packed DIB that the DIB
// reader takes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/clipboard_data.h"
#include "formats/common/packed_dib.h"
#include "quiet_services.h"

namespace {

// The block of every frame, as a copy of the whole animation makes it.
std::vector<uint8_t> BlockOfAll(lw::Animation& animation) {
  for (lw::Frame* f = lw::FirstFrame(animation); f; f = lw::NextFrame(f)) f->selected = 1;
  return lw::PrivateDataFromSelection(animation);
}

bool SameFrames(const lw::Animation& a, const lw::Animation& b) {
  if (a.frameCount != b.frameCount) return false;
  const lw::Frame* g = lw::FirstFrame(b);
  for (const lw::Frame* f = lw::FirstFrame(a); f; f = lw::NextFrame(f), g = lw::NextFrame(g)) {
    if (!g || f->width != g->width || f->height != g->height || f->left != g->left ||
        f->top != g->top || f->delay != g->delay || f->dib != g->dib ||
        f->rgbPlane != g->rgbPlane || f->alphaPlane != g->alphaPlane)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lw::fuzz::InstallQuietServices();

  lw::AnimationPtr doc = lw::AnimationFromPrivateData(data, size);
  if (!doc) return 0;
  const std::vector<uint8_t> block = BlockOfAll(*doc);
  if (block.empty()) std::abort();
  lw::AnimationPtr again = lw::AnimationFromPrivateData(block.data(), block.size());
  if (!again || !SameFrames(*doc, *again)) std::abort();
  if (BlockOfAll(*again) != block) std::abort();

  for (const lw::Frame* f = lw::FirstFrame(*doc); f; f = lw::NextFrame(f)) {
    std::vector<uint8_t> dib = lw::FrameToPackedDib(*f);
    if (dib.empty()) continue;  // no image to give
    lw::AnimationPtr pasted = lw::DibToAnimation(dib.data(), dib.size(), {});
    const uint32_t width = dib[4] | dib[5] << 8 | dib[6] << 16 | uint32_t{dib[7]} << 24;
    if (!pasted || lw::FirstFrame(*pasted)->width != width) std::abort();
  }
  return 0;
}
