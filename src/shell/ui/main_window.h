// The main window: menus, toolbars, the frame strip and the status bar, the one open document
// and the dispatch of every command id.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <string>

#include "core/animation.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace lw {

class FrameStrip;
class PropertiesBar;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // ---- Shell state
  Animation* Document() const { return document_.get(); }
  int CurrentFrame() const { return currentFrame_; }
  bool Modified() const { return modified_; }
  const std::string& DocumentPath() const { return documentPath_; }

  // ---- Shell operations
  void SetModified(bool modified);
  void SetDocumentTitle(const std::string& path);
  void SetDocument(AnimationPtr animation);
  // Returns answer::Yes, No or Cancel.
  int PromptSave();
  // False when the user cancelled.
  bool CloseDocument();
  // 0 failure or cancel, 1 the file became the document. Without a path the open dialog asks.
  int OpenDocument(const std::string& path);
  void SelectFrame(int index, int mode);
  void SetCurrentFrame(int index);
  void StopBackgroundWork();
  void StartSizeEstimate(bool invalidate);
  void StartColourUsage();
  // Saves to the document's path (Save As when untitled); true when written.
  bool SaveDocument();
  bool SaveDocumentAs(const std::string& path);
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
  // Recomputes every enabled and checked state (also run as each menu opens).
  void UpdateCommandStates();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  QAction* MakeAction(int command, const QString& label);
  QMenu* AddMenu(QMenu* parent, const QString& title, std::initializer_list<int> commands);
  void MarkPending(int command, const QString& hint);
  void RebuildRecentFiles();
  void RefreshStatus();
  void RefreshDuration();
  void ShowFileSize(int64_t size);
  void RefreshDownloadMenu();
  void ApplyRefreshHints(uint32_t hints);
  void AfterFramesChanged(int current);
  void RestorePlacement();
  void SavePlacement();
  void ShowInShare(const char* relative, int missingTextId);

  // Commands
  void DeleteFrames();
  void UndoOrRedo(bool redo);
  void MoveFrames(int position);
  void ApplyDelayText(const QString& text);
  void ApplyLoopText(const QString& text);
  void SetDisposal(int disposal);
  void ToggleTransparency();
  void ToggleTrueColour();
  void ReverseOrder();
  void PingPong();
  void Revert();
  void SetZoom(int level);
  void SetOrientation(int value);
  void SetTransparencyMode(int command);
  void SetModemSpeed(int index);
  void ShowFrameMenu(QPoint globalPosition, bool anySelected);
  void About();

  AnimationPtr document_;
  int currentFrame_ = -1;
  bool modified_ = false;
  std::string documentPath_;
  bool durationsEdited_ = false;
  uint64_t estimateGeneration_ = 0;
  int64_t lastSize_ = -1;

  std::map<int, QAction*> actions_;
  std::map<int, QString> pending_;
  QToolBar* toolbar_ = nullptr;
  PropertiesBar* properties_ = nullptr;
  FrameStrip* strip_ = nullptr;
  QLabel* statusParts_[5] = {};
  QMenu* fileMenu_ = nullptr;
  QMenu* downloadMenu_ = nullptr;
  QList<QAction*> recentActions_;
  QAction* recentSeparator_ = nullptr;
  QAction* quitAction_ = nullptr;
};

}  // namespace lw
