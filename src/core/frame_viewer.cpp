// The preview's off-screen picture: incremental drawing with disposal, restore-to-previous through
// the lower half of a doubled bitmap, and alpha blending of true-colour frames.
#include "core/frame_viewer.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/picture_budget.h"

namespace lw {
namespace {

void ClearPicture(FrameViewer* viewer) {
  PixelView view = ViewerPicture(viewer);
  uint32_t pixel = PixelFromColour(viewer->background);
  for (int y = 0; y < view.height; ++y) {
    std::fill_n(view.pixels + static_cast<size_t>(y) * view.stride, view.width, pixel);
  }
  viewer->next = nullptr;
  viewer->last = nullptr;
  viewer->lastDisposal = -1;
  viewer->shown = 0;
}

void FillRect(PixelView view, int64_t x, int64_t y, int64_t w, int64_t h, uint32_t pixel) {
  int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(x + w, view.width);
  int64_t y0 = std::max<int64_t>(y, 0), y1 = std::min<int64_t>(y + h, view.height);
  if (x0 >= x1) return;
  for (int64_t r = y0; r < y1; ++r)
    std::fill(view.pixels + r * view.stride + x0, view.pixels + r * view.stride + x1, pixel);
}

// Copies one half of the doubled bitmap over the other.
void CopyHalf(FrameViewer* viewer, bool lowerToUpper) {
  if (!viewer->doubled) return;
  size_t half = static_cast<size_t>(viewer->bitmap.width) * viewer->height;
  uint32_t* upper = viewer->bitmap.pixels.data();
  uint32_t* lower = upper + half;
  if (lowerToUpper) {
    std::copy_n(lower, half, upper);
  } else {
    std::copy_n(upper, half, lower);
  }
}

}  // namespace

bool NeedsRestoreHalf(const Animation& animation) {
  for (const Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (f->Disposal() == DisposalPrevious) return true;
  }
  return false;
}

PixelView ViewerPicture(FrameViewer* viewer) {
  return viewer->bitmap.Rows(0, static_cast<int>(viewer->height));
}

bool PrepareViewer(FrameViewer* viewer, const Animation* animation, uint32_t screenWidth,
                   uint32_t screenHeight) {
  if (!viewer) return false;
  viewer->animation = animation;
  bool doubled = animation && NeedsRestoreHalf(*animation);
  constexpr uint32_t limit = std::numeric_limits<int>::max() / 2;
  bool sameBitmap = !viewer->bitmap.pixels.empty() && viewer->width == screenWidth &&
                    viewer->height == screenHeight && viewer->doubled == doubled;
  if (!sameBitmap) {
    // A screen beyond the picture budget gets the message, not an allocation that could take
    // every bit of memory before failing.
    bool made = screenWidth <= limit && screenHeight <= limit &&
                PictureFitsBudget(screenWidth, doubled ? 2ull * screenHeight : screenHeight, 4) &&
                ResizeSurface(&viewer->bitmap, static_cast<int>(screenWidth),
                              static_cast<int>(doubled ? 2 * screenHeight : screenHeight),
                              PixelFromColour(viewer->background));
    if (!made) {
      viewer->bitmap = {};
      viewer->width = viewer->height = 0;
      viewer->doubled = false;
      viewer->animation = nullptr;
      ShowError("%s", ResText(str::NoResourcesForPreview).c_str());
      return false;
    }
    viewer->width = screenWidth;
    viewer->height = screenHeight;
    viewer->doubled = doubled;
  }
  ClearPicture(viewer);
  return true;
}

ViewerUpdate ShowPictureUpTo(FrameViewer* viewer, int n, bool allowRestart) {
  if (!viewer || !viewer->animation || viewer->bitmap.pixels.empty()) return ViewerUpdate::Nothing;
  const Animation& animation = *viewer->animation;
  const Frame* first = FirstFrame(animation);
  int count = 0;
  for (const Frame* f = first; f; f = NextFrame(f)) ++count;
  if (!first || n < 0 || n > count) return ViewerUpdate::Nothing;
  if (n == viewer->shown) return ViewerUpdate::Nothing;
  if (allowRestart && n < viewer->shown) {
    ClearPicture(viewer);
    if (n == 0) return ViewerUpdate::Repaint;
  }
  // Without a restart, n == 0 cannot be reached by playing forward.
  if (n == 0) return ViewerUpdate::Nothing;
  PixelView picture = ViewerPicture(viewer);
  uint32_t background = PixelFromColour(viewer->background);
  while (viewer->shown != n) {
    const Frame* previous = viewer->last;
    const Frame* frame = previous ? NextFrame(previous) : first;
    if (!frame) {
      frame = first;
      viewer->shown = 0;
    }
    int disposal = previous ? previous->Disposal() : -1;
    if (disposal == DisposalBackground) {
      FillRect(picture, previous->left, previous->top, previous->width, previous->height,
               background);
    } else if (disposal == DisposalPrevious) {
      CopyHalf(viewer, true);
    }
    if (frame->Disposal() == DisposalPrevious) CopyHalf(viewer, false);
    if (frame->alphaPlane.empty() || !BlendFrame(*frame, picture)) {
      DrawFrame(*frame, picture, 0, 0, 1, 1, true);
    }
    viewer->last = frame;
    viewer->lastDisposal = frame->Disposal();
    viewer->next = NextFrame(frame) ? NextFrame(frame) : first;
    ++viewer->shown;
    ++viewer->framesDrawn;
  }
  return ViewerUpdate::Changed;
}

}  // namespace lw
