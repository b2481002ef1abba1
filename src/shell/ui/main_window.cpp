#include "shell/ui/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include "core/compose.h"
#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "platform/files.h"
#include "platform/services.h"
#include "shell/accelerators.h"
#include "shell/command_ids.h"
#include "shell/messages.h"
#include "shell/preferences.h"
#include "shell/progress.h"
#include "shell/settings.h"
#include "shell/status_text.h"
#include "shell/strings.h"
#include "shell/ui/frame_edit.h"
#include "shell/ui/frame_strip.h"
#include "shell/ui/icons.h"
#include "shell/ui/properties_bar.h"

namespace lw {

namespace {

// Menu texts of the commands (the labels the menus show).
struct CommandLabel {
  int command;
  const char* label;
};
constexpr CommandLabel kLabels[] = {
    {cmd::FileOpen, "&Ouvrir..."},
    {cmd::ImportAvi, "AVI..."},
    {cmd::ImportBmp, "BMP/DIB..."},
    {cmd::ImportJpeg, "JPEG..."},
    {cmd::ImportStrip, "Bande..."},
    {cmd::ImportPsd, "Photoshop PSD..."},
    {cmd::ImportPng, "PNG..."},
    {cmd::ImportIcon, "Icône..."},
    {cmd::ImportCursor, "Curseur..."},
    {cmd::ImportAnimatedCursor, "Curseur animé..."},
    {cmd::InsertFrames, "&Insérer le(s) cadre(s)..."},
    {cmd::MergeWith, "&Fusionner l’animation avec..."},
    {cmd::FileSave, "&Sauvegarder"},
    {cmd::FileSaveAs, " Sauvegarder &sous..."},
    {cmd::SaveGifAs, " Sauvegarder l’animation &GIF sous..."},
    {cmd::RevertToSaved, "In&verser à sauvegardé "},
    {cmd::NewAnimation, "Re&démarrer"},
    {cmd::HtmlCode, "&Code HTML..."},
    {cmd::Exit, "Q&uitter"},
    {cmd::Undo, "&Annuler"},
    {cmd::Redo, "&Refaire"},
    {cmd::Cut, "&Couper"},
    {cmd::Copy, "Co&pier"},
    {cmd::Paste, "C&oller"},
    {cmd::Delete, "&Supprimer"},
    {cmd::SelectAll, "&Tout sélectionner"},
    {cmd::InvertSelection, "Inverser la sélection"},
    {cmd::Preferences, "Pré&férences générales..."},
    {cmd::FrameProperties, "&Propriétés..."},
    {cmd::GlobalFrameProperties, "&Propriétés globales..."},
    {cmd::EditLocalPalette, "&Palette locale..."},
    {cmd::MoveCrop, "&Déplacer/Rogner..."},
    {cmd::ResizeFrames, "Redimensionner..."},
    {cmd::FrameRotate90Cw, "90° dans le sens horaire"},
    {cmd::FrameRotate180, "180°"},
    {cmd::FrameRotate90Ccw, "90° dans le sens antihoraire"},
    {cmd::FrameFlipHorizontal, "Retourner horizontalement"},
    {cmd::FrameFlipVertical, "Retourner verticalement"},
    {cmd::EditPixels, "&Édition des pixels..."},
    {cmd::LiveEditFrame, "LiveEdit avec l'éditeur d'images..."},
    {cmd::AnimationProperties, "&Propriétés..."},
    {cmd::EditGlobalPalette, "&Palette globale..."},
    {cmd::ResizeAnimation, "Redime&nsionner..."},
    {cmd::AnimationRotate90Cw, "90° dans le sens horaire"},
    {cmd::AnimationRotate180, "180°"},
    {cmd::AnimationRotate90Ccw, "90° dans le sens antihoraire"},
    {cmd::AnimationFlipHorizontal, "Retourner horizontalement"},
    {cmd::AnimationFlipVertical, "Retourner verticalement"},
    {cmd::LiveEditAnimation, "Démarrer l’animation complète "},
    {cmd::Duration, "Du&rée..."},
    {cmd::ReduceColours, "&Réduire couleurs..."},
    {cmd::Optimize, "&Optimiser..."},
    {cmd::Unoptimize, "&Annuler optimisation"},
    {cmd::ReduceFrameCount, "Ré&duire le compte..."},
    {cmd::ReverseOrder, "In&verser l'ordre"},
    {cmd::PingPong, "Animation Ping-Pong"},
    {cmd::CropAnimation, "Ro&gner..."},
    {cmd::GifComments, "Co&mmentaires GIF..."},
    {cmd::Preview, "&Aperçu d’animation"},
    {cmd::StopPreview, "Arrêter l’aperçu"},
    {cmd::PreviewSelected, "Animation des cadres sélectionnés "},
    {cmd::ShowPropertiesBar, "Afficher &la barre d’outils Propriétés "},
    {cmd::FrameTips, "Afficher les astuces relatives aux cadres "},
    {cmd::ZoomIn, "A&grandir"},
    {cmd::ZoomOut, "Ré&duire"},
    {cmd::ActualSize, "Dimensions &réelles"},
    {cmd::OrientationAuto, "&Automatique"},
    {cmd::OrientationHorizontal, "Bandes &horizontales"},
    {cmd::OrientationVertical, "Bandes &verticales"},
    {cmd::TransparencyAsWindow, "&Fenêtre d'arrière-plan"},
    {cmd::TransparencyAsFrameColour, "Couleur dans le &cadre"},
    {cmd::TransparencyAsCustom, "Couleur &personnalisée..."},
    {cmd::HelpContents, "&Contenu de l'aide"},
    {cmd::Tutorial, "&Tutoriel..."},
    {cmd::About, "À &propos de Loopwright..."},
    {cmd::ToggleTransparency, "Permuter de transparence"},
    {cmd::ChooseTransparentColour, "Sélectionner couleur de transparence"},
    {cmd::LocalPalettePresent, "Palette locale"},
    {cmd::DisposalLeave, "Supprimer : Laisser tel quel"},
    {cmd::DisposalRestoreBackground, "Supprimer : Rétablir arrière-plan"},
    {cmd::DisposalRestorePrevious, "Supprimer : Retour cadre précédent"},
    {cmd::Has24BitData, "Le cadre comporte des données de couleur de 24 bits "},
};

const char* LabelOf(int command) {
  for (const CommandLabel& l : kLabels)
    if (l.command == command) return l.label;
  return nullptr;
}

// The tooltip: the string-table text of the id, else the menu text without its marks.
QString TooltipOf(int command) {
  std::string text = ResText(command);
  if (!text.empty()) return QString::fromStdString(text);
  QString label = QString::fromUtf8(LabelOf(command) ? LabelOf(command) : "");
  label.remove('&');
  label = label.trimmed();
  if (label.endsWith("...")) label.chop(3);
  return label;
}

constexpr int kZoomPercent[8] = {20, 25, 33, 50, 100, 200, 300, 400};

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// Hints of the commands whose operation comes with later work on the program.
struct PendingCommand {
  int command;
  const char* hint;
};
constexpr const char kFormats[] = "Les autres formats de fichier arrivent dans une prochaine version.";
constexpr const char kClipboard[] = "Le presse-papiers arrive dans une prochaine version.";
constexpr const char kDialogs[] = "Cette boîte de dialogue arrive dans une prochaine version.";
constexpr const char kPreview[] = "L’aperçu d’animation arrive dans une prochaine version.";
constexpr const char kColour[] = "Les outils de couleur arrivent dans une prochaine version.";
constexpr const char kGeometry[] = "Les transformations arrivent dans une prochaine version.";
constexpr const char kLiveEdit[] = "LiveEdit arrive dans une prochaine version.";
constexpr const char kFlows[] = "L’insertion et la fusion arrivent dans une prochaine version.";
constexpr const char kOptimizer[] = "L’optimiseur arrive dans une prochaine version.";
constexpr PendingCommand kPending[] = {
    {cmd::ImportAvi, kFormats}, {cmd::ImportBmp, kFormats}, {cmd::ImportJpeg, kFormats},
    {cmd::ImportStrip, kFormats}, {cmd::ImportPsd, kFormats}, {cmd::ImportPng, kFormats},
    {cmd::ImportIcon, kFormats}, {cmd::ImportCursor, kFormats},
    {cmd::ImportAnimatedCursor, kFormats}, {cmd::HtmlCode, kFormats},
    {cmd::InsertFrames, kFlows}, {cmd::MergeWith, kFlows},
    {cmd::Cut, kClipboard}, {cmd::Copy, kClipboard}, {cmd::Paste, kClipboard},
    {cmd::Preferences, kDialogs}, {cmd::FrameProperties, kDialogs},
    {cmd::GlobalFrameProperties, kDialogs}, {cmd::AnimationProperties, kDialogs},
    {cmd::GifComments, kDialogs}, {cmd::ReduceFrameCount, kDialogs},
    {cmd::EditLocalPalette, kColour}, {cmd::EditGlobalPalette, kColour},
    {cmd::ReduceColours, kColour}, {cmd::EditPixels, kColour},
    {cmd::ChooseTransparentColour, kColour}, {cmd::LocalPalettePresent, kColour},
    {cmd::Unoptimize, kOptimizer}, {cmd::Optimize, kOptimizer},
    {cmd::MoveCrop, kGeometry}, {cmd::ResizeFrames, kGeometry}, {cmd::ResizeAnimation, kGeometry},
    {cmd::CropAnimation, kGeometry},
    {cmd::FrameRotate90Cw, kGeometry}, {cmd::FrameRotate180, kGeometry},
    {cmd::FrameRotate90Ccw, kGeometry}, {cmd::FrameFlipHorizontal, kGeometry},
    {cmd::FrameFlipVertical, kGeometry}, {cmd::AnimationRotate90Cw, kGeometry},
    {cmd::AnimationRotate180, kGeometry}, {cmd::AnimationRotate90Ccw, kGeometry},
    {cmd::AnimationFlipHorizontal, kGeometry}, {cmd::AnimationFlipVertical, kGeometry},
    {cmd::LiveEditFrame, kLiveEdit}, {cmd::LiveEditAnimation, kLiveEdit},
    {cmd::Preview, kPreview}, {cmd::StopPreview, kPreview}, {cmd::PreviewSelected, kPreview},
    {cmd::Duration, kPreview},
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("Loopwright");
  setWindowIcon(ProgramIcon());
  setAcceptDrops(true);
  BuildActions();
  BuildToolBar();
  properties_ = new PropertiesBar(this);
  addToolBarBreak();
  addToolBar(Qt::TopToolBarArea, properties_);
  properties_->setVisible(!(GetPref(PrefFlags) & HidePropertiesBar));
  strip_ = new FrameStrip(this);
  setCentralWidget(strip_);
  BuildStatusBar();
  BuildMenus();

  connect(properties_, &PropertiesBar::commandTriggered, this, &MainWindow::Command);
  connect(properties_, &PropertiesBar::delayEdited, this, &MainWindow::ApplyDelayText);
  connect(properties_, &PropertiesBar::loopEdited, this, &MainWindow::ApplyLoopText);
  connect(properties_, &PropertiesBar::frameChosen, this, [this](int entry) {
    if (!document_ || entry < 1 || entry > document_->frameCount) return;
    SelectFrame(entry - 1, selmode::Only);
    strip_->EnsureVisible(currentFrame_);
  });
  connect(strip_, &FrameStrip::selectRequested, this, &MainWindow::SelectFrame);
  connect(strip_, &FrameStrip::commandRequested, this, &MainWindow::Command);
  connect(strip_, &FrameStrip::moveRequested, this, &MainWindow::MoveFrames);
  connect(strip_, &FrameStrip::contextMenuRequested, this, &MainWindow::ShowFrameMenu);
  connect(strip_, &FrameStrip::filesDropped, this,
          [this](const QStringList& paths, int index) { DropFiles(paths, index, true); });

  uint32_t tips = GetPref(PrefFrameTips);
  strip_->SetTipsEnabled(tips & tipbits::On);
  strip_->SetTipBits(tips);
  strip_->SetTransparencyDisplay(GetPref(PrefTransparencyDisplay));
  SetButtonFaceColour(ColourFromPixel(QApplication::palette().color(QPalette::Button).rgb()));

  SetUndoListener([this] { UpdateCommandStates(); });
  SetRecentFilesListener([this] { RebuildRecentFiles(); });
  ClearHistory();
  SetDocumentTitle("");
  SetModified(false);
  RefreshStatus();
  statusBar()->showMessage(QString::fromUtf8(StatusReady));
  UpdateCommandStates();
  RestorePlacement();
  RecentFilesPrune();
  RebuildRecentFiles();
}

MainWindow::~MainWindow() {
  StopTasks(task::SizeEstimate | task::ColourCount);
  SetUndoListener({});
  SetRecentFilesListener({});
  strip_->SetAnimation(nullptr);
  ClearHistory();
}

QAction* MainWindow::MakeAction(int command, const QString& label) {
  auto* action = new QAction(label, this);
  action->setData(command);
  action->setObjectName(QString::number(command));
  action->setIcon(CommandIcon(command));
  action->setToolTip(TooltipOf(command));
  connect(action, &QAction::triggered, this, [this, command] { Command(command); });
  actions_[command] = action;
  return action;
}

void MainWindow::MarkPending(int command, const QString& hint) {
  pending_[command] = hint;
  if (QAction* a = Action(command)) {
    a->setStatusTip(hint);
    a->setToolTip(TooltipOf(command) + QStringLiteral(" — ") + hint);
  }
  if (QAction* a = properties_ ? properties_->Action(command) : nullptr) {
    a->setStatusTip(hint);
    a->setToolTip(TooltipOf(command) + QStringLiteral(" — ") + hint);
  }
}

void MainWindow::BuildActions() {
  for (const CommandLabel& l : kLabels) {
    // The properties toolbar keeps its own buttons for these.
    if (l.command >= cmd::ToggleTransparency && l.command <= cmd::DisposalRestorePrevious) continue;
    if (l.command == cmd::Has24BitData) continue;
    MakeAction(l.command, QString::fromUtf8(l.label));
  }
  for (int level = 0; level < 8; ++level) {
    QAction* a = MakeAction(cmd::ZoomLevelFirst + level, QStringLiteral("%1 %").arg(kZoomPercent[level]));
    a->setCheckable(true);
  }
  for (int i = 0; i < ModemSpeedCount; ++i) {
    QAction* a = MakeAction(cmd::DownloadTimeFirst + i, QString::fromUtf8(ModemLabel(i)));
    a->setCheckable(true);
  }
  for (int c : {cmd::Preview, cmd::FrameTips, cmd::ShowPropertiesBar, cmd::OrientationAuto,
                cmd::OrientationHorizontal, cmd::OrientationVertical, cmd::TransparencyAsWindow,
                cmd::TransparencyAsFrameColour, cmd::TransparencyAsCustom})
    Action(c)->setCheckable(true);

  // Keys: every binding of the table; Ctrl+Y also redoes, as the menu text says.
  std::map<int, QList<QKeySequence>> keys;
  for (const Accelerator& a : kAccelerators) {
    QString text;
    if (a.modifiers & keymod::Ctrl) text += "Ctrl+";
    if (a.modifiers & keymod::Shift) text += "Shift+";
    text += QString::fromLatin1(a.key);
    keys[a.command].append(QKeySequence(text));
  }
  keys[cmd::Redo].append(QKeySequence("Ctrl+Y"));
  for (auto& [command, list] : keys) {
    if (QAction* a = Action(command)) {
      a->setShortcuts(list);
      a->setShortcutContext(Qt::WindowShortcut);
      addAction(a);
    }
  }
}

QMenu* MainWindow::AddMenu(QMenu* parent, const QString& title, std::initializer_list<int> commands) {
  QMenu* menu = parent ? parent->addMenu(title) : menuBar()->addMenu(title);
  for (int c : commands) {
    if (c == 0) {
      menu->addSeparator();
    } else {
      menu->addAction(Action(c));
    }
  }
  connect(menu, &QMenu::aboutToShow, this, &MainWindow::UpdateCommandStates);
  return menu;
}

void MainWindow::BuildMenus() {
  fileMenu_ = AddMenu(nullptr, "&Fichier", {cmd::FileOpen});
  AddMenu(fileMenu_, "I&mporter de",
          {cmd::ImportAvi, cmd::ImportBmp, cmd::ImportJpeg, cmd::ImportStrip, cmd::ImportPsd,
           cmd::ImportPng, cmd::ImportIcon, cmd::ImportCursor, cmd::ImportAnimatedCursor});
  for (int c : {cmd::InsertFrames, cmd::MergeWith, 0, cmd::FileSave, cmd::FileSaveAs, cmd::SaveGifAs,
                cmd::RevertToSaved, 0, cmd::NewAnimation, cmd::HtmlCode, 0})
    c ? (void)fileMenu_->addAction(Action(c)) : (void)fileMenu_->addSeparator();
  recentSeparator_ = fileMenu_->addSeparator();
  quitAction_ = Action(cmd::Exit);
  fileMenu_->addAction(quitAction_);

  AddMenu(nullptr, "&Edition",
          {cmd::Undo, cmd::Redo, 0, cmd::Cut, cmd::Copy, cmd::Paste, cmd::Delete, 0, cmd::SelectAll,
           cmd::InvertSelection, 0, cmd::Preferences});

  QMenu* frame = AddMenu(nullptr, "&Cadre",
                         {cmd::FrameProperties, cmd::GlobalFrameProperties, cmd::EditLocalPalette, 0,
                          cmd::MoveCrop, cmd::ResizeFrames});
  QMenu* rotate = AddMenu(frame, "Pi&voter",
                          {cmd::FrameRotate90Cw, cmd::FrameRotate180, cmd::FrameRotate90Ccw, 0,
                           cmd::FrameFlipHorizontal, cmd::FrameFlipVertical});
  rotate->setObjectName("framerotate");
  frame->addSeparator();
  frame->addAction(Action(cmd::EditPixels));
  frame->addAction(Action(cmd::LiveEditFrame));

  QMenu* animation = AddMenu(nullptr, "&Animation",
                             {cmd::AnimationProperties, cmd::EditGlobalPalette, cmd::ResizeAnimation});
  AddMenu(animation, "Pivoter",
          {cmd::AnimationRotate90Cw, cmd::AnimationRotate180, cmd::AnimationRotate90Ccw, 0,
           cmd::AnimationFlipHorizontal, cmd::AnimationFlipVertical});
  for (int c : {cmd::LiveEditAnimation, 0, cmd::Duration, cmd::ReduceColours, cmd::Optimize,
                cmd::Unoptimize})
    c ? (void)animation->addAction(Action(c)) : (void)animation->addSeparator();
  AddMenu(animation, "Réorganiser les &cadres", {cmd::ReduceFrameCount, cmd::ReverseOrder, cmd::PingPong});
  animation->addAction(Action(cmd::CropAnimation));
  animation->addAction(Action(cmd::GifComments));

  QMenu* view = AddMenu(nullptr, "Affic&hage",
                        {cmd::Preview, cmd::PreviewSelected, 0, cmd::ShowPropertiesBar, cmd::FrameTips, 0,
                         cmd::ZoomIn, cmd::ZoomOut, cmd::ActualSize});
  AddMenu(view, "&Zoom",
          {cmd::ZoomLevelFirst, cmd::ZoomLevelFirst + 1, cmd::ZoomLevelFirst + 2, cmd::ZoomLevelFirst + 3,
           cmd::ZoomLevelFirst + 4, cmd::ZoomLevelFirst + 5, cmd::ZoomLevelFirst + 6,
           cmd::ZoomLevelFirst + 7});
  AddMenu(view, "&Orientation", {cmd::OrientationAuto, cmd::OrientationHorizontal, cmd::OrientationVertical});
  AddMenu(view, "&Transparence comme",
          {cmd::TransparencyAsWindow, cmd::TransparencyAsFrameColour, cmd::TransparencyAsCustom});
  downloadMenu_ = AddMenu(view, "T&emps de téléchargement", {});
  for (int i = 0; i < ModemSpeedCount; ++i) downloadMenu_->addAction(Action(cmd::DownloadTimeFirst + i));
  connect(downloadMenu_, &QMenu::aboutToShow, this, &MainWindow::RefreshDownloadMenu);

  AddMenu(nullptr, "A&ide", {cmd::HelpContents, cmd::Tutorial, 0, cmd::About});

  for (const PendingCommand& p : kPending) MarkPending(p.command, QString::fromUtf8(p.hint));
  // A hovered entry, even a greyed one, says what it does or why it waits.
  for (QMenu* menu : findChildren<QMenu*>()) {
    connect(menu, &QMenu::hovered, this, [this](QAction* action) {
      QString hint = PendingHint(action->data().toInt());
      if (!hint.isEmpty()) statusBar()->showMessage(hint, 4000);
    });
  }
}

void MainWindow::BuildToolBar() {
  toolbar_ = addToolBar(QStringLiteral("Outils"));
  toolbar_->setObjectName("main");
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(QSize(24, 24));
  const int order[] = {cmd::FileOpen, cmd::InsertFrames, cmd::FileSave, cmd::NewAnimation, 0,
                       cmd::Cut, cmd::Copy, cmd::Paste, cmd::Delete, 0,
                       cmd::Undo, cmd::Redo, 0,
                       cmd::Preview, cmd::StopPreview, 0,
                       cmd::Duration, cmd::Optimize, cmd::ReduceColours, 0,
                       cmd::ZoomIn, cmd::ZoomOut, cmd::ActualSize, 0,
                       cmd::FrameTips, 0,
                       cmd::HelpContents, 0};
  for (int c : order) {
    if (c) {
      toolbar_->addAction(Action(c));
    } else {
      toolbar_->addSeparator();
    }
  }
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
    if (text.isEmpty() && !document_) statusBar()->showMessage(QString::fromUtf8(StatusReady));
  });
}

