// Cut, copy and paste of frames through the clipboard of the platform services. Copy puts the
// selected frames in the program's own block and the current frame as a DIB for other programs;
// paste prefers the program's own block and otherwise takes the DIB.
#pragma once

#include <cstdint>

#include "core/animation.h"
#include "shell/shell_state.h"

namespace lw {

// Puts the selected frames and the current frame's DIB on the clipboard. False (the clipboard
// untouched, the memory message shown) when either could not be made or the clipboard refused.
bool CopyFrames(WindowHandle owner, const Animation& document, int currentIndex);

// Copy, and for cut the selected frames then leave the document in one DeleteFrames undo record:
// with one cut, the same index stays current (the last frame when it fell off the end); with
// several, nothing stays selected. Returns the refresh hints (0 when nothing changed).
uint32_t CopyCommand(ShellState& state);
uint32_t CutCommand(ShellState& state);

// The clipboard's frames as a new animation, or none with the reason shown (nothing the
// program can take, or a refused image).
AnimationPtr PasteFrames(WindowHandle owner);

// Pastes before the current frame (after the last one when none) with one undo record, the
// pasted frames selected and the first current; with no document the frames become a new one.
// Returns the refresh hints (0 when nothing was pasted).
uint32_t PasteCommand(ShellState& state);

}  // namespace lw
