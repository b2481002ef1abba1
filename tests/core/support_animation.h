// Test helpers over animations: building small documents in code and comparing two documents
// field by field and pixel by pixel.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "base/preferences.h"
#include "core/animation.h"

namespace lw::testing_support {

// A palette of n entries where entry i is (i, 255 - i, 3 i).
inline PalettePtr RampPalette(int n) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < n; ++i) {
    rgb.push_back(static_cast<uint8_t>(i));
    rgb.push_back(static_cast<uint8_t>(255 - i));
    rgb.push_back(static_cast<uint8_t>(3 * i));
  }
  return PaletteFromTriples(n, rgb.data());
}

// An empty document of the given screen with a ramp palette of 16 colours.
inline AnimationPtr MakeDocument(uint32_t width, uint32_t height) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = width;
  a->screenHeight = height;
  SetGlobalPalette(*a, RampPalette(16));
  return a;
}

// A w x h frame against palette whose pixel (x, y) is pixel(x, y); linked nowhere.
template <typename F>
Frame* PaintedFrame(uint32_t width, uint32_t height, Palette* palette, F pixel) {
  Frame* f = NewFrame(width, height);
  f->palette = palette;
  EXPECT_TRUE(NewFrameDib(f));
  uint64_t stride = IndexStride(f->DibWidth());
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      f->bits()[y * stride + x] = static_cast<uint8_t>(pixel(x, y));
  return f;
}

inline uint8_t Pixel(const Frame* f, uint32_t x, uint32_t y) {
  return f->bits()[y * IndexStride(f->DibWidth()) + x];
}

// Appends a frame at (left, top) whose pixels are given row by row (width x height values);
// returns it.
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
  InsertBlockAfter(LastBlock(a), f);
  ++a.frameCount;
  return f;
}

// A frame filled with one index.
inline Frame* AddSolidFrame(Animation& a, int32_t left, int32_t top, uint32_t width,
                            uint32_t height, uint8_t index, int disposal = 0,
                            int transparent = -1) {
  return AddFrame(a, left, top, width, height, std::vector<uint8_t>(width * height, index),
                  disposal, transparent);
}

inline ExtensionBlock* AddComment(Animation& a, const std::string& text) {
  auto* block = static_cast<ExtensionBlock*>(NewBlock(BlockKind::Comment, 0));
  SetCommentText(block, text);
  InsertBlockAfter(LastBlock(a), block);
  return block;
}

// frames w x h, every pixel of frame n being n (1, 2, ...), named "frame n".
inline AnimationPtr NumberedAnimation(int frames, uint32_t w = 4, uint32_t h = 3) {
  AnimationPtr a = MakeDocument(w, h);
  for (int i = 1; i <= frames; ++i)
    SetFrameName(AddSolidFrame(*a, 0, 0, w, h, static_cast<uint8_t>(i)),
                 "frame " + std::to_string(i));
  return a;
}

// The first pixel of every frame, in list order.
inline std::vector<int> FrameNumbers(const Animation& a) {
  std::vector<int> numbers;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) numbers.push_back(f->bits()[0]);
  return numbers;
}

// Every model test starts and ends on the default preference words.
class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadPreferences(); }
  void TearDown() override { LoadPreferences(); }
};

// The frame pixels (width x height of the DIB, padding left out).
inline std::vector<uint8_t> Pixels(const Frame& f) {
  std::vector<uint8_t> out;
  if (!f.bits()) return out;
  uint64_t stride = IndexStride(f.DibWidth());
  for (uint32_t y = 0; y < f.DibHeight(); ++y) {
    for (uint32_t x = 0; x < f.DibWidth(); ++x) out.push_back(f.bits()[y * stride + x]);
  }
  return out;
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
  if (FrameName(&a) != FrameName(&b)) {
    out << "frame " << index << " name: '" << FrameName(&a) << "' vs '" << FrameName(&b) << "'\n";
  }
  if (!SamePalette(a.localPalette.get(), b.localPalette.get())) {
    out << "frame " << index << " local palettes differ\n";
  }
  if (!SamePalette(a.palette, b.palette))
    out << "frame " << index << " palettes in effect differ\n";
  // A frame borrows its own document's palette, never another's.
  if (!a.localPalette && a.palette != da.globalPalette.get()) {
    out << "frame " << index << " of the first document borrows a foreign palette\n";
  }
  if (!b.localPalette && b.palette != db.globalPalette.get()) {
    out << "frame " << index << " of the second document borrows a foreign palette\n";
  }
  if (a.localPalette && a.palette != a.localPalette.get()) {
    out << "frame " << index << " palette is not its local one\n";
  }
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
  if (differ(a.dib, b.dib, DibBitsOffset + IndexStride(wa) * ha)) {
    out << "frame " << index << " DIBs differ\n";
  }
  if (differ(a.transparencyMask, b.transparencyMask, MaskStride(wa) * ha)) {
    out << "frame " << index << " masks differ\n";
  }
  if (differ(a.rgbPlane, b.rgbPlane, RgbStride(wa) * ha)) {
    out << "frame " << index << " rgb planes differ\n";
  }
  if (differ(a.alphaPlane, b.alphaPlane, IndexStride(wa) * ha)) {
    out << "frame " << index << " alpha planes differ\n";
  }
}

}  // namespace detail

// Every field, block and pixel; the caches (encoded size, colour usage, blended planes) and the
// scratch savedIndex are left out.
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
  if (!detail::SamePalette(a.globalPalette.get(), b.globalPalette.get())) {
    out << "global palettes differ\n";
  }
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

}  // namespace lw::testing_support
