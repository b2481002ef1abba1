// The optimizer's palette step: local palettes folded into the global one (a common meta-palette,
// a mapping, or only where they fit exactly), then unused entries dropped from every palette.
#include <algorithm>
#include <array>
#include <cstring>

#include "base/preferences.h"
#include "base/progress.h"
#include "colour/optimize.h"
#include "colour/refine_hq.h"
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

bool AnyLocalPalette(const Animation& animation, uint8_t flag = 0) {
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (f->localPalette && (f->descriptorFlags & flag) == flag) return true;
  }
  return false;
}

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

int OptimizePalettes(Animation& animation, OptimizeOptions options, ProgressMeter* progress) {
#ifdef LW_HAVE_PALETTE_FIT
  // The counters decide what is dropped or reused, so they are taken fresh rather than trusted.
  CountColourUsage(animation, animation.colourUsage.data(), true);
  // Without local palettes there is nothing to fold; building a meta-palette anyway would only
  // requantize the global colours.
  // Whether the counts above may have gone stale.
  bool folded = false;
  // Tables the quality method made for their frames are the best fit already: they stay.
  if ((options & optimize::RemoveLocalPalettes) && AnyLocalPalette(animation) &&
      !AnyLocalPalette(animation, kSortedTable)) {
    folded = true;
    if (options & optimize::BuildMetaPalette) {
      // The optimal palette over every frame, with the stored dithering and colour counts.
      uint32_t word = merge::Adaptive | merge::TakeLocals |
                      (GetPref(PrefPaletteMerge) & (merge::Dither | merge::ColourCounts));
      if (FitPalettes(nullptr, &animation, word, nullptr, progress) != 1) return 0;
    } else {
      ProgressSetText(progress, kRemoveLocalStatus);
      ProgressSetRange(progress, static_cast<uint32_t>(std::max<int>(animation.frameCount, 0)));
      uint32_t word = merge::MergeGlobal | (PrefOn(Pref::PaletteMergeDither) ? merge::Dither : 0);
      for (Frame* f = FirstFrame(animation); f;) {
        Frame* next = NextFrame(f);
        if (f->localPalette) {
          if (!animation.globalPalette || (options & optimize::MapToGlobalPalette) ||
              LocalPaletteFits(animation, f)) {
            RemoveLocalPalette(nullptr, animation, f, word);
          }
        }
        if (!ProgressStep(progress)) return 0;
        f = next;
      }
    }
  }
  if (!(options & optimize::ReducePalettes)) return 1;

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
