// Documents drawn in code, and comparisons of documents field by field and pixel by pixel.
// Every engine and window test builds its documents here.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "core/animation.h"

namespace lw::test {

// ---- palettes ------------------------------------------------------------------------------

// Entry i is (i, 255 - i, 3 i): every entry differs from the others.
inline PalettePtr RampPalette(int n) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < n; ++i) {
    rgb.push_back(static_cast<uint8_t>(i));
    rgb.push_back(static_cast<uint8_t>(255 - i));
    rgb.push_back(static_cast<uint8_t>(3 * i));
  }
  return PaletteFromTriples(n, rgb.data());
}

inline PalettePtr GreyPalette(int n) {
  auto p = std::make_unique<Palette>();
  for (int i = 0; i < n; ++i) {
    uint8_t v = static_cast<uint8_t>(n > 1 ? i * 255 / (n - 1) : 0);
    p->entries.push_back({v, v, v, 0});
  }
  return p;
}

inline PalettePtr MakePalette(std::initializer_list<PaletteEntry> entries) {
  auto p = std::make_unique<Palette>();
  p->entries.assign(entries.begin(), entries.end());
  return p;
}

// Eight clearly different colours (black, red, green, blue, yellow, cyan, magenta, white), then
// a grey ramp: pictures a person can read in a screenshot.
inline PalettePtr BrightPalette() {
  std::vector<uint8_t> rgb = {0,   0,   0, 255, 0,   0,   0,   160, 0,   0,   0,   255,
                              255, 255, 0, 0,   255, 255, 255, 0,   255, 255, 255, 255};
  for (int i = 8; i < 16; ++i) rgb.insert(rgb.end(), 3, static_cast<uint8_t>(i * 15));
  return PaletteFromTriples(16, rgb.data());
}

// ---- documents and frames ------------------------------------------------------------------

// An empty document of the given screen; its global palette is a 16-entry ramp unless given.
inline AnimationPtr MakeDocument(uint32_t width, uint32_t height, PalettePtr global = nullptr,
                                 uint32_t playCount = 0) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = width;
  a->screenHeight = height;
  a->playCount = playCount;
  SetGlobalPalette(*a, global ? std::move(global) : RampPalette(16));
  return a;
}

// A width x height frame against palette whose pixel (x, y) is pixel(x, y); linked nowhere.
template <typename F>
Frame* PaintedFrame(uint32_t width, uint32_t height, Palette* palette, F pixel) {
  Frame* f = NewFrame(width, height, 10);
  f->palette = palette;
  EXPECT_TRUE(NewFrameDib(f));
  uint64_t stride = IndexStride(f->DibWidth());
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      f->bits()[y * stride + x] = static_cast<uint8_t>(pixel(x, y));
  return f;
}

// A frame whose pixels are given row by row (missing ones 0); linked nowhere.
inline Frame* IndexedFrame(uint32_t w, uint32_t h, Palette* palette,
                           const std::vector<uint8_t>& pixels) {
  return PaintedFrame(w, h, palette, [&](uint32_t x, uint32_t y) {
    size_t i = size_t{y} * w + x;
    return i < pixels.size() ? pixels[i] : 0;
  });
}

// A frame holding only 24-bit data: colours given as 0xRRGGBB, alpha optional; linked nowhere.
inline Frame* TrueColourFrame(uint32_t w, uint32_t h, const std::vector<uint32_t>& rgb,
                              const std::vector<uint8_t>& alpha = {}) {
  Frame* f = NewFrame(w, h, 10);
  std::vector<uint8_t> plane(RgbStride(w) * h);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t c = rgb[size_t{y} * w + x];
      uint8_t* p = plane.data() + y * RgbStride(w) + 3 * x;
      p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = (c >> 16) & 0xFF;
    }
  }
  SetRgbPlane(f, std::move(plane));
  if (!alpha.empty()) {
    std::vector<uint8_t> a(IndexStride(w) * h);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) a[y * IndexStride(w) + x] = alpha[size_t{y} * w + x];
    SetAlphaPlane(f, std::move(a));
  }
  return f;
}

// Links a block (frame or extension) at the end of the document.
inline void Append(Animation& a, Block* block) {
  InsertBlockAfter(LastBlock(a), block);
  if (block->IsFrame()) ++a.frameCount;
}

// Appends a frame at (left, top) whose pixels are given row by row; returns it.
inline Frame* AddFrame(Animation& a, int32_t left, int32_t top, uint32_t width, uint32_t height,
                       const std::vector<uint8_t>& pixels, int disposal = 0, int transparent = -1,
                       uint32_t delay = 10) {
  Frame* f = PaintedFrame(width, height, a.globalPalette.get(),
                          [&](uint32_t x, uint32_t y) { return pixels[y * width + x]; });
  f->left = left;
  f->top = top;
  f->delay = delay;
  SetDisposal(f, disposal);
  if (transparent >= 0) {
    SetTransparentIndex(f, static_cast<uint8_t>(transparent));
    SetTransparency(f, true);
  } else {
    RebuildTransparencyMask(f);
  }
  Append(a, f);
  return f;
}

