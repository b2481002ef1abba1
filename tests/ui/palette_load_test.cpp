// "Charger..." in the palette editor: the colours of a PAL file or of an image's palette fill the
// working palette; a damaged file says so and changes nothing; loading and exporting start in
// the folder the last palette file came from.
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <functional>

#include "base/settings.h"
#include "colour/pal_file.h"
#include "core/gif_writer.h"
#include "formats/gif/gif_save.h"
#include "ui/dialogs/palette_edit_dialog.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

class PaletteLoadTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  HeadlessServices services_;
  AnimationPtr doc_;
  PaletteEditRequest request_;
  QString opened_;  // the folder the last chooser opened in

  // The next palette chooser: notes its folder, then chooses path (cancels when empty).
  void Choose(const QString& path) {
    opened_.clear();
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll, path] {
      auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!chooser) return;
      poll->stop();
      poll->deleteLater();
      opened_ = chooser->directory().absolutePath();
      if (path.isEmpty()) {
        chooser->reject();
        return;
      }
      chooser->selectFile(path);
      QMetaObject::invokeMethod(chooser, "accept");  // as the Open button does
    });
    poll->start(10);
  }

  QString Folder(const char* name) {
    QString folder = dir_.path() + QLatin1Char('/') + QLatin1String(name);
    QDir().mkpath(folder);
    return folder;
  }

  static std::vector<PaletteEntry> Entries(const std::vector<int>& rgb) {
    std::vector<PaletteEntry> out;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
      PaletteEntry e;
      e.red = static_cast<uint8_t>(rgb[i]);
      e.green = static_cast<uint8_t>(rgb[i + 1]);
      e.blue = static_cast<uint8_t>(rgb[i + 2]);
      out.push_back(e);
    }
    return out;
  }

  static bool SameColours(const PaletteEntry& a, const PaletteEntry& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    StartWindowTests(dir_, services_);
  }
  void cleanupTestCase() { EndWindowTests(); }

  void init() {
    services_.Reset();
    doc_ = MakeDocument(8, 8, 0);
    AddFrame(*doc_, 0, 0, 8, 8, 1, 2, 1, 10);
    request_ = PaletteEditRequest();
    request_.palette = doc_->globalPalette.get();
    request_.image = FirstFrame(*doc_);
    request_.transparentIndex = -1;
  }

  void loadsPalFilesAndImagePalettesFromTheRememberedFolder() {
    const QString start = Folder("depart");
    QVERIFY(SetInitDir(start.toStdString()));
    const QString palettes = Folder("palettes");
    Palette pal;
    pal.entries = Entries({10, 20, 30, 40, 50, 60, 70, 80, 90});
    QVERIFY(WritePalFile((palettes + "/trois.pal").toStdString(), pal));

    PaletteEditDialog dialog(nullptr, &request_, false);
    const std::vector<PaletteEntry> before = dialog.Working();
    // The first time: the open dialogs' folder.
    Choose(palettes + "/trois.pal");
    dialog.LoadButton()->click();
    QCOMPARE(opened_, start);
    QVERIFY(dialog.Changed());
    QCOMPARE(dialog.Working().size(), before.size());  // the palette keeps its size
    for (size_t i = 0; i < before.size(); ++i) {
      const PaletteEntry& expected = i < 3 ? pal.entries[i] : before[i];
      QVERIFY2(SameColours(dialog.Working()[i], expected), qPrintable(QString::number(i)));
    }

    // Export starts where the palette came from and writes the colours as loaded.
    Choose(palettes + "/copie.pal");
    dialog.ExportButton()->click();
    QCOMPARE(opened_, palettes);
    PalettePtr copy = ReadPalFile((palettes + "/copie.pal").toStdString());
    QVERIFY(copy);
    QVERIFY(SameColours(copy->entries[1], pal.entries[1]));

    // A GIF's global palette, chosen from another folder, which the next chooser starts in.
    const QString images = Folder("images");
    AnimationPtr other = MakeDocument(4, 4, 0);
    for (PaletteEntry& e : other->globalPalette->entries) e.red = 200, e.green = 1, e.blue = 2;
    AddFrame(*other, 0, 0, 4, 4, 3, -1, 1, 10);
    QVERIFY(SaveGifToFile((images + "/autre.gif").toStdString(), *other, nullptr));
    Choose(images + "/autre.gif");
    dialog.LoadButton()->click();
    QCOMPARE(opened_, palettes);
    for (size_t i = 0; i < dialog.Working().size(); ++i)
      QVERIFY(SameColours(dialog.Working()[i], other->globalPalette->entries[i]));
    Choose(QString());
    dialog.LoadButton()->click();
    QCOMPARE(opened_, images);

    // OK hands the loaded colours on.
    dialog.accept();
    QVERIFY(!request_.result.empty());
    QVERIFY(SameColours(request_.result[0], other->globalPalette->entries[0]));
    QVERIFY(services_.Messages().empty());
  }

  void aDamagedFileSaysSoAndChangesNothing() {
    const QString folder = Folder("abimes");
    std::ofstream((folder + "/faux.pal").toStdString()) << "RIFF\x10\0\0\0PAL data";
    std::ofstream((folder + "/faux.gif").toStdString()) << "GIF89a\x08";
    PaletteEditDialog dialog(nullptr, &request_, false);
    const std::vector<PaletteEntry> before = dialog.Working();
    for (const char* name : {"/faux.pal", "/faux.gif"}) {
      services_.Reset();
      Choose(folder + name);
      dialog.LoadButton()->click();
      QVERIFY2(!services_.Messages().empty(), name);
      QVERIFY(!dialog.Changed());
      QCOMPARE(dialog.Working().size(), before.size());
      for (size_t i = 0; i < before.size(); ++i)
        QVERIFY(SameColours(dialog.Working()[i], before[i]));
    }
    dialog.accept();
    QVERIFY(request_.result.empty());
  }
};

}  // namespace lw

QTEST_MAIN(lw::PaletteLoadTest)
#include "palette_load_test.moc"
