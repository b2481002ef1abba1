// The palette editor, the transparency chooser and the pixel editor driven through their widgets
// from the window's commands, as a user drives them.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "base/preferences.h"
#include "core/compose.h"
#include "core/gif_writer.h"
#include "formats/gif/gif_save.h"
#include "platform/headless_services.h"
#include "shell/command_ids.h"
#include "ui/common/colour_button.h"
#include "ui/common/image_view.h"
#include "ui/common/palette_grid.h"
#include "ui/dialogs/background_index_dialog.h"
#include "ui/dialogs/index_choice_dialog.h"
#include "ui/dialogs/palette_edit_dialog.h"
#include "ui/dialogs/pixel_edit_dialog.h"
#include "ui/services/qt_services.h"
#include "ui/window/main_window.h"
#include "ui/window/properties_bar.h"
#include "ui_fixtures.h"

namespace lw {

namespace {

uint8_t Pixel(const Frame* f, int x, int y) {
  return f->bits()[y * IndexStride(f->DibWidth()) + x];
}

RgbQuad TableColour(const Frame* f, int index) {
  RgbQuad q;
  GetDibColours(f->dib, index, 1, &q);
  return q;
}

// Runs act on the dialog of type D once it is open, then presses its OK (or Annuler).
template <class D>
void WhenOpen(std::function<void(D*)> act, bool ok = true) {
  QTimer::singleShot(0, [act, ok] {
    auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    act(dialog);
    auto* buttons = dialog->template findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    for (QAbstractButton* b : buttons->buttons()) {
      if (buttons->buttonRole(b) ==
          (ok ? QDialogButtonBox::AcceptRole : QDialogButtonBox::RejectRole))
        QTest::mouseClick(b, Qt::LeftButton);
    }
  });
}

void ClickCell(PaletteGrid* grid, int index) {
  QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellCentre(index));
}
void ClickPixel(ImageView* view, int x, int y) {
  QTest::mouseClick(view->Canvas(), Qt::LeftButton, {}, view->PixelCentre(x, y));
}

}  // namespace

class ColourDialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  HeadlessServices services_;
  std::unique_ptr<MainWindow> window_;

  // Three 8 x 8 frames of 9 with a square of 5 (frame 2 on a local palette of its own), saved and
  // opened; frame 0 current.
  void Open() {
    AnimationPtr a = uitest::MakeDocument(8, 8, 0);
    for (int i = 0; i < 3; ++i) uitest::AddFrame(*a, 0, 0, 8, 8, 9, 5, 1, 10);
    Frame* local = FrameAt(*a, 2);
    SetLocalPalette(local, uitest::TestPalette());
    local->descriptorFlags |= 0x80 | 3;
    UpdateDibColourTable(local);
    QString path = dir_.path() + "/couleurs.gif";
    QVERIFY(SaveGifToFile(path.toStdString(), *a, nullptr));
    QCOMPARE(window_->OpenDocument(path.toStdString()), 1);
    QVERIFY(FrameAt(*window_->Document(), 2)->localPalette);
    window_->SetCurrentFrame(0);
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    uitest::StartWindowTests(dir_, services_);
    SetPref(PrefUndoLevels, 20);
  }

  void cleanupTestCase() {
    window_.reset();
    uitest::EndWindowTests();
  }

  void init() {
    services_.Reset();
    window_ = std::make_unique<MainWindow>();
    window_->resize(520, 360);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    Open();
  }

  void cleanup() {
    if (window_ && window_->Modified()) services_.QueueAnswer(answer::No);
    window_.reset();
  }

  void commandsAreNoLongerPending() {
    for (int c : {cmd::EditLocalPalette, cmd::EditGlobalPalette, cmd::EditPixels,
                  cmd::ChooseTransparentColour, cmd::LocalPalettePresent})
      QVERIFY2(window_->PendingHint(c).isEmpty(), qPrintable(QString::number(c)));
  }

  // 5 chosen in the grid, then 9 added from the image: the 9s become 5, and 5 is transparent.
  void choosingTwoIndexesMergesTheSecondIntoTheFirst() {
    Frame* f = FrameAt(*window_->Document(), 0);
    WhenOpen<IndexChoiceDialog>([](IndexChoiceDialog* d) {
      QVERIFY(d->ToolAction(IndexChoiceDialog::Choose)->isChecked());
      ClickCell(d->Grid(), 5);
      d->ToolAction(IndexChoiceDialog::Add)->trigger();
      ClickPixel(d->View(), 0, 0);  // a 9
      ClickPixel(d->View(), 1, 1);  // 9 again: already chosen
      QCOMPARE(d->Chosen(), (std::vector<uint8_t>{5, 9}));
    });
    window_->Command(cmd::ChooseTransparentColour);
    QVERIFY(f->Transparent());
    QCOMPARE(int(f->transparentIndex), 5);
    QCOMPARE(int(Pixel(f, 0, 0)), 5);
    QVERIFY(window_->Properties()->Action(cmd::ToggleTransparency)->isChecked());
    QVERIFY(window_->Modified());
    window_->Command(cmd::Undo);
    QCOMPARE(int(Pixel(f, 0, 0)), 9);
    QVERIFY(!f->Transparent());

    // The toolbar's check button: Cancel leaves it unchecked, the frame untouched.
    QAction* toggle = window_->Properties()->Action(cmd::ToggleTransparency);
    WhenOpen<IndexChoiceDialog>([](IndexChoiceDialog* d) { ClickCell(d->Grid(), 3); }, false);
    toggle->trigger();
    QVERIFY(!toggle->isChecked());
    QVERIFY(!f->Transparent());
  }

  // "R:" takes three digits; 300 is brought back to 255. Frames without a local palette follow
  // the global palette; the one with its own does not.
  void typingInTheFieldsRecoloursTheGlobalFrames() {
    Animation* doc = window_->Document();
    WhenOpen<PaletteEditDialog>([](PaletteEditDialog* d) {
      QVERIFY(!d->Field(0)->isEnabled());
      QVERIFY(d->ExportButton()->isEnabled());  // writes PAL files
      QVERIFY(d->ExportButton()->toolTip().isEmpty());
      ClickCell(d->Grid(), 3);
      QVERIFY(d->Field(0)->isEnabled());
      QLineEdit* red = d->Field(0)->findChild<QLineEdit*>();
      red->selectAll();
      QTest::keyClicks(red, "300");
      QCOMPARE(red->text(), QStringLiteral("255"));
      QCOMPARE(int(d->Working()[3].red), 255);
      QCOMPARE(d->Swatch()->Colour() & 0xFF, 255u);
    });
    window_->Command(cmd::EditGlobalPalette);
    QCOMPARE(int(doc->globalPalette->entries[3].red), 255);
    QCOMPARE(int(TableColour(FrameAt(*doc, 0), 3).red), 255);
    QCOMPARE(int(TableColour(FrameAt(*doc, 1), 3).red), 255);
    QCOMPARE(int(TableColour(FrameAt(*doc, 2), 3).red), 0);
    window_->Command(cmd::Undo);
    QCOMPARE(int(TableColour(FrameAt(*doc, 1), 3).red), 0);

    // Cancel changes nothing.
    WhenOpen<PaletteEditDialog>(
        [](PaletteEditDialog* d) {
          ClickCell(d->Grid(), 1);
          d->Field(1)->setValue(77);
        },
        false);
    window_->Command(cmd::EditGlobalPalette);
    QCOMPARE(int(doc->globalPalette->entries[1].green), 0);
  }

  void fillingARegionAndUndoingIt() {
    Frame* f = FrameAt(*window_->Document(), 1);
    window_->SetCurrentFrame(1);
    WhenOpen<PixelEditDialog>([](PixelEditDialog* d) {
      QVERIFY(d->ToolAction(PixelEditDialog::SetPixel)->isChecked());
      ClickCell(d->Grid(), 7);
      QCOMPARE(d->CurrentColour(), 7);
      d->ToolAction(PixelEditDialog::Fill)->trigger();
      ClickPixel(d->View(), 3, 3);  // inside the square of 5
      d->ToolAction(PixelEditDialog::SelectColour)->trigger();
      ClickPixel(d->View(), 0, 0);
      QCOMPARE(d->CurrentColour(), 9);
      d->ToolAction(PixelEditDialog::SetPixel)->trigger();
      ClickPixel(d->View(), 3, 3);
    });
    window_->Command(cmd::EditPixels);
    QCOMPARE(int(Pixel(f, 2, 2)), 7);
    QCOMPARE(int(Pixel(f, 5, 5)), 7);
    QCOMPARE(int(Pixel(f, 3, 3)), 9);
    QCOMPARE(int(Pixel(f, 0, 0)), 9);
    window_->Command(cmd::Undo);
    QCOMPARE(int(Pixel(f, 2, 2)), 5);
    QCOMPARE(int(Pixel(f, 3, 3)), 5);
  }

  // The background chooser gives the clicked index, or -1 on Annuler; the fixed palette's small
  // editor stores what it changed.
  void choosersOfTheOtherPages() {
    PalettePtr palette = uitest::TestPalette();
    for (bool ok : {true, false}) {
      WhenOpen<QDialog>([](QDialog* d) { ClickCell(d->findChild<PaletteGrid*>(), 4); }, ok);
      QCOMPARE(AskBackgroundIndex(window_.get(), *palette, 2), ok ? 4 : -1);
    }
    std::vector<PaletteEntry> fixed = {{10, 20, 30, 0}, {40, 50, 60, 0}};
    QVERIFY(StoreFixedPaletteEntries(fixed));
    WhenOpen<PaletteEditDialog>([](PaletteEditDialog* d) {
      QVERIFY(!d->View());
      QVERIFY(!d->UsageBox());
      ClickCell(d->Grid(), 1);
      d->Field(1)->setValue(255);
    });
    QVERIFY(EditFixedPalette(window_.get()));
    fixed[1].green = 255;
    QCOMPARE(LoadFixedPaletteEntries(), fixed);
  }

  void removingTheLocalPaletteFromTheToolbar() {
    Animation* doc = window_->Document();
    window_->SetCurrentFrame(2);
    QAction* present = window_->Properties()->Action(cmd::LocalPalettePresent);
    QVERIFY(present->isChecked());
    QVERIFY(present->isEnabled());
    present->trigger();
    QVERIFY(!FrameAt(*doc, 2)->localPalette);
    QVERIFY(!present->isChecked());
    QVERIFY(!present->isEnabled());
    QVERIFY(!window_->Properties()->Action(cmd::EditLocalPalette)->isEnabled());
    window_->Command(cmd::Undo);
    QVERIFY(FrameAt(*doc, 2)->localPalette);
  }
};

}  // namespace lw

QTEST_MAIN(lw::ColourDialogsTest)
#include "colour_dialogs_test.moc"