QAction* MainWindow::Action(int command) const {
  auto it = actions_.find(command);
  if (it != actions_.end()) return it->second;
  return properties_ ? properties_->Action(command) : nullptr;
}

QString MainWindow::PendingHint(int command) const {
  auto it = pending_.find(command);
  return it == pending_.end() ? QString() : it->second;
}

QString MainWindow::StatusPart(int part) const {
  return part >= 0 && part < 5 ? statusParts_[part]->text() : QString();
}

QString MainWindow::StatusMessage() const { return statusBar()->currentMessage(); }

// ---------------------------------------------------------------------------------------------
// Enabling rules

void MainWindow::UpdateCommandStates() {
  bool doc = document_ != nullptr;
  int count = doc ? document_->frameCount : 0;
  bool frames = count > 0;
  bool current = currentFrame_ >= 0;
  bool two = count >= 2;
  int zoom = strip_->ZoomLevel();
  auto set = [this](int command, bool on) {
    QAction* a = Action(command);
    if (a) a->setEnabled(on && !pending_.count(command));
  };
  for (int c : {cmd::FileOpen, cmd::InsertFrames, cmd::Exit, cmd::Preferences, cmd::HelpContents,
                cmd::Tutorial, cmd::About, cmd::ShowPropertiesBar, cmd::FrameTips, cmd::OrientationAuto,
                cmd::OrientationHorizontal, cmd::OrientationVertical, cmd::TransparencyAsWindow,
                cmd::TransparencyAsFrameColour, cmd::TransparencyAsCustom, cmd::ImportAvi, cmd::ImportBmp,
                cmd::ImportJpeg, cmd::ImportStrip, cmd::ImportPsd, cmd::ImportPng, cmd::ImportIcon,
                cmd::ImportCursor, cmd::ImportAnimatedCursor})
    set(c, true);
  for (int i = 0; i < 8; ++i) set(cmd::ZoomLevelFirst + i, true);
  for (int i = 0; i < ModemSpeedCount; ++i) set(cmd::DownloadTimeFirst + i, true);
  set(cmd::FileSave, modified_ && doc);
  set(cmd::RevertToSaved, modified_ && doc && !documentPath_.empty());
  for (int c : {cmd::FileSaveAs, cmd::NewAnimation, cmd::Optimize, cmd::Unoptimize, cmd::HtmlCode,
                cmd::SelectAll, cmd::InvertSelection, cmd::AnimationProperties, cmd::GifComments,
                cmd::ResizeAnimation, cmd::CropAnimation, cmd::AnimationRotate90Cw, cmd::AnimationRotate180,
                cmd::AnimationRotate90Ccw, cmd::AnimationFlipHorizontal, cmd::AnimationFlipVertical})
    set(c, doc);
  set(cmd::LiveEditAnimation, doc && (GetPref(PrefFlags2) & 0x08));
  for (int c : {cmd::Preview, cmd::Duration, cmd::SaveGifAs, cmd::MergeWith, cmd::ReduceColours,
                cmd::GlobalFrameProperties})
    set(c, frames);
  for (int c : {cmd::Cut, cmd::Copy, cmd::Delete, cmd::FrameProperties, cmd::EditPixels, cmd::MoveCrop,
                cmd::ResizeFrames, cmd::FrameRotate90Cw, cmd::FrameRotate180, cmd::FrameRotate90Ccw,
                cmd::FrameFlipHorizontal, cmd::FrameFlipVertical, cmd::LiveEditFrame, cmd::PreviewSelected})
    set(c, current);
  for (int c : {cmd::ReverseOrder, cmd::ReduceFrameCount, cmd::PingPong}) set(c, two);
  set(cmd::StopPreview, false);
  Frame* frame = doc ? FrameAt(*document_, currentFrame_) : nullptr;
  set(cmd::EditLocalPalette, frame && frame->localPalette);
  set(cmd::EditGlobalPalette, doc && document_->globalPalette);
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  set(cmd::Paste, clip && (clip->hasImage() || clip->hasFormat("application/x-loopwright-frame-v2")));
  set(cmd::ZoomIn, doc && zoom != 3);
  set(cmd::ZoomOut, doc && zoom != -4);
  set(cmd::ActualSize, doc && zoom != 0);

  UndoMenuState undo = UpdateUndoMenu();
  Action(cmd::Undo)->setText(Q(undo.undoText));
  Action(cmd::Redo)->setText(Q(undo.redoText));
  set(cmd::Undo, doc && undo.undoEnabled);
  set(cmd::Redo, doc && undo.redoEnabled);

  // Checked states.
  Action(cmd::ShowPropertiesBar)->setChecked(!(GetPref(PrefFlags) & HidePropertiesBar));
  Action(cmd::FrameTips)->setChecked(GetPref(PrefFrameTips) & tipbits::On);
  for (int i = 0; i < 8; ++i) Action(cmd::ZoomLevelFirst + i)->setChecked(i - 4 == zoom);
  int orientation = strip_->Orientation();
  Action(cmd::OrientationAuto)->setChecked(orientation == orient::Automatic);
  Action(cmd::OrientationHorizontal)->setChecked(orientation == orient::Horizontal);
  Action(cmd::OrientationVertical)->setChecked(orientation == orient::Vertical);
  uint32_t mode = GetPref(PrefTransparencyDisplay) >> 24;
  Action(cmd::TransparencyAsWindow)->setChecked(mode == 0);
  Action(cmd::TransparencyAsFrameColour)->setChecked(mode == 1);
  Action(cmd::TransparencyAsCustom)->setChecked(mode == 2);
  for (int i = 0; i < ModemSpeedCount; ++i)
    Action(cmd::DownloadTimeFirst + i)->setChecked(static_cast<uint32_t>(i) == GetPref(PrefModemSpeed));

  // The toolbar's own rules: the properties bar's pending buttons stay greyed.
  for (const auto& [command, hint] : pending_)
    if (QAction* a = properties_->Action(command)) a->setEnabled(false);
}

