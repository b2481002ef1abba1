#include "formats/avi/avi_fix.h"

#include "colour/palette_fit.h"
#include "colour/unoptimize.h"
#include "core/undo.h"
#include "core/undo_kinds.h"
#include "formats/common/format_entry.h"

namespace lw {
namespace {

// Every transparent frame must use the same index; it moves to 0 and the frames turn opaque.
bool MoveTransparencyToZero(Animation& document) {
  if (!TransparentIndexesAgree(document)) return false;
  int shared = -1;
  for (const Frame* f = FirstFrame(document); f && shared < 0; f = NextFrame(f))
    if (f->Transparent()) shared = f->transparentIndex;
  if (shared > 0 && document.globalPalette && shared < document.globalPalette->Count()) {
    std::swap(document.globalPalette->entries[0], document.globalPalette->entries[shared]);
    const uint8_t t = static_cast<uint8_t>(shared);
    for (Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
      uint8_t* bits = f->bits();
      if (!bits) continue;
      const uint64_t stride = IndexStride(f->DibWidth());
      for (uint32_t y = 0; y < f->DibHeight(); ++y)
        for (uint32_t x = 0; x < f->DibWidth(); ++x) {
          uint8_t& p = bits[stride * y + x];
          p = p == t ? 0 : p == 0 ? t : p;
        }
    }
  }
  for (Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
    SetTransparentIndex(f, 0);
    UpdateDibColourTable(f);
  }
  return true;
}

// An AVI stream has no transparency: index 0 holds what was transparent.
void MakeOpaque(Animation& document) {
  for (Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
    if (!f->Transparent()) continue;
    SetTransparency(f, false);
    UpdateDibColourTable(f);
  }
}

}  // namespace

bool TransparentIndexesAgree(const Animation& document) {
  int shared = -1;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
    if (!f->Transparent()) continue;
    if (shared >= 0 && shared != f->transparentIndex) return false;
    shared = f->transparentIndex;
  }
  return true;
}

bool FixForAvi(WindowHandle owner, Animation& document, const PaletteFitOptions& fit,
               uint32_t* traits) {
  UndoStep step(UndoStep::Restore, UndoKind::FixForAvi, document);
  bool fixed = true;
  if (*traits & doctrait::LocalPalette) {
    uint32_t word = fit.storedWord & ~(merge::MethodMask | merge::Ask);
    fixed = FitPalettes(nullptr, &document, word | merge::Adaptive | merge::TakeLocals, fit, owner,
                        nullptr) == 1;
  }
  if (fixed && (*traits & doctrait::Transparency)) fixed = MoveTransparencyToZero(document);
  // Unoptimizing (with its own undo entry) still sees through the transparent pixels.
  if (fixed && (*traits & doctrait::OffScreen)) fixed = UnoptimizeAnimation(owner, document);
  if (fixed) MakeOpaque(document);
  if (!fixed) return false;
  step.Commit();
  document.encodedSizeCache = -1;
  *traits &= ~(doctrait::LocalPalette | doctrait::Transparency | doctrait::OffScreen);
  return true;
}

bool AviPanelAllowed(uint32_t documentTraits) {
  return !(documentTraits &
           (doctrait::LocalPalette | doctrait::Transparency | doctrait::OffScreen));
}

}  // namespace lw
