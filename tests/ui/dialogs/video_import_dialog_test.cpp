// "Importer une vidéo" through the real window: what is chosen in it is what the insert reads,
// Esc leaves the document as it was, and the "Importer de" menu offers the clips.

#include "ui/dialogs/video_import_dialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenuBar>
#include <QSlider>
#include <QSpinBox>

#include "core/undo.h"
#include "formats/format_registry.h"
#include "shell/command_ids.h"
#include "support/tools.h"
#include "support/window_driver.h"

namespace lw::test {

class VideoImportDialogTest : public UiTest {
  Q_OBJECT

  std::string clip_;

  // The frames' count, sizes and delays: what an insert would change.
  static QString Shape(const Animation& a) {
    QString shape = QString::number(a.frameCount);
    for (const Frame* f = FirstFrame(a); f; f = NextFrame(f))
      shape += QStringLiteral(" %1x%2/%3").arg(f->width).arg(f->height).arg(f->delay);
    return shape;
  }

  // Inserts the clip (or opens it) with the Qt dialog, which act answers.
  bool InsertClip(const std::function<void(VideoImportDialog*)>& act,
                  int command = cmd::InsertFrames) {
    services.QueueChosenFiles({clip_});
    services.videoImport = [this](VideoImportRequest* r) {
      return DesktopServices().AskVideoImport(window.get(), r);
    };
    // The reader asks from its thread while the window pumps, as the desktop's services do.
    services.onPump = [] { DesktopServices().PumpEvents(); };
    const bool shown = WithModal<VideoImportDialog>([&] { window->Command(command); }, act);
    services.onPump = nullptr;
    return shown;
  }

 private slots:
  void initTestCase() {
    if (!HasTool("ffmpeg")) QSKIP("no ffmpeg");
    QVERIFY(StartUi());
    clip_ = Path("clip.mp4");
    QCOMPARE(RunTool("ffmpeg -v error -y -f lavfi -i testsrc2=size=160x90:rate=30 -t 4 "
                     "-pix_fmt yuv420p " +
                     Quoted(clip_))
                 .exitCode,
             0);
  }
  void cleanupTestCase() { EndUi(); }
  void init() {
    QVERIFY(OpenWindow());
    AnimationPtr doc = MakeDocument(160, 90);
    AddSolidFrame(*doc, 0, 0, 160, 90, 3);
    AddSolidFrame(*doc, 0, 0, 160, 90, 4);
    QVERIFY(OpenGif(*doc, "doc.gif"));
  }
  void cleanup() { CloseWindow(); }

  // From 1 s to 2 s at 10 frames a second, 80 pixels wide: 10 frames of 80 x 45 after the
  // document's two, the dialog having said so before.
  void theChoicesReachTheReader() {
    QString cost;
    QVERIFY(InsertClip([&](VideoImportDialog* d) {
      QCOMPARE(d->Width()->value(), 160);
      QCOMPARE(d->End()->value(), 4.0);
      d->Start()->setValue(1);
      d->EndSlider()->setValue(2000);
      QCOMPARE(d->End()->value(), 2.0);  // the field follows the slider
      d->Rate()->setCurrentIndex(d->Rate()->findData(10000u));
      d->Width()->setValue(80);
      d->ShowPictures();
      QVERIFY(!d->StartPicture()->pixmap().isNull() && !d->EndPicture()->pixmap().isNull());
      cost = d->Cost()->text();
      d->accept();
    }));
    QVERIFY2(cost.startsWith(QStringLiteral("10 cadres")), qPrintable(cost));
    QCOMPARE(services.videoImports.size(), size_t{1});
    QString expected = QStringLiteral("12 160x90/10 160x90/10");
    for (int i = 0; i < 10; ++i) expected += QStringLiteral(" 80x45/10");
    QCOMPARE(Shape(*window->Document()), expected);
    QVERIFY(window->Modified());
  }

  // Esc: the document, its history and its modified flag as they were, and no message.
  void cancellingChangesNothing() {
    const QString before = Shape(*window->Document());
    const UndoKind undoKind = CanUndoKind();
    QVERIFY(InsertClip([](VideoImportDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }));
    QCOMPARE(Shape(*window->Document()), before);
    QCOMPARE(CanUndoKind(), undoKind);
    QVERIFY(!window->Modified());
    QVERIFY(services.Messages().empty());
  }

  // Opening the clip instead: Esc leaves the document open, as it was.
  void cancellingAnOpenKeepsTheDocument() {
    const QString before = Shape(*window->Document());
    QVERIFY(InsertClip([](VideoImportDialog* d) { QTest::keyClick(d, Qt::Key_Escape); },
                       cmd::FileOpen));
    QVERIFY(window->Document());
    QCOMPARE(Shape(*window->Document()), before);
    QVERIFY(services.Messages().empty());
  }

  // The start cannot be put at or past the clip's end, where no picture is: typed there, it
  // stops short of it, and the part read is the last picture.
  void theStartStaysBeforeTheEnd() {
    QVERIFY(InsertClip([&](VideoImportDialog* d) {
      d->Start()->setValue(99);
      QVERIFY(d->Start()->value() < 4.0);
      QVERIFY(d->StartSlider()->value() < 4000);
      QCOMPARE(d->End()->value(), 4.0);
      d->accept();
    }));
    QVERIFY(services.Messages().empty());
    QCOMPARE(window->Document()->frameCount, int16_t{3});
  }

  // The menu's clip entries open every movie FFmpeg reads, WebP and APNG files.
  void theImportMenuOffersClips() {
    QStringList entries;
    for (QAction* a : window->menuBar()->actions())
      if (a->menu())
        for (QAction* b : a->menu()->actions())
          if (b->menu())
            for (QAction* c : b->menu()->actions()) entries << c->text();
    for (const char* label : {"Vidéo...", "WebP...", "APNG..."})
      QVERIFY2(entries.contains(QString::fromUtf8(label)), qPrintable(entries.join('|')));
    QVERIFY(ImportFilter(cmd::ImportVideo).front().pattern.find("*.mkv") != std::string::npos);
    QCOMPARE(ImportFilter(cmd::ImportWebp).front().pattern, std::string("*.webp"));
    QCOMPARE(ImportFilter(cmd::ImportApng).front().pattern, std::string("*.apng"));
  }
};

LW_UI_TEST(VideoImportDialogTest)

}  // namespace lw::test

#include "video_import_dialog_test.moc"