void MainWindow::RefreshDownloadMenu() {
  int64_t size = -1;
  if (document_) {
    if (TaskRunning(task::SizeEstimate)) {
      size = lastSize_;
    } else {
      size = EstimateEncodedSize(*document_, false, nullptr);
      lastSize_ = size;
    }
  }
  for (int i = 0; i < ModemSpeedCount; ++i)
    Action(cmd::DownloadTimeFirst + i)->setText(Q(DownloadMenuText(i, size)));
}

// ---------------------------------------------------------------------------------------------
// Shell operations

void MainWindow::SetModified(bool modified) {
  modified_ = modified;
  UpdateCommandStates();
}

void MainWindow::SetDocumentTitle(const std::string& path) {
  documentPath_ = path;
  setWindowTitle(Q(DocumentTitle(path)));
  if (!path.empty()) RecentFileAdd(path);
}

void MainWindow::SetDocument(AnimationPtr animation) {
  StopTasks(task::SizeEstimate | task::ColourCount);
  strip_->SetAnimation(nullptr);
  document_ = std::move(animation);
  if (document_) {
    RecountSelection(*document_);
    for (Frame* f = FirstFrame(*document_); f; f = NextFrame(f)) SetTransparentDisplayColour(f, true);
  }
  uint32_t stored = GetPref(PrefFlags) & StripOrientation;
  strip_->SetOrientation(stored == 0x20 ? orient::Horizontal : stored == 0x10 ? orient::Vertical : orient::Automatic);
  strip_->SetZoom(0);
  strip_->SetAnimation(document_.get());
  statusBar()->clearMessage();
  properties_->RefreshAnimationControls(document_.get());
  RefreshStatus();
  if (document_) {
    StartSizeEstimate(false);
    StartColourUsage();
  } else {
    statusBar()->showMessage(QString::fromUtf8(StatusReady));
  }
  SetCurrentFrame(document_ ? document_->anchorIndex : -1);
}

