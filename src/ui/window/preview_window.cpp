#include "ui/window/preview_window.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaMethod>
#include <QScreen>
#include <QSlider>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/frame_player.h"
#include "shell/command_ids.h"
#include "shell/options_from_preferences.h"
#include "ui/common/animation_view.h"
#include "ui/common/colour_button.h"
#include "ui/common/glyph_icons.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/duration_panel.h"

namespace lw {
namespace {

// A late timer (a modal box, a busy machine) starts a new schedule instead of rushing through
// the frames it missed.
constexpr qint64 MaxLateness = 250;

QString CommandName(int command) { return QStringLiteral("cmd%1").arg(command); }

}  // namespace

QPoint PreviewPosition(const QRect& owner, const QSize& size, const QRect& area) {
  constexpr int gap = 4;
  int x;
  if (owner.right() + gap + size.width() <= area.right() + 1) {
    x = owner.right() + 1 + gap;
  } else if (owner.left() - gap - size.width() >= area.left()) {
    x = owner.left() - gap - size.width();
  } else {
    x = area.right() + 1 - size.width();
  }
  bool beside = x > owner.right() || x + size.width() <= owner.left();
  int y = beside ? owner.top() : area.bottom() + 1 - size.height();
  x = std::max(area.left(), std::min(x, area.right() + 1 - size.width()));
  y = std::max(area.top(), std::min(y, area.bottom() + 1 - size.height()));
  return {x, y};
}

QRect FitInside(const QRect& rect, const QRect& area) {
  QRect fitted(rect.topLeft(), rect.size().boundedTo(area.size()));
  fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() + 1 - fitted.width()));
  fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() + 1 - fitted.height()));
  return fitted;
}

PreviewWindow::PreviewWindow(Animation* document, PreviewMode mode, int currentFrame,
                             QWidget* parent)
    : QDialog(parent), document_(document), mode_(mode), startFrame_(currentFrame) {
  setWindowTitle(UiText(str::PreviewTitle));
  setModal(false);
  if (parent) setWindowIcon(parent->windowIcon());
  fullScreen_ = PrefOn(Pref::FullScreenPreview) && mode != PreviewMode::Durations;
  durationMode_ = mode == PreviewMode::Durations;
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &PreviewWindow::Tick);
  ready_ = PreparePlayed();
  BuildControls();
  Layout();
}

PreviewWindow::~PreviewWindow() { timer_.stop(); }

bool PreviewWindow::PreparePlayed() {
  played_ = document_;
  selectedCopy_.reset();
  if (mode_ == PreviewMode::SelectedFrames && document_ && FirstSelectedFrame(*document_)) {
    AnimationPtr copy = CloneAnimationHeader(*document_);
    if (!copy) return false;
    if (document_->globalPalette) {
      PalettePtr palette = CopyPalette(document_->globalPalette.get());
      if (!palette) return false;
      SetGlobalPalette(*copy, std::move(palette));
    }
    for (Frame* f = FirstSelectedFrame(*document_); f; f = NextSelectedFrame(f)) {
      Block* block = DuplicateBlock(f, copy->globalPalette.get());
      if (!block) return false;
      InsertBlockAfter(LastBlock(*copy), block);
      ++copy->frameCount;
    }
    selectedCopy_ = std::move(copy);
    played_ = selectedCopy_.get();
  }
  count_ = CountFrames();
  return true;
}

int PreviewWindow::CountFrames() const {
  int n = 0;
  if (played_) {
    for (const Frame* f = lw::FirstFrame(*played_); f; f = lw::NextFrame(f)) ++n;
  }
  return n;
}

QAction* PreviewWindow::Action(int command) const {
  return findChild<QAction*>(CommandName(command));
}

