// The transparency mask and the colour that shows transparent pixels, kept in step with the
// frame's pixels, transparent index and flag.
#include <atomic>
#include <bit>
#include <cstring>
#include <new>

#include "core/animation.h"
#include "core/model_internal.h"
#include "platform/memory_pages.h"

namespace lw {
namespace {

std::atomic<uint32_t> buttonFace{0x00F0F0F0};
std::atomic<uint32_t> displayMode{TransparencyDisplay::WindowBackground};
std::atomic<uint32_t> displayColour{0};

uint32_t OwnColour(const Frame* frame) {
  const Palette* palette = frame->palette;
  if (!palette || frame->transparentIndex >= palette->Count()) return 0;
  const PaletteEntry& e = palette->entries[frame->transparentIndex];
  return e.red | (e.green << 8) | (static_cast<uint32_t>(e.blue) << 16);
}

}  // namespace

void SetButtonFaceColour(uint32_t colour) { buttonFace = colour & 0xFFFFFF; }
uint32_t ButtonFaceColour() { return buttonFace; }

void SetTransparencyDisplay(const TransparencyDisplay& display) {
  displayMode = display.mode;
  displayColour = display.colour & 0xFFFFFF;
}

uint32_t TransparencyDisplayColour(const Frame* frame) {
  switch (displayMode.load()) {
    case TransparencyDisplay::FrameColour: return frame ? OwnColour(frame) : 0;
    case TransparencyDisplay::Custom: return displayColour.load();
    case TransparencyDisplay::WindowBackground:
    default: return ButtonFaceColour();
  }
}

void SetTransparentDisplayColour(Frame* frame, bool forDisplay) {
  if (!frame || !frame->Transparent() || !frame->palette) return;
  if (frame->dib.size() < DibBitsOffset) return;
  bool ownChoice = displayMode.load() == TransparencyDisplay::FrameColour;
  uint32_t colour = forDisplay && !ownChoice ? TransparencyDisplayColour(frame) : OwnColour(frame);
  uint8_t* quad = frame->dib.data() + DibHeaderSize + 4 * frame->transparentIndex;
  quad[0] = (colour >> 16) & 0xFF;
  quad[1] = (colour >> 8) & 0xFF;
  quad[2] = colour & 0xFF;
  quad[3] = 0;
  TouchFrame(frame);
}

bool BuildTransparencyMask(const Frame* frame, std::vector<uint8_t>* mask) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  static_assert(std::endian::native == std::endian::little, "the first pixel is the low byte");
  model::PixelLayout layout;
  if (!mask || !model::DibLayout(frame, &layout)) return false;
  uint64_t maskStride = MaskStride(layout.width);
  try {
    if (mask->capacity() < maskStride * layout.height) {
      mask->reserve(maskStride * layout.height);
      PopulatePages(mask->data(), mask->capacity());
    }
    mask->assign(maskStride * layout.height, 0);
  } catch (const std::bad_alloc&) {
    mask->clear();
    return false;
  }
  const uint8_t* bits = frame->bits();
  uint8_t index = frame->transparentIndex;
  for (uint64_t y = 0; y < layout.height; ++y) {
    const uint8_t* row = bits + y * layout.stride;
    uint8_t* out = mask->data() + y * maskStride;
    // Eight pixels to a byte without branches: transparent pixels are scattered at random.
    // The top bit of each byte of z says its pixel is the index; the multiply gathers the eight
    // bits, the first pixel highest.
    uint64_t x = 0;
    for (; x + 8 <= layout.width; x += 8) {
      uint64_t v;
      std::memcpy(&v, row + x, 8);
      v ^= kOnes * index;
      uint64_t z = ~(((v & ~kHigh) + ~kHigh) | v) & kHigh;
      out[x >> 3] = static_cast<uint8_t>(((z >> 7) * 0x8040201008040201ull) >> 56);
    }
    for (; x < layout.width; ++x) {
      if (row[x] == index) out[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
  }
  return true;
}

void RebuildTransparencyMask(Frame* frame) {
  if (!frame) return;
  TouchFrame(frame);
  if (!frame->Transparent()) {
    frame->transparencyMask = {};
    return;
  }
  SetTransparentDisplayColour(frame, true);
  model::PixelLayout layout;
  bool hasPixels = model::DibLayout(frame, &layout);
  if (hasPixels && !frame->rgbPlane.empty() && frame->alphaPlane.empty()) {
    // Without alpha the colour plane shows transparent pixels as black.
    uint64_t rgbStride = RgbStride(layout.width);
    if (rgbStride * layout.height <= frame->rgbPlane.size()) {
      const uint8_t* bits = frame->bits();
      for (uint64_t y = 0; y < layout.height; ++y) {
        uint8_t* rgb = frame->rgbPlane.data() + y * rgbStride;
        const uint8_t* row = bits + y * layout.stride;
        for (uint64_t x = 0; x < layout.width; ++x) {
          if (row[x] == frame->transparentIndex) rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = 0;
        }
      }
    }
  }
  std::vector<uint8_t> mask;
  if (hasPixels && BuildTransparencyMask(frame, &mask)) {
    frame->transparencyMask = std::move(mask);
  } else {
    frame->transparencyMask = {};
  }
}

void RemoveTransparencyMask(Frame* frame) {
  if (!frame) return;
  SetTransparentDisplayColour(frame, false);
  frame->transparencyMask = {};
  TouchFrame(frame);
}

void MoveTransparentIndex(Frame* frame, uint8_t index) {
  if (!frame) return;
  if (!frame->Transparent() || frame->transparencyMask.empty() || !frame->rgbPlane.empty()) {
    SetTransparentIndex(frame, index);
    return;
  }
  SetTransparentDisplayColour(frame, false);
  frame->transparentIndex = index;
  SetTransparentDisplayColour(frame, true);
  TouchFrame(frame);
}

void TakePicture(Frame* frame, Frame* from) {
  if (!frame || !from || frame == from) return;
  frame->dib = std::move(from->dib);
  from->dib.clear();
  frame->transparentIndex = from->transparentIndex;
  frame->controlFlags = static_cast<uint8_t>((frame->controlFlags & ~1) | (from->controlFlags & 1));
  frame->transparencyMask = std::move(from->transparencyMask);
  from->transparencyMask.clear();
  TouchFrame(frame);
}

void SetTransparency(Frame* frame, bool on) {
  if (!frame) return;
  if (!on) {
    RemoveTransparencyMask(frame);
    frame->controlFlags &= ~1;
    TouchFrame(frame);
    return;
  }
  frame->controlFlags |= 1;
  RebuildTransparencyMask(frame);
}

void SetTransparentIndex(Frame* frame, uint8_t index) {
  if (!frame) return;
  RemoveTransparencyMask(frame);
  frame->transparentIndex = index;
  TouchFrame(frame);
  RebuildTransparencyMask(frame);
}

}  // namespace lw
