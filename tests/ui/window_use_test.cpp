// The window used as a user uses it: mouse events go through the top-level window, so mouse
// grabs and the routing between the strip and its viewport take part, as under a desktop.
#define QTEST_QPA_MOUSE_HANDLING
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>
#include <functional>
#include <memory>

#include "base/preferences.h"
#include "core/animation.h"
#include "core/gif_writer.h"
#include "formats/gif/gif_save.h"
#include "platform/headless_services.h"
#include "shell/command_ids.h"
#include "ui/services/qt_services.h"
#include "ui/window/application.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"
#include "ui/window/preview_window.h"
#include "ui/window/properties_bar.h"
#include "ui_fixtures.h"

namespace lw {

namespace {

std::vector<int> Order(const Animation& a) {
  std::vector<int> order;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) order.push_back(f->bits()[0]);
  return order;
}

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

void Wheel(QWidget* w, int delta) {
  QPoint centre = w->rect().center();
  QWheelEvent e(centre, w->mapToGlobal(centre), QPoint(), QPoint(0, delta), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
}

// Headless services whose open dialog the test answers.
class ChooserServices : public HeadlessServices {
 public:
  std::function<bool()> chooseFiles;
  bool ChooseFiles(WindowHandle, int, const std::vector<FileFilter>&, bool,
                   std::vector<std::string>*) override {
    return chooseFiles && chooseFiles();
  }
};

}  // namespace

class WindowUseTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  ChooserServices services_;
  std::unique_ptr<MainWindow> window_;

  QWidget* View() const { return window_->Strip()->viewport(); }
  QPoint At(int index) const { return window_->Strip()->FrameImageRect(index).center(); }

  // Frames of one colour each (the index + 1, modulo the palette), written and opened.
  void OpenFrames(uint32_t width, uint32_t height, int count, const char* name) {
    AnimationPtr a = uitest::MakeDocument(width, height, 0);
    for (int i = 0; i < count; ++i)
      uitest::AddFrame(*a, 0, 0, width, height, static_cast<uint8_t>(1 + i % 15), -1, 1, 10);
    QString path = dir_.path() + "/" + name;
    QVERIFY(SaveGifToFile(path.toStdString(), *a, nullptr));
    QCOMPARE(window_->OpenDocument(path.toStdString()), 1);
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    uitest::StartWindowTests(dir_, services_);
  }

  void cleanupTestCase() {
    window_.reset();
    uitest::EndWindowTests();
  }

  void init() {
    services_.Reset();
    services_.chooseFiles = nullptr;
    window_ = std::make_unique<MainWindow>();
    window_->resize(420, 320);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }

  void cleanup() {
    if (window_ && window_->Modified()) services_.QueueAnswer(answer::No);
    window_.reset();
  }