void MainWindow::SetCurrentFrame(int index) {
  if (!document_ || !FrameAt(*document_, index)) index = -1;
  currentFrame_ = index;
  strip_->SetCurrentFrame(index);
  properties_->RefreshFrameControls(document_.get(), index, durationsEdited_);
  RefreshStatus();
  UpdateCommandStates();
}

void MainWindow::SelectFrame(int index, int mode) {
  if (!document_) return;
  int current = lw::SelectFrame(*document_, index, mode);
  strip_->RedrawAll();
  SetCurrentFrame(current);
}

void MainWindow::RefreshStatus() {
  if (!document_) {
    for (QLabel* part : statusParts_) part->clear();
    return;
  }
  int count = document_->frameCount;
  int current = document_->selectedCount > 1 ? -2 : currentFrame_;
  statusParts_[0]->setText(Q(StatusFrameText(current, count)));
  statusParts_[1]->setText(Q(StatusScreenSizeText(document_->screenWidth, document_->screenHeight)));
  RefreshDuration();
  statusParts_[4]->setText(Q(StatusZoomText(strip_->ZoomPercent())));
}

void MainWindow::RefreshDuration() {
  if (!document_) return;
  statusParts_[2]->setText(Q(StatusDurationText(TotalDuration(*document_), GetPref(PrefDelayUnits))));
}

