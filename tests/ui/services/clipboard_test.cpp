// Frames through the real clipboard: from one main window to another of the same process, and
// images put there the way other programs do.

#include "shell/frame_edit.h"
#include "support/window_driver.h"
#include "ui/services/qt_clipboard.h"

namespace lw::test {

class ClipboardTest : public UiTest {
  Q_OBJECT

  std::vector<std::unique_ptr<MainWindow>> windows_;

  MainWindow* NewWindow() {
    windows_.push_back(std::make_unique<MainWindow>());
    windows_.back()->resize(420, 320);
    windows_.back()->show();
    return windows_.back().get();
  }
  void CloseWindows() {
    for (auto& w : windows_)
      if (w->Modified()) services.QueueAnswer(answer::No);
    windows_.clear();
  }

  // Frames whose pixels are first + i and delays 10 + i, written and opened in w.
  void OpenFrames(MainWindow* w, int count, int first, const char* name) {
    AnimationPtr a = MakeDocument(12, 8, BrightPalette());
    for (int i = 0; i < count; ++i)
      AddFrame(*a, 0, 0, 12, 8, std::vector<uint8_t>(96, uint8_t(first + i)), 1, -1, 10 + i);
    QCOMPARE(w->OpenDocument(WriteGif(*a, name)), 1);
  }

  // The texts of the strip's menu, read while it is open; whether its Paste is enabled.
  static QStringList StripMenuTexts(MainWindow* w, bool overFrames, bool* pasteEnabled) {
    QStringList texts;
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        texts << a->text();
        if (a->data().toInt() == cmd::Paste) *pasteEnabled = a->isEnabled();
      }
      menu->close();
    });
    emit w->Strip()->contextMenuRequested(w->mapToGlobal(QPoint(40, 40)), overFrames);
    return texts;
  }

 private slots:
  void initTestCase() { QVERIFY(StartUi()); }
  void cleanupTestCase() { EndUi(); }
  void init() {
    services.Reset();
    QApplication::clipboard()->clear();
  }
  void cleanup() { CloseWindows(); }

  // Copied in one window, pasted in another: the program's own block, the picture for other
  // programs beside it; the strip's menu names Paste by place and follows the clipboard.
  void copiesFramesFromOneWindowToAnother() {
    MainWindow* from = NewWindow();
    OpenFrames(from, 4, 1, "quatre.gif");
    bool pasteEnabled = true;
    StripMenuTexts(from, false, &pasteEnabled);
    QVERIFY(!pasteEnabled);
    from->SelectFrame(1, selmode::Only);
    from->SelectFrame(2, selmode::Extend);
    from->Command(cmd::Copy);
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    QVERIFY(mime && mime->hasFormat(kFramesMimeType));
    QCOMPARE(QImage::fromData(mime->data("image/png")).size(), QSize(12, 8));
    QCOMPARE(QImage::fromData(mime->data("image/bmp"), "BMP").size(), QSize(12, 8));
    QStringList texts = StripMenuTexts(from, true, &pasteEnabled);
    QVERIFY(texts.contains(QString::fromStdString(ResText(str::PasteBefore))));
    QVERIFY(pasteEnabled);

    MainWindow* to = NewWindow();
    OpenFrames(to, 2, 7, "deux.gif");
    to->SelectFrame(1, selmode::Only);
    to->Command(cmd::Paste);
    QCOMPARE(FrameNumbers(*to->Document()), (std::vector<int>{7, 2, 3, 8}));
    QCOMPARE(to->CurrentFrame(), 1);
    QCOMPARE(to->Document()->selectedCount, 2u);
    QCOMPARE(FrameAt(*to->Document(), 2)->delay, 12u);

    from->Command(cmd::Cut);  // the frames leave and still paste
    QCOMPARE(FrameNumbers(*from->Document()), (std::vector<int>{1, 4}));
    from->SelectFrame(-1, selmode::Only);
    from->Command(cmd::Paste);
    QCOMPARE(FrameNumbers(*from->Document()), (std::vector<int>{1, 4, 2, 3}));
  }

  // PNG or BMP bytes, or an image file copied in a file manager.
  void pastesImagesOfOtherPrograms() {
    QImage picture(3, 2, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0),   qRgb(0, 255, 0),     qRgb(0, 0, 255),
                            qRgb(255, 255, 0), qRgb(255, 255, 255), qRgb(0, 0, 0)};
    for (int i = 0; i < 6; ++i) picture.setPixel(i % 3, i / 3, colours[i]);
    const QString file = QString::fromStdString(Path("copie.png"));
    QVERIFY(picture.save(file));
    auto encoded = [&](const char* format) {
      QByteArray bytes;
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::WriteOnly);
      picture.save(&buffer, format);
      return bytes;
    };
    struct Case {
      const char* name;
      std::function<void(QMimeData*)> fill;
    } const cases[] = {
        {"image/png", [&](QMimeData* m) { m->setData("image/png", encoded("PNG")); }},
        {"image/bmp", [&](QMimeData* m) { m->setData("image/bmp", encoded("BMP")); }},
        {"file URL", [&](QMimeData* m) { m->setUrls({QUrl::fromLocalFile(file)}); }},
    };
    for (const Case& c : cases) {
      auto* mime = new QMimeData;
      c.fill(mime);
      QApplication::clipboard()->setMimeData(mime);
      MainWindow* w = NewWindow();
      QVERIFY2(w->Action(cmd::Paste)->isEnabled(), c.name);
      w->Command(cmd::Paste);
      QVERIFY2(w->Document() && w->Document()->frameCount == 1, c.name);
      const Frame* f = FirstFrame(*w->Document());
      QCOMPARE(QSize(f->width, f->height), QSize(3, 2));
      QCOMPARE(FrameName(f), ResText(str::Untitled));
      for (int i = 0; i < 6; ++i) {
        const PaletteEntry e = PixelColour(f, i % 3, i / 3);
        QCOMPARE(qRgb(e.red, e.green, e.blue), colours[i]);
      }
      CloseWindows();
    }
  }
};

LW_UI_TEST(ClipboardTest)

}  // namespace lw::test

#include "clipboard_test.moc"
