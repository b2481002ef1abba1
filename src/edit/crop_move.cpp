// Moving and cropping frames, and cropping the animation.
#include "edit/crop_move.h"

#include <algorithm>
#include <cstdlib>

#include "core/document_listener.h"
#include "core/undo.h"

namespace lw {

namespace {

int32_t ToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Cuts the frame to the screen area (x, y, w, h). A frame with nothing inside becomes one
// transparent pixel at the corner, which must not clear the corner when it restores the
// background.
void CutFrame(Frame* f, int64_t x, int64_t y, int64_t w, int64_t h) {
  const bool outside = x >= int64_t{f->left} + f->width || y >= int64_t{f->top} + f->height ||
                       x + w <= f->left || y + h <= f->top || w <= 0 || h <= 0;
  CropFrame(f, ToInt32(x - f->left), ToInt32(y - f->top), ToInt32(w), ToInt32(h));
  if (outside && f->Disposal() == DisposalBackground) SetDisposal(f, DisposalLeave);
}

}  // namespace

void ConstrainMoveCrop(MoveCropState* s) {
  // 64-bit arithmetic: positions and sizes come from spin fields and drags.
  int64_t x = s->x, y = s->y;
  if (x > s->screenWidth) x = s->screenWidth - 1;
  if (x < -int64_t{s->w}) x = 1 - int64_t{s->w};
  if (y > s->screenHeight) y = s->screenHeight - 1;
  if (y < -int64_t{s->h}) y = 1 - int64_t{s->h};
  s->x = ToInt32(x);
  s->y = ToInt32(y);

  int64_t l = s->left, t = s->top, r = s->right, b = s->bottom;
  // A second round settles what the first changed: a right side pulled in by the screen's edge
  // brings the left side with it.
  for (int round = 0; round < 2; ++round) {
    if (l < 0) {
      l = 0;
    } else if (l >= r) {
      l = r - 1;
    } else {
      l = std::max(l, -x);
    }
    if (t < 0) {
      t = 0;
    } else if (t >= b) {
      t = b - 1;
    } else {
      t = std::max(t, -y);
    }
    if (r > s->w) {
      r = s->w;
    } else if (r <= l) {
      r = l + 1;
    } else {
      r = std::min<int64_t>(r, s->screenWidth - x);
    }
    if (b > s->h) {
      b = s->h;
    } else if (b <= t) {
      b = t + 1;
    } else {
      b = std::min<int64_t>(b, s->screenHeight - y);
    }
  }
  s->left = ToInt32(l);
  s->top = ToInt32(t);
  s->right = ToInt32(r);
  s->bottom = ToInt32(b);
}

void AlignMoveCrop(MoveCropState* s, MoveCropAlign align) {
  const int64_t l = s->left, t = s->top, r = s->right, b = s->bottom;
  const int64_t W = s->screenWidth, H = s->screenHeight;
  const bool horizontal =
      align == MoveCropAlign::CentreHorizontally || align == MoveCropAlign::Centre;
  const bool vertical = align == MoveCropAlign::CentreVertically || align == MoveCropAlign::Centre;
  if (align == MoveCropAlign::Left) s->x = ToInt32(-l);
  if (align == MoveCropAlign::Right) s->x = ToInt32(W - r);
  if (align == MoveCropAlign::Top) s->y = ToInt32(-t);
  if (align == MoveCropAlign::Bottom) s->y = ToInt32(H - b);
  if (horizontal) s->x = ToInt32((W - r + l) / 2 - l);
  if (vertical) s->y = ToInt32((H - b + t) / 2 - t);
}

CropHit HitTestCrop(const ViewRect& r, int64_t x, int64_t y, bool canMove,
                    const ViewRect* wholeFrame) {
  const CropHit move = canMove ? CropHit::Move : CropHit::None;
  if (x < r.left - 3 || x >= r.right + 3 || y < r.top - 3 || y >= r.bottom + 3) {
    const ViewRect* f = canMove ? wholeFrame : nullptr;
    return f && x >= f->left && x < f->right && y >= f->top && y < f->bottom ? move : CropHit::None;
  }
  const int64_t midX = r.left + (r.right - r.left) / 2, midY = r.top + (r.bottom - r.top) / 2;
  const bool nearMidY = std::abs(y - midY) < 3;
  if (x < r.left + 6) {
    if (y < r.top + 6) return CropHit::TopLeft;
    if (y > r.bottom - 6) return CropHit::BottomLeft;
    if (nearMidY) return CropHit::Left;
    return x > r.left + 3 ? move : CropHit::None;
  }
  if (x > r.right - 6) {
    if (y < r.top + 6) return CropHit::TopRight;
    if (y > r.bottom - 6) return CropHit::BottomRight;
    if (nearMidY) return CropHit::Right;
    return x < r.right - 3 ? move : CropHit::None;
  }
  if (std::abs(x - midX) < 3) {
    if (y < r.top + 6) return CropHit::Top;
    if (y > r.bottom - 6) return CropHit::Bottom;
    return move;
  }
  return y > r.top + 3 && y < r.bottom - 3 ? move : CropHit::None;
}

void DragMoveCrop(MoveCropState* s, CropHit hit, int64_t dx, int64_t dy) {
  const bool left = hit == CropHit::Left || hit == CropHit::TopLeft || hit == CropHit::BottomLeft;
  const bool right =
      hit == CropHit::Right || hit == CropHit::TopRight || hit == CropHit::BottomRight;
  const bool top = hit == CropHit::Top || hit == CropHit::TopLeft || hit == CropHit::TopRight;
  const bool bottom =
      hit == CropHit::Bottom || hit == CropHit::BottomLeft || hit == CropHit::BottomRight;
  if (hit == CropHit::Move) {
    s->x = ToInt32(s->x + dx);
    s->y = ToInt32(s->y + dy);
  }
  if (left) s->left = ToInt32(s->left + dx);
  if (right) s->right = ToInt32(s->right + dx);
  if (top) s->top = ToInt32(s->top + dy);
  if (bottom) s->bottom = ToInt32(s->bottom + dy);
  ConstrainMoveCrop(s);
}

int64_t ViewToScreen(int64_t delta, int numerator, int denominator) {
  if (numerator <= 0 || denominator <= 0) return delta;
  return delta * denominator / numerator;
}

uint32_t MoveCropFrames(Animation& animation, int currentIndex, const MoveCropState& s) {
  Frame* current = FrameAt(animation, currentIndex);
  if (!current) return 0;
  const int64_t dx = int64_t{s.x} - current->left, dy = int64_t{s.y} - current->top;
  const int64_t W = animation.screenWidth, H = animation.screenHeight;
  // The kept rectangle on the screen.
  const int64_t left = std::max<int64_t>(int64_t{s.x} + s.left, 0);
  const int64_t top = std::max<int64_t>(int64_t{s.y} + s.top, 0);
  const int64_t right = std::min<int64_t>(W, int64_t{s.x} + s.right);
  const int64_t bottom = std::min<int64_t>(H, int64_t{s.y} + s.bottom);

  // Nothing moves and every selected frame keeps all of itself: nothing to do or to undo.
  bool changes = false;
  for (const Frame* f = FirstFrame(animation); f && !changes; f = NextFrame(f)) {
    if (!f->selected) continue;
    changes = dx != 0 || dy != 0 || left > f->left || top > f->top ||
              right < int64_t{f->left} + f->width || bottom < int64_t{f->top} + f->height;
  }
  if (!changes) return 0;

  UndoStep step(UndoStep::Discard, UndoKind::MoveCropFrames, animation);
  int moved = 0, lastIndex = 0, index = 0;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f), ++index) {
    if (!f->selected) continue;
    f->left = ToInt32(f->left + dx);
    f->top = ToInt32(f->top + dy);
    CutFrame(f, left, top, right - left, bottom - top);
    ++moved;
    lastIndex = index;
  }
  if (moved == 0) return 0;
  step.Commit();
  animation.encodedSizeCache = -1;
  if (moved > 1) return refresh::Document | refresh::Encoding;
  return refresh::ForFrame(refresh::OneFrame | refresh::PropertiesFrame | refresh::Encoding,
                           static_cast<uint32_t>(lastIndex));
}

