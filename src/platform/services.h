// What the engine asks of the desktop: message boxes, questions and, as later flows need them,
// the few dialogs that an engine operation opens in the middle of its work. The engine never
// talks to a toolkit directly; it calls the one services object installed at start-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lw {

// Owner of a box or dialog, opaque to the engine (a QWidget* in the Qt implementation).
using WindowHandle = void*;

// One entry of a file chooser's type list.
struct FileFilter {
  std::string label;
  std::string pattern;  // "*.gif;*.bmp"
  bool operator==(const FileFilter&) const = default;
};

// What the flows' own dialogs show and fill, defined beside the flows that ask (formats/). The
// services only pass them on to the toolkit's dialogs.
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

// Message-box styles and answers keep their Windows values: stored answers and callers compare
// them.
namespace mb {
constexpr int Ok = 0x0;
constexpr int OkCancel = 0x1;
constexpr int AbortRetryIgnore = 0x2;
constexpr int YesNoCancel = 0x3;
constexpr int YesNo = 0x4;
constexpr int RetryCancel = 0x5;
constexpr int IconHand = 0x10;
constexpr int IconQuestion = 0x20;
constexpr int IconExclamation = 0x30;
constexpr int IconAsterisk = 0x40;
constexpr int DefButton2 = 0x100;
constexpr int DefButton3 = 0x200;
constexpr int TaskModal = 0x2000;
// The OK button reads "Continuer", for questions whose text names that button.
constexpr int OkContinues = 0x10000;
constexpr int ButtonMask = 0xF;
constexpr int IconMask = 0xF0;
constexpr int DefButtonMask = 0xF00;
}  // namespace mb

namespace answer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace answer

// What a progress meter shows on screen; the interface supplies it (a popup, or a dialog's
// controls). Only the interface thread calls it.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void SetRange(int total) = 0;               // range 0..total, position 0, step 1
  virtual void SetPosition(int position) = 0;         // within 0..total
  virtual void Step() = 0;                            // one further, stopping at the end
  virtual void SetText(const std::string& text) = 0;  // empty clears
  virtual void Refocus() {}                           // back to the front with the keyboard focus
  virtual void Finished() {}                          // its meter closed (a shared view hides)
};

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // Shows a message box with the given caption and text (UTF-8) and style; returns the answer.
  virtual int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                         int style) = 0;

  // True when the program runs with a user in front of it (a window toolkit is up).
  virtual bool Interactive() const = 0;

  // Lets pending window events run (progress pumping). The headless services do nothing.
  virtual void PumpEvents() {}

  // Hourglass on and off for long work on the interface thread.
  virtual void SetBusyCursor(bool /*busy*/) {}

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

  // The popup of a progress meter with its own popup, shown and centred over owner (which may be
  // none). Esc in it must call ProgressCancel(). Without a user no popup is made and such meters
  // only answer.
  virtual std::unique_ptr<ProgressView> OpenProgressPopup(WindowHandle /*owner*/) {
    return nullptr;
  }

  // The undo history changed (the window refreshes its menu and buttons), and so did the list of
  // recent files (the window rebuilds its menu). Without a window nobody listens.
  virtual void UndoHistoryChanged() {}
  virtual void RecentFilesChanged() {}

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

  // The file operations of the safe replacement of a saved file: rename over and delete.
  // Tests make them fail or count them.
  virtual bool ReplaceRename(const std::string& from, const std::string& to);
  virtual bool ReplaceRemove(const std::string& path);
};

// The answers a box of the given style offers, in the order its buttons show them (1 to 3).
// Unknown button codes give an OK box, as the system does.
int BoxButtons(int style, int out[3]);

// The answer of the box's default button (the first one unless DefButton2/3 say otherwise).
int DefaultAnswer(int style);

// The installed services. Until something else is installed, the program-wide HeadlessServices
// (platform/headless_services.h) serve: messages on standard error, questions answered with
// their default button.
PlatformServices& Services();

// Installs services; the caller keeps ownership. nullptr puts the headless default back.
void SetServices(PlatformServices* services);

}  // namespace lw
