// The one open document and what the flows read and set around it: the current frame, the
// modified flag, the document's file name, and the window's hooks. The window keeps one
// ShellState; the batch mode and the tests keep their own without a window. The undo history
// is the program-wide one of core/undo.h; questions asked along the way go through the
// platform services; the user's settings come from the state's settings source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colour/palette_fit.h"
#include "core/animation.h"
#include "core/document_listener.h"
#include "formats/common/format_entry.h"
#include "platform/services.h"

namespace lw {

// What the flows take from the user's settings, read as a flow starts.
struct FlowSettings {
  ReadOptions read;              // how files are read
  PaletteFitOptions paletteFit;  // how what is read joins the document's palette
  // The stored word of the question before frames larger than the screen join it (grow the
  // screen or not, ask first).
  uint32_t oversizeInsert = 32;
  bool autoPreview = true;  // a document of several frames starts its preview once opened
  // The merge dialog's remembered choices.
  bool mergeByDuration = false;
  bool mergeLoopShorter = true;
  // The external image editor (a program's path or its desktop entry); empty: none chosen.
  std::string coEditor;
  WriteSettings write;        // what the writers take
  bool cropSilently = false;  // frames past the screen are cut before a save without a question
};

// Where the flows find the user's settings. The shell gives one over the stored preferences;
// without one a flow runs with the defaults.
class FlowSettingsSource {
 public:
  virtual ~FlowSettingsSource() = default;
  virtual FlowSettings Current() const = 0;
  // Remembers the merge dialog's choices for the next merge.
  virtual void KeepMergeChoice(bool byDuration, bool loopShorter) = 0;
};

struct ShellState {
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
