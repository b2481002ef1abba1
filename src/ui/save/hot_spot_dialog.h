// "Define Cursor HotSpot": the hot-spot editor of the cursor Save As panel as a dialog of its
// own, with OK and Annuler.
#pragma once

class QWidget;

namespace lw {

struct Animation;

// x and y come preset and get the chosen point; false on cancel.
bool AskCursorHotSpot(QWidget* owner, const Animation& document, int* x, int* y);

}  // namespace lw
