// What a recording of the screen becomes once it stops: a new document, or frames inserted after
// the current one with one undo step, as files are.
#pragma once

#include "core/animation.h"
#include "shell/shell_state.h"

namespace lw {

enum class RecordingPlace { NewDocument, AfterCurrentFrame };

// Hands the recording to the document. NewDocument asks to save a modified document first (false
// when the user cancelled, the recording freed). AfterCurrentFrame inserts it after the current
// frame (at the end when none is current; as a new document when none is open). False when it
// could not be taken; the document is then as it was.
bool TakeRecording(ShellState& state, AnimationPtr recording, RecordingPlace place);

}  // namespace lw
