// The reduce-colours and optimize dialogs: their previews and sizes follow the choices, the
// work runs beside the dialog (made slow on purpose where it matters), OK keeps the result as one
// undo step and stores the choices, Esc and Annuler leave the document alone.

#include "base/numbers.h"
#include "colour/optimize_trial.h"
#include "colour/quantize_hq.h"
#include "colour/reduce_trial.h"
#include "core/gif_writer.h"
#include "shell/options_from_preferences.h"
#include "support/window_driver.h"
#include "ui/common/animation_view.h"
#include "ui/dialogs/optimize_dialog.h"
#include "ui/dialogs/reduce_colours_dialog.h"

namespace lw::test {

namespace {

// Three frames of smooth gradients over a 200-colour palette.
AnimationPtr Gradients() {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 200; ++i)
    rgb.insert(rgb.end(), {uint8_t(i * 255 / 199), uint8_t((i * 7) % 256), uint8_t(255 - i)});
  AnimationPtr a = MakeDocument(96, 64, PaletteFromTriples(200, rgb.data()));
  for (int shift : {0, 30, 60})
    AddDrawnFrame(
        *a, 0, 0, 96, 64, [&](uint32_t x, uint32_t y) { return (x + 2 * y + shift) % 200; }, 1, -1,
        20);
  CountColourUsage(*a, a->colourUsage.data(), true);
  return a;
}

int ColoursShown(AnimationView* view) {
  const QImage picture = view->grab(view->PictureRect()).toImage();
  QSet<QRgb> colours;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) colours.insert(picture.pixel(x, y));
  return colours.size();
}

// The size a trial of these options gives, as the dialog writes it.
QString TrialSize(const Animation& document, uint32_t options) {
  AnimationPtr copy;
  int32_t size = -1;
  RunOptimizeTrial(document, OptimizeOptionsFromPreferences(options), nullptr, &copy, &size);
  return QString::fromStdString(SizeFieldText(size, GroupSeparator));
}

}  // namespace

