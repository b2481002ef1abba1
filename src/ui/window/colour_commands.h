// The colour commands of the menus and the properties toolbar: the palette editors, the
// transparency control, the local palette's removal and the pixel editor, on the open document.
#pragma once

#include <cstdint>

#include "shell/shell_state.h"

class QWidget;

namespace lw {

// True for the commands RunColourCommand carries out.
bool IsColourCommand(int command);
// Runs one; returns the refresh hints (the frame's controls alone when a toolbar button has to
// go back, as after a Cancel), 0 when nothing happened. Marks the document modified on a change.
uint32_t RunColourCommand(QWidget* owner, ShellState& state, int command);

}  // namespace lw
