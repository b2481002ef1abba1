#include "shell/ui/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
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
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include "core/compose.h"
#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "colour/optimize.h"
#include "formats/flow_text.h"
#include "formats/open_flow.h"
#include "formats/save_flow.h"
#include "platform/files.h"
#include "platform/services.h"
#include "shell/accelerators.h"
#include "shell/command_ids.h"
#include "base/messages.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "shell/status_text.h"
#include "base/strings.h"
#include "shell/ui/frame_edit.h"
#include "shell/ui/frame_strip.h"
#include "shell/ui/icons.h"
#include "shell/ui/preferences_sheet.h"
#include "shell/ui/preference_questions.h"
#include "shell/ui/preview_window.h"
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
constexpr const char kColour[] = "Les outils de couleur arrivent dans une prochaine version.";
constexpr const char kGeometry[] = "Les transformations arrivent dans une prochaine version.";
constexpr const char kLiveEdit[] = "LiveEdit arrive dans une prochaine version.";
constexpr const char kOptimizer[] = "L’optimiseur arrive dans une prochaine version.";
constexpr PendingCommand kPending[] = {
    {cmd::ImportAvi, kFormats}, {cmd::ImportBmp, kFormats}, {cmd::ImportJpeg, kFormats},
    {cmd::ImportStrip, kFormats}, {cmd::ImportPsd, kFormats}, {cmd::ImportPng, kFormats},
    {cmd::ImportIcon, kFormats}, {cmd::ImportCursor, kFormats},
    {cmd::ImportAnimatedCursor, kFormats}, {cmd::HtmlCode, kFormats},
    {cmd::Cut, kClipboard}, {cmd::Copy, kClipboard}, {cmd::Paste, kClipboard},
    {cmd::FrameProperties, kDialogs},
    {cmd::GlobalFrameProperties, kDialogs}, {cmd::AnimationProperties, kDialogs},
    {cmd::GifComments, kDialogs}, {cmd::ReduceFrameCount, kDialogs},
    {cmd::EditLocalPalette, kColour}, {cmd::EditGlobalPalette, kColour},
    {cmd::ReduceColours, kColour}, {cmd::EditPixels, kColour},
    {cmd::ChooseTransparentColour, kColour}, {cmd::LocalPalettePresent, kColour},
    {cmd::Unoptimize, kOptimizer},
    {cmd::MoveCrop, kGeometry}, {cmd::ResizeFrames, kGeometry}, {cmd::ResizeAnimation, kGeometry},
    {cmd::CropAnimation, kGeometry},
    {cmd::FrameRotate90Cw, kGeometry}, {cmd::FrameRotate180, kGeometry},
    {cmd::FrameRotate90Ccw, kGeometry}, {cmd::FrameFlipHorizontal, kGeometry},
    {cmd::FrameFlipVertical, kGeometry}, {cmd::AnimationRotate90Cw, kGeometry},
    {cmd::AnimationRotate180, kGeometry}, {cmd::AnimationRotate90Ccw, kGeometry},
    {cmd::AnimationFlipHorizontal, kGeometry}, {cmd::AnimationFlipVertical, kGeometry},
    {cmd::LiveEditFrame, kLiveEdit}, {cmd::LiveEditAnimation, kLiveEdit},
};

// PrefFlags2: the usage question was answered once.
constexpr uint32_t FirstStartDone = 0x40;

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
    if (!state_.document || entry < 1 || entry > state_.document->frameCount) return;
    SelectFrame(entry - 1, selmode::Only);
    strip_->EnsureVisible(state_.currentFrame);
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
  state_.owner = static_cast<QWidget*>(this);
  state_.listener = this;
  setWindowTitle(Q(DocumentTitle("")));
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
  state_.listener = nullptr;
  // The window goes: nothing is left to run a deferred deletion before the document is freed.
  delete preview_.data();
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
    if (text.isEmpty() && !state_.document) statusBar()->showMessage(QString::fromUtf8(StatusReady));
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
  bool doc = state_.document != nullptr;
  int count = doc ? state_.document->frameCount : 0;
  bool frames = count > 0;
  bool current = state_.currentFrame >= 0;
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
  set(cmd::FileSave, state_.modified && doc);
  set(cmd::RevertToSaved, state_.modified && doc && !state_.documentPath.empty());
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
  set(cmd::StopPreview, preview_ != nullptr);
  Action(cmd::Preview)->setChecked(preview_ != nullptr);
  Frame* frame = doc ? FrameAt(*state_.document, state_.currentFrame) : nullptr;
  set(cmd::EditLocalPalette, frame && frame->localPalette);
  set(cmd::EditGlobalPalette, doc && state_.document->globalPalette);
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
  if (state_.document) {
    if (TaskRunning(task::SizeEstimate)) {
      size = lastSize_;
    } else {
      size = EstimateEncodedSize(*state_.document, false, nullptr);
      lastSize_ = size;
    }
  }
  for (int i = 0; i < ModemSpeedCount; ++i)
    Action(cmd::DownloadTimeFirst + i)->setText(Q(DownloadMenuText(i, size)));
}

