// "Ajouter du texte..." and "Ajouter une image..." used through the window: the dialog opened by
// its command, the text typed and dragged in the preview or the picture placed with the keys, the
// frames chosen, OK; the document then holds exactly what the engine draws with the dialog's
// settings, and one undo gives back the bytes the file had.
#include "core/frame_viewer.h"
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

  // What frame `index` of the document shows, composed as the preview window composes it.
  static QImage Shows(const Animation& a, int index) {
    FrameViewer viewer;
    if (!PrepareViewer(&viewer, &a, a.screenWidth, a.screenHeight)) return {};
    ShowPictureUpTo(&viewer, index + 1, true);
    const PixelView view = ViewerPicture(&viewer);
    return QImage(reinterpret_cast<const uchar*>(view.pixels), view.width, view.height,
                  view.stride * 4, QImage::Format_RGB32)
        .copy();
  }

  // The largest difference of one colour channel between two pictures of one size.
  static int Farthest(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 256;
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) {
        const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
        most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                         std::abs(qBlue(p) - qBlue(q))});
      }
    return most;
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

  // With the keyboard alone: Tab from the text reaches every field that can be changed, each has
  // a letter of its own (Alt+letter goes to it, and ticks a box), and Enter in a one-line field is
  // OK.
  void everyFieldIsReachedWithTheKeys() {
    AnimationPtr a = Squares(BrightPalette(), 3);
    QVERIFY(OpenGif(*a, "clavier.gif"));
    const bool shown = WithModal<LayerDialog>(
        [&] { window->Command(cmd::AnimationAddText); },
        [&](LayerDialog* d) {
          QTest::keyClicks(d->TextField(), "Clavier");
          d->ShadowBox()->setChecked(true);  // its fields are greyed without it
          QList<QWidget*> fields;
          for (QWidget* w : d->findChildren<QWidget*>()) {
            const bool field = qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w) ||
                               qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QCheckBox*>(w) ||
                               qobject_cast<ColourButton*>(w) || qobject_cast<LayerPreview*>(w);
            if (field && w->isEnabled() && w->isVisibleTo(d)) fields << w;
          }
          QVERIFY(fields.size() >= 20);
          // Tab goes round once; a group of options is one stop, on its chosen one.
          QSet<QWidget*> reached;
          QTRY_COMPARE(QApplication::focusWidget(), d->TextField());
          for (int i = 0; i < 60 && !reached.contains(QApplication::focusWidget()); ++i) {
            reached << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
          }
          for (QWidget* w : fields)
            QVERIFY2(reached.contains(w), qPrintable(w->objectName() + " is out of the Tab chain"));
          QVERIFY(reached.contains(d->AllFramesChoice()));
          // Each field's letter: its own text's, else its label's; the first frame of the range
          // has the letter of its option.
          QHash<QChar, QString> letters;
          QList<QWidget*> labelled = fields;
          labelled << d->AllFramesChoice() << d->SelectedFramesChoice();
          static int chosen = 0;
          ColourButton::SetChooser([](QWidget*, uint32_t*) { return ++chosen, false; });
          for (QWidget* w : labelled) {
            QChar letter;
            if (auto* button = qobject_cast<QAbstractButton*>(w)) letter = Mnemonic(button->text());
            if (w == d->RangeFromField()) letter = Mnemonic(d->RangeChoice()->text());
            for (QLabel* l : d->findChildren<QLabel*>())
              if (letter.isNull() && l->buddy() == w) letter = Mnemonic(l->text());
            QVERIFY2(!letter.isNull(), qPrintable(w->objectName() + " has no letter"));
            QVERIFY2(!letters.contains(letter),
                     qPrintable(w->objectName() + " shares its letter with " + letters[letter]));
            letters.insert(letter, w->objectName());
            // A box's letter ticks it, and a second time clears it.
            if (auto* box = qobject_cast<QCheckBox*>(w)) {
              const bool before = box->isChecked();
              for (const bool expected : {!before, before}) {
                d->TextField()->setFocus();
                QTest::keyClick(d, Qt::Key(letter.toUpper().unicode()), Qt::AltModifier);
                QTRY_VERIFY2(box->isChecked() == expected,
                             qPrintable(QString("Alt+") + letter + " misses " + w->objectName()));
              }
              continue;
            }
            if (qobject_cast<QAbstractButton*>(w) && !qobject_cast<ColourButton*>(w)) continue;
            d->TextField()->setFocus();
            const int chosenBefore = chosen;
            QTest::keyClick(d, Qt::Key(letter.toUpper().unicode()), Qt::AltModifier);
            // A colour's letter opens its chooser.
            if (qobject_cast<ColourButton*>(w)) {
              QTRY_COMPARE(chosen, chosenBefore + 1);
              continue;
            }
            QTRY_VERIFY2(QApplication::focusWidget() == w,
                         qPrintable(QString("Alt+") + letter + " misses " + w->objectName()));
          }
          // Enter in the size field: the size typed is taken, and the dialog says OK.
          d->SizeField()->setFocus();
          d->SizeField()->selectAll();
          QTest::keyClicks(d->SizeField(), "31");
          QTest::keyClick(d->SizeField(), Qt::Key_Return);
          QCOMPARE(d->Style().size, 31);
          ColourButton::SetChooser(nullptr);
        });
    QVERIFY(shown);
    QCOMPARE(CanUndoKind(), UndoKind::AddLayer);
  }

  // The shadow's colour and offsets typed in the dialog are the engine's: its layer is the one
  // the engine draws from those settings, and so is the document after OK.
  void theShadowFieldsDrawTheShadowAsked() {
    AnimationPtr a = Squares(BrightPalette(), 2);
    QVERIFY(OpenGif(*a, "ombre.gif"));
    const AnimationPtr before = DuplicateAnimation(*window->Document(), nullptr);
    ColourButton::SetChooser([](QWidget*, uint32_t* colour) {
      *colour = 0x0000FF;  // red
      return true;
    });
    Layer asked;
    LayerOptions options;
    const bool shown =
        WithModal<LayerDialog>([&] { window->Command(cmd::AnimationAddText); },
                               [&](LayerDialog* d) {
                                 QTest::keyClicks(d->TextField(), "Ombre");
                                 d->SizeField()->setValue(16);
                                 d->OutlineWidthField()->setValue(0);
                                 d->ShadowBox()->click();
                                 QVERIFY(d->ShadowXField()->isEnabled());
                                 d->ShadowColourField()->click();
                                 QTRY_COMPARE(d->ShadowColourField()->Colour(), 0x0000FFu);
                                 d->ShadowXField()->setFocus();
                                 d->ShadowXField()->selectAll();
                                 QTest::keyClicks(d->ShadowXField(), "-3");
                                 d->ShadowYField()->setFocus();
                                 d->ShadowYField()->selectAll();
                                 QTest::keyClicks(d->ShadowYField(), "5");
                                 TextStyle style;
                                 style.text = "Ombre";
                                 style.family = d->Style().family;
                                 style.style = d->Style().style;
                                 style.size = 16;
                                 style.shadow = true;
                                 style.shadowColour = 0x0000FF;
                                 style.shadowX = -3;
                                 style.shadowY = 5;
                                 style.align = TextAlign::Center;
                                 std::string detail;
                                 QCOMPARE(RenderText(style, &asked, &detail), 0);
                                 QCOMPARE(d->CurrentLayer().width, asked.width);
                                 QCOMPARE(d->CurrentLayer().height, asked.height);
                                 QVERIFY(d->CurrentLayer().pixels == asked.pixels);
                                 options = d->Options();
                                 QTest::keyClick(d->ShadowYField(), Qt::Key_Enter);
                               });
    ColourButton::SetChooser(nullptr);
    QVERIFY(shown);
    QVERIFY(!asked.pixels.empty());
    AnimationPtr expected = DuplicateAnimation(*before, nullptr);
    QCOMPARE(PaintLayer(*expected, asked, options, nullptr), 0);
    QVERIFY(SameAnimation(*window->Document(), *expected));
  }

  // With a fade in over two frames on frames 2 to 4, the preview shows each frame as OK will
  // leave it: frame 1 untouched, frame 2 at a third of the strength, frame 3 at two thirds,
  // frame 4 whole.
  void thePreviewShowsTheFadeOfTheFrameItStandsOn() {
    AnimationPtr a = Squares(BrightPalette(), 4);
    QVERIFY(OpenGif(*a, "fondu.gif"));
    const AnimationPtr before = DuplicateAnimation(*window->Document(), nullptr);
    AnimationPtr expected;
    QList<QImage> previews;
    const bool shown = WithModal<LayerDialog>(
        [&] { window->Command(cmd::AnimationAddText); },
        [&](LayerDialog* d) {
          QTest::keyClicks(d->TextField(), "Fondu");
          d->SizeField()->setValue(20);
          d->OutlineWidthField()->setValue(0);
          d->PlaceField()->setCurrentIndex(1 + static_cast<int>(Anchor::Center));
          d->RangeFromField()->setValue(2);
          d->RangeToField()->setValue(4);
          d->FadeInField()->setValue(2);
          for (int frame = 1; frame <= 4; ++frame) {
            d->PreviewFrameField()->setValue(frame);
            previews << d->Preview()->Shown();
          }
          QCOMPARE(d->findChild<QLabel*>("frameNote")->text(), QString());
          expected = Expected(*before, *d);
          BoxButton(d, QDialogButtonBox::RejectRole)->click();
        });
    QVERIFY(shown);
    QVERIFY(expected);
    for (int frame = 0; frame < 4; ++frame) {
      const QImage drawn = Shows(*expected, frame);
      QVERIFY2(
          Farthest(previews[frame], drawn) <= 4,
          qPrintable(QString("frame %1: %2").arg(frame + 1).arg(Farthest(previews[frame], drawn))));
    }
    QVERIFY(Farthest(previews[0], Shows(*before, 0)) == 0);
    QVERIFY(Farthest(previews[1], Shows(*before, 1)) > 40);
  }

  // Esc and "Annuler" leave the document and the history as they were.
  void cancellingChangesNothing() {
    AnimationPtr a = Squares(BrightPalette(), 2);
    QVERIFY(OpenGif(*a, "deux.gif"));
    const QByteArray original = Bytes("deux-avant.gif");
    for (bool escape : {true, false}) {
      // Opened by its key, Ctrl+L, from the window.
      window->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(window.get()));
      window->Strip()->setFocus();
      QTest::mouseClick(window->Strip()->viewport(), Qt::LeftButton, Qt::NoModifier,
                        window->Strip()->FrameImageRect(0).center());
      QVERIFY(WithModal<LayerDialog>(
          [&] { QTest::keyClick(window->Strip(), Qt::Key_L, Qt::ControlModifier); },
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

  // A PNG with alpha over an animation whose palette is full, opened with Ctrl+M, placed
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
    const bool shown = WithModal<LayerDialog>(
        [&] { QTest::keyClick(window->Strip(), Qt::Key_M, Qt::ControlModifier); },
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
