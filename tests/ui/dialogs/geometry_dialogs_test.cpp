// The resize and move/crop dialogs opened from the window's commands: fields, drags in their
// views, OK as one undo step, what they remember, and the status bar's progress meanwhile.

#include "support/window_driver.h"
#include "ui/dialogs/move_crop_dialog.h"
#include "ui/dialogs/resize_dialog.h"

namespace lw::test {

class GeometryDialogsTest : public UiTest {
  Q_OBJECT

  Animation& Doc() const { return *window->Document(); }

  // A 20 x 10 screen with two frames: a 6 x 4 one at (2, 1) whose top-left pixel is 3, and a
  // full one.
  bool OpenTwoFrames() {
    AnimationPtr a = MakeDocument(20, 10, BrightPalette());
    AddSquareFrame(*a, 2, 1, 6, 4, 1, -1)->bits()[0] = 3;
    AddSquareFrame(*a, 0, 0, 20, 10, 2, 4);
    return OpenGif(*a, "geo.gif");
  }

  // Runs command; its dialog of type D gets act, then OK (rejected when OK refused).
  template <typename D>
  bool WithDialog(int command, const std::function<void(D*)>& act) {
    return WithModal<D>([&] { window->Command(command); },
                        [&](D* d) {
                          act(d);
                          d->accept();
                        });
  }

 private slots:
  void initTestCase() { QVERIFY(StartUi()); }
  void cleanupTestCase() { EndUi(); }
  void init() { QVERIFY(OpenWindow(480, 360)); }
  void cleanup() {
    services.onPump = nullptr;
    CloseWindow();
  }

  // Pixels and percent follow each other, the other side only while the aspect is kept;
  // checking the box re-applies the width.
  void resizeFieldsFollowEachOther() {
    AnimationPtr a = MakeDocument(100, 50);
    AddSquareFrame(*a, 0, 0, 100, 50, 1, -1);
    struct Case {
      bool keep;
      const char* field;
      int value;
      int width, widthPercent, height, heightPercent;
    } const cases[] = {
        {true, "widthPercent", 50, 50, 50, 25, 50},
        {true, "height", 5, 10, 10, 5, 10},
        {false, "width", 33, 33, 33, 50, 100},
        {false, "heightPercent", 3, 100, 100, 2, 3},
    };
    for (const Case& c : cases) {
      ResizeRequest request{a.get()};
      ResizeDialog dialog(&request);
      dialog.KeepAspectBox()->setChecked(c.keep);
      Child<QSpinBox>(&dialog, c.field)->setValue(c.value);
      QCOMPARE(dialog.WidthField()->value(), c.width);
      QCOMPARE(dialog.WidthPercentField()->value(), c.widthPercent);
      QCOMPARE(dialog.HeightField()->value(), c.height);
      QCOMPARE(dialog.HeightPercentField()->value(), c.heightPercent);
      if (c.keep) continue;
      dialog.KeepAspectBox()->setChecked(true);
      QCOMPARE(dialog.HeightField()->value(), (c.width + 1) / 2);
    }
    // A screen wider than 10 000 pixels keeps its width; 65535 can be typed.
    AnimationPtr wide = MakeDocument(12000, 20);
    AddSquareFrame(*wide, 0, 0, 20, 10, 1, -1);
    ResizeRequest request{wide.get()};
    ResizeDialog dialog(&request);
    QCOMPARE(dialog.WidthField()->value(), 12000);
    QCOMPARE(dialog.WidthField()->maximum(), 65535);
  }

  // Half size, nearest value: screen, sizes and offsets; the choices are remembered. The status bar
  // shows the work meanwhile and clicks do not reach the window.
  void resizeAnimationOkUndoRedo() {
    QVERIFY(OpenTwoFrames());
    window->SelectFrame(0, 0);
    SetPrefOn(Pref::ResizeKeepsAspect, false);
    SetPrefOn(Pref::ResizeIsBicubic, false);
    auto* text = Child<QLabel>(window->statusBar(), "statusProgressText");
    QVERIFY(text && text->isHidden());
    QString seen;
    services.onPump = [&] {
      if (!text->isHidden()) seen = text->text();
      Click(window->Strip()->viewport(), window->Strip()->FrameImageRect(1).center());
    };
    QVERIFY(WithDialog<ResizeDialog>(cmd::ResizeAnimation, [](ResizeDialog* d) {
      QVERIFY(d->NearestChoice()->isChecked());
      d->KeepAspectBox()->setChecked(true);
      d->WidthPercentField()->setValue(50);
    }));
    services.onPump = nullptr;
    QCOMPARE(seen, QStringLiteral("Redimensioner l'animation..."));
    QVERIFY(text->isHidden() &&
            Child<QProgressBar>(window->statusBar(), "statusProgressBar")->isHidden());
    QCOMPARE(window->CurrentFrame(), 0);
    QCOMPARE(QSize(Doc().screenWidth, Doc().screenHeight), QSize(10, 5));
    Frame* f = FirstFrame(Doc());
    QCOMPARE(QRect(f->left, f->top, f->width, f->height), QRect(1, 1, 3, 2));
    QVERIFY(PrefOn(Pref::ResizeKeepsAspect) && !PrefOn(Pref::ResizeIsBicubic));
    Click(window->Strip()->viewport(), window->Strip()->FrameImageRect(1).center());
    QCOMPARE(window->CurrentFrame(), 1);
  }

