#include "core/clipboard_data.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "core/model_internal.h"
#include "core/picture_budget.h"

namespace lw {

namespace {

using model::ReadLe32;
using model::WriteLe32;
using namespace clipblock;

// Screens, frames and offsets of a GIF document never leave 16 bits; a block that says
// otherwise is damaged.
constexpr uint32_t kMaxSide = 65535;
constexpr int32_t kMaxOffset = 65535;

void WriteLe16(uint8_t* p, uint16_t v) {
  p[0] = v & 0xFF;
  p[1] = v >> 8;
}
uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t ReadU32(const uint8_t* p) { return static_cast<uint32_t>(ReadLe32(p)); }

// Sizes of what follows a frame record.
struct FrameSizes {
  uint64_t pixels;
  uint64_t rgb;
  uint64_t alpha;
};

FrameSizes SizesOf(uint64_t width, uint64_t height) {
  return {IndexStride(width) * height, RgbStride(width) * height, IndexStride(width) * height};
}

bool PlaneHolds(const std::vector<uint8_t>& plane, uint64_t size) {
  return !plane.empty() && plane.size() >= size;
}

// Appends without reallocating: the block is sized before anything is written.
class Writer {
 public:
  explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
  uint8_t* Take(size_t n) {
    uint8_t* p = out_.data() + at_;
    at_ += n;
    return p;
  }
  size_t Used() const { return at_; }

