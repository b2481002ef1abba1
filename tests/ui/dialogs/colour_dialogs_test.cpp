// The palette editor and the transparency chooser driven through their widgets from the
// window's commands; "Charger..." and "Exporter..." through the real file chooser.
#include <fstream>

#include "colour/pal_file.h"
#include "core/compose.h"
#include "shell/options_from_preferences.h"
#include "support/window_driver.h"
#include "ui/common/colour_button.h"
#include "ui/common/image_view.h"
#include "ui/common/palette_grid.h"
#include "ui/dialogs/background_index_dialog.h"
#include "ui/dialogs/index_choice_dialog.h"
#include "ui/dialogs/palette_edit_dialog.h"
#include "ui/dialogs/pixel_edit_dialog.h"

namespace lw::test {

namespace {

void ClickCell(PaletteGrid* grid, int index) {
  QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellCentre(index));
}
void ClickPixel(ImageView* view, int x, int y) {
  QTest::mouseClick(view->Canvas(), Qt::LeftButton, {}, view->PixelCentre(x, y));
}

// Presses the dialog's OK (or Annuler) as the user does.
void Finish(QDialog* dialog, bool ok) {
  BoxButton(dialog, ok ? QDialogButtonBox::AcceptRole : QDialogButtonBox::RejectRole)->click();
}

int TableRed(const Frame* f, int index) {
  RgbQuad q;
  GetDibColours(f->dib, index, 1, &q);
  return q.red;
}

}  // namespace

class ColourDialogsTest : public UiTest {
  Q_OBJECT

  Animation& Doc() const { return *window->Document(); }

  // Runs command; its dialog D gets act, then OK or Annuler.
  template <class D>
  bool Use(int command, const std::function<void(D*)>& act, bool ok = true) {
    return WithModal<D>([&] { window->Command(command); },
                        [&](D* d) {
                          act(d);
                          Finish(d, ok);
                        });
  }

  // The next file chooser: notes the folder it opened in, then chooses path (cancels on "").
  static bool Choose(const std::function<void()>& run, const QString& path, QString* opened) {
    return WithModal<QFileDialog>(run, [&](QFileDialog* chooser) {
      *opened = chooser->directory().absolutePath();
      if (path.isEmpty()) return chooser->reject();
      chooser->selectFile(path);
      QMetaObject::invokeMethod(chooser, "accept");  // as the Open button does
    });
  }

 private slots:
  void initTestCase() { QVERIFY(StartUi()); }
  void cleanupTestCase() { EndUi(); }
  // Three 8 x 8 frames of 9 with a square of 5, the third on a local palette of its own.
  void init() {
    QVERIFY(OpenWindow(520, 360));
    AnimationPtr a = MakeDocument(8, 8, BrightPalette());
    for (int i = 0; i < 3; ++i) AddSquareFrame(*a, 0, 0, 8, 8, 9, 5);
    Frame* local = FrameAt(*a, 2);
    GiveLocalPalette(local, BrightPalette());
    local->descriptorFlags |= 0x80 | 3;
    QVERIFY(OpenGif(*a, "couleurs.gif"));
    QVERIFY(FrameAt(Doc(), 2)->localPalette);
    window->SetCurrentFrame(0);
  }
  void cleanup() { CloseWindow(); }

  // 5 chosen in the grid, then 9 added from the image: the 9s become 5, and 5 is transparent.
  // From the toolbar's button, Annuler leaves it unchecked.
  void choosingTwoIndexesMergesTheSecondIntoTheFirst() {
    Frame* f = FrameAt(Doc(), 0);
    QVERIFY(Use<IndexChoiceDialog>(cmd::ChooseTransparentColour, [](IndexChoiceDialog* d) {
      QVERIFY(d->ToolAction(IndexChoiceDialog::Choose)->isChecked());
      ClickCell(d->Grid(), 5);
      d->ToolAction(IndexChoiceDialog::Add)->trigger();
      ClickPixel(d->View(), 0, 0);
      ClickPixel(d->View(), 1, 1);  // 9 again: already chosen
      QCOMPARE(d->Chosen(), (std::vector<uint8_t>{5, 9}));
    }));
    QVERIFY(f->Transparent());
    QCOMPARE(int(f->transparentIndex), 5);
    QCOMPARE(int(Pixel(f, 0, 0)), 5);
    QAction* toggle = window->Properties()->Action(cmd::ToggleTransparency);
    QVERIFY(toggle->isChecked());
    window->Command(cmd::Undo);
    QCOMPARE(int(Pixel(f, 0, 0)), 9);
    QVERIFY(WithModal<IndexChoiceDialog>([&] { toggle->trigger(); },
                                         [](IndexChoiceDialog* d) {
                                           ClickCell(d->Grid(), 3);
                                           Finish(d, false);
                                         }));
    QVERIFY(!toggle->isChecked() && !f->Transparent());
  }

