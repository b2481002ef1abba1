// The property dialogs driven through their widgets from the window's commands.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "base/preferences.h"
#include "colour/palette_edit.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "edit/properties.h"
#include "formats/gif/gif_save.h"
#include "platform/headless_services.h"
#include "shell/command_ids.h"
#include "ui/dialogs/comment_list_dialog.h"
#include "ui/dialogs/properties_sheet.h"
#include "ui/services/qt_services.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"
#include "ui/window/properties_bar.h"
#include "ui_fixtures.h"

namespace lw {

namespace {

// Runs step on the next modal dialog once it is up.
void WhenModal(std::function<void(QDialog*)> step) {
  QTimer::singleShot(0, [step] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    step(dialog);
  });
}

void Type(QLineEdit* edit, const QString& text) {
  QVERIFY(edit);
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

QPushButton* Button(QDialog* dialog, const QString& text) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// Scripted questions. The palette choosers are the test's own, the desktop's dialogs, or none
// (the pages grey their buttons); the window hears its notifications as in the program.
class SheetServices : public HeadlessServices {
 public:
  std::function<bool(Animation&, Frame*, std::vector<uint8_t>*)> chooseTransparency;
  std::function<bool(Animation&, Frame*)> editPalette;
  bool desktopChoosers = false;

  bool OffersPaletteChoosers() const override {
    return desktopChoosers || chooseTransparency || editPalette;
  }
  bool ChooseTransparentIndexes(WindowHandle owner, Animation& animation, Frame* frame,
                                std::vector<uint8_t>* indexes) override {
    if (desktopChoosers)
      return DesktopServices().ChooseTransparentIndexes(owner, animation, frame, indexes);
    return chooseTransparency && chooseTransparency(animation, frame, indexes);
  }
  bool EditPalette(WindowHandle owner, Animation& animation, Frame* frame) override {
    if (desktopChoosers) return DesktopServices().EditPalette(owner, animation, frame);
    return editPalette && editPalette(animation, frame);
  }
  int ChooseBackgroundIndex(WindowHandle owner, Animation& animation, int current) override {
    return desktopChoosers ? DesktopServices().ChooseBackgroundIndex(owner, animation, current)
                           : -1;
  }
  void UndoHistoryChanged() override { DesktopServices().UndoHistoryChanged(); }
  void RecentFilesChanged() override { DesktopServices().RecentFilesChanged(); }
  void ClearChoosers() {
    chooseTransparency = nullptr;
    editPalette = nullptr;
    desktopChoosers = false;
  }
};

}  // namespace

class PropertyDialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  SheetServices services_;
  std::unique_ptr<MainWindow> window_;

  Frame* At(int i) const { return FrameAt(*window_->Document(), i); }

  // Frame n filled with colour n + 1 around a square of colour 3, delay 10 (n + 1); frame 0
  // transparent on index transparent when given.
  void OpenFrames(int count, int transparent = -1) {
    AnimationPtr a = uitest::MakeDocument(40, 30, 0);
    for (int i = 0; i < count; ++i)
      uitest::AddFrame(*a, 0, 0, 40, 30, static_cast<uint8_t>(1 + i), 3, 1, 10 * (i + 1),
                       i == 0 ? transparent : -1);
    QString path = dir_.path() + "/cadres.gif";
    QVERIFY(SaveGifToFile(path.toStdString(), *a, nullptr));
    QCOMPARE(window_->OpenDocument(path.toStdString()), 1);
  }

  // The frame page of the sheet opened on frame 1: delay 55, disposal "Couleur d'arrière-plan",
  // offset (5, 6); then the button.
  void EditFrame(const QString& button) {
    WhenModal([button](QDialog* sheet) {
      auto* tabs = sheet->findChild<QTabWidget*>();
      QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Cadre"));
      QWidget* page = tabs->currentWidget();
      QCOMPARE(page->findChild<QLineEdit*>("delay")->text(), QStringLiteral("20"));
      Type(page->findChild<QLineEdit*>("delay"), QStringLiteral("55"));
      page->findChild<QComboBox*>("disposal")->setCurrentIndex(DisposalBackground);
      Type(page->findChild<QLineEdit*>("left"), QStringLiteral("5"));
      Type(page->findChild<QLineEdit*>("top"), QStringLiteral("6"));
      Type(page->findChild<QLineEdit*>("name"), QStringLiteral("nuage"));
      QTest::mouseClick(Button(sheet, button), Qt::LeftButton);
    });
    window_->Command(cmd::FrameProperties);
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    uitest::UsePrivateSettings(dir_);
    LoadPreferences();
    SetPrefOn(Pref::NoAutoPreview, true);
    services_.SetEcho(false);
    SetServices(&services_);
  }

