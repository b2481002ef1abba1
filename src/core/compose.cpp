// 8-bit primitives on frame DIBs and the drawing of frames into 32-bit pictures.
#include "core/compose.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lw {
namespace {

int32_t ReadLe32(const uint8_t* p) {
  uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  return static_cast<int32_t>(v);
}

uint32_t AbsDimension(int32_t v) {
  int64_t a = v < 0 ? -static_cast<int64_t>(v) : v;
  return static_cast<uint32_t>(std::max<int64_t>(a, 1));
}

// The intersection of [a, a + n) with [0, limit), as start and length.
void ClipSpan(int64_t* a, int64_t* n, int64_t limit) {
  if (*a < 0) {
    *n += *a;
    *a = 0;
  }
  if (*a + *n > limit) *n = limit - *a;
}

}  // namespace

bool GetDibGeometry(const std::vector<uint8_t>& dib, DibGeometry* geometry) {
  if (dib.size() < DibBitsOffset || !geometry) return false;
  geometry->width = AbsDimension(ReadLe32(dib.data() + 4));
  geometry->height = AbsDimension(ReadLe32(dib.data() + 8));
  geometry->stride = IndexStride(geometry->width);
  // Both factors stay below 2^33, so the product cannot wrap.
  return geometry->stride * geometry->height <= dib.size() - DibBitsOffset;
}

void FillDibPixels(std::vector<uint8_t>& dib, uint8_t index) {
  DibGeometry g;
  if (!GetDibGeometry(dib, &g)) return;
  std::memset(dib.data() + DibBitsOffset, index, g.stride * g.height);
}

void FillIndexRect(std::vector<uint8_t>& dib, int64_t x, int64_t y, int64_t w, int64_t h,
                   uint8_t index) {
  DibGeometry g;
  if (!GetDibGeometry(dib, &g)) return;
  ClipSpan(&x, &w, g.width);
  ClipSpan(&y, &h, g.height);
  if (w <= 0 || h <= 0) return;
  uint8_t* bits = dib.data() + DibBitsOffset;
  for (int64_t r = 0; r < h; ++r) std::memset(bits + (y + r) * g.stride + x, index, w);
}

void BlitIndexed(std::vector<uint8_t>& destination, int64_t x, int64_t y, int64_t w, int64_t h,
                 const std::vector<uint8_t>& source, int64_t sourceX, int64_t sourceY, uint8_t key,
                 bool useKey) {
  DibGeometry dg, sg;
  if (!GetDibGeometry(destination, &dg) || !GetDibGeometry(source, &sg)) return;
  // Clip to the destination, moving the source origin with it, then to the source likewise.
  if (x < 0) {
    sourceX -= x;
    w += x;
    x = 0;
  }
  if (y < 0) {
    sourceY -= y;
    h += y;
    y = 0;
  }
  if (sourceX < 0) {
    x -= sourceX;
    w += sourceX;
    sourceX = 0;
  }
  if (sourceY < 0) {
    y -= sourceY;
    h += sourceY;
    sourceY = 0;
  }
  w = std::min({w, static_cast<int64_t>(dg.width) - x, static_cast<int64_t>(sg.width) - sourceX});
  h = std::min({h, static_cast<int64_t>(dg.height) - y, static_cast<int64_t>(sg.height) - sourceY});
  if (w <= 0 || h <= 0) return;
  uint8_t* to = destination.data() + DibBitsOffset;
  const uint8_t* from = source.data() + DibBitsOffset;
  for (int64_t r = 0; r < h; ++r) {
    uint8_t* out = to + (y + r) * dg.stride + x;
    const uint8_t* in = from + (sourceY + r) * sg.stride + sourceX;
    if (!useKey) {
      std::memmove(out, in, w);
      continue;
    }
    for (int64_t c = 0; c < w; ++c) {
      if (in[c] != key) out[c] = in[c];
    }
  }
}

int SetDibColours(std::vector<uint8_t>& dib, int first, int count, const RgbQuad* colours) {
  if (dib.size() < DibBitsOffset || !colours || first < 0 || first >= 256 || count <= 0) return 0;
  int n = std::min(count, 256 - first);
  std::memcpy(dib.data() + DibHeaderSize + 4 * first, colours, 4 * static_cast<size_t>(n));
  return n;
}

