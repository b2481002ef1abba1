// Reducing the colours of a whole animation: the global palette, then every local palette.
#include <algorithm>
#include <new>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/colour_engine.h"
#include "colour/colour_internal.h"

namespace lw {

namespace {

constexpr const char* NoMemoryForPalettes = TableText(str::NoMemoryForPalettes);

bool PowerOfTwoCount(int n) {
  return n == 8 || n == 16 || n == 32 || n == 64 || n == 128 || n == 256;
}

PalettePtr PaletteOf(const PaletteEntry* entries, int count, int extraBlack) {
  try {
    auto palette = std::make_unique<Palette>();
    palette->entries.assign(entries, entries + count);
    palette->entries.resize(count + extraBlack);
    return palette;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int CountFrames(const Animation& animation) {
  int n = 0;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) ++n;
  return n;
}

// The global palette and the frames that use it, brought to n colours and a transparent slot.
bool ReduceGlobalPalette(Animation& animation, int n, bool dither, const LockedColours* locked,
                         ProgressMeter* progress) {
  Palette* old = animation.globalPalette.get();
  ProgressSetText(progress, TableText(str::ReducingPalettes));
  uint32_t counts[256];
  int target;
  if (colour::SomeGlobalFrameTransparent(animation)) {
    colour::CountGlobalUsage(animation, counts, true);
    target = n - 1;
  } else {
    colour::CountGlobalUsage(animation, counts, false);
    target = PowerOfTwoCount(n) ? n - 1 : n;
  }
  PaletteEntry work[256] = {};
  int oldCount = std::min(old->Count(), 256);
  std::copy_n(old->entries.begin(), oldCount, work);
  int k = ReducePaletteColours(work, oldCount, counts, target, locked, progress);
  // Without any entry the palette is left as it is rather than taken away from its frames.
  if (k <= 0) return true;
  k = std::min(k, 255);
  PalettePtr reduced = PaletteOf(work, k, 0);
  PalettePtr final = PaletteOf(work, k, 1);  // entry k, black, is the transparent slot
  if (!reduced || !final) {
    ShowError("%s", NoMemoryForPalettes);
    return false;
  }
  uint8_t slot = static_cast<uint8_t>(k);
  PaletteMapping plain = MapPaletteToPalette(*old, *reduced);
  if (dither) ProgressSetText(progress, TableText(str::DitheringFrames));
  ProgressSetRange(progress, CountFrames(animation));
  bool ditherWorks = dither;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (!colour::UsesGlobalPalette(f)) continue;
    // Once cancelled, the frames left are only mapped, the quick way: every frame must still
    // move to the new palette before the old one goes.
    if (ProgressCancelled(progress)) ditherWorks = false;
    bool dithered = ditherWorks && !f->dib.empty() && DitherFrameToPalette(f, *reduced, slot);
    if (ditherWorks && !f->dib.empty() && !dithered) ditherWorks = false;  // said once, then mapped
    if (dithered) {
      RemapFrame(f, final.get(), nullptr);
      if (f->Transparent() && f->transparentIndex != slot) SetTransparentIndex(f, slot);
    } else {
      PaletteMapping forFrame = plain;
      if (f->Transparent()) forFrame[f->transparentIndex] = slot;
      RemapFrame(f, final.get(), &forFrame);
    }
    ProgressStep(progress);
  }
  ProgressSetText(progress, TableText(str::RemappingFrames));
  PaletteEntry background{};
  if (animation.backgroundIndex < old->Count())
    background = old->entries[animation.backgroundIndex];
  animation.backgroundIndex =
      static_cast<uint8_t>(final->NearestIndex(background.red, background.green, background.blue));
  SetGlobalPalette(animation, std::move(final));
  CountColourUsage(animation, animation.colourUsage.data(), true);
  return true;
}

void ReduceLocalPalette(Frame* f, int n, bool dither) {
  Palette* old = f->localPalette.get();
  uint32_t counts[256];
  CountOpaqueFrameColours(f, counts, true);
  bool transparent = f->Transparent();
  int target = transparent ? n - 1 : n;
  PaletteEntry work[256] = {};
  int oldCount = std::min(old->Count(), 256);
  std::copy_n(old->entries.begin(), oldCount, work);
  int k = ReducePaletteColours(work, oldCount, counts, target, nullptr, nullptr);
  if (k <= 0) return;
  // Short palettes get black, then white.
  if (k < target) work[k++] = {0, 0, 0, 0};
  if (k < target) work[k++] = {255, 255, 255, 0};
  k = std::min(k, 255);
  PalettePtr reduced = PaletteOf(work, k, 0);
  PalettePtr final = PaletteOf(work, k, transparent ? 1 : 0);
  if (!reduced || !final) {
    ShowError("%s", NoMemoryForPalettes);
    return;
  }
  uint8_t slot = static_cast<uint8_t>(k);
  if (dither && !f->dib.empty() && DitherFrameToPalette(f, *reduced, slot)) {
    RemapFrame(f, final.get(), nullptr);
    if (transparent && f->transparentIndex != slot) SetTransparentIndex(f, slot);
  } else {
    PaletteMapping mapping = MapPaletteToPalette(*old, *reduced);
    if (transparent) mapping[f->transparentIndex] = slot;
    RemapFrame(f, final.get(), &mapping);
  }
  SetLocalPalette(f, std::move(final));
}

}  // namespace

bool ReduceColours(Animation& animation, int n, bool dither, const LockedColours* locked,
                   ProgressMeter* progress) {
  n = std::clamp(n, 2, 256);
  bool ok = true;
  if (animation.globalPalette && animation.globalPalette->Count() > n) {
    ok = ReduceGlobalPalette(animation, n, dither, locked, progress);
  }
  ProgressSetText(progress, TableText(str::RemappingLocalPalettes));
  ProgressSetRange(progress, CountFrames(animation));
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    // Locked colours belong to the global palette only.
    if (f->localPalette && f->localPalette->Count() > n) ReduceLocalPalette(f, n, dither);
    // Each frame is whole on its own palette: a cancel may stop between two.
    if (!ProgressStep(progress)) break;
  }
  return ok;
}

}  // namespace lw
