// The main window driven as a user drives it: clicks and drags in the strip, the toolbar's
// fields, shortcuts, the commands' dialogs, saving, closing and the views emptied after.

#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "formats/gif/gif_format.h"
#include "formats/save_flow.h"
#include "support/window_driver.h"

namespace lw::test {

class MainWindowTest : public UiTest {
  Q_OBJECT

  std::string gif_;

  QWidget* View() const { return window->Strip()->viewport(); }
  QPoint At(int index) const { return window->Strip()->FrameImageRect(index).center(); }
  bool Enabled(int command) const { return window->Action(command)->isEnabled(); }
  Animation& Doc() const { return *window->Document(); }
  // The title as shown: the modified marker becomes an asterisk.
  QString Title() const {
    return window->windowTitle().replace("[*]", window->isWindowModified() ? "*" : "");
  }
  bool OpenFour() { return window->OpenDocument(gif_) == 1; }

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    // Four 20 x 10 frames; frame n is filled with colour n and has delay 10 n.
    AnimationPtr a = MakeDocument(20, 10, BrightPalette());
    for (int i = 1; i <= 4; ++i)
      AddFrame(*a, 0, 0, 20, 10, std::vector<uint8_t>(200, uint8_t(i)), 0, -1, 10 * i);
    gif_ = WriteGif(*a, "quatre.gif");
    QVERIFY(!gif_.empty());
  }
  void cleanupTestCase() { EndUi(); }
  void init() { QVERIFY(OpenWindow(900, 600)); }
  void cleanup() { CloseWindow(); }

