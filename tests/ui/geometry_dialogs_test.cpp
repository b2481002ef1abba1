// The geometry commands used from the window: rotations from the menus, the resize dialog, and
// the move/crop views, each followed by undo and redo.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "base/preferences.h"
#include "core/animation.h"
#include "core/gif_writer.h"
#include "formats/gif/gif_save.h"
#include "platform/headless_services.h"
#include "shell/command_ids.h"
#include "shell/geometry_commands.h"
#include "ui/dialogs/move_crop_dialog.h"
#include "ui/dialogs/resize_dialog.h"
#include "ui/services/qt_services.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"
#include "ui_fixtures.h"

namespace lw {

namespace {

uint8_t Pixel(const Frame* f, uint32_t x, uint32_t y) {
  return f->bits()[y * IndexStride(f->DibWidth()) + x];
}

void Send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, p, w->mapToGlobal(p), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

// A drag in the view from one point to another, in steps of whole screen pixels (a step
// smaller than one is lost, as the view only follows whole pixels).
void Drag(QWidget* view, QPoint from, QPoint to, int steps) {
  Send(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
  for (int step = 1; step <= steps; ++step)
    Send(view, QEvent::MouseMove, from + (to - from) * step / steps, Qt::LeftButton);
  Send(view, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

// Headless services that let the test look at the window while work pumps events.
class PumpingServices : public HeadlessServices {
 public:
  std::function<void()> onPump;
  void PumpEvents() override {
    if (onPump) onPump();
  }
};

}  // namespace

class GeometryDialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  PumpingServices services_;
  std::unique_ptr<MainWindow> window_;

  // A 20 x 10 screen with two frames: a 6 x 4 one at (2, 1) whose top-left pixel differs, and a
  // full one.
  void OpenDocument() {
    AnimationPtr a = uitest::MakeDocument(20, 10, 0);
    Frame* f = uitest::AddFrame(*a, 2, 1, 6, 4, 1, -1, 1, 10);
    f->bits()[0] = 3;
    uitest::AddFrame(*a, 0, 0, 20, 10, 2, 4, 1, 10);
    QString path = dir_.path() + "/geo.gif";
    QVERIFY(SaveGifToFile(path.toStdString(), *a, nullptr));
    QCOMPARE(window_->OpenDocument(path.toStdString()), 1);
  }

  // Runs command; its modal dialog of type D gets act, then OK.
  template <typename D>
  void WithDialog(int command, std::function<void(D*)> act) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
      if (!d) return;
      seen = true;
      act(d);
      d->accept();
      if (d->isVisible()) d->reject();  // refused: leave the loop all the same
    });
    window_->Command(command);
    QVERIFY(seen);
  }

