// The main window's actions, menus, toolbar, context menus and status bar, all built from the
// command table, and the one place where their enabled and checked states are set.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>

#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "formats/live_edit.h"
#include "shell/accelerators.h"
#include "shell/command_ids.h"
#include "shell/options_from_preferences.h"
#include "shell/status_text.h"
#include "ui/common/icons.h"
#include "ui/common/ui_text.h"
#include "ui/services/qt_clipboard.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"
#include "ui/window/properties_bar.h"

namespace lw {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The properties toolbar keeps its own buttons for these.
bool OnPropertiesBarOnly(int command) {
  switch (command) {
    case cmd::ToggleTransparency:
    case cmd::ChooseTransparentColour:
    case cmd::LocalPalettePresent:
    case cmd::DisposalLeave:
    case cmd::DisposalRestoreBackground:
    case cmd::DisposalRestorePrevious:
    case cmd::Has24BitData: return true;
    default: return false;
  }
}

void DescribeAction(QAction* action, int command) {
  action->setToolTip(Q(CommandTooltip(command)));
  const CommandSpec* row = FindCommand(command);
  if (row && row->pendingHintId) action->setStatusTip(UiText(row->pendingHintId));
}

}  // namespace

QAction* MainWindow::MakeAction(int command) {
  const CommandSpec* row = FindCommand(command);
  auto* action = new QAction(Q(CommandLabel(command)), this);
  action->setData(command);
  action->setObjectName(QString::number(command));
  action->setIcon(CommandIcon(command));
  action->setCheckable(row && row->checkable);
  DescribeAction(action, command);
  connect(action, &QAction::triggered, this, [this, command] { Command(command); });
  actions_[command] = action;
  return action;
}

void MainWindow::BuildActions() {
  for (const CommandSpec& row : CommandTable())
    if (!OnPropertiesBarOnly(row.id)) MakeAction(row.id);

  // Keys: every binding of the table.
  std::map<int, QList<QKeySequence>> keys;
  for (const Accelerator& a : kAccelerators) {
    QString text;
    if (a.modifiers & keymod::Ctrl) text += "Ctrl+";
    if (a.modifiers & keymod::Shift) text += "Shift+";
    text += QString::fromLatin1(a.key);
    keys[a.command].append(QKeySequence(text));
  }
  for (auto& [command, list] : keys) {
    if (QAction* a = Action(command)) {
      a->setShortcuts(list);
      a->setShortcutContext(Qt::WindowShortcut);
      addAction(a);
    }
  }
}

// Adds the items up to the End of the current level to a menu or toolbar.
void MainWindow::AddItems(QWidget* target, const MenuItem*& item, const MenuItem* end) {
  auto* menu = qobject_cast<QMenu*>(target);
  for (; item != end && item->kind != Item::End; ++item) {
    switch (item->kind) {
      case Item::Command: target->addAction(Action(item->id)); break;
      case Item::Separator:
        if (menu)
          menu->addSeparator();
        else
          static_cast<QToolBar*>(target)->addSeparator();
        break;
      case Item::RecentFiles: recentSeparator_ = menu->addSeparator(); break;
      case Item::Submenu: {
        QMenu* sub = menu ? menu->addMenu(UiText(item->id)) : menuBar()->addMenu(UiText(item->id));
        sub->setObjectName(QStringLiteral("menu%1").arg(item->id));
        if (item->rule != Enable::Always) submenuRules_[sub] = item->rule;
        connect(sub, &QMenu::aboutToShow, this, &MainWindow::UpdateCommandStates);
        // A hovered entry, even a greyed one, says what it does or why it waits.
        connect(sub, &QMenu::hovered, this, [this](QAction* action) {
          QString hint = PendingHint(action->data().toInt());
          if (!hint.isEmpty()) statusBar()->showMessage(hint, 4000);
        });
        if (item->id == str::MenuFile) fileMenu_ = sub;
        if (item->id == str::MenuDownloadTime) {
          downloadMenu_ = sub;
          connect(sub, &QMenu::aboutToShow, this, &MainWindow::RefreshDownloadMenu);
        }
        ++item;
        AddItems(sub, item, end);
        if (item == end) return;
        break;
      }
      case Item::End: break;
    }
  }
}