  // "R:" takes three digits, 300 is brought back to 255; frames on the global palette follow,
  // the one with its own does not. Annuler changes nothing.
  void typingInTheFieldsRecoloursTheGlobalFrames() {
    QVERIFY(Use<PaletteEditDialog>(cmd::EditGlobalPalette, [](PaletteEditDialog* d) {
      QVERIFY(!d->Field(0)->isEnabled());
      ClickCell(d->Grid(), 3);
      QLineEdit* red = d->Field(0)->findChild<QLineEdit*>();
      red->selectAll();
      QTest::keyClicks(red, "300");
      QCOMPARE(red->text(), QStringLiteral("255"));
    }));
    QCOMPARE(TableRed(FrameAt(Doc(), 1), 3), 255);
    QCOMPARE(TableRed(FrameAt(Doc(), 2), 3), 0);
    QVERIFY(Use<PaletteEditDialog>(
        cmd::EditGlobalPalette,
        [](PaletteEditDialog* d) {
          ClickCell(d->Grid(), 1);
          d->Field(1)->setValue(77);
        },
        false));
    QCOMPARE(int(Doc().globalPalette->entries[1].green), 0);
  }

  // The pixel editor's tools through its view: a fill, a colour picked, a pixel set; one undo.
  void fillingARegionAndUndoingIt() {
    Frame* f = FrameAt(Doc(), 1);
    window->SetCurrentFrame(1);
    QVERIFY(Use<PixelEditDialog>(cmd::EditPixels, [](PixelEditDialog* d) {
      QVERIFY(d->ToolAction(PixelEditDialog::SetPixel)->isChecked());
      ClickCell(d->Grid(), 7);
      d->ToolAction(PixelEditDialog::Fill)->trigger();
      ClickPixel(d->View(), 3, 3);  // inside the square of 5
      d->ToolAction(PixelEditDialog::SelectColour)->trigger();
      ClickPixel(d->View(), 0, 0);
      QCOMPARE(d->CurrentColour(), 9);
      d->ToolAction(PixelEditDialog::SetPixel)->trigger();
      ClickPixel(d->View(), 3, 3);
    }));
    QCOMPARE(int(Pixel(f, 2, 2)), 7);
    QCOMPARE(int(Pixel(f, 5, 5)), 7);
    QCOMPARE(int(Pixel(f, 3, 3)), 9);
    window->Command(cmd::Undo);
    QCOMPARE(int(Pixel(f, 2, 2)), 5);
    QCOMPARE(int(Pixel(f, 3, 3)), 5);
  }

  // The background chooser gives the clicked index, or -1 on Annuler; the fixed palette's
  // editor stores what it changed; the toolbar removes a local palette as one step.
  void choosersOfTheOtherPagesAndTheToolbar() {
    PalettePtr palette = BrightPalette();
    for (bool ok : {true, false}) {
      int chosen = 0;
      QVERIFY(WithModal([&] { chosen = AskBackgroundIndex(window.get(), *palette, 2); },
                        [&](QDialog* d) {
                          ClickCell(d->findChild<PaletteGrid*>(), 4);
                          Finish(d, ok);
                        }));
      QCOMPARE(chosen, ok ? 4 : -1);
    }
    std::vector<PaletteEntry> fixed = {{10, 20, 30, 0}, {40, 50, 60, 0}};
    QVERIFY(StoreFixedPaletteEntries(fixed));
    QVERIFY(WithModal<PaletteEditDialog>([&] { QVERIFY(EditFixedPalette(window.get())); },
                                         [](PaletteEditDialog* d) {
                                           QVERIFY(!d->View() && !d->UsageBox());
                                           ClickCell(d->Grid(), 1);
                                           d->Field(1)->setValue(255);
                                           Finish(d, true);
                                         }));
    fixed[1].green = 255;
    QCOMPARE(LoadFixedPaletteEntries(), fixed);

    window->SetCurrentFrame(2);
    QAction* present = window->Properties()->Action(cmd::LocalPalettePresent);
    QVERIFY(present->isChecked() && present->isEnabled());
    present->trigger();
    QVERIFY(!FrameAt(Doc(), 2)->localPalette);
    QVERIFY(!present->isChecked() && !present->isEnabled());
    QVERIFY(!window->Properties()->Action(cmd::EditLocalPalette)->isEnabled());
    window->Command(cmd::Undo);
    QVERIFY(FrameAt(Doc(), 2)->localPalette);
  }

