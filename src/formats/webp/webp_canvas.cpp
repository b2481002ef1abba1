#include "formats/webp/webp_canvas.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/alpha_rule.h"
#include "core/compose.h"
#include "core/picture_budget.h"

namespace lw {

bool ClearPixel(const uint8_t* bgra) { return IsClearAlpha(bgra[3]); }

namespace {

// Two canvas pixels look the same when both are wholly clear, whatever colour they hold; a
// partly clear pixel is kept as it is, so that the frames give back the file's pictures.
bool SamePixel(const uint8_t* a, const uint8_t* b) {
  if (a[3] == 0 || b[3] == 0) return a[3] == b[3];
  return std::memcmp(a, b, 4) == 0;
}

// A rectangle grown point by point; empty while x1 < x0.
struct Box {
  uint32_t x0 = UINT32_MAX, y0 = UINT32_MAX, x1 = 0, y1 = 0;  // x1, y1 past the end
  bool Empty() const { return x0 >= x1; }
  void AddRow(uint32_t y, uint32_t first, uint32_t last) {
    x0 = std::min(x0, first), x1 = std::max(x1, last + 1);
    y0 = std::min(y0, y), y1 = std::max(y1, y + 1);
  }
  void Add(const Box& b) {
    if (b.Empty()) return;
    x0 = std::min(x0, b.x0), x1 = std::max(x1, b.x1);
    y0 = std::min(y0, b.y0), y1 = std::max(y1, b.y1);
  }
};

// The box of the pixels for which differ(a, b) holds.
template <typename Differ>
Box BoxWhere(const uint8_t* a, const uint8_t* b, uint32_t width, uint32_t height, Differ differ) {
  Box box;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* ra = a + uint64_t{4} * width * y;
    const uint8_t* rb = b + uint64_t{4} * width * y;
    uint32_t x = 0;
    while (x < width && !differ(ra + 4 * x, rb + 4 * x)) ++x;
    if (x == width) continue;
    uint32_t last = width - 1;
    while (last > x && !differ(ra + 4 * last, rb + 4 * last)) --last;
    box.AddRow(y, x, last);
  }
  return box;
}

}  // namespace

// ---- The document's pictures ----

DocumentPictures::DocumentPictures(const Animation& document)
    : width_(document.screenWidth), height_(document.screenHeight) {}

