// The clip panel of Save As: each codec's range, and OK storing the chosen CRF for that codec
// alone, 0 (the best quality) included.
#include "ui/save/video_panel.h"

#include <QSpinBox>

#include "formats/avi/video_out_format.h"
#include "shell/save_choices.h"
#include "support/window_driver.h"

namespace lw::test {

class VideoPanelTest : public UiTest {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(StartUi()); }
  void cleanupTestCase() { EndUi(); }

  void okStoresTheQualityOfItsCodec() {
    std::unique_ptr<SavePanel> webm(MakeVideoPanel({nullptr, 0, savetype::Webm}, nullptr));
    auto* crf = webm->findChild<QSpinBox*>(QStringLiteral("crf"));
    QCOMPARE(crf->maximum(), 63);
    QCOMPARE(crf->value(), 31);
    crf->setValue(0);
    SaveOptions options;
    QVERIFY(webm->Apply(&options));
    QCOMPARE(options.FormatOptions<ClipSaveOptions>()->crf, 0);
    QCOMPARE(StoredClipCrf(ClipCodec::Vp9), 0);
    std::unique_ptr<SavePanel> mp4(MakeVideoPanel({nullptr, 0, savetype::Mp4}, nullptr));
    crf = mp4->findChild<QSpinBox*>(QStringLiteral("crf"));
    QCOMPARE(crf->maximum(), 51);
    QCOMPARE(crf->value(), 23);
  }
};

LW_UI_TEST(VideoPanelTest)

}  // namespace lw::test

#include "video_panel_test.moc"