// ---------------------------------------------------------------------------------------------
// Shell operations

void MainWindow::SetModified(bool modified) {
  state_.modified = modified;
  UpdateCommandStates();
}

void MainWindow::SetCurrentFrame(int index) {
  if (!state_.document || !FrameAt(*state_.document, index)) index = -1;
  state_.currentFrame = index;
  strip_->SetCurrentFrame(index);
  properties_->RefreshFrameControls(state_.document.get(), index, durationsEdited_);
  RefreshStatus();
  UpdateCommandStates();
}

void MainWindow::SelectFrame(int index, int mode) {
  if (!state_.document) return;
  int current = lw::SelectFrame(*state_.document, index, mode);
  strip_->RedrawAll();
  SetCurrentFrame(current);
}

void MainWindow::RefreshStatus() {
  if (!state_.document) {
    for (QLabel* part : statusParts_) part->clear();
    return;
  }
  int count = state_.document->frameCount;
  int current = state_.document->selectedCount > 1 ? -2 : state_.currentFrame;
  statusParts_[0]->setText(Q(StatusFrameText(current, count)));
  statusParts_[1]->setText(Q(StatusScreenSizeText(state_.document->screenWidth, state_.document->screenHeight)));
  RefreshDuration();
  statusParts_[4]->setText(Q(StatusZoomText(strip_->ZoomPercent())));
}

void MainWindow::RefreshDuration() {
  if (!state_.document) return;
  statusParts_[2]->setText(Q(StatusDurationText(TotalDuration(*state_.document), GetPref(PrefDelayUnits))));
}

void MainWindow::ShowFileSize(int64_t size) {
  lastSize_ = size;
  statusParts_[3]->setText(size < 0 ? QString::fromUtf8(StatusSizeComputing)
                                    : Q(StatusFileSizeText(static_cast<uint64_t>(size),
                                                           static_cast<int>(GetPref(PrefModemSpeed)))));
}

void MainWindow::StopBackgroundWork() {
  StopTasks(task::SizeEstimate | task::ColourCount);
  ClosePreview();
}

void MainWindow::ClosePreview() {
  if (!preview_) return;
  PreviewWindow* preview = preview_;
  preview_ = nullptr;
  preview->hide();
  preview->deleteLater();
  if (durationsEdited_) {
    durationsEdited_ = false;
    properties_->RefreshFrameControls(state_.document.get(), state_.currentFrame, durationsEdited_);
  }
  Action(cmd::Preview)->setChecked(false);
  UpdateCommandStates();
}

void MainWindow::TogglePreview(int mode) {
  PreviewMode previewMode = static_cast<PreviewMode>(mode);
  if (preview_ && previewMode != PreviewMode::Durations) {
    ClosePreview();
    return;
  }
  ClosePreview();
  if (!state_.document || state_.document->frameCount == 0) return;
  auto* preview = new PreviewWindow(state_.document.get(), previewMode, state_.currentFrame, this);
  preview_ = preview;
  connect(preview, &PreviewWindow::closeRequested, this, &MainWindow::ClosePreview);
  connect(preview, &PreviewWindow::durationModeChanged, this, [this](bool on) {
    durationsEdited_ = on;
    properties_->RefreshFrameControls(state_.document.get(), state_.currentFrame, durationsEdited_);
  });
  connect(preview, &PreviewWindow::delaysChanged, this, [this] {
    RefreshDuration();
    SetModified(true);
    properties_->RefreshFrameControls(state_.document.get(), state_.currentFrame, durationsEdited_);
  });
  Action(cmd::Preview)->setChecked(true);
  UpdateCommandStates();
  if (!preview->Open()) ClosePreview();
}