void MainWindow::ShowFileSize(int64_t size) {
  lastSize_ = size;
  statusParts_[3]->setText(size < 0 ? QString::fromUtf8(StatusSizeComputing)
                                    : Q(StatusFileSizeText(static_cast<uint64_t>(size),
                                                           static_cast<int>(GetPref(PrefModemSpeed)))));
}

void MainWindow::StopBackgroundWork() { StopTasks(task::SizeEstimate | task::ColourCount); }

void MainWindow::StartSizeEstimate(bool invalidate) {
  if (!document_) return;
  StopTasks(task::SizeEstimate);
  ShowFileSize(-1);
  if (invalidate) document_->encodedSizeCache = -1;
  Animation* animation = document_.get();
  uint64_t generation = ++estimateGeneration_;
  auto result = std::make_shared<int64_t>(-1);
  QPointer<MainWindow> self(this);
  StartBackgroundTask(
      task::SizeEstimate,
      [animation, result](ProgressMeter* meter) { *result = EstimateEncodedSize(*animation, false, meter); },
      [self, generation, result](bool stopped) {
        if (stopped || *result < 0) return;
        int64_t size = *result;
        QMetaObject::invokeMethod(
            qApp,
            [self, generation, size] {
              if (self && self->estimateGeneration_ == generation && self->document_) self->ShowFileSize(size);
            },
            Qt::QueuedConnection);
      });
}

void MainWindow::StartColourUsage() {
  if (!document_) return;
  Animation* animation = document_.get();
  StartBackgroundTask(task::ColourCount, [animation](ProgressMeter*) {
    CountColourUsage(*animation, animation->colourUsage.data(), true);
  });
}

int MainWindow::PromptSave() {
  std::string text = documentPath_.empty()
                         ? ResText(40249)
                         : [&] {
                             std::string format = ResText(40250);
                             size_t at = format.find("%s");
                             if (at != std::string::npos) format.replace(at, 2, documentPath_);
                             return format;
                           }();
  int answer = Services().MessageBox(this, text, "Loopwright", mb::YesNoCancel | mb::IconExclamation);
  if (answer == answer::Yes && !SaveDocument()) answer = answer::Cancel;
  return answer;
}

bool MainWindow::CloseDocument() {
  if (document_ && modified_ && PromptSave() == answer::Cancel) return false;
  StopTasks(task::SizeEstimate | task::ColourCount);
  ClearHistory();
  SetDocument(nullptr);
  SetCurrentFrame(-1);
  SetModified(false);
  SetDocumentTitle("");
  strip_->ResetScroll(true);
  return true;
}

