// Rewriting frames through index maps, and giving 24-bit frames an indexed image.
#include <algorithm>
#include <cstring>

#include "base/progress.h"
#include "colour/colour_engine.h"
#include "colour/colour_internal.h"
#include "core/pixel_counts.h"

namespace lw {

namespace colour {

void CountGlobalUsage(const Animation& animation, uint32_t* counts, bool opaque) {
  std::memset(counts, 0, 256 * sizeof *counts);
  CountGlobalFramesColours(animation, counts, opaque, 0);
}

bool SomeGlobalFrameTransparent(const Animation& animation) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (UsesGlobalPalette(f) && f->Transparent()) return true;
  }
  return false;
}

}  // namespace colour

using colour::FrameIndexLayout;
using colour::IndexLayout;

PaletteMapping MapPaletteToPalette(const Palette& from, const Palette& to) {
  PaletteMapping mapping = EmptyPaletteMapping();
  if (to.Count() == 0) return mapping;
  int n = std::min(from.Count(), 256);
  for (int i = 0; i < n; ++i) {
    const PaletteEntry& e = from.entries[i];
    mapping[i] = static_cast<uint16_t>(to.NearestIndex(e.red, e.green, e.blue));
  }
  return mapping;
}

void RemapFrame(Frame* frame, Palette* palette, const PaletteMapping* mapping) {
  if (!frame) return;
  IndexLayout layout;
  bool remapped = false;
  uint8_t table[256];
  if (mapping && FrameIndexLayout(frame, &layout)) {
    remapped = true;
    uint8_t* p = frame->bits();
    const uint64_t bytes = layout.stride * layout.height;  // padding included
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>((*mapping)[i] & 0xFF);
    // Eight pixels are read before any is written: a store between each pixel's read and its
    // table look-up makes the processor wait on the two, several times slower on some pictures.
    uint64_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
      uint64_t in, out = 0;
      std::memcpy(&in, p + i, 8);
      for (int shift = 0; shift < 64; shift += 8)
        out |= uint64_t{table[(in >> shift) & 0xFF]} << shift;
      std::memcpy(p + i, &out, 8);
    }
    for (; i < bytes; ++i) p[i] = table[p[i]];
  }
  frame->palette = palette;
  UpdateDibColourTable(frame);
  if (!frame->Transparent()) return;
  uint16_t to = mapping ? (*mapping)[frame->transparentIndex] : frame->transparentIndex;
  if (to == NoIndex) {
    SetTransparency(frame, false);
    return;
  }
  // Where no other index lands on the transparent pixels' new one, the mask still holds.
  bool apart = remapped;
  for (int i = 0; i < 256 && apart; ++i) apart = i == frame->transparentIndex || table[i] != to;
  if (apart) {
    MoveTransparentIndex(frame, static_cast<uint8_t>(to));
  } else if (to != frame->transparentIndex) {
    SetTransparentIndex(frame, static_cast<uint8_t>(to));
  } else {
    RebuildTransparencyMask(frame);  // the pixels changed under the mask
  }
}

namespace colour {

uint16_t TransparentTarget(const PaletteMapping& mapping, uint8_t t, int paletteCount) {
  uint16_t m = mapping[t];
  if (m == NoIndex) return m;
  bool shared = false;
  for (int k = 0; k < 256 && !shared; ++k) shared = k != t && mapping[k] == m;
  if (!shared) return m;
  // Keep the transparent pixels apart from the opaque ones that land on the same index.
  bool targeted[256] = {};
  for (uint16_t v : mapping) {
    if (v < 256) targeted[v] = true;
  }
  for (int i = 0; i < std::min(paletteCount, 256); ++i) {
    if (!targeted[i]) return static_cast<uint16_t>(i);
  }
  return m;
}

void RemapGlobalFrame(Frame* frame, Palette* palette, const PaletteMapping& mapping) {
  if (frame->dib.empty()) {
    frame->palette = palette;
    return;
  }
  if (!frame->Transparent() || !palette) {
    RemapFrame(frame, palette, &mapping);
    return;
  }
  PaletteMapping forFrame = mapping;
  forFrame[frame->transparentIndex] =
      TransparentTarget(mapping, frame->transparentIndex, palette->Count());
  RemapFrame(frame, palette, &forFrame);
}

}  // namespace colour