  // Bicubic with an offset frame asks first: "Non" keeps the dialog open and changes nothing,
  // "Oui" resizes the frame.
  void bicubicWarning() {
    QVERIFY(OpenTwoFrames());
    window->SelectFrame(0, 0);
    auto bicubicTwelve = [](ResizeDialog* d) {
      d->BicubicChoice()->setChecked(true);
      d->KeepAspectBox()->setChecked(false);
      d->WidthField()->setValue(12);
    };
    services.QueueAnswer(answer::No);
    bool stayed = false;
    QVERIFY(WithModal<ResizeDialog>([&] { window->Command(cmd::ResizeFrames); },
                                    [&](ResizeDialog* d) {
                                      bicubicTwelve(d);
                                      d->accept();
                                      stayed = d->isVisible();
                                    }));
    QVERIFY(stayed);
    QCOMPARE(FirstFrame(Doc())->width, 6u);
    QVERIFY(!window->Modified());

    services.QueueAnswer(answer::Yes);
    QVERIFY(WithDialog<ResizeDialog>(cmd::ResizeFrames, [&](ResizeDialog* d) {
      QVERIFY(d->NearestChoice()->isChecked());  // a refused choice is not remembered
      bicubicTwelve(d);
    }));
    QCOMPARE(FirstFrame(Doc())->width, 12u);
    QVERIFY(PrefOn(Pref::ResizeIsBicubic));
  }

  // The frame dragged by its middle and its kept rectangle by the right side; OK moves and cuts
  // it as one step; OK with the start put back records nothing.
  void moveCropByDraggingAndTyping() {
    QVERIFY(OpenTwoFrames());
    window->SelectFrame(0, 0);
    SetPrefOn(Pref::ShowFrameCropped, false);
    QVERIFY(WithDialog<MoveCropDialog>(cmd::MoveCrop, [](MoveCropDialog* d) {
      MoveCropView* view = d->View();
      QCOMPARE(d->KeptSizeLabel()->text(), QStringLiteral("6×4"));
      QVERIFY(!d->ResetButton()->isEnabled());
      const int num = view->ZoomNumerator();
      QVERIFY(num >= 1 && view->ZoomDenominator() == 1);
      const QPoint middle = view->ScreenToView(5, 3);
      Drag(view, middle, middle + QPoint(3 * num, 1 * num), 1);
      QCOMPARE(QPoint(d->State().x, d->State().y), QPoint(5, 2));
      const ViewRect crop = view->CropRect();
      const QPoint side(int(crop.right) - 2, int(crop.top + (crop.bottom - crop.top) / 2));
      Drag(view, side, side - QPoint(2 * num, 0), 2);
      QCOMPARE(d->State().right, 4);
      QCOMPARE(d->KeptSizeLabel()->text(), QStringLiteral("4×4"));
      QCOMPARE(d->Field(4)->value(), 5);
    }));
    Frame* f = FirstFrame(Doc());
    QCOMPARE(QRect(f->left, f->top, f->width, f->height), QRect(5, 2, 4, 4));
    QCOMPARE(int(Pixel(f, 0, 0)), 3);
    window->Command(cmd::Undo);
    QCOMPARE(CanUndoKind(), UndoKind::None);

    QVERIFY(WithDialog<MoveCropDialog>(cmd::MoveCrop, [](MoveCropDialog* d) {
      d->Field(4)->stepBy(3);
      QVERIFY(d->ResetButton()->isEnabled());
      QTest::mouseClick(d->ResetButton(), Qt::LeftButton);
      QCOMPARE(d->State().x, 2);
      QVERIFY(!d->ResetButton()->isEnabled());
    }));
    QCOMPARE(CanUndoKind(), UndoKind::None);
  }

  // The animation crop: nothing to drag, the bottom edge dragged in the view; the screen becomes
  // the rectangle. The whole screen changes nothing.
  void cropAnimationInTheView() {
    QVERIFY(OpenTwoFrames());
    QVERIFY(WithDialog<MoveCropDialog>(cmd::CropAnimation, [](MoveCropDialog* d) {
      QVERIFY(!d->Field(4));
      QCOMPARE(d->windowTitle(), QStringLiteral("Rogner l'animation"));
    }));
    QVERIFY(!window->Modified());
    QVERIFY(WithDialog<MoveCropDialog>(cmd::CropAnimation, [](MoveCropDialog* d) {
      MoveCropView* view = d->View();
      const int num = view->ZoomNumerator();
      const QPoint middle = view->ScreenToView(10, 5);
      Drag(view, middle, middle + QPoint(3 * num, 0), 3);  // a move: nothing
      QCOMPARE(d->State().x, 0);
      d->Field(0)->setValue(4);
      const ViewRect crop = view->CropRect();
      const QPoint bottom(int(crop.left + (crop.right - crop.left) / 2), int(crop.bottom) - 2);
      Drag(view, bottom, bottom - QPoint(0, 3 * num), 3);
      QCOMPARE(d->State().bottom, 7);
    }));
    QCOMPARE(QSize(Doc().screenWidth, Doc().screenHeight), QSize(16, 7));
    QCOMPARE(FirstFrame(Doc())->width, 4u);
    window->Command(cmd::Undo);
    QCOMPARE(QSize(Doc().screenWidth, Doc().screenHeight), QSize(20, 10));
  }
};

LW_UI_TEST(GeometryDialogsTest)

}  // namespace lw::test

#include "geometry_dialogs_test.moc"
