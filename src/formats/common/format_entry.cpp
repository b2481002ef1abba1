#include "formats/common/format_entry.h"

namespace lw {

uint32_t DocumentTraits(const Animation& animation) {
  uint32_t traits = 0;
  int frames = 0;
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    ++frames;
    if (f->selected) traits |= doctrait::Selection;
    if (!f->rgbPlane.empty()) traits |= doctrait::TrueColour;
    if (f->localPalette) traits |= doctrait::LocalPalette;
    if (f->Transparent()) traits |= doctrait::Transparency;
    if (f->left != 0 || f->top != 0 || f->width != animation.screenWidth ||
        f->height != animation.screenHeight) {
      traits |= doctrait::OffScreen;
    }
  }
  if (frames > 1) traits |= doctrait::SeveralFrames;
  return traits;
}

}  // namespace lw