inline Frame* AddSolidFrame(Animation& a, int32_t left, int32_t top, uint32_t width,
                            uint32_t height, uint8_t index, int disposal = 0,
                            int transparent = -1) {
  return AddFrame(a, left, top, width, height, std::vector<uint8_t>(width * height, index),
                  disposal, transparent);
}

// A frame at (left, top) whose pixels come from a function of the screen's (x, y).
template <typename F>
Frame* AddDrawnFrame(Animation& a, int32_t left, int32_t top, uint32_t w, uint32_t h, F pixel,
                     int disposal = 0, int transparent = -1, uint32_t delay = 10) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) px[y * w + x] = static_cast<uint8_t>(pixel(left + x, top + y));
  return AddFrame(a, left, top, w, h, px, disposal, transparent, delay);
}

// Gives a frame its own palette (the frame's indexes stay).
inline void GiveLocalPalette(Frame* f, PalettePtr local) {
  SetLocalPalette(f, std::move(local));
  f->palette = f->localPalette.get();
  UpdateDibColourTable(f);
  RebuildTransparencyMask(f);
}

inline ExtensionBlock* AddExtension(Animation& a, BlockKind kind, std::vector<uint8_t> data) {
  auto* b = static_cast<ExtensionBlock*>(NewBlock(kind, 0));
  b->data = std::move(data);
  Append(a, b);
  return b;
}

inline ExtensionBlock* AddComment(Animation& a, const std::string& text) {
  auto* block = static_cast<ExtensionBlock*>(NewBlock(BlockKind::Comment, 0));
  SetCommentText(block, text);
  Append(a, block);
  return block;
}

// `frames` frames w x h, every pixel of frame n being n (1, 2, ...), named "frame n".
inline AnimationPtr NumberedAnimation(int frames, uint32_t w = 4, uint32_t h = 3) {
  AnimationPtr a = MakeDocument(w, h);
  for (int i = 1; i <= frames; ++i)
    SetFrameName(AddSolidFrame(*a, 0, 0, w, h, static_cast<uint8_t>(i)),
                 "frame " + std::to_string(i));
  return a;
}

// ---- reading documents back -----------------------------------------------------------------

inline uint8_t Pixel(const Frame* f, uint32_t x, uint32_t y) {
  return f->bits()[y * IndexStride(f->DibWidth()) + x];
}

// The frame's indexes (width x height of the DIB, padding left out).
inline std::vector<uint8_t> Pixels(const Frame& f) {
  std::vector<uint8_t> out;
  if (!f.bits()) return out;
  uint64_t stride = IndexStride(f.DibWidth());
  for (uint32_t y = 0; y < f.DibHeight(); ++y)
    for (uint32_t x = 0; x < f.DibWidth(); ++x) out.push_back(f.bits()[y * stride + x]);
  return out;
}

// The first pixel of every frame, in list order: which numbered frame went where.
inline std::vector<int> FrameNumbers(const Animation& a) {
  std::vector<int> numbers;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) numbers.push_back(f->bits()[0]);
  return numbers;
}

inline std::vector<std::string> FrameNames(const Animation& a) {
  std::vector<std::string> names;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) names.push_back(FrameName(f));
  return names;
}

inline PaletteEntry PixelColour(const Frame* f, uint32_t x, uint32_t y) {
  return f->palette->entries.at(Pixel(f, x, y));
}

