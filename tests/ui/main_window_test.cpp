#include "ui/window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "base/preferences.h"
#include "base/settings.h"
#include "core/animation.h"
#include "core/gif_reader.h"
#include "core/gif_source.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "formats/format_registry.h"
#include "formats/gif/gif_save.h"
#include "formats/save_flow.h"
#include "platform/headless_services.h"
#include "shell/command_ids.h"
#include "ui/dialogs/index_choice_dialog.h"
#include "ui/dialogs/optimize_dialog.h"
#include "ui/dialogs/reduce_colours_dialog.h"
#include "ui/services/qt_services.h"
#include "ui/window/frame_strip.h"
#include "ui/window/properties_bar.h"
#include "ui_fixtures.h"

namespace lw {

namespace {

// Four 20 x 10 frames; frame n is filled with colour n and has delay 10 n.
AnimationPtr FourFrames() {
  AnimationPtr a = NewAnimation();
  a->screenWidth = 20;
  a->screenHeight = 10;
  const uint8_t rgb[] = {0,   0,   0, 255, 0,   0,   0, 255, 0, 0, 0, 255,
                         255, 255, 0, 255, 255, 255, 9, 9,   9, 7, 7, 7};
  SetGlobalPalette(*a, PaletteFromTriples(8, rgb));
  Block* last = a->blocks;
  for (int i = 1; i <= 4; ++i) {
    Frame* f = NewFrame(20, 10);
    f->palette = a->globalPalette.get();
    NewFrameDib(f);
    for (uint32_t y = 0; y < 10; ++y)
      for (uint32_t x = 0; x < 20; ++x)
        f->bits()[y * IndexStride(20) + x] = static_cast<uint8_t>(i);
    f->delay = 10 * i;
    SetTransparentIndex(f, 5);
    InsertBlockAfter(last, f);
    last = f;
    ++a->frameCount;
  }
  return a;
}

// The fill colour of every frame, in order: which frame went where.
std::vector<int> Order(const Animation& a) {
  std::vector<int> order;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) order.push_back(f->bits()[0]);
  return order;
}

void Press(QWidget* w, QPoint p, Qt::KeyboardModifiers keys = Qt::NoModifier) {
  QMouseEvent e(QEvent::MouseButtonPress, p, w->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                keys);
  QApplication::sendEvent(w, &e);
}
void Move(QWidget* w, QPoint p, Qt::MouseButtons buttons = Qt::LeftButton) {
  QMouseEvent e(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
void Release(QWidget* w, QPoint p, Qt::KeyboardModifiers keys = Qt::NoModifier) {
  QMouseEvent e(QEvent::MouseButtonRelease, p, w->mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                keys);
  QApplication::sendEvent(w, &e);
}
void Click(QWidget* w, QPoint p, Qt::KeyboardModifiers keys = Qt::NoModifier) {
  Press(w, p, keys);
  Release(w, p, keys);
}

// Headless services whose open and Save As dialogs the test answers.
class ScriptedServices : public HeadlessServices {
 public:
  std::function<bool(int titleId, std::vector<std::string>* paths)> chooseFiles;
  std::function<bool(const SaveAsRequest& request, SaveAsChoice* choice)> saveAs;

  std::vector<FileFilter> lastFilter;

  bool ChooseFiles(WindowHandle, int titleId, const std::vector<FileFilter>& filter, bool,
                   std::vector<std::string>* paths) override {
    lastFilter = filter;
    return chooseFiles && chooseFiles(titleId, paths);
  }
  bool AskSaveAs(const SaveAsRequest& request, SaveAsChoice* choice) override {
    return saveAs && saveAs(request, choice);
  }
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  ScriptedServices services_;
  std::unique_ptr<MainWindow> window_;
  QString gif_;
  std::vector<std::string> chosen_;
  std::string saveAs_;
  int lastTitle_ = 0;

  QWidget* View() const { return window_->Strip()->viewport(); }
  QPoint At(int index) const { return window_->Strip()->FrameImageRect(index).center(); }
  bool Enabled(int command) const { return window_->Action(command)->isEnabled(); }
  // The title as shown: the modified marker becomes an asterisk.
  QString Title() const {
    return window_->windowTitle().replace(QStringLiteral("[*]"),
                                          window_->isWindowModified() ? "*" : "");
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    uitest::StartWindowTests(dir_, services_);
    AnimationPtr a = FourFrames();
    gif_ = dir_.path() + "/quatre.gif";
    QVERIFY(SaveGifToFile(gif_.toStdString(), *a, nullptr));
  }

  void cleanupTestCase() {
    window_.reset();
    uitest::EndWindowTests();
  }

  void init() {
    services_.Reset();
    window_ = std::make_unique<MainWindow>();
    window_->resize(900, 600);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    // Scripted dialogs: the next files to open, the next name to save under.
    chosen_.clear();
    saveAs_.clear();
    services_.chooseFiles = [this](int titleId, std::vector<std::string>* paths) {
      lastTitle_ = titleId;
      if (chosen_.empty()) return false;
      *paths = chosen_;
      return true;
    };
    services_.saveAs = [this](const SaveAsRequest& request, SaveAsChoice* choice) {
      if (saveAs_.empty()) return false;
      choice->path = saveAs_;
      choice->type = savetype::Gif;
      choice->options.optionBits =
          request.document->frameCount > 1 ? saveopt::AnimationChosen : saveopt::Plain;
      return true;
    };
  }

  void cleanup() {
    if (window_ && window_->Modified()) services_.QueueAnswer(answer::No);
    window_.reset();
  }

  void startsEmptyWithTheIntroPanel() {
    QCOMPARE(Title(), QStringLiteral("Sans nom - Loopwright"));
    QVERIFY(!window_->Document());
    QCOMPARE(window_->StatusMessage(), QStringLiteral("Prêt à animer"));
    QVERIFY(window_->Strip()->IntroWidget() && window_->Strip()->IntroWidget()->isVisible());
    QVERIFY(Enabled(cmd::FileOpen));
    for (int c :
         {cmd::FileSave, cmd::FileSaveAs, cmd::Delete, cmd::Undo, cmd::ZoomIn, cmd::NewAnimation})
      QVERIFY2(!Enabled(c), qPrintable(QString::number(c)));
    QCOMPARE(window_->Action(cmd::FileOpen)->toolTip(),
             QStringLiteral("Ouvrir fichier d'animation"));
    QCOMPARE(window_->Action(cmd::Undo)->text(), QStringLiteral("Impossible d'annuler\tCtrl-Z"));
  }

  void importCommandsOpenWithTheirOwnFilters() {
    for (const ImportCommand& c : ImportCommands()) {
      if (c.command == cmd::ImportStrip) continue;
      QVERIFY2(Enabled(c.command), qPrintable(QString::number(c.command)));
      services_.lastFilter.clear();
      window_->Command(c.command);
      QCOMPARE(lastTitle_, int(str::OpenFilesTitle));
      QVERIFY2(services_.lastFilter == c.filter, qPrintable(QString::number(c.command)));
    }
    // A BMP chosen through its own entry becomes the document.
    AnimationPtr a = FourFrames();
    const std::string bmp = dir_.path().toStdString() + "/image.bmp";
    QVERIFY(WriteSingleImage(bmp, FirstFrame(*a), saveopt::Plain, savetype::Bmp));
    chosen_ = {bmp};
    window_->Command(cmd::ImportBmp);
    QVERIFY(window_->Document());
    QCOMPARE(int(window_->Document()->frameCount), 1);
    QCOMPARE(Title(), QStringLiteral("image.bmp - Loopwright"));
  }

  void opensSelectsDragsAndUndoes() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    Animation* doc = window_->Document();
    QVERIFY(doc);
    QCOMPARE(int(doc->frameCount), 4);
    QCOMPARE(Title(), QStringLiteral("quatre.gif - Loopwright"));
    QVERIFY(!window_->Modified());
    QVERIFY(!Enabled(cmd::FileSave));
    QVERIFY(Enabled(cmd::FileSaveAs));
    QVERIFY(!Enabled(cmd::Delete));
    QVERIFY(!window_->Strip()->IntroWidget()->isVisible());
    QCOMPARE(window_->StatusPart(0), QStringLiteral("  Aucun des 4 cadres"));
    QCOMPARE(window_->StatusPart(1), QStringLiteral("  20 × 10"));
    QCOMPARE(window_->StatusPart(2), QStringLiteral("  1,00 secs"));
    QCOMPARE(window_->StatusPart(4), QStringLiteral("  100%"));

    // Click, Ctrl+click, Shift+click.
    Click(View(), At(1));
    QCOMPARE(window_->CurrentFrame(), 1);
    QCOMPARE(doc->selectedCount, 1u);
    QVERIFY(Enabled(cmd::Delete));
    QCOMPARE(window_->StatusPart(0), QStringLiteral("  Cadre #2 sur 4"));
    QCOMPARE(window_->Properties()->DelayEdit()->text(), QStringLiteral("20"));
    Click(View(), At(3), Qt::ControlModifier);
    QCOMPARE(doc->selectedCount, 2u);
    QCOMPARE(window_->CurrentFrame(), 3);
    QCOMPARE(window_->StatusPart(0), QStringLiteral("  Multiple de 4"));
    QCOMPARE(window_->Properties()->FrameList()->currentText(), QStringLiteral("Cadres Multiples"));
    QCOMPARE(window_->Properties()->DelayEdit()->text(), QString());  // 20 and 40 differ
    Click(View(), At(0), Qt::ShiftModifier);
    QCOMPARE(doc->selectedCount, 4u);
    // A plain click inside the selection keeps it until the release, then selects one frame.
    Press(View(), At(2));
    QCOMPARE(doc->selectedCount, 4u);
    Release(View(), At(2));
    QCOMPARE(doc->selectedCount, 1u);
    QCOMPARE(window_->CurrentFrame(), 2);
    // Ctrl toggles on release, not on press.
    Press(View(), At(0), Qt::ControlModifier);
    QVERIFY(!FrameAt(*doc, 0)->selected);
    Release(View(), At(0), Qt::ControlModifier);
    QVERIFY(FrameAt(*doc, 0)->selected);
    Click(View(), At(0), Qt::ControlModifier);
    QVERIFY(!FrameAt(*doc, 0)->selected);

    // Drag frame 3 (colour 3, at index 2) in front of the first frame.
    QPoint from = At(2);
    QPoint to = window_->Strip()->FrameImageRect(0).topLeft() - QPoint(2, 2);
    Press(View(), from);
    Move(View(), from + QPoint(1, 1));  // under the threshold: still a click
    QVERIFY(!window_->Strip()->Dragging());
    Move(View(), (from + to) / 2);
    QVERIFY(window_->Strip()->Dragging());
    Move(View(), to);
    QCOMPARE(window_->Strip()->DropPosition(), 0);
    Release(View(), to);
    QVERIFY(!window_->Strip()->Dragging());
    QCOMPARE(Order(*doc), (std::vector<int>{3, 1, 2, 4}));
    QCOMPARE(window_->CurrentFrame(), 0);
    QVERIFY(window_->Modified());
    QVERIFY(Enabled(cmd::FileSave));
    QCOMPARE(CanUndoKind(), undo::MoveFrame);
    QVERIFY(window_->Action(cmd::Undo)->text().contains(QStringLiteral("Déplacement du cadre")));
    window_->Command(cmd::Undo);
    QCOMPARE(Order(*doc), (std::vector<int>{1, 2, 3, 4}));
    QVERIFY(Enabled(cmd::Redo));
    window_->Command(cmd::Redo);
    QCOMPARE(Order(*doc), (std::vector<int>{3, 1, 2, 4}));

    // Dropping a frame on its own slot, or Esc during a drag, changes nothing.
    uint32_t undoCount = History().count;
    Press(View(), At(1));
    Release(View(), At(1));
    Press(View(), At(1));
    Move(View(), At(1) + QPoint(6, 0));
    Release(View(), At(1) + QPoint(6, 0));
    QCOMPARE(History().count, undoCount);
    Press(View(), At(1));
    Move(View(), At(3));
    QTest::keyClick(window_->Strip(), Qt::Key_Escape);
    QVERIFY(!window_->Strip()->Dragging());
    Release(View(), At(3));
    QCOMPARE(Order(*doc), (std::vector<int>{3, 1, 2, 4}));
  }

  void movesSeveralFramesAsOneStep() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    Animation* doc = window_->Document();
    Click(View(), At(0));
    Click(View(), At(2), Qt::ControlModifier);
    Press(View(), At(2));
    QPoint end = window_->Strip()->FrameImageRect(3).center() + QPoint(0, 8);
    if (window_->Strip()->Direction() == 2)
      end = window_->Strip()->FrameImageRect(3).topRight() + QPoint(8, 5);
    Move(View(), (At(2) + end) / 2);
    Move(View(), end);
    Release(View(), end);
    QCOMPARE(Order(*doc), (std::vector<int>{2, 4, 1, 3}));
    QCOMPARE(CanUndoKind(), undo::MoveFrames);
    QCOMPARE(window_->CurrentFrame(), 2);
    window_->Command(cmd::Undo);
    QCOMPARE(Order(*doc), (std::vector<int>{1, 2, 3, 4}));
  }

  void editsDelaysLoopsAndTransparency() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    Animation* doc = window_->Document();
    QLineEdit* delay = window_->Properties()->DelayEdit();
    Click(View(), At(1));
    delay->setText("25");
    QCOMPARE(FrameAt(*doc, 1)->delay, 25u);
    QVERIFY(window_->Modified());
    QCOMPARE(window_->StatusPart(2), QStringLiteral("  1,05 secs"));

    // Out of range: the message, then 65535 takes effect.
    delay->setText("70000");
    QCOMPARE(services_.Messages().size(), size_t{1});
    QCOMPARE(QString::fromStdString(services_.Messages()[0].caption),
             QStringLiteral("Valeur d'intervalle invalide"));
    QCOMPARE(delay->text(), QStringLiteral("65535"));
    QCOMPARE(FrameAt(*doc, 1)->delay, 65535u);

    // Several frames with one delay show it; typing sets it on all of them.
    Click(View(), At(2));
    Click(View(), At(3), Qt::ControlModifier);
    QCOMPARE(delay->text(), QString());
    delay->setText("5");
    QCOMPARE(FrameAt(*doc, 2)->delay, 5u);
    QCOMPARE(FrameAt(*doc, 3)->delay, 5u);
    Click(View(), At(3));
    Click(View(), At(2), Qt::ControlModifier);
    QCOMPARE(delay->text(), QStringLiteral("5"));

    QLineEdit* loops = window_->Properties()->LoopEdit();
    loops->setText("3");
    QCOMPARE(doc->playCount, 3u);
    loops->setText("70000");
    QCOMPARE(doc->playCount, 0u);
    QCOMPARE(loops->text(), QStringLiteral("0"));

    // Transparency of one frame, undone and redone.
    Click(View(), At(0));
    QAction* transparency = window_->Properties()->Action(cmd::ToggleTransparency);
    QVERIFY(transparency->isEnabled());
    QVERIFY(!transparency->isChecked());
    // Switching on asks for the colour first.
    QTimer::singleShot(0, [] {
      auto* chooser = qobject_cast<IndexChoiceDialog*>(QApplication::activeModalWidget());
      QVERIFY(chooser);
      chooser->Click(1);
      chooser->accept();
    });
    transparency->trigger();
    QVERIFY(FrameAt(*doc, 0)->Transparent());
    QCOMPARE(int(FrameAt(*doc, 0)->transparentIndex), 1);
    QVERIFY(transparency->isChecked());
    QCOMPARE(CanUndoKind(), undo::EditTransparency);
    window_->Command(cmd::Undo);
    QVERIFY(!FrameAt(*doc, 0)->Transparent());
    QVERIFY(!transparency->isChecked());
    window_->Command(cmd::Redo);
    QVERIFY(FrameAt(*doc, 0)->Transparent());

    // Disposal buttons.
    window_->Properties()->Action(cmd::DisposalRestorePrevious)->trigger();
    QCOMPARE(FrameAt(*doc, 0)->Disposal(), 3);
    QVERIFY(window_->Properties()->Action(cmd::DisposalRestorePrevious)->isChecked());
    QVERIFY(!window_->Properties()->Action(cmd::DisposalLeave)->isChecked());
  }