 private:
  std::vector<uint8_t>& out_;
  size_t at_ = 0;
};

void WritePalette(Writer& w, const Palette& palette) {
  uint8_t* p = w.Take(PaletteSize);
  WriteLe16(p, PaletteVersion);
  int n = std::min(palette.Count(), 256);
  WriteLe16(p + 2, static_cast<uint16_t>(n));
  for (int i = 0; i < n; ++i) {
    const PaletteEntry& e = palette.entries[i];
    p[4 + 4 * i] = e.red;
    p[5 + 4 * i] = e.green;
    p[6 + 4 * i] = e.blue;
  }
}

// Copies the rows of the frame's DIB into rows of `stride` bytes (the DIB may be narrower or
// shorter than the frame says: what it lacks stays 0).
void WritePixels(uint8_t* to, const Frame& frame, uint64_t stride) {
  model::PixelLayout layout;
  if (!model::DibLayout(&frame, &layout)) return;
  uint64_t rows = std::min<uint64_t>(frame.height, layout.height);
  uint64_t bytes = std::min(stride, layout.stride);
  for (uint64_t y = 0; y < rows; ++y)
    std::memcpy(to + y * stride, frame.bits() + y * layout.stride, bytes);
}

void WriteFrame(Writer& w, const Frame& f) {
  const FrameSizes sizes = SizesOf(f.width, f.height);
  const bool rgb = PlaneHolds(f.rgbPlane, sizes.rgb);
  const bool alpha = rgb && PlaneHolds(f.alphaPlane, sizes.alpha);
  uint8_t* r = w.Take(FrameRecordSize);
  r[0] = static_cast<uint8_t>(BlockKind::Frame);
  WriteLe32(r + 4, f.next ? 1 : 0);
  WriteLe32(r + 8, f.prev ? 1 : 0);
  WriteLe32(r + 12, f.selected);
  WriteLe32(r + 16, f.savedIndex);
  WriteLe32(r + 20, static_cast<uint32_t>(f.left));
  WriteLe32(r + 24, static_cast<uint32_t>(f.top));
  WriteLe32(r + 28, f.width);
  WriteLe32(r + 32, f.height);
  WriteLe32(r + 36, static_cast<uint32_t>(f.hotspotX));
  WriteLe32(r + 40, static_cast<uint32_t>(f.hotspotY));
  WriteLe32(r + 48, f.palette ? 1 : 0);
  WriteLe32(r + 52, f.localPalette ? 1 : 0);
  WriteLe32(r + 56, f.delay);
  r[60] = f.controlFlags;
  r[61] = f.transparentIndex;
  r[62] = f.descriptorFlags;
  WriteLe32(r + 72, f.bits() ? 1 : 0);
  WriteLe32(r + 76, rgb ? 1 : 0);
  WriteLe32(r + 80, alpha ? 1 : 0);
  if (f.localPalette) WritePalette(w, *f.localPalette);
  WritePixels(w.Take(sizes.pixels), f, IndexStride(f.width));
  if (rgb) std::memcpy(w.Take(sizes.rgb), f.rgbPlane.data(), sizes.rgb);
  if (alpha) std::memcpy(w.Take(sizes.alpha), f.alphaPlane.data(), sizes.alpha);
  std::string name = FrameName(&f);
  std::memcpy(w.Take(name.size() + 1), name.c_str(), name.size() + 1);
}

// Reads forward through the block; every request is checked against what is left.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  const uint8_t* Take(uint64_t n) {
    if (n > size_ - at_) return nullptr;
    const uint8_t* p = data_ + at_;
    at_ += n;
    return p;
  }
  // The zero-terminated text at the reading point; false when the block ends before its zero.
  bool TakeText(std::string* text) {
    const void* end = std::memchr(data_ + at_, 0, size_ - at_);
    if (!end) return false;
    size_t length = static_cast<const uint8_t*>(end) - (data_ + at_);
    text->assign(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length + 1;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

PalettePtr ReadPalette(Reader& in) {
  const uint8_t* p = in.Take(PaletteSize);
  if (!p || ReadLe16(p) != PaletteVersion) return nullptr;
  int n = ReadLe16(p + 2);
  if (n < 1 || n > 256) return nullptr;
  uint8_t rgb[256 * 3];
  for (int i = 0; i < n; ++i) std::memcpy(rgb + 3 * i, p + 4 + 4 * i, 3);
  return PaletteFromTriples(n, rgb);
}

bool OffsetFits(int32_t v) { return v >= -kMaxOffset && v <= kMaxOffset; }

// One frame record and what follows it; none when damaged or memory is short.
Frame* ReadFrame(Reader& in, Animation& animation) {
  const uint8_t* r = in.Take(FrameRecordSize);
  if (!r || r[0] != static_cast<uint8_t>(BlockKind::Frame)) return nullptr;
  const uint32_t width = ReadU32(r + 28), height = ReadU32(r + 32);
  const int32_t left = ReadLe32(r + 20), top = ReadLe32(r + 24);
  if (width > kMaxSide || height > kMaxSide || !OffsetFits(left) || !OffsetFits(top) ||
      !PictureFitsBudget(width, height, 4)) {
    return nullptr;
  }
  std::unique_ptr<Frame> frame(NewFrame(width, height, 0));
  if (!frame) return nullptr;
  Frame* f = frame.get();
  f->savedIndex = ReadU32(r + 16);
  f->left = left;
  f->top = top;
  f->hotspotX = ReadLe32(r + 36);
  f->hotspotY = ReadLe32(r + 40);
  f->delay = ReadU32(r + 56);
  f->controlFlags = r[60];
  f->transparentIndex = r[61];
  // The local-table bits follow the palette actually there.
  f->descriptorFlags = r[62] & 0x78;
  if (ReadU32(r + 52) != 0) {
    PalettePtr local = ReadPalette(in);
    if (!local) return nullptr;
    SetLocalPalette(f, std::move(local));
    f->palette = f->localPalette.get();
  } else {
    f->palette = animation.globalPalette.get();
  }

  const FrameSizes sizes = SizesOf(width, height);
  const uint8_t* pixels = in.Take(sizes.pixels);
  if (!pixels) return nullptr;
  std::vector<uint8_t> dib = BuildDib(width, height, f->palette);
  if (dib.empty()) return nullptr;
  // A width or height of 0 still has a 1 x 1 DIB; its pixel stays 0.
  const int count = f->palette ? f->palette->Count() : 256;
  uint8_t* bits = dib.data() + DibBitsOffset;
  for (uint64_t i = 0; i < sizes.pixels; ++i) {
    // An index past the colour table shows its first colour, as for a DIB.
    bits[i] = pixels[i] < count ? pixels[i] : 0;
  }
  SetFrameDib(f, std::move(dib));
  if (f->Transparent() && f->transparencyMask.empty()) return nullptr;

  const bool hasRgb = ReadU32(r + 76) != 0, hasAlpha = ReadU32(r + 80) != 0;
  if (hasAlpha && !hasRgb) return nullptr;
  try {
    if (hasRgb) {
      const uint8_t* p = in.Take(sizes.rgb);
      if (!p) return nullptr;
      SetRgbPlane(f, std::vector<uint8_t>(p, p + sizes.rgb));
    }
    if (hasAlpha) {
      const uint8_t* p = in.Take(sizes.alpha);
      if (!p) return nullptr;
      SetAlphaPlane(f, std::vector<uint8_t>(p, p + sizes.alpha));
    }
    std::string name;
    if (!in.TakeText(&name)) return nullptr;
    if (!name.empty() && !SetFrameName(f, name)) return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return frame.release();
}

}  // namespace

std::vector<uint8_t> PrivateDataFromSelection(const Animation& animation) {
  uint64_t total = HeaderSize + (animation.globalPalette ? PaletteSize : 0);
  uint32_t selected = 0;
  for (Frame* f = FirstSelectedFrame(animation); f; f = NextSelectedFrame(f)) {
    const FrameSizes sizes = SizesOf(f->width, f->height);
    total += FrameRecordSize + sizes.pixels + (f->localPalette ? PaletteSize : 0);
    if (PlaneHolds(f->rgbPlane, sizes.rgb)) {
      total += sizes.rgb;
      if (PlaneHolds(f->alphaPlane, sizes.alpha)) total += sizes.alpha;
    }
    total += FrameName(f).size() + 1;
    ++selected;
  }
  std::vector<uint8_t> out;
  try {
    out.assign(total, 0);
  } catch (const std::bad_alloc&) {
    return {};
  } catch (const std::length_error&) {
    return {};
  }
  Writer w(out);
  uint8_t* h = w.Take(HeaderSize);
  WriteLe32(h, animation.screenWidth);
  WriteLe32(h + 4, animation.screenHeight);
  WriteLe32(h + 8, animation.playCount);
  WriteLe16(h + 12, static_cast<uint16_t>(animation.frameCount));
  WriteLe32(h + 16, animation.blocks ? 1 : 0);
  WriteLe32(h + 20, static_cast<uint32_t>(animation.anchorIndex));
  WriteLe32(h + 24, selected);
  WriteLe32(h + 28, animation.globalPalette ? 1 : 0);
  h[32] = animation.screenFlags;
  h[33] = animation.backgroundIndex;
  h[34] = animation.aspectByte;
  WriteLe32(h + 36, static_cast<uint32_t>(animation.encodedSizeCache));
  for (int i = 0; i < 256; ++i) WriteLe32(h + 40 + 4 * i, animation.colourUsage[i]);
  if (animation.globalPalette) WritePalette(w, *animation.globalPalette);
  for (Frame* f = FirstSelectedFrame(animation); f; f = NextSelectedFrame(f)) WriteFrame(w, *f);
  out.resize(w.Used());
  return out;
}

AnimationPtr AnimationFromPrivateData(const uint8_t* block, size_t size) {
  if (!block) return nullptr;
  Reader in(block, size);
  const uint8_t* h = in.Take(HeaderSize);
  if (!h) return nullptr;
  const uint32_t count = ReadU32(h + 24);
  // Every frame record takes at least its own bytes, so a count the block cannot hold is
  // refused before anything is built.
  if (count > INT16_MAX || count > size / FrameRecordSize) return nullptr;
  AnimationPtr animation = NewAnimation();
  if (!animation) return nullptr;
  Animation& a = *animation;
  a.screenWidth = ReadU32(h);
  a.screenHeight = ReadU32(h + 4);
  if (a.screenWidth > kMaxSide || a.screenHeight > kMaxSide) return nullptr;
  a.playCount = ReadU32(h + 8);
  a.backgroundIndex = h[33];
  a.aspectByte = h[34];
  a.encodedSizeCache = ReadLe32(h + 36);
  if (ReadU32(h + 28) != 0) {
    PalettePtr global = ReadPalette(in);
    if (!global) return nullptr;
    SetGlobalPalette(a, std::move(global));
  }
  Block* last = a.blocks;
  for (uint32_t i = 0; i < count; ++i) {
    Frame* f = ReadFrame(in, a);
    if (!f) return nullptr;
    InsertBlockAfter(last, f);
    last = f;
    ++a.frameCount;
  }
  a.anchorIndex = -1;
  SetSelectedCount(a, 0);
  CountColourUsage(a, a.colourUsage.data(), true);
  return animation;
}

std::vector<uint8_t> FrameToPackedDib(const Frame& frame) {
  model::PixelLayout layout;
  if (!model::DibLayout(&frame, &layout)) return {};
  const int colours = frame.palette ? std::min(frame.palette->Count(), 256) : 256;
  const uint64_t table = 4 * static_cast<uint64_t>(colours);
  const uint64_t rows = layout.stride * layout.height;
  std::vector<uint8_t> out;
  try {
    out.assign(DibHeaderSize + table + rows, 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  uint8_t* p = out.data();
  WriteLe32(p, DibHeaderSize);
  WriteLe32(p + 4, layout.width);
  WriteLe32(p + 8, layout.height);  // positive: bottom-up
  WriteLe16(p + 12, 1);
  WriteLe16(p + 14, 8);
  WriteLe32(p + 32, static_cast<uint32_t>(colours));
  for (int i = 0; frame.palette && i < colours; ++i) {
    const PaletteEntry& e = frame.palette->entries[i];
    p[DibHeaderSize + 4 * i] = e.blue;
    p[DibHeaderSize + 4 * i + 1] = e.green;
    p[DibHeaderSize + 4 * i + 2] = e.red;
  }
  uint8_t* to = p + DibHeaderSize + table;
  for (uint64_t y = 0; y < layout.height; ++y) {
    std::memcpy(to + y * layout.stride, frame.bits() + (layout.height - 1 - y) * layout.stride,
                layout.stride);
  }
  return out;
}

}  // namespace lw
