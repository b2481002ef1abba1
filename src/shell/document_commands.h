// The document edits of the menus and the properties toolbar, on the shell state alone. Each
// stops the background work that reads the document, records its undo entry, marks the document
// modified and returns the refresh hints (refresh:: of core/document_listener.h) the views need; 0
// when nothing changed. The window applies the hints; the batch mode and the tests need no window.
#pragma once

#include <cstdint>

#include "shell/shell_state.h"

namespace lw {

class UndoRun;

// Reverses the frame order (two frames or more); the first selected frame becomes current.
uint32_t ReverseOrderCommand(ShellState& state);
// Appends the frames in reverse order (two frames or more).
uint32_t PingPongCommand(ShellState& state);
// Deletes the selected frames; with one, the same index stays current (the last frame when it
// fell off the end); with several, nothing stays selected.
uint32_t DeleteFramesCommand(ShellState& state);
// Moves the selected frames (or the current one) to slot position (0..frameCount).
uint32_t MoveFramesCommand(ShellState& state, int position);
// Drops the current frame's 24-bit data, or rebuilds it from the image. A failed rebuild
// changes nothing and asks only for the frame's controls, so that its button goes back.
uint32_t ToggleTrueColourCommand(ShellState& state);
// The current frame's disposal (1 leave, 2 restore background, 3 restore previous), one undo
// step; the same disposal again asks only for the frame's controls.
uint32_t SetDisposalCommand(ShellState& state, int disposal);
// The delay of every selected frame. Hints for the duration and the preview. A change that is
// part of a run typed in one field (run given) joins the run's step when it is still the newest;
// otherwise, or without a run, it records a step of its own.
uint32_t SetDelayCommand(ShellState& state, uint32_t delay, UndoRun* run = nullptr);
// The loop count, with its undo step as for the delay; true when it changed.
bool SetLoopCountCommand(ShellState& state, uint32_t count, UndoRun* run = nullptr);
// Before the optimize dialog opens: the preview stops, the colour recount the optimizer reads
// and the size estimate are awaited, and 24-bit data may go. False when there is nothing to
// optimize or the user declined.
bool PrepareOptimize(ShellState& state);
// After the dialog changed the document: the selection and current frame follow the frames
// that remain.
uint32_t AfterOptimize(ShellState& state);
// Every frame rebuilt as the full picture the viewer sees (after the 24-bit question).
uint32_t UnoptimizeCommand(ShellState& state);
// Interlacing no longer allowed: every frame's flag cleared; true when some frame had it.
bool ClearInterlacingCommand(ShellState& state);

// After a document was freed: the writer's kept encoder output goes, and the allocator gives
// the freed pages back to the system.
void ReleaseClosedDocumentMemory();

}  // namespace lw
