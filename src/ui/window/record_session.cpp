#include "ui/window/record_session.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "platform/files.h"
#include "shell/options_from_preferences.h"
#include "shell/record_commands.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/record_dialog.h"
#include "ui/services/portal_capture.h"

namespace lw {
namespace {

constexpr int kCountdownSeconds = 3;
constexpr int kTickMs = 200;

QString Elapsed(int64_t us) {
  const int64_t seconds = us / 1000000;
  return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The last region drawn, kept in the preferences so that a later run offers it again; false when
// none was kept or it no longer fits on the screen.
bool StoredRegion(CaptureArea* area) {
  const CaptureArea a{static_cast<int32_t>(PrefFieldValue(PrefField::RecordRegionLeft)),
                      static_cast<int32_t>(PrefFieldValue(PrefField::RecordRegionTop)),
                      PrefFieldValue(PrefField::RecordRegionWidth),
                      PrefFieldValue(PrefField::RecordRegionHeight)};
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (a.width == 0 || a.height == 0 || !screen || !screen->geometry().contains(AsRect(a)))
    return false;
  *area = a;
  return true;
}

void StoreRegion(const CaptureArea& a) {
  const auto fits = [](int64_t v) { return v >= 0 && v <= 0xFFFF; };
  if (!fits(a.x) || !fits(a.y) || !fits(a.width) || !fits(a.height)) return;
  SetPrefField(PrefField::RecordRegionLeft, static_cast<uint32_t>(a.x));
  SetPrefField(PrefField::RecordRegionTop, static_cast<uint32_t>(a.y));
  SetPrefField(PrefField::RecordRegionWidth, a.width);
  SetPrefField(PrefField::RecordRegionHeight, a.height);
}

// The choice made last in this session. A region is the one last drawn, in this run or an
// earlier one; the first dialog of a run offers it when there is one.
RecordChoice& LastChoice() {
  static RecordChoice choice = [] {
    RecordChoice first;
    CaptureArea stored;
    if (StoredRegion(&stored)) first.source = RecordChoice::Region;
    return first;
  }();
  if (choice.source != RecordChoice::OneWindow) {
    choice.area = CaptureArea{};
    StoredRegion(&choice.area);
  }
  return choice;
}

}  // namespace

RecordControl::RecordControl(std::unique_ptr<ScreenCapture> capture, const RecordOptions& options,
                             bool countdown)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint),
      capture_(std::move(capture)),
      options_(options),
      countdown_(countdown ? kCountdownSeconds : 0) {
  setObjectName(QStringLiteral("recordControl"));
  setWindowTitle(UiText(str::RecordDialogTitle));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  auto* texts = new QVBoxLayout;
  elapsed_ = new QLabel(this);
  elapsed_->setObjectName(QStringLiteral("elapsed"));
  QFont big = elapsed_->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  elapsed_->setFont(big);
  frames_ = new QLabel(this);
  frames_->setObjectName(QStringLiteral("frames"));
  texts->addWidget(elapsed_);
  texts->addWidget(frames_);
  layout->addLayout(texts);
  pause_ = new QPushButton(UiText(str::RecordPause), this);
  pause_->setObjectName(QStringLiteral("pause"));
  stop_ = new QPushButton(UiText(str::RecordStop), this);
  stop_->setObjectName(QStringLiteral("stop"));
  stop_->setToolTip(UiText(str::RecordStopKeyHint));
  layout->addWidget(pause_);
  layout->addWidget(stop_);
  connect(pause_, &QPushButton::clicked, this, [this] {
    if (!recorder_) return;
    const bool paused = !recorder_->Status().paused;
    recorder_->SetPaused(paused);
    pause_->setText(UiText(paused ? str::RecordResume : str::RecordPause));
  });
  connect(stop_, &QPushButton::clicked, this, &RecordControl::StopNow);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &RecordControl::Tick);
  // Under Wayland an X server's keys reach it only while one of its own programs has the focus.
  const char* display = std::getenv("DISPLAY");
  if (display && *display && !WaylandSession()) stopKey_ = GrabCtrlAltKey(display, 's');
}

RecordControl::~RecordControl() = default;

QPoint RecordControl::PlaceOutside(const QRect& area, const QSize& control, const QRect& screen) {
  const int gap = 8;
  const QPoint candidates[] = {
      {area.left(), area.bottom() + 1 + gap},              // below
      {area.left(), area.top() - gap - control.height()},  // above
      {area.right() + 1 + gap, area.top()},                // right
      {area.left() - gap - control.width(), area.top()},   // left
  };
  for (QPoint p : candidates) {
    // Slid along the side into the screen, then kept when it is wholly on the screen and clear.
    p.setX(std::clamp(p.x(), screen.left(),
                      std::max(screen.left(), screen.right() + 1 - control.width())));
    p.setY(std::clamp(p.y(), screen.top(),
                      std::max(screen.top(), screen.bottom() + 1 - control.height())));
    const QRect r(p, control);
    if (screen.contains(r) && !r.intersects(area)) return p;
  }
  // The area fills the screen: the bottom right corner, where it hides the least.
  return {screen.right() + 1 - control.width(), screen.bottom() + 1 - control.height()};
}

