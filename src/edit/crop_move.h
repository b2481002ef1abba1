// Moving and cropping the selected frames against the logical screen, and cropping the whole
// animation.
#pragma once

#include <cstdint>

#include "core/animation.h"

namespace lw {

// What the move/crop view edits: the frame's position and size, the screen, and the kept
// rectangle in frame coordinates. For the animation crop the frame is the screen itself, at
// (0, 0).
struct MoveCropState {
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 1;
  int32_t h = 1;
  int32_t screenWidth = 1;
  int32_t screenHeight = 1;
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 1;
  int32_t bottom = 1;
};

// Brings every value back within its limits after one changed: the rectangle inside the frame,
// not empty and not beyond the screen, the position keeping at least one column and row of the
// frame on the screen.
void ConstrainMoveCrop(MoveCropState* state);

// The toolbar of the move/crop dialog: the kept part against an edge or centred on the screen.
enum class MoveCropAlign { Left, Right, Top, Bottom, CentreHorizontally, CentreVertically, Centre };
void AlignMoveCrop(MoveCropState* state, MoveCropAlign align);

// What a point of the view grabs: the position, a side or a corner of the kept rectangle.
enum class CropHit {
  None,
  Move,
  Left,
  Right,
  Top,
  Bottom,
  TopLeft,
  TopRight,
  BottomLeft,
  BottomRight,
};

// A rectangle in view pixels.
struct ViewRect {
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = 0;
  int64_t bottom = 0;
};

// The hit at (x, y) for the kept rectangle as drawn. canMove: the view moves the frame (the
// animation crop has no position). wholeFrame: the frame as drawn when it is shown whole, where
// any point grabs it; none otherwise.
CropHit HitTestCrop(const ViewRect& rect, int64_t x, int64_t y, bool canMove,
                    const ViewRect* wholeFrame);

// A drag of (dx, dy) screen pixels applied to what the hit grabbed, then the limits.
void DragMoveCrop(MoveCropState* state, CropHit hit, int64_t dx, int64_t dy);

// View pixels to screen pixels at a zoom of numerator / denominator (integer, towards zero).
int64_t ViewToScreen(int64_t delta, int numerator, int denominator);

// Moves every selected frame by the change of the current frame's position to (x, y) and cuts it
// to the kept rectangle (left, top, right, bottom of the current frame) as it lands on the
// screen, recording "Déplacer/Rogner cadre". Returns the refresh hints; 0 when no selected frame
// would change (nothing recorded).
uint32_t MoveCropFrames(Animation& animation, int currentIndex, const MoveCropState& state);

struct ScreenRect {
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = 0;
  int64_t bottom = 0;
};

// The union of every frame clipped to the screen ("Auto").
ScreenRect AutoCropRect(const Animation& animation);

// Cuts every frame to the rectangle and moves it so that the rectangle becomes the screen,
// recording "Rogner animation"; the whole screen records only "NOP". Returns the refresh hints
// (0 when the rectangle holds no pixel of the screen).
uint32_t CropAnimation(Animation& animation, const ScreenRect& rect);

}  // namespace lw