bool DocumentPictures::Ready() {
  if (width_ == 0 || height_ == 0 || !PictureFitsBudget(width_, height_, 4)) return false;
  try {
    canvas_.assign(uint64_t{4} * width_ * height_, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void DocumentPictures::ClearRect(int64_t x, int64_t y, int64_t w, int64_t h) {
  int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(x + w, width_);
  int64_t y0 = std::max<int64_t>(y, 0), y1 = std::min<int64_t>(y + h, height_);
  if (x0 >= x1) return;
  for (int64_t r = y0; r < y1; ++r)
    std::memset(canvas_.data() + 4 * (r * width_ + x0), 0, static_cast<size_t>(4 * (x1 - x0)));
}

// A frame with an alpha plane, laid over what is shown (the preview blends it the same way over
// its own background).
void DocumentPictures::Blend(const Frame& frame) {
  DibGeometry g;
  if (!GetDibGeometry(frame.dib, &g)) return;
  uint64_t rgbStride = RgbStride(g.width), alphaStride = IndexStride(g.width);
  if (rgbStride * g.height > frame.rgbPlane.size() ||
      alphaStride * g.height > frame.alphaPlane.size())
    return Paint(frame);
  int64_t w = std::min<int64_t>(frame.width, g.width),
          h = std::min<int64_t>(frame.height, g.height);
  int64_t x0 = std::max<int64_t>(frame.left, 0), x1 = std::min<int64_t>(frame.left + w, width_);
  int64_t y0 = std::max<int64_t>(frame.top, 0), y1 = std::min<int64_t>(frame.top + h, height_);
  for (int64_t y = y0; y < y1; ++y) {
    const uint8_t* rgb = frame.rgbPlane.data() + (y - frame.top) * rgbStride;
    const uint8_t* alpha = frame.alphaPlane.data() + (y - frame.top) * alphaStride;
    for (int64_t x = x0; x < x1; ++x) {
      int64_t sx = x - frame.left;
      uint8_t* out = canvas_.data() + 4 * (y * width_ + x);
      uint32_t a = alpha[sx], below = out[3] * (255 - a) / 255, total = a + below;
      for (int c = 0; c < 3; ++c)
        out[c] = total ? static_cast<uint8_t>((rgb[3 * sx + c] * a + out[c] * below) / total) : 0;
      out[3] = static_cast<uint8_t>(total);
    }
  }
}

// Any other frame: its colour plane or its pixels through the DIB's colours, without the pixels
// its mask leaves out, stretched to the frame's size as the preview draws it.
void DocumentPictures::Paint(const Frame& frame) {
  DibGeometry g;
  if (!GetDibGeometry(frame.dib, &g) || frame.width == 0 || frame.height == 0) return;
  const uint64_t rgbStride = RgbStride(g.width), maskStride = MaskStride(g.width);
  const bool fromPlane = frame.rgbPlane.size() >= rgbStride * g.height;
  const bool masked =
      !frame.transparencyMask.empty() && maskStride * g.height <= frame.transparencyMask.size();
  const uint8_t* quads = frame.dib.data() + DibHeaderSize;
  const uint8_t* bits = frame.bits();
  int64_t x0 = std::max<int64_t>(frame.left, 0),
          x1 = std::min<int64_t>(int64_t{frame.left} + frame.width, width_);
  int64_t y0 = std::max<int64_t>(frame.top, 0),
          y1 = std::min<int64_t>(int64_t{frame.top} + frame.height, height_);
  for (int64_t y = y0; y < y1; ++y) {
    uint64_t sy = static_cast<uint64_t>((y - frame.top) * g.height / frame.height);
    for (int64_t x = x0; x < x1; ++x) {
      uint64_t sx = static_cast<uint64_t>((x - frame.left) * g.width / frame.width);
      if (masked && (frame.transparencyMask[sy * maskStride + (sx >> 3)] & (0x80 >> (sx & 7))))
        continue;
      uint8_t* out = canvas_.data() + 4 * (y * width_ + x);
      std::memcpy(out,
                  fromPlane ? &frame.rgbPlane[sy * rgbStride + 3 * sx]
                            : quads + 4 * bits[sy * g.stride + sx],
                  3);
      out[3] = 255;
    }
  }
}

const std::vector<uint8_t>& DocumentPictures::Draw(const Frame& frame) {
  if (previous_) {
    const Frame* p = previous_;
    if (p->Disposal() == DisposalBackground)
      ClearRect(p->left, p->top, p->width, p->height);
    else if (p->Disposal() == DisposalPrevious && !saved_.empty())
      canvas_ = saved_;
  }
  if (frame.Disposal() == DisposalPrevious) {
    try {
      saved_ = canvas_;
    } catch (const std::bad_alloc&) {
      saved_.clear();
    }
  }
  if (!frame.alphaPlane.empty())
    Blend(frame);
  else
    Paint(frame);
  previous_ = &frame;
  return canvas_;
}

// ---- Frames from canvases ----

CanvasFrames::CanvasFrames(Animation& animation, uint32_t width, uint32_t height, uint32_t left,
                           uint32_t top)
    : animation_(animation), width_(width), height_(height), left_(left), top_(top) {}

bool CanvasFrames::Add(const std::vector<uint8_t>& canvas, uint32_t delay) {
  if (canvas.size() != uint64_t{4} * width_ * height_) return false;
  if (havePending_ && !MakeFrame(&canvas)) return false;
  try {
    if (shown_.empty()) shown_.assign(canvas.size(), 0);
    // Into the buffer of the screen the frame made has replaced: no third canvas.
    pending_.assign(canvas.begin(), canvas.end());
  } catch (const std::bad_alloc&) {
    return false;
  }
  pendingDelay_ = delay;
  havePending_ = true;
  return true;
}

bool CanvasFrames::Finish() { return !havePending_ || MakeFrame(nullptr); }

bool CanvasFrames::MakeFrame(const std::vector<uint8_t>* next) {
  const uint8_t* now = pending_.data();
  Box box = BoxWhere(shown_.data(), now, width_, height_,
                     [](const uint8_t* a, const uint8_t* b) { return !SamePixel(a, b); });
  // Pixels that the next picture shows clearer than this one: a frame cannot clear what is below
  // it, and blends a partly clear pixel with it, so this one covers them and restores the
  // background when it goes.
  Box clears;
  if (next)
    clears = BoxWhere(now, next->data(), width_, height_, [](const uint8_t* a, const uint8_t* b) {
      return a[3] != 0 && b[3] != 255 && !SamePixel(a, b);
    });
  box.Add(clears);
  if (box.Empty()) box.AddRow(0, 0, 0);  // the same picture again: one pixel that changes nothing

  const uint32_t w = box.x1 - box.x0, h = box.y1 - box.y0;
  Frame* frame = NewFrame(w, h, pendingDelay_);
  if (!frame) return false;
  InsertBlockAfter(LastBlock(animation_), frame);
  ++animation_.frameCount;
  frame->left = static_cast<int32_t>(left_ + box.x0);
  frame->top = static_cast<int32_t>(top_ + box.y0);
  frame->delay = pendingDelay_;
  SetDisposal(frame, clears.Empty() ? DisposalLeave : DisposalBackground);
  std::vector<uint8_t> rgb, alpha;
  bool opaque = true;
  try {
    rgb.assign(RgbStride(w) * h, 0);
    alpha.assign(IndexStride(w) * h, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (uint32_t y = 0; y < h; ++y) {
    const uint64_t row = uint64_t{box.y0 + y} * width_ + box.x0;
    const uint8_t* from = now + 4 * row;
    const uint8_t* before = shown_.data() + 4 * row;
    uint8_t* toRgb = rgb.data() + RgbStride(w) * y;
    uint8_t* toAlpha = alpha.data() + IndexStride(w) * y;
    for (uint32_t x = 0; x < w; ++x) {
      std::memcpy(toRgb + 3 * x, from + 4 * x, 3);
      toAlpha[x] = from[4 * x + 3];
      // A partly clear pixel already shown is left as it is: drawn again, it would blend with
      // itself.
      if (toAlpha[x] != 255 && SamePixel(before + 4 * x, from + 4 * x)) toAlpha[x] = 0;
      opaque = opaque && toAlpha[x] == 255;
    }
  }
  bytes_ += rgb.size() + (opaque ? 0 : alpha.size());
  SetRgbPlane(frame, std::move(rgb));
  if (!opaque) SetAlphaPlane(frame, std::move(alpha));

  // The screen as the next frame finds it.
  std::swap(shown_, pending_);
  if (!clears.Empty()) {
    for (uint32_t y = box.y0; y < box.y1; ++y)
      std::memset(shown_.data() + 4 * (uint64_t{y} * width_ + box.x0), 0, uint64_t{4} * w);
  }
  havePending_ = false;
  return true;
}

}  // namespace lw