std::unique_ptr<Recorder> RecordControl::Run(CaptureError* error) {
  adjustSize();
  const QRect area = AsRect(options_.area);
  QScreen* screen = QGuiApplication::primaryScreen();
  const QSize size = sizeHint().expandedTo(this->size());
  const QPoint at = PlaceOutside(area, size, screen->geometry());
  move(at);
  // No place on the screen keeps the control out of the pictures (the whole screen is recorded):
  // it hides while recording, when Ctrl+Alt+S is there to stop.
  hideWhileRecording_ = stopKey_ && QRect(at, size).intersects(area);
  pause_->setEnabled(false);
  Tick();
  if (!hideWhileRecording_ || !recorder_) {
    show();
    raise();
  }
  sinceShown_.start();
  timer_->start(kTickMs);
  while (!done_) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  timer_->stop();
  hide();
  *error = error_;
  return std::move(recorder_);
}

void RecordControl::Tick() {
  if (stopKey_ && stopKey_->Pressed()) return StopNow();
  if (!recorder_) {
    const int64_t left = countdown_ * 1000 - (sinceShown_.isValid() ? sinceShown_.elapsed() : 0);
    if (left > 0) {
      elapsed_->setText(UiText(str::RecordStartsIn).arg((left + 999) / 1000));
      frames_->setText(UiText(str::RecordStopKeyHint));
      return;
    }
    if (hideWhileRecording_ && isVisible()) {
      hide();  // a tick for the windows under it to show again before the first picture
      return;
    }
    recorder_ = Recorder::Start(std::move(capture_), options_, &error_);
    if (!recorder_) {
      startFailed_ = true;
      done_ = true;
      return;
    }
    pause_->setEnabled(true);
  }
  const Recorder::Progress p = recorder_->Status();
  elapsed_->setText(Elapsed(p.elapsedUs));
  frames_->setText(
      UiText(p.frames < 2 ? str::RecordOneFrame : str::RecordFrameCount).arg(p.frames));
  if (p.end != RecordEnd::Running) done_ = true;
}

void RecordControl::StopNow() {
  if (recorder_) recorder_->Stop();
  done_ = true;
}

bool RecordScreenCommand(QWidget* owner, ShellState& state) {
  RecordChoice& choice = LastChoice();
  if (!AskRecord(owner, &choice, state.document != nullptr)) return false;
  if (choice.source == RecordChoice::Region && choice.area.width != 0) StoreRegion(choice.area);
  CaptureError error = CaptureError::None;
  std::unique_ptr<ScreenCapture> capture = OpenScreenCapture(&error);
  // Under Wayland the desktop's portal shares a monitor or a window, which the user picks there.
  const bool portal = !capture && error == CaptureError::Wayland;
  if (portal) {
    PortalCaptureOptions shared;
    shared.request.window = choice.source == RecordChoice::OneWindow;
    shared.request.pointer = choice.pointer;
    capture = OpenPortalCapture(QDBusConnection::sessionBus(), shared);
    if (!capture) return false;
    if (choice.source == RecordChoice::Region &&
        !DrawRegionOnCapture(*capture, &choice.area, &error)) {
      if (error != CaptureError::None) ShowCaptureError(error);
      return false;
    }
  }
  if (!capture) {
    ShowCaptureError(error);
    return false;
  }
  RecordOptions options;
  options.area = choice.source == RecordChoice::WholeScreen ||
                         (portal && choice.source == RecordChoice::OneWindow)
                     ? CaptureArea{0, 0, capture->ScreenWidth(), capture->ScreenHeight()}
                     : choice.area;
  options.fps = choice.fps;
  options.pointer = choice.pointer;
  options.timing = TimingFromPreferences();
  const uint32_t screenWidth = capture->ScreenWidth(), screenHeight = capture->ScreenHeight();

  // The window steps aside while it would be in the picture.
  QWidget* window = owner ? owner->window() : nullptr;
  const QRect area = AsRect(options.area);
  const bool minimized = window && window->frameGeometry().intersects(area);
  if (minimized) window->showMinimized();

  RecordControl control(std::move(capture), options, choice.countdown);
  std::unique_ptr<Recorder> recorder = control.Run(&error);
  if (minimized) {
    window->showNormal();
    window->raise();
    window->activateWindow();
  }
  if (!recorder) {
    if (error != CaptureError::None)
      ShowCaptureError(error, options.area, screenWidth, screenHeight);
    else if (control.StartFailed())
      ShowErrorId(str::RecordNoTempFile, SystemTempFolder().c_str());
    return false;  // else stopped during the countdown
  }
  ProgressMeterPtr meter(CreateProgressMeter(owner, progress::OwnPopup, 0));
  AnimationPtr recording;
  const int status = recorder->Collect(&recording, meter.get());
  ProgressClose(meter.get());
  recorder.reset();
  if (status == 0 || !recording) return false;
  return TakeRecording(
      state, std::move(recording),
      choice.insert ? RecordingPlace::AfterCurrentFrame : RecordingPlace::NewDocument);
}

}  // namespace lw
