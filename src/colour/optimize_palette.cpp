// The optimizer's palette step: local palettes folded into the global one (a common meta-palette,
// a mapping, or only where they fit exactly), then unused entries dropped from every palette.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <vector>

#include "base/progress.h"
#include "colour/optimize.h"
#include "core/compose.h"

#if __has_include("colour/palette_fit.h")
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/colour_engine.h"
#include "colour/palette_fit.h"
#define LW_HAVE_PALETTE_FIT 1
#endif

namespace lw {

namespace {

constexpr const char* kRemoveLocalStatus = TableText(str::RemovingLocalPalettes);
constexpr const char* kReduceGlobalStatus = TableText(str::ReducingGlobalPalette);
constexpr const char* kReduceLocalStatus = TableText(str::ReducingLocalPalettes);

bool AnyLocalPalette(const Animation& animation) {
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (f->localPalette) return true;
  }
  return false;
}

#ifdef LW_HAVE_PALETTE_FIT
// The colour a frame's index shows: its palette's entry, black past the palette or without one
// (what the frame's colour table holds).
uint32_t ShownColour(const Frame* f, int index) {
  const Palette* p = f->palette;
  if (!p || index >= p->Count()) return 0;
  const PaletteEntry& e = p->entries[index];
  return uint32_t{e.red} << 16 | uint32_t{e.green} << 8 | e.blue;
}

// When the colours every frame shows fit one palette, folding the local palettes needs no
// quantizing: each colour keeps its own entry, and a transparent frame takes an entry it does not
// show (one more entry while there is room, else one its own pixels leave free, as the files of
// other programs do), or drops transparency it does not use. False, nothing changed, when a
// frame holds 24-bit data or the colours do not fit.
bool FoldPalettesExactly(Animation& animation) {
  std::vector<uint32_t> colours;
  std::map<uint32_t, int> slot;
  // Global colours first, so that frames on the global palette keep their indexes where they can.
  std::vector<const Frame*> order;
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (!f->rgbPlane.empty() || !f->bits()) return false;
    if (!f->localPalette) order.push_back(f);
  }
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f))
    if (f->localPalette) order.push_back(f);
  for (const Frame* f : order) {
    uint32_t counts[256];
    CountOpaqueFrameColours(f, counts, true);
    for (int i = 0; i < 256; ++i) {
      if (!counts[i]) continue;
      uint32_t c = ShownColour(f, i);
      if (slot.emplace(c, static_cast<int>(colours.size())).second) colours.push_back(c);
      if (colours.size() > 256) return false;
    }
  }
  // Each frame's index map and transparent index, decided before anything changes.
  struct Plan {
    Frame* frame;
    std::array<uint8_t, 256> map;
    int transparent;  // -1: opaque from now on
  };
  std::vector<Plan> plans;
  const bool room = colours.size() < 256;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    Plan plan{f, {}, -1};
    uint32_t counts[256];
    CountOpaqueFrameColours(f, counts, true);
    std::array<bool, 256> taken{};
    for (int i = 0; i < 256; ++i) {
      if (!counts[i]) continue;
      plan.map[i] = static_cast<uint8_t>(slot[ShownColour(f, i)]);
      taken[plan.map[i]] = true;
    }
    if (f->Transparent()) {
      uint32_t all[256];
      CountFrameColours(f, all, true);
      if (room) {
        plan.transparent = static_cast<int>(colours.size());
      } else {
        for (int i = 255; i >= 0 && plan.transparent < 0; --i)
          if (!taken[i]) plan.transparent = i;
        // 256 colours and transparent pixels in one frame need 257 entries.
        if (plan.transparent < 0 && all[f->transparentIndex]) return false;
      }
      if (plan.transparent >= 0)
        plan.map[f->transparentIndex] = static_cast<uint8_t>(plan.transparent);
    }
    plans.push_back(plan);
  }

  bool anyTransparent = false;
  for (const Plan& plan : plans) anyTransparent |= plan.transparent >= 0;
  PalettePtr palette = std::make_unique<Palette>();
  for (uint32_t c : colours)
    palette->entries.push_back({static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8 & 0xFF),
                                static_cast<uint8_t>(c & 0xFF), 0});
  if (room && anyTransparent) palette->entries.push_back({});
  if (palette->entries.empty()) palette->entries.push_back({});
  const Palette* old = animation.globalPalette.get();
  int background = 0;
  if (old && animation.backgroundIndex < old->Count()) {
    const PaletteEntry& e = old->entries[animation.backgroundIndex];
    auto it = slot.find(uint32_t{e.red} << 16 | uint32_t{e.green} << 8 | e.blue);
    if (it != slot.end()) background = it->second;
  }

  SetGlobalPalette(animation, std::move(palette));
  animation.backgroundIndex = static_cast<uint8_t>(background);
  for (Plan& plan : plans) {
    Frame* f = plan.frame;
    const uint64_t stride = IndexStride(f->DibWidth());
    uint8_t* bits = f->bits();
    for (uint32_t y = 0; y < f->DibHeight(); ++y)
      for (uint32_t x = 0; x < f->DibWidth(); ++x)
        bits[y * stride + x] = plan.map[bits[y * stride + x]];
    SetLocalPalette(f, nullptr);
    f->palette = animation.globalPalette.get();
    SetTransparency(f, false);
    if (plan.transparent >= 0) {
      SetTransparentIndex(f, static_cast<uint8_t>(plan.transparent));
      SetTransparency(f, true);
    }
    UpdateDibColourTable(f);
    RebuildTransparencyMask(f);
    TouchFrame(f);
  }
  return true;
}
#endif

}  // namespace

