#include "ui/window/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/optimize.h"
#include "core/compose.h"
#include "core/document_listener.h"
#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "formats/common/flow_text.h"
#include "formats/live_edit.h"
#include "formats/open_flow.h"
#include "formats/save_flow.h"
#include "platform/files.h"
#include "platform/services.h"
#include "shell/accelerators.h"
#include "shell/command_ids.h"
#include "shell/document_commands.h"
#include "shell/frame_edit.h"
#include "shell/options_from_preferences.h"
#include "shell/status_text.h"
#include "ui/common/icons.h"
#include "ui/dialogs/usage_question_dialog.h"
#include "ui/services/page_opener.h"
#include "ui/services/qt_services.h"
#include "ui/window/frame_strip.h"
#include "ui/window/preferences_sheet.h"
#include "ui/window/preview_window.h"
#include "ui/window/properties_bar.h"
#include "ui/window/status_progress.h"

namespace lw {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

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
  properties_->setVisible(!PrefOn(Pref::HidePropertiesBar));
  strip_ = new FrameStrip(this);
  setCentralWidget(strip_);
  BuildStatusBar();
  new StatusProgress(statusBar());
  BuildMenus();

  connect(properties_, &PropertiesBar::commandTriggered, this, &MainWindow::Command);
  connect(properties_, &PropertiesBar::delayEdited, this, &MainWindow::ApplyDelayText);
  connect(properties_, &PropertiesBar::loopEdited, this, &MainWindow::ApplyLoopText);
  // Leaving a field ends its run: typing there again is another step.
  connect(properties_->DelayEdit(), &QLineEdit::editingFinished, this, [this] { delayRun_.End(); });
  connect(properties_->LoopEdit(), &QLineEdit::editingFinished, this, [this] { loopRun_.End(); });
  connect(properties_, &PropertiesBar::frameChosen, this, [this](int entry) {
    if (!state_.document || entry < 0 || entry > state_.document->frameCount) return;
    SelectFrame(entry - 1, selmode::Only);
    strip_->EnsureVisible(state_.currentFrame);
  });
  connect(strip_, &FrameStrip::selectRequested, this, &MainWindow::SelectFrame);
  connect(strip_, &FrameStrip::commandRequested, this, &MainWindow::Command);
  // Paste follows what any program puts on the clipboard.
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
          &MainWindow::UpdateCommandStates);
  connect(strip_, &FrameStrip::moveRequested, this, &MainWindow::MoveFrames);
  connect(strip_, &FrameStrip::contextMenuRequested, this, &MainWindow::ShowFrameMenu);
  connect(strip_, &FrameStrip::filesDropped, this,
          [this](const QStringList& paths, int index) { DropFiles(paths, index, true); });

  uint32_t tips = GetPref(PrefFrameTips);
  strip_->SetTipsEnabled(BitIn(tips, Pref::FrameTipsOn));
  strip_->SetTipBits(tips);
  strip_->SetTransparencyDisplay(GetPref(PrefTransparencyDisplay));
  ApplyEnginePreferences();
  SetButtonFaceColour(ColourFromPixel(QApplication::palette().color(QPalette::Button).rgb()));

  DesktopServices().SetWindowNotifications(
      {[this] { UpdateCommandStates(); }, [this] { RebuildRecentFiles(); }});
  ClearHistory();
  state_.owner = static_cast<QWidget*>(this);
  state_.listener = this;
  state_.settings = &PreferenceFlowSettings();
  // The desktop's opener answers only whether it started; xdg-open's own answer comes later.
  openPage_ = [](const std::string& path) {
    return OpenPageInBrowser(path, [path] { ShowErrorId(str::NoBrowser, path.c_str()); });
  };
  AttachDocument();
  RestorePlacement();
  RecentFilesPrune();
  RebuildRecentFiles();
}

MainWindow::~MainWindow() {
  StopTasks(task::SizeEstimate | task::ColourCount);
  state_.listener = nullptr;
  // The window goes: nothing is left to run a deferred deletion before the document is freed.
  delete preview_.data();
  DesktopServices().SetWindowNotifications({});
  strip_->SetAnimation(nullptr);
  ClearHistory();
}

// ---------------------------------------------------------------------------------------------
// Shell operations

void MainWindow::SetModified(bool modified) {
  state_.modified = modified;
  UpdateCommandStates();
}

void MainWindow::SetCurrentFrame(int index) {
  if (!state_.document || !FrameAt(*state_.document, index)) index = -1;
  if (index != state_.currentFrame) delayRun_.End();
  state_.currentFrame = index;
  strip_->SetCurrentFrame(index);
  RefreshStatus();
  RefreshFrameControls();
}

void MainWindow::RefreshFrameControls() {
  properties_->RefreshFrameControls(state_.document.get(), state_.currentFrame, durationsEdited_);
  UpdateCommandStates();
}

