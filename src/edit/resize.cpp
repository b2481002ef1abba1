// Nearest-neighbour and bicubic resizing.
#include "edit/resize.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/palette_fit.h"
#include "core/document_listener.h"
#include "core/geometry_internal.h"
#include "core/undo.h"

namespace lw {

using geometry::Plane;

int64_t ScaleOffset(int64_t v, uint32_t from, uint32_t to) {
  if (from == 0) return v;
  return (int64_t{to} * v + int64_t{from / 2}) / int64_t{from};
}

uint32_t ScaleLength(uint32_t v, uint32_t from, uint32_t to) {
  int64_t scaled = ScaleOffset(v, from, to);
  return static_cast<uint32_t>(std::clamp<int64_t>(scaled, 1, UINT32_MAX));
}

uint32_t ResizePercent(uint32_t oldLength, uint32_t newLength) {
  if (oldLength == 0) return 100;
  return static_cast<uint32_t>((uint64_t{oldLength / 2} + 100 * uint64_t{newLength}) / oldLength);
}

uint32_t ResizeLengthForPercent(uint32_t oldLength, uint32_t percent) {
  return static_cast<uint32_t>((uint64_t{oldLength} * percent + 50) / 100);
}

uint32_t ResizeKeptAspect(uint32_t oldLength, uint32_t oldOther, uint32_t newLength) {
  if (oldLength == 0) return oldOther;
  uint64_t v = (uint64_t{oldLength / 2} + uint64_t{oldOther} * newLength) / oldLength;
  return static_cast<uint32_t>(std::clamp<uint64_t>(v, 1, UINT32_MAX));
}

bool ResizeNeedsBicubic(const Animation& animation, bool wholeAnimation, int currentIndex) {
  if (!wholeAnimation) {
    const Frame* f = FrameAt(animation, currentIndex);
    return f && !f->rgbPlane.empty();
  }
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (!f->rgbPlane.empty()) return true;
  }
  return false;
}

int BicubicWarningFrame(const Animation& animation) {
  int index = 0;
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f), ++index) {
    bool suspect = f->Transparent() || f->left != 0 || f->top != 0;
    if (suspect && f->Disposal() != DisposalBackground) return index;
  }
  return -1;
}

namespace {

// Frames the request changes: all of them, or the selected ones (the current one when none is).
class Affected {
 public:
  explicit Affected(const ResizeRequest& r) : request_(r) {
    anySelected_ = r.animation && FirstSelectedFrame(*r.animation) != nullptr;
  }
  bool operator()(const Frame* f, int index) const {
    if (request_.wholeAnimation) return true;
    return anySelected_ ? f->selected != 0 : index == request_.currentIndex;
  }

 private:
  const ResizeRequest& request_;
  bool anySelected_ = false;
};

bool RequestUsable(const ResizeRequest& r) {
  return r.animation && r.oldWidth && r.oldHeight && r.newWidth && r.newHeight;
}

// ---------------------------------------------------------------------------------------------
// Nearest neighbour

// Output coordinate i of d takes the source pixel under its centre.
std::vector<uint32_t> NearestMap(uint32_t source, uint32_t destination) {
  std::vector<uint32_t> map(destination);
  for (uint32_t i = 0; i < destination; ++i) {
    uint64_t s = (2 * uint64_t{i} + 1) * source / (2 * uint64_t{destination});
    map[i] = static_cast<uint32_t>(std::min<uint64_t>(s, source - 1));
  }
  return map;
}

void Stretch(const Plane& from, int size, uint8_t* out, uint64_t outStride, uint32_t w,
             uint32_t h) {
  std::vector<uint32_t> xs = NearestMap(from.width, w), ys = NearestMap(from.height, h);
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = from.rows + ys[y] * from.stride;
    uint8_t* to = out + y * outStride;
    for (uint32_t x = 0; x < w; ++x)
      std::memcpy(to + uint64_t{x} * size, row + uint64_t{xs[x]} * size, size);
  }
}

struct Stretched {
  Frame* frame = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> dib, rgb, alpha;
  bool hasDib = false, hasRgb = false, hasAlpha = false;
};

