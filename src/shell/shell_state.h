// The shell's state: the open document with what the flows read and set around it, as the
// window and the batch mode keep it. The flows take it as the DocumentSession it is.
#pragma once

#include "formats/document_session.h"

namespace lw {

struct ShellState : DocumentSession {};

}  // namespace lw
