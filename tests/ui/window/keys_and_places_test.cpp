// Where the keys go after an opening and in the toolbar's fields, the files of one command line,
// a place saved on a larger screen, and a help page that no browser opens.
#include <QFileInfo>
#include <fstream>

#include "shell/frame_edit.h"
#include "support/window_driver.h"
#include "ui/window/application.h"

namespace lw::test {

class KeysAndPlacesTest : public UiTest {
  Q_OBJECT

  std::string gif_;

  Animation& Doc() const { return *window->Document(); }
  QString MenuText(int command) const { return window->Action(command)->text(); }

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    // Three 20 x 10 frames of colours 1 to 3, delays 10, 20, 30.
    AnimationPtr a = MakeDocument(20, 10, BrightPalette());
    for (int i = 1; i <= 3; ++i)
      AddFrame(*a, 0, 0, 20, 10, std::vector<uint8_t>(200, uint8_t(i)), 0, -1, 10 * i);
    gif_ = WriteGif(*a, "trois.gif");
    QVERIFY(!gif_.empty());
  }
  void cleanupTestCase() { EndUi(); }
  void init() { QVERIFY(OpenWindow(700, 420)); }
  void cleanup() { CloseWindow(); }

  // Once a file is open the frames have the keys: Suppr deletes the current frame rather than
  // the loop count's digit, and the arrows move between frames.
  void openingGivesTheKeysToTheFrames() {
    // As from the command line: the file is read while the window comes up.
    window = std::make_unique<MainWindow>();
    QCOMPARE(window->OpenDocument(gif_), 1);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window->Strip()));
    window->SetCurrentFrame(0);
    // The next frame is to the right in rows, below in columns.
    QTest::keyClick(QApplication::focusWidget(),
                    window->Strip()->Direction() == 2 ? Qt::Key_Right : Qt::Key_Down);
    QCOMPARE(window->CurrentFrame(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{1, 3}));
    QCOMPARE(window->Properties()->LoopEdit()->text(), QStringLiteral("0"));
  }

  // Ctrl+Z in the delay field after Enter undoes the typed delay as the window's step, and
  // Ctrl+Y (or Ctrl+Shift+Z) brings it back: the field's own history never becomes a new step.
  void undoAndRedoInTheDelayFieldMirrorEachOther() {
    QCOMPARE(window->OpenDocument(gif_), 1);
    window->SelectFrame(1, selmode::Only);
    QLineEdit* delay = window->Properties()->DelayEdit();
    QTest::mouseClick(delay, Qt::LeftButton);
    delay->selectAll();
    QTest::keyClicks(delay, "125");
    QTest::keyClick(delay, Qt::Key_Return);
    QCOMPARE(FrameAt(Doc(), 1)->delay, 125u);
    for (auto redo : {QKeyCombination(Qt::ControlModifier, Qt::Key_Y),
                      QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z)}) {
      QTest::keyClick(delay, Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(FrameAt(Doc(), 1)->delay, 20u);
      QCOMPARE(delay->text(), QStringLiteral("20"));
      QCOMPARE(CanUndoKind(), UndoKind::None);
      QCOMPARE(CanRedoKind(), UndoKind::EditDurations);
      QVERIFY(MenuText(cmd::Redo).contains(QStringLiteral("Rééditer la durée")));
      QTest::keyClick(delay, redo.key(), redo.keyboardModifiers());
      QCOMPARE(FrameAt(Doc(), 1)->delay, 125u);
      QCOMPARE(delay->text(), QStringLiteral("125"));
      QCOMPARE(CanRedoKind(), UndoKind::None);
    }
    // With nothing left to redo the key does nothing at all.
    QTest::keyClick(delay, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(History().count, 1u);
    QCOMPARE(FrameAt(Doc(), 1)->delay, 125u);
  }

  // The first file opens here; each other one gets a program of its own, and one that cannot
  // be started is named.
  void everyFileOfTheCommandLineOpens() {
    std::vector<std::vector<std::string>> started;
    const std::string second = Path("deux.gif"), third = Path("autre.gif");
    OpenCommandLineFiles(*window, {gif_, second, third}, [&](const std::vector<std::string>& argv) {
      started.push_back(argv);
      return argv.back() != third;
    });
    QCOMPARE(window->DocumentPath(), gif_);
    QCOMPARE(started.size(), size_t{2});
    QCOMPARE(started[0].size(), size_t{2});
    QVERIFY(QFileInfo(QString::fromStdString(started[0][0])).isExecutable());
    QCOMPARE(started[0][1], second);
    QCOMPARE(started[1][1], third);
    QCOMPARE(services.Texts().size(), size_t{1});
    QVERIFY(services.Texts()[0].find("autre.gif") != std::string::npos);
  }

  // A place saved on a screen larger than this one: the window comes up whole on this one.
  void aPlaceFromALargerScreenFits() {
    window.reset();
    const QRect area = QApplication::primaryScreen()->availableGeometry();
    WindowPlacement saved;
    saved.normalPosition = {area.left() + 300, area.top() + 200, area.left() + 300 + 1400,
                            area.top() + 200 + 900};
    QVERIFY(SaveWindowPlacement(saved));
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QApplication::processEvents();
    QVERIFY2(area.contains(window->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                    .arg(window->x())
                                                                    .arg(window->y())
                                                                    .arg(window->width())
                                                                    .arg(window->height())));
    // A place that fits is kept as it was, the inside where it was (not the frame).
    window.reset();
    saved.normalPosition = {area.left() + 20, area.top() + 30, area.left() + 420, area.top() + 330};
    QVERIFY(SaveWindowPlacement(saved));
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QApplication::processEvents();
    QCOMPARE(window->geometry(), QRect(area.left() + 20, area.top() + 30, 400, 300));
  }

  // F1 through xdg-open (a stand-in here): one that finds no browser has the window say so
  // and where the page is; one that opens it says nothing.
  void helpWithoutABrowserSaysSo() {
    const QString share = dir.path() + "/partage", tools = dir.path() + "/outils";
    const QString asked = tools + "/ouvertes", opener = tools + "/xdg-open";
    QVERIFY(QDir().mkpath(share + "/aide") && QDir().mkpath(tools));
    std::ofstream((share + "/aide/loopwright.html").toStdString()) << "<html></html>";
    const QByteArray oldPath = qgetenv("PATH"), oldShare = qgetenv("LOOPWRIGHT_SHARE");
    qputenv("LOOPWRIGHT_SHARE", share.toUtf8());
    qputenv("PATH", (tools + ":" + oldPath).toUtf8());
    auto lines = [&] {
      QFile file(asked);
      return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
    };
    for (int code : {0, 3}) {
      {
        std::ofstream script(opener.toStdString());
        script << "#!/bin/sh\necho \"$1\" >> '" << asked.toStdString() << "'\nexit " << code
               << "\n";
      }
      QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
      const qsizetype before = lines();
      QTest::keyClick(window.get(), Qt::Key_F1);
      QVERIFY(QTest::qWaitFor([&] { return lines() == before + 1; }, 20000));
    }
    QVERIFY(QTest::qWaitFor([&] { return !services.Texts().empty(); }, 20000));
    QTest::qWait(50);
    QCOMPARE(services.Texts().size(), size_t{1});
    QVERIFY(services.Texts()[0].find("navigateur") != std::string::npos);
    QVERIFY(services.Texts()[0].find("/aide/loopwright.html") != std::string::npos);
    qputenv("PATH", oldPath);
    oldShare.isNull() ? qunsetenv("LOOPWRIGHT_SHARE") : qputenv("LOOPWRIGHT_SHARE", oldShare);
  }
};

LW_UI_TEST(KeysAndPlacesTest)

}  // namespace lw::test

#include "keys_and_places_test.moc"
