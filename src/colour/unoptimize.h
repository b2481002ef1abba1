// Unoptimize: every frame becomes the whole picture the viewer sees at that moment.
#pragma once

#include "core/animation.h"
#include "platform/services.h"

namespace lw {

// Rebuilds every frame as a screen-sized, opaque picture at (0, 0) with disposal 1, recording
// the undo entry "Désoptimisation de l'animation". Refused (message, false) when a frame has a
// local palette. True when at least one frame was rebuilt.
bool UnoptimizeAnimation(WindowHandle owner, Animation& animation);

}  // namespace lw
