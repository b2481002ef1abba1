// The geometry commands used from the window: rotations from the menus, the resize dialog, and
// the move/crop views, each followed by undo and redo.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "base/preferences.h"
#include "core/animation.h"
#include "core/gif_writer.h"
#include "platform/headless_services.h"
#include "platform/qt/qt_services.h"
#include "colour/ui/resize_dialog.h"
#include "shell/command_ids.h"
#include "shell/geometry_commands.h"
#include "shell/ui/main_window.h"
#include "ui_fixtures.h"

namespace lw {

namespace {

uint8_t Pixel(const Frame* f, uint32_t x, uint32_t y) {
  return f->bits()[y * IndexStride(f->DibWidth()) + x];
}

}  // namespace

class GeometryDialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  HeadlessServices services_;
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
    uitest::UsePrivateSettings(dir_);
    LoadPreferences();
    SetPref(PrefFlags, GetPref(PrefFlags) | NoAutoPreview);
    SetPrefBits(PrefFlags2, 0x40, true);
    InstallQtServices();
    services_.SetEcho(false);
    SetServices(&services_);
    RegisterGeometryUndo();
  }

  void cleanupTestCase() {
    window_.reset();
    SetServices(nullptr);
    UninstallQtServices();
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
      int corner;  // where the marked pixel lands: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right
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
        {true, "width", 33, 33, 33, 17, 33},
        {true, "widthPercent", 50, 50, 50, 25, 50},
        {true, "height", 5, 10, 10, 5, 10},
        {true, "heightPercent", 200, 200, 200, 100, 200},
        {false, "width", 33, 33, 33, 50, 100},
        {false, "heightPercent", 3, 100, 100, 2, 3},
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
    SetPrefBits(PrefFlags, 0x80 | 0x100, false);
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
    QCOMPARE(GetPref(PrefFlags) & 0x180, 0x80u);
    window_->Command(cmd::Undo);
    QCOMPARE(doc->screenWidth, 20u);
    QCOMPARE(FirstFrame(*doc)->width, 6u);
    window_->Command(cmd::Redo);
    QCOMPARE(doc->screenWidth, 10u);
    QCOMPARE(FirstFrame(*doc)->width, 3u);
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
    QCOMPARE(f->left, 4);  // (12 x 2 + 3) / 6
    QCOMPARE(doc->screenWidth, 20u);  // the full frame still reaches furthest
    QCOMPARE(GetPref(PrefFlags) & 0x100, 0x100u);
    window_->Command(cmd::Undo);
    QCOMPARE(FirstFrame(*doc)->width, 6u);
  }
};

}  // namespace lw

QTEST_MAIN(lw::GeometryDialogsTest)
#include "geometry_dialogs_test.moc"
