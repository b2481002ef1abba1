// LiveEdit from the window: the editor is asked for when none is set, the menu names it, each
// save reaches the document through the interface thread, and closing ends the session.
#include <cstdlib>

#include "core/gif_writer.h"
#include "formats/live_edit.h"
#include "formats/png/png_entry.h"
#include "formats/save_flow.h"
#include "platform/files.h"
#include "support/window_driver.h"
#include "ui/services/live_edit_link.h"

namespace lw::test {

class LiveEditWindowTest : public UiTest {
  Q_OBJECT

  static QString editor_;

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    setenv("TMPDIR", dir.path().toLocal8Bit().constData(), 1);
    AnimationPtr a = MakeDocument(120, 90, BrightPalette());
    AddSquareFrame(*a, 0, 0, 120, 90, 1, 2, 1, 20);
    AddSquareFrame(*a, 0, 0, 120, 90, 3, 5, 1, 20);
    gif_ = dir.path() + "/deux.gif";
    QVERIFY(SaveGifToFile(gif_.toStdString(), *a, {}, nullptr));
    // The edited frame: yellow (entry 4) with a blue middle.
    AnimationPtr edited = MakeDocument(120, 90, BrightPalette());
    Frame* f = AddSquareFrame(*edited, 0, 0, 120, 90, 4, 3, 1, 20);
    const std::string png = (dir.path() + "/edited.png").toStdString();
    QVERIFY(WriteSingleImage(png, f, saveopt::Plain, savetype::Png, {}));
    editor_ = dir.path() + "/retouche.sh";
    QFile script(editor_);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(("#!/bin/sh\n(sleep 0.5; cp '" + png + "' \"$1.part\"; mv \"$1.part\" \"$1\") &\n")
                     .c_str());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SetCoEditorAsker([](QWidget*) { return editor_; });
  }

  void cleanupTestCase() {
    SetCoEditorAsker(nullptr);
    EndUi();
  }

  void saveComesBackAndCloseEndsTheSession() {
    SetCoEditor("");
    MainWindow window;
    window.resize(900, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.OpenDocument(gif_.toStdString()), 1);
    window.SelectFrame(1, 0);
    window.UpdateCommandStates();
    QVERIFY(!window.Action(cmd::EndLiveEdit)->isVisible());

    window.Command(cmd::LiveEditFrame);
    QVERIFY(LiveEditActive());
    QCOMPARE(window.Action(cmd::LiveEditFrame)->text(),
             QStringLiteral("LiveEdit avec retouche.sh..."));
    QVERIFY(window.Action(cmd::EndLiveEdit)->isVisible() &&
            window.Action(cmd::EndLiveEdit)->isEnabled());
    // A copy: the session's own name is cleared when it ends.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const std::string folder = LiveEditFolder();
    QTRY_COMPARE_WITH_TIMEOUT(FrameAt(*window.Document(), 1)->bits()[0], uint8_t{4}, 5000);
    QCOMPARE(FrameAt(*window.Document(), 0)->bits()[0], uint8_t{1});  // the first frame stays
    QVERIFY(window.Modified() && services.Messages().empty());
    QCOMPARE(CanUndoKind(), UndoKind::CoEditFrame);

    services.QueueAnswer(answer::No);  // do not save
    window.Command(cmd::NewAnimation);
    QVERIFY(!window.Document());
    QVERIFY(!LiveEditActive());
    QVERIFY(!FileExists(folder));
  }

  // A save while a modal dialog runs waits for it; the end command removes the files.
  void aModalDialogHoldsTheSaveBack() {
    MainWindow window;
    window.show();
    QCOMPARE(window.OpenDocument(gif_.toStdString()), 1);
    window.SelectFrame(1, 0);
    window.Command(cmd::LiveEditFrame);
    // A copy: the session's own name is cleared when it ends.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const std::string folder = LiveEditFolder();
    QDialog dialog(&window);
    int during = -1;
    QTimer::singleShot(1600, &dialog, [&] {
      during = FrameAt(*window.Document(), 1)->bits()[0];
      dialog.accept();
    });
    dialog.exec();
    QCOMPARE(during, 3);
    QTRY_COMPARE_WITH_TIMEOUT(FrameAt(*window.Document(), 1)->bits()[0], uint8_t{4}, 3000);
    window.Command(cmd::EndLiveEdit);
    QVERIFY(!LiveEditActive() && !FileExists(folder));
  }

 private:
  QString gif_;
};

QString LiveEditWindowTest::editor_;

LW_UI_TEST(LiveEditWindowTest)

}  // namespace lw::test

#include "live_edit_window_test.moc"
