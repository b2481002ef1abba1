// Nearest colours, the cached inverse colour map and the web palette.
#include <algorithm>
#include <mutex>
#include <new>

#include "base/messages.h"
#include "base/string_ids.h"
#include "colour/colour_engine.h"

namespace lw {

PaletteMapping EmptyPaletteMapping() {
  PaletteMapping mapping;
  mapping.fill(NoIndex);
  return mapping;
}

PaletteMapping IdentityPaletteMapping() {
  PaletteMapping mapping;
  for (int i = 0; i < 256; ++i) mapping[i] = static_cast<uint16_t>(i);
  return mapping;
}

bool PalettesEqual(const Palette* a, const Palette* b) {
  if (!a || !b) return false;
  return a->entries == b->entries;
}

NearestResult NearestColour(const PaletteEntry* entries, int count, uint8_t red, uint8_t green,
                            uint8_t blue) {
  NearestResult result;
  int best = 3 * 256 * 256;
  for (int i = 0; i < count; ++i) {
    int dr = entries[i].red - red, dg = entries[i].green - green, db = entries[i].blue - blue;
    int d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      result.index = i;
      if (d == 0) break;
    }
  }
  result.exact = best == 0;
  return result;
}

namespace {

std::mutex cacheLock;
std::shared_ptr<const InverseColourMap> cachedMap;

bool MapFits(const InverseColourMap& map, const Palette& palette, int excludedIndex) {
  return map.excludedIndex == excludedIndex && map.palette == palette.entries;
}

void FillCells(InverseColourMap& map) {
  // Per-channel squared distances to the cell centres: every cell's distance is their sum.
  uint32_t best[32768];
  std::fill(std::begin(best), std::end(best), UINT32_MAX);
  int count = std::min<int>(static_cast<int>(map.palette.size()), 256);
  for (int i = 0; i < count; ++i) {
    if (i == map.excludedIndex) continue;
    const PaletteEntry& e = map.palette[i];
    uint32_t dr[32], dg[32], db[32];
    for (int c = 0; c < 32; ++c) {
      int centre = 8 * c + 4;
      dr[c] = (centre - e.red) * (centre - e.red);
      dg[c] = (centre - e.green) * (centre - e.green);
      db[c] = (centre - e.blue) * (centre - e.blue);
    }
    uint8_t index = static_cast<uint8_t>(i);
    for (int r = 0, cell = 0; r < 32; ++r) {
      for (int g = 0; g < 32; ++g) {
        uint32_t drg = dr[r] + dg[g];
        for (int b = 0; b < 32; ++b, ++cell) {
          uint32_t d = drg + db[b];
          if (d < best[cell]) {
            best[cell] = d;
            map.cells[cell] = index;
          }
        }
      }
    }
  }
}

}  // namespace

std::shared_ptr<const InverseColourMap> BuildInverseColourMap(const Palette& palette,
                                                              int excludedIndex) {
  if (excludedIndex < 0 || excludedIndex >= palette.Count() || palette.Count() < 2) {
    excludedIndex = -1;  // nothing to keep apart, or nothing left without it
  }
  {
    std::lock_guard<std::mutex> hold(cacheLock);
    if (cachedMap && MapFits(*cachedMap, palette, excludedIndex)) return cachedMap;
  }
  std::shared_ptr<InverseColourMap> map;
  try {
    map = std::make_shared<InverseColourMap>();
    map->palette = palette.entries;
  } catch (const std::bad_alloc&) {
    ShowErrorId(str::NoMemoryForDithering);
    return nullptr;
  }
  map->excludedIndex = excludedIndex;
  FillCells(*map);
  std::lock_guard<std::mutex> hold(cacheLock);
  cachedMap = map;
  return map;
}

PalettePtr WebPalette() {
  try {
    auto palette = std::make_unique<Palette>();
    palette->entries.resize(256);
    for (int i = 0; i < 216; ++i) {
      palette->entries[i] = {static_cast<uint8_t>(51 * (i / 36)),
                             static_cast<uint8_t>(51 * (i / 6 % 6)),
                             static_cast<uint8_t>(51 * (i % 6)), 0};
    }
    return palette;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace lw