int MainWindow::OpenDocument(const std::string& given) {
  if (!CloseDocument()) return 0;
  std::string path = given;
  if (path.empty()) {
    std::string folder;
    GetInitDir(&folder);
    QString chosen = QFileDialog::getOpenFileName(
        this, Q(ResText(40230)), Q(folder),
        QStringLiteral("Fichiers GIF (*.gif);;Tous les fichiers (*.*)"));
    if (chosen.isEmpty()) return 0;
    path = S(chosen);
    SetInitDirFromFile(path);
  }
  GifSource source;
  if (!source.Open(path)) {
    ShowErrorId(40236, path.c_str());
    SetDocumentTitle("");
    return 0;
  }
  if (!IsGifFile(source)) {
    ShowErrorId(40237, BaseName(path).c_str());
    SetDocumentTitle("");
    return 0;
  }
  ProgressMeterPtr meter(CreateProgressMeter(this, progress::OwnPopup, 0));
  ProgressSetText(meter.get(), LoadResText(40187));
  AnimationPtr animation;
  int result = ReadGif(source, meter.get(), &animation);
  meter.reset();
  if (result == GifReadFailed || !animation) {
    SetDocumentTitle("");
    strip_->RedrawAll();
    return 0;
  }
  NameFramesFromFile(*animation, path);
  ApplyAutoTransparency(*animation);
  SingleFrameRestoresBackground(*animation);
  SetDocument(std::move(animation));
  SetDocumentTitle(path);
  SetModified(false);
  strip_->ResetScroll(true);
  if (!(GetPref(PrefFlags) & NoAutoPreview) && document_->frameCount >= 2 && !pending_.count(cmd::Preview))
    QMetaObject::invokeMethod(this, [this] { Command(cmd::Preview); }, Qt::QueuedConnection);
  return 1;
}

bool MainWindow::SaveDocument() {
  if (!document_) return false;
  if (documentPath_.empty()) return SaveDocumentAs("");
  return SaveDocumentAs(documentPath_);
}