void PreviewWindow::BuildControls() {
  view_ = new AnimationView(this);
  view_->setObjectName(QStringLiteral("view"));
  view_->SetBackground(PreviewBackgroundColour(this));
  connect(view_, &AnimationView::escapePressed, this, &PreviewWindow::reject);
  if (fullScreen_) return;

  auto makeBar = [this] {
    auto* bar = new QToolBar(this);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return bar;
  };
  auto addAction = [this](QToolBar* bar, int command, Glyph glyph, void (PreviewWindow::*slot)()) {
    QAction* a = bar->addAction(GlyphIcon(glyph), UiText(command));
    a->setObjectName(CommandName(command));
    a->setToolTip(UiText(command));
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  playBar_ = makeBar();
  addAction(playBar_, cmd::PreviewPlay, Glyph::Play, &PreviewWindow::Play)->setCheckable(true);
  addAction(playBar_, cmd::PreviewStop, Glyph::Stop, &PreviewWindow::Stop)->setEnabled(false);

  navigationBar_ = makeBar();
  addAction(navigationBar_, cmd::PreviewFirstFrame, Glyph::First, &PreviewWindow::FirstFrame);
  addAction(navigationBar_, cmd::PreviewPreviousFrame, Glyph::Previous,
            &PreviewWindow::PreviousFrame);
  addAction(navigationBar_, cmd::PreviewNextFrame, Glyph::Next, &PreviewWindow::NextFrame);
  addAction(navigationBar_, cmd::PreviewLastFrame, Glyph::Last, &PreviewWindow::LastFrame);
  navigationBar_->addSeparator();
  colourButton_ = new ColourButton(navigationBar_);
  colourButton_->setObjectName(CommandName(cmd::PreviewBackground));
  colourButton_->SetColour(view_->Background());
  navigationBar_->addWidget(colourButton_);
  connect(colourButton_, &ColourButton::colourChosen, this, [this](uint32_t colour) {
    SetBackground(colour);
    SetPref(PrefPreviewBackground,
            WithField(WithField(0, PrefField::PreviewBackgroundColour, colour),
                      PrefField::PreviewBackgroundChosen, 1));
  });
  navigationBar_->addSeparator();
  addAction(navigationBar_, cmd::ZoomIn, Glyph::ZoomIn, &PreviewWindow::ZoomIn);
  addAction(navigationBar_, cmd::ZoomOut, Glyph::ZoomOut, &PreviewWindow::ZoomOut);
  addAction(navigationBar_, cmd::ActualSize, Glyph::ActualSize, &PreviewWindow::ActualSize);

  durationBar_ = makeBar();
  durationBar_->setIconSize(QSize(18, 18));
  QAction* duration =
      durationBar_->addAction(GlyphIcon(Glyph::Duration, 18), UiText(cmd::Duration));
  duration->setObjectName(CommandName(cmd::Duration));
  duration->setToolTip(UiText(cmd::Duration));
  duration->setCheckable(true);
  duration->setChecked(durationMode_);
  // The panel retimes the document's frames; the selected-frames copy is not the document.
  duration->setEnabled(played_ == document_);
  connect(duration, &QAction::toggled, this, &PreviewWindow::SetDurationMode);

  numberLabel_ = new QLabel(this);
  numberLabel_->setObjectName(QStringLiteral("frameNumber"));
  numberLabel_->setMinimumWidth(64);
  numberLabel_->setAlignment(Qt::AlignCenter);
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName(QStringLiteral("position"));
  slider_->setRange(1, std::max(count_, 1));
  slider_->setTickPosition(QSlider::TicksBelow);
  slider_->setTickInterval(1);
  slider_->setPageStep(1);
  connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
    bool up = action == QAbstractSlider::SliderSingleStepAdd ||
              action == QAbstractSlider::SliderPageStepAdd;
    bool down = action == QAbstractSlider::SliderSingleStepSub ||
                action == QAbstractSlider::SliderPageStepSub;
    // Stepping past either end goes round to the other.
    if (up && current_ == count_) slider_->setSliderPosition(1);
    if (down && current_ == 1) slider_->setSliderPosition(count_);
  });
  connect(slider_, &QSlider::valueChanged, this, [this](int value) {
    if (slider_->signalsBlocked()) return;
    Stop();
    ShowFrame(value, true);
  });

  panel_ = new DurationPanel(played_ == document_ ? document_ : nullptr, this);
  panel_->setVisible(durationMode_);
  connect(panel_, &DurationPanel::previousFrameRequested, this, &PreviewWindow::PreviousFrame);
  connect(panel_, &DurationPanel::nextFrameRequested, this, &PreviewWindow::NextFrame);
  connect(panel_, &DurationPanel::delaysWritten, this, &PreviewWindow::delaysChanged);
}

void PreviewWindow::Layout() {
  auto* layout = new QVBoxLayout(this);
  if (fullScreen_) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    return;
  }
  layout->setContentsMargins(6, 4, 6, 6);
  layout->setSpacing(4);
  auto* bars = new QHBoxLayout;
  bars->setSpacing(2);
  bars->addWidget(playBar_);
  bars->addWidget(navigationBar_);
  bars->addStretch(1);
  bars->addWidget(durationBar_);
  layout->addLayout(bars);
  layout->addWidget(view_, 1);
  auto* position = new QHBoxLayout;
  position->addWidget(numberLabel_);
  position->addWidget(slider_, 1);
  layout->addLayout(position);
  layout->addWidget(panel_);
  layout->setSizeConstraint(QLayout::SetMinimumSize);
}

