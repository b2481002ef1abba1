// The main window: menus, toolbars, the frame strip and the status bar, and the dispatch of every
// command id. The open document lives in its ShellState; the open, insert, merge and save flows
// and the document commands change it, and the window applies the refresh hints they return.
// Menus, toolbars and enabled states come from the command table (main_window_menus.cpp);
// the commands run from main_window_commands.cpp.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <string>

#include "core/animation.h"
#include "core/undo.h"
#include "formats/merge.h"
#include "shell/command_table.h"
#include "shell/shell_state.h"
#include "ui/window/preview_window.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace lw {

class FrameStrip;
class PreviewWindow;
class PropertiesBar;

class MainWindow : public QMainWindow, private ShellListener {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // ---- Shell state
  Animation* Document() const { return state_.document.get(); }
  int CurrentFrame() const { return state_.currentFrame; }
  bool Modified() const { return state_.modified; }
  const std::string& DocumentPath() const { return state_.documentPath; }
  ShellState& State() { return state_; }

  // ---- Shell operations
  void SetModified(bool modified);
  // False when the user cancelled.
  bool CloseDocument();
  // 0 failure or cancel, 1 a document was opened. Without a path the open dialog asks.
  int OpenDocument(const std::string& path);
  // The first start without a file: the usage question, asked once.
  void AskUsageOnFirstStart();
  void SelectFrame(int index, int mode);
  void SetCurrentFrame(int index);
  void StopBackgroundWork();
  void StartSizeEstimate(bool invalidate);
  void StartColourUsage();
  // Saves to the document's path (Save As when untitled); true when written.
  bool SaveDocument();
  // The Save As dialog for a type (-1: the last one used; 0: a plain save); true when written.
  bool SaveDocumentAs(int type);
  // Every command arrives here, from menus, toolbars, keys and context menus.
  void Command(int command);
  // Files dropped: on the strip at a frame (-1 none), or on the window (onStrip false).
  void DropFiles(const QStringList& paths, int index, bool onStrip);

  // ---- For the tests and the screenshot
  QAction* Action(int command) const;
  FrameStrip* Strip() const { return strip_; }
  PropertiesBar* Properties() const { return properties_; }
  QToolBar* MainToolBar() const { return toolbar_; }
  QString StatusPart(int part) const;
  QString StatusMessage() const;
  // The hint shown for a command whose operation the program does not have yet (empty if none).
  QString PendingHint(int command) const;
  // Help and tutorial pages: opens them, or says where they are when no browser can, at once or
  // when the opener reports it later; replaceable so that tests need no browser.
  using PageOpener = std::function<bool(const std::string& path)>;
  void SetPageOpener(PageOpener opener) { openPage_ = std::move(opener); }
  PreviewWindow* Preview() const { return preview_.data(); }
  // Recomputes every enabled and checked state (also run as each menu opens): the one place
  // where commands are enabled.
  void UpdateCommandStates();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct Handler;
  static const Handler* FindHandler(int command);

  // main_window_menus.cpp
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  QAction* MakeAction(int command);
  void AddItems(QWidget* target, const MenuItem*& item, const MenuItem* end);
  void RebuildRecentFiles();
  void RefreshDownloadMenu();
  void ShowFrameMenu(QPoint globalPosition, bool anySelected);
  DocumentFacts Facts() const;

  // main_window.cpp
  void RefreshStatus();
  void RefreshDuration();
  void ShowFileSize(int64_t size);
  // Runs after a document command: the modified flag and title, then the views its hints name.
  void AfterCommand(uint32_t hints);
  void ApplyRefreshHints(uint32_t hints);
  void RefreshFrameControls();
  // The document changed hands (opened, closed): the views take the new one, or are cleared.
  void AttachDocument();
  void TellPreview(int change);
  void RestorePlacement();
  // Once the window manager's frame is known, the frame too is brought inside the screen.
  void FitFrameOnScreen();
  void SavePlacement();

  // main_window_commands.cpp
  void UndoOrRedo(bool redo);
  void MoveFrames(int position);
  // Copy, or cut (the selected frames then leave the document).
  void CopyOrCut(int command);
  // The rotations, resizes and the move/crop dialogs.
  void RunGeometryCommand(int command);
  void ApplyDelayText(const QString& text);
  void ApplyLoopText(const QString& text);
  void SelectAll();
  void InvertSelection();
  void MergeWith();
  void InsertFiles(const QStringList& paths, int index);
  void Preferences();
  void SetZoom(int level);
  void SetOrientation(int value);
  void SetTransparencyMode(int command);
  void SetModemSpeed(int index);
  void ToggleViewSetting(int command);
  void ShowInShare(const char* relative, int missingTextId);
  void TogglePreview(int mode);
  void ClosePreview();

  // ShellListener
  void TitleChanged() override;
  void DocumentChanged(uint32_t hints) override;
  void StopPreview() override;
  void DocumentClosing() override;
  void ScrollStripToStart() override;
  void RequestAutoPreview() override;

  ShellState state_;
  Animation* shown_ = nullptr;  // the document the strip and bars were given
  bool durationsEdited_ = false;
  // What is typed in the toolbar's delay and loop fields, each run one undo step.
  UndoRun delayRun_;
  UndoRun loopRun_;
  uint64_t estimateGeneration_ = 0;
  int64_t lastSize_ = -1;

  std::map<int, QAction*> actions_;
  std::map<QMenu*, Enable> submenuRules_;  // submenus greyed by a rule of their own
  QToolBar* toolbar_ = nullptr;
  PropertiesBar* properties_ = nullptr;
  FrameStrip* strip_ = nullptr;
  QLabel* statusParts_[5] = {};
  QMenu* fileMenu_ = nullptr;
  QMenu* downloadMenu_ = nullptr;
  QList<QAction*> recentActions_;
  QAction* recentSeparator_ = nullptr;
  QAction* quitAction_ = nullptr;
  QPointer<PreviewWindow> preview_;
  PageOpener openPage_;
};

}  // namespace lw
