// The AVI panels of Save As: the stored choice preselected, RLE8 kept from 24-bit documents, the
// sound track box following the path, what OK stores, and the fix panel holding OK back.
#include "ui/save/avi_panels.h"

#include <fstream>

#include "formats/avi/avi_fix.h"
#include "formats/avi/avi_format.h"
#include "formats/avi/avi_settings.h"
#include "formats/save_flow.h"
#include "shell/save_choices.h"
#include "support/window_driver.h"
#include "ui/save/save_as_dialog.h"

namespace lw::test {

class AviPanelsTest : public UiTest {
  Q_OBJECT

  static QRadioButton* Choice(SavePanel* panel, const char* name) {
    return panel->findChild<QRadioButton*>(QString::fromLatin1(name));
  }

 private slots:
  void initTestCase() { QVERIFY(StartUi()); }
  void cleanupTestCase() { EndUi(); }

  void okStoresTheChoiceAndChecksTheSoundTrack() {
    SetPrefOn(Pref::NoAviCompression, false);
    QVERIFY(StoreAviCompressOptions(Rle8Options()));
    std::unique_ptr<SavePanel> rgb(
        MakeAviPanel({nullptr, doctrait::TrueColour, savetype::Avi}, nullptr));
    QVERIFY(!Choice(rgb.get(), "rle8")->isEnabled() && Choice(rgb.get(), "video1")->isChecked());
    std::unique_ptr<SavePanel> panel(MakeAviPanel({nullptr, 0, savetype::Avi}, nullptr));
    QVERIFY(Choice(panel.get(), "rle8")->isChecked());
    Choice(panel.get(), "video1")->setChecked(true);
    auto* path = panel->findChild<QLineEdit*>(QStringLiteral("audioPath"));
    auto* audio = panel->findChild<QCheckBox*>(QStringLiteral("audio"));
    const QString silent = dir.path() + QStringLiteral("/silent.wav");
    std::ofstream(silent.toStdString()) << "not a sound";
    path->setText(silent);
    QVERIFY(audio->isEnabled() && audio->isChecked());
    services.Reset();
    SaveOptions options;
    QVERIFY(!panel->Apply(&options));  // no audio stream in it
    QCOMPARE(services.Messages().size(), size_t{1});
    QVERIFY(QString::fromStdString(services.Messages()[0].text).contains(silent));
    path->clear();
    QVERIFY(!audio->isEnabled() && !audio->isChecked());
    QVERIFY(panel->Apply(&options));
    const AviSettings* avi = options.FormatOptions<AviSettings>();
    QVERIFY(avi && avi->filled && avi->compress && !avi->withAudio);
    QVERIFY(avi->compressOptions == Video1Options());
    QVERIFY(LoadAviCompressOptions() == Video1Options());
    Choice(panel.get(), "none")->setChecked(true);
    QVERIFY(panel->Apply(&options));
    QVERIFY(!options.FormatOptions<AviSettings>()->compress && PrefOn(Pref::NoAviCompression));
  }

  void fixPanelHoldsOkBackUntilTheFixRan() {
    AnimationPtr doc = MakeDocument(8, 8, BrightPalette());
    AddSquareFrame(*doc, 0, 0, 8, 8, 1, 2, 1, 10, 2);
    AddSquareFrame(*doc, 2, 2, 4, 4, 3, -1, 1, 10, 2);
    const uint32_t traits = DocumentTraits(*doc);
    QVERIFY(!AviPanelAllowed(traits));
    std::unique_ptr<SavePanel> panel(MakeAviFixPanel({doc.get(), traits, savetype::Avi}, nullptr));
    bool changed = false;
    panel->changed = [&] { changed = true; };
    QVERIFY(!panel->AllowsOk());
    panel->findChild<QPushButton*>(QStringLiteral("fix"))->click();
    QVERIFY(panel->AllowsOk() && changed);
    QVERIFY(AviPanelAllowed(DocumentTraits(*doc)));
  }

  // Transparent frames with different indexes: no index can take the transparency. The panel
  // says so from the start and offers what a plain Save writes, the composited pictures in 24
  // bits; checking that lets the Save As dialog's OK go.
  void fixThatCannotBeMadeOffersTheCompositedSave() {
    AnimationPtr doc = MakeDocument(8, 8, BrightPalette());
    AddSquareFrame(*doc, 0, 0, 8, 8, 1, 2, 1, 10, 2);
    AddSquareFrame(*doc, 2, 2, 4, 4, 3, -1, 1, 10, 4);
    SaveAsWindow dialog(nullptr, BuildSaveAsRequest({}, nullptr, "", *doc, savetype::Avi));
    dialog.show();
    auto* panel = dialog.findChild<SavePanel*>(QStringLiteral("AviFixPanel"));
    QVERIFY(panel);
    QAbstractButton* ok = BoxButton(dialog.Files());
    QVERIFY(ok && !ok->isEnabled());
    QVERIFY(!panel->findChild<QPushButton*>(QStringLiteral("fix"))->isEnabled());
    auto* why = panel->findChild<QLabel*>(QStringLiteral("why"));
    QVERIFY(why->isVisible() && why->text().contains(QStringLiteral("index de transparence")));
    auto* composited = panel->findChild<QCheckBox*>(QStringLiteral("composited"));
    composited->click();
    QTRY_VERIFY(ok->isEnabled());
    composited->click();
    QTRY_VERIFY(!ok->isEnabled());
  }
};

LW_UI_TEST(AviPanelsTest)

}  // namespace lw::test

#include "avi_panels_test.moc"