  void cleanupTestCase() {
    window_.reset();
    SetServices(nullptr);
  }

  void init() {
    services_.Reset();
    window_ = std::make_unique<MainWindow>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() {
    if (window_ && window_->Modified()) services_.QueueAnswer(answer::No);
    window_.reset();
  }

  void framePageCancelOkAndUndo() {
    OpenFrames(3);
    window_->SelectFrame(1, 0);
    EditFrame(QStringLiteral("Annuler"));
    QCOMPARE(At(1)->delay, 20u);
    QCOMPARE(At(1)->left, 0);
    QVERIFY(!window_->Modified());
    QCOMPARE(CanUndoKind(), 0u);

    EditFrame(QStringLiteral("OK"));
    QCOMPARE(At(1)->delay, 55u);
    QCOMPARE(At(1)->Disposal(), int{DisposalBackground});
    QCOMPARE(At(1)->left, 5);
    QCOMPARE(At(1)->top, 6);
    QCOMPARE(At(0)->delay, 10u);
    QVERIFY(window_->Modified());
    QCOMPARE(window_->Properties()->DelayEdit()->text(), QStringLiteral("55"));
    QCOMPARE(window_->Properties()->FrameList()->currentText(), QStringLiteral("#2: nuage"));
    QCOMPARE(CanUndoKind(), undo::FrameProperties);

    window_->Command(cmd::Undo);
    QCOMPARE(At(1)->delay, 20u);
    QCOMPARE(At(1)->Disposal(), int{DisposalLeave});
    QCOMPARE(At(1)->left, 0);
    QCOMPARE(window_->Properties()->DelayEdit()->text(), QStringLiteral("20"));
  }

  // With the transparency dialog installed, the click that checks the box opens it: cancelled,
  // the box goes back; accepted, its indexes go to the frame on OK.
  void checkingTransparentOpensTheChooser() {
    OpenFrames(2);
    window_->SelectFrame(0, 0);
    static int asked = 0;
    static bool agree = false;
    asked = 0;
    services_.chooseTransparency = [](Animation&, Frame*, std::vector<uint8_t>* indexes) {
      ++asked;
      *indexes = {3, 1};
      return agree;
    };
    bool uncheckedAgain = false;
    WhenModal([&uncheckedAgain](QDialog* sheet) {
      auto* box =
          sheet->findChild<QTabWidget*>()->currentWidget()->findChild<QCheckBox*>("transparent");
      agree = false;
      QTest::mouseClick(box, Qt::LeftButton);
      uncheckedAgain = !box->isChecked();
      agree = true;
      QTest::mouseClick(box, Qt::LeftButton);
      QVERIFY(box->isChecked());
      QTest::mouseClick(Button(sheet, QStringLiteral("OK")), Qt::LeftButton);
    });
    window_->Command(cmd::FrameProperties);
    services_.ClearChoosers();
    QCOMPARE(asked, 2);
    QVERIFY(uncheckedAgain);
    QVERIFY(At(0)->Transparent());
    QCOMPARE(int{At(0)->transparentIndex}, 3);
    QCOMPARE(int{At(0)->bits()[0]}, 3);  // the frame's colour 1 merged into 3
    window_->Command(cmd::Undo);
    QVERIFY(!At(0)->Transparent());
    QCOMPARE(int{At(0)->bits()[0]}, 1);
  }

  // A refused field keeps the sheet up with its message; leaving the page is refused too.
  void refusedFieldsKeepTheSheet() {
    OpenFrames(2);
    window_->SelectFrame(0, 0);
    bool stayed = false, keptPage = false;
    WhenModal([&](QDialog* sheet) {
      auto* tabs = sheet->findChild<QTabWidget*>();
      Type(tabs->currentWidget()->findChild<QLineEdit*>("delay"), QStringLiteral("70000"));
      tabs->setCurrentIndex(2);
      keptPage = tabs->currentIndex() == 0;
      QTest::mouseClick(Button(sheet, QStringLiteral("OK")), Qt::LeftButton);
      stayed = sheet->isVisible();
      QTest::mouseClick(Button(sheet, QStringLiteral("Annuler")), Qt::LeftButton);
    });
    window_->Command(cmd::FrameProperties);
    QVERIFY(keptPage);
    QVERIFY(stayed);
    QCOMPARE(services_.Messages().size(), size_t{2});
    QCOMPARE(QString::fromStdString(services_.Messages()[0].caption),
             QStringLiteral("Valeur d'intervalle invalide"));
    QCOMPARE(At(0)->delay, 10u);
  }

  // The global page: an empty delay keeps each frame's own while the offset goes to all.
  void globalPageLeavesEmptyFieldsAlone() {
    OpenFrames(3);
    WhenModal([](QDialog* sheet) {
      auto* tabs = sheet->findChild<QTabWidget*>();
      QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Cadre global"));
      QWidget* page = tabs->currentWidget();
      QVERIFY(page->findChild<QLineEdit*>("delay")->text().isEmpty());
      Type(page->findChild<QLineEdit*>("top"), QStringLiteral("4"));
      QTest::mouseClick(Button(sheet, QStringLiteral("OK")), Qt::LeftButton);
    });
    window_->Command(cmd::GlobalFrameProperties);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(At(i)->top, 4);
      QCOMPARE(At(i)->delay, 10u * (i + 1));
    }
    QCOMPARE(CanUndoKind(), undo::GlobalFrameProperties);
  }

