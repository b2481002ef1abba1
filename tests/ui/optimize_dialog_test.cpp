// The optimize dialog: each option change runs a trial in the background and its size follows;
// OK keeps the trial as one undo step, Cancel leaves the document alone.
#include "ui/dialogs/optimize_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

#include "base/numbers.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "colour/optimize_trial.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

class OptimizeDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  // Full-screen redraws of a square that changes colour, one of them repeated: cropping cuts
  // them to the square, removing useless frames drops the repeat.
  static AnimationPtr Squares() {
    AnimationPtr a = MakeDocument(64, 48, 0);
    for (int inner : {1, 2, 2, 3}) AddFrame(*a, 0, 0, 64, 48, 7, inner, 1, 10);
    CountColourUsage(*a, a->colourUsage.data(), true);
    return a;
  }

  static QString Expected(const Animation& document, OptimizeOptions options) {
    AnimationPtr copy;
    int32_t size = -1;
    RunOptimizeTrial(document, options, nullptr, &copy, &size);
    return QString::fromStdString(SizeFieldText(size, GroupSeparator));
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    UsePrivateSettings(dir_);
    LoadPreferences();
  }

  void init() {
    ClearHistory();
    SetPref(PrefOptimize, optimize::Defaults);
  }

  void optionsTriedAsTheyChange() {
    AnimationPtr doc = Squares();
    int32_t before = EstimateEncodedSize(*doc, true, GetSignature(), nullptr);
    OptimizeDialog dialog(nullptr, doc.get());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Optimiser l'animation"));
    // No frame has a local palette: that box and its radios cannot be used.
    QVERIFY(!dialog.RemoveLocal()->isEnabled());
    QVERIFY(!dialog.MetaPalette()->isEnabled());
    dialog.show();
    OptimizeOptions options = TrialOptions(optimize::Defaults, false);
    QTRY_COMPARE(dialog.OptimizedSize()->text(), Expected(*doc, options));
    QCOMPARE(dialog.CurrentSize()->text(), QStringLiteral("%1 octets").arg(before));
    QVERIFY(!dialog.Saving()->text().isEmpty());
    QVERIFY(dialog.SavingPercent()->text().endsWith(QStringLiteral("%)")));

    // Each click shows no size until its own trial ends, whatever ran before.
    struct Step {
      QCheckBox* box;
      OptimizeOptions bit;
    } steps[] = {
        {dialog.ReducePalettes(), optimize::ReducePalettes},
        {dialog.CropFrames(), optimize::CropFrames},
        {dialog.CropFrames(), optimize::CropFrames},
        {dialog.Duplicates(), optimize::DuplicatesToTransparency},
        {dialog.ChooseDisposal(), optimize::ChooseDisposal},
        {dialog.MinimalCodeSize(), optimize::MinimalCodeSize},
        {dialog.ChooseDisposal(), optimize::ChooseDisposal},
    };
    for (const Step& step : steps) {
      step.box->click();
      options ^= step.bit;
      QCOMPARE(dialog.OptimizedSize()->text(), QString());
      QTRY_COMPARE(dialog.OptimizedSize()->text(), Expected(*doc, options));
    }
    // Cropping off disables what only works within it.
    const QCheckBox* dependants[] = {dialog.Duplicates(), dialog.UselessFrames(),
                                     dialog.ChooseDisposal(), dialog.MinimalCodeSize()};
    dialog.CropFrames()->click();
    for (const QCheckBox* box : dependants) QVERIFY(!box->isEnabled());
    dialog.CropFrames()->click();
    for (const QCheckBox* box : dependants) QVERIFY(box->isEnabled());

    // Quick clicks in a row: only the last options' size ever shows.
    for (int i = 0; i < 5; ++i) {
      dialog.ReducePalettes()->click();
      options ^= optimize::ReducePalettes;
      QCoreApplication::processEvents();
      QVERIFY(dialog.OptimizedSize()->text().isEmpty() ||
              dialog.OptimizedSize()->text() == Expected(*doc, options));
    }
    QTRY_COMPARE(dialog.OptimizedSize()->text(), Expected(*doc, options));

    // Unchecking "useless frames" reruns only because the repeat had gone; checking it again
    // reruns because the repeat was left as one pixel.
    int trials = dialog.TrialsStarted();
    dialog.UselessFrames()->click();
    QCOMPARE(dialog.TrialsStarted(), trials + 1);
    options ^= optimize::RemoveUselessFrames;
    QTRY_COMPARE(dialog.OptimizedSize()->text(), Expected(*doc, options));
    dialog.UselessFrames()->click();
    QCOMPARE(dialog.TrialsStarted(), trials + 2);
    options ^= optimize::RemoveUselessFrames;
    QString shown = Expected(*doc, options);
    QTRY_COMPARE(dialog.OptimizedSize()->text(), shown);

    // OK keeps what the last trial showed.
    dialog.accept();
    QVERIFY(dialog.Changed());
    QCOMPARE(TaskRunning(task::OptimizeTrial), 0u);
    QCOMPARE(int(doc->frameCount), 3);
    QCOMPARE(QStringLiteral("%1 octets").arg(EstimateEncodedSize(*doc, true, GetSignature(), nullptr)), shown);
    QCOMPARE(GetPref(PrefOptimize),
             optimize::Defaults ^ optimize::DuplicatesToTransparency ^ optimize::MinimalCodeSize);
    QCOMPARE(CanUndoKind(), undo::Optimize);
    Undo(*doc);
    QCOMPARE(int(doc->frameCount), 4);
    QCOMPARE(EstimateEncodedSize(*doc, true, GetSignature(), nullptr), before);
  }

  // Trials long enough to be overtaken: clicks stop the running one, and a size shows only for
  // the options the boxes show.
  void quickClicksNeverShowAStaleSize() {
    AnimationPtr doc = MakeDocument(320, 240, 0);
    for (int i = 0; i < 40; ++i) {
      // A busy background that stays, and a band that moves: cropping pays.
      Frame* f = AddFrame(*doc, 0, 0, 320, 240, 0, -1, 1, 10);
      uint64_t stride = IndexStride(f->DibWidth());
      for (uint32_t y = 0; y < 240; ++y)
        for (uint32_t x = 0; x < 320; ++x)
          f->bits()[y * stride + x] = static_cast<uint8_t>(
              y / 8 == static_cast<uint32_t>(i) % 30 ? 15 : (x * x + y * 7 + x * y) % 13);
    }
    CountColourUsage(*doc, doc->colourUsage.data(), true);
    OptimizeOptions options = TrialOptions(optimize::Defaults, false);
    const QString sizes[2] = {Expected(*doc, options),
                              Expected(*doc, options ^ optimize::CropFrames)};
    QVERIFY(sizes[0] != sizes[1]);
    OptimizeDialog dialog(nullptr, doc.get());
    dialog.show();
    QTRY_VERIFY(dialog.TrialsStarted() == 1);
    for (int i = 1; i <= 7; ++i) {
      dialog.CropFrames()->click();
      for (int k = 0; k < 3; ++k) {
        QTest::qWait(k * 5);
        QString text = dialog.OptimizedSize()->text();
        QVERIFY2(text.isEmpty() || text == sizes[i % 2], qPrintable(text));
      }
    }
    QTRY_COMPARE_WITH_TIMEOUT(dialog.OptimizedSize()->text(), sizes[1], 20000);
    dialog.reject();
    QCOMPARE(TaskRunning(task::OptimizeTrial), 0u);
  }

  void cancelLeavesTheDocument() {
    AnimationPtr doc = Squares();
    int32_t before = EstimateEncodedSize(*doc, true, GetSignature(), nullptr);
    {
      OptimizeDialog dialog(nullptr, doc.get());
      dialog.show();
      QTRY_VERIFY(dialog.TrialsStarted() > 0);
      dialog.ReducePalettes()->click();  // a trial under way
      dialog.reject();
      QCOMPARE(TaskRunning(task::OptimizeTrial), 0u);
      QVERIFY(!dialog.Changed());
    }
    QCoreApplication::processEvents();  // late reports of the stopped trial go nowhere
    QCOMPARE(int(doc->frameCount), 4);
    QCOMPARE(EstimateEncodedSize(*doc, true, GetSignature(), nullptr), before);
    QCOMPARE(CanUndoKind(), 0u);
    QCOMPARE(GetPref(PrefOptimize), optimize::Defaults);
  }

  void unchangedSizeRecordsNothing() {
    // One opaque frame: cropping alone has nothing to take away.
    AnimationPtr doc = MakeDocument(20, 10, 0);
    AddFrame(*doc, 0, 0, 20, 10, 3, 5, 1, 10);
    SetPref(PrefOptimize, optimize::CropFrames);
    OptimizeDialog dialog(nullptr, doc.get());
    dialog.show();
    QTRY_COMPARE(dialog.Saving()->text(), QStringLiteral("Aucune"));
    QCOMPARE(dialog.SavingPercent()->text(), QStringLiteral("(0,0%)"));
    dialog.accept();
    QVERIFY(!dialog.Changed());
    QCOMPARE(CanUndoKind(), 0u);
  }

  void localPaletteChoices() {
    AnimationPtr doc = Squares();
    Frame* f = FrameAt(*doc, 1);
    SetLocalPalette(f, TestPalette());
    f->palette = f->localPalette.get();
    SetPref(PrefOptimize, optimize::Defaults | optimize::RemoveLocalPalettes);
    OptimizeDialog dialog(nullptr, doc.get());
    QVERIFY(dialog.RemoveLocal()->isEnabled() && dialog.RemoveLocal()->isChecked());
    QVERIFY(dialog.MetaPalette()->isChecked() && dialog.MapToGlobal()->isEnabled());
    dialog.show();
    QTRY_VERIFY(!dialog.OptimizedSize()->text().isEmpty());
    dialog.RemoveLocal()->click();
    QVERIFY(!dialog.MapToGlobal()->isEnabled() && !dialog.MetaPalette()->isEnabled() &&
            !dialog.OnlyWhenMerging()->isEnabled());
    dialog.RemoveLocal()->click();
    dialog.MapToGlobal()->click();
    QCOMPARE(dialog.ControlOptions() & (optimize::MapToGlobalPalette | optimize::BuildMetaPalette),
             optimize::MapToGlobalPalette);
    QTRY_VERIFY(!dialog.OptimizedSize()->text().isEmpty());
    dialog.reject();
  }
};

}  // namespace lw

QTEST_MAIN(lw::OptimizeDialogTest)
#include "optimize_dialog_test.moc"
