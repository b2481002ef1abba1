// Turning one frame of the animation as the Cadre menu's rotations do; the turns themselves are
// core's (core/turn.h).
#pragma once

#include "core/animation.h"
#include "core/turn.h"

namespace lw {

// Turns frame index of the animation. With growScreen, a quarter turn of a non-square frame that
// makes it reach beyond the logical screen grows the screen to hold it (*screenGrown tells).
// Shows "Mémoire insuffisante pour construire une image de cadre." and returns false when
// memory is short.
bool TurnOneFrame(Animation& animation, int index, FrameTurn turn, bool growScreen,
                  bool* screenGrown);

}  // namespace lw
