// Frames through the real clipboard: from one main window to another of the same process, and
// images put there the way other programs do.
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <functional>
#include <memory>

#include "base/string_ids.h"
#include "base/strings.h"
#include "core/gif_writer.h"
#include "formats/gif/gif_save.h"
#include "platform/headless_services.h"
#include "shell/command_ids.h"
#include "shell/frame_edit.h"
#include "ui/services/qt_clipboard.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"
#include "ui_fixtures.h"

namespace lw {

namespace {

std::vector<int> Order(const Animation& a) {
  std::vector<int> order;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) order.push_back(f->bits()[0]);
  return order;
}

QRgb ColourAt(const Frame* f, int x, int y) {
  const PaletteEntry& e = f->palette->entries[f->bits()[y * IndexStride(f->DibWidth()) + x]];
  return qRgb(e.red, e.green, e.blue);
}

// A 3 x 2 picture: red, green, blue over yellow, white, black.
QImage Picture() {
  QImage image(3, 2, QImage::Format_RGB32);
  const QRgb colours[] = {qRgb(255, 0, 0),   qRgb(0, 255, 0),     qRgb(0, 0, 255),
                          qRgb(255, 255, 0), qRgb(255, 255, 255), qRgb(0, 0, 0)};
  for (int i = 0; i < 6; ++i) image.setPixel(i % 3, i / 3, colours[i]);
  return image;
}

QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

}  // namespace

class ClipboardTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  HeadlessServices services_;
  std::vector<std::unique_ptr<MainWindow>> windows_;

  MainWindow* NewWindow() {
    windows_.push_back(std::make_unique<MainWindow>());
    MainWindow* w = windows_.back().get();
    w->resize(420, 320);
    w->show();
    return w;
  }

  // Frames whose pixels are first + i, written as a GIF and opened in the window.
  void OpenFrames(MainWindow* w, int count, int first, const char* name) {
    AnimationPtr a = uitest::MakeDocument(12, 8, 0);
    for (int i = 0; i < count; ++i)
      uitest::AddFrame(*a, 0, 0, 12, 8, static_cast<uint8_t>(first + i), -1, 1, 10 + i);
    QString path = dir_.path() + "/" + name;
    QVERIFY(SaveGifToFile(path.toStdString(), *a, nullptr));
    QCOMPARE(w->OpenDocument(path.toStdString()), 1);
  }

  // The texts of the strip's menu, read while it is open, then closed.
  QStringList StripMenuTexts(MainWindow* w, bool overFrames, bool* pasteEnabled) {
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
  void initTestCase() {
    QVERIFY(dir_.isValid());
    uitest::StartWindowTests(dir_, services_);
  }

  void cleanupTestCase() {
    windows_.clear();
    uitest::EndWindowTests();
  }

  void init() {
    services_.Reset();
    QApplication::clipboard()->clear();
  }

  void cleanup() {
    for (auto& w : windows_)
      if (w->Modified()) services_.QueueAnswer(answer::No);
    windows_.clear();
  }

  // Copied in one window, pasted in another: the program's own block, and the picture for
  // other programs beside it.
  void copiesFramesFromOneWindowToAnother() {
    MainWindow* from = NewWindow();
    OpenFrames(from, 4, 1, "quatre.gif");
    from->SelectFrame(1, selmode::Only);
    from->SelectFrame(2, selmode::Extend);
    from->Command(cmd::Copy);
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    QVERIFY(mime);
    QVERIFY(mime->hasFormat(kFramesMimeType));
    QCOMPARE(QImage::fromData(mime->data("image/png")).size(), QSize(12, 8));
    QCOMPARE(QImage::fromData(mime->data("image/bmp"), "BMP").size(), QSize(12, 8));

    MainWindow* to = NewWindow();
    OpenFrames(to, 2, 7, "deux.gif");
    QVERIFY(to->Action(cmd::Paste)->isEnabled());
    to->SelectFrame(1, selmode::Only);
    to->Command(cmd::Paste);
    QCOMPARE(Order(*to->Document()), (std::vector<int>{7, 2, 3, 8}));
    QCOMPARE(to->CurrentFrame(), 1);
    QCOMPARE(to->Document()->selectedCount, 2u);
    QCOMPARE(FrameAt(*to->Document(), 2)->delay, 12u);
    QVERIFY(to->Modified());
    to->Command(cmd::Undo);
    QCOMPARE(Order(*to->Document()), (std::vector<int>{7, 8}));

    // A window with nothing open makes the frames its document.
    MainWindow* empty = NewWindow();
    empty->Command(cmd::Paste);
    QVERIFY(empty->Document());
    QCOMPARE(Order(*empty->Document()), (std::vector<int>{2, 3}));

    // Cut: the frames leave the first window and still paste.
    from->Command(cmd::Cut);
    QCOMPARE(Order(*from->Document()), (std::vector<int>{1, 4}));
    from->SelectFrame(-1, selmode::Only);
    from->Command(cmd::Paste);
    QCOMPARE(Order(*from->Document()), (std::vector<int>{1, 4, 2, 3}));
  }

  // Images as other programs offer them: PNG or JPEG bytes, a BMP file, an image file copied
  // in a file manager.
  void pastesImagesOfOtherPrograms() {
    const QImage picture = Picture();
    const QString file = dir_.path() + "/copie.png";
    QVERIFY(picture.save(file));
    struct Case {
      const char* name;
      std::function<void(QMimeData*)> fill;
      bool exact;  // lossless: every colour comes back
    };
    const Case cases[] = {
        {"image/png", [&](QMimeData* m) { m->setData("image/png", Encoded(picture, "PNG")); },
         true},
        {"image/bmp", [&](QMimeData* m) { m->setData("image/bmp", Encoded(picture, "BMP")); },
         true},
        {"image/jpeg", [&](QMimeData* m) { m->setData("image/jpeg", Encoded(picture, "JPG")); },
         false},
        {"file URL", [&](QMimeData* m) { m->setUrls({QUrl::fromLocalFile(file)}); }, true},
    };
    for (const Case& c : cases) {
      auto* mime = new QMimeData;
      c.fill(mime);
      QApplication::clipboard()->setMimeData(mime);
      MainWindow* w = NewWindow();
      QVERIFY2(w->Action(cmd::Paste)->isEnabled(), c.name);
      w->Command(cmd::Paste);
      QVERIFY2(w->Document(), c.name);
      QCOMPARE(w->Document()->frameCount, 1);
      const Frame* f = FirstFrame(*w->Document());
      QCOMPARE(f->width, 3u);
      QCOMPARE(f->height, 2u);
      QCOMPARE(QString::fromStdString(FrameName(f)),
               QString::fromStdString(ResText(str::Untitled)));
      if (c.exact) {
        for (int i = 0; i < 6; ++i)
          QCOMPARE(ColourAt(f, i % 3, i / 3), picture.pixel(i % 3, i / 3));
      }
      services_.QueueAnswer(answer::No);
      windows_.pop_back();
    }
  }

  // Over frames the entry reads "Coller avant", over empty space "Coller cadre"; both follow
  // what the clipboard holds.
  void stripMenusNamePasteByPlace() {
    MainWindow* w = NewWindow();
    OpenFrames(w, 2, 1, "deux.gif");
    bool enabled = true;
    QStringList texts = StripMenuTexts(w, false, &enabled);
    QVERIFY(texts.contains(QString::fromStdString(ResText(str::PasteFrame))));
    QVERIFY(!enabled);
    w->SelectFrame(0, selmode::Only);
    w->Command(cmd::Copy);
    texts = StripMenuTexts(w, true, &enabled);
    QCOMPARE(texts.first(), w->Action(cmd::Copy)->text());
    QVERIFY(texts.contains(QString::fromStdString(ResText(str::PasteBefore))));
    QVERIFY(enabled);
  }
};

}  // namespace lw

QTEST_MAIN(lw::ClipboardTest)
#include "clipboard_test.moc"