int GetDibColours(const std::vector<uint8_t>& dib, int first, int count, RgbQuad* colours) {
  if (dib.size() < DibBitsOffset || !colours || first < 0 || first >= 256 || count <= 0) return 0;
  int n = std::min(count, 256 - first);
  std::memcpy(colours, dib.data() + DibHeaderSize + 4 * first, 4 * static_cast<size_t>(n));
  return n;
}

void SetDibColourTable(std::vector<uint8_t>& dib, const Palette* palette) {
  if (dib.size() < DibBitsOffset) return;
  RgbQuad table[256] = {};
  int n = palette ? std::min(palette->Count(), 256) : 0;
  for (int i = 0; i < n; ++i) {
    const PaletteEntry& e = palette->entries[i];
    table[i] = {e.blue, e.green, e.red, 0};
  }
  SetDibColours(dib, 0, 256, table);
}

std::vector<uint8_t> NewPaletteDibSection(uint32_t width, uint32_t height, const Palette* palette) {
  return BuildDib(width, height, palette ? palette : &DefaultPalette());
}

bool MapRgbToPaletteDib(std::vector<uint8_t>& dib, const Palette& palette,
                        const std::vector<uint8_t>& rgb) {
  DibGeometry g;
  if (!GetDibGeometry(dib, &g) || palette.Count() == 0) return false;
  uint64_t rgbStride = RgbStride(g.width);
  if (rgbStride * g.height > rgb.size()) return false;
  uint8_t* bits = dib.data() + DibBitsOffset;
  for (uint64_t y = 0; y < g.height; ++y) {
    const uint8_t* in = rgb.data() + y * rgbStride;
    uint8_t* out = bits + y * g.stride;
    for (uint64_t x = 0; x < g.width; ++x, in += 3) {
      out[x] = static_cast<uint8_t>(palette.NearestIndex(in[2], in[1], in[0]));
    }
  }
  return true;
}

