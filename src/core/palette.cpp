#include <algorithm>
#include <new>

#include "core/animation.h"

namespace lw {

int Palette::GetPaletteEntries(int start, int count, PaletteEntry* out) const {
  if (!out || start < 0 || count <= 0 || start >= Count()) return 0;
  int n = std::min(count, Count() - start);
  std::copy_n(entries.begin() + start, n, out);
  return n;
}

int Palette::NearestIndex(uint8_t red, uint8_t green, uint8_t blue) const {
  int best = 0;
  uint32_t bestDistance = UINT32_MAX;
  for (int i = 0; i < Count(); ++i) {
    const PaletteEntry& e = entries[i];
    int dr = e.red - red, dg = e.green - green, db = e.blue - blue;
    uint32_t d = static_cast<uint32_t>(dr * dr + dg * dg + db * db);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

PalettePtr PaletteFromTriples(int count, const uint8_t* rgb) {
  if (count < 1 || count > 256 || !rgb) return nullptr;
  try {
    auto palette = std::make_unique<Palette>();
    palette->entries.resize(count);
    for (int i = 0; i < count; ++i) {
      palette->entries[i] = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0};
    }
    return palette;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

PalettePtr CopyPalette(const Palette* palette) {
  if (!palette) return nullptr;
  try {
    auto copy = std::make_unique<Palette>();
    size_t n = std::min<size_t>(palette->entries.size(), 256);
    copy->entries.assign(palette->entries.begin(), palette->entries.begin() + n);
    return copy;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int ExactPaletteIndex(const Palette* palette, uint32_t colour) {
  if (!palette || palette->Count() == 0) return -1;
  uint8_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
  int i = palette->NearestIndex(red, green, blue);
  const PaletteEntry& e = palette->entries[i];
  return e.red == red && e.green == green && e.blue == blue ? i : -1;
}

int BitsForColours(int n) {
  if (n > 128) return 8;
  if (n > 64) return 7;
  if (n > 32) return 6;
  if (n > 16) return 5;
  if (n > 8) return 4;
  if (n > 4) return 3;
  if (n > 2) return 2;
  return 1;
}

}  // namespace lw
