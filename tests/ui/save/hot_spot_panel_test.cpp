// The cursor hot-spot panel: a click in the picture or the fields choose the point, which the
// panel hands to the save.
#include "ui/save/hot_spot_panel.h"

#include "formats/common/icon_image.h"
#include "formats/ico/ico_format.h"
#include "support/window_driver.h"

namespace lw::test {

class HotSpotPanelTest : public UiTest {
  Q_OBJECT
  AnimationPtr doc_;

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    doc_ = MakeDocument(32, 16, BrightPalette());
    AddSquareFrame(*doc_, 0, 0, 32, 16, 2, 3, 0, 10);
    FirstFrame(*doc_)->hotspotX = 4;
    FirstFrame(*doc_)->hotspotY = -1;
  }
  void cleanupTestCase() { EndUi(); }

  void clicksAndFieldsChooseThePoint() {
    SavePanelFactory make = FindSavePanel(savepanel::HotSpot);
    SavePanelContext context{doc_.get(), 0, savetype::Cur};
    std::unique_ptr<SavePanel> panel(make(context, nullptr));
    auto* hot = dynamic_cast<HotSpotPanel*>(panel.get());
    QVERIFY(hot);
    panel->show();
    HotSpotEditor* editor = hot->Editor();
    QCOMPARE(std::make_pair(editor->X(), editor->Y()), std::make_pair(4, 0));

    // A click picks the pixel; typed values stop at 999.
    QTest::mouseClick(editor->View(), Qt::LeftButton, {}, editor->View()->PixelCentre(31, 15));
    SaveOptions options;
    QVERIFY(panel->Apply(&options));
    QCOMPARE(std::make_pair(options.FormatOptions<CursorSaveOptions>()->hotspotX,
                            options.FormatOptions<CursorSaveOptions>()->hotspotY),
             std::make_pair(31, 15));
    hot->findChild<QSpinBox*>(QStringLiteral("hotSpotX"))->setValue(5000);
    hot->findChild<QSpinBox*>(QStringLiteral("hotSpotY"))->setValue(999);
    QVERIFY(panel->Apply(&options));
    QCOMPARE(std::make_pair(options.FormatOptions<CursorSaveOptions>()->hotspotX,
                            options.FormatOptions<CursorSaveOptions>()->hotspotY),
             std::make_pair(999, 999));
    QTest::mouseClick(editor->View(), Qt::LeftButton, {}, editor->View()->PixelCentre(12, 3));
    // Past the picture nothing changes.
    QTest::mouseClick(editor->View(), Qt::LeftButton, {}, editor->View()->PixelCentre(40, 3));
    QCOMPARE(editor->X(), 12);
  }
};

LW_UI_TEST(HotSpotPanelTest)

}  // namespace lw::test

#include "hot_spot_panel_test.moc"