  QString ScreenText() const { return window_->StatusPart(1); }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    uitest::StartWindowTests(dir_, services_);
  }

  void cleanupTestCase() {
    window_.reset();
    uitest::EndWindowTests();
  }

  void init() {
    services_.Reset();
    window_ = std::make_unique<MainWindow>();
    window_->resize(480, 360);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() {
    if (window_ && window_->Modified()) services_.QueueAnswer(answer::No);
    window_.reset();
  }

  // Each rotation from its menu item: the pixels, sizes, offsets and screen it gives, then undo
  // brings the first state back and redo the turned one.
  void rotationsFromTheMenusUndoAndRedo() {
    OpenDocument();
    window_->SelectFrame(0, 0);
    struct Case {
      int command;
      uint32_t width, height;
      int32_t left, top;
      int corner;  // where the marked pixel lands: 0 top-left, 1 top-right, 2 bottom-left, 3
                   // bottom-right
      uint32_t screenWidth, screenHeight;
    } cases[] = {
        {cmd::FrameRotate90Cw, 4, 6, 2, 1, 1, 20, 10},
        {cmd::FrameRotate180, 6, 4, 2, 1, 3, 20, 10},
        {cmd::FrameRotate90Ccw, 4, 6, 2, 1, 2, 20, 10},
        {cmd::FrameFlipHorizontal, 6, 4, 2, 1, 1, 20, 10},
        {cmd::FrameFlipVertical, 6, 4, 2, 1, 2, 20, 10},
        {cmd::AnimationRotate90Cw, 4, 6, 5, 2, 1, 10, 20},  // (H - y - h, x)
        {cmd::AnimationRotate180, 6, 4, 12, 5, 3, 20, 10},  // (W - x - w, H - y - h)
        {cmd::AnimationFlipHorizontal, 6, 4, 12, 1, 1, 20, 10},
    };
    for (const Case& c : cases) {
      QAction* action = window_->Action(c.command);
      QVERIFY(action && action->isEnabled());
      action->trigger();
      Animation* doc = window_->Document();
      Frame* f = FirstFrame(*doc);
      QCOMPARE(f->width, c.width);
      QCOMPARE(f->height, c.height);
      QCOMPARE(f->left, c.left);
      QCOMPARE(f->top, c.top);
      QCOMPARE(doc->screenWidth, c.screenWidth);
      QCOMPARE(doc->screenHeight, c.screenHeight);
      const uint32_t x = (c.corner & 1) ? c.width - 1 : 0, y = (c.corner & 2) ? c.height - 1 : 0;
      QCOMPARE(Pixel(f, x, y), 3);
      QVERIFY(window_->Modified());
      QCOMPARE(ScreenText(), QString::fromUtf8("  %1 × %2").arg(c.screenWidth).arg(c.screenHeight));
      // The status bar's progress is gone and the window takes clicks again.
      auto* bar = window_->statusBar()->findChild<QProgressBar*>("statusProgressBar");
      QVERIFY(bar && bar->isHidden());

      window_->Command(cmd::Undo);
      f = FirstFrame(*doc);
      QCOMPARE(f->width, 6u);
      QCOMPARE(f->left, 2);
      QCOMPARE(doc->screenWidth, 20u);
      QCOMPARE(doc->screenHeight, 10u);
      QCOMPARE(Pixel(f, 0, 0), 3);
      window_->Command(cmd::Redo);
      QCOMPARE(FirstFrame(*doc)->width, c.width);
      QCOMPARE(FirstFrame(*doc)->left, c.left);
      QCOMPARE(doc->screenWidth, c.screenWidth);
      window_->Command(cmd::Undo);
    }
  }

  // A quarter turn of a frame that then reaches beyond the screen grows the screen.
  void frameTurnGrowsTheScreen() {
    OpenDocument();
    window_->SelectFrame(1, 0);
    window_->Command(cmd::FrameRotate90Ccw);
    QCOMPARE(window_->Document()->screenWidth, 20u);
    QCOMPARE(window_->Document()->screenHeight, 20u);
    window_->Command(cmd::Undo);
    QCOMPARE(window_->Document()->screenHeight, 10u);
  }

  // The linked fields: pixels and percent follow each other, the other side only while the
  // aspect is kept; checking the box re-applies the width.
  void resizeFieldsFollowEachOther() {
    AnimationPtr a = uitest::MakeDocument(100, 50, 0);
    uitest::AddFrame(*a, 0, 0, 100, 50, 1, -1, 1, 10);
    struct Case {
      bool keep;
      const char* field;
      int value;
      int width, widthPercent, height, heightPercent;
    } cases[] = {
        {true, "width", 33, 33, 33, 17, 33},   {true, "widthPercent", 50, 50, 50, 25, 50},
        {true, "height", 5, 10, 10, 5, 10},    {true, "heightPercent", 200, 200, 200, 100, 200},
        {false, "width", 33, 33, 33, 50, 100}, {false, "heightPercent", 3, 100, 100, 2, 3},
    };
    for (const Case& c : cases) {
      ResizeRequest request;
      request.animation = a.get();
      ResizeDialog dialog(&request);
      dialog.KeepAspectBox()->setChecked(c.keep);
      dialog.findChild<QSpinBox*>(c.field)->setValue(c.value);
      QCOMPARE(dialog.WidthField()->value(), c.width);
      QCOMPARE(dialog.WidthPercentField()->value(), c.widthPercent);
      QCOMPARE(dialog.HeightField()->value(), c.height);
      QCOMPARE(dialog.HeightPercentField()->value(), c.heightPercent);
    }
    ResizeRequest request;
    request.animation = a.get();
    ResizeDialog dialog(&request);
    dialog.KeepAspectBox()->setChecked(false);
    dialog.WidthField()->setValue(20);
    dialog.KeepAspectBox()->setChecked(true);
    QCOMPARE(dialog.HeightField()->value(), 10);
    QCOMPARE(dialog.HeightPercentField()->value(), 20);
  }

  // The whole animation to half its size, nearest value: the screen, sizes and offsets follow
  // the scaling rule; undo and redo; the choices are remembered.
  void resizeAnimationOkUndoRedo() {
    OpenDocument();
    SetPrefOn(Pref::ResizeKeepsAspect, false);
    SetPrefOn(Pref::ResizeIsBicubic, false);
    WithDialog<ResizeDialog>(cmd::ResizeAnimation, [](ResizeDialog* d) {
      QVERIFY(d->NearestChoice()->isChecked());
      d->KeepAspectBox()->setChecked(true);
      d->WidthPercentField()->setValue(50);
    });
    Animation* doc = window_->Document();
    QCOMPARE(doc->screenWidth, 10u);
    QCOMPARE(doc->screenHeight, 5u);
    Frame* f = FirstFrame(*doc);
    QCOMPARE(f->width, 3u);
    QCOMPARE(f->height, 2u);
    QCOMPARE(f->left, 1);
    QCOMPARE(f->top, 1);  // (5 x 1 + 5) / 10
    QVERIFY(window_->Modified());
    QVERIFY(PrefOn(Pref::ResizeKeepsAspect) && !PrefOn(Pref::ResizeIsBicubic));
    window_->Command(cmd::Undo);
    QCOMPARE(doc->screenWidth, 20u);
    QCOMPARE(FirstFrame(*doc)->width, 6u);
    window_->Command(cmd::Redo);
    QCOMPARE(doc->screenWidth, 10u);
    QCOMPARE(FirstFrame(*doc)->width, 3u);
  }

  // A screen wider than 10 000 pixels keeps its width through the dialog, and a width up to
  // the largest a GIF holds can be typed.
  void resizeFieldsTakeScreenSizesUpTo65535() {
    AnimationPtr a = uitest::MakeDocument(12000, 20, 0);
    uitest::AddFrame(*a, 0, 0, 20, 10, 1, -1, 1, 10);
    QString path = dir_.path() + "/large.gif";
    QVERIFY(SaveGifToFile(path.toStdString(), *a, nullptr));
    QCOMPARE(window_->OpenDocument(path.toStdString()), 1);
    int shownWidth = 0;
    WithDialog<ResizeDialog>(cmd::ResizeAnimation, [&](ResizeDialog* d) {
      shownWidth = d->WidthField()->value();
      d->KeepAspectBox()->setChecked(false);
      d->HeightField()->setValue(40);
    });
    QCOMPARE(shownWidth, 12000);
    QCOMPARE(window_->Document()->screenWidth, 12000u);
    QCOMPARE(window_->Document()->screenHeight, 40u);
    WithDialog<ResizeDialog>(cmd::ResizeAnimation, [](ResizeDialog* d) {
      d->KeepAspectBox()->setChecked(false);
      d->WidthField()->setValue(65535);
    });
    QCOMPARE(window_->Document()->screenWidth, 65535u);
  }

  // Bicubic with an offset frame asks first: "Non" keeps the dialog open and changes nothing,
  // "Oui" resizes. The selected frames' mode sizes the screen to the frames' extent.
  void bicubicWarningAndFrameMode() {
    OpenDocument();
    window_->SelectFrame(0, 0);
    Animation* doc = window_->Document();
    services_.QueueAnswer(answer::No);
    bool stayed = false;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<ResizeDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      QCOMPARE(d->windowTitle(), QString::fromUtf8("Redimensionner le cadre"));
      d->BicubicChoice()->setChecked(true);
      d->KeepAspectBox()->setChecked(false);
      d->WidthField()->setValue(12);
      d->accept();
      stayed = d->isVisible();
      d->reject();
    });
    window_->Command(cmd::ResizeFrames);
    QVERIFY(stayed);
    QCOMPARE(FirstFrame(*doc)->width, 6u);
    QVERIFY(!window_->Modified());

    services_.QueueAnswer(answer::Yes);
    WithDialog<ResizeDialog>(cmd::ResizeFrames, [](ResizeDialog* d) {
      QVERIFY(d->NearestChoice()->isChecked());  // a refused choice is not remembered
      d->BicubicChoice()->setChecked(true);
      d->KeepAspectBox()->setChecked(false);
      d->WidthField()->setValue(12);
    });
    Frame* f = FirstFrame(*doc);
    QCOMPARE(f->width, 12u);
    QCOMPARE(f->height, 4u);
    QCOMPARE(f->left, 4);             // (12 x 2 + 3) / 6
    QCOMPARE(doc->screenWidth, 20u);  // the full frame still reaches furthest
    QVERIFY(PrefOn(Pref::ResizeIsBicubic));
    window_->Command(cmd::Undo);
    QCOMPARE(FirstFrame(*doc)->width, 6u);
  }

  // While the frames are resized the status bar shows the work, and clicks on the window do
  // not reach it; afterwards both are back to normal.
  void progressInTheStatusBarHoldsTheWindow() {
    OpenDocument();
    window_->SelectFrame(0, 0);
    auto* text = window_->statusBar()->findChild<QLabel*>("statusProgressText");
    QVERIFY(text && text->isHidden());
    QWidget* strip = window_->Strip()->viewport();
    const QPoint second = window_->Strip()->FrameImageRect(1).center();
    QString seen;
    services_.onPump = [&] {
      if (!text->isHidden()) seen = text->text();
      QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier, second);
    };
    WithDialog<ResizeDialog>(cmd::ResizeAnimation, [](ResizeDialog* d) {
      d->NearestChoice()->setChecked(true);
      d->WidthPercentField()->setValue(50);
    });
    services_.onPump = nullptr;
    QCOMPARE(seen, QString::fromUtf8("Redimensioner l'animation..."));
    QVERIFY(text->isHidden());
    QCOMPARE(window_->CurrentFrame(), 0);
    QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier,
                      window_->Strip()->FrameImageRect(1).center());
    QCOMPARE(window_->CurrentFrame(), 1);
  }

  // Bicubic resizing without memory says so and leaves the animation, the history and the
  // modified flag as they were.
  void bicubicWithoutMemoryChangesNothing() {
    OpenDocument();
    Animation* doc = window_->Document();
    FailNextGeometryAllocations(1, 3);
    services_.QueueAnswer(answer::Yes);  // the warning about the offset frame
    WithDialog<ResizeDialog>(cmd::ResizeAnimation, [](ResizeDialog* d) {
      d->BicubicChoice()->setChecked(true);
      d->WidthPercentField()->setValue(50);
    });
    FailNextGeometryAllocations(0);
    std::vector<ShownMessage> shown = services_.Messages();
    QVERIFY(!shown.empty());
    QCOMPARE(
        QString::fromStdString(shown.back().text),
        QString::fromUtf8("Mémoire insuffisante pour l'échelle bicubique. Opération annulée."));
    QCOMPARE(doc->screenWidth, 20u);
    QCOMPARE(FirstFrame(*doc)->width, 6u);
    QVERIFY(!window_->Modified());
    QVERIFY(!window_->Action(cmd::Undo)->isEnabled());
  }

  // The frame dragged by its middle and its kept rectangle by the right side, in the view;
  // OK moves and cuts it as one step to undo.
  void moveCropByDraggingInTheView() {
    OpenDocument();
    window_->SelectFrame(0, 0);
    SetPrefOn(Pref::ShowFrameCropped, false);
    WithDialog<MoveCropDialog>(cmd::MoveCrop, [](MoveCropDialog* d) {
      MoveCropView* view = d->View();
      QCOMPARE(d->KeptSizeLabel()->text(), QString::fromUtf8("6×4"));
      QVERIFY(!d->ResetButton()->isEnabled());
      const int num = view->ZoomNumerator(), den = view->ZoomDenominator();
      QVERIFY(num >= 1 && den == 1);
      QPoint middle = view->ScreenToView(5, 3);
      Drag(view, middle, middle + QPoint(3 * num, 1 * num), 1);
      QCOMPARE(d->State().x, 5);
      QCOMPARE(d->State().y, 2);
      ViewRect crop = view->CropRect();
      QPoint side(static_cast<int>(crop.right) - 2,
                  static_cast<int>(crop.top + (crop.bottom - crop.top) / 2));
      Drag(view, side, side - QPoint(2 * num, 0), 2);
      QCOMPARE(d->State().right, 4);
      QCOMPARE(d->KeptSizeLabel()->text(), QString::fromUtf8("4×4"));
      QVERIFY(d->ResetButton()->isEnabled());
      QCOMPARE(d->Field(4)->value(), 5);
    });
    Animation* doc = window_->Document();
    Frame* f = FirstFrame(*doc);
    QCOMPARE(f->left, 5);
    QCOMPARE(f->top, 2);
    QCOMPARE(f->width, 4u);
    QCOMPARE(f->height, 4u);
    QCOMPARE(Pixel(f, 0, 0), 3);
    QVERIFY(window_->Modified());
    window_->Command(cmd::Undo);
    f = FirstFrame(*doc);
    QCOMPARE(f->left, 2);
    QCOMPARE(f->width, 6u);
    window_->Command(cmd::Redo);
    QCOMPARE(FirstFrame(*doc)->width, 4u);
  }

  // OK with nothing changed, or changed and put back, leaves neither a step nor a mark; with
  // several frames selected too.
  void moveCropUnchangedRecordsNothing() {
    OpenDocument();
    window_->SelectFrame(0, 0);
    WithDialog<MoveCropDialog>(cmd::MoveCrop, [](MoveCropDialog*) {});
    window_->SelectFrame(1, 4);
    WithDialog<MoveCropDialog>(cmd::MoveCrop, [](MoveCropDialog* d) {
      d->Field(4)->stepBy(3);
      QCOMPARE(d->State().x, 3);
      QTest::mouseClick(d->ResetButton(), Qt::LeftButton);
      QCOMPARE(d->State().x, 0);
    });
    QVERIFY(!window_->Modified());
    QVERIFY(!window_->Action(cmd::Undo)->isEnabled());
    QCOMPARE(FirstFrame(*window_->Document())->left, 2);
  }

  // Fields: typed values wait and are brought back within the frame; the toolbar aligns the kept
  // part; "Réinitialiser" restores the start.
  void moveCropFieldsAndToolbar() {
    OpenDocument();
    window_->SelectFrame(0, 0);
    WithDialog<MoveCropDialog>(cmd::MoveCrop, [](MoveCropDialog* d) {
      QTest::keyClick(d->Field(2), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(d->Field(2), "99");
      QCOMPARE(d->State().right, 6);  // not yet
      QTRY_COMPARE(d->Field(2)->value(), 6);
      d->Field(0)->setValue(1);
      QCOMPARE(d->State().left, 1);
      struct Case {
        MoveCropAlign align;
        int x, y;
      } cases[] = {
          {MoveCropAlign::Left, -1, 1},    // x = -l
          {MoveCropAlign::Right, 14, 1},   // x = W - r
          {MoveCropAlign::Bottom, 14, 6},  // y = H - b
          {MoveCropAlign::Centre, 6, 3},   // ((W - r + l) / 2 - l, (H - b + t) / 2 - t)
      };
      for (const Case& c : cases) {
        d->Align(c.align);
        QCOMPARE(d->State().x, c.x);
        QCOMPARE(d->State().y, c.y);
      }
      d->ResetButton()->click();
      QCOMPARE(d->State().x, 2);
      QCOMPARE(d->State().left, 0);
      QVERIFY(!d->ResetButton()->isEnabled());
      d->Field(5)->setValue(0);
    });
    QCOMPARE(FirstFrame(*window_->Document())->top, 0);
    QCOMPARE(FirstFrame(*window_->Document())->width, 6u);
  }

  // The animation crop: no position to drag, "Auto" takes the frames' union, the bottom edge
  // dragged in the view; the screen becomes the rectangle. The whole screen changes nothing.
  void cropAnimationInTheView() {
    OpenDocument();
    WithDialog<MoveCropDialog>(cmd::CropAnimation, [](MoveCropDialog* d) {
      QVERIFY(!d->Field(4));
      QCOMPARE(d->windowTitle(), QString::fromUtf8("Rogner l'animation"));
    });
    QVERIFY(!window_->Modified());
    QCOMPARE(window_->Document()->screenWidth, 20u);

    WithDialog<MoveCropDialog>(cmd::CropAnimation, [](MoveCropDialog* d) {
      MoveCropView* view = d->View();
      const int num = view->ZoomNumerator();
      QPoint middle = view->ScreenToView(10, 5);
      Drag(view, middle, middle + QPoint(3 * num, 0), 3);  // a move: nothing
      QCOMPARE(d->State().x, 0);
      QCOMPARE(d->State().right, 20);
      d->Field(0)->setValue(4);
      ViewRect crop = view->CropRect();
      QPoint bottom(static_cast<int>(crop.left + (crop.right - crop.left) / 2),
                    static_cast<int>(crop.bottom) - 2);
      Drag(view, bottom, bottom - QPoint(0, 3 * num), 3);
      QCOMPARE(d->State().bottom, 7);
    });
    Animation* doc = window_->Document();
    QCOMPARE(doc->screenWidth, 16u);
    QCOMPARE(doc->screenHeight, 7u);
    QCOMPARE(FirstFrame(*doc)->left, 0);
    QCOMPARE(FirstFrame(*doc)->width, 4u);
    window_->Command(cmd::Undo);
    QCOMPARE(doc->screenWidth, 20u);
    QCOMPARE(doc->screenHeight, 10u);
    QCOMPARE(FirstFrame(*doc)->width, 6u);
  }

  // The pictures of the two dialogs for the documentation, when LOOPWRIGHT_GEOMETRY_SHOTS names
  // the folder to write them to and LOOPWRIGHT_SAMPLE the animation to show.
  void pictures() {
    QByteArray folder = qgetenv("LOOPWRIGHT_GEOMETRY_SHOTS");
    QByteArray sample = qgetenv("LOOPWRIGHT_SAMPLE");
    if (folder.isEmpty() || sample.isEmpty())
      QSKIP("LOOPWRIGHT_GEOMETRY_SHOTS and LOOPWRIGHT_SAMPLE not set");
    QCOMPARE(window_->OpenDocument(sample.toStdString()), 1);
    window_->SelectFrame(2, 0);
    auto shoot = [&](int command, const char* name, std::function<void(QDialog*)> prepare) {
      bool saved = false;
      QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        prepare(d);
        QTest::qWait(400);
        saved = d->grab().save(QString::fromLocal8Bit(folder) + "/" + name);
        d->reject();
      });
      window_->Command(command);
      QVERIFY(saved);
    };
    shoot(cmd::ResizeAnimation, "redimensionner.png", [](QDialog* d) {
      auto* dialog = static_cast<ResizeDialog*>(d);
      dialog->KeepAspectBox()->setChecked(true);
      dialog->WidthPercentField()->setValue(50);
    });
    shoot(cmd::MoveCrop, "deplacer-rogner.png", [](QDialog* d) {
      auto* dialog = static_cast<MoveCropDialog*>(d);
      dialog->resize(720, 420);
      dialog->Field(0)->setValue(dialog->State().w / 6);
      dialog->Field(3)->setValue(dialog->State().h * 4 / 5);
      dialog->Field(4)->setValue(dialog->State().x + dialog->State().w / 8);
      dialog->findChild<QCheckBox*>()->setChecked(true);
    });
  }
};

}  // namespace lw

QTEST_MAIN(lw::GeometryDialogsTest)
#include "geometry_dialogs_test.moc"