void PreviewWindow::PlaceBesideOwner() {
  QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  QScreen* on = owner ? owner->screen() : nullptr;
  if (!on) return;
  // The frame the window manager adds is not known before showing: take the owner's.
  QRect inner = owner->geometry(), outer = owner->frameGeometry();
  QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                 outer.right() - inner.right(), outer.bottom() - inner.bottom());
  move(PreviewPosition(outer, size().grownBy(frame), on->availableGeometry()));
}

void PreviewWindow::FitOnScreen() {
  QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  QScreen* on = owner ? owner->screen() : screen();
  if (!on) return;
  // The window manager's frame is not known before showing: take the owner's.
  QSize decoration(0, 0);
  if (owner) decoration = owner->frameGeometry().size() - owner->geometry().size();
  const QSize room = on->availableGeometry().size() - decoration;
  auto fits = [&] {
    const QSize wanted = sizeHint();
    return wanted.width() <= room.width() && wanted.height() <= room.height();
  };
  // A picture larger than the screen starts zoomed out until all of it shows, as far as the
  // zoom goes.
  while (!fits() && view_->ZoomStep() > -4) view_->SetZoomStep(view_->ZoomStep() - 1);
  resize(sizeHint().expandedTo(minimumSizeHint()).boundedTo(room));
}