void MainWindow::BuildMenus() {
  std::span<const MenuItem> layout = MainMenuLayout();
  const MenuItem* item = layout.data();
  AddItems(nullptr, item, item + layout.size());
  quitAction_ = Action(cmd::Exit);
  // The properties toolbar's buttons say the same as the menus.
  for (const CommandSpec& row : CommandTable())
    if (QAction* a = properties_->Action(row.id)) DescribeAction(a, row.id);
}

void MainWindow::BuildToolBar() {
  toolbar_ = addToolBar(UiText(str::ToolbarMain));
  toolbar_->setObjectName("main");
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(QSize(24, 24));
  std::span<const MenuItem> layout = MainToolbarLayout();
  const MenuItem* item = layout.data();
  AddItems(toolbar_, item, item + layout.size());
}

void MainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(true);
  const int widths[5] = {120, 70, 80, 240, 50};
  QFontMetrics metrics(bar->font());
  int unit = std::max(1, metrics.averageCharWidth());
  for (int i = 0; i < 5; ++i) {
    statusParts_[i] = new QLabel(bar);
    statusParts_[i]->setMinimumWidth(widths[i] * unit / 6);  // drawn for a 6-pixel character
    statusParts_[i]->setObjectName(QStringLiteral("status%1").arg(i));
    bar->addWidget(statusParts_[i], i == 3 ? 1 : 0);
  }
  // Without a document the bar shows one text; tips shown over it give it back when done.
  connect(bar, &QStatusBar::messageChanged, this, [this](const QString& text) {
    if (text.isEmpty() && !state_.document)
      statusBar()->showMessage(QString::fromUtf8(StatusReady));
  });
}

void MainWindow::ShowFrameMenu(QPoint globalPosition, bool anySelected) {
  QMenu menu(this);
  std::span<const MenuItem> layout = FrameMenuLayout(anySelected);
  const MenuItem* item = layout.data();
  AddItems(&menu, item, item + layout.size());
  UpdateCommandStates();
  // Entries that read differently here get their own action, in the same place and state.
  for (QAction* shared : menu.actions()) {
    int command = shared->data().toInt();
    int label = FrameMenuLabel(command, anySelected);
    if (label == 0) continue;
    auto* own = new QAction(UiText(label), &menu);
    own->setData(command);
    own->setObjectName(QStringLiteral("strip%1").arg(command));
    own->setIcon(shared->icon());
    // The key is shown as on the shared entry; the window's action keeps answering it.
    own->setShortcut(shared->shortcut());
    own->setShortcutContext(Qt::WidgetShortcut);
    own->setEnabled(shared->isEnabled());
    connect(own, &QAction::triggered, this, [this, command] { Command(command); });
    menu.insertAction(shared, own);
    menu.removeAction(shared);
  }
  menu.exec(globalPosition);
}

QAction* MainWindow::Action(int command) const {
  auto it = actions_.find(command);
  if (it != actions_.end()) return it->second;
  return properties_ ? properties_->Action(command) : nullptr;
}

QString MainWindow::PendingHint(int command) const {
  const CommandSpec* row = FindCommand(command);
  return row && row->pendingHintId ? UiText(row->pendingHintId) : QString();
}

QString MainWindow::StatusPart(int part) const {
  return part >= 0 && part < 5 ? statusParts_[part]->text() : QString();
}

QString MainWindow::StatusMessage() const { return statusBar()->currentMessage(); }

