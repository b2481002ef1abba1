// The window's side of LiveEdit: its commands, the menu entry's text, and the re-import of each
// save on the interface thread.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "shell/shell_state.h"

class QWidget;

namespace lw {

// Runs "LiveEdit avec ..." (the current frame), the whole-animation command and the end of the
// session. Without a co-editor the chooser asks for one first; cancelling it ends the command.
// apply gets the refresh hints of every later re-import.
void RunLiveEditCommand(QWidget* window, ShellState& state, int command,
                        std::function<void(uint32_t hints)> apply);

// The co-editor chooser used when none is set; replaceable so that tests need no modal dialog.
using CoEditorAsker = QString (*)(QWidget* parent);
void SetCoEditorAsker(CoEditorAsker asker);

}  // namespace lw
