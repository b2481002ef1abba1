// Palette fitting: the six ways frames that join an animation get a common palette.
#include "colour/palette_fit.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/colour_internal.h"
#include "colour/quantize_hq.h"
#include "platform/flow_dialogs.h"

namespace lw {

namespace {

constexpr const char* NoMemoryForPalettes = TableText(str::NoMemoryForPalettes);
constexpr const char* RemappingColours = TableText(str::RemappingFrameColours);

int ColoursOfExponent(uint32_t e) { return e < 3 || e > 8 ? 256 : 1 << e; }

struct Fit {
  Animation* target = nullptr;
  Animation* first = nullptr;
  std::vector<Animation*> sources;
  uint32_t word = 0;
  bool dither = false;
  bool keepTrueColour = false;  // frames mapped from their 24-bit data keep it
  const PaletteFitOptions* options = nullptr;
  WindowHandle owner = nullptr;
  ProgressMeter* progress = nullptr;
};

template <typename F>
void ForEachGlobalFrame(Animation& a, F&& f) {
  for (Frame* frame = FirstFrame(a); frame; frame = NextFrame(frame)) {
    if (colour::UsesGlobalPalette(frame)) f(frame);
  }
}

bool AnyTrueColourOnly(const std::vector<Animation*>& sources) {
  for (Animation* a : sources) {
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      if (IsTrueColourOnly(f)) return true;
    }
  }
  return false;
}

int CountFrames(const std::vector<Animation*>& sources) {
  int n = 0;
  for (Animation* a : sources) {
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) ++n;
  }
  return n;
}

// The chain joined into its first animation, whose global palette is then dropped when the
// frames go to a target.
void JoinSources(Fit& fit) {
  MergeChain(*fit.first);
  fit.sources.assign(1, fit.first);
  if (fit.target) SetGlobalPalette(*fit.first, nullptr);
}

void QuantizeTrueColourFrames(Animation& a, Palette* palette, bool dither, bool keepTrueColour) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (IsTrueColourOnly(f)) QuantizeTrueColourFrame(f, palette, dither, keepTrueColour);
  }
}

// A transparent frame dithered onto a palette: its transparent pixels take `to`, which no opaque
// pixel may take. Falls back to the plain mapping when dithering cannot run.
void DitherGlobalFrame(Frame* f, Palette* palette, uint16_t to, const PaletteMapping& fallback) {
  bool transparent = f->Transparent() && to != NoIndex;
  uint8_t slot = transparent ? static_cast<uint8_t>(to) : 0;
  if (f->dib.empty() || !DitherFrameToPalette(f, *palette, slot, transparent ? slot : -1)) {
    colour::RemapGlobalFrame(f, palette, fallback);
    return;
  }
  RemapFrame(f, palette, nullptr);
  if (f->Transparent()) {
    if (!transparent) {
      SetTransparency(f, false);
    } else if (f->transparentIndex != slot) {
      SetTransparentIndex(f, slot);
    }
  }
}

// An animation's global frames and 24-bit frames mapped onto palette, which the caller installs.
void MapAnimationOnto(Animation& a, Palette* palette, bool dither, bool keepTrueColour) {
  Palette black;
  black.entries.resize(256);
  const Palette* old = a.globalPalette ? a.globalPalette.get() : &black;
  PaletteMapping mapping = MapPaletteToPalette(*old, *palette);
  ForEachGlobalFrame(a, [&](Frame* f) {
    if (!dither) {
      colour::RemapGlobalFrame(f, palette, mapping);
      return;
    }
    // Transparent pixels go to the entry nearest their old colour.
    uint16_t to = NoIndex;
    if (f->Transparent()) {
      PaletteEntry c =
          f->transparentIndex < old->Count() ? old->entries[f->transparentIndex] : PaletteEntry{};
      to = static_cast<uint16_t>(palette->NearestIndex(c.red, c.green, c.blue));
    }
    DitherGlobalFrame(f, palette, to, mapping);
  });
  if (mapping[a.backgroundIndex] != NoIndex) {
    a.backgroundIndex = static_cast<uint8_t>(mapping[a.backgroundIndex]);
  } else {
    a.backgroundIndex = 0;
  }
  QuantizeTrueColourFrames(a, palette, dither, keepTrueColour);
}