  // A PAL file's colours fill the working palette (which keeps its size), export starts where
  // it came from, and a damaged file says so and changes nothing.
  void loadsAndExportsPaletteFiles() {
    const QString start = dir.path() + "/depart", palettes = dir.path() + "/palettes";
    QVERIFY(QDir().mkpath(start) && QDir().mkpath(palettes));
    QVERIFY(SetInitDir(start.toStdString()));
    Palette pal;
    pal.entries = {{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}};
    QVERIFY(WritePalFile((palettes + "/trois.pal").toStdString(), pal));
    std::ofstream((palettes + "/faux.pal").toStdString()) << "RIFF\x10\0\0\0PAL data";

    PaletteEditRequest request;
    request.palette = Doc().globalPalette.get();
    request.image = FirstFrame(Doc());
    request.transparentIndex = -1;
    PaletteEditDialog dialog(nullptr, &request, false);
    const std::vector<PaletteEntry> before = dialog.Working();
    QString opened;
    QVERIFY(Choose([&] { dialog.LoadButton()->click(); }, palettes + "/trois.pal", &opened));
    QCOMPARE(opened, start);  // the first time: the open dialogs' folder
    QVERIFY(dialog.Changed());
    QVERIFY(dialog.LoadNotice()->text().contains(QStringLiteral("gardent leur couleur")));
    QCOMPARE(dialog.Working().size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
      QVERIFY2(SameRgb(dialog.Working()[i], i < 3 ? pal.entries[i] : before[i]),
               qPrintable(QString::number(i)));
    const std::vector<PaletteEntry> loaded = dialog.Working();
    QVERIFY(Choose([&] { dialog.LoadButton()->click(); }, palettes + "/faux.pal", &opened));
    QCOMPARE(services.Messages().size(), size_t{1});
    QVERIFY(dialog.Working() == loaded);
    QVERIFY(Choose([&] { dialog.ExportButton()->click(); }, palettes + "/copie.pal", &opened));
    QCOMPARE(opened, palettes);
    PalettePtr copy = ReadPalFile((palettes + "/copie.pal").toStdString());
    QVERIFY(copy && SameRgb(copy->entries[1], pal.entries[1]));
    dialog.accept();
    QVERIFY(SameRgb(request.result[1], pal.entries[1]));
  }

  // A palette of 256 colours loaded into a frame's two: the two keep their number and take the
  // loaded colours nearest theirs (not the file's first two, black), the dialog says what it
  // took, and Enter is OK again rather than "Charger..." once more.
  void aLargerPaletteLoadsByNearestColourAndEnterIsOk() {
    const QString path = dir.path() + "/grande.pal";
    Palette pal;
    for (int i = 0; i < 256; ++i)
      pal.entries.push_back({uint8_t(i / 4), uint8_t(i / 8), uint8_t(i / 2), 0});
    pal.entries[200] = {210, 10, 10, 0};
    pal.entries[201] = {250, 250, 250, 0};
    QVERIFY(WritePalFile(path.toStdString(), pal));
    Palette two;
    two.entries = {{220, 0, 0, 0}, {255, 255, 255, 0}};
    PaletteEditRequest request;
    request.palette = &two;
    PaletteEditDialog dialog(window.get(), &request, false);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QString opened;
    QVERIFY(Choose([&] { dialog.LoadButton()->click(); }, path, &opened));
    QVERIFY(SameRgb(dialog.Working()[0], pal.entries[200]));
    QVERIFY(SameRgb(dialog.Working()[1], pal.entries[201]));
    const QString notice = dialog.LoadNotice()->text();
    QVERIFY(dialog.LoadNotice()->isVisible());
    QVERIFY2(notice.contains(QStringLiteral(" 2 entrées")) &&
                 notice.contains(QStringLiteral("256")) &&
                 notice.contains(QStringLiteral("grande.pal")),
             qPrintable(notice));
    QCOMPARE(dialog.focusWidget(), static_cast<QWidget*>(dialog.OkButton()));
    dialog.activateWindow();  // no window manager gives it back here
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const bool reopened = WithModal<QFileDialog>(
        [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); },
        [](QFileDialog* chooser) { chooser->reject(); });
    QVERIFY(!reopened);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(request.result.size(), size_t{2});
  }
};

LW_UI_TEST(ColourDialogsTest)

}  // namespace lw::test

#include "colour_dialogs_test.moc"
