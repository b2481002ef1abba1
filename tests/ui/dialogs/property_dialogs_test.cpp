// The property sheet, the comment list and the frame-count dialog driven through their widgets
// from the window's commands.

#include "colour/palette_edit.h"
#include "edit/properties.h"
#include "support/window_driver.h"
#include "ui/dialogs/comment_list_dialog.h"

namespace lw::test {

namespace {

void Type(QLineEdit* edit, const QString& text) {
  QVERIFY(edit);
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

// Clicks the dialog's button of that text.
void Press(QDialog* dialog, const QString& text) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>())
    if (b->text() == text) return QTest::mouseClick(b, Qt::LeftButton);
  QFAIL(qPrintable("no button " + text));
}

QWidget* Page(QDialog* sheet) { return sheet->findChild<QTabWidget*>()->currentWidget(); }

// The palette choosers are the test's own, or none (the pages then grey their buttons).
class SheetServices : public ScriptedServices {
 public:
  std::function<bool(Frame*, std::vector<uint8_t>*)> chooseTransparency;
  std::function<bool(Animation&, Frame*)> editPalette;

  bool OffersPaletteChoosers() const override { return chooseTransparency || editPalette; }
  bool ChooseTransparentIndexes(WindowHandle, Animation&, Frame* frame,
                                std::vector<uint8_t>* indexes) override {
    return chooseTransparency && chooseTransparency(frame, indexes);
  }
  bool EditPalette(WindowHandle, Animation& a, Frame* frame) override {
    return editPalette && editPalette(a, frame);
  }
};

}  // namespace

class PropertyDialogsTest : public UiTest {
  Q_OBJECT

  SheetServices sheet_;

  Frame* At(int i) const { return FrameAt(*window->Document(), i); }

  // Frame n filled with colour n + 1 around a square of colour 3, delay 10 (n + 1); frame 0
  // transparent on index transparent when given.
  bool OpenFrames(int count, int transparent = -1) {
    AnimationPtr a = MakeDocument(40, 30, BrightPalette());
    for (int i = 0; i < count; ++i)
      AddSquareFrame(*a, 0, 0, 40, 30, uint8_t(1 + i), 3, 1, 10 * (i + 1),
                     i == 0 ? transparent : -1);
    return OpenGif(*a, "cadres.gif");
  }

