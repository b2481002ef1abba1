// Playback timing and the pictures of the documentation. Nothing here asserts a duration: the
// drift of played loops is measured and printed. With LW_SCREENSHOT_DIR set, the preview (with
// its duration panel) and the preferences sheet are saved there as PNG files.
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <vector>

#include "base/preferences.h"
#include "base/settings.h"
#include "core/frame_player.h"
#include "core/gif_reader.h"
#include "platform/desktop_entries.h"
#include "ui/common/animation_view.h"
#include "ui/dialogs/duration_panel.h"
#include "ui/window/preferences_sheet.h"
#include "ui/window/preview_window.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

class PreviewTimingTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  static QString ShotDir() { return qEnvironmentVariable("LW_SCREENSHOT_DIR"); }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    UsePrivateSettings(dir_);
    LoadPreferences();
  }

  void loopDriftOfAHundredFrames() {
    constexpr int frames = 100;
    constexpr uint32_t delay = 2;  // 20 ms
    AnimationPtr a = MakeDocument(640, 480, 0);
    for (int i = 0; i < frames; ++i)
      AddFrame(*a, 0, 0, 640, 480, static_cast<uint8_t>(1 + i % 7), (i + 3) % 8, 1, delay);
    PreviewWindow preview(a.get(), PreviewMode::AllFrames, -1);
    QElapsedTimer clock;
    std::vector<qint64> loopStarts;
    std::vector<qint64> frameTimes;
    connect(&preview, &PreviewWindow::frameShown, [&](int n) {
      qint64 t = clock.nsecsElapsed();
      frameTimes.push_back(t);
      if (n == 1) loopStarts.push_back(t);
      if (loopStarts.size() == 4) preview.Stop();
    });
    clock.start();
    QVERIFY(preview.Open());
    QTRY_VERIFY_WITH_TIMEOUT(!preview.Playing(), 60000);
    QCOMPARE(loopStarts.size(), size_t{4});
    double expected = frames * PlayedDelayMilliseconds(delay);
    for (size_t i = 1; i < loopStarts.size(); ++i) {
      double played = (loopStarts[i] - loopStarts[i - 1]) / 1e6;
      qInfo("loop %zu: %.2f ms played for %.0f ms of delays, drift %+.2f ms", i, played, expected,
            played - expected);
    }
    double worst = 0;
    for (size_t i = 1; i < frameTimes.size(); ++i) {
      double due = i * PlayedDelayMilliseconds(delay);
      worst = std::max(worst, std::abs((frameTimes[i] - frameTimes[0]) / 1e6 - due));
    }
    qInfo("largest distance of a frame from its deadline: %.2f ms over %zu frames", worst,
          frameTimes.size());
  }

  void screenshots() {
    std::string programDir;
    QVERIFY(GetProgramDir(&programDir));
    QFile file(QString::fromStdString(programDir) + QStringLiteral("/exemples/balle.gif"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    AnimationPtr a;
    QVERIFY(ReadGifMemory(reinterpret_cast<const uint8_t*>(bytes.constData()),
                          static_cast<size_t>(bytes.size()), nullptr, &a) != GifReadStatus::Failed);
    QVERIFY(a);
    PreviewWindow preview(a.get(), PreviewMode::Durations, 3);
    QVERIFY(preview.Open());
    preview.Panel()->SetOperation(DurationOperation::Multiply);
    preview.Panel()->ValueField()->setText(QStringLiteral("1,5"));
    preview.View()->SetZoomStep(1);
    preview.adjustSize();
    QTest::qWait(100);
    QImage shot = preview.grab().toImage();
    QVERIFY(!shot.isNull());
    PreferencesSheet sheet;
    sheet.Tabs()->setCurrentIndex(1);
    sheet.show();
    sheet.adjustSize();
    QTest::qWait(100);
    QImage prefs = sheet.grab().toImage();
    QVERIFY(!prefs.isNull());
    if (!ShotDir().isEmpty()) {
      QVERIFY(shot.save(ShotDir() + QStringLiteral("/apercu.png")));
      QVERIFY(prefs.save(ShotDir() + QStringLiteral("/preferences.png")));
      for (int i = 0; i < sheet.Tabs()->count(); ++i) {
        sheet.Tabs()->setCurrentIndex(i);
        QTest::qWait(20);
        sheet.grab().toImage().save(ShotDir() + QStringLiteral("/preferences-%1.png").arg(i + 1));
      }
    }
  }
};

}  // namespace lw

QTEST_MAIN(lw::PreviewTimingTest)
#include "preview_timing_test.moc"