void PreviewWindow::hideEvent(QHideEvent* event) {
  // Hidden by the program on its way out (not by minimizing): no frame may be drawn from a
  // document that is going.
  if (!event->spontaneous()) Stop();
  QDialog::hideEvent(event);
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Move && placed_.isValid()) {
    if (placed_.elapsed() < 1500) {
      PlaceBesideOwner();
    } else {
      watched->removeEventFilter(this);
      placed_.invalidate();
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool PreviewWindow::Open() {
  if (!ready_ || !view_->SetAnimation(played_) || count_ == 0) {
    if (!ready_) ShowError("%s", ResText(str::NoResourcesForPreview).c_str());
    QTimer::singleShot(0, this, &PreviewWindow::closeRequested);
    return false;
  }
  emit durationModeChanged(durationMode_);
  if (fullScreen_) {
    showFullScreen();
  } else {
    FitOnScreen();
    PlaceBesideOwner();
    if (QWidget* owner = parentWidget()) {
      owner->window()->installEventFilter(this);
      placed_.start();
    }
    // The preview plays beside the work: the keys stay with the window the user types in.
    QWidget* active = QApplication::activeWindow();
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
    slider_->setFocus();
    if (active && active != this) active->activateWindow();
  }
  if (mode_ == PreviewMode::Durations && startFrame_ >= 0 && startFrame_ < count_) {
    ShowFrame(startFrame_ + 1, true);
  } else {
    Play();
  }
  return true;
}

void PreviewWindow::ShowFrame(int n, bool restart) {
  if (n < 1 || n > count_) return;
  view_->ShowFrame(n, restart);
  current_ = view_->Shown();
  if (numberLabel_) numberLabel_->setText(QStringLiteral("%1 / %2").arg(current_).arg(count_));
  if (slider_) {
    QSignalBlocker block(slider_);
    slider_->setValue(current_);
  }
  if (durationMode_ && panel_) panel_->ShowFrame(current_);
  emit frameShown(current_);
}

void PreviewWindow::Play() {
  if (playing_ || count_ == 0) {
    Stop();
    return;
  }
  playing_ = true;
  if (QAction* a = Action(cmd::PreviewPlay)) a->setChecked(true);
  if (QAction* a = Action(cmd::PreviewStop)) a->setEnabled(true);
  loopsLeft_ = played_->playCount;
  ShowFrame(1, true);
  clock_.start();
  deadline_ = 0;
  ArmTimer();
}

void PreviewWindow::Stop() {
  timer_.stop();
  playing_ = false;
  if (QAction* a = Action(cmd::PreviewPlay)) a->setChecked(false);
  if (QAction* a = Action(cmd::PreviewStop)) a->setEnabled(false);
}

void PreviewWindow::ArmTimer() {
  const Frame* frame = FrameAt(*played_, current_ - 1);
  deadline_ += PlayedDelayMilliseconds(frame ? frame->delay : 0, DelayUnitsFromPreferences());
  qint64 now = clock_.elapsed();
  if (now - deadline_ > MaxLateness) deadline_ = now;
  timer_.start(static_cast<int>(std::max<qint64>(deadline_ - now, 0)));
}

void PreviewWindow::Tick() {
  if (!playing_ || count_ == 0) return;
  if (!PrefOn(Pref::PreviewIgnoresLoopCount) && current_ == count_) {
    if (loopsLeft_ == 1) {
      Stop();
      return;
    }
    if (loopsLeft_ != 0) --loopsLeft_;
  }
  ShowFrame(current_ < count_ ? current_ + 1 : 1, false);
  ArmTimer();
}

void PreviewWindow::FirstFrame() {
  Stop();
  ShowFrame(1, true);
}

void PreviewWindow::PreviousFrame() {
  Stop();
  if (current_ > 1) {
    ShowFrame(current_ - 1, true);
  } else {
    // The last frame composed from the start, not over what the loop left.
    view_->ShowFrame(0, true);
    ShowFrame(count_, true);
  }
}

void PreviewWindow::NextFrame() {
  Stop();
  ShowFrame(current_ < count_ ? current_ + 1 : 1, false);
}

void PreviewWindow::LastFrame() {
  Stop();
  ShowFrame(count_, false);
}

void PreviewWindow::ZoomIn() {
  view_->SetZoomStep(view_->ZoomStep() + 1);
  if (!fullScreen_) adjustSize();
}

void PreviewWindow::ZoomOut() {
  view_->SetZoomStep(view_->ZoomStep() - 1);
  if (!fullScreen_) adjustSize();
}

void PreviewWindow::ActualSize() {
  view_->SetZoomStep(0);
  if (!fullScreen_) adjustSize();
}

void PreviewWindow::SetBackground(uint32_t colour) {
  view_->SetBackground(colour);
  if (colourButton_) colourButton_->SetColour(colour);
  if (!view_->Rebuild()) {
    emit closeRequested();
    return;
  }
  if (playing_) {
    deadline_ = clock_.elapsed();
    ArmTimer();
  }
}

void PreviewWindow::SetDurationMode(bool on) {
  if (fullScreen_ || !panel_ || on == durationMode_) return;
  if (on && played_ != document_) return;
  durationMode_ = on;
  if (QAction* a = Action(cmd::Duration)) {
    QSignalBlocker block(a);
    a->setChecked(on);
  }
  int grow = panel_->sizeHint().height() + layout()->spacing();
  panel_->setVisible(on);
  if (on) panel_->ShowFrame(current_);
  emit durationModeChanged(on);
  if (!isVisible()) return;
  // Grow by the panel (or shrink back) without squeezing the picture; a window that no longer
  // fits moves up and left to stay whole on the screen's work area.
  QSize wanted(std::max(width(), minimumSizeHint().width()),
               std::max(height() + (on ? grow : -grow), minimumSizeHint().height()));
  QSize decoration = frameGeometry().size() - geometry().size();
  QPoint at = pos();
  if (QScreen* s = screen()) {
    QRect outer = FitInside(QRect(at, wanted + decoration), s->availableGeometry());
    at = outer.topLeft();
    wanted = outer.size() - decoration;
  }
  resize(wanted);
  move(at);
}

void PreviewWindow::FramesChanged(int change) {
  int old = current_;
  bool wasPlaying = playing_;
  if (played_ != document_ || (change & Count)) {
    Stop();
    if (!PreparePlayed() || !view_->SetAnimation(played_) || count_ == 0) {
      emit closeRequested();
      return;
    }
    if (slider_) {
      QSignalBlocker block(slider_);
      slider_->setRange(1, std::max(count_, 1));
    }
    if (panel_) panel_->ReloadDelays();
    current_ = 0;
    // Playback restarts from frame 1; stopped, the picture comes back to where it was.
    if (wasPlaying) {
      Play();
      return;
    }
    ShowFrame(1, true);
    ShowFrame(std::min(std::max(old, 1), count_), false);
    return;
  }
  if (change & Pictures) {
    if (!view_->Rebuild()) emit closeRequested();
  }
}

void PreviewWindow::ReloadDelays() {
  if (panel_) panel_->ReloadDelays();
}

void PreviewWindow::SetFrameDelay(int index, uint32_t delay) {
  if (panel_) panel_->SetFrameDelay(index, delay);
}

void PreviewWindow::reject() {
  Stop();
  if (isSignalConnected(QMetaMethod::fromSignal(&PreviewWindow::closeRequested))) {
    emit closeRequested();
  } else {
    QDialog::reject();
  }
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
  // Enter belongs to the panel's value field; the dialog has no default button to press.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
  QDialog::keyPressEvent(event);
}

}  // namespace lw
