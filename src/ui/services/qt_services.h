// The services of the windowed program: real message boxes and dialogs, event pumping, the wait
// cursor, the progress popup, the property pages' palette choosers, and the window's
// notifications.
#pragma once

#include <functional>
#include <mutex>

#include "platform/flow_dialogs.h"
#include "platform/services.h"

namespace lw {

class QtServices : public PlatformServices, public FlowDialogs {
 public:
  // A QMessageBox with the style's icon and buttons (French texts), application modal; returns
  // the answer:: value. From another thread the box is shown on the interface thread.
  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 int style) override;
  bool Interactive() const override { return true; }
  // Interface thread only; elsewhere nothing happens.
  void PumpEvents() override;
  // Counted: the wait cursor stays until every user has taken it back.
  void SetBusyCursor(bool busy) override;
  std::unique_ptr<ProgressView> OpenProgressPopup(WindowHandle owner) override;
  // Passed on to the window's notifications, if any.
  void UndoHistoryChanged() override;
  void RecentFilesChanged() override;

  // The frame-size and palette-merge questions as dialogs; OK stores the word.
  uint32_t AskPaletteMerge(WindowHandle owner, uint32_t stored) override;
  uint32_t AskOversizeInsert(WindowHandle owner, uint32_t stored) override;
  // The PSD layer dialog; OK remembers the choice. From another thread: the stored choice.
  uint32_t AskPsdLayers(WindowHandle owner, uint32_t stored) override;
  // The flows' file and merge dialogs (formats/ui); from another thread they count as cancelled.
  bool ChooseFiles(WindowHandle owner, int titleId, const std::vector<FileFilter>& filter,
                   bool multiple, std::vector<std::string>* paths) override;
  bool AskSaveAs(const SaveAsRequest& request, SaveAsChoice* choice) override;
  bool AskMergeOptions(WindowHandle owner, const Animation& a, const Animation& b,
                       MergeOptions* options) override;
  bool AskStripSplit(WindowHandle owner, const Animation& strip, StripSplitChoice* choice) override;
  bool AskCursorHotSpot(WindowHandle owner, const Animation& document, int* x, int* y) override;
  bool AskVideoImport(WindowHandle owner, VideoImportRequest* request) override;
  // The transparency, palette and background dialogs.
  bool OffersPaletteChoosers() const override { return true; }
  bool ChooseTransparentIndexes(WindowHandle owner, Animation& animation, Frame* frame,
                                std::vector<uint8_t>* indexes) override;
  bool EditPalette(WindowHandle owner, Animation& animation, Frame* frame) override;
  int ChooseBackgroundIndex(WindowHandle owner, Animation& animation, int current) override;

  // What the window does when the engine notifies; empty functions: nothing.
  struct WindowNotifications {
    std::function<void()> undoHistoryChanged;
    std::function<void()> recentFilesChanged;
  };
  // The window sets its own while it exists, and clears them as it goes.
  void SetWindowNotifications(WindowNotifications notifications);

 private:
  int ShowBox(WindowHandle owner, const std::string& text, const std::string& caption, int style);
  int busyDepth_ = 0;
  std::mutex notificationsMutex_;
  WindowNotifications notifications_;
};

// The program's one instance. The window registers with it even while a test has scripted
// services installed, which pass the window's calls on to it (HeadlessServices::ShareWindowWith).
QtServices& DesktopServices();

// Installs the Qt services and the desktop's clipboard; the QApplication must exist. Uninstall
// puts the headless services back (before the QApplication goes).
// Both install the services and the dialogs together.
void InstallQtServices();
void UninstallQtServices();

}  // namespace lw