void MainWindow::RunOptimizer() {
  if (!state_.document) return;
  StopBackgroundWork();
  if (!ConfirmDrop24BitData(this, *state_.document)) return;
  // The optimizer dialog is not there yet: the stored options serve.
  ProgressMeterPtr meter(CreateProgressMeter(this, progress::OwnPopup, 0));
  AnimationPtr copy = DuplicateAnimation(*state_.document, nullptr);
  if (!copy) {
    ShowErrorId(40096);
    return;
  }
  ProgressSetText(meter.get(), "Optimisation de l'animation... (Esc, pour abandonner)");
  OptimizeAnimation(*copy, GetPref(PrefOptimize), meter.get());
  bool cancelled = ProgressStep(meter.get()) == 0;
  meter.reset();
  if (cancelled) return;
  // The optimized copy becomes the document; the old content is the undo step.
  SwapAnimations(*state_.document, *copy);
  RecordUndo(undo::Optimize, *state_.document, std::move(copy), nullptr, 0);
  state_.document->encodedSizeCache = -1;
  RecountSelection(*state_.document);
  int current = state_.currentFrame < state_.document->frameCount ? state_.currentFrame : -1;
  strip_->SetAnimation(state_.document.get());
  properties_->RefreshAnimationControls(state_.document.get());
  AfterFramesChanged(current);
}

void MainWindow::StartSizeEstimate(bool invalidate) {
  if (!state_.document) return;
  StopTasks(task::SizeEstimate);
  ShowFileSize(-1);
  if (invalidate) state_.document->encodedSizeCache = -1;
  Animation* animation = state_.document.get();
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
              if (self && self->estimateGeneration_ == generation && self->state_.document) self->ShowFileSize(size);
            },
            Qt::QueuedConnection);
      });
}

void MainWindow::StartColourUsage() {
  if (!state_.document) return;
  Animation* animation = state_.document.get();
  StartBackgroundTask(task::ColourCount, [animation](ProgressMeter*) {
    CountColourUsage(*animation, animation->colourUsage.data(), true);
  });
}

bool MainWindow::CloseDocument() { return lw::CloseDocument(state_) != 0; }

int MainWindow::OpenDocument(const std::string& path) { return OpenCommand(state_, path) ? 1 : 0; }

bool MainWindow::SaveDocument() {
  if (!state_.document) return false;
  StopTasks(task::SizeEstimate | task::ColourCount);
  bool saved = SaveCommand(state_);
  // Cropping to the screen may have changed the frames.
  strip_->RedrawAll();
  StartSizeEstimate(false);
  UpdateCommandStates();
  return saved;
}

bool MainWindow::SaveDocumentAs(int type) {
  if (!state_.document) return false;
  StopTasks(task::SizeEstimate | task::ColourCount);
  bool saved = SaveAsCommand(state_, type);
  strip_->RedrawAll();
  StartSizeEstimate(false);
  UpdateCommandStates();
  return saved;
}

void MainWindow::AskUsageOnFirstStart() {
  if (GetPref(PrefFlags2) & FirstStartDone) return;
  ShowUsageQuestion(this);
  SetPrefBits(PrefFlags2, FirstStartDone, true);
}

// ---------------------------------------------------------------------------------------------
// What the flows tell the window

void MainWindow::TitleChanged() {
  setWindowTitle(Q(DocumentTitle(state_.documentPath)));
  UpdateCommandStates();
}

void MainWindow::DocumentChanged(uint32_t hints) {
  if (state_.document.get() != shown_) {
    AttachDocument();
    return;
  }
  if (!state_.document) {
    strip_->RedrawAll();
    return;
  }
  ApplyRefreshHints(hints);
  UpdateCommandStates();
}

void MainWindow::StopPreview() { StopBackgroundWork(); }

void MainWindow::DocumentClosing() {
  StopBackgroundWork();
  strip_->SetAnimation(nullptr);
  shown_ = nullptr;
}

void MainWindow::ScrollStripToStart() { strip_->ResetScroll(true); }

void MainWindow::RequestAutoPreview() {
  // Posted, so that the preview opens once the open has finished.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!preview_ && state_.document && state_.document->frameCount >= 2) Command(cmd::Preview);
      },
      Qt::QueuedConnection);
}

