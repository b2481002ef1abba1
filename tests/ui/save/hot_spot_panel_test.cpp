// The cursor hot-spot panel and dialog: a click in the picture or the fields choose the point,
// which the panel hands to the save and the dialog makes the first frame's.
#include "ui/save/hot_spot_panel.h"

#include <QDialog>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "base/preferences.h"
#include "formats/ico/ico_format.h"
#include "ui/save/hot_spot_dialog.h"
#include "ui/services/qt_services.h"
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
    QVERIFY(make);
    SavePanelContext context{doc_.get(), 0, savetype::Cur};
    std::unique_ptr<SavePanel> panel(make(context, nullptr));
    auto* hot = dynamic_cast<HotSpotPanel*>(panel.get());
    QVERIFY(hot);
    panel->show();
    HotSpotEditor* editor = hot->Editor();
    QCOMPARE(std::make_pair(editor->X(), editor->Y()), std::make_pair(4, 0));

    struct Case {
      int x, y;  // pixel clicked, or -1 to type the values in
      int wantX, wantY;
    } cases[] = {{31, 15, 31, 15}, {0, 7, 0, 7}, {-1, 999, 999, 999}, {12, 3, 12, 3}};
    for (const Case& c : cases) {
      if (c.x >= 0) {
        QTest::mouseClick(editor->View(), Qt::LeftButton, {},
                          editor->View()->PixelCentre(c.x, c.y));
      } else {
        hot->findChild<QSpinBox*>(QStringLiteral("hotSpotX"))->setValue(5000);
        hot->findChild<QSpinBox*>(QStringLiteral("hotSpotY"))->setValue(c.y);
      }
      SaveOptions options;
      QVERIFY(panel->Apply(&options));
      QCOMPARE(std::make_pair(options.hotspotX, options.hotspotY),
               std::make_pair(c.wantX, c.wantY));
    }
    // Past the picture nothing changes.
    QTest::mouseClick(editor->View(), Qt::LeftButton, {}, editor->View()->PixelCentre(40, 3));
    QCOMPARE(editor->X(), 12);
  }

  void dialogSetsTheFirstFrameThroughTheServices() {
    SetServices(&DesktopServices());
    for (bool ok : {true, false}) {
      bool defined = !ok;
      QVERIFY(WithModal([&] { defined = DefineCursorHotSpot(nullptr, *doc_); }, [&](QDialog* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Define Cursor HotSpot"));
        Child<QSpinBox>(d, "hotSpotX")->setValue(ok ? 9 : 2);
        ok ? d->accept() : d->reject();
      }));
      QCOMPARE(defined, ok);
      QCOMPARE(FirstFrame(*doc_)->hotspotX, 9);
      QCOMPARE(FirstFrame(*doc_)->hotspotY, 0);
    }
    SetServices(&services);
  }
};

LW_UI_TEST(HotSpotPanelTest)

}  // namespace lw::test

#include "hot_spot_panel_test.moc"
