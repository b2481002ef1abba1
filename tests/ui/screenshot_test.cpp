// Takes the picture of the main window for the documentation when LOOPWRIGHT_SCREENSHOT names
// the file to write and LOOPWRIGHT_SAMPLE the animation to show; otherwise there is nothing to do.
#include <QMouseEvent>
#include <QtTest>

#include "base/preferences.h"
#include "shell/command_ids.h"
#include "ui/services/qt_services.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"

namespace lw {

class ScreenshotTest : public QObject {
  Q_OBJECT

 private slots:
  void picture() {
    QByteArray target = qgetenv("LOOPWRIGHT_SCREENSHOT");
    QByteArray sample = qgetenv("LOOPWRIGHT_SAMPLE");
    if (target.isEmpty() || sample.isEmpty())
      QSKIP("LOOPWRIGHT_SCREENSHOT and LOOPWRIGHT_SAMPLE not set");
    LoadPreferences();
    SetPrefOn(Pref::NoAutoPreview, true);
    InstallQtServices();
    {
      MainWindow window;
      window.resize(1000, 640);
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      QCOMPARE(window.OpenDocument(sample.toStdString()), 1);
      FrameStrip* strip = window.Strip();
      QWidget* view = strip->viewport();
      auto click = [view](QPoint p, Qt::KeyboardModifiers keys) {
        QTest::mouseClick(view, Qt::LeftButton, keys, p);
      };
      click(strip->FrameImageRect(2).center(), Qt::NoModifier);
      click(strip->FrameImageRect(3).center(), Qt::ControlModifier);
      click(strip->FrameImageRect(2).center(), Qt::ControlModifier);
      click(strip->FrameImageRect(2).center(), Qt::ControlModifier);
      QTest::qWait(1500);  // the size estimate reaches the status bar
      QVERIFY(window.grab().save(QString::fromLocal8Bit(target)));
      window.SetModified(false);
    }
    UninstallQtServices();
  }
};

}  // namespace lw

QTEST_MAIN(lw::ScreenshotTest)
#include "screenshot_test.moc"