  // A drag ends on release and moves the frame; the strip answers clicks afterwards.
  void dragsAFrameThroughTheWindow() {
    OpenFrames(20, 10, 4, "quatre.gif");
    Animation* doc = window_->Document();
    window_->Command(cmd::OrientationHorizontal);
    QPoint from = At(2);
    QPoint to = window_->Strip()->FrameImageRect(0).topLeft() - QPoint(2, 0);
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(View(), from + QPoint(6, 0));
    QVERIFY(window_->Strip()->Dragging());
    QTest::mouseMove(View(), to);
    QCOMPARE(window_->Strip()->DropPosition(), 0);
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, to);
    QVERIFY(!window_->Strip()->Dragging());
    QCOMPARE(Order(*doc), (std::vector<int>{3, 1, 2, 4}));
    QCOMPARE(window_->CurrentFrame(), 0);
    QVERIFY(!QWidget::mouseGrabber());
    QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, At(3));
    QCOMPARE(window_->CurrentFrame(), 3);
    QCOMPARE(doc->selectedCount, 1u);
  }

  // "[Aucune]" in the properties bar's list clears the selection; the display modes keep the
  // custom colour for the next time it is chosen.
  void propertiesBarChoicesAndDisplayModes() {
    OpenFrames(20, 10, 4, "quatre.gif");
    Animation* doc = window_->Document();
    QComboBox* list = window_->Properties()->FrameList();
    list->setCurrentIndex(3);
    QCOMPARE(window_->CurrentFrame(), 2);
    QCOMPARE(doc->selectedCount, 1u);
    list->setCurrentIndex(0);
    QCOMPARE(doc->selectedCount, 0u);
    QCOMPARE(window_->CurrentFrame(), -1);
    QCOMPARE(window_->StatusPart(0), QStringLiteral("  Aucun des 4 cadres"));

    const uint32_t custom = 0x123456;
    SetPref(PrefTransparencyDisplay, (2u << 24) | custom);
    struct Case {
      int command;
      uint32_t mode;
    } cases[] = {{cmd::TransparencyAsWindow, 0},
                 {cmd::TransparencyAsFrameColour, 1},
                 {cmd::TransparencyAsWindow, 0}};
    for (const Case& c : cases) {
      window_->Command(c.command);
      QCOMPARE(GetPref(PrefTransparencyDisplay), (c.mode << 24) | custom);
      QVERIFY(window_->Action(c.command)->isChecked());
      QVERIFY(!window_->Action(cmd::TransparencyAsCustom)->isChecked());
    }
  }

  // The preview goes beside the main window, else where it hides the least, always on screen.
  void previewPlacement() {
    const QRect area(0, 0, 1400, 900);
    struct Case {
      QRect owner;
      QSize size;
      QPoint expected;
    } cases[] = {
        {{100, 100, 600, 400}, {300, 200}, {704, 100}},  // room on the right
        {{700, 100, 650, 400}, {300, 200}, {396, 100}},  // only on the left
        {{0, 0, 1400, 900}, {300, 200}, {1100, 700}},    // maximized: lower right corner
        {{100, 800, 500, 300}, {300, 200}, {604, 700}},  // owner hanging below the screen
        {{100, 100, 600, 400}, {300, 1000}, {704, 0}},   // taller than the screen
        {{-500, 50, 600, 400}, {300, 200}, {104, 50}},   // owner partly off to the left
    };
    for (const Case& c : cases) QCOMPARE(PreviewPosition(c.owner, c.size, area), c.expected);

    // Opened from the window, it does not cover the main window.
    OpenFrames(20, 10, 4, "quatre.gif");
    window_->move(20, 20);
    window_->Command(cmd::Preview);
    QVERIFY(window_->Preview());
    QVERIFY(!window_->Preview()->frameGeometry().intersects(window_->frameGeometry()));
    window_->Command(cmd::Preview);
  }

  // Open with the preview playing: the document goes before the file chooser shows, and the
  // preview goes with it, while the chooser's event loop runs.
  void openingAnotherFileClosesThePreview() {
    OpenFrames(20, 10, 4, "quatre.gif");
    window_->Command(cmd::Preview);
    QVERIFY(window_->Preview());
    QTest::qWait(50);
    QVERIFY(window_->Preview()->Playing());
    bool asked = false;
    services_.chooseFiles = [&] {
      asked = true;
      // A dialog's own loop: timers fire, deferred deletions wait.
      QEventLoop loop;
      QTimer::singleShot(300, &loop, &QEventLoop::quit);
      loop.exec();
      return false;
    };
    // From the program's own loop, as a menu command runs.
    QEventLoop program;
    QTimer::singleShot(0, &program, [&] {
      window_->Command(cmd::FileOpen);
      program.quit();
    });
    program.exec();
    QVERIFY(asked);
    QVERIFY(!window_->Preview());
    QVERIFY(!window_->Document());
  }

  // Fractions of a notch add up; the bar that scrolls follows the layout.
  void wheelScrollsTheBarOfTheLayout() {
    OpenFrames(40, 20, 80, "quatre-vingts.gif");
    FrameStrip* strip = window_->Strip();
    struct Case {
      int orientation;
      QScrollBar* bar;
    } cases[] = {{cmd::OrientationHorizontal, strip->verticalScrollBar()},
                 {cmd::OrientationVertical, strip->horizontalScrollBar()}};
    for (const Case& c : cases) {
      window_->Command(c.orientation);
      QVERIFY(c.bar->maximum() > 4 * c.bar->singleStep());
      c.bar->setValue(0);
      for (int i = 0; i < 3; ++i) Wheel(View(), -30);
      QCOMPARE(c.bar->value(), 0);
      Wheel(View(), -30);  // the fourth quarter makes a notch: one line down
      QCOMPARE(c.bar->value(), c.bar->singleStep());
      Wheel(View(), -240);
      QCOMPARE(c.bar->value(), 3 * c.bar->singleStep());
      Wheel(View(), -60);  // half a notch down, then a notch up: the half is dropped
      Wheel(View(), 120);
      QCOMPARE(c.bar->value(), 2 * c.bar->singleStep());
    }
  }

  // A screen too large for memory: the window shows the memory message instead of taking
  // gigabytes for the strip's pictures or the preview's.
  void aHugeScreenShowsTheMemoryMessage() {
    long before = PeakMegabytes();
    AnimationPtr a = uitest::MakeDocument(65535, 65535, 0);
    uitest::AddFrame(*a, 0, 0, 2, 2, 1, -1, 1, 10);
    uitest::AddFrame(*a, 3, 3, 2, 2, 2, -1, 1, 10);
    QString path = dir_.path() + "/immense.gif";
    QVERIFY(SaveGifToFile(path.toStdString(), *a, nullptr));
    QCOMPARE(window_->OpenDocument(path.toStdString()), 1);
    window_->Strip()->viewport()->repaint();
    QTest::qWait(50);
    window_->Command(cmd::Preview);
    QTest::qWait(50);
    window_->Strip()->viewport()->repaint();
    const std::string memory = "Ressources système insuffisantes pour afficher un aperçu.";
    int shown = 0;
    for (const ShownMessage& m : services_.Messages()) shown += m.text == memory;
    QCOMPARE(shown, 2);  // once for the strip, once for the preview
    QVERIFY(!window_->Preview());
    QVERIFY2(PeakMegabytes() - before < 512, qPrintable(QString::number(PeakMegabytes() - before)));
  }

  // Qt's own dialogs and buttons speak the program's language.
  void qtDialogsSpeakFrench() {
    QVERIFY(LoadQtFrenchTexts());
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Open);
    struct Case {
      QString shown, french;
    } cases[] = {
        {buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Annuler")},
        {buttons.button(QDialogButtonBox::Open)->text(), QStringLiteral("Ouvrir")},
        {QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Voir dans :")},
        {QCoreApplication::translate("QColorDialog", "Select Color"),
         QStringLiteral("Sélectionner une couleur")},
    };
    for (const Case& c : cases) QCOMPARE(QString(c.shown).remove(QLatin1Char('&')), c.french);
  }
};

}  // namespace lw

QTEST_MAIN(lw::WindowUseTest)
#include "window_use_test.moc"