void MainWindow::SelectFrame(int index, int mode) {
  if (!state_.document) return;
  int current = lw::SelectFrame(*state_.document, index, mode);
  strip_->RedrawSelected();
  SetCurrentFrame(current);
}

void MainWindow::RefreshStatus() {
  if (!state_.document) {
    for (QLabel* part : statusParts_) part->clear();
    return;
  }
  int count = state_.document->frameCount;
  int current = state_.document->selectedCount > 1 ? -2 : state_.currentFrame;
  std::string frameText = StatusFrameText(current, count);
  if (const Frame* f = current >= 0 ? FrameAt(*state_.document, current) : nullptr;
      f && !f->rgbPlane.empty())
    frameText += StatusTrueColourNote(DescribeTrueColour(*f));
  statusParts_[0]->setText(Q(frameText));
  statusParts_[1]->setText(
      Q(StatusScreenSizeText(state_.document->screenWidth, state_.document->screenHeight)));
  RefreshDuration();
  statusParts_[4]->setText(Q(StatusZoomText(strip_->ZoomPercent())));
}

void MainWindow::RefreshDuration() {
  if (!state_.document) return;
  statusParts_[2]->setText(
      Q(StatusDurationText(TotalDuration(*state_.document), GetPref(PrefDelayUnits))));
}

void MainWindow::ShowFileSize(int64_t size) {
  lastSize_ = size;
  statusParts_[3]->setText(size < 0
                               ? QString::fromUtf8(StatusSizeComputing)
                               : Q(StatusFileSizeText(static_cast<uint64_t>(size),
                                                      static_cast<int>(GetPref(PrefModemSpeed)))));
}