  // Typing in a field of the toolbar is one step, however many keys; leaving the field ends it.
  // The disposal buttons make a step each.
  void toolbarEditsAreUndoneOneAtATime() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    Animation* doc = window_->Document();
    Click(View(), At(1));
    QLineEdit* delay = window_->Properties()->DelayEdit();
    QLineEdit* loops = window_->Properties()->LoopEdit();
    delay->setFocus();
    delay->selectAll();
    QTest::keyClicks(delay, "125");
    QCOMPARE(FrameAt(*doc, 1)->delay, 125u);
    loops->setFocus();  // the delay field is left
    loops->selectAll();
    QTest::keyClicks(loops, "12");
    QCOMPARE(doc->playCount, 12u);
    delay->setFocus();
    QTest::keyClick(delay, Qt::Key_Backspace);
    QCOMPARE(FrameAt(*doc, 1)->delay, 12u);
    window_->Properties()->Action(cmd::DisposalRestoreBackground)->trigger();
    QCOMPARE(FrameAt(*doc, 1)->Disposal(), 2);

    window_->Command(cmd::Undo);
    QCOMPARE(FrameAt(*doc, 1)->Disposal(), 0);
    QVERIFY(window_->Properties()->Action(cmd::DisposalLeave)->isChecked());
    window_->Command(cmd::Undo);
    QCOMPARE(delay->text(), QStringLiteral("125"));
    window_->Command(cmd::Undo);
    QCOMPARE(doc->playCount, 0u);
    QCOMPARE(loops->text(), QStringLiteral("0"));
    window_->Command(cmd::Undo);
    QCOMPARE(FrameAt(*doc, 1)->delay, 20u);
    QCOMPARE(delay->text(), QStringLiteral("20"));
    QCOMPARE(window_->StatusPart(2), QStringLiteral("  1,00 secs"));
    QVERIFY(!Enabled(cmd::Undo));
  }

  // Revert reads the file first: when it is gone or damaged, the message says so and the
  // edits stay, with their undo steps.
  void revertKeepsTheEditsWhenTheFileCannotBeRead() {
    QString path = dir_.path() + "/retour.gif";
    QFile::remove(path);
    QVERIFY(QFile::copy(gif_, path));
    QCOMPARE(window_->OpenDocument(path.toStdString()), 1);
    Click(View(), At(0));
    window_->Command(cmd::Delete);
    for (bool damaged : {false, true}) {
      if (damaged) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("GIF89a\x14");
      } else {
        QVERIFY(QFile::remove(path));
      }
      services_.Reset();
      services_.QueueAnswer(answer::Ok);
      window_->Command(cmd::RevertToSaved);
      QVERIFY(window_->Document());
      QCOMPARE(Order(*window_->Document()), (std::vector<int>{2, 3, 4}));
      QVERIFY(window_->Modified());
      QCOMPARE(CanUndoKind(), undo::DeleteFrame);
      QCOMPARE(Title(), QStringLiteral("*retour.gif - Loopwright"));
      QVERIFY(services_.Messages().size() >= 2);  // the question, then the read's message
      QCOMPARE(QString::fromStdString(services_.Messages().back().caption),
               QStringLiteral("Erreur"));
    }
  }

  void deletesUndoesAndSaves() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    Animation* doc = window_->Document();
    window_->Command(cmd::Delete);  // no current frame: nothing
    QCOMPARE(int(doc->frameCount), 4);
    Click(View(), At(3));
    window_->Command(cmd::Delete);
    QCOMPARE(Order(*doc), (std::vector<int>{1, 2, 3}));
    QCOMPARE(window_->CurrentFrame(), 2);  // the last frame when the index fell off the end
    QCOMPARE(window_->StatusPart(0), QStringLiteral("  Cadre #3 sur 3"));
    QCOMPARE(window_->Properties()->FrameList()->count(), 4);
    window_->Command(cmd::Undo);
    QCOMPARE(Order(*doc), (std::vector<int>{1, 2, 3, 4}));
    QVERIFY(window_->Properties()->FrameList()->itemText(4).startsWith("#4: "));

    Click(View(), At(0));
    Click(View(), At(2), Qt::ControlModifier);
    QTest::keyClick(window_.get(), Qt::Key_Delete);
    QCOMPARE(Order(*doc), (std::vector<int>{2, 4}));
    QCOMPARE(window_->CurrentFrame(), -1);
    QVERIFY(!Enabled(cmd::Delete));
    QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Order(*doc), (std::vector<int>{1, 2, 3, 4}));
    QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Order(*doc), (std::vector<int>{2, 4}));
    QVERIFY(window_->Modified());

    QString copy = dir_.path() + "/deux.gif";
    saveAs_ = copy.toStdString();
    QVERIFY(window_->SaveDocumentAs(-1));
    QVERIFY(!window_->Modified());
    QVERIFY(!Enabled(cmd::FileSave));
    QVERIFY(!Enabled(cmd::Undo));  // saving clears the history
    QCOMPARE(Title(), QStringLiteral("deux.gif - Loopwright"));
    GifSource source;
    QVERIFY(source.Open(copy.toStdString()));
    QVERIFY(IsGifFile(source));
    AnimationPtr back;
    QCOMPARE(ReadGif(source, nullptr, &back), GifReadStatus::Done);
    QCOMPARE(Order(*back), (std::vector<int>{2, 4}));
    QCOMPARE(FrameAt(*back, 1)->delay, 40u);
  }

  void promptsBeforeClosingChanges() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    Click(View(), At(0));
    window_->Command(cmd::Delete);
    services_.QueueAnswer(answer::Cancel);
    QVERIFY(!window_->CloseDocument());
    QVERIFY(window_->Document());
    QCOMPARE(QString::fromStdString(services_.Messages().back().text),
             QStringLiteral("Sauvegarder les changements de %1?").arg(gif_));
    services_.QueueAnswer(answer::No);
    QVERIFY(window_->CloseDocument());
    QVERIFY(!window_->Document());
    QCOMPARE(Title(), QStringLiteral("Sans nom - Loopwright"));
    QVERIFY(!window_->Modified());
    // The file was kept: the recent-file entry reopens it.
    QVERIFY(window_->Action(cmd::RecentFileFirst));
    window_->Command(cmd::RecentFileFirst);
    QCOMPARE(int(window_->Document()->frameCount), 4);
  }

  void zoomsOrientsAndFindsFrames() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    FrameStrip* strip = window_->Strip();
    QCOMPARE(strip->Direction(), 1);  // wider than high: columns
    QCOMPARE(strip->CellLength(), 10 + 8);
    window_->Command(cmd::ZoomIn);
    QCOMPARE(strip->ZoomLevel(), 1);
    QCOMPARE(window_->StatusPart(4), QStringLiteral("  200%"));
    QVERIFY(Enabled(cmd::ActualSize));
    window_->Command(cmd::ZoomLevelFirst);
    QCOMPARE(strip->ZoomLevel(), -4);
    QVERIFY(!Enabled(cmd::ZoomOut));
    QCOMPARE(strip->CellLength(), 2 + 8);
    window_->Command(cmd::OrientationHorizontal);
    QCOMPARE(strip->Direction(), 2);
    QCOMPARE(PrefFieldValue(PrefField::StripOrientation), 2u);  // horizontal
    window_->Command(cmd::ActualSize);
    // The film edge and the space past the last frame hit nothing.
    QCOMPARE(strip->HitTest(QPoint(2, 2)), -1);
    QCOMPARE(strip->HitTest(At(3)), 3);
    QCOMPARE(strip->HitTest(At(3) + QPoint(strip->CellLength(), 0)), -1);
    window_->Command(cmd::OrientationAuto);
    QCOMPARE(strip->Direction(), 1);
  }

  void opensThePreviewAndOptimizes() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    window_->Command(cmd::Preview);
    QVERIFY(window_->Preview());
    QVERIFY(window_->Action(cmd::Preview)->isChecked());
    QVERIFY(Enabled(cmd::StopPreview));
    // A command that changes frames closes it first.
    Click(View(), At(0));
    window_->Command(cmd::Delete);
    QVERIFY(!window_->Preview());
    QVERIFY(!window_->Action(cmd::Preview)->isChecked());

    // The dialog's OK keeps the trial's result.
    bool sawDialog = false;
    QTimer::singleShot(0, [&sawDialog] {
      if (auto* d = qobject_cast<OptimizeDialog*>(QApplication::activeModalWidget())) {
        sawDialog = true;
        d->accept();
      }
    });
    window_->Command(cmd::Optimize);
    QVERIFY(sawDialog);
    QCOMPARE(CanUndoKind(), undo::Optimize);
    QVERIFY(window_->Modified());
    QCOMPARE(int(window_->Document()->frameCount), 3);
    window_->Command(cmd::Undo);
    QCOMPARE(Order(*window_->Document()), (std::vector<int>{2, 3, 4}));
  }

  void reducesColoursAsOneUndoStep() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    QVERIFY(Enabled(cmd::ReduceColours));
    bool reduced = false;
    QTimer::singleShot(0, [&reduced] {
      auto* d = qobject_cast<ReduceColoursDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      QTRY_VERIFY(d->Measured());
      reduced = true;
      d->accept();
    });
    window_->Command(cmd::ReduceColours);
    QVERIFY(reduced);
    QVERIFY(window_->Modified());
    QCOMPARE(CanUndoKind(), undo::ReducePalette);
    window_->Command(cmd::Undo);
    QCOMPARE(CanUndoKind(), 0u);
  }

  void insertsDropsAndMergesThroughTheFlows() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    Animation* doc = window_->Document();
    QVERIFY(Enabled(cmd::InsertFrames));
    QVERIFY(Enabled(cmd::MergeWith));
    // Insert before the current frame, one undo step; a GIF keeps its name.
    Click(View(), At(1));
    chosen_ = {gif_.toStdString()};
    window_->Command(cmd::InsertFrames);
    QCOMPARE(lastTitle_, 40229);
    QCOMPARE(Order(*doc), (std::vector<int>{1, 1, 2, 3, 4, 2, 3, 4}));
    QVERIFY(window_->Modified());
    QCOMPARE(Title(), QStringLiteral("*quatre.gif - Loopwright"));
    QCOMPARE(window_->Properties()->FrameList()->count(), 9);
    QCOMPARE(CanUndoKind(), undo::InsertFrames);
    window_->Command(cmd::Undo);
    QCOMPARE(Order(*doc), (std::vector<int>{1, 2, 3, 4}));
    // Cancelling the dialog changes nothing.
    chosen_.clear();
    window_->Command(cmd::InsertFrames);
    QCOMPARE(int(doc->frameCount), 4);

    // Files dropped on the strip go in at the frame under the drop.
    window_->DropFiles({gif_}, 0, true);
    QCOMPARE(Order(*doc), (std::vector<int>{1, 2, 3, 4, 1, 2, 3, 4}));
    QCOMPARE(window_->Strip()->HitTest(At(7)), 7);
    window_->Command(cmd::Undo);

    // Merge with the stored choices: frame by frame, same size, so four frames again.
    chosen_ = {gif_.toStdString()};
    Click(View(), At(2));
    window_->Command(cmd::MergeWith);
    QCOMPARE(lastTitle_, 40358);
    QCOMPARE(window_->Document(), doc);
    QCOMPARE(int(doc->frameCount), 4);
    QCOMPARE(CanUndoKind(), undo::MergeAnimations);
    QCOMPARE(window_->CurrentFrame(), -1);
    QCOMPARE(doc->selectedCount, 0u);
    QCOMPARE(window_->Properties()->FrameList()->count(), 5);
  }

  void insertWithNothingOpenOpens() {
    chosen_ = {gif_.toStdString()};
    window_->Command(cmd::InsertFrames);
    QCOMPARE(lastTitle_, 40354);
    QVERIFY(window_->Document());
    QCOMPARE(int(window_->Document()->frameCount), 4);
    QVERIFY(!window_->Strip()->IntroWidget()->isVisible());
    QVERIFY(Enabled(cmd::FileSaveAs));
  }

  void dropsOnTheWindowOpenOrAssemble() {
    // One file on an empty window: the document, named and unmodified.
    window_->DropFiles({gif_}, -1, false);
    QVERIFY(window_->Document());
    QCOMPARE(Title(), QStringLiteral("quatre.gif - Loopwright"));
    QVERIFY(!window_->Modified());
    // Two files replace it by an untitled, modified animation.
    window_->DropFiles({gif_, gif_}, -1, false);
    QCOMPARE(int(window_->Document()->frameCount), 8);
    QCOMPARE(Title(), QStringLiteral("*Sans nom - Loopwright"));
    QVERIFY(window_->Modified());
    QCOMPARE(window_->Document()->playCount, GetPref(PrefDefaultLoopCount));
    // Cancelling the save question keeps everything.
    services_.QueueAnswer(answer::Cancel);
    window_->DropFiles({gif_}, -1, false);
    QCOMPARE(int(window_->Document()->frameCount), 8);
    QVERIFY(window_->Modified());
  }

  void savesUntitledWithTheSignatureAndNoTemporaryLeft() {
    window_->DropFiles({gif_, gif_}, -1, false);
    QVERIFY(Enabled(cmd::FileSave));
    QDir folder(dir_.path() + "/sauve");
    QVERIFY(folder.mkpath("."));
    saveAs_ = (folder.path() + "/huit.gif").toStdString();
    window_->Command(cmd::FileSave);  // untitled: through Save As
    QVERIFY(!window_->Modified());
    QCOMPARE(Title(), QStringLiteral("huit.gif - Loopwright"));
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList{"huit.gif"});
    if (!GetSignature().empty()) {
      Block* first = window_->Document()->blocks->next;
      QVERIFY(first && first->kind == BlockKind::Comment);
    }
    // Saved again over itself, through a file written beside it.
    Click(View(), At(0));
    window_->Command(cmd::Delete);
    window_->Command(cmd::FileSave);
    QVERIFY(!window_->Modified());
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList{"huit.gif"});
    GifSource source;
    QVERIFY(source.Open(saveAs_));
    QVERIFY(IsGifFile(source));
    AnimationPtr back;
    QCOMPARE(ReadGif(source, nullptr, &back), GifReadStatus::Done);
    QCOMPARE(int(back->frameCount), 7);
    // Revert has nothing to do on a saved document; after a change it reopens the file.
    QVERIFY(!Enabled(cmd::RevertToSaved));
    Click(View(), At(0));
    window_->Command(cmd::Delete);
    services_.QueueAnswer(answer::Ok);
    window_->Command(cmd::RevertToSaved);
    QCOMPARE(int(window_->Document()->frameCount), 7);
    QVERIFY(!window_->Modified());
  }

  void previewFollowsTheDocument() {
    SetPrefOn(Pref::NoAutoPreview, false);
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    SetPrefOn(Pref::NoAutoPreview, true);
    QTRY_VERIFY(window_->Preview());
    QCOMPARE(window_->Preview()->FrameCount(), 4);
    // A change that keeps the preview open reaches it.
    Click(View(), At(1));
    window_->Properties()->Action(cmd::DisposalRestoreBackground)->trigger();
    QVERIFY(window_->Preview());
    // The duration panel turns the properties bar's frame controls off while it is shown.
    window_->Command(cmd::Duration);
    QVERIFY(window_->Preview() && window_->Preview()->DurationMode());
    QVERIFY(!window_->Properties()->DelayEdit()->isEnabled());
    QTest::keyClick(window_->Preview(), Qt::Key_Escape);
    QTRY_VERIFY(!window_->Preview());
    QVERIFY(window_->Properties()->DelayEdit()->isEnabled());
    // Opening another document closes the preview before the frames go.
    window_->Command(cmd::Preview);
    QVERIFY(window_->Preview());
    services_.QueueAnswer(answer::No);
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    QTRY_VERIFY(!window_->Preview());
  }

  void reportsAMissingFile() {
    QCOMPARE(window_->OpenDocument((dir_.path() + "/absent.gif").toStdString()), 0);
    QVERIFY(!window_->Document());
    QCOMPARE(services_.Messages().size(), size_t{1});
    QVERIFY(QString::fromStdString(services_.Messages()[0].text).contains("absent.gif"));
  }

  void clearsEveryViewWhenTheDocumentGoes() {
    struct Case {
      const char* name;
      void (*close)(MainWindowTest& t);
    };
    const Case cases[] = {
        {"New", [](MainWindowTest& t) { t.window_->Command(cmd::NewAnimation); }},
        {"failed open",
         [](MainWindowTest& t) {
           t.window_->OpenDocument((t.dir_.path() + "/absent.gif").toStdString());
         }},
        {"No, then Open cancelled",
         [](MainWindowTest& t) {
           t.window_->Command(cmd::Delete);
           t.services_.QueueAnswer(answer::No);
           t.window_->Command(cmd::FileOpen);
         }},
    };
    for (const Case& c : cases) {
      QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
      window_->SelectFrame(2, 0);
      QCOMPARE(window_->Properties()->DelayEdit()->text(), QStringLiteral("30"));
      c.close(*this);
      QVERIFY2(!window_->Document(), c.name);
      QCOMPARE(window_->Properties()->FrameList()->count(), 1);
      QCOMPARE(window_->Properties()->FrameList()->currentIndex(), 0);
      QVERIFY(window_->Properties()->DelayEdit()->text().isEmpty());
      QVERIFY(window_->Properties()->LoopEdit()->text().isEmpty());
      for (int part = 0; part < 5; ++part) QVERIFY2(window_->StatusPart(part).isEmpty(), c.name);
      QCOMPARE(window_->StatusMessage(), QStringLiteral("Prêt à animer"));
      QCOMPARE(Title(), QStringLiteral("Sans nom - Loopwright"));
      for (int command :
           {cmd::Delete, cmd::DisposalLeave, cmd::ToggleTransparency, cmd::Unoptimize})
        QVERIFY2(!Enabled(command), c.name);
    }
  }

  // The strip shows a true-colour frame blended over the backdrop.
  void stripBlendsTrueColourFramesOverTheBackdrop() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    Frame* f = FirstFrame(*window_->Document());
    SetRgbPlane(f, std::vector<uint8_t>(RgbStride(f->DibWidth()) * f->DibHeight(), 200));
    SetAlphaPlane(f, std::vector<uint8_t>(IndexStride(f->DibWidth()) * f->DibHeight(), 0));
    window_->State().NotifyDocument(refresh::ForFrame(refresh::OneFrame, 0));
    QImage shown = View()->grab().toImage();
    QCOMPARE(QColor(shown.pixel(At(0))), QColor(0xC0, 0xC0, 0xC0));
  }

  void laterFeaturesStayGreyedWhateverRefreshes() {
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    window_->SelectFrame(1, 0);
    // Each path refreshes the frame's controls in its own way; none may wake a waiting button.
    for (int command :
         {cmd::DisposalRestoreBackground, cmd::ToggleTransparency, cmd::DisposalLeave, cmd::Undo}) {
      // Switching transparency on asks for the colour: cancelled here.
      QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
      });
      window_->Command(command);
      QVERIFY2(Enabled(cmd::DisposalLeave), qPrintable(QString::number(command)));
    }
  }

  void helpSaysWhereThePageIsWithoutABrowser() {
    window_->SetPageOpener([](const std::string&) { return false; });
    window_->Command(cmd::HelpContents);
    QCOMPARE(services_.Messages().size(), size_t{1});
    QString text = QString::fromStdString(services_.Messages()[0].text);
    QVERIFY2(text.startsWith(QStringLiteral("Aucun navigateur")) &&
                 text.endsWith("/aide/loopwright.html"),
             qPrintable(text));
    window_->SetPageOpener([](const std::string&) { return true; });
    window_->Command(cmd::Tutorial);
    QCOMPARE(services_.Messages().size(), size_t{1});
  }

  void quitsWithCtrlQAndUnoptimizes() {
    QVERIFY(
        window_->Action(cmd::Exit)->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+Q"))));
    QVERIFY(
        window_->Action(cmd::Redo)->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+Y"))));
    QCOMPARE(window_->OpenDocument(gif_.toStdString()), 1);
    QVERIFY(Enabled(cmd::Unoptimize));
    window_->Command(cmd::Unoptimize);
    QVERIFY(window_->Modified());
    QCOMPARE(Title(), QStringLiteral("*quatre.gif - Loopwright"));
    QCOMPARE(CanUndoKind(), undo::Unoptimize);
    window_->Command(cmd::Undo);
    QCOMPARE(CanUndoKind(), 0u);
  }
};

}  // namespace lw

QTEST_MAIN(lw::MainWindowTest)
#include "main_window_test.moc"