ScreenRect AutoCropRect(const Animation& animation) {
  Bounds b = FramesBounds(animation);
  const int64_t W = animation.screenWidth, H = animation.screenHeight;
  ScreenRect r{std::clamp<int64_t>(b.left, 0, W), std::clamp<int64_t>(b.top, 0, H),
               std::clamp<int64_t>(b.right, 0, W), std::clamp<int64_t>(b.bottom, 0, H)};
  // No frame on the screen: nothing to cut away.
  if (r.right <= r.left || r.bottom <= r.top) r = {0, 0, W, H};
  return r;
}

uint32_t CropAnimation(Animation& animation, const ScreenRect& rect) {
  const int64_t W = animation.screenWidth, H = animation.screenHeight;
  const int64_t l = std::max<int64_t>(rect.left, 0), t = std::max<int64_t>(rect.top, 0);
  const int64_t r = std::min(rect.right, W), b = std::min(rect.bottom, H);
  if (r <= l || b <= t) return 0;
  if (l == 0 && t == 0 && r == W && b == H) {
    RecordUndo(UndoKind::Nop, animation);
    return refresh::StripOnly;
  }
  RecordUndo(UndoKind::CropAnimation, animation);
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    CutFrame(f, l, t, r - l, b - t);
    f->left = ToInt32(std::max<int64_t>(f->left - l, 0));
    f->top = ToInt32(std::max<int64_t>(f->top - t, 0));
  }
  animation.screenWidth = static_cast<uint32_t>(r - l);
  animation.screenHeight = static_cast<uint32_t>(b - t);
  animation.encodedSizeCache = -1;
  return refresh::Document | refresh::ScreenSize | refresh::Encoding;
}

}  // namespace lw