void MainWindow::AttachDocument() {
  StopBackgroundWork();
  strip_->SetAnimation(nullptr);
  shown_ = state_.document.get();
  Animation* doc = shown_;
  if (doc) {
    RecountSelection(*doc);
    for (Frame* f = FirstFrame(*doc); f; f = NextFrame(f)) SetTransparentDisplayColour(f, true);
  }
  uint32_t stored = GetPref(PrefFlags) & StripOrientation;
  strip_->SetOrientation(stored == 0x20 ? orient::Horizontal : stored == 0x10 ? orient::Vertical : orient::Automatic);
  strip_->SetZoom(0);
  strip_->SetAnimation(doc);
  statusBar()->clearMessage();
  properties_->RefreshAnimationControls(doc);
  properties_->RebuildFrameList(doc);
  properties_->RefreshPaletteButtons(doc);
  RefreshStatus();
  if (doc) {
    StartSizeEstimate(false);
    StartColourUsage();
  } else {
    statusBar()->showMessage(QString::fromUtf8(StatusReady));
  }
  SetCurrentFrame(doc ? state_.currentFrame : -1);
  setWindowTitle(Q(DocumentTitle(state_.documentPath)));
}

void MainWindow::TellPreview(int change) {
  if (preview_ && change) preview_->FramesChanged(change);
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
    if (RecentFileGet(command - cmd::RecentFileFirst + 1, &path)) OpenRecentFile(state_, path);
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
    case cmd::FileSaveAs: SaveDocumentAs(-1); break;
    case cmd::SaveGifAs: SaveDocumentAs(savetype::Gif); break;
    case cmd::RevertToSaved: RevertToSaved(state_); break;
    // With nothing open (the intro panel's button), inserting opens: the title says so.
    case cmd::InsertFrames: InsertCommand(state_, !state_.document); break;
    case cmd::MergeWith: MergeWith(); break;
    case cmd::Preferences: Preferences(); break;
    case cmd::NewAnimation: CloseDocument(); break;
    case cmd::Exit: close(); break;
    case cmd::Undo: UndoOrRedo(false); break;
    case cmd::Redo: UndoOrRedo(true); break;
    case cmd::Delete: DeleteFrames(); break;
    case cmd::SelectAll:
      if (state_.document && state_.document->frameCount > 0) {
        SelectFrame(0, selmode::Only);
        SelectFrame(state_.document->frameCount - 1, selmode::Extend);
      }
      break;
    case cmd::InvertSelection:
      if (state_.document) {
        for (int i = 0; i < state_.document->frameCount; ++i) lw::SelectFrame(*state_.document, i, selmode::Toggle);
        Frame* first = FirstSelectedFrame(*state_.document);
        strip_->RedrawAll();
        SetCurrentFrame(first ? FrameIndex(*state_.document, first) : -1);
      }
      break;
    case cmd::ReverseOrder: ReverseOrder(); break;
    case cmd::Preview:
    case cmd::StopPreview: TogglePreview(static_cast<int>(PreviewMode::AllFrames)); break;
    case cmd::PreviewSelected: TogglePreview(static_cast<int>(PreviewMode::SelectedFrames)); break;
    case cmd::Duration: TogglePreview(static_cast<int>(PreviewMode::Durations)); break;
    case cmd::Optimize: RunOptimizer(); break;
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
  properties_->RebuildFrameList(state_.document.get());
  properties_->RefreshPaletteButtons(state_.document.get());
  SetCurrentFrame(current);
  StartSizeEstimate(true);
  StartColourUsage();
}

void MainWindow::DeleteFrames() {
  if (!state_.document || state_.currentFrame < 0) {
    QApplication::beep();
    return;
  }
  StopBackgroundWork();
  int current = DeleteSelectedFrames(*state_.document);
  if (current == -2) return;
  AfterFramesChanged(current);
}

void MainWindow::MoveFrames(int position) {
  if (!state_.document || state_.currentFrame < 0) return;
  StopBackgroundWork();
  int moved = state_.document->selectedCount > 1 ? MoveSelectedFramesTo(*state_.document, position)
                                           : MoveFrameTo(*state_.document, state_.currentFrame, position);
  if (moved < 0) return;
  SetCurrentFrame(moved);
  SetModified(true);
  strip_->RedrawAll();
  properties_->RebuildFrameList(state_.document.get());
  properties_->RefreshFrameControls(state_.document.get(), state_.currentFrame, durationsEdited_);
}

