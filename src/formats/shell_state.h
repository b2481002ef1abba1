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
#include "platform/services.h"

namespace lw {

// What the window does when a flow has changed the document. Every hook may be left alone:
// the defaults do nothing, as in the batch mode.
class ShellListener {
 public:
  virtual ~ShellListener() = default;
  // The document's name or modified flag changed: the title follows.
  virtual void TitleChanged() {}
  // The document was replaced, changed in place or closed: strip, properties bar, status bar,
  // preview and palette views are refreshed (hints: the refresh:: bits of core/undo.h).
  virtual void DocumentChanged(uint32_t /*hints*/) {}
  // Before a flow changes the document under the preview.
  virtual void StopPreview() {}
  // The document is about to be freed: co-editing files are removed, views let go of frames.
  virtual void DocumentClosing() {}
  // The frame strip goes back to its first frame.
  virtual void ScrollStripToStart() {}
  // A newly opened animation should start playing in the preview ("Afficher aperçu
  // d'animation", command 40010, posted to the window).
  virtual void RequestAutoPreview() {}
};

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