class ColourWorkDialogsTest : public UiTest {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    QLocale::setDefault(QLocale::c());
  }
  void cleanupTestCase() { EndUi(); }
  void init() {
    ClearHistory();
    SetPref(PrefReduceColors, 7);
    SetPref(PrefOptimize, optimize::Defaults);
  }

  // Picking 16: a new copy, its size, a preview of at most 16 colours; the same count again
  // reduces nothing more, dithering does; OK keeps the copy as one step and stores the choice.
  void sixteenColoursPreviewedAndKept() {
    AnimationPtr doc = Gradients();
    ReduceColoursDialog dialog(nullptr, doc.get(), LargestPaletteSize(*doc));
    QCOMPARE(dialog.Count()->currentText(), QStringLiteral("128"));
    dialog.show();
    QTRY_VERIFY(dialog.Measured());
    const int index = dialog.Count()->findText("16");
    dialog.Count()->setCurrentIndex(index);
    emit dialog.Count()->activated(index);
    QTRY_VERIFY(dialog.Measured());
    QCOMPARE(dialog.ReducedColours()->text(), QStringLiteral("(16 couleurs)"));
    dialog.ShowFrame(2);
    QVERIFY(ColoursShown(dialog.ReducedView()) <= 16);
    QVERIFY(ColoursShown(dialog.FullView()) > 16);
    const int reductions = dialog.Reductions();
    emit dialog.Count()->activated(index);
    QCOMPARE(dialog.Reductions(), reductions);
    dialog.Dither()->click();
    QTRY_VERIFY(dialog.Measured());
    QCOMPARE(dialog.Reductions(), reductions + 1);

    dialog.accept();
    QVERIFY(dialog.Changed());
    QCOMPARE(TaskRunning(task::ReducePreview), 0u);
    QCOMPARE(GetPref(PrefReduceColors), 0x10010u);  // dithered, 16
    QVERIFY(doc->globalPalette->Count() <= 17);
    QCOMPARE(CanUndoKind(), UndoKind::ReducePalette);
    AnimationPtr two = MakeDocument(8, 8, MakePalette({{0, 0, 0, 0}, {9, 9, 9, 0}}));
    AddSquareFrame(*two, 0, 0, 8, 8, 0, 1);
    ReduceColoursRequest nothing{two.get()};
    QVERIFY(!AskReduceColours(nullptr, &nothing));  // two colours: nothing to reduce
  }

  // The high-quality method: its level takes the count's place, OK keeps one palette for every
  // frame as small as the level says and stores the method with its level.
  void highQualityMethodKeptWithItsLevel() {
    AnimationPtr doc = Gradients();
    ReduceColoursDialog dialog(nullptr, doc.get(), LargestPaletteSize(*doc));
    dialog.show();
    QTRY_VERIFY(dialog.Measured());
    dialog.Quality()->setValue(40);
    dialog.Method()->setCurrentIndex(1);
    emit dialog.Method()->activated(1);
    QTRY_VERIFY(dialog.Measured());
    QVERIFY(!dialog.Count()->isEnabled() && dialog.Quality()->isEnabled());
    dialog.accept();
    QCOMPARE(GetPref(PrefReduceColors), ReduceSetting(128, false, true, 40));
    QVERIFY(doc->globalPalette->Count() <= QualityFor(40).colours);
    for (Frame* f = FirstFrame(*doc); f; f = NextFrame(f))
      QVERIFY(f->palette == doc->globalPalette.get());
  }

  // A reduction held at its first report, as a long one would be: the dialog's events keep
  // turning. Esc stops it at once and closes with the document as it was; a count chosen
  // meanwhile stops it and is reduced next; OK waits for it and keeps it.
  void slowReductionLeavesTheDialogAnswering() {
    services.onPump = [] { DesktopServices().PumpEvents(); };
    enum class Act { Esc, OtherCount, Ok };
    for (Act act : {Act::Esc, Act::OtherCount, Act::Ok}) {
      ClearHistory();
      AnimationPtr doc = Gradients();
      AnimationPtr original = DuplicateAnimation(*doc, nullptr);
      ReduceColoursDialog dialog(nullptr, doc.get(), LargestPaletteSize(*doc));
      std::atomic<int> reports{0};
      std::atomic<bool> released{false};
      HoldFirstReport(released, reports);
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
          dialog.Count()->setCurrentIndex(dialog.Count()->findText("16"));
          emit dialog.Count()->activated(dialog.Count()->currentIndex());
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
      QVERIFY(ticks >= 3 && reducingAtTick && !dialog.Reducing());
      if (act == Act::Esc) {
        QCOMPARE(reports.load(), 1);  // not one report more once Esc was pressed
        QVERIFY(!dialog.Changed() && !dialog.Copy());
        QCOMPARE(GetPref(PrefReduceColors), 7u);
        QVERIFY(SameAnimation(*doc, *original));
      } else if (act == Act::OtherCount) {
        QCOMPARE(dialog.Reductions(), 1);
        QCOMPARE(dialog.ReducedColours()->text(), QStringLiteral("(16 couleurs)"));
        dialog.reject();
      } else {
        QVERIFY(dialog.Changed());
        QCOMPARE(CanUndoKind(), UndoKind::ReducePalette);
        QCOMPARE(GetPref(PrefReduceColors), 128u);
      }
      QCOMPARE(TaskRunning(task::ReducePreview), 0u);
    }
    services.onPump = nullptr;
  }

  // Each box starts its own trial and the size shown is the trial of the boxes as they are;
  // cropping off greys what works within it; OK keeps the last trial as one step and stores
  // the boxes.
  void optimizeTrialsFollowTheBoxes() {
    // A busy background that stays and a band that moves: cropping pays.
    AnimationPtr doc = MakeDocument(320, 240);
    for (uint32_t i = 0; i < 40; ++i)
      AddDrawnFrame(*doc, 0, 0, 320, 240, [&](uint32_t x, uint32_t y) {
        return y / 8 == i % 30 ? 15u : (x * x + y * 7 + x * y) % 13;
      });
    CountColourUsage(*doc, doc->colourUsage.data(), true);
    const int32_t before =
        EstimateEncodedSize(*doc, true, SaveSignature{GetSignature(), GetSignature(true)}, nullptr);
    const uint32_t options = TrialOptions(optimize::Defaults, false);
    OptimizeDialog dialog(nullptr, doc.get());
    QVERIFY(!dialog.RemoveLocal()->isEnabled());  // no local palette
    dialog.show();
    QTRY_VERIFY(dialog.TrialsStarted() == 1);
    dialog.CropFrames()->click();
    for (const QCheckBox* box : {dialog.Duplicates(), dialog.UselessFrames(),
                                 dialog.ChooseDisposal(), dialog.MinimalCodeSize()})
      QVERIFY(!box->isEnabled());
    dialog.CropFrames()->click();
    dialog.MinimalCodeSize()->click();
    const QString last = TrialSize(*doc, options ^ optimize::MinimalCodeSize);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.OptimizedSize()->text(), last, 20000);
    dialog.accept();
    QVERIFY(dialog.Changed());
    QCOMPARE(TaskRunning(task::OptimizeTrial), 0u);
    QCOMPARE(QString::fromStdString(SizeFieldText(
                 EstimateEncodedSize(*doc, true, SaveSignature{GetSignature(), GetSignature(true)},
                                     nullptr),
                 GroupSeparator)),
             last);
    QCOMPARE(GetPref(PrefOptimize), optimize::Defaults ^ optimize::MinimalCodeSize);
    QCOMPARE(CanUndoKind(), UndoKind::Optimize);
    Undo(*doc);
    QCOMPARE(
        EstimateEncodedSize(*doc, true, SaveSignature{GetSignature(), GetSignature(true)}, nullptr),
        before);
  }

  // Annuler with a trial under way leaves the document, the history and the stored boxes.
  void optimizeCancelOrNoSavingChangeNothing() {
    AnimationPtr doc = Gradients();
    const int32_t before =
        EstimateEncodedSize(*doc, true, SaveSignature{GetSignature(), GetSignature(true)}, nullptr);
    {
      OptimizeDialog dialog(nullptr, doc.get());
      dialog.show();
      QTRY_VERIFY(dialog.TrialsStarted() > 0);
      dialog.ReducePalettes()->click();
      dialog.reject();
      QCOMPARE(TaskRunning(task::OptimizeTrial), 0u);
    }
    QCoreApplication::processEvents();  // late reports of the stopped trial go nowhere
    QCOMPARE(
        EstimateEncodedSize(*doc, true, SaveSignature{GetSignature(), GetSignature(true)}, nullptr),
        before);
    QCOMPARE(GetPref(PrefOptimize), optimize::Defaults);
    QCOMPARE(CanUndoKind(), UndoKind::None);
  }
};

LW_UI_TEST(ColourWorkDialogsTest)

}  // namespace lw::test

#include "colour_work_dialogs_test.moc"