void MainWindow::UndoOrRedo(bool redo) {
  if (!state_.document) return;
  // Retimed delays keep the preview open; anything else may take its frames away.
  if ((redo ? CanRedoKind() : CanUndoKind()) == undo::EditDurations) {
    StopTasks(task::SizeEstimate | task::ColourCount);
  } else {
    StopBackgroundWork();
  }
  uint32_t hints = redo ? Redo(*state_.document) : Undo(*state_.document);
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
    int current = state_.currentFrame;
    if (hints & refresh::FrameCount) {
      RecountSelection(*state_.document);
      if (!FirstSelectedFrame(*state_.document) || current >= state_.document->frameCount) current = -1;
      strip_->Relayout(true);
    } else {
      RecountSelection(*state_.document);
      strip_->RedrawAll();
    }
    if (hints & refresh::Names) properties_->RebuildFrameList(state_.document.get());
    else properties_->RebuildFrameList(state_.document.get());
    if (current >= 0) {
      Frame* f = FrameAt(*state_.document, current);
      if (!f || !f->selected) {
        Frame* first = FirstSelectedFrame(*state_.document);
        current = first ? FrameIndex(*state_.document, first) : -1;
      }
    }
    properties_->RefreshAnimationControls(state_.document.get());
    SetCurrentFrame(current);
    properties_->RefreshPaletteButtons(state_.document.get());
    StartSizeEstimate(hints & refresh::Encoding);
  } else {
    if (hints & refresh::OneFrame) {
      int index = static_cast<int>(refresh::FrameIndexOf(hints));
      strip_->RedrawFrame(index);
      if (hints & refresh::Encoding) StartSizeEstimate(true);
      if ((hints & refresh::PropertiesFrame) && index == state_.currentFrame) SetCurrentFrame(state_.currentFrame);
    } else if (hints & refresh::PropertiesFrame) {
      SetCurrentFrame(state_.currentFrame);
    }
    RefreshDuration();
  }
  if (hints & refresh::Encoding) StartColourUsage();
  if ((hints & refresh::Preview) && preview_) preview_->ReloadDelays();
  // The preview holds frame pointers: it follows every change it stayed open for.
  if (hints & refresh::Document) {
    TellPreview(PreviewWindow::Pictures | ((hints & refresh::FrameCount) ? PreviewWindow::Count : 0));
  } else if (hints & (refresh::OneFrame | refresh::StripOnly)) {
    TellPreview(PreviewWindow::Pictures);
  }
}

void MainWindow::ApplyDelayText(const QString& text) {
  if (properties_->Updating() || !state_.document || state_.currentFrame < 0) return;
  EditValue value = CheckDelayText(S(text));
  if (value.check == EditCheck::Empty) return;
  if (value.check == EditCheck::OutOfRange) {
    Services().MessageBox(this, DelayRangeText, DelayRangeTitle, mb::Ok | mb::IconExclamation);
    properties_->DelayEdit()->setText(QString::number(value.value));  // applied as if typed
    return;
  }
  bool changed = false;
  for (Frame* f = FirstSelectedFrame(*state_.document); f; f = NextSelectedFrame(f)) {
    changed = changed || f->delay != value.value;
    f->delay = value.value;
    if (preview_) preview_->SetFrameDelay(FrameIndex(*state_.document, f), value.value);
  }
  RefreshDuration();
  if (changed) SetModified(true);
}

void MainWindow::ApplyLoopText(const QString& text) {
  if (properties_->Updating() || !state_.document) return;
  EditValue value = CheckLoopText(S(text));
  if (value.check == EditCheck::Empty) return;
  if (value.check == EditCheck::OutOfRange) {
    Services().MessageBox(this, LoopRangeText, LoopRangeTitle, mb::Ok | mb::IconExclamation);
    properties_->LoopEdit()->setText(QString::number(value.value));
    return;
  }
  if (state_.document->playCount != value.value) {
    state_.document->playCount = value.value;
    SetModified(true);
  }
}

void MainWindow::SetDisposal(int disposal) {
  Frame* frame = state_.document ? FrameAt(*state_.document, state_.currentFrame) : nullptr;
  if (!frame) return;
  lw::SetDisposal(frame, disposal);
  SetModified(true);
  properties_->RefreshFrameControls(state_.document.get(), state_.currentFrame, durationsEdited_);
  TellPreview(PreviewWindow::Pictures);
}

void MainWindow::ToggleTransparency() {
  Frame* frame = state_.document ? FrameAt(*state_.document, state_.currentFrame) : nullptr;
  if (!frame) return;
  StopBackgroundWork();
  // Until the colour chooser comes, switching on takes the frame's stored transparent index.
  bool on = !frame->Transparent();
  uint32_t index = static_cast<uint32_t>(state_.currentFrame);
  RecordUndo(undo::EditTransparency, *state_.document, nullptr, nullptr, (index << 16) | (on ? 1u : 0u));
  SetTransparency(frame, on);
  SetModified(true);
  strip_->RedrawFrame(state_.currentFrame);
  properties_->RefreshFrameControls(state_.document.get(), state_.currentFrame, durationsEdited_);
  StartSizeEstimate(true);
}

