// A long animation opened through the window: the event loop keeps turning while the file is
// read, Esc in the popup stops the read, and the strip draws only the pictures it shows. The
// read is held at its first report until the test has seen what it checks, so that a fast
// machine cannot finish it before the first timer tick.
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "base/progress.h"
#include "core/animation.h"
#include "core/gif_writer.h"
#include "formats/gif/gif_save.h"
#include "platform/headless_services.h"
#include "shell/command_ids.h"
#include "ui/services/progress_popup.h"
#include "ui/services/qt_services.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"
#include "ui_fixtures.h"

namespace lw {

namespace {

constexpr int kFrames = 600;

ProgressPopup* VisiblePopup() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* popup = qobject_cast<ProgressPopup*>(w); popup && popup->isVisible()) return popup;
  return nullptr;
}

}  // namespace

class BigOpenTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  uitest::PumpingServices services_;
  std::unique_ptr<MainWindow> window_;
  QString path_;

  FrameStrip* Strip() const { return window_->Strip(); }

  // Frames whose picture shows in the strip's viewport.
  std::vector<int> VisibleFrames() const {
    std::vector<int> shown;
    QRect view = Strip()->viewport()->rect();
    for (int i = 0; i < kFrames; ++i)
      if (Strip()->FrameImageRect(i).intersects(view)) shown.push_back(i);
    return shown;
  }

  // Pictures drawn by one full paint of the strip.
  int PaintNow() {
    int before = Strip()->PicturesDrawn();
    Strip()->viewport()->repaint();
    return Strip()->PicturesDrawn() - before;
  }

  // Opens the file with a timer running every millisecond; calls onTick at each tick that
  // comes before the document is there, that is while the file is being read. With release,
  // the read waits at its first report until release, asked after each such tick, says so.
  int OpenTicking(const std::function<void()>& onTick, int* ticksDuringRead,
                  const std::function<bool()>& release = nullptr) {
    QTimer timer;
    timer.setInterval(1);
    *ticksDuringRead = 0;
    std::atomic<bool> released{!release};
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (window_->Document()) return;
      ++*ticksDuringRead;
      if (onTick) onTick();
      if (release && release()) released = true;
    });
    std::atomic<int> reports{0};
    SetProgressReportHookForTests([&] {
      // Only the reading thread may wait: the interface thread must keep the ticks coming.
      if (reports++ > 0 || QThread::currentThread() == qApp->thread()) return;
      // A bound that only a broken event loop reaches; the checks then fail.
      QDeadlineTimer bound(std::chrono::seconds(30));
      while (!released && !bound.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    timer.start();
    QElapsedTimer clock;
    clock.start();
    int opened = window_->OpenDocument(path_.toStdString());
    SetProgressReportHookForTests(nullptr);
    qInfo("open of %d frames: %lld ms, %d ticks during the read", kFrames,
          static_cast<long long>(clock.elapsed()), *ticksDuringRead);
    return opened;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    uitest::StartWindowTests(dir_, services_);
    AnimationPtr a = uitest::MakeDocument(64, 48, 0);
    for (int i = 0; i < kFrames; ++i)
      uitest::AddFrame(*a, 0, 0, 64, 48, static_cast<uint8_t>(1 + i % 15), (i * 7) % 16, 1, 4);
    path_ = dir_.path() + "/long.gif";
    QVERIFY(SaveGifToFile(path_.toStdString(), *a, nullptr));
  }

  void cleanupTestCase() {
    window_.reset();
    uitest::EndWindowTests();
  }

  void init() {
    services_.Reset();
    window_ = std::make_unique<MainWindow>();
    window_->resize(420, 320);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() {
    if (window_ && window_->Modified()) services_.QueueAnswer(answer::No);
    window_.reset();
  }

  // Timers fire and the popup is on screen while the file is read; the whole file arrives.
  void eventsKeepTurningDuringTheRead() {
    bool popupSeen = false;
    int ticks = 0;
    QCOMPARE(OpenTicking([&] { popupSeen = popupSeen || VisiblePopup(); }, &ticks,
                         [&] { return ticks >= 3; }),
             1);
    QVERIFY(ticks >= 3);
    QVERIFY(popupSeen);
    QVERIFY(!VisiblePopup());
    QVERIFY(window_->Document());
    QCOMPARE(static_cast<int>(window_->Document()->frameCount), kFrames);
    QVERIFY(!window_->Modified());
  }

  // Esc in the popup stops the read: the frames read so far make an untitled document.
  void escInThePopupStopsTheRead() {
    int ticks = 0;
    bool sent = false;
    OpenTicking(
        [&] {
          if (ProgressPopup* popup = VisiblePopup(); popup && !sent) {
            sent = true;
            QTest::keyClick(popup, Qt::Key_Escape);
          }
        },
        &ticks, [&] { return sent; });
    QVERIFY(sent);
    Animation* doc = window_->Document();
    QVERIFY(doc);
    QVERIFY(doc->frameCount < kFrames);
    QVERIFY(window_->DocumentPath().empty());
    QVERIFY(!VisiblePopup());
  }

  // The first paint draws the pictures in view and no others; scrolling draws the newly shown
  // ones; repaints, selecting and scrolling back take pictures from the cache; a changed frame
  // is drawn again.
  void stripDrawsOnlyWhatItShows() {
    int ticks = 0;
    QCOMPARE(OpenTicking(nullptr, &ticks), 1);
    std::vector<int> shown = VisibleFrames();
    QVERIFY(!shown.empty());
    QElapsedTimer clock;
    clock.start();
    int drawn = PaintNow();
    qInfo("first paint: %lld us, %d pictures drawn, %d frames in view",
          static_cast<long long>(clock.nsecsElapsed() / 1000), drawn, int(shown.size()));
    // A line whose film edge alone shows is painted whole: at most one line more.
    QVERIFY2(drawn >= int(shown.size()) && drawn <= int(shown.size()) + Strip()->FramesPerLine(),
             qPrintable(QString::number(drawn)));
    QCOMPARE(PaintNow(), 0);

    QScrollBar* bar =
        Strip()->Direction() == 2 ? Strip()->verticalScrollBar() : Strip()->horizontalScrollBar();
    bar->setValue(bar->value() + Strip()->LinePitch() * 3);
    std::vector<int> later = VisibleFrames();
    int fresh = static_cast<int>(std::count_if(later.begin(), later.end(), [&](int i) {
      return std::find(shown.begin(), shown.end(), i) == shown.end();
    }));
    QVERIFY(fresh > 0);
    drawn = PaintNow();
    QVERIFY2(drawn >= fresh && drawn <= fresh + 2 * Strip()->FramesPerLine(),
             qPrintable(QString::number(drawn)));

    QTest::mouseClick(Strip()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      Strip()->FrameImageRect(later.front()).center());
    QCOMPARE(window_->CurrentFrame(), later.front());
    QCOMPARE(PaintNow(), 0);
    bar->setValue(0);
    QCOMPARE(PaintNow(), 0);

    Frame* first = FirstFrame(*window_->Document());
    first->bits()[0] = 3;
    Strip()->RedrawFrame(0);
    QCOMPARE(PaintNow(), 1);

    // A full scroll, a line at a time, with the cache bounded.
    clock.restart();
    int steps = 0;
    while (bar->value() < bar->maximum()) {
      bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      Strip()->viewport()->repaint();
      ++steps;
    }
    qInfo("full scroll: %lld ms in %d steps, %zu bytes of pictures kept",
          static_cast<long long>(clock.elapsed()), steps, Strip()->CachedPictureBytes());
    QVERIFY(Strip()->CachedPictureBytes() <= (8u << 20));
  }
};

}  // namespace lw

QTEST_MAIN(lw::BigOpenTest)
#include "big_open_test.moc"
