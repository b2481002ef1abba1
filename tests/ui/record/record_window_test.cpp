// "Enregistrer l’écran..." used through the window, on a private X server that a window of known
// colours is drawn on: a region dragged on the frozen screen, the recording started at once,
// paused, resumed and stopped from its control; the recording then opens as a document holding
// what the screen showed while it ran, and the next dialog offers the region again, in a later
// run too. A recording of the whole screen hides the control and stops on Ctrl+Alt+S.
#include <QProcess>

#include "core/animation.h"
#include "core/frame_viewer.h"
#include "support/window_driver.h"
#include "support/x_server.h"
#include "ui/dialogs/record_dialog.h"

namespace lw::test {

class RecordWindowTest : public UiTest {
  Q_OBJECT

  std::unique_ptr<XServer> server;

  // Steps run in turn from the event loop, each when it can act: it returns false until then.
  // The recording's own loops keep turning while they run, as a user's clicks would.
  struct Script {
    std::vector<std::function<bool()>> steps;
    size_t next = 0;
    QTimer timer;
    QElapsedTimer started;
    explicit Script(std::vector<std::function<bool()>> s) : steps(std::move(s)) {
      timer.setInterval(10);
      QObject::connect(&timer, &QTimer::timeout, [this] {
        if (next < steps.size() && steps[next]()) ++next;
        // Stuck for a minute: the control is stopped so that the test ends, and fails.
        if (next < steps.size() && started.elapsed() > 60000)
          if (auto* stop = Control() ? Control()->findChild<QPushButton*>("stop") : nullptr)
            stop->click();
      });
      started.start();
      timer.start();
    }
    bool Done() const { return next == steps.size(); }
  };

