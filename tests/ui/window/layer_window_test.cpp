// "Ajouter du texte..." and "Ajouter une image..." used through the window: the dialog opened by
// its command, the text typed and dragged in the preview or the picture placed with the keys, the
// frames chosen, OK; the document then holds exactly what the engine draws with the dialog's
// settings, and one undo gives back the bytes the file had.
#include "edit/caption/layer.h"
#include "edit/caption/text_layer.h"
#include "support/window_driver.h"
#include "ui/common/colour_button.h"
#include "ui/dialogs/layer_dialog.h"

namespace lw::test {

class LayerWindowTest : public UiTest {
  Q_OBJECT

  // The GIF the window's document saves to.
  QByteArray Bytes(const QString& name) {
    const std::string path = WriteGif(*window->Document(), name);
    QFile file(QString::fromStdString(path));
    return !path.empty() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // Frames of flat colours with a square in the middle, each its own colour.
  static AnimationPtr Squares(PalettePtr palette, int count) {
    AnimationPtr a = MakeDocument(64, 40, std::move(palette));
    for (int i = 0; i < count; ++i) AddSquareFrame(*a, 0, 0, 64, 40, 1 + i % 7, 8 + i % 7);
    return a;
  }

  // The document as the engine leaves it with the dialog's settings, from the document before.
  static AnimationPtr Expected(const Animation& before, const LayerDialog& dialog) {
    AnimationPtr expected = DuplicateAnimation(before, nullptr);
    LayerReport report;
    const int message =
        expected ? PaintLayer(*expected, dialog.CurrentLayer(), dialog.Options(), &report) : -2;
    if (message != 0) {
      const LayerOrigin at = dialog.Origin();
      qWarning("the engine refused: %d (layer %ux%u at %lld,%lld, text %s, %s / %s: %s)", message,
               dialog.CurrentLayer().width, dialog.CurrentLayer().height,
               static_cast<long long>(at.x), static_cast<long long>(at.y),
               dialog.Style().text.c_str(), dialog.Style().family.c_str(),
               dialog.Style().style.c_str(), qPrintable(dialog.NoteLabel()->text()));
      return nullptr;
    }
    return expected;
  }

 private slots:
  void initTestCase() { QVERIFY(StartUi()); }
  void cleanupTestCase() { EndUi(); }
  void init() { QVERIFY(OpenWindow(640, 480)); }
  void cleanup() { CloseWindow(); }

  // Typed, dragged by (6, -4) screen pixels from its anchored place, on frames 2 to 3: the
  // document is what the engine draws there, the other frames keep their bytes, and one undo
  // gives back the file's bytes.
  void aDraggedCaptionLandsWhereTheEngineDrawsIt() {
    AnimationPtr a = Squares(BrightPalette(), 4);
    QVERIFY(OpenGif(*a, "carres.gif"));
    const QByteArray original = Bytes("avant.gif");
    const AnimationPtr before = DuplicateAnimation(*window->Document(), nullptr);
    AnimationPtr expected;
    LayerOrigin anchored, dragged;
    const bool shown =
        WithModal<LayerDialog>([&] { window->Command(cmd::AnimationAddText); },
                               [&](LayerDialog* d) {
                                 QTest::keyClicks(d->TextField(), QString::fromUtf8("Ça va"));
                                 d->SizeField()->setValue(14);
                                 d->OutlineWidthField()->setValue(1);
                                 anchored = d->Origin();
                                 LayerPreview* view = d->Preview();
                                 const Layer& layer = d->CurrentLayer();
                                 const QPointF from = view->ScreenToView(
                                     anchored.x + layer.boxLeft + layer.boxWidth / 2.0,
                                     anchored.y + layer.boxTop + layer.boxHeight / 2.0);
                                 Drag(view, from, from + QPointF(6, -4) * view->Scale(), 3);
                                 dragged = d->Origin();
                                 d->RangeFromField()->setValue(2);
                                 d->RangeToField()->setValue(3);
                                 expected = Expected(*before, *d);
                                 BoxButton(d)->click();
                               });
    QVERIFY(shown);
    QCOMPARE(dragged.x - anchored.x, 6);
    QCOMPARE(dragged.y - anchored.y, -4);
    QVERIFY(expected);
    QVERIFY(SameAnimation(*window->Document(), *expected));
    QCOMPARE(Pixels(*FrameAt(*window->Document(), 0)), Pixels(*FrameAt(*before, 0)));
    QCOMPARE(Pixels(*FrameAt(*window->Document(), 3)), Pixels(*FrameAt(*before, 3)));
    QVERIFY(Pixels(*FrameAt(*window->Document(), 1)) != Pixels(*FrameAt(*before, 1)));
    QVERIFY(window->Modified());
    QCOMPARE(CanUndoKind(), UndoKind::AddLayer);
    QCOMPARE(QString::fromStdString(UpdateUndoMenu().undoText),
             QString::fromUtf8("&Annuler Ajout de texte ou d’image\tCtrl-Z"));
    window->Command(cmd::Undo);
    QCOMPARE(Bytes("apres.gif"), original);
  }

  // Esc and "Annuler" leave the document and the history as they were.
  void cancellingChangesNothing() {
    AnimationPtr a = Squares(BrightPalette(), 2);
    QVERIFY(OpenGif(*a, "deux.gif"));
    const QByteArray original = Bytes("deux-avant.gif");
    for (bool escape : {true, false}) {
      QVERIFY(WithModal<LayerDialog>([&] { window->Command(cmd::FrameAddText); },
                                     [&](LayerDialog* d) {
                                       QTest::keyClicks(d->TextField(), "Non");
                                       if (escape) {
                                         QTest::keyClick(d, Qt::Key_Escape);
                                       } else {
                                         BoxButton(d, QDialogButtonBox::RejectRole)->click();
                                       }
                                     }));
      QCOMPARE(CanUndoKind(), UndoKind::None);
      QVERIFY(!window->Modified());
      QCOMPARE(Bytes("deux-apres.gif"), original);
    }
  }

  // A PNG with alpha over an animation whose palette is full, chosen from the Cadre menu, placed
  // with the keys only (the place list, then the arrows in the preview, then Enter): it lands on
  // the selected frame where the engine draws it, and the dialog says the nearest colours served.
  void aPictureOverAFullPaletteWithTheKeyboard() {
    PalettePtr full = RampPalette(256);
    AnimationPtr a = Squares(std::move(full), 3);
    QVERIFY(OpenGif(*a, "pleine.gif"));
    window->Strip()->setFocus();
    QTest::mouseClick(window->Strip()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      window->Strip()->FrameImageRect(1).center());
    QCOMPARE(window->CurrentFrame(), 1);
    QImage logo(10, 6, QImage::Format_ARGB32);
    for (int y = 0; y < logo.height(); ++y)
      for (int x = 0; x < logo.width(); ++x)
        logo.setPixel(x, y, qRgba(40 + 20 * x, 200 - 30 * y, 77, x < 2 ? 0 : 128 + 12 * y));
    const QString png = dir.path() + "/logo.png";
    QVERIFY(logo.save(png));
    services.QueueChosenFiles({png.toStdString()});
    const AnimationPtr before = DuplicateAnimation(*window->Document(), nullptr);
    AnimationPtr expected;
    LayerOrigin placed;
    const bool shown =
        WithModal<LayerDialog>([&] { window->Command(cmd::FrameAddImage); },
                               [&](LayerDialog* d) {
                                 QVERIFY(d->SelectedFramesChoice()->isChecked());
                                 d->PlaceField()->setFocus();
                                 // The first entry, the top left corner, then down once.
                                 QTest::keyClick(d->PlaceField(), Qt::Key_Home);
                                 QTest::keyClick(d->PlaceField(), Qt::Key_Down);
                                 QTest::keyClick(d->Preview(), Qt::Key_Right);
                                 QTest::keyClick(d->Preview(), Qt::Key_Down, Qt::ShiftModifier);
                                 placed = d->Origin();
                                 expected = Expected(*before, *d);
                                 QTest::keyClick(d, Qt::Key_Return);
                               });
    QVERIFY2(shown, services.Texts().empty() ? "" : services.Texts().back().c_str());
    QCOMPARE(placed.x, 8 + 1);
    QCOMPARE(placed.y, 8 + 10);
    QVERIFY(expected);
    QVERIFY(SameAnimation(*window->Document(), *expected));
    QCOMPARE(Pixels(*FrameAt(*window->Document(), 0)), Pixels(*FrameAt(*before, 0)));
    const std::vector<std::string> texts = services.Texts();
    QVERIFY(std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
      return t.find("n’avaient plus de place") != std::string::npos;
    }));
  }
};

LW_UI_TEST(LayerWindowTest)

}  // namespace lw::test

#include "layer_window_test.moc"
