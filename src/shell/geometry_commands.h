// The rotate and mirror commands of the Cadre and Animation menus: which turn each command id
// is, and the engine side of each command.
#pragma once

#include <cstdint>
#include <optional>

#include "core/animation.h"
#include "edit/rotate.h"
#include "platform/services.h"

namespace lw {

// The turn of a frame or animation rotation command; none for any other id.
std::optional<FrameTurn> TurnOfCommand(int command);
// Whether the id is one of the Animation menu's rotations (the whole animation turns).
bool TurnsWholeAnimation(int command);

// Runs one of the ten rotation commands: the current frame (frameIndex) or the whole animation,
// with its undo entry. Returns the refresh hints, 0 when nothing changed.
uint32_t RunRotationCommand(Animation& animation, int command, int frameIndex, WindowHandle owner);

}  // namespace lw
