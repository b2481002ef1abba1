// What the open, insert, merge, save and co-editing flows take from the user's settings, and
// where they find them and remember the user's choices: a source the shell gives over the stored
// preferences, or a test its own.
#pragma once

#include <cstdint>
#include <string>

#include "colour/palette_fit.h"
#include "formats/common/format_entry.h"
#include "formats/gif/gif_format.h"

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
  // The Save As dialog's type and option bits of the last time (a type no format has: GIF).
  int saveAsType = savetype::Gif;
  uint32_t saveAsBits = 0;
  // The folder the file dialogs start in, with its trailing '/'; empty: none remembered.
  std::string fileFolder;
};

// Where the flows find the user's settings. The shell gives one over the stored preferences;
// without one a flow runs with the defaults.
class FlowSettingsSource {
 public:
  virtual ~FlowSettingsSource() = default;
  virtual FlowSettings Current() const = 0;
  // Remembers the merge dialog's choices for the next merge.
  virtual void KeepMergeChoice(bool byDuration, bool loopShorter) = 0;
  // Remembers the Save As dialog's type and option bits, offered again by the next one.
  virtual void KeepSaveAsChoice(int type, uint32_t optionBits) = 0;
  // Remembers the folder of a file saved through a dialog, where the next file dialog starts.
  virtual void KeepFolderOf(const std::string& file) = 0;
  // A file the document was read from or saved to goes first in the recent files; one that could
  // not be read any more leaves them.
  virtual void KeepRecentFile(const std::string& path) = 0;
  virtual void DropRecentFile(const std::string& path) = 0;
};

}  // namespace lw