void MainWindow::StopBackgroundWork() {
  StopTasks(task::SizeEstimate | task::ColourCount);
  ClosePreview();
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
      [animation, result](ProgressMeter* meter) {
        *result = EstimateEncodedSize(*animation, false, SaveSignatureFromPreferences(), meter);
      },
      [self, generation, result](bool stopped) {
        if (stopped || *result < 0) return;
        int64_t size = *result;
        QMetaObject::invokeMethod(
            qApp,
            [self, generation, size] {
              if (self && self->estimateGeneration_ == generation && self->state_.document)
                self->ShowFileSize(size);
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

bool MainWindow::SaveDocument() { return SaveDocumentAs(0); }

bool MainWindow::SaveDocumentAs(int type) {
  if (!state_.document) return false;
  StopTasks(task::SizeEstimate | task::ColourCount);
  bool saved = type == 0 ? SaveCommand(state_) : SaveAsCommand(state_, type);
  // Cropping to the screen may have changed the frames.
  strip_->RedrawAll();
  StartSizeEstimate(false);
  UpdateCommandStates();
  return saved;
}

void MainWindow::AskUsageOnFirstStart() {
  if (PrefOn(Pref::FirstStartDone)) return;
  ShowUsageQuestion(this);
  SetPrefOn(Pref::FirstStartDone, true);
}

// ---------------------------------------------------------------------------------------------
// What the flows and the document commands tell the window

void MainWindow::TitleChanged() {
  // The marker shows an asterisk while the document has unsaved changes.
  setWindowTitle(QStringLiteral("[*]") + Q(DocumentTitle(state_.documentPath)));
  UpdateCommandStates();
}

void MainWindow::DocumentChanged(uint32_t hints) {
  // A new document, or none left: every view starts over.
  if (state_.document.get() != shown_ || !state_.document) {
    AttachDocument();
    return;
  }
  ApplyRefreshHints(hints);
  UpdateCommandStates();
}

void MainWindow::StopPreview() { StopBackgroundWork(); }

void MainWindow::DocumentClosing() {
  EndLiveEdit();
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
  bool released = shown_ != nullptr || !state_.document;
  shown_ = state_.document.get();
  Animation* doc = shown_;
  if (doc) {
    RecountSelection(*doc);
    for (Frame* f = FirstFrame(*doc); f; f = NextFrame(f)) SetTransparentDisplayColour(f, true);
  }
  uint32_t stored = PrefFieldValue(PrefField::StripOrientation);
  strip_->SetOrientation(stored == 2   ? orient::Horizontal
                         : stored == 1 ? orient::Vertical
                                       : orient::Automatic);
  strip_->SetZoom(0);
  strip_->SetAnimation(doc);
  statusBar()->clearMessage();
  properties_->RefreshAnimationControls(doc);
  properties_->RebuildFrameList(doc);
  RefreshStatus();
  if (doc) {
    StartSizeEstimate(false);
    StartColourUsage();
  } else {
    statusBar()->showMessage(QString::fromUtf8(StatusReady));
  }
  SetCurrentFrame(doc ? state_.currentFrame : -1);
  TitleChanged();
  // The keys (arrows, Suppr, Ctrl+A) go to the frames; the toolbar's fields take the focus only
  // when clicked or tabbed into.
  if (doc) strip_->setFocus(Qt::OtherFocusReason);
  // The old document's memory goes back to the system, not only to the allocator.
  if (released) ReleaseClosedDocumentMemory();
}

void MainWindow::TellPreview(int change) {
  if (preview_ && change) preview_->FramesChanged(change);
}

void MainWindow::AfterCommand(uint32_t hints) {
  if (hints == 0) return;
  ApplyRefreshHints(hints);
  UpdateCommandStates();
}

void MainWindow::ApplyRefreshHints(uint32_t hints) {
  // What the hints name may have changed in place: its pictures are stale.
  if (Animation* doc = state_.document.get()) {
    if (hints == refresh::StripOnly || (hints & refresh::Document)) {
      TouchAllFrames(*doc);
    } else if (hints & refresh::OneFrame) {
      TouchFrame(FrameAt(*doc, static_cast<int>(refresh::FrameIndexOf(hints))));
    }
  }
  if (hints == refresh::StripOnly) {
    strip_->RedrawAll();
    return;
  }
  if (hints & refresh::Document) {
    if (hints & refresh::ScreenSize) strip_->RelayoutIfResized();
    int current = state_.currentFrame;
    RecountSelection(*state_.document);
    if (hints & refresh::FrameCount) {
      if (!FirstSelectedFrame(*state_.document) || current >= state_.document->frameCount)
        current = -1;
      strip_->Relayout(true);
    } else {
      strip_->RedrawAll();
    }
    properties_->RebuildFrameList(state_.document.get());
    if (current >= 0) {
      Frame* f = FrameAt(*state_.document, current);
      if (!f || !f->selected) {
        Frame* first = FirstSelectedFrame(*state_.document);
        current = first ? FrameIndex(*state_.document, first) : -1;
      }
    }
    properties_->RefreshAnimationControls(state_.document.get());
    SetCurrentFrame(current);
    StartSizeEstimate(hints & refresh::Encoding);
  } else {
    if (hints & refresh::OneFrame) {
      int index = static_cast<int>(refresh::FrameIndexOf(hints));
      strip_->RedrawFrame(index);
      if (hints & refresh::Encoding) StartSizeEstimate(true);
      if ((hints & refresh::PropertiesFrame) && index == state_.currentFrame)
        SetCurrentFrame(state_.currentFrame);
    } else if (hints & refresh::PropertiesFrame) {
      SetCurrentFrame(state_.currentFrame);
    }
    RefreshDuration();
  }
  if (hints & refresh::Encoding) StartColourUsage();
  if ((hints & refresh::Preview) && preview_) preview_->ReloadDelays();
  // The preview holds frame pointers: it follows every change it stayed open for.
  if (hints & refresh::Document) {
    TellPreview(PreviewWindow::Pictures |
                ((hints & refresh::FrameCount) ? PreviewWindow::Count : 0));
  } else if (hints & (refresh::OneFrame | refresh::StripOnly)) {
    TellPreview(PreviewWindow::Pictures);
  }
}

// ---------------------------------------------------------------------------------------------
// Placement, closing, dropping

void MainWindow::RestorePlacement() {
  WindowPlacement placement;
  QRect available = QApplication::primaryScreen()
                        ? QApplication::primaryScreen()->availableGeometry()
                        : QRect(0, 0, 1024, 768);
  if (LoadWindowPlacement(&placement)) {
    QRect r(QPoint(placement.normalPosition.left, placement.normalPosition.top),
            QPoint(placement.normalPosition.right - 1, placement.normalPosition.bottom - 1));
    if (r.width() >= 200 && r.height() >= 150 && available.intersects(r)) {
      // The screen may be smaller than the one the place was saved on.
      // The place saved is the inside of the window, without the frame.
      setGeometry(FitInside(r, available));
    } else {
      resize(QSize(900, 620).boundedTo(available.size()));
    }
    if (placement.showCmd == ShowMaximized) setWindowState(windowState() | Qt::WindowMaximized);
  } else {
    resize(std::min(900, available.width()), std::min(620, available.height()));
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The window manager adds its frame once the window is mapped.
  if (!event->spontaneous()) QTimer::singleShot(0, this, &MainWindow::FitFrameOnScreen);
}

void MainWindow::FitFrameOnScreen() {
  QScreen* on = screen();
  if (!on || isMaximized() || isFullScreen()) return;
  const QRect area = on->availableGeometry(), outer = frameGeometry();
  const QRect fitted = FitInside(outer, area);
  if (fitted == outer) return;
  resize(size() - (outer.size() - fitted.size()));
  move(fitted.topLeft());
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
  EndLiveEdit();
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

}  // namespace lw
