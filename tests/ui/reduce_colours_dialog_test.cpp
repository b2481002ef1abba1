// The reduce-colours dialog: the reduced preview and the sizes follow the chosen count; OK keeps
// the reduced copy as one undo step; a long reduction leaves the dialog answering; the previews
// play in the preferred delay units.
#include "ui/dialogs/reduce_colours_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "base/numbers.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "colour/reduce_trial.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "ui/common/animation_view.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

class ReduceColoursDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  // Three frames of smooth colour gradients over a 200-colour palette.
  static AnimationPtr Gradients() {
    AnimationPtr a = MakeDocument(96, 64, 0);
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 200; ++i) {
      rgb.push_back(static_cast<uint8_t>(i * 255 / 199));
      rgb.push_back(static_cast<uint8_t>((i * 7) % 256));
      rgb.push_back(static_cast<uint8_t>(255 - i));
    }
    SetGlobalPalette(*a, PaletteFromTriples(200, rgb.data()));
    for (int shift : {0, 30, 60}) {
      Frame* f = AddFrame(*a, 0, 0, 96, 64, 0, -1, 1, 20);
      uint64_t stride = IndexStride(f->DibWidth());
      for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 96; ++x)
          f->bits()[y * stride + x] = static_cast<uint8_t>((x + 2 * y + shift) % 200);
    }
    CountColourUsage(*a, a->colourUsage.data(), true);
    return a;
  }

  static int ColoursShown(AnimationView* view) {
    QImage picture = view->grab(view->PictureRect()).toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) colours.insert(picture.pixel(x, y));
    return colours.size();
  }

  static QString Saving(const Animation& doc, int n) {
    AnimationPtr copy;
    MakeReducedCopy(doc, n, false, nullptr, nullptr, &copy);
    return QString::fromStdString(
        ReduceSavingText(EstimateEncodedSize(const_cast<Animation&>(doc), false, GetSignature(), nullptr),
                         EstimateEncodedSize(*copy, true, GetSignature(), nullptr), GroupSeparator));
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    UsePrivateSettings(dir_);
    LoadPreferences();
    QLocale::setDefault(QLocale::c());
  }

  void init() {
    ClearHistory();
    SetPref(PrefReduceColors, 7);
  }

  void sixteenColoursPreviewedAndKept() {
    AnimationPtr doc = Gradients();
    AnimationPtr original = DuplicateAnimation(*doc, nullptr);
    ReduceColoursDialog dialog(nullptr, doc.get(), LargestPaletteSize(*doc));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Réduire Couleurs"));
    QCOMPARE(dialog.Count()->currentText(), QStringLiteral("128"));
    QVERIFY(!dialog.Dither()->isChecked());
    dialog.show();
    QTRY_VERIFY(dialog.Measured());
    QVERIFY(ColoursShown(dialog.FullView()) > 128);
    QCOMPARE(dialog.ReducedColours()->text(), QStringLiteral("(128 couleurs)"));

    // Picking 16 in the list: a new copy, its size, and a preview of at most 16 colours.
    int index = dialog.Count()->findText(QStringLiteral("16"));
    dialog.Count()->setCurrentIndex(index);
    emit dialog.Count()->activated(index);
    QCOMPARE(dialog.Saving()->text(), QString());  // cleared until measured
    QTRY_VERIFY(dialog.Measured());
    QCOMPARE(dialog.ReducedColours()->text(), QStringLiteral("(16 couleurs)"));
    QCOMPARE(dialog.Saving()->text(), Saving(*doc, 16));
    QVERIFY(dialog.Saving()->text().contains(QStringLiteral("octets")));
    QVERIFY(dialog.ReducedVolume()->font().bold());
    dialog.ShowFrame(2);
    QVERIFY(ColoursShown(dialog.ReducedView()) <= 16);
    QVERIFY(ColoursShown(dialog.FullView()) > 16);

    // The same count again reduces nothing more.
    int reductions = dialog.Reductions();
    emit dialog.Count()->activated(index);
    QCOMPARE(dialog.Reductions(), reductions);

    dialog.Dither()->click();
    QTRY_VERIFY(dialog.Measured());
    QCOMPARE(dialog.Reductions(), reductions + 1);

    dialog.accept();
    QVERIFY(dialog.Changed());
    QCOMPARE(TaskRunning(task::ReducePreview), 0u);
    QCOMPARE(GetPref(PrefReduceColors), 0x10010u);
    QVERIFY(doc->globalPalette->Count() <= 17);
    QCOMPARE(CanUndoKind(), undo::ReducePalette);
    Undo(*doc);
    QVERIFY(PalettesEqual(doc->globalPalette.get(), original->globalPalette.get()));
    for (int i = 0; i < 3; ++i) QVERIFY(FrameAt(*doc, i)->dib == FrameAt(*original, i)->dib);
  }

  void typedCountsAreClamped() {
    AnimationPtr doc = Gradients();
    ReduceColoursDialog dialog(nullptr, doc.get(), LargestPaletteSize(*doc));
    dialog.show();
    QTRY_VERIFY(dialog.Measured());
    struct {
      const char* typed;
      const char* kept;
    } cases[] = {{"300", "256"}, {"1", "2"}, {"40", "40"}};
    for (auto c : cases) {
      QLineEdit* edit = dialog.Count()->lineEdit();
      edit->clear();
      QTest::keyClicks(edit, c.typed);
      QTRY_COMPARE(dialog.Count()->currentText(), QString::fromLatin1(c.kept));
      QTRY_COMPARE(dialog.ReducedColours()->text(), QStringLiteral("(%1 couleurs)").arg(c.kept));
    }
    dialog.reject();
    QVERIFY(!dialog.Changed());
    QCOMPARE(CanUndoKind(), 0u);
    QCOMPARE(GetPref(PrefReduceColors), 7u);
  }

  // A reduction held at its first report, as a long one would be: the dialog's events keep
  // turning meanwhile. Esc stops it at once and closes the dialog with the document as it was;
  // a count chosen meanwhile stops it and is reduced next; OK waits for it and keeps it.
  void slowReductionLeavesTheDialogAnswering() {
    PumpingServices services;
    services.SetEcho(false);
    SetServices(&services);
    enum class Act { Esc, OtherCount, Ok };
    for (Act act : {Act::Esc, Act::OtherCount, Act::Ok}) {
      ClearHistory();
      AnimationPtr doc = Gradients();
      AnimationPtr original = DuplicateAnimation(*doc, nullptr);
      ReduceColoursDialog dialog(nullptr, doc.get(), LargestPaletteSize(*doc));
      std::atomic<int> reports{0};
      std::atomic<bool> released{false};
      SetProgressReportHookForTests([&] {
        // Only the reducing thread may wait: the dialog's must keep the ticks coming.
        if (reports++ > 0 || QThread::currentThread() == qApp->thread()) return;
        // A bound that only a dialog whose events stopped reaches; the checks then fail.
        QDeadlineTimer bound(std::chrono::seconds(30));
        while (!released && !bound.hasExpired())
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
      });
      int ticks = 0;
      bool reducingAtTick = true;
      QTimer timer;
      timer.setInterval(1);
      connect(&timer, &QTimer::timeout, &dialog, [&] {
        if (reports == 0 || released) return;
        reducingAtTick = reducingAtTick && dialog.Reducing();
        if (++ticks < 3) return;
        if (act == Act::Esc) {
          QTest::keyClick(&dialog, Qt::Key_Escape);
        } else if (act == Act::OtherCount) {
          int index = dialog.Count()->findText(QStringLiteral("16"));
          dialog.Count()->setCurrentIndex(index);
          emit dialog.Count()->activated(index);
        } else {
          dialog.accept();
        }
        released = true;
      });
      timer.start();
      dialog.show();
      if (act == Act::OtherCount)
        QTRY_VERIFY_WITH_TIMEOUT(dialog.Measured(), 30000);
      else
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 30000);
      timer.stop();
      SetProgressReportHookForTests(nullptr);
      QVERIFY(ticks >= 3);
      QVERIFY(reducingAtTick);
      QVERIFY(!dialog.Reducing());

      if (act == Act::Esc) {
        QCOMPARE(reports.load(), 1);  // not one report more once Esc was pressed
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.Changed());
        QVERIFY(!dialog.Copy());
        QCOMPARE(CanUndoKind(), 0u);
        QCOMPARE(GetPref(PrefReduceColors), 7u);
        QVERIFY(PalettesEqual(doc->globalPalette.get(), original->globalPalette.get()));
        for (int i = 0; i < 3; ++i) QVERIFY(FrameAt(*doc, i)->dib == FrameAt(*original, i)->dib);
      } else if (act == Act::OtherCount) {
        QCOMPARE(dialog.Reductions(), 1);
        QCOMPARE(dialog.ReducedColours()->text(), QStringLiteral("(16 couleurs)"));
        QVERIFY(dialog.Copy()->globalPalette->Count() <= 17);
        dialog.reject();
        QVERIFY(!dialog.Changed());
      } else {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.Changed());
        QCOMPARE(CanUndoKind(), undo::ReducePalette);
        QCOMPARE(GetPref(PrefReduceColors), 128u);
        QVERIFY(doc->globalPalette->Count() <= 129);
      }
      QCOMPARE(TaskRunning(task::ReducePreview), 0u);
    }
    SetServices(nullptr);
  }

  // Playing waits each frame's delay in the preferred units (20 units: 200 ms in hundredths,
  // 2 s in tenths).
  void previewsPlayInTheDelayUnits() {
    AnimationPtr doc = Gradients();
    for (uint32_t units : {100u, 10u}) {
      SetPref(PrefDelayUnits, units);
      ReduceColoursDialog dialog(nullptr, doc.get(), LargestPaletteSize(*doc));
      dialog.Play();
      QCOMPARE(dialog.PlaybackInterval(), static_cast<int>(20 * 1000 / units));
      dialog.Stop();
    }
    SetPref(PrefDelayUnits, 100);
  }

  void nothingToReduce() {
    AnimationPtr doc = MakeDocument(8, 8, 0);
    std::vector<uint8_t> rgb = {0, 0, 0, 255, 255, 255};
    SetGlobalPalette(*doc, PaletteFromTriples(2, rgb.data()));
    AddFrame(*doc, 0, 0, 8, 8, 0, 1, 1, 10);
    ReduceColoursRequest request{doc.get()};
    QVERIFY(!AskReduceColours(nullptr, &request));
    QCOMPARE(CanUndoKind(), 0u);
  }

  // The picture for the documentation, when LOOPWRIGHT_REDUCE_SHOT names the file.
  void picture() {
    QByteArray target = qgetenv("LOOPWRIGHT_REDUCE_SHOT");
    if (target.isEmpty()) QSKIP("LOOPWRIGHT_REDUCE_SHOT not set");
    AnimationPtr doc = Gradients();
    ReduceColoursDialog dialog(nullptr, doc.get(), LargestPaletteSize(*doc));
    dialog.show();
    dialog.Count()->setCurrentIndex(dialog.Count()->findText(QStringLiteral("16")));
    emit dialog.Count()->activated(dialog.Count()->currentIndex());
    QTRY_VERIFY(dialog.Measured());
    QTest::qWait(300);
    QVERIFY(dialog.grab().save(QString::fromLocal8Bit(target)));
    dialog.reject();
  }
};

}  // namespace lw

QTEST_MAIN(lw::ReduceColoursDialogTest)
#include "reduce_colours_dialog_test.moc"