DocumentFacts MainWindow::Facts() const {
  DocumentFacts f;
  const Animation* doc = state_.document.get();
  f.document = doc != nullptr;
  f.frameCount = doc ? doc->frameCount : 0;
  f.currentFrame = state_.currentFrame;
  f.selectedCount = doc ? static_cast<int>(doc->selectedCount) : 0;
  f.modified = state_.modified;
  f.hasPath = !state_.documentPath.empty();
  const Frame* frame = doc ? FrameAt(*doc, state_.currentFrame) : nullptr;
  f.currentHasLocalPalette = frame && frame->localPalette;
  f.globalPalette = doc && doc->globalPalette;
  f.clipboardHasFrames = MimeDataOffersFrames(QApplication::clipboard()->mimeData());
  f.previewOpen = preview_ != nullptr;
  f.coEditorTakesLayers = PrefOn(Pref::CoEditorIsPhotoshop);
  f.liveEditSession = LiveEditActive();
  f.keepTrueColour = PrefOn(Pref::KeepTrueColor);
  f.propertiesBarShown = !PrefOn(Pref::HidePropertiesBar);
  f.frameTips = PrefOn(Pref::FrameTipsOn);
  f.zoomLevel = strip_->ZoomLevel();
  f.orientation = strip_->Orientation();
  f.transparencyMode = static_cast<int>(PrefFieldValue(PrefField::TransparencyMode));
  f.modemSpeed = static_cast<int>(GetPref(PrefModemSpeed));
  return f;
}

void MainWindow::UpdateCommandStates() {
  if (!strip_ || !properties_) return;
  UndoMenuState undo = UpdateUndoMenu();
  DocumentFacts facts = Facts();
  facts.canUndo = undo.undoEnabled;
  facts.canRedo = undo.redoEnabled;
  for (const CommandSpec& row : CommandTable()) {
    bool on = CommandAvailable(row, facts);
    auto it = actions_.find(row.id);
    for (QAction* a : {it == actions_.end() ? nullptr : it->second, properties_->Action(row.id)}) {
      if (!a) continue;
      a->setEnabled(on);
      if (row.check != Check::None) a->setChecked(CommandChecked(row, facts));
    }
  }
  for (const auto& [menu, rule] : submenuRules_)
    menu->menuAction()->setEnabled(CommandEnabled(rule, facts));
  // The session's end is in the menus only while a session runs.
  Action(cmd::EndLiveEdit)->setVisible(facts.liveEditSession);
  Action(cmd::LiveEditFrame)->setText(Q(LiveEditMenuText(CoEditorFromPreferences())));
  Action(cmd::Undo)->setText(Q(undo.undoText));
  Action(cmd::Redo)->setText(Q(undo.redoText));
  setWindowModified(state_.modified);
}

void MainWindow::RefreshDownloadMenu() {
  int64_t size = -1;
  if (state_.document) {
    if (TaskRunning(task::SizeEstimate)) {
      size = lastSize_;
    } else {
      size = EstimateEncodedSize(*state_.document, false, SaveSignatureFromPreferences(), nullptr);
      lastSize_ = size;
    }
  }
  for (int i = 0; i < ModemSpeedCount; ++i)
    Action(cmd::DownloadTimeFirst + i)->setText(Q(DownloadMenuText(i, size)));
}

void MainWindow::RebuildRecentFiles() {
  for (QAction* a : recentActions_) {
    fileMenu_->removeAction(a);
    actions_.erase(a->data().toInt());
    a->deleteLater();
  }
  recentActions_.clear();
  for (const RecentFileMenuEntry& entry : RecentFilesMenuEntries()) {
    auto* action = new QAction(Q(entry.label), this);
    int command = entry.command;
    action->setData(command);
    action->setStatusTip(Q(entry.path));
    connect(action, &QAction::triggered, this, [this, command] { Command(command); });
    fileMenu_->insertAction(quitAction_, action);
    actions_[command] = action;
    recentActions_.append(action);
  }
  // The separator above the list exists only while the list does.
  recentSeparator_->setVisible(!recentActions_.isEmpty());
  if (!recentActions_.isEmpty()) {
    fileMenu_->removeAction(recentSeparator_);
    fileMenu_->insertAction(recentActions_.first(), recentSeparator_);
    QAction* after = fileMenu_->insertSeparator(quitAction_);
    recentActions_.append(after);
  }
}

}  // namespace lw
