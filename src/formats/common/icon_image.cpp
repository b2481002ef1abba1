#include "formats/common/icon_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "colour/palette_fit.h"
#include "core/picture_budget.h"
#include "formats/common/packed_dib.h"
#include "formats/common/png_codec.h"

namespace lw {
namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The 16-colour table of 4-bit icons (red, green, blue).
constexpr uint8_t kStandardColours[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

// A local palette for each new frame, at the default colour limits, never asked.
constexpr uint32_t kOwnPaletteWord = 0x880010;

int StandardIndex(const PaletteEntry& e) {
  for (int i = 0; i < 16; ++i)
    if (kStandardColours[i][0] == e.red && kStandardColours[i][1] == e.green &&
        kStandardColours[i][2] == e.blue)
      return i;
  return -1;
}

bool IsBlackOrWhite(const PaletteEntry& e) {
  return (e.red == 0 && e.green == 0 && e.blue == 0) ||
         (e.red == 255 && e.green == 255 && e.blue == 255);
}

// Mask bit of pixel (x, y) counted from the top; mask rows are bottom-up.
bool MaskBit(const uint8_t* mask, uint64_t stride, uint32_t height, uint32_t x, uint32_t y) {
  return (mask[stride * (height - 1 - y) + x / 8] >> (7 - x % 8)) & 1;
}

// Makes the palette in effect the frame's own (the animation keeps none).
void MakePaletteLocal(Animation& animation, Frame* frame) {
  if (frame->localPalette || !animation.globalPalette) return;
  PalettePtr palette = SetGlobalPalette(animation, nullptr);
  SetLocalPalette(frame, std::move(palette));
}

// The masked pixels take an index no other pixel uses: the first unused one, a new black entry
// when all are used, or, with a full palette, the one index the masked pixels already share.
// An image that masks nothing stays opaque.
void ApplyAndMask(Frame* frame, const uint8_t* mask) {
  const uint32_t w = frame->width, h = frame->height;
  const uint64_t maskStride = MaskStride(w), stride = IndexStride(w);
  uint8_t* bits = frame->bits();
  if (!bits || !frame->localPalette) return;
  int firstMasked = -1;
  for (uint32_t y = 0; y < h && firstMasked < 0; ++y)
    for (uint32_t x = 0; x < w && firstMasked < 0; ++x)
      if (MaskBit(mask, maskStride, h, x, y)) firstMasked = bits[stride * y + x];
  if (firstMasked < 0) return;
  uint32_t usage[256];
  CountFrameColours(frame, usage, true);
  const int count = frame->localPalette->Count();
  int t = -1;
  for (int i = 0; i < count && t < 0; ++i)
    if (usage[i] == 0) t = i;
  if (t < 0 && count < 256) {
    PalettePtr bigger = CopyPalette(frame->localPalette.get());
    if (!bigger) return;
    bigger->entries.push_back({0, 0, 0, 0});
    t = count;
    SetLocalPalette(frame, std::move(bigger));
    UpdateDibColourTable(frame);
  }
  if (t < 0) {
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x)
        if (MaskBit(mask, maskStride, h, x, y) != (bits[stride * y + x] == firstMasked)) return;
    t = firstMasked;
  }
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      if (MaskBit(mask, maskStride, h, x, y)) bits[stride * y + x] = static_cast<uint8_t>(t);
  SetTransparentIndex(frame, static_cast<uint8_t>(t));
  SetTransparency(frame, true);
}

// A true-colour frame gets its own palette and 8-bit image.
bool FitOwnPalette(AnimationPtr& animation, const ReadOptions& options, WindowHandle owner) {
  PaletteFitOptions fit;
  fit.keepTrueColour = options.keepTrueColour;
  if (FitPalettes(nullptr, animation.get(), kOwnPaletteWord, fit, owner, nullptr) != 1)
    return false;
  Frame* frame = FirstFrame(*animation);
  MakePaletteLocal(*animation, frame);
  SetFrameName(frame, "");
  return frame->bits() != nullptr;
}

AnimationPtr FromPng(const uint8_t* image, size_t size, const ReadOptions& options,
                     WindowHandle owner) {
  AnimationPtr animation;
  if (ReadPngBytes(image, size, options.timing, &animation) != 1 || !animation) return nullptr;
  Frame* frame = FirstFrame(*animation);
  if (!frame->rgbPlane.empty()) {
    if (!FitOwnPalette(animation, options, owner)) return nullptr;
  } else {
    MakePaletteLocal(*animation, frame);
  }
  return animation;
}

}  // namespace

