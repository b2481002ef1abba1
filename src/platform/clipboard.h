// The system clipboard as the engine sees it: the program's own block of frames and an image as
// a packed DIB. The windowed program installs the desktop's clipboard; without one (batch mode,
// engine tests) a clipboard shared by the whole process stands in.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/services.h"

namespace lw {

// Either part may be empty.
struct ClipboardContents {
  std::vector<uint8_t> frames;  // the program's own block
  std::vector<uint8_t> dib;     // 40-byte header, colour table, pixels
};

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Replaces what the clipboard holds with both parts; false when it could not.
  virtual bool Put(WindowHandle owner, const ClipboardContents& contents) = 0;
  // What the clipboard offers that the program can take (another program's image arrives as a
  // DIB).
  virtual ClipboardContents Get(WindowHandle owner) = 0;
};

// The installed clipboard, else the process-wide one.
Clipboard& SystemClipboard();
// Installs a clipboard; the caller keeps ownership. nullptr puts the process-wide one back.
void SetSystemClipboard(Clipboard* clipboard);

}  // namespace lw