  void animationPageAndComments() {
    OpenFrames(2);
    WhenModal([](QDialog* sheet) {
      auto* tabs = sheet->findChild<QTabWidget*>();
      QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Animation"));
      Type(tabs->currentWidget()->findChild<QLineEdit*>("loopCount"), QStringLiteral("5"));
      QTest::mouseClick(Button(sheet, QStringLiteral("OK")), Qt::LeftButton);
    });
    window_->Command(cmd::AnimationProperties);
    QCOMPARE(window_->Document()->playCount, 5u);
    QCOMPARE(window_->Properties()->LoopEdit()->text(), QStringLiteral("5"));
    QCOMPARE(CanUndoKind(), undo::AnimationProperties);

    CommentListDialog::SetEditor([](QWidget*, QString* text) {
      *text = QStringLiteral("Fait à la main");
      return true;
    });
    WhenModal([](QDialog* dialog) {
      auto* list = dialog->findChild<QListWidget*>("comments");
      QVERIFY(!dialog->findChild<QPushButton*>("edit")->isEnabled());
      QTest::mouseClick(dialog->findChild<QPushButton*>("add"), Qt::LeftButton);
      QCOMPARE(list->count(), 1);
      QCOMPARE(list->item(0)->text(), QStringLiteral("Fait à la main"));
      QTest::mouseClick(Button(dialog, QStringLiteral("OK")), Qt::LeftButton);
    });
    window_->Command(cmd::GifComments);
    CommentListDialog::SetEditor(nullptr);
    QCOMPARE(QString::fromStdString(CommentAt(*window_->Document(), 0)),
             QStringLiteral("Fait à la main"));
    QVERIFY(window_->Modified());

    // Each change is a step of its own, undone from the menu.
    QCOMPARE(CanUndoKind(), undo::EditComments);
    QCOMPARE(window_->Action(cmd::Undo)->text().section(QLatin1Char('\t'), 0, 0),
             QStringLiteral("&Annuler Modification des commentaires GIF"));
    window_->Command(cmd::Undo);
    QVERIFY(CommentBlocks(*window_->Document()).empty());
    QCOMPARE(window_->Document()->playCount, 5u);
    window_->Command(cmd::Undo);
    QCOMPARE(window_->Document()->playCount, 0u);
    QCOMPARE(window_->Properties()->LoopEdit()->text(), QStringLiteral("0"));
    window_->Command(cmd::Redo);
    QCOMPARE(window_->Properties()->LoopEdit()->text(), QStringLiteral("5"));
  }