bool AddRgbPlane(Frame* frame) {
  DibGeometry g;
  if (!frame || !GetDibGeometry(frame->dib, &g)) return false;
  uint64_t rgbStride = RgbStride(g.width);
  std::vector<uint8_t> plane;
  try {
    plane.assign(rgbStride * g.height, 0);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  const Palette* palette = frame->palette;
  int count = palette ? palette->Count() : 0;
  const uint8_t* bits = frame->bits();
  for (uint64_t y = 0; y < g.height; ++y) {
    uint8_t* out = plane.data() + y * rgbStride;
    const uint8_t* row = bits + y * g.stride;
    for (uint64_t x = 0; x < g.width; ++x) {
      if (row[x] >= count) continue;
      const PaletteEntry& e = palette->entries[row[x]];
      out[3 * x] = e.blue;
      out[3 * x + 1] = e.green;
      out[3 * x + 2] = e.red;
    }
  }
  SetRgbPlane(frame, std::move(plane));
  RebuildTransparencyMask(frame);
  return true;
}

bool DuplicateMemory(const std::vector<uint8_t>& block, std::vector<uint8_t>* copy) {
  if (!copy) return false;
  try {
    std::vector<uint8_t> fresh(block);
    *copy = std::move(fresh);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

const Palette& DefaultPalette() {
  static const Palette palette = [] {
    static const uint8_t rgb[20][3] = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    Palette p;
    for (const auto& c : rgb) p.entries.push_back({c[0], c[1], c[2], 0});
    return p;
  }();
  return palette;
}

// ---------------------------------------------------------------------------------------------
// Drawing

PixelView PixelSurface::Rows(int first, int count) {
  first = std::clamp(first, 0, height);
  count = std::clamp(count, 0, height - first);
  return {pixels.data() + static_cast<size_t>(first) * width, width, count, width};
}

bool ResizeSurface(PixelSurface* surface, int width, int height, uint32_t pixel) {
  if (!surface || width < 0 || height < 0) return false;
  try {
    surface->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), pixel);
  } catch (const std::bad_alloc&) {
    surface->pixels.clear();
    surface->width = surface->height = 0;
    return false;
  } catch (const std::length_error&) {
    surface->pixels.clear();
    surface->width = surface->height = 0;
    return false;
  }
  surface->width = width;
  surface->height = height;
  return true;
}

int64_t ZoomLength(int64_t length, int numerator, int denominator) {
  if (denominator == 0) denominator = 1;
  return length * numerator / denominator;
}

DrawRect FrameDestination(const Frame& frame, int64_t originX, int64_t originY, int numerator,
                          int denominator) {
  return {ZoomLength(frame.left, numerator, denominator) + originX,
          ZoomLength(frame.top, numerator, denominator) + originY,
          ZoomLength(frame.width, numerator, denominator),
          ZoomLength(frame.height, numerator, denominator)};
}

namespace {

// DrawFrame with the colour plane to draw from given (none: the frame's own).
void DrawFrameFrom(const Frame& frame, const std::vector<uint8_t>* colours, PixelView view,
                   int64_t originX, int64_t originY, int numerator, int denominator,
                   bool transparent) {
  DibGeometry g;
  if (!view.pixels || !GetDibGeometry(frame.dib, &g)) return;
  DrawRect r = FrameDestination(frame, originX, originY, numerator, denominator);
  if (r.width <= 0 || r.height <= 0) return;
  int64_t x0 = std::max<int64_t>(r.x, 0), x1 = std::min<int64_t>(r.x + r.width, view.width);
  int64_t y0 = std::max<int64_t>(r.y, 0), y1 = std::min<int64_t>(r.y + r.height, view.height);
  if (x0 >= x1 || y0 >= y1) return;

  const std::vector<uint8_t>* plane = nullptr;
  uint64_t rgbStride = RgbStride(g.width);
  if (!frame.rgbPlane.empty()) {
    plane = colours ? colours : &frame.rgbPlane;
    if (rgbStride * g.height > plane->size()) plane = nullptr;
  }
  uint64_t maskStride = MaskStride(g.width);
  bool masked = transparent && !frame.transparencyMask.empty() &&
                maskStride * g.height <= frame.transparencyMask.size();
  uint32_t table[256];
  const uint8_t* quads = frame.dib.data() + DibHeaderSize;
  for (int i = 0; i < 256; ++i) {
    table[i] = 0xFF000000u | (quads[4 * i + 2] << 16) | (quads[4 * i + 1] << 8) | quads[4 * i];
  }
  const uint8_t* bits = frame.bits();
  for (int64_t y = y0; y < y1; ++y) {
    // Nearest source row and column, as a colour-on-colour stretch picks them.
    uint64_t sy = static_cast<uint64_t>((y - r.y) * g.height / r.height);
    uint32_t* out = view.pixels + y * view.stride;
    for (int64_t x = x0; x < x1; ++x) {
      uint64_t sx = static_cast<uint64_t>((x - r.x) * g.width / r.width);
      if (masked && (frame.transparencyMask[sy * maskStride + (sx >> 3)] & (0x80 >> (sx & 7)))) {
        continue;
      }
      if (plane) {
        const uint8_t* p = plane->data() + sy * rgbStride + 3 * sx;
        out[x] = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
      } else {
        out[x] = table[bits[sy * g.stride + sx]];
      }
    }
  }
}

}  // namespace

void DrawFrame(const Frame& frame, PixelView view, int64_t originX, int64_t originY, int numerator,
               int denominator, bool transparent) {
  DrawFrameFrom(frame, nullptr, view, originX, originY, numerator, denominator, transparent);
}

void DrawFrameOver(const Frame& frame, PixelView view, int64_t originX, int64_t originY,
                   int numerator, int denominator, bool transparent, uint32_t backdrop) {
  std::vector<uint8_t> blended;
  if (!frame.rgbPlane.empty() && !frame.alphaPlane.empty()) {
    // Short of memory the colour plane is drawn as it is.
    BlendedPlaneOf(frame, backdrop, 0, &blended);
  }
  DrawFrameFrom(frame, blended.empty() ? nullptr : &blended, view, originX, originY, numerator,
                denominator, transparent);
}

uint32_t AlphaBackdrop(uint32_t transparencyDisplay) {
  return (transparencyDisplay >> 24) == 2 ? (transparencyDisplay & 0xFFFFFF) : 0xC0C0C0;
}

bool BlendFrame(const Frame& frame, PixelView view) {
  DibGeometry g;
  if (!view.pixels || !GetDibGeometry(frame.dib, &g)) return false;
  uint64_t rgbStride = RgbStride(g.width), alphaStride = IndexStride(g.width);
  if (rgbStride * g.height > frame.rgbPlane.size() ||
      alphaStride * g.height > frame.alphaPlane.size()) {
    return false;
  }
  int64_t w = std::min<int64_t>(frame.width, g.width),
          h = std::min<int64_t>(frame.height, g.height);
  int64_t x0 = std::max<int64_t>(frame.left, 0), x1 = std::min<int64_t>(frame.left + w, view.width);
  int64_t y0 = std::max<int64_t>(frame.top, 0), y1 = std::min<int64_t>(frame.top + h, view.height);
  for (int64_t y = y0; y < y1; ++y) {
    const uint8_t* rgb = frame.rgbPlane.data() + (y - frame.top) * rgbStride;
    const uint8_t* alpha = frame.alphaPlane.data() + (y - frame.top) * alphaStride;
    uint32_t* out = view.pixels + y * view.stride;
    for (int64_t x = x0; x < x1; ++x) {
      int64_t sx = x - frame.left;
      uint32_t a = alpha[sx];
      uint32_t d = out[x], result = 0xFF000000u;
      for (int c = 0; c < 3; ++c) {  // blue, green, red
        uint32_t s = rgb[3 * sx + c];
        uint32_t dc = (d >> (8 * c)) & 0xFF;
        uint32_t v = std::min<uint32_t>((s * a + dc * (255 - a)) / 255, 255);
        result |= v << (8 * c);
      }
      out[x] = result;
    }
  }
  return true;
}

void BuildRoundingTable(int displayBits, uint8_t table[256]) {
  for (int v = 0; v < 256; ++v) {
    if (displayBits == 0) {
      table[v] = static_cast<uint8_t>(v);
    } else if (displayBits == 12) {
      table[v] = static_cast<uint8_t>((v >> 4) * 17);
    } else {
      table[v] = static_cast<uint8_t>(((v >> 3) * 255 + 15) / 31);
    }
  }
}

bool BlendedPlaneOf(const Frame& frame, uint32_t background, int displayBits,
                    std::vector<uint8_t>* out) {
  out->clear();
  DibGeometry g;
  if (frame.rgbPlane.empty() || !GetDibGeometry(frame.dib, &g)) return true;
  uint64_t rgbStride = RgbStride(g.width), alphaStride = IndexStride(g.width);
  if (rgbStride * g.height > frame.rgbPlane.size()) return true;
  bool alpha = !frame.alphaPlane.empty() && alphaStride * g.height <= frame.alphaPlane.size();
  if (!alpha && displayBits == 0) return true;
  uint8_t table[256];
  BuildRoundingTable(displayBits, table);
  std::vector<uint8_t> plane;
  if (!DuplicateMemory(frame.rgbPlane, &plane)) return false;
  const uint8_t backdrop[3] = {static_cast<uint8_t>((background >> 16) & 0xFF),
                               static_cast<uint8_t>((background >> 8) & 0xFF),
                               static_cast<uint8_t>(background & 0xFF)};
  for (uint64_t y = 0; y < g.height; ++y) {
    uint8_t* row = plane.data() + y * rgbStride;
    const uint8_t* a = alpha ? frame.alphaPlane.data() + y * alphaStride : nullptr;
    for (uint64_t x = 0; x < g.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        uint32_t s = table[row[3 * x + c]];
        if (a) s = std::min<uint32_t>((s * a[x] + backdrop[c] * (255u - a[x])) / 255, 255);
        row[3 * x + c] = static_cast<uint8_t>(s);
      }
    }
  }
  *out = std::move(plane);
  return true;
}

}  // namespace lw