// Whether every colour the frame's pixels use finds an exact place in the global palette: an
// equal entry, an entry nobody uses, or room at the end. Works on copies; nothing changes.
bool LocalPaletteFits(const Animation& animation, const Frame* frame) {
  const Palette* global = animation.globalPalette.get();
  const Palette* local = frame->localPalette.get();
  if (!global || !local) return false;
  std::vector<PaletteEntry> entries = global->entries;
  std::array<uint32_t, 256> usage = animation.colourUsage;
  uint32_t counts[256];
  CountFrameColours(frame, counts, true);
  int freeSearch = 0;
  for (int i = 0; i < 256; ++i) {
    if (!counts[i]) continue;
    if (i >= local->Count()) return false;
    const PaletteEntry& c = local->entries[i];
    bool placed = false;
    for (const PaletteEntry& e : entries) {
      if (e.red == c.red && e.green == c.green && e.blue == c.blue) {
        placed = true;
        break;
      }
    }
    if (placed) continue;
    while (freeSearch < static_cast<int>(entries.size()) && usage[freeSearch] != 0) ++freeSearch;
    if (freeSearch < static_cast<int>(entries.size())) {
      entries[freeSearch] = c;
      usage[freeSearch] = counts[i];
      ++freeSearch;
    } else if (entries.size() < 256) {
      entries.push_back(c);
      usage[entries.size() - 1] = counts[i];
    } else {
      return false;
    }
  }
  return true;
}

int OptimizePalettes(Animation& animation, const OptimizeOptions& options,
                     ProgressMeter* progress) {
#ifdef LW_HAVE_PALETTE_FIT
  // The counters decide what is dropped or reused, so they are taken fresh rather than trusted.
  CountColourUsage(animation, animation.colourUsage.data(), true);
  // Without local palettes there is nothing to fold; building a meta-palette anyway would only
  // requantize the global colours.
  // Whether the counts above may have gone stale.
  bool folded = false;
  if ((options.steps & optimize::RemoveLocalPalettes) && AnyLocalPalette(animation)) {
    folded = true;
    if ((options.steps & optimize::BuildMetaPalette) && FoldPalettesExactly(animation)) {
      // Every colour kept: nothing to quantize.
    } else if (options.steps & optimize::BuildMetaPalette) {
      // The optimal palette over every frame, with the stored dithering and colour counts.
      uint32_t word = merge::Adaptive | merge::TakeLocals |
                      (options.paletteFit.storedWord & (merge::Dither | merge::ColourCounts));
      if (FitPalettes(nullptr, &animation, word, options.paletteFit, nullptr, progress) != 1)
        return 0;
    } else {
      ProgressSetText(progress, kRemoveLocalStatus);
      ProgressSetRange(progress, static_cast<uint32_t>(std::max<int>(animation.frameCount, 0)));
      uint32_t word = merge::MergeGlobal | (options.paletteFit.storedWord & merge::Dither);
      for (Frame* f = FirstFrame(animation); f;) {
        Frame* next = NextFrame(f);
        if (f->localPalette) {
          if (!animation.globalPalette || (options.steps & optimize::MapToGlobalPalette) ||
              LocalPaletteFits(animation, f)) {
            RemoveLocalPalette(nullptr, animation, f, options.paletteFit, word);
          }
        }
        if (!ProgressStep(progress)) return 0;
        f = next;
      }
    }
  }
  if (!(options.steps & optimize::ReducePalettes)) return 1;

  if (animation.globalPalette) {
    if (folded) CountColourUsage(animation, animation.colourUsage.data(), true);
    PalettePtr compacted;
    PaletteMapping map;
    if (CompactPalette(*animation.globalPalette, animation.colourUsage.data(), &compacted, &map)) {
      ProgressSetText(progress, kReduceGlobalStatus);
      RemapGlobalFrames(animation, compacted.get(), map);
      uint16_t background = map[animation.backgroundIndex];
      animation.backgroundIndex = background == NoIndex ? 0 : static_cast<uint8_t>(background);
      SetGlobalPalette(animation, std::move(compacted));
    }
  }
  if (AnyLocalPalette(animation)) {
    ProgressSetText(progress, kReduceLocalStatus);
    ProgressSetRange(progress, static_cast<uint32_t>(std::max<int>(animation.frameCount, 0)));
    for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
      if (f->localPalette) {
        uint32_t counts[256];
        CountFrameColours(f, counts, true);
        PalettePtr compacted;
        PaletteMapping map;
        if (CompactPalette(*f->localPalette, counts, &compacted, &map)) {
          RemapFrame(f, compacted.get(), &map);
          SetLocalPalette(f, std::move(compacted));
        }
      }
      if (!ProgressStep(progress)) return 0;
    }
  }
  return 1;
#else
  (void)animation;
  (void)options;
  (void)progress;
  (void)AnyLocalPalette;
  return 1;
#endif
}

}  // namespace lw