  // A palette edited from the sheet keeps its edit (and its undo step) when the sheet is then
  // cancelled: the document is marked and the strip shows the new colour.
  void paletteEditedThenAnnulerIsKept() {
    OpenFrames(2);
    services_.editPalette = [](Animation& a, Frame* frame) {
      std::vector<PaletteEntry> entries = a.globalPalette->entries;
      entries[1] = {10, 200, 30, 0};
      return !frame && ApplyPaletteEdit(a, -1, entries) != 0;
    };
    QWidget* strip = window_->Strip()->viewport();
    QPoint inside = window_->Strip()->FrameImageRect(0).topLeft() + QPoint(1, 1);
    QCOMPARE(strip->grab().toImage().pixelColor(inside), QColor(255, 0, 0));
    WhenModal([](QDialog* sheet) {
      QTest::mouseClick(sheet->findChild<QPushButton*>("editGlobalPalette"), Qt::LeftButton);
      QTest::mouseClick(Button(sheet, QStringLiteral("Annuler")), Qt::LeftButton);
    });
    window_->Command(cmd::AnimationProperties);
    services_.ClearChoosers();
    QVERIFY(window_->Modified());
    QCOMPARE(CanUndoKind(), undo::EditPalette);
    QCOMPARE(strip->grab().toImage().pixelColor(inside), QColor(10, 200, 30));
  }

  // Unchecking "Transparent", checking it again and confirming the chooser as it opens keeps
  // the frame as it was: nothing recorded, nothing cleared.
  void transparencyConfirmedUnchangedStays() {
    OpenFrames(2, 3);
    window_->SelectFrame(0, 0);
    services_.desktopChoosers = true;
    bool checkedAgain = false;
    WhenModal([&checkedAgain](QDialog* sheet) {
      auto* box =
          sheet->findChild<QTabWidget*>()->currentWidget()->findChild<QCheckBox*>("transparent");
      QVERIFY(box->isChecked());
      QTest::mouseClick(box, Qt::LeftButton);
      QVERIFY(!box->isChecked());
      QTimer::singleShot(0, [] {
        auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(chooser && chooser->windowTitle() != QStringLiteral("Propriétés"));
        chooser->accept();
      });
      QTest::mouseClick(box, Qt::LeftButton);
      checkedAgain = box->isChecked();
      QTest::mouseClick(Button(sheet, QStringLiteral("OK")), Qt::LeftButton);
    });
    window_->Command(cmd::FrameProperties);
    services_.ClearChoosers();
    QVERIFY(checkedAgain);
    QVERIFY(At(0)->Transparent());
    QCOMPARE(int{At(0)->transparentIndex}, 3);
    QVERIFY(!window_->Modified());
    QCOMPARE(CanUndoKind(), 0u);
  }

  // The frame page's edits survive a visit to "Cadre global", whose fields the user left as
  // they opened (all frames shared the disposal and the offsets).
  void framePageEditsSurviveTheGlobalPage() {
    OpenFrames(3);
    window_->SelectFrame(1, 0);
    WhenModal([](QDialog* sheet) {
      auto* tabs = sheet->findChild<QTabWidget*>();
      QWidget* page = tabs->currentWidget();
      page->findChild<QComboBox*>("disposal")->setCurrentIndex(DisposalBackground);
      Type(page->findChild<QLineEdit*>("left"), QStringLiteral("5"));
      tabs->setCurrentIndex(1);
      QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Cadre global"));
      QCOMPARE(tabs->currentWidget()->findChild<QLineEdit*>("left")->text(), QStringLiteral("0"));
      QTest::mouseClick(Button(sheet, QStringLiteral("OK")), Qt::LeftButton);
    });
    window_->Command(cmd::FrameProperties);
    QCOMPARE(At(1)->left, 5);
    QCOMPARE(At(1)->Disposal(), int{DisposalBackground});
    QCOMPARE(At(0)->left, 0);
    QCOMPARE(At(0)->Disposal(), int{DisposalLeave});
    QCOMPARE(CanUndoKind(), undo::FrameProperties);  // the global page changed nothing
  }

  // Over 254 characters the editor says so and stays; Annuler stores nothing.
  void longCommentsAreRefused() {
    QString text = QStringLiteral("avant");
    bool stayed = false;
    WhenModal([&stayed](QDialog* dialog) {
      auto* edit = dialog->findChild<QPlainTextEdit*>("comment");
      edit->selectAll();
      edit->insertPlainText(QString(255, QLatin1Char('x')));
      QTest::mouseClick(Button(dialog, QStringLiteral("OK")), Qt::LeftButton);
      stayed = dialog->isVisible();
      edit->selectAll();
      edit->insertPlainText(QString(254, QLatin1Char('y')));
      QTest::mouseClick(Button(dialog, QStringLiteral("OK")), Qt::LeftButton);
    });
    QVERIFY(EditCommentText(nullptr, &text));
    QVERIFY(stayed);
    QCOMPARE(services_.Messages().size(), size_t{1});
    QCOMPARE(QString::fromStdString(services_.Messages()[0].caption),
             QStringLiteral("Commentaire trop long"));
    QCOMPARE(text, QString(254, QLatin1Char('y')));
    WhenModal([](QDialog* dialog) {
      dialog->findChild<QPlainTextEdit*>("comment")->insertPlainText(QStringLiteral("z"));
      QTest::mouseClick(Button(dialog, QStringLiteral("Annuler")), Qt::LeftButton);
    });
    QVERIFY(!EditCommentText(nullptr, &text));
    QCOMPARE(text.size(), 254);
  }

