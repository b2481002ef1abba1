#include "formats/common/packed_dib.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/string_ids.h"
#include "core/picture_budget.h"

namespace lw {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool KnownHeaderSize(uint32_t size) {
  // Info header, the two Adobe extensions that add masks to it, V4 and V5.
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// One channel of a 16- to 32-bit pixel: where it sits and its expansion to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int width = 0;
  uint8_t table[256] = {};

  uint8_t Of(uint32_t pixel) const {
    uint32_t v = (pixel & mask) >> shift;
    return width > 8 ? static_cast<uint8_t>(v >> (width - 8)) : table[v];
  }
};

// 16-bit colours keep the classic expansion tables and widths 4 to 6; other masks (32-bit
// pixels, alpha) take any contiguous width, repeated bits filling the byte.
bool MeasureChannel(uint32_t mask, bool classic, Channel* c) {
  if (mask == 0) return false;
  c->mask = mask;
  c->shift = std::countr_zero(mask);
  c->width = std::countr_one(mask >> c->shift);
  if (c->width < 32 && (mask >> c->shift) >> c->width) return false;  // holes in the mask
  if (classic && (c->width < 4 || c->width > 6)) return false;
  if (c->width > 8) return true;
  const int top = (1 << c->width) - 1;
  for (int v = 0; v <= top; ++v) {
    if (c->width == 5 || c->width == 6) {
      c->table[v] = static_cast<uint8_t>((v * 255 + top / 2) / top);
      continue;
    }
    uint32_t r = 0;
    int filled = 0;
    for (; filled < 8; filled += c->width) r = r << c->width | static_cast<uint32_t>(v);
    c->table[v] = static_cast<uint8_t>(r >> (filled - 8));
  }
  if (c->width == 5) {
    c->table[20] = 164;
    c->table[29] = 238;
  } else if (c->width == 6) {
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

DibCheck Refuse(int message) {
  ShowErrorId(message);
  return DibCheck::Refused;
}

// Run-length pixels into top-down index rows; pixels the runs skip or never reach keep index 0,
// runs past the right edge are clipped, and data that ends early ends the picture.
void DecodeRunLength(const uint8_t* data, size_t size, const PackedDibLayout& d, uint8_t* out,
                     uint64_t stride) {
  const bool four = d.compression == kRle4;
  uint64_t x = 0, y = 0;
  auto put = [&](uint8_t index) {
    if (x < d.width) out[stride * (d.bottomUp ? d.height - 1 - y : y) + x] = index;
    ++x;
  };
  size_t at = 0;
  while (at + 2 <= size && y < d.height) {
    const uint8_t count = data[at], value = data[at + 1];
    at += 2;
    if (count) {
      for (int i = 0; i < count; ++i)
        put(four ? static_cast<uint8_t>(i % 2 ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      break;
    } else if (value == 2) {  // move right and up
      if (at + 2 > size) break;
      x += data[at];
      y += data[at + 1];
      at += 2;
    } else {  // value pixels as they are, padded to a 16-bit boundary
      const size_t bytes = four ? (value + 1u) / 2 : value;
      if (at + bytes > size) break;
      for (int i = 0; i < value; ++i) {
        const uint8_t b = data[at + (four ? i / 2 : i)];
        put(four ? static_cast<uint8_t>(i % 2 ? b & 15 : b >> 4) : b);
      }
      at += bytes + (bytes & 1);
    }
  }
}

}  // namespace

DibCheck MeasureDib(const uint8_t* dib, size_t size, PackedDibLayout* layout) {
  PackedDibLayout d;
  if (!dib || size < 4) return DibCheck::Damaged;
  d.headerSize = Le32(dib);
  if (!KnownHeaderSize(d.headerSize)) return Refuse(str::ImageDataUnsupported);
  if (size < d.headerSize) return DibCheck::Damaged;
  const auto width = static_cast<int32_t>(Le32(dib + 4));
  const auto rawHeight = static_cast<int32_t>(Le32(dib + 8));
  d.bitCount = Le16(dib + 14);
  d.compression = Le32(dib + 16);
  const uint32_t clrUsed = Le32(dib + 32);
  const int bits = d.bitCount;
  const bool fields = d.compression == kBitFields || d.compression == kAlphaBitFields;

  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Refuse(str::ImageDataUnsupported);
  if (bits == 16 && d.compression != kRgb && !fields) return Refuse(str::Bmp16BitUnsupported);
  const bool fits = d.compression == kRgb || (d.compression == kRle8 && bits == 8) ||
                    (d.compression == kRle4 && bits == 4) || (fields && bits >= 16);
  if (!fits) return Refuse(str::ImageDataUnsupported);

  // Masks: inside the longer headers, after a 40-byte one.
  uint64_t masksAfter = 0;
  if (fields) {
    const uint8_t* at = dib + 40;
    if (d.headerSize == 40) {
      masksAfter = d.compression == kAlphaBitFields ? 16 : 12;
      if (size < 40 + masksAfter) return DibCheck::Damaged;
    }
    const int count = d.compression == kAlphaBitFields || d.headerSize >= 56 ? 4 : 3;
    for (int i = 0; i < count; ++i) d.masks[i] = Le32(at + 4 * i);
  } else if (bits == 16) {
    d.masks[0] = 0x7C00, d.masks[1] = 0x03E0, d.masks[2] = 0x001F;
  } else if (bits >= 24) {
    d.masks[0] = 0xFF0000, d.masks[1] = 0xFF00, d.masks[2] = 0xFF;
    if (bits == 32) d.masks[3] = 0xFF000000;
  }
  if (bits >= 16) {
    Channel c;
    const bool colours = MeasureChannel(d.masks[0], bits == 16, &c) &&
                         MeasureChannel(d.masks[1], bits == 16, &c) &&
                         MeasureChannel(d.masks[2], bits == 16, &c);
    const uint64_t range = bits == 32 ? 0xFFFFFFFFu : (uint64_t{1} << bits) - 1;
    bool inside = true;
    for (uint32_t m : d.masks) inside = inside && m <= range;
    if (!colours || !inside || (d.masks[3] && !MeasureChannel(d.masks[3], false, &c)))
      return Refuse(bits == 16 ? str::Bmp16BitUnsupported : str::ImageDataUnsupported);
  }

  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return DibCheck::Damaged;
  d.bottomUp = rawHeight > 0;
  d.width = static_cast<uint32_t>(width);
  d.height = static_cast<uint32_t>(d.bottomUp ? rawHeight : -rawHeight);
  if (clrUsed > 256) return DibCheck::Damaged;
  if (!PictureFitsBudget(d.width, d.height, bits <= 8 ? 1 : 4)) return DibCheck::NoMemory;

  d.colours = bits <= 8 ? (clrUsed ? clrUsed : uint64_t{1} << bits) : 0;
  uint64_t tableEntries = clrUsed;
  if (bits <= 8 && tableEntries == 0) tableEntries = uint64_t{1} << bits;
  d.pixelsAt = d.headerSize + masksAfter + 4 * tableEntries;
  const uint64_t stride = ((uint64_t{d.width} * bits + 31) / 32) * 4;
  if (d.RunLength()) {
    // Two bytes a pixel (the row's padding pixels included: some writers encode them), an
    // end-of-line code a row and the end code is the most a plain encoder takes; twice that
    // leaves room for odd ones.
    const uint64_t rowPixels = stride * 8 / bits;
    d.pixelBytes = 4 * (rowPixels * d.height + d.height + 1);
  } else {
    d.pixelBytes = stride * d.height;
  }
  *layout = d;
  return DibCheck::Ok;
}

AnimationPtr DibToAnimation(const uint8_t* dib, size_t size, const Timing& timing, DibCheck* why) {
  DibCheck ignored;
  if (!why) why = &ignored;
  PackedDibLayout d;
  *why = MeasureDib(dib, size, &d);
  if (*why != DibCheck::Ok) return nullptr;
  const uint32_t w = d.width, h = d.height;
  const uint64_t srcStride = ((uint64_t{w} * d.bitCount + 31) / 32) * 4;
  if (size < d.pixelsAt || (!d.RunLength() && (size - d.pixelsAt) / h < srcStride)) {
    *why = DibCheck::Damaged;
    return nullptr;
  }
  *why = DibCheck::NoMemory;
  const uint8_t* pixels = dib + d.pixelsAt;

  AnimationPtr animation = NewBlankAnimation(w, h, timing);
  if (!animation) return nullptr;
  Frame* frame = FirstFrame(*animation);
  auto sourceRow = [&](uint32_t y) { return pixels + srcStride * (d.bottomUp ? h - 1 - y : y); };

  if (d.bitCount <= 8) {
    auto palette = std::make_unique<Palette>();
    const uint64_t tableAt = d.headerSize;
    for (uint64_t i = 0; i < d.colours; ++i) {
      const uint8_t* q = dib + tableAt + 4 * i;
      palette->entries.push_back({q[2], q[1], q[0], 0});
    }
    std::vector<uint8_t> out = BuildDib(w, h, palette.get());
    if (out.empty()) return nullptr;
    const uint64_t stride = IndexStride(w);
    uint8_t* bits = out.data() + DibBitsOffset;
    if (d.RunLength()) {
      DecodeRunLength(pixels, size - d.pixelsAt, d, bits, stride);
    } else {
      for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* from = sourceRow(y);
        uint8_t* to = bits + stride * y;
        for (uint32_t x = 0; x < w; ++x) {
          if (d.bitCount == 8)
            to[x] = from[x];
          else if (d.bitCount == 4)
            to[x] = (from[x / 2] >> (x % 2 ? 0 : 4)) & 15;
          else
            to[x] = (from[x / 8] >> (7 - x % 8)) & 1;
        }
      }
    }
    // An index past a short colour table shows its first colour.
    const uint64_t count = d.colours;
    for (uint32_t y = 0; y < h; ++y) {
      uint8_t* row = bits + stride * y;
      for (uint32_t x = 0; x < w; ++x)
        if (row[x] >= count) row[x] = 0;
    }
    SetGlobalPalette(*animation, std::move(palette));
    if (!frame->localPalette) frame->palette = animation->globalPalette.get();
    SetFrameDib(frame, std::move(out));
  } else {
    Channel red, green, blue, alphaChannel;
    MeasureChannel(d.masks[0], d.bitCount == 16, &red);
    MeasureChannel(d.masks[1], d.bitCount == 16, &green);
    MeasureChannel(d.masks[2], d.bitCount == 16, &blue);
    const bool hasAlpha = d.masks[3] && MeasureChannel(d.masks[3], false, &alphaChannel);
    std::vector<uint8_t> rgb, alpha;
    const uint64_t rgbStride = RgbStride(w), alphaStride = IndexStride(w);
    if (!Allocate(&rgb, rgbStride * h)) return nullptr;
    if (hasAlpha && !Allocate(&alpha, alphaStride * h)) return nullptr;
    const bool plain24 = d.bitCount == 24 && d.compression == kRgb;
    const int bytes = d.bitCount / 8;
    bool anyAlpha = false;
    for (uint32_t y = 0; y < h; ++y) {
      const uint8_t* from = sourceRow(y);
      uint8_t* to = rgb.data() + rgbStride * y;
      if (plain24) {
        std::memcpy(to, from, 3 * uint64_t{w});
        continue;
      }
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* p = from + bytes * uint64_t{x};
        const uint32_t pixel = bytes == 2   ? Le16(p)
                               : bytes == 3 ? (p[0] | p[1] << 8 | p[2] << 16)
                                            : Le32(p);
        to[3 * x] = blue.Of(pixel);
        to[3 * x + 1] = green.Of(pixel);
        to[3 * x + 2] = red.Of(pixel);
        if (hasAlpha) {
          const uint8_t a = alphaChannel.Of(pixel);
          alpha[alphaStride * y + x] = a;
          anyAlpha |= a != 0;
        }
      }
    }
    SetRgbPlane(frame, std::move(rgb));
    // All-zero alpha is a file that does not use its alpha bits: the image is opaque.
    if (anyAlpha) SetAlphaPlane(frame, std::move(alpha));
  }
  CountColourUsage(*animation, animation->colourUsage.data(), true);
  *why = DibCheck::Ok;
  return animation;
}

}  // namespace lw
