// The dialogs an open or merge flow asks in the middle of its work (merge placement, strip
// import, PSD layers) and the HTML code dialog: what they return on OK, what they refuse, what
// they remember.

#include "formats/merge.h"
#include "formats/psd/psd_format.h"
#include "support/window_driver.h"
#include "ui/dialogs/html_code_dialog.h"
#include "ui/dialogs/merge_dialog.h"
#include "ui/dialogs/psd_layers_dialog.h"
#include "ui/dialogs/strip_split_dialog.h"

namespace lw::test {

class QuestionDialogsTest : public UiTest {
  Q_OBJECT

  AnimationPtr a_, b_;

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    a_ = MakeDocument(40, 30, BrightPalette());
    AddSquareFrame(*a_, 0, 0, 40, 30, 2, 3);
    b_ = MakeDocument(20, 10, BrightPalette());
    AddSquareFrame(*b_, 0, 0, 20, 10, 4, 5, 1, 10, 5);  // a transparent middle
  }
  void cleanupTestCase() { EndUi(); }
  void init() { services.Reset(); }
  void cleanup() { CloseWindow(); }

  // Dragging the second animation sets the offsets; a press beside it moves nothing. OK returns
  // the choices.
  void mergePlacementByDragging() {
    MergeOptions preset;
    preset.byDuration = true;
    MergeDialog dialog(nullptr, *a_, *b_, preset);
    dialog.show();
    QVERIFY(dialog.ByDuration()->isChecked() && !dialog.LoopShorter()->isChecked());
    MergePlacementView* view = dialog.View();
    const double s = view->Scale();
    for (QPointF by : {QPointF(10, 5), QPointF(-15, -25)})  // in animation pixels
      Drag(view, view->SecondRect().center(), view->SecondRect().center() + by * s);
    QCOMPARE(QPoint(dialog.OffsetX()->value(), dialog.OffsetY()->value()), QPoint(-5, -20));
    const QPointF beside = view->SecondRect().bottomRight() + QPointF(4 * s, 4 * s);
    Drag(view, beside, beside + QPointF(30, 30));
    QCOMPARE(QPoint(dialog.Options().offsetX, dialog.Options().offsetY), QPoint(-5, -20));

    MergeOptions options;
    options.offsetX = 3;
    QVERIFY(WithModal<MergeDialog>([&] { QVERIFY(AskMergeOptions(nullptr, *a_, *b_, &options)); },
                                   [](MergeDialog* d) {
                                     QCOMPARE(d->OffsetX()->value(), 3);
                                     d->OneByOne()->setChecked(true);
                                     d->LoopShorter()->setChecked(true);
                                     d->OffsetY()->setValue(-9);
                                     d->accept();
                                   }));
    QCOMPARE(QPoint(options.offsetX, options.offsetY), QPoint(3, -9));
    QVERIFY(!options.byDuration && options.loopShorter);
  }

  // Counts that do not divide the picture are refused with their message; OK returns the
  // choice.
  void stripSplitRefusesAndReturns() {
    StripSplitDialog dialog(nullptr, 300, 100, StripSplitChoice{});
    dialog.show();
    struct Case {
      int across, down;
      int refusal;
    } const cases[] = {{7, 1, str::StripCannotSplitHorizontally},
                       {3, 7, str::StripCannotSplitVertically}};
    for (const Case& c : cases) {
      services.Reset();
      dialog.PerRow()->setValue(c.across);
      dialog.PerColumn()->setValue(c.down);
      dialog.accept();
      QVERIFY(dialog.isVisible());
      QCOMPARE(services.Texts(), TextsOf({c.refusal}));
    }
    StripSplitChoice choice;
    QVERIFY(WithModal<StripSplitDialog>([&] { QVERIFY(AskStripSplit(nullptr, *a_, &choice)); },
                                        [](StripSplitDialog* d) {
                                          d->PerRow()->setValue(4);
                                          d->PerColumn()->setValue(3);
                                          d->ColumnByColumn()->setChecked(true);
                                          d->accept();
                                        }));
    QCOMPARE(choice.framesPerRow, 4);
    QCOMPARE(choice.framesPerColumn, 3);
    QVERIFY(choice.byColumns);
  }

  // OK gives the choice and stores it in the flags.
  void psdLayersGiveAndRememberTheirOptions() {
    SetPref(PrefFlags, 0x00800000);
    uint32_t options = PsdOptionsFromFlags(GetPref(PrefFlags));
    QVERIFY(WithModal<PsdLayersDialog>([&] { QVERIFY(AskPsdLayers(nullptr, &options)); },
                                       [](PsdLayersDialog* d) {
                                         d->Separate()->setChecked(true);
                                         d->Layers()->setChecked(true);
                                         d->KeepTransparency()->setChecked(true);
                                         d->accept();
                                       }));
    QCOMPARE(options, 0x2402u);
    QCOMPARE(PsdOptionsFromFlags(GetPref(PrefFlags)), 0x2402u);
  }

  // The code follows the fields and goes to the clipboard; an untitled document's name must be
  // typed first, and is written as a URL.
  void htmlCodeFollowsTheFields() {
    QVERIFY(OpenWindow());
    AnimationPtr a = MakeDocument(120, 60, BrightPalette());
    AddSquareFrame(*a, 0, 0, 120, 60, 2, 3);
    QVERIFY(OpenGif(*a, "clip.gif"));
    auto code = [](QDialog* d) { return Child<QPlainTextEdit>(d, "code")->toPlainText(); };
    QVERIFY(WithModal<HtmlCodeDialog>(
        [&] { window->Command(cmd::HtmlCode); },
        [&](HtmlCodeDialog* d) {
          QTest::keyClicks(Child<QLineEdit>(d, "link"), "https://example.org/jeux/");
          QTest::keyClicks(Child<QLineEdit>(d, "description"), "Une balle");
          QVERIFY(code(d).startsWith(
              "<a href=\"https://example.org/jeux/\"><img src=\"clip.gif\" width="));
          QVERIFY(code(d).endsWith(" alt=\"Une balle\"></a>"));
          QTest::mouseClick(Child<QPushButton>(d, "copy"), Qt::LeftButton);
          QCOMPARE(QApplication::clipboard()->text(), code(d));
        }));
    QVERIFY(services.Messages().empty());

    window->State().documentPath.clear();
    QVERIFY(WithModal<HtmlCodeDialog>(
        [&] { window->Command(cmd::HtmlCode); },
        [&](HtmlCodeDialog* d) {
          auto* name = Child<QLineEdit>(d, "fileName");
          QApplication::clipboard()->setText("avant");
          QTest::mouseClick(Child<QPushButton>(d, "copy"), Qt::LeftButton);
          QCOMPARE(services.Texts(),
                   std::vector<std::string>{
                       "Le nom de fichier est nécessaire à la génération du code HTML"});
          QTRY_VERIFY(name->hasFocus());
          QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("avant"));
          QTest::keyClicks(name, "ma balle.gif");
          QVERIFY(d->CopyCode());
          QVERIFY(
              QApplication::clipboard()->text().startsWith("<img src=\"ma%20balle.gif\" width="));
        }));
  }
};

LW_UI_TEST(QuestionDialogsTest)

}  // namespace lw::test

#include "question_dialogs_test.moc"
