// Takes the pictures of the colour dialogs for the documentation when LOOPWRIGHT_COLOUR_SHOTS
// names the folder to write them in and LOOPWRIGHT_SAMPLE the animation to show; otherwise there
// is nothing to do.
#include <QApplication>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "base/preferences.h"
#include "shell/command_ids.h"
#include "ui/common/image_view.h"
#include "ui/common/palette_grid.h"
#include "ui/dialogs/index_choice_dialog.h"
#include "ui/dialogs/palette_edit_dialog.h"
#include "ui/dialogs/pixel_edit_dialog.h"
#include "ui/services/qt_services.h"
#include "ui/window/main_window.h"

namespace lw {

class ColourScreenshotTest : public QObject {
  Q_OBJECT

  // Once the dialog is up: prepare it, let it settle, save its picture and close it.
  template <class D>
  static void Shoot(const QString& file, std::function<void(D*)> prepare) {
    QTimer::singleShot(50, [file, prepare] {
      auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      prepare(dialog);
      QTest::qWait(300);  // past the flash
      QVERIFY(dialog->grab().save(file));
      dialog->reject();
    });
  }

 private slots:
  void pictures() {
    QString folder = QString::fromLocal8Bit(qgetenv("LOOPWRIGHT_COLOUR_SHOTS"));
    QByteArray sample = qgetenv("LOOPWRIGHT_SAMPLE");
    if (folder.isEmpty() || sample.isEmpty())
      QSKIP("LOOPWRIGHT_COLOUR_SHOTS and LOOPWRIGHT_SAMPLE not set");
    LoadPreferences();
    SetPrefOn(Pref::NoAutoPreview, true);
    SetPrefOn(Pref::ShowColourUsage, true);
    SetPrefOn(Pref::ShowColourData, false);
    InstallQtServices();
    {
      MainWindow window;
      window.resize(900, 600);
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      QCOMPARE(window.OpenDocument(sample.toStdString()), 1);
      window.SetCurrentFrame(0);
      QTest::qWait(500);

      Shoot<PaletteEditDialog>(folder + "/palette.png", [](PaletteEditDialog* d) {
        QTest::mouseClick(d->Grid(), Qt::LeftButton, {}, d->Grid()->CellCentre(12));
      });
      window.Command(cmd::EditGlobalPalette);

      Shoot<IndexChoiceDialog>(folder + "/transparence.png", [](IndexChoiceDialog* d) {
        d->Click(0);
        d->SetTool(IndexChoiceDialog::Add);
        d->Click(1);
      });
      window.Command(cmd::ChooseTransparentColour);

      Shoot<PixelEditDialog>(folder + "/pixels.png", [](PixelEditDialog* d) {
        d->SetCurrentColour(3);
        d->View()->ZoomIn();
      });
      window.Command(cmd::EditPixels);
      window.SetModified(false);
    }
    UninstallQtServices();
  }
};

}  // namespace lw

QTEST_MAIN(lw::ColourScreenshotTest)
#include "colour_screenshot_test.moc"