  void reducesTheFrameCount() {
    OpenFrames(6);
    window_->SelectFrame(2, 0);  // the third frame: it goes
    WhenModal([](QDialog* dialog) {
      auto* step = dialog->findChild<QSpinBox*>("step");
      QCOMPARE(step->value(), 2);
      QCOMPARE(dialog->findChild<QLabel*>("after")->text(), QStringLiteral("3"));
      step->setValue(3);
      QCOMPARE(dialog->findChild<QLabel*>("after")->text(), QStringLiteral("4"));
      QTest::mouseClick(Button(dialog, QStringLiteral("OK")), Qt::LeftButton);
    });
    window_->Command(cmd::ReduceFrameCount);
    QCOMPARE(window_->Document()->frameCount, int16_t{4});
    QCOMPARE(At(1)->delay, 20u + 30u);
    QCOMPARE(CanUndoKind(), undo::ReduceFrameCount);
    // The frame that took its delay is current.
    QCOMPARE(window_->CurrentFrame(), 1);
    QCOMPARE(window_->StatusPart(0), QStringLiteral("  Cadre #2 sur 4"));
    QCOMPARE(window_->Properties()->DelayEdit()->text(), QStringLiteral("50"));
    window_->Command(cmd::Undo);
    QCOMPARE(window_->Document()->frameCount, int16_t{6});

    // A frame that stays stays current, at its new place.
    window_->SelectFrame(3, 0);
    WhenModal([](QDialog* dialog) {
      dialog->findChild<QSpinBox*>("step")->setValue(3);
      QTest::mouseClick(Button(dialog, QStringLiteral("OK")), Qt::LeftButton);
    });
    window_->Command(cmd::ReduceFrameCount);
    QCOMPARE(window_->CurrentFrame(), 2);
    QCOMPARE(At(2)->delay, 40u);
  }

  // The picture for the documentation, when LOOPWRIGHT_PROPERTIES_SHOT names the file: the
  // animation page beside the comment list holding one comment.
  void picture() {
    QByteArray target = qgetenv("LOOPWRIGHT_PROPERTIES_SHOT");
    if (target.isEmpty()) QSKIP("LOOPWRIGHT_PROPERTIES_SHOT not set");
    OpenFrames(4);
    Animation* doc = window_->Document();
    QVERIFY(InsertComment(*doc, 0, "Créé avec Loopwright"));
    PropertiesRequest request;
    request.opener = PropertiesRequest::Opener::Animation;
    request.animation = doc;
    request.fileName = "cadres.gif";
    PropertiesSheet sheet(window_.get(), &request);
    CommentListDialog comments(window_.get(), doc);
    sheet.show();
    comments.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QVERIFY(QTest::qWaitForWindowExposed(&comments));
    QTest::qWait(300);
    // Each dialog under a bar with its title, as the window manager would show it.
    QPixmap left = sheet.grab(), right = comments.grab();
    constexpr int kBar = 24;
    QPixmap both(left.width() + right.width() + 24,
                 std::max(left.height(), right.height()) + kBar + 16);
    both.fill(QColor(0x60, 0x70, 0x80));
    QPainter painter(&both);
    int x = 8;
    for (auto [dialog, picture] :
         {std::pair<QDialog*, QPixmap>{&sheet, left}, {&comments, right}}) {
      QRect bar(x, 8, picture.width(), kBar);
      painter.fillRect(bar, QColor(0x30, 0x40, 0x58));
      painter.setPen(Qt::white);
      painter.drawText(bar.adjusted(8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       dialog->windowTitle());
      painter.drawPixmap(x, 8 + kBar, picture);
      x += picture.width() + 8;
    }
    painter.end();
    QVERIFY(both.save(QString::fromLocal8Bit(target)));
    window_->SetModified(false);
  }
};

}  // namespace lw

QTEST_MAIN(lw::PropertyDialogsTest)
#include "property_dialogs_test.moc"