void PutIconLe16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

void PutIconLe32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t IconImageHeight(const uint8_t* image, size_t size) {
  if (!image || size < DibHeaderSize) return 0;
  if (std::memcmp(image, kPngSignature, std::min<size_t>(size, 8)) == 0) return 0;
  auto height = static_cast<int32_t>(IconLe32(image + 8));
  if (height <= 0) return 0;
  return height / 2 > 0 ? static_cast<uint32_t>(height / 2) : 1;
}

AnimationPtr FrameFromIconImage(const uint8_t* image, size_t size, uint32_t height,
                                const ReadOptions& options, WindowHandle owner) {
  if (!image) return nullptr;
  if (size >= 8 && std::memcmp(image, kPngSignature, 8) == 0) {
    AnimationPtr animation = FromPng(image, size, options, owner);
    if (animation) SetDisposal(FirstFrame(*animation), DisposalBackground);
    return animation;
  }
  if (size < DibHeaderSize || height == 0 || height > INT32_MAX) return nullptr;
  const auto headerHeight = static_cast<int32_t>(IconLe32(image + 8));
  const auto width = static_cast<int32_t>(IconLe32(image + 4));
  const int depth = IconLe16(image + 14);
  const uint32_t colours = IconLe32(image + 32);
  if (width <= 0 || headerHeight <= 0 || colours > 256) return nullptr;
  if (!PictureFitsBudget(static_cast<uint32_t>(width), height, depth <= 8 ? 1 : 4)) return nullptr;
  const bool hasMask = static_cast<uint64_t>(headerHeight) == uint64_t{2} * height;

  // The XOR image alone, with the height it really has.
  std::vector<uint8_t> dib;
  try {
    dib.assign(image, image + size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  dib[8] = static_cast<uint8_t>(height);
  dib[9] = static_cast<uint8_t>(height >> 8);
  dib[10] = static_cast<uint8_t>(height >> 16);
  dib[11] = static_cast<uint8_t>(height >> 24);
  AnimationPtr animation = DibToAnimation(dib.data(), dib.size(), options.timing);
  if (!animation) return nullptr;
  Frame* frame = FirstFrame(*animation);

  // Where the AND mask lies, when the image holds all of it.
  const uint64_t w = static_cast<uint32_t>(width);
  const uint64_t headerBytes = IconLe32(image);
  // A 40-byte header with bit fields has three colour masks before the pixels; longer headers
  // hold their masks.
  const bool bitFields = headerBytes == DibHeaderSize && IconLe32(image + 16) == 3;
  const uint64_t table =
      4 * (depth <= 8 && colours == 0 ? uint64_t{1} << depth : colours) + (bitFields ? 12 : 0);
  const uint64_t xorBytes = ((w * depth + 31) / 32) * 4 * height;
  const uint64_t maskAt = headerBytes + table + xorBytes;
  const uint8_t* mask = nullptr;
  if (hasMask && maskAt <= size && (size - maskAt) / height >= MaskStride(w)) mask = image + maskAt;

  if (depth <= 8) {
    MakePaletteLocal(*animation, frame);
    if (mask) ApplyAndMask(frame, mask);
  } else {
    // Without alpha of its own (16 and 24 bits, or 32 bits that leave the fourth byte unused)
    // the mask says what is transparent.
    if (mask && frame->alphaPlane.empty()) {
      std::vector<uint8_t> alpha;
      try {
        alpha.assign(IndexStride(w) * height, 255);
      } catch (const std::bad_alloc&) {
        return nullptr;
      }
      const uint64_t stride = IndexStride(w);
      for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < w; ++x)
          if (MaskBit(mask, MaskStride(w), height, x, y)) alpha[stride * y + x] = 0;
      SetAlphaPlane(frame, std::move(alpha));
    }
    if (!FitOwnPalette(animation, options, owner)) return nullptr;
    frame = FirstFrame(*animation);
  }
  SetDisposal(frame, DisposalBackground);
  return animation;
}

void AppendIconFrame(Animation& to, Animation& from) {
  Frame* frame = FirstFrame(from);
  if (!frame) return;
  MakePaletteLocal(from, frame);
  LinkBlocks(frame->prev, frame->next);
  frame->prev = frame->next = nullptr;
  from.frameCount = static_cast<int16_t>(from.frameCount - 1);
  InsertBlockAfter(LastBlock(to), frame);
  to.frameCount = static_cast<int16_t>(to.frameCount + 1);
}

// ---- Writing ----

namespace {

bool HasRgb(const Frame& f) { return f.rgbPlane.size() >= RgbStride(f.width) * f.height; }
bool HasAlpha(const Frame& f) {
  return HasRgb(f) && f.alphaPlane.size() >= IndexStride(f.width) * f.height;
}
bool HasBits(const Frame& f) {
  return f.bits() && f.dib.size() >= DibBitsOffset + IndexStride(f.width) * f.height;
}

bool IsTransparentIndex(const Frame& f, uint8_t index) {
  return f.Transparent() && index == f.transparentIndex;
}

// The highest index an opaque pixel uses; -1 when none does.
int HighestOpaqueIndex(const Frame& f) {
  uint32_t usage[256];
  CountOpaqueFrameColours(&f, usage, true);
  for (int i = 255; i >= 0; --i)
    if (usage[i]) return i;
  return -1;
}

}  // namespace

int IconDepth(const Frame& frame) {
  if (HasAlpha(frame)) return 32;
  if (HasRgb(frame)) return 24;
  const Palette* palette = frame.palette;
  if (!palette || !HasBits(frame)) return 8;
  const int highest = HighestOpaqueIndex(frame);
  const int t = frame.Transparent() ? frame.transparentIndex : -1;
  const int count = palette->Count();
  // Only opaque pixels need a colour of the table; transparent ones are written black.
  bool blackWhite = highest < 2 && t < 3;
  for (int i = 0; i < std::min(count, 2) && blackWhite; ++i)
    if (i != t) blackWhite = IsBlackOrWhite(palette->entries[i]);
  if (blackWhite) return 1;
  bool standard = highest < 16 && t <= 16;
  for (int i = 0; i < std::min(count, 16) && standard; ++i)
    if (i != t) standard = StandardIndex(palette->entries[i]) >= 0;
  return standard ? 4 : 8;
}

uint64_t IconImageSize(int depth, uint64_t w, uint64_t h) {
  const uint64_t mask = (w + 31) / 32;
  switch (depth) {
    case 1: return 48 + 8 * mask * h;
    case 4: return 104 + 4 * ((w + 7) / 8 + mask) * h;
    case 8: return 1064 + 4 * ((w + 3) / 4 + mask) * h;
    case 24: return 40 + 4 * ((3 * w + 3) / 4 + mask) * h;
    default: return 40 + 4 * (w + mask) * h;
  }
}

bool AppendIconImage(const Frame& frame, int depth, std::vector<uint8_t>* out) {
  const uint64_t w = frame.width, h = frame.height;
  if (w == 0 || h == 0 || h > INT32_MAX / 2 || w > INT32_MAX) return false;
  if (depth >= 24 ? !HasRgb(frame) : !HasBits(frame)) return false;
  if (depth <= 8 && !frame.palette) return false;
  const uint64_t size = IconImageSize(depth, w, h);
  if (size > UINT32_MAX) return false;
  const size_t start = out->size();
  try {
    out->reserve(start + size);
    PutIconLe32(out, DibHeaderSize);
    PutIconLe32(out, static_cast<uint32_t>(w));
    PutIconLe32(out, static_cast<uint32_t>(2 * h));
    PutIconLe16(out, 1);
    PutIconLe16(out, static_cast<uint32_t>(depth));
    PutIconLe32(out, 0);  // no compression
    PutIconLe32(out, static_cast<uint32_t>(size - DibHeaderSize - (depth <= 8 ? 4 << depth : 0)));
    for (int i = 0; i < 4; ++i) PutIconLe32(out, 0);

    // The colour table; an index of the frame becomes an index of it.
    uint8_t remap[256] = {};
    const Palette* palette = frame.palette;
    if (depth == 1) {
      const uint8_t table[8] = {0, 0, 0, 0, 255, 255, 255, 0};
      out->insert(out->end(), table, table + 8);
      for (int i = 0; i < std::min(palette->Count(), 2); ++i)
        remap[i] = palette->entries[i].red == 255 ? 1 : 0;
    } else if (depth == 4) {
      for (const auto& c : kStandardColours) {
        const uint8_t quad[4] = {c[2], c[1], c[0], 0};
        out->insert(out->end(), quad, quad + 4);
      }
      for (int i = 0; i < std::min(palette->Count(), 16); ++i)
        remap[i] = static_cast<uint8_t>(std::max(StandardIndex(palette->entries[i]), 0));
    } else if (depth == 8) {
      for (int i = 0; i < 256; ++i) {
        PaletteEntry e = i < palette->Count() ? palette->entries[i] : PaletteEntry{};
        // Screen AND mask XOR image: a masked pixel shows through only over black.
        if (IsTransparentIndex(frame, static_cast<uint8_t>(i))) e = PaletteEntry{};
        const uint8_t quad[4] = {e.blue, e.green, e.red, 0};
        out->insert(out->end(), quad, quad + 4);
        remap[i] = static_cast<uint8_t>(i);
      }
    }

    // XOR rows then AND rows, both bottom-up.
    const uint64_t xorStride = ((w * depth + 31) / 32) * 4, maskStride = MaskStride(w);
    const size_t xorAt = out->size();
    out->resize(xorAt + (xorStride + maskStride) * h, 0);
    uint8_t* xorRows = out->data() + xorAt;
    uint8_t* maskRows = xorRows + xorStride * h;
    const uint8_t* bits = frame.bits();
    for (uint64_t y = 0; y < h; ++y) {
      uint8_t* to = xorRows + xorStride * (h - 1 - y);
      uint8_t* maskRow = maskRows + maskStride * (h - 1 - y);
      const uint8_t* indexes = HasBits(frame) ? bits + IndexStride(w) * y : nullptr;
      const uint8_t* rgb = depth >= 24 ? frame.rgbPlane.data() + RgbStride(w) * y : nullptr;
      const uint8_t* alpha = depth == 32 ? frame.alphaPlane.data() + IndexStride(w) * y : nullptr;
      for (uint64_t x = 0; x < w; ++x) {
        bool transparent = alpha ? alpha[x] == 0 : indexes && IsTransparentIndex(frame, indexes[x]);
        if (transparent) maskRow[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        if (depth == 32) {
          if (transparent) continue;  // four zero bytes
          std::memcpy(to + 4 * x, rgb + 3 * x, 3);
          to[4 * x + 3] = alpha[x];
        } else if (depth == 24) {
          if (!transparent) std::memcpy(to + 3 * x, rgb + 3 * x, 3);
        } else if (!transparent) {
          const uint8_t v = remap[indexes[x]];
          if (depth == 8)
            to[x] = v;
          else if (depth == 4)
            to[x / 2] |= static_cast<uint8_t>(x % 2 ? v : v << 4);
          else
            to[x / 8] |= static_cast<uint8_t>(v << (7 - x % 8));
        } else if (depth == 8) {
          to[x] = indexes[x];
        }
      }
    }
  } catch (const std::bad_alloc&) {
    out->resize(start);
    return false;
  }
  return out->size() - start == size;
}

void ApplyHotSpotChoice(Animation& document, const SaveOptions& options) {
  const CursorSaveOptions* chosen = options.FormatOptions<CursorSaveOptions>();
  Frame* first = FirstFrame(document);
  if (!first || !chosen || chosen->hotspotX < 0 || chosen->hotspotY < 0) return;
  first->hotspotX = chosen->hotspotX;
  first->hotspotY = chosen->hotspotY;
}

}  // namespace lw
