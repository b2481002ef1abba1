// Small animations drawn in code for the colour tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "colour/colour_engine.h"
#include "core/animation.h"
#include "platform/services.h"

namespace lw::test {

inline PalettePtr MakePalette(std::initializer_list<PaletteEntry> entries) {
  auto p = std::make_unique<Palette>();
  p->entries.assign(entries.begin(), entries.end());
  return p;
}

inline PalettePtr GreyPalette(int n) {
  auto p = std::make_unique<Palette>();
  for (int i = 0; i < n; ++i) {
    uint8_t v = static_cast<uint8_t>(n > 1 ? i * 255 / (n - 1) : 0);
    p->entries.push_back({v, v, v, 0});
  }
  return p;
}

// A frame of w x h whose pixels are given row by row (missing ones 0), on the palette in effect.
inline Frame* IndexedFrame(uint32_t w, uint32_t h, Palette* palette,
                           const std::vector<uint8_t>& pixels) {
  Frame* f = NewFrame(w, h);
  f->palette = palette;
  NewFrameDib(f);
  uint8_t* bits = f->bits();
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      size_t i = size_t{y} * w + x;
      bits[y * IndexStride(w) + x] = i < pixels.size() ? pixels[i] : 0;
    }
  }
  return f;
}

// A frame holding only 24-bit data: colours given as 0xRRGGBB, alpha optional.
inline Frame* TrueColourFrame(uint32_t w, uint32_t h, const std::vector<uint32_t>& rgb,
                              const std::vector<uint8_t>& alpha = {}) {
  Frame* f = NewFrame(w, h);
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
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) a[y * IndexStride(w) + x] = alpha[size_t{y} * w + x];
    }
    SetAlphaPlane(f, std::move(a));
  }
  return f;
}

inline void Append(Animation& a, Frame* f) {
  LinkBlocks(LastBlock(a), f);
  a.frameCount = static_cast<int16_t>(a.frameCount + 1);
}

inline AnimationPtr AnimationWith(PalettePtr global) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = a->screenHeight = 16;
  SetGlobalPalette(*a, std::move(global));
  return a;
}

inline uint8_t Pixel(const Frame* f, uint32_t x, uint32_t y) {
  return f->bits()[y * IndexStride(f->DibWidth()) + x];
}

inline PaletteEntry PixelColour(const Frame* f, uint32_t x, uint32_t y) {
  return f->palette->entries.at(Pixel(f, x, y));
}

inline bool SameRgb(PaletteEntry a, PaletteEntry b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// Services that record messages and answer the palette-merge question as told.
class ScriptedServices : public PlatformServices {
 public:
  std::vector<std::string> messages;
  uint32_t mergeAnswer = 0;
  int mergeAsked = 0;
  int MessageBox(WindowHandle, const std::string& text, const std::string&, int) override {
    messages.push_back(text);
    return answer::Ok;
  }
  bool Interactive() const override { return false; }
  uint32_t AskPaletteMerge(WindowHandle, uint32_t) override {
    ++mergeAsked;
    return mergeAnswer;
  }
};

struct ServicesScope {
  ScriptedServices services;
  ServicesScope() { SetServices(&services); }
  ~ServicesScope() { SetServices(nullptr); }
};

}  // namespace lw::test