bool MainWindow::SaveDocumentAs(const std::string& given) {
  if (!document_) return false;
  std::string path = given;
  if (path.empty()) {
    std::string folder;
    GetInitDir(&folder);
    QString start = Q(documentPath_.empty() ? folder : documentPath_);
    QString chosen = QFileDialog::getSaveFileName(this, Q(ResText(40334)), start,
                                                  QStringLiteral("Animation/image GIF (.gif) (*.gif)"));
    if (chosen.isEmpty()) return false;
    if (!chosen.endsWith(".gif", Qt::CaseInsensitive)) chosen += ".gif";
    path = S(chosen);
    SetInitDirFromFile(path);
  }
  StopBackgroundWork();
  if (!ConfirmCropToScreen(this, *document_)) return false;
  // Written beside the target first, so a failed write never damages the old file.
  std::string folder = DirectoryPart(path);
  std::string temp = CreateTempFile(folder.empty() ? "." : folder, ".loopwright-");
  if (temp.empty()) {
    ShowErrorId(40239, path.c_str());
    return false;
  }
  bool written = SaveGifToFile(temp, *document_, this);
  if (!written || !RenameFile(temp, path)) {
    DeleteFile(temp);
    if (written) ShowErrorId(40241, path.c_str());
    return false;
  }
  ClearHistory();
  SetDocumentTitle(path);
  SetModified(false);
  strip_->RedrawAll();
  StartSizeEstimate(false);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Commands

void MainWindow::Command(int command) {
  if (pending_.count(command)) {
    statusBar()->showMessage(PendingHint(command), 4000);
    return;
  }
  if (command >= cmd::RecentFileFirst && command <= cmd::RecentFileLast) {
    std::string path;
    if (RecentFileGet(command - cmd::RecentFileFirst + 1, &path) && OpenDocument(path) == 0)
      RecentFileRemove(path);
    return;
  }
  if (command >= cmd::ZoomLevelFirst && command <= cmd::ZoomLevelLast) {
    SetZoom(command - cmd::ZoomLevelFirst - 4);
    return;
  }
  if (command >= cmd::DownloadTimeFirst && command <= cmd::DownloadTimeLast) {
    SetModemSpeed(command - cmd::DownloadTimeFirst);
    return;
  }
  switch (command) {
    case cmd::FileOpen: OpenDocument(""); break;
    case cmd::FileSave: SaveDocument(); break;
    case cmd::FileSaveAs:
    case cmd::SaveGifAs: SaveDocumentAs(""); break;
    case cmd::RevertToSaved: Revert(); break;
    case cmd::NewAnimation: CloseDocument(); break;
    case cmd::Exit: close(); break;
    case cmd::Undo: UndoOrRedo(false); break;
    case cmd::Redo: UndoOrRedo(true); break;
    case cmd::Delete: DeleteFrames(); break;
    case cmd::SelectAll:
      if (document_ && document_->frameCount > 0) {
        SelectFrame(0, selmode::Only);
        SelectFrame(document_->frameCount - 1, selmode::Extend);
      }
      break;
    case cmd::InvertSelection:
      if (document_) {
        for (int i = 0; i < document_->frameCount; ++i) lw::SelectFrame(*document_, i, selmode::Toggle);
        Frame* first = FirstSelectedFrame(*document_);
        strip_->RedrawAll();
        SetCurrentFrame(first ? FrameIndex(*document_, first) : -1);
      }
      break;
    case cmd::ReverseOrder: ReverseOrder(); break;
    case cmd::PingPong: PingPong(); break;
    case cmd::ShowPropertiesBar: {
      bool hide = !(GetPref(PrefFlags) & HidePropertiesBar);
      SetPrefBits(PrefFlags, HidePropertiesBar, hide);
      properties_->setVisible(!hide);
      UpdateCommandStates();
      break;
    }
    case cmd::FrameTips: {
      bool on = !(GetPref(PrefFrameTips) & tipbits::On);
      SetPrefBits(PrefFrameTips, tipbits::On, on);
      strip_->SetTipsEnabled(on);
      strip_->SetTipBits(GetPref(PrefFrameTips));
      UpdateCommandStates();
      break;
    }
    case cmd::ZoomIn: SetZoom(strip_->ZoomLevel() + 1); break;
    case cmd::ZoomOut: SetZoom(strip_->ZoomLevel() - 1); break;
    case cmd::ActualSize: SetZoom(0); break;
    case cmd::OrientationAuto: SetOrientation(orient::Automatic); break;
    case cmd::OrientationHorizontal: SetOrientation(orient::Horizontal); break;
    case cmd::OrientationVertical: SetOrientation(orient::Vertical); break;
    case cmd::TransparencyAsWindow:
    case cmd::TransparencyAsFrameColour:
    case cmd::TransparencyAsCustom: SetTransparencyMode(command); break;
    case cmd::HelpContents:
      ShowInShare("/aide/loopwright.html", 0);
      break;
    case cmd::Tutorial:
      ShowInShare("/tutoriel/tutoriel.html", 1);
      break;
    case cmd::About: About(); break;
    case cmd::DisposalLeave: SetDisposal(1); break;
    case cmd::DisposalRestoreBackground: SetDisposal(2); break;
    case cmd::DisposalRestorePrevious: SetDisposal(3); break;
    case cmd::ToggleTransparency: ToggleTransparency(); break;
    case cmd::Has24BitData: ToggleTrueColour(); break;
    default: break;
  }
}

void MainWindow::AfterFramesChanged(int current) {
  SetModified(true);
  strip_->Relayout(true);
  properties_->RebuildFrameList(document_.get());
  properties_->RefreshPaletteButtons(document_.get());
  SetCurrentFrame(current);
  StartSizeEstimate(true);
  StartColourUsage();
}

void MainWindow::DeleteFrames() {
  if (!document_ || currentFrame_ < 0) {
    QApplication::beep();
    return;
  }
  StopBackgroundWork();
  int current = DeleteSelectedFrames(*document_);
  if (current == -2) return;
  AfterFramesChanged(current);
}

void MainWindow::MoveFrames(int position) {
  if (!document_ || currentFrame_ < 0) return;
  StopBackgroundWork();
  int moved = document_->selectedCount > 1 ? MoveSelectedFramesTo(*document_, position)
                                           : MoveFrameTo(*document_, currentFrame_, position);
  if (moved < 0) return;
  SetCurrentFrame(moved);
  SetModified(true);
  strip_->RedrawAll();
  properties_->RebuildFrameList(document_.get());
  properties_->RefreshFrameControls(document_.get(), currentFrame_, durationsEdited_);
}

void MainWindow::UndoOrRedo(bool redo) {
  if (!document_) return;
  StopBackgroundWork();
  uint32_t hints = redo ? Redo(*document_) : Undo(*document_);
  if (hints == 0) return;
  SetModified(true);
  ApplyRefreshHints(hints);
}

void MainWindow::ApplyRefreshHints(uint32_t hints) {
  if (hints == refresh::StripOnly) {
    strip_->RedrawAll();
    return;
  }
  if (hints & refresh::Document) {
    if (hints & refresh::ScreenSize) strip_->RelayoutIfResized();
    int current = currentFrame_;
    if (hints & refresh::FrameCount) {
      RecountSelection(*document_);
      if (!FirstSelectedFrame(*document_) || current >= document_->frameCount) current = -1;
      strip_->Relayout(true);
    } else {
      RecountSelection(*document_);
      strip_->RedrawAll();
    }
    if (hints & refresh::Names) properties_->RebuildFrameList(document_.get());
    else properties_->RebuildFrameList(document_.get());
    if (current >= 0) {
      Frame* f = FrameAt(*document_, current);
      if (!f || !f->selected) {
        Frame* first = FirstSelectedFrame(*document_);
        current = first ? FrameIndex(*document_, first) : -1;
      }
    }
    properties_->RefreshAnimationControls(document_.get());
    SetCurrentFrame(current);
    properties_->RefreshPaletteButtons(document_.get());
    StartSizeEstimate(hints & refresh::Encoding);
  } else {
    if (hints & refresh::OneFrame) {
      int index = static_cast<int>(refresh::FrameIndexOf(hints));
      strip_->RedrawFrame(index);
      if (hints & refresh::Encoding) StartSizeEstimate(true);
      if ((hints & refresh::PropertiesFrame) && index == currentFrame_) SetCurrentFrame(currentFrame_);
    } else if (hints & refresh::PropertiesFrame) {
      SetCurrentFrame(currentFrame_);
    }
    RefreshDuration();
  }
  if (hints & refresh::Encoding) StartColourUsage();
}

void MainWindow::ApplyDelayText(const QString& text) {
  if (properties_->Updating() || !document_ || currentFrame_ < 0) return;
  EditValue value = CheckDelayText(S(text));
  if (value.check == EditCheck::Empty) return;
  if (value.check == EditCheck::OutOfRange) {
    Services().MessageBox(this, DelayRangeText, DelayRangeTitle, mb::Ok | mb::IconExclamation);
    properties_->DelayEdit()->setText(QString::number(value.value));  // applied as if typed
    return;
  }
  bool changed = false;
  for (Frame* f = FirstSelectedFrame(*document_); f; f = NextSelectedFrame(f)) {
    changed = changed || f->delay != value.value;
    f->delay = value.value;
  }
  RefreshDuration();
  if (changed) SetModified(true);
}

void MainWindow::ApplyLoopText(const QString& text) {
  if (properties_->Updating() || !document_) return;
  EditValue value = CheckLoopText(S(text));
  if (value.check == EditCheck::Empty) return;
  if (value.check == EditCheck::OutOfRange) {
    Services().MessageBox(this, LoopRangeText, LoopRangeTitle, mb::Ok | mb::IconExclamation);
    properties_->LoopEdit()->setText(QString::number(value.value));
    return;
  }
  if (document_->playCount != value.value) {
    document_->playCount = value.value;
    SetModified(true);
  }
}

void MainWindow::SetDisposal(int disposal) {
  Frame* frame = document_ ? FrameAt(*document_, currentFrame_) : nullptr;
  if (!frame) return;
  lw::SetDisposal(frame, disposal);
  SetModified(true);
  properties_->RefreshFrameControls(document_.get(), currentFrame_, durationsEdited_);
}

void MainWindow::ToggleTransparency() {
  Frame* frame = document_ ? FrameAt(*document_, currentFrame_) : nullptr;
  if (!frame) return;
  StopBackgroundWork();
  // Until the colour chooser comes, switching on takes the frame's stored transparent index.
  bool on = !frame->Transparent();
  uint32_t index = static_cast<uint32_t>(currentFrame_);
  RecordUndo(undo::EditTransparency, *document_, nullptr, nullptr, (index << 16) | (on ? 1u : 0u));
  SetTransparency(frame, on);
  SetModified(true);
  strip_->RedrawFrame(currentFrame_);
  properties_->RefreshFrameControls(document_.get(), currentFrame_, durationsEdited_);
  StartSizeEstimate(true);
}

void MainWindow::ToggleTrueColour() {
  Frame* frame = document_ ? FrameAt(*document_, currentFrame_) : nullptr;
  if (!frame) return;
  StopBackgroundWork();
  uint32_t index = static_cast<uint32_t>(currentFrame_);
  if (!frame->rgbPlane.empty()) {
    RecordUndo(undo::DropTrueColour, *document_, nullptr, nullptr, index);
    FreeRgbPlane(frame);
  } else {
    UndoRecord* record = RecordUndo(undo::AddTrueColour, *document_, nullptr, nullptr, index);
    if (!AddRgbPlane(frame)) {
      if (record) DiscardRecord(record);
      properties_->RefreshFrameControls(document_.get(), currentFrame_, durationsEdited_);
      return;
    }
  }
  strip_->RedrawFrame(currentFrame_);
  SetModified(true);
  properties_->RefreshFrameControls(document_.get(), currentFrame_, durationsEdited_);
}

void MainWindow::ReverseOrder() {
  if (!document_ || document_->frameCount < 2) return;
  StopBackgroundWork();
  RecordUndo(undo::ReverseAnimation, *document_, nullptr, nullptr, 0);
  ReverseBlocks(*document_);
  RecountSelection(*document_);
  Frame* first = FirstSelectedFrame(*document_);
  AfterFramesChanged(first ? FrameIndex(*document_, first) : -1);
}

void MainWindow::PingPong() {
  if (!document_ || document_->frameCount < 2) return;
  StopBackgroundWork();
  UndoRecord* record = RecordUndo(undo::PingPong, *document_, nullptr, nullptr, 0);
  if (!AppendPingPong(*document_)) {
    if (record) DiscardRecord(record);
    return;
  }
  AfterFramesChanged(currentFrame_);
}

void MainWindow::Revert() {
  if (!modified_ || documentPath_.empty()) return;
  int answer = Services().MessageBox(this, ResText(40232), ResText(40233), mb::OkCancel | mb::IconExclamation);
  if (answer != answer::Ok) return;
  std::string path = documentPath_;
  SetModified(false);
  OpenDocument(path);
}

void MainWindow::SetZoom(int level) {
  strip_->SetZoom(level);
  RefreshStatus();
  UpdateCommandStates();
}

void MainWindow::SetOrientation(int value) {
  strip_->SetOrientation(value);
  uint32_t stored = value == orient::Horizontal ? 0x20 : value == orient::Vertical ? 0x10 : 0;
  SetPref(PrefFlags, (GetPref(PrefFlags) & ~StripOrientation) | stored);
  UpdateCommandStates();
}

void MainWindow::SetTransparencyMode(int command) {
  uint32_t old = GetPref(PrefTransparencyDisplay);
  uint32_t value = 0;
  if (command == cmd::TransparencyAsFrameColour) value = 1u << 24;
  if (command == cmd::TransparencyAsCustom) {
    QColor start = QColor::fromRgb(PixelFromColour(old & 0xFFFFFF));
    QColor colour = QColorDialog::getColor(start, this);
    if (!colour.isValid()) return;
    value = (2u << 24) | ColourFromPixel(colour.rgb());
  }
  SetPref(PrefTransparencyDisplay, value);
  strip_->SetTransparencyDisplay(value);
  UpdateCommandStates();
}

void MainWindow::SetModemSpeed(int index) {
  SetPref(PrefModemSpeed, static_cast<uint32_t>(index));
  if (document_) StartSizeEstimate(false);
  UpdateCommandStates();
}

void MainWindow::ShowInShare(const char* relative, int kind) {
  std::string dir;
  bool found = GetProgramDir(&dir) && FileExists(dir + relative);
  if (!found) {
    ShowError("%s", kind == 0
                         ? "Impossible de trouver le fichier d'aide. Veuillez réinstaller Loopwright."
                         : "Impossible de trouver le tutoriel. Reinstaller Loopwright.");
    return;
  }
  if (kind == 1) SetInitDir(dir + "/exemples");
  QDesktopServices::openUrl(QUrl::fromLocalFile(Q(dir + relative)));
}

void MainWindow::ShowFrameMenu(QPoint globalPosition, bool anySelected) {
  QMenu menu(this);
  if (anySelected) {
    for (int c : {cmd::Copy, cmd::Cut, cmd::Delete, cmd::Paste, 0, cmd::FrameProperties, 0})
      c ? (void)menu.addAction(Action(c)) : (void)menu.addSeparator();
    QMenu* rotate = menu.addMenu(QStringLiteral("Pi&voter"));
    for (int c : {cmd::FrameRotate90Cw, cmd::FrameRotate180, cmd::FrameRotate90Ccw, cmd::FrameFlipHorizontal,
                  cmd::FrameFlipVertical})
      rotate->addAction(Action(c));
    for (int c : {cmd::MoveCrop, cmd::ResizeFrames, cmd::EditPixels, cmd::LiveEditFrame})
      menu.addAction(Action(c));
  } else {
    for (int c : {cmd::Paste, 0, cmd::AnimationProperties, cmd::GlobalFrameProperties})
      c ? (void)menu.addAction(Action(c)) : (void)menu.addSeparator();
  }
  UpdateCommandStates();
  menu.exec(globalPosition);
}

void MainWindow::About() {
  QMessageBox box(this);
  box.setWindowTitle(QStringLiteral("À propos de Loopwright"));
  box.setIconPixmap(ProgramIcon().pixmap(64, 64));
  box.setText(QStringLiteral("<b>Loopwright %1</b>").arg(QStringLiteral("4.0")));
  box.setInformativeText(QStringLiteral("Éditeur d’animations GIF.\nRéalisé avec Qt %1.").arg(qVersion()));
  box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.exec();
}

// ---------------------------------------------------------------------------------------------
// Recent files, placement, closing, dropping

void MainWindow::RebuildRecentFiles() {
  for (QAction* a : recentActions_) {
    fileMenu_->removeAction(a);
    actions_.erase(a->data().toInt());
    a->deleteLater();
  }
  recentActions_.clear();
  for (const RecentFileMenuEntry& entry : RecentFilesMenuEntries()) {
    QString label = Q(entry.label);
    auto* action = new QAction(label, this);
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

void MainWindow::RestorePlacement() {
  WindowPlacement placement;
  QRect available = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry()
                                                  : QRect(0, 0, 1024, 768);
  if (LoadWindowPlacement(&placement)) {
    QRect r(QPoint(placement.normalPosition.left, placement.normalPosition.top),
            QPoint(placement.normalPosition.right - 1, placement.normalPosition.bottom - 1));
    if (r.width() >= 200 && r.height() >= 150 && available.intersects(r)) {
      resize(r.size());
      move(r.topLeft());
    } else {
      resize(900, 620);
    }
    if (placement.showCmd == ShowMaximized) setWindowState(windowState() | Qt::WindowMaximized);
  } else {
    resize(std::min(900, available.width()), std::min(620, available.height()));
  }
}

void MainWindow::SavePlacement() {
  WindowPlacement placement;
  QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
  placement.normalPosition = {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
  placement.showCmd = isMaximized() ? ShowMaximized : 1;
  SaveWindowPlacement(placement);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (document_ && modified_ && PromptSave() == answer::Cancel) {
    event->ignore();
    return;
  }
  StopTasks(task::SizeEstimate | task::ColourCount);
  SavePlacement();
  event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  DropFiles(paths, -1, false);
}

void MainWindow::DropFiles(const QStringList& paths, int index, bool onStrip) {
  if (paths.isEmpty()) return;
  if (!onStrip && !CloseDocument()) return;
  // One file on an empty window becomes the document. Inserting into a document needs the
  // insert flow, which the program does not have yet.
  if (!document_ && paths.size() == 1) {
    OpenDocument(S(paths.first()));
    return;
  }
  if (!document_) {
    OpenDocument(S(paths.first()));
    statusBar()->showMessage(QString::fromUtf8(kFlows), 4000);
    return;
  }
  (void)index;
  statusBar()->showMessage(QString::fromUtf8(kFlows), 4000);
}

}  // namespace lw
