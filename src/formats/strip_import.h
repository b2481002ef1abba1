// The "Bande..." import command: a strip image opened and cut into frames.
#pragma once

#include "formats/document_session.h"

namespace lw {

// The "Bande..." import command: opens a GIF or BMP strip and cuts it into frames; when it
// cannot be cut the document is closed. True when the document now holds the frames.
bool ImportStripCommand(DocumentSession& state);

}  // namespace lw