  static QWidget* TopLevel(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String(name) && w->isVisible()) return w;
    return nullptr;
  }
  static QWidget* Control() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String("recordControl")) return w;
    return nullptr;
  }
  static RecordDialog* Dialog() {
    auto* d = qobject_cast<RecordDialog*>(QApplication::activeModalWidget());
    return d && d->isVisible() ? d : nullptr;
  }
  // The frames the control counts, and whether it records (its Pause can be pressed).
  static int CountedFrames() {
    QWidget* c = Control();
    auto* frames = c ? c->findChild<QLabel*>("frames") : nullptr;
    return frames ? frames->text().section(QLatin1Char(' '), 0, 0).toInt() : -1;
  }
  static bool Recording() {
    QWidget* c = Control();
    auto* pause = c ? c->findChild<QPushButton*>("pause") : nullptr;
    return pause && pause->isEnabled();
  }
  // Clicks the button from the event loop, so that a loop it opens does not hold the script.
  static bool Press(QWidget* parent, const char* name) {
    return Press(parent ? parent->findChild<QAbstractButton*>(name) : nullptr);
  }
  static bool Press(QAbstractButton* button) {
    if (!button) return false;
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    return true;
  }

  // The colour frame `index` of the document shows at (x, y).
  static QRgb ShownAt(const Animation& a, int index, int x, int y) {
    FrameViewer viewer;
    if (!PrepareViewer(&viewer, &a, a.screenWidth, a.screenHeight)) return 0;
    ShowPictureUpTo(&viewer, index + 1, true);
    const PixelView view = ViewerPicture(&viewer);
    return view.pixels[y * view.stride + x] & 0xFFFFFF;
  }

 private slots:
  void initTestCase() {
    // The X server is as large as the screen the window's toolkit works on.
    const QSize size = QGuiApplication::primaryScreen()->size();
    server = std::make_unique<XServer>(
        QString("%1x%2x24").arg(size.width()).arg(size.height()).toStdString());
    if (server->Display().empty()) QSKIP("Xvfb did not start");
    setenv("DISPLAY", server->Display().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");  // run from a Wayland desktop, the tests still record this server
    QVERIFY(StartUi());
  }
  void cleanupTestCase() {
    EndUi();
    server.reset();
  }
  void init() { QVERIFY(OpenWindow(320, 200)); }
  void cleanup() { CloseWindow(); }

  // The region 200 x 150 at 100,80 over the window of colours, dragged on the frozen screen;
  // recorded without a countdown while the window shows 1, 2, 3; paused while it shows 50;
  // resumed on 4; stopped. The document holds 1, 2, 3, 4 in that order and never 50; the control
  // stood outside the region; the next dialog, in this run and in a later one, offers the region.
  // Each of the dialog's letters leads to one place.
  void aRegionIsRecordedPausedAndStoppedFromTheWindow() {
    ColourWindow colours(server->Display(), 100, 80, 200, 150);
    QVERIFY(colours.Ready());
    colours.Show(1);
    const QRect region(100, 80, 200, 150);
    QRect controlAt;
    QString areaShown;
    QElapsedTimer paused;
    QStringList sharedLetters;
    uint32_t shown = 1;
    auto showNext = [&](uint32_t value) {
      colours.Show(value);
      shown = value;
      return true;
    };
    Script script({
        [&] {
          RecordDialog* d = Dialog();
          if (!d) return false;
          sharedLetters = SharedLetters(d);
          d->findChild<QCheckBox*>("countdown")->setChecked(false);
          return Press(d, "chooseRegion");
        },
        [&] {
          QWidget* chooser = TopLevel("areaChooser");
          if (!chooser) return false;
          // Released on the first pixel past the region, which is left out.
          Drag(chooser, region.topLeft(), region.topLeft() + QPoint(200, 150), 4);
          return true;
        },
        [&] {
          RecordDialog* d = Dialog();
          if (!d) return false;
          areaShown = d->findChild<QLabel*>("areaText")->text();
          return Press(BoxButton(d));
        },
        [&] {
          if (!Recording()) return false;
          controlAt = Control()->frameGeometry();
          return true;
        },
        [&] { return CountedFrames() >= 1 && showNext(2); },
        [&] { return CountedFrames() >= 2 && showNext(3); },
        [&] { return CountedFrames() >= 3 && Press(Control(), "pause"); },
        [&] {
          if (Control()->findChild<QPushButton*>("pause")->text() != "Reprendre") return false;
          paused.start();
          return showNext(50);
        },
        // Several capture steps pass on purpose while the screen shows what is left out.
        [&] { return paused.elapsed() > 400 && showNext(4) && Press(Control(), "pause"); },
        [&] { return CountedFrames() >= 4 && Press(Control(), "stop"); },
    });
    window->Command(cmd::RecordScreen);
    QVERIFY2(script.Done(), qPrintable(QString("stuck at step %1").arg(script.next + 1)));
    QVERIFY2(sharedLetters.isEmpty(), qPrintable(sharedLetters.join("; ")));
    QCOMPARE(areaShown, QString::fromUtf8("200 x 150 pixels à 100,80"));
    QVERIFY(!controlAt.isEmpty());
    QVERIFY(!controlAt.intersects(region));

    const Animation* recording = window->Document();
    QVERIFY(recording);
    QCOMPARE(recording->screenWidth, 200u);
    QCOMPARE(recording->screenHeight, 150u);
    QCOMPARE(recording->frameCount, 4);
    for (int i = 0; i < 4; ++i)
      QCOMPARE(ShownAt(*recording, i, 100, 75), ValueColour(static_cast<uint32_t>(i + 1)));

    // Offered again, in this run, then in a later one that reads the settings afresh.
    for (bool laterRun : {false, true}) {
      if (laterRun) {
        ResetSettingsStore();
        LoadPreferences();
      }
      QString offered;
      QVERIFY(WithModal<RecordDialog>([&] { window->Command(cmd::RecordScreen); },
                                      [&](RecordDialog* d) {
                                        QVERIFY(d->findChild<QRadioButton*>("region")->isChecked());
                                        offered = d->findChild<QLabel*>("areaText")->text();
                                        d->reject();
                                      }));
      QCOMPARE(offered, areaShown);
    }
  }

  // The whole screen: the control shows no longer once recording starts, and Ctrl+Alt+S, pressed
  // on the X server whichever window has the focus, stops; the recording is the whole screen.
  void theWholeScreenHidesTheControlAndStopsOnItsKey() {
    ColourWindow colours(server->Display(), 10, 10, 50, 40);
    QVERIFY(colours.Ready());
    colours.Show(7);
    bool hidden = false, keySent = false;
    QString note;
    Script script({
        [&] {
          RecordDialog* d = Dialog();
          if (!d) return false;
          d->findChild<QRadioButton*>("screen")->click();
          d->findChild<QCheckBox*>("countdown")->setChecked(false);
          auto* label = d->findChild<QLabel*>("hiddenNote");
          note = label->isVisibleTo(d) ? label->text() : QString();
          return Press(BoxButton(d));
        },
        [&] {
          if (!Recording() || CountedFrames() < 1) return false;
          hidden = !Control()->isVisible();
          QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
          env.insert("DISPLAY", QString::fromStdString(server->Display()));
          QProcess key;
          key.setProcessEnvironment(env);
          key.start("xdotool", {"key", "ctrl+alt+s"});
          keySent = key.waitForFinished(10000) && key.exitCode() == 0;
          return true;
        },
    });
    window->Command(cmd::RecordScreen);
    QVERIFY2(script.Done(), qPrintable(QString("stuck at step %1").arg(script.next + 1)));
    QVERIFY(keySent);
    QVERIFY(hidden);
    QVERIFY(note.contains("Ctrl+Alt+S"));
    const Animation* recording = window->Document();
    QVERIFY(recording);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    QCOMPARE(recording->screenWidth, static_cast<uint32_t>(screen.width()));
    QCOMPARE(recording->screenHeight, static_cast<uint32_t>(screen.height()));
    QCOMPARE(ShownAt(*recording, 0, 30, 30), ValueColour(7));
  }

  // A Wayland session without an X server, where the desktop's portal asks which window to share:
  // "Une fenêtre": the window clicked on the frozen screen is the one the X server shows there,
  // its area in the screen's pixels, also when the picture has two of them a point. Catches the
  // click compared with the windows in points, and the root window taken for one.
  void aWindowIsChosenWithAClick() {
    ColourWindow colours(server->Display(), 100, 80, 200, 150);
    QVERIFY(colours.Ready());
    colours.Show(1);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    for (const qreal ratio : {1.0, 2.0}) {
      QPixmap picture(screen);
      picture.fill(Qt::gray);
      picture.setDevicePixelRatio(ratio);
      AreaChooser chooser(picture, true);
      const QPointF inside = QPointF(150, 120) / ratio, outside = QPointF(20, 20) / ratio;
      QTimer::singleShot(300, &chooser, [&] {
        Click(&chooser, outside);  // the root window: nothing
        Click(&chooser, inside);
      });
      // A click that picks nothing would leave the chooser waiting: Esc ends it, and the test
      // fails.
      QTimer::singleShot(3000, &chooser, [&] { QTest::keyClick(&chooser, Qt::Key_Escape); });
      CaptureArea area;
      QVERIFY(chooser.Choose(&area));
      QCOMPARE(area, (CaptureArea{100, 80, 200, 150}));
    }
  }

  // Under Wayland, also with the X server the desktop runs for older programs ($DISPLAY set, as
  // here), "Une fenêtre" and "Une région" start without the chooser, which needs a frozen picture
  // of the screen that such a session does not give: the portal asks for the window, and the
  // region is drawn on the shared screen. A region kept from an X11 session is not offered, and
  // the whole screen does not promise a hidden control stopped by a key no one listens to.
  void underWaylandTheWindowIsChosenInThePortal() {
    setenv("WAYLAND_DISPLAY", "wayland-test", 1);
    RecordChoice last;
    last.source = RecordChoice::Region;
    last.area = {10, 10, 50, 50};
    int results[2] = {};
    RecordChoice chosen[2];
    for (int k = 0; k < 2; ++k) {
      RecordDialog dialog(nullptr, last, false);
      if (k == 1)
        if (auto* window = dialog.findChild<QRadioButton*>("window")) window->click();
      // Were the chooser opened, it would wait for a drag: Esc leaves it, and the dialog stays.
      QTimer::singleShot(2000, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (qobject_cast<AreaChooser*>(w) && w->isVisible()) QTest::keyClick(w, Qt::Key_Escape);
      });
      dialog.accept();
      results[k] = dialog.result();
      chosen[k] = dialog.Choice();
    }
    RecordDialog whole(nullptr, RecordChoice{}, false);
    auto* note = whole.findChild<QLabel*>("hiddenNote");
    const bool hiddenControlPromised = note && note->isVisibleTo(&whole);
    unsetenv("WAYLAND_DISPLAY");
    QVERIFY(!hiddenControlPromised);
    for (int k = 0; k < 2; ++k) QCOMPARE(results[k], static_cast<int>(QDialog::Accepted));
    QCOMPARE(chosen[0].source, RecordChoice::Region);
    QCOMPARE(chosen[0].area, CaptureArea{});
    QCOMPARE(chosen[1].source, RecordChoice::OneWindow);
  }

  // Under Wayland a region is drawn on the first picture of the shared screen, here one with
  // twice the screen's pixels each way, shown whole: the chooser shows that picture, its colours
  // right and each point where its pixels fall, and the region comes back in its pixels. Catches
  // the picture's channels swapped, the highlighted part taken from the wrong place of a picture
  // larger than the screen, and the region given in the chooser's points.
  void underWaylandARegionIsDrawnOnTheSharedPicture() {
    // A gradient: red follows x, green follows y, blue is constant.
    class Gradient : public ScreenCapture {
     public:
      Gradient(uint32_t w, uint32_t h) : w_(w), h_(h) {}
      uint32_t ScreenWidth() const override { return w_; }
      uint32_t ScreenHeight() const override { return h_; }
      CaptureError Grab(const CaptureArea& a, bool, std::vector<uint8_t>* bgr) override {
        const size_t stride = RgbStride(a.width);
        bgr->assign(stride * a.height, 0);
        for (uint32_t y = 0; y < a.height; ++y)
          for (uint32_t x = 0; x < a.width; ++x) {
            uint8_t* p = bgr->data() + y * stride + 3 * x;
            const QRgb c = At(a.x + static_cast<int>(x), a.y + static_cast<int>(y));
            p[0] = static_cast<uint8_t>(qBlue(c));
            p[1] = static_cast<uint8_t>(qGreen(c));
            p[2] = static_cast<uint8_t>(qRed(c));
          }
        return CaptureError::None;
      }
      static QRgb At(int x, int y) { return qRgb(x / 4 % 256, y / 4 % 256, 0x40); }

     private:
      uint32_t w_, h_;
    };
    const QSize screen = QGuiApplication::primaryScreen()->size();
    Gradient capture(2 * screen.width(), 2 * screen.height());
    const QPoint from(100, 60), to(300, 210), inside(250, 180);
    QImage shown;
    QTimer::singleShot(300, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!qobject_cast<AreaChooser*>(w) || !w->isVisible()) continue;
        Mouse(w, QEvent::MouseButtonPress, from);
        Mouse(w, QEvent::MouseMove, to);
        shown = w->grab().toImage();
        Mouse(w, QEvent::MouseButtonRelease, to);
      }
    });
    CaptureArea area;
    CaptureError error = CaptureError::GrabFailed;
    QVERIFY(DrawRegionOnCapture(capture, &area, &error));
    QCOMPARE(error, CaptureError::None);
    QCOMPARE(area, (CaptureArea{200, 120, 400, 300}));
    QVERIFY(!shown.isNull());
    const QRgb expected = Gradient::At(2 * inside.x(), 2 * inside.y()), got = shown.pixel(inside);
    QVERIFY2(std::abs(qRed(got) - qRed(expected)) <= 1 &&
                 std::abs(qGreen(got) - qGreen(expected)) <= 1 && qBlue(got) == qBlue(expected),
             qPrintable(QString::number(got, 16) + " shown, " + QString::number(expected, 16) +
                        " in the picture"));
  }
};

LW_UI_TEST(RecordWindowTest)

}  // namespace lw::test

#include "record_window_test.moc"
