// The property sheet, the comment list and the frame-count dialog driven through their widgets
// from the window's commands.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include "colour/palette_edit.h"
#include "core/undo.h"
#include "edit/properties.h"
#include "ui/dialogs/comment_list_dialog.h"
#include "ui/window/frame_strip.h"
#include "ui/window/properties_bar.h"
#include "support/window_driver.h"

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

// The palette choosers are the test's own, the desktop's dialogs, or none (the pages then grey
// their buttons).
class SheetServices : public ScriptedServices {
 public:
  std::function<bool(Frame*, std::vector<uint8_t>*)> chooseTransparency;
  std::function<bool(Animation&, Frame*)> editPalette;
  bool desktop = false;

  bool OffersPaletteChoosers() const override {
    return desktop || chooseTransparency || editPalette;
  }
  bool ChooseTransparentIndexes(WindowHandle owner, Animation& a, Frame* frame,
                                std::vector<uint8_t>* indexes) override {
    if (desktop) return DesktopServices().ChooseTransparentIndexes(owner, a, frame, indexes);
    return chooseTransparency && chooseTransparency(frame, indexes);
  }
  bool EditPalette(WindowHandle owner, Animation& a, Frame* frame) override {
    if (desktop) return DesktopServices().EditPalette(owner, a, frame);
    return editPalette && editPalette(a, frame);
  }
  void Clear() {
    chooseTransparency = nullptr;
    editPalette = nullptr;
    desktop = false;
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
      AddSquareFrame(*a, 0, 0, 40, 30, uint8_t(1 + i), 3, 1, 10 * (i + 1), i == 0 ? transparent : -1);
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
    sheet_.Clear();
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
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Cadre"));
        QCOMPARE(Child<QLineEdit>(Page(sheet), "delay")->text(), QStringLiteral("20"));
        Type(Child<QLineEdit>(Page(sheet), "delay"), "55");
        Child<QComboBox>(Page(sheet), "disposal")->setCurrentIndex(DisposalBackground);
        Type(Child<QLineEdit>(Page(sheet), "left"), "5");
        Type(Child<QLineEdit>(Page(sheet), "top"), "6");
        Type(Child<QLineEdit>(Page(sheet), "name"), "nuage");
        tabs->setCurrentIndex(1);
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Cadre global"));
        QCOMPARE(Child<QLineEdit>(Page(sheet), "left")->text(), QStringLiteral("0"));
        Press(sheet, button);
      }));
      QCOMPARE(At(1)->delay, button == "OK" ? 55u : 20u);
      QCOMPARE(window->Modified(), button == "OK");
    }
    QCOMPARE(At(1)->Disposal(), int{DisposalBackground});
    QCOMPARE(QPoint(At(1)->left, At(1)->top), QPoint(5, 6));
    QCOMPARE(At(0)->delay, 10u);
    QCOMPARE(At(0)->left, 0);
    QCOMPARE(window->Properties()->DelayEdit()->text(), QStringLiteral("55"));
    QCOMPARE(window->Properties()->FrameList()->currentText(), QStringLiteral("#2: nuage"));
    QCOMPARE(CanUndoKind(), undo::FrameProperties);
    window->Command(cmd::Undo);
    QCOMPARE(At(1)->Disposal(), int{DisposalLeave});
    QCOMPARE(window->Properties()->DelayEdit()->text(), QStringLiteral("20"));
  }

  // A refused field keeps the sheet and its page, with its message.
  void refusedFieldsKeepTheSheet() {
    QVERIFY(OpenFrames(2));
    window->SelectFrame(0, 0);
    bool stayed = false, keptPage = false;
    QVERIFY(OnSheet(cmd::FrameProperties, [&](QDialog* sheet) {
      auto* tabs = sheet->findChild<QTabWidget*>();
      Type(Child<QLineEdit>(Page(sheet), "delay"), "70000");
      tabs->setCurrentIndex(2);
      keptPage = tabs->currentIndex() == 0;
      Press(sheet, "OK");
      stayed = sheet->isVisible();
    }));
    QVERIFY(keptPage && stayed);
    QCOMPARE(sheet_.Messages().size(), size_t{2});
    QCOMPARE(sheet_.Messages()[0].caption, std::string("Valeur d'intervalle invalide"));
    QCOMPARE(At(0)->delay, 10u);
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
    window->Command(cmd::Undo);
    QCOMPARE(int{At(0)->bits()[0]}, 1);
  }

  // The global page: an empty delay keeps each frame's own while the offset goes to all.
  void globalPageLeavesEmptyFieldsAlone() {
    QVERIFY(OpenFrames(3));
    QVERIFY(OnSheet(cmd::GlobalFrameProperties, [](QDialog* sheet) {
      QVERIFY(Child<QLineEdit>(Page(sheet), "delay")->text().isEmpty());
      Type(Child<QLineEdit>(Page(sheet), "top"), "4");
      Press(sheet, "OK");
    }));
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(At(i)->top, 4);
      QCOMPARE(At(i)->delay, 10u * (i + 1));
    }
    QCOMPARE(CanUndoKind(), undo::GlobalFrameProperties);
  }

  // A palette edited from the sheet stays (with its step) when the sheet is then cancelled;
  // the loop count and a comment are a step each, undone from the menu.
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
    QCOMPARE(CanUndoKind(), undo::EditPalette);
    QCOMPARE(strip->grab().toImage().pixelColor(inside), QColor(10, 200, 30));
    window->Command(cmd::Undo);
    QVERIFY(OnSheet(cmd::AnimationProperties, [](QDialog* sheet) {
      Type(Child<QLineEdit>(Page(sheet), "loopCount"), "5");
      Press(sheet, "OK");
    }));
    QCOMPARE(window->Properties()->LoopEdit()->text(), QStringLiteral("5"));
    CommentListDialog::SetEditor([](QWidget*, QString* text) {
      *text = QStringLiteral("Fait à la main");
      return true;
    });
    QVERIFY(OnSheet(cmd::GifComments, [](QDialog* dialog) {
      QVERIFY(!Child<QPushButton>(dialog, "edit")->isEnabled());
      QTest::mouseClick(Child<QPushButton>(dialog, "add"), Qt::LeftButton);
      QCOMPARE(Child<QListWidget>(dialog, "comments")->item(0)->text(),
               QStringLiteral("Fait à la main"));
      Press(dialog, "OK");
    }));
    CommentListDialog::SetEditor(nullptr);
    QCOMPARE(CommentAt(*window->Document(), 0), std::string("Fait à la main"));
    QCOMPARE(window->Action(cmd::Undo)->text().section('\t', 0, 0),
             QStringLiteral("&Annuler Modification des commentaires GIF"));
    window->Command(cmd::Undo);
    QVERIFY(CommentBlocks(*window->Document()).empty());
    window->Command(cmd::Undo);
    QCOMPARE(window->Properties()->LoopEdit()->text(), QStringLiteral("0"));

  }

  // Over 254 characters the comment editor says so and stays; Annuler stores nothing.
  void longCommentsAreRefused() {
    QString text = QStringLiteral("avant");
    bool stayed = false, edited = false;
    QVERIFY(WithModal([&] { edited = EditCommentText(nullptr, &text); }, [&](QDialog* dialog) {
      auto* edit = Child<QPlainTextEdit>(dialog, "comment");
      edit->selectAll();
      edit->insertPlainText(QString(255, 'x'));
      Press(dialog, "OK");
      stayed = dialog->isVisible();
      edit->selectAll();
      edit->insertPlainText(QString(254, 'y'));
      Press(dialog, "OK");
    }));
    QVERIFY(edited && stayed);
    QCOMPARE(sheet_.Messages().at(0).caption, std::string("Commentaire trop long"));
    QCOMPARE(text, QString(254, 'y'));
    QVERIFY(WithModal([&] { edited = EditCommentText(nullptr, &text); }, [](QDialog* dialog) {
      Child<QPlainTextEdit>(dialog, "comment")->insertPlainText("z");
      Press(dialog, "Annuler");
    }));
    QVERIFY(!edited);
    QCOMPARE(text.size(), 254);
  }

  // The frame that took the delay of a removed one is current; a frame that stays stays
  // current at its new place.
  void reducesTheFrameCount() {
    QVERIFY(OpenFrames(6));
    window->SelectFrame(2, 0);
    QVERIFY(OnSheet(cmd::ReduceFrameCount, [](QDialog* dialog) {
      auto* step = Child<QSpinBox>(dialog, "step");
      QCOMPARE(step->value(), 2);
      step->setValue(3);
      QCOMPARE(Child<QLabel>(dialog, "after")->text(), QStringLiteral("4"));
      Press(dialog, "OK");
    }));
    QCOMPARE(window->Document()->frameCount, int16_t{4});
    QCOMPARE(At(1)->delay, 20u + 30u);
    QCOMPARE(window->CurrentFrame(), 1);
    QCOMPARE(window->Properties()->DelayEdit()->text(), QStringLiteral("50"));
    window->Command(cmd::Undo);
    window->SelectFrame(3, 0);
    QVERIFY(OnSheet(cmd::ReduceFrameCount, [](QDialog* dialog) {
      Child<QSpinBox>(dialog, "step")->setValue(3);
      Press(dialog, "OK");
    }));
    QCOMPARE(window->CurrentFrame(), 2);
    QCOMPARE(At(2)->delay, 40u);
  }
};

LW_UI_TEST(PropertyDialogsTest)

}  // namespace lw::test

#include "property_dialogs_test.moc"
