// Quarter turns, half turns and mirrors of frames and of the whole animation.
#include "core/turn.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "core/geometry_internal.h"

namespace lw {

using geometry::Plane;

namespace {

// Where a source pixel lands, for a source of w x h.
struct Target {
  uint32_t x;
  uint32_t y;
};

inline Target Place(FrameTurn turn, uint32_t px, uint32_t py, uint32_t w, uint32_t h) {
  switch (turn) {
    case FrameTurn::Clockwise: return {h - 1 - py, px};
    case FrameTurn::CounterClockwise: return {py, w - 1 - px};
    case FrameTurn::HalfTurn: return {w - 1 - px, h - 1 - py};
    case FrameTurn::MirrorLeftRight: return {w - 1 - px, py};
    case FrameTurn::MirrorTopBottom: break;
  }
  return {px, h - 1 - py};
}

// Turns a plane of size-byte pixels into out (rows of outStride).
void TurnPlane(const Plane& from, int size, FrameTurn turn, uint8_t* out, uint64_t outStride) {
  for (uint32_t y = 0; y < from.height; ++y) {
    const uint8_t* row = from.rows + y * from.stride;
    for (uint32_t x = 0; x < from.width; ++x) {
      Target t = Place(turn, x, y, from.width, from.height);
      std::memcpy(out + t.y * outStride + uint64_t{t.x} * size, row + uint64_t{x} * size, size);
    }
  }
}

// The top-bottom mirror needs no memory: rows swap in place.
void SwapRows(uint8_t* rows, uint64_t stride, uint32_t height) {
  for (uint32_t a = 0, b = height ? height - 1 : 0; a < b; ++a, --b) {
    std::swap_ranges(rows + a * stride, rows + (a + 1) * stride, rows + b * stride);
  }
}

}  // namespace

FrameTurn InverseTurn(FrameTurn turn) {
  if (turn == FrameTurn::Clockwise) return FrameTurn::CounterClockwise;
  if (turn == FrameTurn::CounterClockwise) return FrameTurn::Clockwise;
  return turn;
}

std::optional<FrameTurn> TurnOfRecordedCommand(int command) {
  const int first = command >= turncmd::FirstAnimationTurn ? turncmd::FirstAnimationTurn
                                                           : turncmd::FirstFrameTurn;
  const int turn = command - first;
  if (turn < 0 || turn > static_cast<int>(FrameTurn::MirrorTopBottom)) return std::nullopt;
  return static_cast<FrameTurn>(turn);
}

bool TurnSwapsSides(FrameTurn turn) {
  return turn == FrameTurn::Clockwise || turn == FrameTurn::CounterClockwise;
}

bool TurnFrame(Frame* frame, FrameTurn turn) {
  if (!frame) return false;
  Plane index, rgb, alpha;
  bool hasIndex = geometry::IndexPlane(frame, &index);
  bool hasRgb = geometry::RgbPlane(frame, &rgb);
  bool hasAlpha = hasRgb && geometry::AlphaPlane(frame, &alpha);

  if (turn == FrameTurn::MirrorTopBottom) {
    if (hasIndex) SwapRows(frame->bits(), index.stride, index.height);
    if (hasRgb) SwapRows(frame->rgbPlane.data(), rgb.stride, rgb.height);
    if (hasAlpha) SwapRows(frame->alphaPlane.data(), alpha.stride, alpha.height);
  } else {
    const bool swap = TurnSwapsSides(turn);
    // Every new buffer is made before any is installed, so a failure changes nothing.
    std::vector<uint8_t> newDib, newRgb, newAlpha;
    if (hasIndex) {
      uint32_t w = swap ? index.height : index.width, h = swap ? index.width : index.height;
      newDib = geometry::DibLike(frame->dib, w, h);
      if (newDib.empty()) return false;
      TurnPlane(index, 1, turn, newDib.data() + DibBitsOffset, IndexStride(w));
    }
    if (hasRgb) {
      uint32_t w = swap ? rgb.height : rgb.width, h = swap ? rgb.width : rgb.height;
      if (!geometry::Allocate(&newRgb, RgbStride(w) * h)) return false;
      TurnPlane(rgb, 3, turn, newRgb.data(), RgbStride(w));
      if (hasAlpha) {
        if (!geometry::Allocate(&newAlpha, IndexStride(w) * h)) return false;
        TurnPlane(alpha, 1, turn, newAlpha.data(), IndexStride(w));
      }
    }
    if (hasIndex) frame->dib = std::move(newDib);
    if (hasRgb) frame->rgbPlane = std::move(newRgb);
    if (hasAlpha) frame->alphaPlane = std::move(newAlpha);
    if (swap) std::swap(frame->width, frame->height);
  }
  // Planes too short for the image were useless before and would be wrong now.
  if (!hasRgb) FreeRgbPlane(frame);
  if (!hasAlpha) FreeAlphaPlane(frame);
  RebuildTransparencyMask(frame);
  return true;
}

bool TurnAnimation(Animation& animation, FrameTurn turn, ProgressMeter* progress) {
  ProgressSetRange(progress, static_cast<uint32_t>(std::max<int>(animation.frameCount, 0)));
  Frame* failedAt = nullptr;
  bool cancelled = false;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (!TurnFrame(f, turn)) {
      failedAt = f;
      break;
    }
    if (!ProgressStep(progress)) {
      cancelled = true;
      failedAt = NextFrame(f);
      break;
    }
  }
  if (failedAt || cancelled) {
    // Turned back frame by frame: each needs no more memory than its turn just gave back.
    for (Frame* f = FirstFrame(animation); f && f != failedAt; f = NextFrame(f)) {
      TurnFrame(f, InverseTurn(turn));
    }
    if (!cancelled) ShowErrorId(str::NoFrameMemory);
    return false;
  }

  const int64_t W = animation.screenWidth, H = animation.screenHeight;
  const bool swap = TurnSwapsSides(turn);
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    // The size before the turn.
    const int64_t w = swap ? f->height : f->width, h = swap ? f->width : f->height;
    const int64_t x = f->left, y = f->top;
    int64_t nx = x, ny = y;
    switch (turn) {
      case FrameTurn::Clockwise: nx = H - y - h, ny = x; break;
      case FrameTurn::HalfTurn: nx = W - x - w, ny = H - y - h; break;
      case FrameTurn::CounterClockwise: nx = y, ny = W - x - w; break;
      case FrameTurn::MirrorLeftRight: nx = W - x - w; break;
      case FrameTurn::MirrorTopBottom: ny = H - y - h; break;
    }
    f->left = static_cast<int32_t>(std::clamp<int64_t>(nx, INT32_MIN, INT32_MAX));
    f->top = static_cast<int32_t>(std::clamp<int64_t>(ny, INT32_MIN, INT32_MAX));
  }
  if (swap) std::swap(animation.screenWidth, animation.screenHeight);
  animation.encodedSizeCache = -1;
  return true;
}

}  // namespace lw
