// A long animation opened through the window: the event loop keeps turning while the file is
// read, Esc in the popup stops the read, and the strip draws only the pictures it shows. The read
// is held at its first report until the test has seen what it checks, so that a fast machine
// cannot finish it before the first timer tick.

#include "support/window_driver.h"
#include "ui/services/progress_popup.h"

namespace lw::test {

namespace {

constexpr int kFrames = 600;

ProgressPopup* VisiblePopup() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* popup = qobject_cast<ProgressPopup*>(w); popup && popup->isVisible()) return popup;
  return nullptr;
}

}  // namespace

class BigOpenTest : public UiTest {
  Q_OBJECT

  std::string path_;

  FrameStrip* Strip() const { return window->Strip(); }

  std::vector<int> VisibleFrames() const {
    std::vector<int> shown;
    for (int i = 0; i < kFrames; ++i)
      if (Strip()->FrameImageRect(i).intersects(Strip()->viewport()->rect())) shown.push_back(i);
    return shown;
  }

  // Pictures drawn by one full paint of the strip.
  int PaintNow() {
    const int before = Strip()->PicturesDrawn();
    Strip()->viewport()->repaint();
    return Strip()->PicturesDrawn() - before;
  }

  // Opens the file with a timer ticking every millisecond; onTick runs at each tick before the
  // document is there. With release, the read waits at its first report until release says so.
  int OpenTicking(const std::function<void()>& onTick, int* ticks,
                  const std::function<bool()>& release = nullptr) {
    QTimer timer;
    timer.setInterval(1);
    *ticks = 0;
    std::atomic<bool> released{!release};
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (window->Document()) return;
      ++*ticks;
      if (onTick) onTick();
      if (release && release()) released = true;
    });
    std::atomic<int> reports{0};
    HoldFirstReport(released, reports);
    timer.start();
    const int opened = window->OpenDocument(path_);
    SetProgressReportHookForTests(nullptr);
    return opened;
  }

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    services.onPump = [] { DesktopServices().PumpEvents(); };
    AnimationPtr a = MakeDocument(64, 48, BrightPalette());
    for (int i = 0; i < kFrames; ++i)
      AddSquareFrame(*a, 0, 0, 64, 48, 1 + i % 15, (i * 7) % 16, 1, 4);
    path_ = WriteGif(*a, "long.gif");
    QVERIFY(!path_.empty());
  }
  void cleanupTestCase() { EndUi(); }
  void init() { QVERIFY(OpenWindow(420, 320)); }
  void cleanup() { CloseWindow(); }

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
    QCOMPARE(int(window->Document()->frameCount), kFrames);
    QVERIFY(!window->Modified());
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
    QVERIFY(window->Document() && window->Document()->frameCount < kFrames);
    QVERIFY(window->DocumentPath().empty());
    QVERIFY(!VisiblePopup());
  }

  // The first paint draws the pictures in view and no others; scrolling draws the newly shown
  // ones; repaints and scrolling back take them from the cache; a changed frame is drawn
  // again; the cache stays bounded over a full scroll.
  void stripDrawsOnlyWhatItShows() {
    int ticks = 0;
    QCOMPARE(OpenTicking(nullptr, &ticks), 1);
    const std::vector<int> shown = VisibleFrames();
    QVERIFY(!shown.empty());
    int drawn = PaintNow();
    // A line whose film edge alone shows is painted whole: at most one line more.
    QVERIFY2(drawn >= int(shown.size()) && drawn <= int(shown.size()) + Strip()->FramesPerLine(),
             qPrintable(QString::number(drawn)));
    QCOMPARE(PaintNow(), 0);

    QScrollBar* bar =
        Strip()->Direction() == 2 ? Strip()->verticalScrollBar() : Strip()->horizontalScrollBar();
    bar->setValue(bar->value() + Strip()->LinePitch() * 3);
    const std::vector<int> later = VisibleFrames();
    const int fresh = int(std::count_if(later.begin(), later.end(), [&](int i) {
      return std::find(shown.begin(), shown.end(), i) == shown.end();
    }));
    QVERIFY(fresh > 0);
    drawn = PaintNow();
    QVERIFY2(drawn >= fresh && drawn <= fresh + 2 * Strip()->FramesPerLine(),
             qPrintable(QString::number(drawn)));
    bar->setValue(0);
    QCOMPARE(PaintNow(), 0);
    FirstFrame(*window->Document())->bits()[0] = 3;
    Strip()->RedrawFrame(0);
    QCOMPARE(PaintNow(), 1);

    while (bar->value() < bar->maximum()) {
      bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      Strip()->viewport()->repaint();
    }
    QVERIFY(Strip()->CachedPictureBytes() <= (8u << 20));
  }
};

LW_UI_TEST(BigOpenTest)

}  // namespace lw::test

#include "big_open_test.moc"
