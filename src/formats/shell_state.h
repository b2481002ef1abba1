// The one open document and what the flows read and set around it: the current frame, the
// modified flag, the document's file name, and the window's hooks. The window keeps one
// ShellState; the batch mode and the tests keep their own without a window. The undo history
// is the program-wide one of core/undo.h; questions asked along the way go through the
// platform services.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/animation.h"
#include "core/document_listener.h"
#include "platform/services.h"

namespace lw {

struct ShellState {
  AnimationPtr document;  // none when no document is open
  int currentFrame = -1;  // the insertion point; -1 = none
  bool modified = false;
  std::string documentPath;  // empty when untitled
  WindowHandle owner = nullptr;
  ShellListener* listener = nullptr;  // not owned

  bool HasDocument() const { return document != nullptr; }

  // Listener calls that tolerate no listener.
  void NotifyTitle() {
    if (listener) listener->TitleChanged();
  }
  void NotifyDocument(uint32_t hints) {
    if (listener) listener->DocumentChanged(hints);
  }
  void StopPreview() {
    if (listener) listener->StopPreview();
  }
};

}  // namespace lw
