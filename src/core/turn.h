// Quarter turns, half turns and mirrors of one frame or of the whole animation: the model-level
// geometry that the rotate commands and the replay of their undo entries share.
#pragma once

#include <cstdint>
#include <optional>

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

// Rotation undo records hold the id of the command that ran: the frame's five turns from
// FirstFrameTurn and the animation's five from FirstAnimationTurn, each in FrameTurn order.
namespace turncmd {
constexpr int FirstFrameTurn = 40073;
constexpr int FirstAnimationTurn = 40104;
}  // namespace turncmd

// The turn a recorded rotation command stands for, of either series; none for any other id.
std::optional<FrameTurn> TurnOfRecordedCommand(int command);

// The turn that undoes turn: the quarter turns swap, the others undo themselves.
FrameTurn InverseTurn(FrameTurn turn);
// Whether the frame's width and height exchange.
bool TurnSwapsSides(FrameTurn turn);

// Turns the frame's pixels (8-bit image, 24-bit data and alpha plane, the transparency mask
// rebuilt); the offset stays. False, the frame unchanged, when memory is short.
bool TurnFrame(Frame* frame, FrameTurn turn);

// Turns every frame and moves it so that the whole picture turns; quarter turns exchange the
// screen's sides. All or nothing: on failure (message shown) or cancellation the animation is as
// it was and false is returned.
bool TurnAnimation(Animation& animation, FrameTurn turn, ProgressMeter* progress);

// For tests: after `after` more buffers, the next count buffers that resizing or turning frames
// asks for fail as if memory ran short.
void FailNextGeometryAllocations(int count, int after = 0);

}  // namespace lw
