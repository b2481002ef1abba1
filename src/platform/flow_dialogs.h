// What the window provides to the flows: the dialogs an engine operation opens in the middle of
// its work (file choosers, Save As, merge options, the frame-size and palette-merge questions,
// PSD layers, strip and clip imports, the cursor hot spot, the properties sheet's colour
// choosers). The window installs its own at start-up; without a window the headless ones answer
// from what they are given (HeadlessServices), so every question has an answer there too.
//
// The questions carry engine types that live above this layer; they are only named here, and
// passed on by reference to the dialogs, which include them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/services.h"

namespace lw {

// One entry of a file chooser's type list.
struct FileFilter {
  std::string label;
  std::string pattern;  // "*.gif;*.bmp"
  bool operator==(const FileFilter&) const = default;
};

// What the flows' own dialogs show and fill, defined beside the flows that ask (formats/).
struct Animation;
struct Frame;
struct SaveAsRequest;
struct SaveAsChoice;
struct MergeOptions;
struct VideoImportRequest;

// How an opened strip image is cut into frames: cells across and down, and whether frames
// follow the rows (left to right, then down) or the columns (top to bottom, then across).
struct StripSplitChoice {
  int framesPerRow = 1;
  int framesPerColumn = 1;
  bool byColumns = false;
};

class FlowDialogs {
 public:
  virtual ~FlowDialogs() = default;

  // The palette-merge question asked before frames join a document: given the stored word, the
  // word to use (0 when the user cancels). Without a user the stored word serves.
  virtual uint32_t AskPaletteMerge(WindowHandle /*owner*/, uint32_t stored) { return stored; }

  // The question asked when an inserted frame is larger than the animation: given the stored
  // word, the word to use (0 when the user cancels). Without a user the stored word serves.
  virtual uint32_t AskOversizeInsert(WindowHandle /*owner*/, uint32_t stored) { return stored; }

  // The open dialog: *paths gets the full paths of the chosen files (one unless multiple); false
  // when the user cancelled. titleId is the dialog's title in the string table; an empty filter
  // list means every file. Without a user nothing is chosen.
  virtual bool ChooseFiles(WindowHandle /*owner*/, int /*titleId*/,
                           const std::vector<FileFilter>& /*filter*/, bool /*multiple*/,
                           std::vector<std::string>* /*paths*/) {
    return false;
  }

  // The Save As dialog: shows the request, asks the overwrite question itself and fills the
  // choice; false on cancel. Without a user there is no name to save under: cancelled.
  virtual bool AskSaveAs(const SaveAsRequest& /*request*/, SaveAsChoice* /*choice*/) {
    return false;
  }

  // The PSD layer question: given the options the stored choice stands for, the options to
  // use (0 when the user cancels). Without a user the stored choice serves.
  virtual uint32_t AskPsdLayers(WindowHandle /*owner*/, uint32_t stored) { return stored; }

  // The cursor hot-spot dialog: x and y come preset with the first frame's hot spot and get the
  // chosen one; false on cancel. Without a user the preset serves.
  virtual bool AskCursorHotSpot(WindowHandle /*owner*/, const Animation& /*document*/, int* /*x*/,
                                int* /*y*/) {
    return true;
  }

  // The merge dialog: shows both animations (b already on a's palette) and sets the options,
  // which come preset with the stored choices; false on cancel. Without a user the stored
  // choices serve.
  virtual bool AskMergeOptions(WindowHandle /*owner*/, const Animation& /*a*/,
                               const Animation& /*b*/, MergeOptions* /*options*/) {
    return true;
  }

  // The strip import dialog: the strip's single frame and the choice, preset; true on OK with
  // the choice set. The dialog refuses counts that do not divide the image. Without a user
  // there is nothing to choose: cancelled.
  virtual bool AskStripSplit(WindowHandle /*owner*/, const Animation& /*strip*/,
                             StripSplitChoice* /*choice*/) {
    return false;
  }

  // The clip import dialog: the clip's part, rate and width, preset in request->part and set
  // there on OK; false on cancel. Without a user the preset serves (the whole clip at its own
  // rate unless the batch flags said otherwise).
  virtual bool AskVideoImport(WindowHandle /*owner*/, VideoImportRequest* /*request*/) {
    return true;
  }

  // The property pages' palette choosers. Where they are not offered the pages grey their
  // "Editer..." buttons and background swatch, and checking "Transparent" takes the frame's own
  // transparent index.
  virtual bool OffersPaletteChoosers() const { return false; }
  // The transparent indexes for frame, starting from indexes (the first one becomes the
  // transparent index, the others merge into it; none: not transparent). False on cancel.
  virtual bool ChooseTransparentIndexes(WindowHandle /*owner*/, Animation& /*animation*/,
                                        Frame* /*frame*/, std::vector<uint8_t>* /*indexes*/) {
    return false;
  }
  // Edits frame's local palette, or the global one for none; true when it changed (the editor
  // records its own undo entry).
  virtual bool EditPalette(WindowHandle /*owner*/, Animation& /*animation*/, Frame* /*frame*/) {
    return false;
  }
  // A background index from the global palette, starting from current; -1 on cancel.
  virtual int ChooseBackgroundIndex(WindowHandle /*owner*/, Animation& /*animation*/,
                                    int /*current*/) {
    return -1;
  }
};

// The installed dialogs. Until something else is installed, the program-wide HeadlessServices
// (platform/headless_services.h) answer.
FlowDialogs& Dialogs();

// Installs dialogs; the caller keeps ownership. nullptr puts the headless default back.
void SetDialogs(FlowDialogs* dialogs);

}  // namespace lw
