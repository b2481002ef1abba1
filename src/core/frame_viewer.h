// The preview's picture of an animation at frame n, kept off screen and brought forward frame by
// frame with the GIF disposal rules. The preview window only paints the picture.
#pragma once

#include <cstdint>

#include "core/animation.h"
#include "core/compose.h"

namespace lw {

struct FrameViewer {
  const Animation* animation = nullptr;  // not owned
  const Frame* next = nullptr;           // next source frame to draw
  const Frame* last = nullptr;           // source frame drawn last
  int lastDisposal = -1;                 // of the frame drawn last; -1 none
  int shown = 0;                         // 1-based number of the picture shown, 0 empty
  // width x height, or width x 2 height when a frame restores to the previous picture (the lower
  // half keeps the picture to restore).
  PixelSurface bitmap;
  uint32_t width = 0;
  uint32_t height = 0;
  bool doubled = false;
  uint32_t background = 0x00F0F0F0;  // the background brush, 0x00BBGGRR
  uint64_t framesDrawn = 0;          // frames drawn since the viewer was made
};

// Whether the picture of this document needs the doubled bitmap.
bool NeedsRestoreHalf(const Animation& animation);

// Makes the off-screen bitmap (again when the size, or whether it is doubled, changed) and
// clears it; the viewer then shows nothing. The viewer keeps pointers to the document's frames:
// call this again whenever the document changed. On failure shows "Ressources système insuffisantes
// pour afficher un aperçu." and returns false: there is no preview.
bool PrepareViewer(FrameViewer* viewer, const Animation* animation, uint32_t screenWidth,
                   uint32_t screenHeight);

// What ShowPictureUpTo did.
enum class ViewerUpdate { Nothing, Repaint, Changed };

// Brings the picture to frame n (1-based). A move backwards restarts from a cleared picture when
// allowRestart; otherwise the frames are played forward, looping past the last. n outside
// 0..frameCount does nothing.
ViewerUpdate ShowPictureUpTo(FrameViewer* viewer, int n, bool allowRestart);

// The picture shown (the upper half of the bitmap).
PixelView ViewerPicture(FrameViewer* viewer);

}  // namespace lw