  void selectsDragsAndUndoesInTheStrip() {
    QVERIFY(OpenFour());
    QCOMPARE(Title(), QStringLiteral("quatre.gif - Loopwright"));
    QVERIFY(!window->Modified() && !Enabled(cmd::FileSave) && !Enabled(cmd::Delete));

    // Click, Ctrl+click, Shift+click.
    Click(View(), At(1));
    QCOMPARE(window->StatusPart(0), QStringLiteral("  Cadre #2 sur 4"));
    QCOMPARE(window->Properties()->DelayEdit()->text(), QStringLiteral("20"));
    Click(View(), At(3), Qt::ControlModifier);
    QCOMPARE(Doc().selectedCount, 2u);
    QCOMPARE(window->Properties()->DelayEdit()->text(), QString());  // 20 and 40 differ
    Click(View(), At(0), Qt::ShiftModifier);
    // A plain click inside the selection keeps it until the release; Ctrl toggles on release.
    Mouse(View(), QEvent::MouseButtonPress, At(2));
    QCOMPARE(Doc().selectedCount, 4u);
    Mouse(View(), QEvent::MouseButtonRelease, At(2));
    QCOMPARE(Doc().selectedCount, 1u);
    Mouse(View(), QEvent::MouseButtonPress, At(0), Qt::ControlModifier);
    QVERIFY(!FrameAt(Doc(), 0)->selected);
    Mouse(View(), QEvent::MouseButtonRelease, At(0), Qt::ControlModifier);
    QVERIFY(FrameAt(Doc(), 0)->selected);
    Click(View(), At(0), Qt::ControlModifier);  // off again: frame 3 alone is dragged

    // Frame 3 dragged in front of the first; a move under the threshold is still a click.
    const QPoint from = At(2), to = window->Strip()->FrameImageRect(0).topLeft() - QPoint(2, 2);
    Mouse(View(), QEvent::MouseButtonPress, from);
    Mouse(View(), QEvent::MouseMove, from + QPoint(1, 1));
    QVERIFY(!window->Strip()->Dragging());
    Mouse(View(), QEvent::MouseMove, (from + to) / 2);
    Mouse(View(), QEvent::MouseMove, to);
    QCOMPARE(window->Strip()->DropPosition(), 0);
    Mouse(View(), QEvent::MouseButtonRelease, to);
    QVERIFY(!window->Strip()->Dragging());
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{3, 1, 2, 4}));
    QVERIFY(window->Modified() && Enabled(cmd::FileSave));

    // Dropped on its own slot, or Esc during the drag: nothing.
    const uint32_t steps = History().count;
    Drag(View(), At(1), At(1) + QPoint(6, 0));
    QCOMPARE(History().count, steps);
    Mouse(View(), QEvent::MouseButtonPress, At(1));
    Mouse(View(), QEvent::MouseMove, At(3));
    QTest::keyClick(window->Strip(), Qt::Key_Escape);
    QVERIFY(!window->Strip()->Dragging());
    Mouse(View(), QEvent::MouseButtonRelease, At(3));
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{3, 1, 2, 4}));

    // Two frames moved past the last one make one step.
    Click(View(), At(0));
    Click(View(), At(2), Qt::ControlModifier);
    QPoint end = window->Strip()->FrameImageRect(3).center() + QPoint(0, 8);
    if (window->Strip()->Direction() == 2)
      end = window->Strip()->FrameImageRect(3).topRight() + QPoint(8, 5);
    Drag(View(), At(2), end);
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{1, 4, 3, 2}));
    QCOMPARE(CanUndoKind(), UndoKind::MoveFrames);
  }

  // Typing in a toolbar field is one step however many keys; leaving the field ends it. Values
  // out of range say so and are brought back.
  void toolbarFieldsEditAndUndoOneStepAtATime() {
    QVERIFY(OpenFour());
    Click(View(), At(1));
    QLineEdit* delay = window->Properties()->DelayEdit();
    QLineEdit* loops = window->Properties()->LoopEdit();
    delay->setFocus();
    delay->selectAll();
    QTest::keyClicks(delay, "125");
    QCOMPARE(FrameAt(Doc(), 1)->delay, 125u);
    QCOMPARE(window->StatusPart(2), QStringLiteral("  2,05 secs"));
    loops->setFocus();
    loops->selectAll();
    QTest::keyClicks(loops, "12");
    QCOMPARE(Doc().playCount, 12u);
    delay->setFocus();
    QTest::keyClick(delay, Qt::Key_Backspace);
    QCOMPARE(FrameAt(Doc(), 1)->delay, 12u);
    window->Command(cmd::Undo);
    QCOMPARE(delay->text(), QStringLiteral("125"));
    window->Command(cmd::Undo);
    QCOMPARE(loops->text(), QStringLiteral("0"));
    window->Command(cmd::Undo);
    QCOMPARE(delay->text(), QStringLiteral("20"));
    QVERIFY(!Enabled(cmd::Undo));

    delay->setText("70000");
    QCOMPARE(QString::fromStdString(services.Messages().at(0).caption),
             QStringLiteral("Valeur d'intervalle invalide"));
    QCOMPARE(delay->text(), QStringLiteral("65535"));
    QCOMPARE(FrameAt(Doc(), 1)->delay, 65535u);
  }

  // Delete and Ctrl+Z from the keyboard; Save As clears the history; saving again goes through
  // a file beside it and leaves nothing else behind.
  void deletesWithKeysAndSaves() {
    QVERIFY(OpenFour());
    Click(View(), At(0));
    Click(View(), At(2), Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_Delete);
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{2, 4}));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{1, 2, 3, 4}));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{2, 4}));

    QDir folder(dir.path() + "/sauve");
    QVERIFY(folder.mkpath("."));
    const std::string copy = (folder.path() + "/deux.gif").toStdString();
    services.saveAs = [&](const SaveAsRequest&, SaveAsChoice* choice) {
      choice->path = copy;
      choice->type = savetype::Gif;
      choice->options.optionBits = saveopt::AnimationChosen;
      return true;
    };
    window->Command(cmd::FileSaveAs);
    services.saveAs = nullptr;
    QVERIFY(!window->Modified() && !Enabled(cmd::FileSave) && !Enabled(cmd::Undo));
    QCOMPARE(Title(), QStringLiteral("deux.gif - Loopwright"));
    Click(View(), At(0));
    window->Command(cmd::Delete);
    window->Command(cmd::FileSave);
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList{"deux.gif"});
    GifSource source;
    AnimationPtr back;
    QVERIFY(source.Open(copy) && IsGifFile(source));
    QCOMPARE(ReadGif(source, nullptr, &back), GifReadStatus::Done);
    QCOMPARE(FrameNumbers(*back), (std::vector<int>{4}));
  }

  // Closing a changed document asks; Annuler keeps it. Revert reads the file first: when it is
  // damaged, the message says so and the edits stay.
  void closingAndRevertingAsk() {
    QFile::remove(QString::fromStdString(Path("retour.gif")));
    QVERIFY(QFile::copy(QString::fromStdString(gif_), QString::fromStdString(Path("retour.gif"))));
    QCOMPARE(window->OpenDocument(Path("retour.gif")), 1);
    Click(View(), At(0));
    window->Command(cmd::Delete);
    services.QueueAnswer(answer::Cancel);
    QVERIFY(!window->CloseDocument());
    QCOMPARE(services.Texts().back(), "Sauvegarder les changements de " + Path("retour.gif") + "?");
    QFile file(QString::fromStdString(Path("retour.gif")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("GIF89a\x14");
    file.close();
    services.Reset();
    services.QueueAnswer(answer::Ok);
    window->Command(cmd::RevertToSaved);
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{2, 3, 4}));
    QVERIFY(window->Modified());
    QCOMPARE(CanUndoKind(), UndoKind::DeleteFrame);
    QCOMPARE(QString::fromStdString(services.Messages().back().caption), QStringLiteral("Erreur"));
    services.QueueAnswer(answer::No);
    QVERIFY(window->CloseDocument());
    QCOMPARE(Title(), QStringLiteral("Sans nom - Loopwright"));
  }

  // Insert before the current frame and drop files on the strip, each one undo step.
  void insertsAndDrops() {
    services.QueueChosenFiles({gif_});
    window->Command(cmd::InsertFrames);  // nothing open: opens
    QCOMPARE(int(Doc().frameCount), 4);
    QVERIFY(!window->Strip()->IntroWidget()->isVisible());
    Click(View(), At(1));
    services.QueueChosenFiles({gif_});
    window->Command(cmd::InsertFrames);
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{1, 1, 2, 3, 4, 2, 3, 4}));
    QVERIFY(window->Modified());
    QCOMPARE(window->Properties()->FrameList()->count(), 9);
    window->Command(cmd::Undo);
    window->Command(cmd::InsertFrames);  // the chooser cancelled
    QCOMPARE(int(Doc().frameCount), 4);

    window->DropFiles({QString::fromStdString(gif_)}, 0, true);
    QCOMPARE(FrameNumbers(Doc()), (std::vector<int>{1, 2, 3, 4, 1, 2, 3, 4}));
    QCOMPARE(window->Strip()->HitTest(At(7)), 7);
  }

  // The preview opens on its own, follows changes, gives the properties bar back when its
  // duration panel goes, and closes before a command that changes frames.
  void previewFollowsTheDocument() {
    SetPrefOn(Pref::NoAutoPreview, false);
    QVERIFY(OpenFour());
    SetPrefOn(Pref::NoAutoPreview, true);
    QTRY_VERIFY(window->Preview());
    QCOMPARE(window->Preview()->FrameCount(), 4);
    Click(View(), At(1));
    window->Command(cmd::Duration);
    QVERIFY(window->Preview()->DurationMode());
    QVERIFY(!window->Properties()->DelayEdit()->isEnabled());
    QTest::keyClick(window->Preview(), Qt::Key_Escape);
    QTRY_VERIFY(!window->Preview());
    QVERIFY(window->Properties()->DelayEdit()->isEnabled());
    window->Command(cmd::Preview);
    QVERIFY(window->Action(cmd::Preview)->isChecked());
    Click(View(), At(0));
    window->Command(cmd::Delete);
    QVERIFY(!window->Preview() && !window->Action(cmd::Preview)->isChecked());
  }

  void everyViewEmptiesWhenTheDocumentGoes() {
    struct Case {
      const char* name;
      std::function<void()> close;
    } const cases[] = {
        {"New", [&] { window->Command(cmd::NewAnimation); }},
        {"failed open", [&] { window->OpenDocument(Path("absent.gif")); }},
        {"No, then Open cancelled",
         [&] {
           window->Command(cmd::Delete);
           services.QueueAnswer(answer::No);
           window->Command(cmd::FileOpen);
         }},
    };
    for (const Case& c : cases) {
      QVERIFY(OpenFour());
      window->SelectFrame(2, 0);
      services.Reset();
      c.close();
      QVERIFY2(!window->Document(), c.name);
      QCOMPARE(window->Properties()->FrameList()->count(), 1);
      QVERIFY(window->Properties()->DelayEdit()->text().isEmpty());
      QVERIFY(window->Properties()->LoopEdit()->text().isEmpty());
      for (int part = 0; part < 5; ++part) QVERIFY2(window->StatusPart(part).isEmpty(), c.name);
      QCOMPARE(window->StatusMessage(), QStringLiteral("Prêt à animer"));
      QCOMPARE(Title(), QStringLiteral("Sans nom - Loopwright"));
      QVERIFY(window->Strip()->IntroWidget()->isVisible());
      for (int command : {cmd::Delete, cmd::DisposalLeave, cmd::ToggleTransparency})
        QVERIFY2(!Enabled(command), c.name);
    }
  }

  // Each path that refreshes the frame's controls leaves the disposal buttons usable; the
  // strip blends a true-colour frame over the backdrop.
  void refreshesKeepControlsAndPictures() {
    QVERIFY(OpenFour());
    window->SelectFrame(1, 0);
    for (int command :
         {cmd::DisposalRestoreBackground, cmd::ToggleTransparency, cmd::DisposalLeave, cmd::Undo}) {
      WithModal([&] { window->Command(command); }, [](QDialog* d) { d->reject(); });
      QVERIFY2(Enabled(cmd::DisposalLeave), qPrintable(QString::number(command)));
    }
    Frame* f = FirstFrame(Doc());
    SetRgbPlane(f, std::vector<uint8_t>(RgbStride(f->DibWidth()) * f->DibHeight(), 200));
    SetAlphaPlane(f, std::vector<uint8_t>(IndexStride(f->DibWidth()) * f->DibHeight(), 0));
    window->State().NotifyDocument(refresh::ForFrame(refresh::OneFrame, 0));
    QCOMPARE(QColor(View()->grab().toImage().pixel(At(0))), QColor(0xC0, 0xC0, 0xC0));
  }
};

LW_UI_TEST(MainWindowTest)

}  // namespace lw::test

#include "main_window_test.moc"
