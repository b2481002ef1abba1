// The preview window: playing with its loop count, navigation and zoom against the compositor,
// the duration panel's operations as one undo entry, and Esc.

#include "core/frame_player.h"
#include "core/frame_viewer.h"
#include "support/window_driver.h"
#include "ui/common/animation_view.h"
#include "ui/dialogs/duration_panel.h"

namespace lw::test {

class PreviewWindowTest : public UiTest {
  Q_OBJECT

  // Three frames: a red field, a green square with disposal 3 (restore previous), a blue frame
  // that covers only the top-left quarter and is transparent where index 0 is.
  static AnimationPtr ThreeFrames(uint32_t playCount, uint32_t delay = 1) {
    AnimationPtr a = MakeDocument(16, 12, BrightPalette(), playCount);
    AddSquareFrame(*a, 0, 0, 16, 12, 1, -1, 1, delay);
    AddSquareFrame(*a, 4, 2, 8, 8, 2, 4, 3, delay);
    AddSquareFrame(*a, 0, 0, 8, 6, 0, 3, 2, delay, 0);
    return a;
  }

  // The view's picture, as painted, against the compositor brought to frame n from scratch.
  static bool ViewMatchesCompositor(PreviewWindow& preview, const Animation& animation, int n) {
    FrameViewer reference;
    reference.background = preview.View()->Background();
    if (!PrepareViewer(&reference, &animation, animation.screenWidth, animation.screenHeight))
      return false;
    ShowPictureUpTo(&reference, n, true);
    PixelView expected = ViewerPicture(&reference);
    QImage painted = preview.View()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QRect at = preview.View()->PictureRect();
    if (at.width() != expected.width || at.height() != expected.height) return false;
    for (int y = 0; y < expected.height; ++y) {
      for (int x = 0; x < expected.width; ++x) {
        QRgb got = painted.pixel(at.x() + x, at.y() + y) & 0xFFFFFF;
        if (got != (expected.pixels[y * expected.stride + x] & 0xFFFFFF)) return false;
      }
    }
    return true;
  }

  static QRgb PaintedAt(PreviewWindow& preview, int x, int y) {
    QImage painted = preview.View()->grab().toImage();
    QRect at = preview.View()->PictureRect();
    return painted.pixel(at.x() + x, at.y() + y) & 0xFFFFFF;
  }

 private slots:
  void initTestCase() { QVERIFY(StartUi()); }
  void cleanupTestCase() { EndUi(); }

  void loopCountOnePlaysOnceAndStopsOnTheLastFrame() {
    AnimationPtr a = ThreeFrames(1);
    PreviewWindow preview(a.get(), PreviewMode::AllFrames, -1);
    QList<int> shown;
    connect(&preview, &PreviewWindow::frameShown, [&](int n) { shown << n; });
    QVERIFY(preview.Open());
    QVERIFY(preview.Playing());
    QVERIFY(preview.Action(cmd::PreviewStop)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!preview.Playing(), 5000);
    QCOMPARE(preview.CurrentNumber(), 3);
    QCOMPARE(shown, (QList<int>{1, 2, 3}));
    QVERIFY(!preview.Action(cmd::PreviewStop)->isEnabled());
    QVERIFY(ViewMatchesCompositor(preview, *a, 3));
  }

  void navigationAcrossRestoreToPreviousMatchesTheCompositor() {
    AnimationPtr a = ThreeFrames(0);
    PreviewWindow preview(a.get(), PreviewMode::Durations, 0);
    QVERIFY(preview.Open());
    QVERIFY(!preview.Playing());
    QCOMPARE(preview.CurrentNumber(), 1);
    QVERIFY(ViewMatchesCompositor(preview, *a, 1));
    preview.Action(cmd::PreviewNextFrame)->trigger();
    QCOMPARE(preview.CurrentNumber(), 2);
    QVERIFY(ViewMatchesCompositor(preview, *a, 2));
    preview.Action(cmd::PreviewNextFrame)->trigger();
    QVERIFY(ViewMatchesCompositor(preview, *a, 3));
    // Next from the last frame draws frame 1 over what frame 3's disposal left.
    preview.Action(cmd::PreviewNextFrame)->trigger();
    QCOMPARE(preview.CurrentNumber(), 1);
    QCOMPARE(PaintedAt(preview, 3, 2), qRgb(255, 0, 0) & 0xFFFFFF);
    // Previous from frame 1 composes the last frame from the start.
    preview.Action(cmd::PreviewPreviousFrame)->trigger();
    QCOMPARE(preview.CurrentNumber(), 3);
    QVERIFY(ViewMatchesCompositor(preview, *a, 3));
    // The slider goes round past either end.
    preview.Slider()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(preview.CurrentNumber(), 1);
    preview.Slider()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(preview.CurrentNumber(), 3);
    // Zoom doubles the picture and the pixels follow.
    preview.Action(cmd::ZoomIn)->trigger();
    QCOMPARE(preview.View()->PictureRect().size(), QSize(32, 24));
    preview.Action(cmd::ActualSize)->trigger();
    QCOMPARE(preview.View()->PictureRect().size(), QSize(16, 12));
  }

