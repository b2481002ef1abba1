// Selection and frame-order edits of the frame strip, on the document alone: the window calls
// them and then refreshes. Each edit that changes the document records its undo step first.
#pragma once

#include <cstdint>

#include "core/animation.h"

namespace lw {

// Selection modes of SelectFrame.
namespace selmode {
constexpr int Only = 0;    // the frame alone (none for -1)
constexpr int Extend = 4;  // from the anchor to the frame
constexpr int Toggle = 8;  // the frame switched, the others kept
}  // namespace selmode

// Changes the selection and returns the new current frame: the given one when it ended up
// selected, else the first selected frame, else -1. An index outside the frames selects nothing
// in mode Only and leaves the selection alone otherwise.
int SelectFrame(Animation& animation, int index, int mode);

// Counts the selected flags again (after undo, redo or a load) and fixes the anchor.
void RecountSelection(Animation& animation);

// Moves frame `from` so that it lands before slot `position` (0..frameCount); records a MoveFrame
// undo step. Returns the frame's new index, or -1 when nothing moved (its own slot or the next).
int MoveFrameTo(Animation& animation, int from, int position);

// Moves the selected frames, in order, to slot position; records a MoveFrames undo step. Returns
// the index of the first moved frame, -1 when nothing moved.
int MoveSelectedFramesTo(Animation& animation, int position);

// Deletes the selected frames, recording DeleteFrame (one frame) or DeleteFrames (several). Returns
// the new current frame: with one frame deleted, the same index (the last frame when it fell off
// the end, selected alone); with several, -1 and nothing selected. -2 when nothing was selected. A
// cut records DeleteFrames even for one frame.
int DeleteSelectedFrames(Animation& animation, bool cut = false);

}  // namespace lw
