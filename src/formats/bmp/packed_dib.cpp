#include "formats/bmp/packed_dib.h"

#include <bit>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/string_ids.h"
#include "core/picture_budget.h"

namespace lw {
namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// One channel of a 16-bit pixel: where it sits and its expansion to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint8_t table[64] = {};
};

bool MeasureChannel(uint32_t mask, Channel* c) {
  if (mask == 0 || mask > 0xFFFF) return false;
  c->mask = mask;
  c->shift = std::countr_zero(mask);
  int width = std::countr_one(mask >> c->shift);
  if (width < 4 || width > 6) return false;
  int top = (1 << width) - 1;
  for (int v = 0; v <= top; ++v) c->table[v] = static_cast<uint8_t>((v * 255 + top / 2) / top);
  if (width == 5) {
    c->table[20] = 164;
    c->table[29] = 238;
  } else if (width == 6) {
    c->table[11] = 44;
    c->table[53] = 214;
  }
  return true;
}

template <typename T>
bool Allocate(std::vector<T>* v, uint64_t size) {
  try {
    v->assign(size, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

AnimationPtr DibToAnimation(const uint8_t* dib, size_t size) {
  if (size < 4) return nullptr;
  if (Le32(dib) != DibHeaderSize) {
    ShowErrorId(str::ImageDataUnsupported);
    return nullptr;
  }
  if (size < DibHeaderSize) return nullptr;
  auto width = static_cast<int32_t>(Le32(dib + 4));
  auto rawHeight = static_cast<int32_t>(Le32(dib + 8));
  int bitCount = Le16(dib + 14);
  uint32_t compression = Le32(dib + 16);
  uint32_t clrUsed = Le32(dib + 32);
  if (compression == 1 || compression == 2) {
    ShowErrorId(str::BmpRleUnsupported);
    return nullptr;
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32) {
    ShowErrorId(str::ImageDataUnsupported);
    return nullptr;
  }
  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return nullptr;
  const bool bottomUp = rawHeight > 0;
  const uint32_t w = static_cast<uint32_t>(width);
  const uint32_t h = static_cast<uint32_t>(bottomUp ? rawHeight : -rawHeight);
  if (!PictureFitsBudget(w, h, bitCount <= 8 ? 1 : 4)) return nullptr;
  if (clrUsed > 256) return nullptr;

  uint64_t tableEntries = clrUsed;
  if (bitCount <= 8 && tableEntries == 0) tableEntries = uint64_t{1} << bitCount;
  uint64_t offset = DibHeaderSize + 4 * tableEntries;
  Channel red, green, blue;
  if (bitCount == 16) {
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (compression == 3) {
      if (size < offset + 12) return nullptr;
      for (int i = 0; i < 3; ++i) masks[i] = Le32(dib + offset + 4 * i);
    }
    if ((compression != 0 && compression != 3) || !MeasureChannel(masks[0], &red) ||
        !MeasureChannel(masks[1], &green) || !MeasureChannel(masks[2], &blue)) {
      ShowErrorId(str::Bmp16BitUnsupported);
      return nullptr;
    }
  } else if (compression != 0 && !(compression == 3 && bitCount >= 24)) {
    ShowErrorId(str::ImageDataUnsupported);
    return nullptr;
  }
  if (compression == 3) offset += 12;
  const uint64_t srcStride = ((uint64_t{w} * bitCount + 31) / 32) * 4;
  if (size < offset || (size - offset) / h < srcStride) return nullptr;
  const uint8_t* pixels = dib + offset;

  AnimationPtr animation = NewBlankAnimation(w, h);
  if (!animation) return nullptr;
  Frame* frame = FirstFrame(*animation);
  auto sourceRow = [&](uint32_t y) { return pixels + srcStride * (bottomUp ? h - 1 - y : y); };

  if (bitCount <= 8) {
    auto palette = std::make_unique<Palette>();
    uint64_t colours = clrUsed ? clrUsed : uint64_t{1} << bitCount;
    if (size < DibHeaderSize + 4 * colours) return nullptr;
    for (uint64_t i = 0; i < colours; ++i) {
      const uint8_t* q = dib + DibHeaderSize + 4 * i;
      palette->entries.push_back({q[2], q[1], q[0], 0});
    }
    std::vector<uint8_t> out = BuildDib(w, h, palette.get());
    if (out.empty()) return nullptr;
    const uint64_t stride = IndexStride(w);
    const int count = palette->Count();
    for (uint32_t y = 0; y < h; ++y) {
      const uint8_t* from = sourceRow(y);
      uint8_t* to = out.data() + DibBitsOffset + stride * y;
      for (uint32_t x = 0; x < w; ++x) {
        int index;
        if (bitCount == 8)
          index = from[x];
        else if (bitCount == 4)
          index = (from[x / 2] >> (x % 2 ? 0 : 4)) & 15;
        else
          index = (from[x / 8] >> (7 - x % 8)) & 1;
        // An index past a short colour table shows its first colour.
        to[x] = static_cast<uint8_t>(index < count ? index : 0);
      }
    }
    SetGlobalPalette(*animation, std::move(palette));
    if (!frame->localPalette) frame->palette = animation->globalPalette.get();
    SetFrameDib(frame, std::move(out));
  } else {
    std::vector<uint8_t> rgb, alpha;
    const uint64_t rgbStride = RgbStride(w), alphaStride = IndexStride(w);
    if (!Allocate(&rgb, rgbStride * h)) return nullptr;
    if (bitCount == 32 && !Allocate(&alpha, alphaStride * h)) return nullptr;
    bool anyAlpha = false;
    for (uint32_t y = 0; y < h; ++y) {
      const uint8_t* from = sourceRow(y);
      uint8_t* to = rgb.data() + rgbStride * y;
      for (uint32_t x = 0; x < w; ++x) {
        if (bitCount == 24) {
          std::memcpy(to + 3 * x, from + 3 * x, 3);
        } else if (bitCount == 32) {
          std::memcpy(to + 3 * x, from + 4 * x, 3);
          alpha[alphaStride * y + x] = from[4 * x + 3];
          anyAlpha |= from[4 * x + 3] != 0;
        } else {
          uint32_t p = Le16(from + 2 * x);
          to[3 * x] = blue.table[(p & blue.mask) >> blue.shift];
          to[3 * x + 1] = green.table[(p & green.mask) >> green.shift];
          to[3 * x + 2] = red.table[(p & red.mask) >> red.shift];
        }
      }
    }
    SetRgbPlane(frame, std::move(rgb));
    // All-zero alpha is a file that does not use its fourth byte: the image is opaque.
    if (anyAlpha) SetAlphaPlane(frame, std::move(alpha));
  }
  CountColourUsage(*animation, animation->colourUsage.data(), true);
  return animation;
}

}  // namespace lw
