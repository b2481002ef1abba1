// The window used through the window system: mouse events go to the top-level window, so mouse
// grabs and the routing between the strip and its viewport take part, as under a desktop.
#define QTEST_QPA_MOUSE_HANDLING
#include <sys/resource.h>

#include "support/window_driver.h"

namespace lw::test {

class WindowUseTest : public UiTest {
  Q_OBJECT

  QWidget* View() const { return window->Strip()->viewport(); }
  QPoint At(int index) const { return window->Strip()->FrameImageRect(index).center(); }

  // Frames of one colour each (the index + 1, modulo the palette), written and opened.
  bool OpenFrames(uint32_t width, uint32_t height, int count) {
    AnimationPtr a = MakeDocument(width, height, BrightPalette());
    for (int i = 0; i < count; ++i) AddSquareFrame(*a, 0, 0, width, height, 1 + i % 15, -1);
    return OpenGif(*a, QString("cadres%1.gif").arg(count));
  }

 private slots:
  void initTestCase() { QVERIFY(StartUi()); }
  void cleanupTestCase() { EndUi(); }
  void init() { QVERIFY(OpenWindow(420, 320)); }
  void cleanup() { CloseWindow(); }

  // A drag ends on release and moves the frame; the strip answers clicks afterwards.
  void dragsAFrameThroughTheWindow() {
    QVERIFY(OpenFrames(20, 10, 4));
    window->Command(cmd::OrientationHorizontal);
    const QPoint from = At(2), to = window->Strip()->FrameImageRect(0).topLeft() - QPoint(2, 0);
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(View(), from + QPoint(6, 0));
    QVERIFY(window->Strip()->Dragging());
    QTest::mouseMove(View(), to);
    QCOMPARE(window->Strip()->DropPosition(), 0);
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, to);
    QVERIFY(!window->Strip()->Dragging());
    QCOMPARE(FrameNumbers(*window->Document()), (std::vector<int>{3, 1, 2, 4}));
    QVERIFY(!QWidget::mouseGrabber());
    QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, At(3));
    QCOMPARE(window->CurrentFrame(), 3);
    QCOMPARE(window->Document()->selectedCount, 1u);
  }

  // Opened from the window, the preview does not cover it; Open with the preview playing
  // closes both while the chooser's own loop runs.
  void previewBesideTheWindowAndClosedByOpen() {
    QVERIFY(OpenFrames(20, 10, 4));
    window->move(20, 20);
    window->Command(cmd::Preview);
    QVERIFY(window->Preview());
    QVERIFY(!window->Preview()->frameGeometry().intersects(window->frameGeometry()));
    QTRY_VERIFY(window->Preview()->Playing());
    // From the program's own loop, as a menu command runs, into the chooser's own loop: timers
    // fire there, deferred deletions wait.
    bool asked = false;
    SetServices(&DesktopServices());
    SetDialogs(&DesktopServices());
    QEventLoop program;
    QTimer::singleShot(0, &program, [&] {
      asked = WithModal<QFileDialog>([&] { window->Command(cmd::FileOpen); },
                                     [](QFileDialog* chooser) {
                                       QTest::qWait(300);
                                       chooser->reject();
                                     });
      program.quit();
    });
    program.exec();
    InstallScripted(&services);
    QVERIFY(asked);
    QVERIFY(!window->Preview());
    QVERIFY(!window->Document());
  }

  // A screen too large for memory: the memory message, once for the strip and once for the
  // preview, instead of gigabytes taken for their pictures.
  void aHugeScreenShowsTheMemoryMessage() {
    auto peakMegabytes = [] {
      rusage usage{};
      getrusage(RUSAGE_SELF, &usage);
      return usage.ru_maxrss / 1024;
    };
    const long before = peakMegabytes();
    AnimationPtr a = MakeDocument(65535, 65535, BrightPalette());
    AddSquareFrame(*a, 0, 0, 2, 2, 1, -1);
    AddSquareFrame(*a, 3, 3, 2, 2, 2, -1);
    QVERIFY(OpenGif(*a, "immense.gif"));
    View()->repaint();
    window->Command(cmd::Preview);
    View()->repaint();
    const std::string memory = "Ressources système insuffisantes pour afficher un aperçu.";
    auto shown = [&] {
      const std::vector<std::string> texts = services.Texts();
      return std::count(texts.begin(), texts.end(), memory);
    };
    QTRY_COMPARE(shown(), 2);
    QVERIFY(!window->Preview());
    QVERIFY2(peakMegabytes() - before < 512, qPrintable(QString::number(peakMegabytes() - before)));
  }
};

LW_UI_TEST(WindowUseTest)

}  // namespace lw::test

#include "window_use_test.moc"