inline bool SameRgb(PaletteEntry a, PaletteEntry b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// The colour a frame's own pixel shows, as 0x00RRGGBB, or -1 where it is transparent; from the
// 24-bit planes when the frame has them, else through its palette.
inline int64_t ShownColour(const Frame& f, uint32_t x, uint32_t y) {
  if (!f.rgbPlane.empty()) {
    const uint32_t width = f.dib.empty() ? f.width : f.DibWidth();
    if (!f.alphaPlane.empty() && f.alphaPlane[y * IndexStride(width) + x] == 0) return -1;
    const uint8_t* bgr = &f.rgbPlane[y * RgbStride(width) + 3 * x];
    return bgr[2] << 16 | bgr[1] << 8 | bgr[0];
  }
  uint8_t index = Pixel(&f, x, y);
  if (f.Transparent() && index == f.transparentIndex) return -1;
  if (!f.palette || index >= f.palette->Count()) return 0;
  const PaletteEntry& e = f.palette->entries[index];
  return e.red << 16 | e.green << 8 | e.blue;
}

namespace detail {

inline bool SamePalette(const Palette* a, const Palette* b) {
  if (!a || !b) return a == b;
  return a->entries == b->entries;
}

inline void CompareFrames(const Frame& a, const Frame& b, const Animation& da, const Animation& db,
                          int index, std::ostringstream& out) {
  auto field = [&](const char* name, auto x, auto y) {
    if (x != y) out << "frame " << index << " " << name << ": " << +x << " vs " << +y << "\n";
  };
  field("selected", a.selected, b.selected);
  field("left", a.left, b.left);
  field("top", a.top, b.top);
  field("width", a.width, b.width);
  field("height", a.height, b.height);
  field("hotspotX", a.hotspotX, b.hotspotX);
  field("hotspotY", a.hotspotY, b.hotspotY);
  field("delay", a.delay, b.delay);
  field("controlFlags", a.controlFlags, b.controlFlags);
  field("transparentIndex", a.transparentIndex, b.transparentIndex);
  field("descriptorFlags", a.descriptorFlags, b.descriptorFlags);
  if (FrameName(&a) != FrameName(&b))
    out << "frame " << index << " name: '" << FrameName(&a) << "' vs '" << FrameName(&b) << "'\n";
  if (!SamePalette(a.localPalette.get(), b.localPalette.get()))
    out << "frame " << index << " local palettes differ\n";
  if (!SamePalette(a.palette, b.palette))
    out << "frame " << index << " palettes in effect differ\n";
  // A frame borrows its own document's palette, never another's.
  if (!a.localPalette && a.palette != da.globalPalette.get())
    out << "frame " << index << " of the first document borrows a foreign palette\n";
  if (!b.localPalette && b.palette != db.globalPalette.get())
    out << "frame " << index << " of the second document borrows a foreign palette\n";
  if (a.localPalette && a.palette != a.localPalette.get())
    out << "frame " << index << " palette is not its local one\n";
  // Buffers are compared over the size the DIB header gives: cropping leaves them longer.
  uint64_t wa = a.DibWidth(), ha = a.DibHeight();
  if (wa != b.DibWidth() || ha != b.DibHeight()) out << "frame " << index << " DIB sizes differ\n";
  auto used = [](const std::vector<uint8_t>& v, uint64_t n) {
    return std::vector<uint8_t>(
        v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min<uint64_t>(n, v.size())));
  };
  auto differ = [&](const std::vector<uint8_t>& x, const std::vector<uint8_t>& y, uint64_t n) {
    return x.empty() != y.empty() || used(x, n) != used(y, n);
  };
  if (differ(a.dib, b.dib, DibBitsOffset + IndexStride(wa) * ha))
    out << "frame " << index << " DIBs differ\n";
  if (differ(a.transparencyMask, b.transparencyMask, MaskStride(wa) * ha))
    out << "frame " << index << " masks differ\n";
  if (differ(a.rgbPlane, b.rgbPlane, RgbStride(wa) * ha))
    out << "frame " << index << " rgb planes differ\n";
  if (differ(a.alphaPlane, b.alphaPlane, IndexStride(wa) * ha))
    out << "frame " << index << " alpha planes differ\n";
}

}  // namespace detail

// Every field, block and pixel; the caches (encoded size, colour usage, blended planes) and the
// scratch savedIndex are left out. The block links and the frame count are checked as well.
inline ::testing::AssertionResult SameAnimation(const Animation& a, const Animation& b) {
  std::ostringstream out;
  auto field = [&](const char* name, auto x, auto y) {
    if (x != y) out << name << ": " << +x << " vs " << +y << "\n";
  };
  field("screenWidth", a.screenWidth, b.screenWidth);
  field("screenHeight", a.screenHeight, b.screenHeight);
  field("playCount", a.playCount, b.playCount);
  field("frameCount", a.frameCount, b.frameCount);
  field("anchorIndex", a.anchorIndex, b.anchorIndex);
  field("selectedCount", a.selectedCount, b.selectedCount);
  field("screenFlags", a.screenFlags, b.screenFlags);
  field("backgroundIndex", a.backgroundIndex, b.backgroundIndex);
  field("aspectByte", a.aspectByte, b.aspectByte);
  if (!detail::SamePalette(a.globalPalette.get(), b.globalPalette.get()))
    out << "global palettes differ\n";
  const Block* x = a.blocks ? a.blocks->next : nullptr;
  const Block* y = b.blocks ? b.blocks->next : nullptr;
  int position = 0, frameIndex = 0;
  for (; x && y; x = x->next, y = y->next, ++position) {
    if (x->next && x->next->prev != x) out << "block " << position << " broken back link (first)\n";
    if (y->next && y->next->prev != y)
      out << "block " << position << " broken back link (second)\n";
    if (x->kind != y->kind) {
      out << "block " << position << " kinds differ\n";
      continue;
    }
    if (x->IsFrame()) {
      detail::CompareFrames(static_cast<const Frame&>(*x), static_cast<const Frame&>(*y), a, b,
                            frameIndex++, out);
    } else if (static_cast<const ExtensionBlock*>(x)->data !=
                   static_cast<const ExtensionBlock*>(y)->data ||
               static_cast<const ExtensionBlock*>(x)->label !=
                   static_cast<const ExtensionBlock*>(y)->label) {
      out << "block " << position << " extension label or data differ\n";
    }
  }
  if (x || y) out << "block lists differ in length\n";
  int counted = 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) ++counted;
  if (counted != a.frameCount)
    out << "frameCount " << a.frameCount << " but " << counted << " frames\n";
  std::string text = out.str();
  if (text.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << text;
}

}  // namespace lw::test