bool StretchFrame(Stretched* s, uint32_t w, uint32_t h) {
  Plane index, rgb, alpha;
  s->width = w;
  s->height = h;
  if (geometry::IndexPlane(s->frame, &index)) {
    s->dib = geometry::DibLike(s->frame->dib, w, h);
    if (s->dib.empty()) return false;
    Stretch(index, 1, s->dib.data() + DibBitsOffset, IndexStride(w), w, h);
    s->hasDib = true;
  }
  if (geometry::RgbPlane(s->frame, &rgb)) {
    if (!geometry::Allocate(&s->rgb, RgbStride(w) * h)) return false;
    Stretch(rgb, 3, s->rgb.data(), RgbStride(w), w, h);
    s->hasRgb = true;
    if (geometry::AlphaPlane(s->frame, &alpha)) {
      if (!geometry::Allocate(&s->alpha, IndexStride(w) * h)) return false;
      Stretch(alpha, 1, s->alpha.data(), IndexStride(w), w, h);
      s->hasAlpha = true;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Bicubic

// Cubic convolution with a = -1.
float Kernel(float d) {
  d = std::fabs(d);
  if (d < 1) return d * d * d - 2 * d * d + 1;
  if (d < 2) return -d * d * d + 5 * d * d - 8 * d + 4;
  return 0;
}

enum class AlphaMode {
  None,     // opaque
  Channel,  // an alpha plane, resampled like a colour
  Mask,     // 0 or 255: transparent samples never bleed into their neighbours
};

// Reads tap k (0..4 for base - 2 ... base + 2) of one lane of pixels.
struct Lane {
  const uint8_t* colour;  // the base pixel's colour
  int64_t colourStep;     // bytes from one pixel of the lane to the next
  const uint8_t* alpha;   // the base pixel's alpha, or none
  int64_t alphaStep;
  const uint8_t* Colour(int k) const { return colour + (k - 2) * colourStep; }
  uint8_t Alpha(int k) const { return alpha[(k - 2) * alphaStep]; }
};

inline uint8_t Clamp(int32_t sum) { return static_cast<uint8_t>(std::clamp(sum >> 12, 0, 255)); }

inline void ResamplePixel(const BicubicTaps& t, const Lane& in, AlphaMode mode, uint8_t* outColour,
                          uint8_t* outAlpha) {
  int32_t sum[4] = {2048, 2048, 2048, 2048};
  const uint8_t* centre = in.Colour(2);
  if (mode == AlphaMode::Mask && in.Alpha(2) == 0) {
    std::memcpy(outColour, centre, 3);
    *outAlpha = 0;
    return;
  }
  for (int k = 0; k < 5; ++k) {
    if (!(t.mask & (1 << k))) continue;
    const uint8_t* s = in.Colour(k);
    if (mode == AlphaMode::Mask && in.Alpha(k) == 0) s = centre;
    const int32_t w = t.weight[k];
    sum[0] += s[0] * w;
    sum[1] += s[1] * w;
    sum[2] += s[2] * w;
    if (mode == AlphaMode::Channel) sum[3] += in.Alpha(k) * w;
  }
  outColour[0] = Clamp(sum[0]);
  outColour[1] = Clamp(sum[1]);
  outColour[2] = Clamp(sum[2]);
  if (mode == AlphaMode::Mask) *outAlpha = 255;
  if (mode == AlphaMode::Channel) *outAlpha = Clamp(sum[3]);
}

struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;    // rows of RgbStride(width)
  std::vector<uint8_t> alpha;  // rows of IndexStride(width), when there is alpha
  uint64_t RgbRow() const { return RgbStride(width); }
  uint64_t AlphaRow() const { return IndexStride(width); }
};

bool AllocateImage(Image* image, uint32_t width, uint32_t height, bool alpha) {
  image->width = width;
  image->height = height;
  if (!geometry::Allocate(&image->rgb, RgbStride(width) * height)) return false;
  return !alpha || geometry::Allocate(&image->alpha, IndexStride(width) * height);
}

// Along x: in (w x h) to out (newWidth x h).
void ResampleRows(const Image& in, const std::vector<BicubicTaps>& taps, AlphaMode mode,
                  Image* out) {
  const bool alpha = mode != AlphaMode::None;
  for (uint32_t y = 0; y < in.height; ++y) {
    const uint8_t* row = in.rgb.data() + y * in.RgbRow();
    const uint8_t* alphaRow = alpha ? in.alpha.data() + y * in.AlphaRow() : nullptr;
    uint8_t* to = out->rgb.data() + y * out->RgbRow();
    uint8_t* alphaTo = alpha ? out->alpha.data() + y * out->AlphaRow() : nullptr;
    for (uint32_t x = 0; x < out->width; ++x) {
      const BicubicTaps& t = taps[x];
      Lane lane{row + 3 * int64_t{t.base}, 3, alpha ? alphaRow + t.base : nullptr, 1};
      ResamplePixel(t, lane, mode, to + 3 * uint64_t{x}, alpha ? alphaTo + x : nullptr);
    }
  }
}

// Along y: in (w x h) to out (w x newHeight).
void ResampleColumns(const Image& in, const std::vector<BicubicTaps>& taps, AlphaMode mode,
                     Image* out) {
  const bool alpha = mode != AlphaMode::None;
  const int64_t rgbRow = static_cast<int64_t>(in.RgbRow());
  const int64_t alphaRow = static_cast<int64_t>(in.AlphaRow());
  for (uint32_t y = 0; y < out->height; ++y) {
    const BicubicTaps& t = taps[y];
    const uint8_t* row = in.rgb.data() + t.base * rgbRow;
    const uint8_t* alphaSource = alpha ? in.alpha.data() + t.base * alphaRow : nullptr;
    uint8_t* to = out->rgb.data() + y * out->RgbRow();
    uint8_t* alphaTo = alpha ? out->alpha.data() + y * out->AlphaRow() : nullptr;
    for (uint32_t x = 0; x < out->width; ++x) {
      Lane lane{row + 3 * int64_t{x}, rgbRow, alpha ? alphaSource + x : nullptr, alphaRow};
      ResamplePixel(t, lane, mode, to + 3 * uint64_t{x}, alpha ? alphaTo + x : nullptr);
    }
  }
}

// The frame's pixels as 24-bit data with what tells its transparency: its own planes, or, for a
// frame with only 8-bit pixels, colours through its palette (transparent pixels black) and a
// 0/255 mask from its transparent index.
bool SourceImage(const Frame* f, Image* image, AlphaMode* mode) {
  Plane rgb, alpha, index;
  const bool indexed = geometry::IndexPlane(f, &index);
  if (geometry::RgbPlane(f, &rgb)) {
    const bool hasAlpha = geometry::AlphaPlane(f, &alpha);
    // Transparency of a frame without alpha plane comes from its 8-bit pixels, when they match.
    const bool masked = !hasAlpha && f->Transparent() && indexed && index.width == rgb.width &&
                        index.height == rgb.height;
    *mode = hasAlpha ? AlphaMode::Channel : masked ? AlphaMode::Mask : AlphaMode::None;
    if (!AllocateImage(image, rgb.width, rgb.height, *mode != AlphaMode::None)) return false;
    for (uint32_t y = 0; y < rgb.height; ++y) {
      std::memcpy(image->rgb.data() + y * image->RgbRow(), rgb.rows + y * rgb.stride,
                  3 * uint64_t{rgb.width});
      if (hasAlpha) {
        std::memcpy(image->alpha.data() + y * image->AlphaRow(), alpha.rows + y * alpha.stride,
                    rgb.width);
      }
      if (masked) {
        const uint8_t* row = index.rows + y * index.stride;
        uint8_t* a = image->alpha.data() + y * image->AlphaRow();
        for (uint32_t x = 0; x < rgb.width; ++x) a[x] = row[x] == f->transparentIndex ? 0 : 255;
      }
    }
    return true;
  }
  if (!indexed) return false;
  *mode = f->Transparent() ? AlphaMode::Mask : AlphaMode::None;
  if (!AllocateImage(image, index.width, index.height, *mode == AlphaMode::Mask)) return false;
  const Palette* palette = f->palette;
  const int count = palette ? palette->Count() : 0;
  for (uint32_t y = 0; y < index.height; ++y) {
    const uint8_t* row = index.rows + y * index.stride;
    uint8_t* to = image->rgb.data() + y * image->RgbRow();
    uint8_t* a = *mode == AlphaMode::Mask ? image->alpha.data() + y * image->AlphaRow() : nullptr;
    for (uint32_t x = 0; x < index.width; ++x) {
      const uint8_t i = row[x];
      const bool clear = a && i == f->transparentIndex;
      if (a) a[x] = clear ? 0 : 255;
      if (clear || i >= count) continue;  // black
      const PaletteEntry& e = palette->entries[i];
      to[3 * x] = e.blue;
      to[3 * x + 1] = e.green;
      to[3 * x + 2] = e.red;
    }
  }
  return true;
}

// A true-colour-only frame of the new size holding the resampled pixels; none when memory is
// short.
Frame* ResampledFrame(const Frame* f, const ResizeRequest& r, Palette* global) {
  Image source;
  AlphaMode mode = AlphaMode::None;
  if (!SourceImage(f, &source, &mode)) return nullptr;
  const uint32_t w = ScaleLength(source.width, r.oldWidth, r.newWidth);
  const uint32_t h = ScaleLength(source.height, r.oldHeight, r.newHeight);
  std::vector<BicubicTaps> xTaps = BicubicTapTable(source.width, w);
  std::vector<BicubicTaps> yTaps = BicubicTapTable(source.height, h);
  if (xTaps.empty() || yTaps.empty()) return nullptr;
  const bool alpha = mode != AlphaMode::None;
  Image middle, result;
  if (!AllocateImage(&middle, w, source.height, alpha)) return nullptr;
  ResampleRows(source, xTaps, mode, &middle);
  source = {};
  if (!AllocateImage(&result, w, h, alpha)) return nullptr;
  ResampleColumns(middle, yTaps, mode, &result);
  middle = {};

  Frame* out = NewFrame(w, h, f->delay);
  if (!out) return nullptr;
  out->selected = f->selected;
  out->left = static_cast<int32_t>(
      std::clamp<int64_t>(ScaleOffset(f->left, r.oldWidth, r.newWidth), INT32_MIN, INT32_MAX));
  out->top = static_cast<int32_t>(
      std::clamp<int64_t>(ScaleOffset(f->top, r.oldHeight, r.newHeight), INT32_MIN, INT32_MAX));
  out->hotspotX = f->hotspotX;
  out->hotspotY = f->hotspotY;
  CopyFrameAttributes(out, f);
  // The user-input bit goes with the frame; transparency comes back from the alpha plane.
  out->controlFlags = static_cast<uint8_t>((out->controlFlags & ~0x02) | (f->controlFlags & 0x02));
  out->palette = global;
  SetRgbPlane(out, std::move(result.rgb));
  if (alpha) SetAlphaPlane(out, std::move(result.alpha));
  return out;
}

int BicubicFailure() {
  ShowErrorId(str::NoBicubicMemory);
  return 0;
}

}  // namespace

std::vector<BicubicTaps> BicubicTapTable(uint32_t source, uint32_t destination) {
  std::vector<BicubicTaps> table;
  if (source == 0 || destination == 0) return table;
  try {
    table.resize(destination);
  } catch (const std::bad_alloc&) {
    return {};
  }
  const float factor = static_cast<float>(source) / static_cast<float>(destination);
  const int64_t s = source;
  for (uint32_t i = 0; i < destination; ++i) {
    BicubicTaps& t = table[i];
    const float p = static_cast<float>(i) * factor;
    int64_t base = static_cast<int64_t>(p);
    // Rounding of p never lets it reach the end of the source.
    base = std::min<int64_t>(base, s - 1);
    const float f = std::floor((p - static_cast<float>(base)) * 5 + 0.5f) * 0.2f;
    const float d[5] = {f + 2, f + 1, f, 1 - f, 2 - f};
    for (int k = 0; k < 5; ++k) t.weight[k] = static_cast<int32_t>(4096 * Kernel(d[k]));
    t.base = static_cast<int32_t>(base);
    t.mask = 0x1F;
    // Taps beyond the edges fold their weight onto the nearest tap inside.
    if (base < 2) t.weight[1] += t.weight[0], t.weight[0] = 0, t.mask &= ~0x01;
    if (base < 1) t.weight[2] += t.weight[1], t.weight[1] = 0, t.mask &= ~0x02;
    if (base >= s - 2) t.weight[3] += t.weight[4], t.weight[4] = 0, t.mask &= ~0x10;
    if (base >= s - 1) t.weight[2] += t.weight[3], t.weight[3] = 0, t.mask &= ~0x08;
  }
  return table;
}

bool ResizeNearest(const ResizeRequest& r, ProgressMeter* progress) {
  if (!RequestUsable(r)) return false;
  Affected affected(r);
  std::vector<Stretched> work;
  int index = 0;
  try {
    for (Frame* f = FirstFrame(*r.animation); f; f = NextFrame(f), ++index) {
      if (!affected(f, index)) continue;
      work.emplace_back();
      work.back().frame = f;
    }
  } catch (const std::bad_alloc&) {
    ShowErrorId(str::NoFrameMemory);
    return false;
  }
  // Every new image is made before any is installed, so a failure changes nothing.
  for (Stretched& s : work) {
    const uint32_t w = ScaleLength(s.frame->width, r.oldWidth, r.newWidth);
    const uint32_t h = ScaleLength(s.frame->height, r.oldHeight, r.newHeight);
    if (!StretchFrame(&s, w, h)) {
      ShowErrorId(str::NoFrameMemory);
      return false;
    }
    if (!ProgressStep(progress)) return false;
  }
  for (Stretched& s : work) {
    Frame* f = s.frame;
    if (s.hasDib) f->dib = std::move(s.dib);
    if (s.hasRgb) f->rgbPlane = std::move(s.rgb);
    if (s.hasAlpha) f->alphaPlane = std::move(s.alpha);
    // Planes too short for the image were useless before and would be wrong now.
    if (!s.hasRgb) FreeRgbPlane(f);
    if (!s.hasAlpha) FreeAlphaPlane(f);
    f->width = s.width;
    f->height = s.height;
    f->left = static_cast<int32_t>(
        std::clamp<int64_t>(ScaleOffset(f->left, r.oldWidth, r.newWidth), INT32_MIN, INT32_MAX));
    f->top = static_cast<int32_t>(
        std::clamp<int64_t>(ScaleOffset(f->top, r.oldHeight, r.newHeight), INT32_MIN, INT32_MAX));
    RebuildTransparencyMask(f);
  }
  return true;
}

int ResizeBicubic(const ResizeRequest& r, WindowHandle owner, ProgressMeter* progress) {
  if (!RequestUsable(r)) return BicubicFailure();
  Animation& animation = *r.animation;
  Affected affected(r);
  AnimationPtr copy = CloneAnimationHeader(animation);
  if (!copy) return BicubicFailure();
  if (animation.globalPalette) {
    PalettePtr global = CopyPalette(animation.globalPalette.get());
    if (!global) return BicubicFailure();
    SetGlobalPalette(*copy, std::move(global));
  }
  // Positions of the new frames made from 8-bit pixels only: their 24-bit data is dropped again.
  std::vector<int> builtPlanes;
  Block* last = copy->blocks;
  int index = 0;
  for (Block* b = animation.blocks ? animation.blocks->next : nullptr; b; b = b->next) {
    Block* made = nullptr;
    auto* f = b->IsFrame() ? static_cast<Frame*>(b) : nullptr;
    if (f && affected(f, index)) {
      made = ResampledFrame(f, r, copy->globalPalette.get());
      if (made && f->rgbPlane.empty()) {
        try {
          builtPlanes.push_back(index);
        } catch (const std::bad_alloc&) {
          FreeBlock(made);
          made = nullptr;
        }
      }
    } else {
      made = DuplicateBlock(b, copy->globalPalette.get());
    }
    if (!made) return BicubicFailure();
    LinkBlocks(last, made);
    last = made;
    if (f) {
      copy->frameCount = static_cast<int16_t>(copy->frameCount + 1);
      ++index;
      if (!ProgressStep(progress)) return 2;
    }
  }

  const int fitted = FitPalettes(nullptr, copy.get(), 0, r.paletteFit, owner, progress);
  if (fitted == 2) return 2;
  if (fitted != 1) return BicubicFailure();
  if (r.paletteFit.keepTrueColour) {
    for (int i : builtPlanes) FreeRgbPlane(FrameAt(*copy, i));
  }
  SwapAnimations(animation, *copy);
  animation.encodedSizeCache = -1;
  return 1;
}

uint32_t ApplyResize(const ResizeRequest& r, bool bicubic, WindowHandle owner) {
  if (!RequestUsable(r)) return 0;
  if (r.newWidth == r.oldWidth && r.newHeight == r.oldHeight) return 0;
  Animation& animation = *r.animation;
  ProgressMeterPtr progress(CreateProgressMeter(owner, 0, 0));
  ProgressSetText(progress.get(), LoadResText(str::Resizing));
  ProgressSetRange(progress.get(), static_cast<uint32_t>(std::max<int>(animation.frameCount, 0)));
  UndoStep step(UndoStep::Discard, UndoKind::ResizeAnimation, animation);
  const bool done =
      bicubic ? ResizeBicubic(r, owner, progress.get()) == 1 : ResizeNearest(r, progress.get());
  progress.reset();
  if (!done) return 0;
  step.Commit();
  if (r.wholeAnimation) {
    animation.screenWidth = r.newWidth;
    animation.screenHeight = r.newHeight;
  } else {
    Extent extent = FramesExtent(animation);
    animation.screenWidth = static_cast<uint32_t>(std::clamp<int64_t>(extent.right, 1, 65535));
    animation.screenHeight = static_cast<uint32_t>(std::clamp<int64_t>(extent.bottom, 1, 65535));
  }
  CountColourUsage(animation, animation.colourUsage.data(), true);
  animation.encodedSizeCache = -1;
  return refresh::Document | refresh::ScreenSize | refresh::Encoding;
}

}  // namespace lw
