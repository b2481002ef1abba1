// The one open document and what the flows read and set around it: the current frame, the
// modified flag, the document's file name, the window's hooks and the source of the user's
// settings. The shell's state (shell/shell_state.h) is one, kept by the window and the batch
// mode; the tests keep their own without a window. The undo history is the program-wide one of
// core/undo.h; questions asked along the way go through the platform services.
#pragma once

#include <cstdint>
#include <string>

#include "core/animation.h"
#include "core/document_listener.h"
#include "formats/flow_settings.h"
#include "platform/services.h"

namespace lw {

struct DocumentSession {
  AnimationPtr document;  // none when no document is open
  int currentFrame = -1;  // the insertion point; -1 = none
  bool modified = false;
  std::string documentPath;  // empty when untitled
  WindowHandle owner = nullptr;
  ShellListener* listener = nullptr;       // not owned
  FlowSettingsSource* settings = nullptr;  // not owned

  bool HasDocument() const { return document != nullptr; }
  FlowSettings Settings() const { return settings ? settings->Current() : FlowSettings{}; }

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