void RemapGlobalFrames(Animation& animation, Palette* palette, const PaletteMapping& mapping) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (colour::UsesGlobalPalette(f)) colour::RemapGlobalFrame(f, palette, mapping);
  }
}

void RemapGlobalFramesWithSlot(Animation& animation, Palette* palette,
                               const PaletteMapping* mapping, uint8_t slot,
                               ProgressMeter* progress) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (!colour::UsesGlobalPalette(f)) continue;
    if (mapping) {
      PaletteMapping forFrame = *mapping;
      if (f->Transparent()) forFrame[f->transparentIndex] = slot;
      RemapFrame(f, palette, &forFrame);
    } else {
      RemapFrame(f, palette, nullptr);
      if (f->Transparent() && f->transparentIndex != slot) SetTransparentIndex(f, slot);
    }
    ProgressStep(progress);
  }
}

void SetGlobalFramesPalette(Animation& animation, Palette* palette) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (!colour::UsesGlobalPalette(f)) continue;
    f->palette = palette;
    UpdateDibColourTable(f);
  }
}

bool IsTrueColourOnly(const Frame* frame) {
  return frame && !frame->rgbPlane.empty() && frame->dib.empty();
}

bool TrueColourSource(const Frame* frame, PixelSource* source) {
  if (!frame || !source || frame->width == 0 || frame->height == 0) return false;
  uint64_t rgbStride = RgbStride(frame->width), stride = IndexStride(frame->width);
  if (frame->rgbPlane.size() / rgbStride < frame->height) return false;
  *source = {};
  source->width = frame->width;
  source->height = frame->height;
  source->rgbRows = frame->rgbPlane.data();
  source->rgbStride = rgbStride;
  if (!frame->alphaPlane.empty() && frame->alphaPlane.size() / stride >= frame->height) {
    source->alphaRows = frame->alphaPlane.data();
    source->alphaStride = stride;
  }
  return true;
}

namespace {

// Installs the new image, with the last entry as transparent index when the frame had alpha.
void InstallQuantized(Frame* frame, Palette* palette, std::vector<uint8_t> dib, bool hasAlpha,
                      bool keepTrueColour) {
  frame->palette = palette;
  SetFrameDib(frame, std::move(dib));
  if (hasAlpha) {
    SetTransparentIndex(frame, static_cast<uint8_t>(palette->Count() - 1));
    SetTransparency(frame, true);
  }
  if (!keepTrueColour) FreeRgbPlane(frame);
}

}  // namespace

bool QuantizeTrueColourFrame(Frame* frame, Palette* palette, bool dither, bool keepTrueColour) {
  PixelSource source;
  if (!palette || palette->Count() == 0 || !TrueColourSource(frame, &source)) return false;
  std::vector<uint8_t> dib = BuildDib(frame->width, frame->height, palette);
  if (dib.empty()) return false;
  bool hasAlpha = source.alphaRows != nullptr;
  uint8_t last = static_cast<uint8_t>(palette->Count() - 1);
  // With alpha the last entry becomes the transparent index: no opaque pixel may take it.
  int excluded = hasAlpha ? last : -1;
  uint8_t* out = dib.data() + DibBitsOffset;
  uint64_t stride = IndexStride(frame->width);
  bool ok = dither ? DitherToPalette(source, *palette, last, out, stride, excluded)
                   : MapTrueColour(source, *palette, last, out, stride, excluded);
  if (!ok) return false;
  InstallQuantized(frame, palette, std::move(dib), hasAlpha, keepTrueColour);
  return true;
}

bool QuantizeTrueColourFrameOctree(Frame* frame, Palette* palette, const OctreeQuantizer& quantizer,
                                   bool keepTrueColour) {
  PixelSource source;
  if (!palette || palette->Count() == 0 || !TrueColourSource(frame, &source)) return false;
  std::vector<uint8_t> dib = BuildDib(frame->width, frame->height, palette);
  if (dib.empty()) return false;
  bool hasAlpha = source.alphaRows != nullptr;
  uint8_t last = static_cast<uint8_t>(palette->Count() - 1);
  quantizer.MapImage(source, last, dib.data() + DibBitsOffset, IndexStride(frame->width));
  InstallQuantized(frame, palette, std::move(dib), hasAlpha, keepTrueColour);
  return true;
}

}  // namespace lw
