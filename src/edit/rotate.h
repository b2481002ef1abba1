// Quarter turns, half turns and mirrors of one frame or of the whole animation.
#pragma once

#include <cstdint>

#include "core/animation.h"

namespace lw {

struct ProgressMeter;

enum class FrameTurn : uint8_t {
  Clockwise,         // 90° clockwise
  HalfTurn,          // 180°
  CounterClockwise,  // 90° counter-clockwise
  MirrorLeftRight,   // "horizontalement"
  MirrorTopBottom,   // "verticalement"
};

// The turn that undoes turn: the quarter turns swap, the others undo themselves.
FrameTurn InverseTurn(FrameTurn turn);
// Whether the frame's width and height exchange.
bool TurnSwapsSides(FrameTurn turn);

// Turns the frame's pixels (8-bit image, 24-bit data and alpha plane, the transparency mask
// rebuilt); the offset stays. False, the frame unchanged, when memory is short.
bool TurnFrame(Frame* frame, FrameTurn turn);

// Turns frame index of the animation. With growScreen, a quarter turn of a non-square frame that
// makes it reach beyond the logical screen grows the screen to hold it (*screenGrown tells).
// Shows "Mémoire insuffisante pour construire une image de cadre." and returns false when
// memory is short.
bool TurnOneFrame(Animation& animation, int index, FrameTurn turn, bool growScreen,
                  bool* screenGrown);

// Turns every frame and moves it so that the whole picture turns; quarter turns exchange the
// screen's sides. All or nothing: on failure (message shown) or cancellation the animation is as
// it was and false is returned.
bool TurnAnimation(Animation& animation, FrameTurn turn, ProgressMeter* progress);

}  // namespace lw