  bool OnSheet(int command, const std::function<void(QDialog*)>& act) {
    return WithModal([&] { window->Command(command); }, act);
  }

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    Adopt(sheet_);
  }
  void cleanupTestCase() { EndUi(); }
  void init() {
    QVERIFY(OpenWindow());
    sheet_.Reset();
    sheet_.chooseTransparency = nullptr;
    sheet_.editPalette = nullptr;
  }
  void cleanup() { CloseWindow(); }

  // The frame page: Annuler changes nothing; OK changes the frame as one step, shown in the
  // properties bar; a visit to "Cadre global", left as it opened, changes nothing more.
  void framePageCancelOkAndUndo() {
    QVERIFY(OpenFrames(3));
    window->SelectFrame(1, 0);
    for (const QString button : {"Annuler", "OK"}) {
      QVERIFY(OnSheet(cmd::FrameProperties, [&](QDialog* sheet) {
        auto* tabs = sheet->findChild<QTabWidget*>();
        QCOMPARE(Child<QLineEdit>(Page(sheet), "delay")->text(), QStringLiteral("20"));
        Type(Child<QLineEdit>(Page(sheet), "delay"), "55");
        Child<QComboBox>(Page(sheet), "disposal")->setCurrentIndex(DisposalBackground);
        Type(Child<QLineEdit>(Page(sheet), "left"), "5");
        Type(Child<QLineEdit>(Page(sheet), "top"), "6");
        Type(Child<QLineEdit>(Page(sheet), "name"), "nuage");
        tabs->setCurrentIndex(1);  // "Cadre global"
        QCOMPARE(Child<QLineEdit>(Page(sheet), "left")->text(), QStringLiteral("0"));
        Press(sheet, button);
      }));
      QCOMPARE(At(1)->delay, button == "OK" ? 55u : 20u);
      QCOMPARE(window->Modified(), button == "OK");
    }
    QCOMPARE(At(1)->Disposal(), int{DisposalBackground});
    QCOMPARE(QPoint(At(1)->left, At(1)->top), QPoint(5, 6));
    QCOMPARE(At(0)->delay, 10u);
    QCOMPARE(window->Properties()->DelayEdit()->text(), QStringLiteral("55"));
    QCOMPARE(window->Properties()->FrameList()->currentText(), QStringLiteral("#2: nuage"));
    QCOMPARE(CanUndoKind(), UndoKind::FrameProperties);
  }

  // The click that checks "Transparent" opens the chooser: cancelled, the box goes back;
  // accepted, its indexes go to the frame on OK.
  void transparentBoxOpensTheChooser() {
    QVERIFY(OpenFrames(2));
    window->SelectFrame(0, 0);
    int asked = 0;
    bool agree = false, uncheckedAgain = false;
    sheet_.chooseTransparency = [&](Frame*, std::vector<uint8_t>* indexes) {
      ++asked;
      *indexes = {3, 1};
      return agree;
    };
    QVERIFY(OnSheet(cmd::FrameProperties, [&](QDialog* sheet) {
      auto* box = Child<QCheckBox>(Page(sheet), "transparent");
      QTest::mouseClick(box, Qt::LeftButton);
      uncheckedAgain = !box->isChecked();
      agree = true;
      QTest::mouseClick(box, Qt::LeftButton);
      Press(sheet, "OK");
    }));
    QCOMPARE(asked, 2);
    QVERIFY(uncheckedAgain);
    QVERIFY(At(0)->Transparent());
    QCOMPARE(int{At(0)->transparentIndex}, 3);
    QCOMPARE(int{At(0)->bits()[0]}, 3);  // the frame's colour 1 merged into 3
  }

  // A palette edited from the sheet stays (with its step) when the sheet is then cancelled; a
  // comment added is a step of its own.
  void animationPageCommentsAndPalette() {
    QVERIFY(OpenFrames(2));
    sheet_.editPalette = [](Animation& a, Frame* frame) {
      std::vector<PaletteEntry> entries = a.globalPalette->entries;
      entries[1] = {10, 200, 30, 0};
      return !frame && ApplyPaletteEdit(a, -1, entries) != 0;
    };
    QWidget* strip = window->Strip()->viewport();
    const QPoint inside = window->Strip()->FrameImageRect(0).topLeft() + QPoint(1, 1);
    QCOMPARE(strip->grab().toImage().pixelColor(inside), QColor(255, 0, 0));
    QVERIFY(OnSheet(cmd::AnimationProperties, [](QDialog* sheet) {
      QTest::mouseClick(Child<QPushButton>(sheet, "editGlobalPalette"), Qt::LeftButton);
      Press(sheet, "Annuler");
    }));
    QVERIFY(window->Modified());
    QCOMPARE(CanUndoKind(), UndoKind::EditPalette);
    QCOMPARE(strip->grab().toImage().pixelColor(inside), QColor(10, 200, 30));
    CommentListDialog::SetEditor([](QWidget*, QString* text) {
      *text = QStringLiteral("Fait à la main");
      return true;
    });
    QVERIFY(OnSheet(cmd::GifComments, [](QDialog* dialog) {
      QTest::mouseClick(Child<QPushButton>(dialog, "add"), Qt::LeftButton);
      QCOMPARE(Child<QListWidget>(dialog, "comments")->item(0)->text(),
               QStringLiteral("Fait à la main"));
      Press(dialog, "OK");
    }));
    CommentListDialog::SetEditor(nullptr);
    QCOMPARE(CommentAt(*window->Document(), 0), std::string("Fait à la main"));
    window->Command(cmd::Undo);
    QVERIFY(CommentBlocks(*window->Document()).empty());
  }
};

LW_UI_TEST(PropertyDialogsTest)

}  // namespace lw::test

#include "property_dialogs_test.moc"