void MainWindow::ToggleTrueColour() {
  Frame* frame = state_.document ? FrameAt(*state_.document, state_.currentFrame) : nullptr;
  if (!frame) return;
  StopBackgroundWork();
  uint32_t index = static_cast<uint32_t>(state_.currentFrame);
  if (!frame->rgbPlane.empty()) {
    RecordUndo(undo::DropTrueColour, *state_.document, nullptr, nullptr, index);
    FreeRgbPlane(frame);
  } else {
    UndoRecord* record = RecordUndo(undo::AddTrueColour, *state_.document, nullptr, nullptr, index);
    if (!AddRgbPlane(frame)) {
      if (record) DiscardRecord(record);
      properties_->RefreshFrameControls(state_.document.get(), state_.currentFrame, durationsEdited_);
      return;
    }
  }
  strip_->RedrawFrame(state_.currentFrame);
  SetModified(true);
  properties_->RefreshFrameControls(state_.document.get(), state_.currentFrame, durationsEdited_);
}

void MainWindow::ReverseOrder() {
  if (!state_.document || state_.document->frameCount < 2) return;
  StopBackgroundWork();
  RecordUndo(undo::ReverseAnimation, *state_.document, nullptr, nullptr, 0);
  ReverseBlocks(*state_.document);
  RecountSelection(*state_.document);
  Frame* first = FirstSelectedFrame(*state_.document);
  AfterFramesChanged(first ? FrameIndex(*state_.document, first) : -1);
}

void MainWindow::PingPong() {
  if (!state_.document || state_.document->frameCount < 2) return;
  StopBackgroundWork();
  UndoRecord* record = RecordUndo(undo::PingPong, *state_.document, nullptr, nullptr, 0);
  if (!AppendPingPong(*state_.document)) {
    if (record) DiscardRecord(record);
    return;
  }
  AfterFramesChanged(state_.currentFrame);
}

void MainWindow::MergeWith() {
  if (!state_.document || state_.document->frameCount == 0) return;
  StopBackgroundWork();
  std::vector<std::string> paths;
  if (!Services().ChooseFiles(this, 40358, AllFormatsFilter(), false, &paths) || paths.empty())
    return;
  if (MergeAnimations(state_, paths.front()) == 0) return;
  // The merged frames replace every frame: nothing stays selected.
  for (Frame* f = FirstFrame(*state_.document); f; f = NextFrame(f)) f->selected = false;
  RecountSelection(*state_.document);
  strip_->RedrawAll();
  SetCurrentFrame(-1);
}

void MainWindow::Preferences() {
  PreferencesOutcome outcome = ShowPreferences(this);
  uint32_t tips = GetPref(PrefFrameTips);
  strip_->SetTipsEnabled(tips & tipbits::On);
  strip_->SetTipBits(tips);
  if (!outcome.accepted) return;
  strip_->SetTransparencyDisplay(GetPref(PrefTransparencyDisplay));
  Animation* doc = state_.document.get();
  if (outcome.interlaceChanged && doc) {
    if (!(GetPref(PrefFlags) & AllowInterlace)) {
      StopTasks(task::SizeEstimate);
      for (Frame* f = FirstFrame(*doc); f; f = NextFrame(f)) SetInterlaced(f, false);
    }
    StartSizeEstimate(true);
  }
  // The next save must carry the new signature.
  if (outcome.signatureChanged && doc) SetModified(true);
  UpdateCommandStates();
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
  if (state_.document) StartSizeEstimate(false);
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
  if (state_.document && state_.modified && !CloseDocument()) {
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
  // Dropped on the window, the files replace the document; on the strip they go in at the drop.
  if (!onStrip && !CloseDocument()) return;
  InsertFiles(paths, onStrip ? index : -1);
}

void MainWindow::InsertFiles(const QStringList& paths, int index) {
  if (state_.document) StopBackgroundWork();
  std::vector<std::string> files;
  for (const QString& p : paths) files.push_back(S(p));
  lw::DropFiles(state_, files, index);
  UpdateCommandStates();
}

}  // namespace lw