  void frameCountChangeRestartsOrReturns() {
    AnimationPtr a = ThreeFrames(0);
    PreviewWindow preview(a.get(), PreviewMode::Durations, 2);
    QVERIFY(preview.Open());
    QCOMPARE(preview.CurrentNumber(), 3);
    UnlinkAndFreeBlock(FrameAt(*a, 2));
    --a->frameCount;
    preview.FramesChanged(PreviewWindow::Count);
    QCOMPARE(preview.FrameCount(), 2);
    QCOMPARE(preview.CurrentNumber(), 2);
    QCOMPARE(preview.Slider()->maximum(), 2);
    QVERIFY(ViewMatchesCompositor(preview, *a, 2));
  }

  void durationOperationsApplyAndResetThroughOneUndoEntry() {
    ClearHistory();
    AnimationPtr a = MakeDocument(8, 8, BrightPalette());
    for (uint32_t d : {10u, 20u, 30u}) AddSquareFrame(*a, 0, 0, 8, 8, 1, -1, 1, d);
    PreviewWindow preview(a.get(), PreviewMode::Durations, 0);
    bool durationOn = false;
    connect(&preview, &PreviewWindow::durationModeChanged, [&](bool on) { durationOn = on; });
    QVERIFY(preview.Open());
    DurationPanel* panel = preview.Panel();
    QVERIFY(durationOn && panel->isVisible());
    QCOMPARE(panel->ValueField()->text(), QString());  // delays differ
    QVERIFY(!panel->ApplyButton()->isEnabled() && !panel->ResetButton()->isEnabled());
    QCOMPARE(panel->BeforeField()->text(), QStringLiteral("30"));

    auto delays = [&] { return FrameDelays(*a); };
    panel->SetOperation(DurationOperation::Add);
    QTest::keyClicks(panel->ValueField(), "5");
    QVERIFY(panel->ApplyButton()->isEnabled());
    panel->ApplyButton()->click();
    QCOMPARE(delays(), (std::vector<uint32_t>{15, 25, 35}));
    QCOMPARE(CanUndoKind(), UndoKind::EditDurations);
    QCOMPARE(History().count, 1u);
    QVERIFY(panel->ResetButton()->isEnabled());
    QCOMPARE(panel->AfterField()->text(), QStringLiteral("15"));

    panel->ResetButton()->click();
    QCOMPARE(delays(), (std::vector<uint32_t>{10, 20, 30}));
    QCOMPARE(History().count, 0u);  // the reset leaves no entry behind
    QVERIFY(!panel->ResetButton()->isEnabled());

    // "Before" of frame 1 edits the last frame; later edits join the same entry.
    panel->BeforeField()->setText(QStringLiteral("7"));
    QCOMPARE(delays()[2], 7u);
    preview.Action(cmd::PreviewNextFrame)->trigger();
    QCOMPARE(panel->BeforeField()->text(), QStringLiteral("10"));
    panel->AfterField()->setText(QStringLiteral("12"));
    QCOMPARE(delays(), (std::vector<uint32_t>{10, 12, 7}));
    QCOMPARE(History().count, 1u);

    preview.Action(cmd::Duration)->trigger();
    QVERIFY(!durationOn && !panel->isVisible());
  }
};

LW_UI_TEST(PreviewWindowTest)

}  // namespace lw::test

#include "preview_window_test.moc"