// Frames that borrowed `from` borrow `to`.
void Repoint(Animation& a, const Palette* from, Palette* to) {
  ForEachGlobalFrame(a, [&](Frame* f) {
    if (f->palette == from) {
      f->palette = to;
      UpdateDibColourTable(f);
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Method 1: one optimal palette for everything.

bool AnyTransparency(const Fit& fit) {
  auto check = [](const Animation& a) {
    for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
      if (f->Transparent() || !f->alphaPlane.empty()) return true;
    }
    return false;
  };
  if (fit.target && check(*fit.target)) return true;
  for (Animation* a : fit.sources) {
    if (check(*a)) return true;
  }
  return false;
}

void AddAnimationColours(OctreeQuantizer& q, const Animation& a, bool takeLocals) {
  uint32_t counts[256];
  if (a.globalPalette) {
    colour::CountGlobalUsage(a, counts, colour::SomeGlobalFrameTransparent(a));
    q.AddPalette(*a.globalPalette, counts);
  }
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    PixelSource source;
    if (takeLocals && f->localPalette) {
      CountOpaqueFrameColours(f, counts, true);
      q.AddPalette(*f->localPalette, counts);
    } else if (IsTrueColourOnly(f) && TrueColourSource(f, &source)) {
      q.AddImage(source.width, source.height, source.rgbRows, source.rgbStride, source.alphaRows,
                 source.alphaStride);
    }
  }
}

void RemapAdaptive(Fit& fit, Animation& a, Palette* palette, const OctreeQuantizer& q,
                   bool reserve) {
  uint8_t last = static_cast<uint8_t>(palette->Count() - 1);
  int excluded = reserve ? last : -1;
  Palette black;
  black.entries.resize(256);
  const Palette* old = a.globalPalette ? a.globalPalette.get() : &black;
  PaletteMapping mapping = q.MapPalette(*old);
  bool takeLocals = fit.word & merge::TakeLocals;
  if (a.backgroundIndex < old->Count()) {
    const PaletteEntry& c = old->entries[a.backgroundIndex];
    a.backgroundIndex = static_cast<uint8_t>(q.LookUp(c.red, c.green, c.blue));
  }
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    bool local = f->localPalette != nullptr;
    if (IsTrueColourOnly(f)) {
      if (fit.dither) {
        QuantizeTrueColourFrame(f, palette, true, fit.keepTrueColour);
      } else {
        QuantizeTrueColourFrameOctree(f, palette, q, fit.keepTrueColour);
      }
    } else if (!local || takeLocals) {
      bool dithered =
          fit.dither && !f->dib.empty() && DitherFrameToPalette(f, *palette, last, excluded);
      PaletteMapping forFrame = local ? q.MapPalette(*f->localPalette) : mapping;
      PalettePtr oldLocal = local ? SetLocalPalette(f, nullptr) : nullptr;
      if (f->Transparent()) forFrame[f->transparentIndex] = last;
      RemapFrame(f, palette, dithered ? nullptr : &forFrame);
      if (dithered && f->Transparent() && f->transparentIndex != last) {
        SetTransparentIndex(f, last);
      }
    }
    ProgressStep(fit.progress);
  }
}

int FitAdaptive(Fit& fit, int colours) {
  bool reserve = AnyTransparency(fit);
  bool takeLocals = fit.word & merge::TakeLocals;
  OctreeQuantizer q(colours);
  // Colours that already fit keep their exact values; only a surplus is worth approximating.
  q.SetExactWhenFits(true);
  ProgressSetText(fit.progress, TableText(str::AnalysingColours));
  if (fit.target) AddAnimationColours(q, *fit.target, takeLocals);
  for (Animation* a : fit.sources) AddAnimationColours(q, *a, takeLocals);
  PalettePtr palette = q.MakePalette(colours, reserve);
  if (!palette) {
    ShowError("%s", NoMemoryForPalettes);
    return 0;
  }
  ProgressSetText(fit.progress, RemappingColours);
  ProgressSetRange(fit.progress,
                   CountFrames(fit.sources) + (fit.target ? CountFrames({fit.target}) : 0));
  if (fit.target) RemapAdaptive(fit, *fit.target, palette.get(), q, reserve);
  for (Animation* a : fit.sources) RemapAdaptive(fit, *a, palette.get(), q, reserve);
  JoinSources(fit);
  Animation& owner = fit.target ? *fit.target : *fit.first;
  SetGlobalPalette(owner, std::move(palette));
  CountColourUsage(owner, owner.colourUsage.data(), true);
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Method 2: the new colours merged into the target's palette.

int FitMerge(Fit& fit) {
  ProgressSetText(fit.progress, RemappingColours);
  if (AnyTrueColourOnly(fit.sources)) {
    // 24-bit frames first get a palette of their own, which is then merged like any other.
    uint32_t e2 = (fit.word >> 20) & 0xF;
    uint32_t word = merge::Adaptive | (fit.word & merge::Dither) | (e2 << 16) | (e2 << 20);
    int result = FitPalettes(nullptr, fit.first, word, *fit.options, fit.owner, fit.progress);
    if (result != 1) return result;
    fit.sources.assign(1, fit.first);
  }
  Animation& target = *fit.target;
  uint32_t targetUsage[256];
  colour::CountGlobalUsage(target, targetUsage, false);
  std::vector<Animation*> done;
  for (Animation* a : fit.sources) {
    if (!a->globalPalette) continue;
    uint32_t sourceUsage[256];
    colour::CountGlobalUsage(*a, sourceUsage, false);
    PaletteMerge merged;
    PalettePtr grown;
    try {
      if (!MergeIntoPalette(*target.globalPalette, targetUsage, *a->globalPalette, sourceUsage,
                            &merged)) {
        throw std::bad_alloc();
      }
      if (merged.changed) {
        grown = std::make_unique<Palette>();
        grown->entries = merged.entries;
      }
    } catch (const std::bad_alloc&) {
      ShowError("%s", NoMemoryForPalettes);
      return 0;
    }
    std::copy(merged.usage.begin(), merged.usage.end(), targetUsage);
    if (grown) {
      Palette* installed = grown.get();
      PalettePtr old = SetGlobalPalette(target, std::move(grown));
      SetGlobalFramesPalette(target, installed);
      // Sources merged before this one point at the palette that just went.
      for (Animation* d : done) Repoint(*d, old.get(), installed);
    }
    Palette* palette = target.globalPalette.get();
    if (!merged.exact && fit.dither) {
      ForEachGlobalFrame(*a, [&](Frame* f) {
        uint16_t to = f->Transparent() ? colour::TransparentTarget(
                                             merged.mapping, f->transparentIndex, palette->Count())
                                       : NoIndex;
        DitherGlobalFrame(f, palette, to, merged.mapping);
      });
    } else {
      RemapGlobalFrames(*a, palette, merged.mapping);
    }
    done.push_back(a);
  }
  std::copy(std::begin(targetUsage), std::end(targetUsage), target.colourUsage.begin());
  JoinSources(fit);
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Method 4: the target's palette, unchanged.

int FitMap(Fit& fit) {
  ProgressSetText(fit.progress, RemappingColours);
  for (Animation* a : fit.sources)
    MapAnimationOnto(*a, fit.target->globalPalette.get(), fit.dither, fit.keepTrueColour);
  JoinSources(fit);
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Methods 8 and 0x400: everything on a fixed palette.

int FitFixed(Fit& fit, PalettePtr fixed) {
  ProgressSetText(fit.progress, RemappingColours);
  // Without a target the first source plays its part: the others are compared with its palette.
  Animation& anchor = fit.target ? *fit.target : *fit.first;
  Palette* final;
  if (PalettesEqual(anchor.globalPalette.get(), fixed.get())) {
    final = anchor.globalPalette.get();
    QuantizeTrueColourFrames(anchor, final, fit.dither, fit.keepTrueColour);
  } else {
    final = fixed.get();
    MapAnimationOnto(anchor, final, fit.dither, fit.keepTrueColour);
    SetGlobalPalette(anchor, std::move(fixed));
  }
  for (Animation* a : fit.sources) {
    if (a == &anchor) continue;
    if (PalettesEqual(a->globalPalette.get(), final)) {
      Repoint(*a, a->globalPalette.get(), final);
      QuantizeTrueColourFrames(*a, final, fit.dither, fit.keepTrueColour);
    } else {
      MapAnimationOnto(*a, final, fit.dither, fit.keepTrueColour);
    }
  }
  JoinSources(fit);
  if (!fit.target) CountColourUsage(*fit.first, fit.first->colourUsage.data(), true);
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Method 16: a local palette for every frame.

// The alpha of a frame's 24-bit data: its own plane, or, for a transparent frame that also has
// an indexed image of the same size, zero where that image holds the transparent index.
bool EffectiveAlpha(const Frame* f, PixelSource* source, std::vector<uint8_t>* made) {
  if (source->alphaRows || !f->Transparent()) return true;
  colour::IndexLayout layout;
  if (!colour::FrameIndexLayout(f, &layout) || layout.width != f->width ||
      layout.height != f->height) {
    return true;
  }
  try {
    made->assign(layout.stride * layout.height, 255);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const uint8_t* bits = f->bits();
  for (uint64_t i = 0; i < made->size(); ++i) {
    if (bits[i] == f->transparentIndex) (*made)[i] = 0;
  }
  source->alphaRows = made->data();
  source->alphaStride = layout.stride;
  return true;
}

bool LocalPaletteFromTrueColour(Frame* f, PixelSource source, int colours, bool dither,
                                bool keepTrueColour) {
  std::vector<uint8_t> alpha;
  if (!EffectiveAlpha(f, &source, &alpha)) return false;
  bool reserve = f->Transparent() || source.alphaRows;
  OctreeQuantizer q(colours);
  q.SetExactWhenFits(true);
  q.AddImage(source.width, source.height, source.rgbRows, source.rgbStride, source.alphaRows,
             source.alphaStride);
  PalettePtr palette = q.MakePalette(colours, reserve);
  if (!palette) return false;
  std::vector<uint8_t> dib = BuildDib(f->width, f->height, palette.get());
  if (dib.empty()) return false;
  uint8_t last = static_cast<uint8_t>(palette->Count() - 1);
  uint8_t* out = dib.data() + DibBitsOffset;
  uint64_t stride = IndexStride(f->width);
  if (!dither || !DitherToPalette(source, *palette, last, out, stride, reserve ? last : -1)) {
    q.MapImage(source, last, out, stride);
  }
  SetLocalPalette(f, std::move(palette));
  SetFrameDib(f, std::move(dib));
  if (reserve) {
    SetTransparentIndex(f, last);
    SetTransparency(f, true);
  }
  if (!keepTrueColour) FreeRgbPlane(f);
  return true;
}

int FitLocal(Fit& fit) {
  ProgressSetText(fit.progress, TableText(str::CreatingLocalPalettes));
  ProgressSetRange(fit.progress, CountFrames(fit.sources));
  int colours = PaletteMergeTrueColours(fit.word);
  for (Animation* a : fit.sources) {
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      PixelSource source;
      if (TrueColourSource(f, &source)) {
        if (!LocalPaletteFromTrueColour(f, source, colours, fit.dither, fit.keepTrueColour)) {
          ShowError("%s", NoMemoryForPalettes);
          return 0;
        }
      } else if (!f->localPalette && a->globalPalette) {
        PalettePtr copy = CopyPalette(a->globalPalette.get());
        if (!copy) {
          ShowError("%s", NoMemoryForPalettes);
          return 0;
        }
        SetLocalPalette(f, std::move(copy));
      }
      ProgressStep(fit.progress);
    }
    SetGlobalPalette(*a, nullptr);
  }
  JoinSources(fit);
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Method 0x800: one palette for every frame by the high-quality method.

int FitHighQuality(Fit& fit) {
  const bool takeLocals = fit.word & merge::TakeLocals;
  std::vector<Animation*> all;
  std::vector<Frame*> frames;
  std::vector<PaletteEntry> backgrounds;
  try {
    if (fit.target) all.push_back(fit.target);
    all.insert(all.end(), fit.sources.begin(), fit.sources.end());
    for (Animation* a : all) {
      PaletteEntry background{};
      if (a->globalPalette && a->backgroundIndex < a->globalPalette->Count())
        background = a->globalPalette->entries[a->backgroundIndex];
      backgrounds.push_back(background);
      for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
        if (!f->localPalette || takeLocals) frames.push_back(f);
      }
    }
  } catch (const std::bad_alloc&) {
    ShowError("%s", NoMemoryForPalettes);
    return 0;
  }
  QualitySettings settings = WithDitherAsked(QualityFor(PaletteMergeQuality(fit.word)), fit.dither);
  settings.keepTrueColour = fit.word & merge::KeepTrueColour;
  settings.keepRgbPlanes = fit.keepTrueColour;
  ProgressSetText(fit.progress, TableText(str::AnalysingColours));
  PalettePtr palette;
  const int status = QuantizeFrames(frames, settings, fit.progress, &palette);
  if (status == 0) ShowError("%s", NoMemoryForPalettes);
  if (status != 1) return status;
  for (size_t i = 0; i < all.size(); ++i) {
    const PaletteEntry& c = backgrounds[i];
    all[i]->backgroundIndex = static_cast<uint8_t>(palette->NearestIndex(c.red, c.green, c.blue));
  }
  JoinSources(fit);
  Animation& owner = fit.target ? *fit.target : *fit.first;
  SetGlobalPalette(owner, std::move(palette));
  CountColourUsage(owner, owner.colourUsage.data(), true);
  return 1;
}

}  // namespace

uint32_t PaletteMergeMethod(uint32_t word) {
  for (uint32_t bit : {merge::Adaptive, merge::MergeGlobal, merge::MapGlobal, merge::Web,
                       merge::LocalEach, merge::Fixed, merge::HighQuality}) {
    if (word & bit) return bit;
  }
  return merge::Adaptive;
}

int PaletteMergeQuality(uint32_t word) {
  const int q = static_cast<int>((word & merge::Quality) >> merge::QualityShift);
  return q == 0 ? DefaultQuality : std::clamp(q, MinQuality, MaxQuality);
}

uint32_t HighQualityMergeWord(int quality) {
  const auto q = static_cast<uint32_t>(std::clamp(quality, MinQuality, MaxQuality));
  return merge::HighQuality | merge::TakeLocals | (q << merge::QualityShift);
}

int PaletteMergeColours(uint32_t word) { return ColoursOfExponent((word >> 16) & 0xF); }
int PaletteMergeTrueColours(uint32_t word) { return ColoursOfExponent((word >> 20) & 0xF); }

int FitPalettes(Animation* target, Animation* sources, uint32_t methodWord,
                const PaletteFitOptions& options, WindowHandle owner, ProgressMeter* progress) {
  if (!sources) return 0;
  Fit fit;
  fit.target = target;
  fit.first = sources;
  fit.owner = owner;
  fit.progress = progress;
  fit.options = &options;
  fit.keepTrueColour = options.keepTrueColour;
  for (Animation* a = sources; a; a = a->nextInChain.get()) fit.sources.push_back(a);
  bool trueColour = AnyTrueColourOnly(fit.sources);

  // Frames that already share the target's palette only need to point at it. Frames with 24-bit
  // data only still need an image, so they never take this way.
  if (target && target->globalPalette && !trueColour) {
    bool allEqual = true;
    for (Animation* a : fit.sources) {
      allEqual = allEqual && PalettesEqual(a->globalPalette.get(), target->globalPalette.get());
    }
    if (allEqual) {
      for (Animation* a : fit.sources) {
        SetGlobalPalette(*a, nullptr);
        SetGlobalFramesPalette(*a, target->globalPalette.get());
      }
      MergeChain(*sources);
      return 1;
    }
  }
  if (!target && fit.sources.size() == 1 && !trueColour && !(methodWord & merge::TakeLocals)) {
    return 1;
  }

  uint32_t word = methodWord;
  if (word == 0) {
    word = options.storedWord;
    if (word & merge::Ask) {
      word = Dialogs().AskPaletteMerge(owner, word);
      if (word == 0) return 2;
    }
  }
  fit.word = word;
  fit.dither = word & merge::Dither;
  uint32_t method = PaletteMergeMethod(word);
  int colours = PaletteMergeColours(word);

  if ((method == merge::MergeGlobal || method == merge::MapGlobal) &&
      (!target || !target->globalPalette)) {
    if (target && fit.sources.size() == 1 && !trueColour) {
      // An empty target simply takes the source's palette.
      PalettePtr palette = SetGlobalPalette(*sources, nullptr);
      Palette* adopted = palette.get();
      SetGlobalPalette(*target, std::move(palette));
      SetGlobalFramesPalette(*sources, adopted);
      return 1;
    }
    method = merge::Adaptive;
    colours = PaletteMergeTrueColours(word);
  }

  switch (method) {
    case merge::MergeGlobal: return FitMerge(fit);
    case merge::MapGlobal: return FitMap(fit);
    case merge::Web:
    case merge::Fixed: {
      PalettePtr palette = method == merge::Web   ? WebPalette()
                           : options.fixedPalette ? options.fixedPalette()
                                                  : nullptr;
      if (palette && palette->Count() > 0) return FitFixed(fit, std::move(palette));
      if (method == merge::Web) {
        ShowError("%s", NoMemoryForPalettes);
        return 0;
      }
      return FitAdaptive(fit, colours);  // no fixed palette stored
    }
    case merge::LocalEach: return FitLocal(fit);
    case merge::HighQuality: return FitHighQuality(fit);
    default: return FitAdaptive(fit, colours);
  }
}

bool MergeIntoPalette(const Palette& target, const uint32_t* targetUsage, const Palette& source,
                      const uint32_t* sourceUsage, PaletteMerge* out) {
  if (!out || !sourceUsage) return false;
  try {
    out->entries.assign(target.entries.begin(),
                        target.entries.begin() + std::min(target.Count(), 256));
  } catch (const std::bad_alloc&) {
    return false;
  }
  out->usage.fill(0);
  if (targetUsage) std::copy_n(targetUsage, out->entries.size(), out->usage.begin());
  out->mapping = EmptyPaletteMapping();
  out->exact = true;
  out->changed = false;
  auto& entries = out->entries;
  size_t freeSearch = 0;
  for (int i = 0; i < std::min(source.Count(), 256); ++i) {
    if (sourceUsage[i] == 0) continue;
    const PaletteEntry& colour = source.entries[i];
    NearestResult nearest = NearestColour(entries.data(), static_cast<int>(entries.size()),
                                          colour.red, colour.green, colour.blue);
    size_t chosen;
    if (!entries.empty() && nearest.exact) {
      chosen = nearest.index;
    } else {
      while (freeSearch < entries.size() && out->usage[freeSearch] != 0) ++freeSearch;
      if (freeSearch < entries.size()) {
        chosen = freeSearch;
        entries[chosen] = colour;
        out->changed = true;
      } else if (entries.size() < 256) {
        entries.push_back(colour);  // capacity reserved: cannot throw past 256
        chosen = entries.size() - 1;
        out->changed = true;
      } else {
        chosen = nearest.index;
        out->exact = false;
      }
    }
    uint64_t sum = uint64_t{out->usage[chosen]} + sourceUsage[i];
    out->usage[chosen] = static_cast<uint32_t>(std::min<uint64_t>(sum, UINT32_MAX));
    out->mapping[i] = static_cast<uint16_t>(chosen);
  }
  return true;
}

bool RemoveLocalPalette(WindowHandle owner, Animation& animation, Frame* frame,
                        const PaletteFitOptions& options, uint32_t methodWord) {
  constexpr const char* NoResources = TableText(str::NoResourcesToRemoveLocalPalette);
  if (!frame || !frame->localPalette) return false;
  if (!animation.globalPalette) {
    PalettePtr local = SetLocalPalette(frame, nullptr);
    SetGlobalPalette(animation, std::move(local));
    frame->palette = animation.globalPalette.get();
    UpdateDibColourTable(frame);
    CountFrameColours(frame, animation.colourUsage.data(), true);
    return true;
  }
  AnimationPtr holder = CloneAnimationHeader(animation);
  // What the frame needs to be put back as it was when the fit fails.
  PalettePtr savedPalette = CopyPalette(frame->localPalette.get());
  std::vector<uint8_t> savedDib;
  try {
    savedDib = frame->dib;
  } catch (const std::bad_alloc&) {
    savedPalette.reset();
  }
  if (!holder || !savedPalette) {
    ShowError("%s", NoResources);
    return false;
  }
  uint8_t savedControl = frame->controlFlags, savedIndex = frame->transparentIndex;
  uint8_t savedDescriptor = frame->descriptorFlags;

  Block* before = frame->prev;
  LinkBlocks(before, frame->next);
  frame->prev = frame->next = nullptr;
  animation.frameCount = static_cast<int16_t>(animation.frameCount - 1);
  LinkBlocks(holder->blocks, frame);
  holder->frameCount = 1;
  SetGlobalPalette(*holder, SetLocalPalette(frame, nullptr));
  frame->palette = holder->globalPalette.get();

  uint32_t word = methodWord;
  if (word == 0) {
    word = options.storedWord;
    if (PaletteMergeMethod(word) == merge::LocalEach)
      word = (word & ~merge::MethodMask) | merge::Adaptive;
    word &= ~merge::Ask;  // asked for one frame's palette, the stored choice serves
    if (word == 0) word = merge::Adaptive;
  }
  int result = FitPalettes(&animation, holder.get(), word, options, owner, nullptr);

  // The frame goes back to its place whatever happened.
  holder->blocks->next = nullptr;
  frame->prev = frame->next = nullptr;
  InsertBlockAfter(before, frame);
  animation.frameCount = static_cast<int16_t>(animation.frameCount + 1);
  if (result != 1) {
    SetLocalPalette(frame, std::move(savedPalette));
    frame->descriptorFlags = savedDescriptor;
    frame->controlFlags = savedControl;
    frame->transparentIndex = savedIndex;
    SetFrameDib(frame, std::move(savedDib));
    return false;
  }
  return true;
}

}  // namespace lw
