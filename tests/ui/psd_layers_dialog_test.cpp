// The PSD layer dialog: each combination of its controls gives its options, it opens on the
// remembered choice, and the choice is remembered.
#include "ui/dialogs/psd_layers_dialog.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QtTest>

#include "base/preferences.h"
#include "formats/psd/psd_format.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

class PsdLayersDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    UsePrivateSettings(dir_);
    LoadPreferences();
  }

  void choicesGiveTheirOptions() {
    struct Case {
      int top;       // 0 composite, 1 layers
      int blending;  // 0 onto the background, 1 onto the composite, 2 separate
      bool keepBackground, keepTransparency;
      uint32_t options;
    };
    const Case cases[] = {{0, 0, false, false, 1},     {0, 0, false, true, 0x2001},
                          {1, 0, false, false, 258},   {1, 0, true, false, 4354},
                          {1, 1, false, false, 514},   {1, 2, false, false, 1026},
                          {1, 2, false, true, 0x2402}, {1, 1, true, false, 514}};
    for (const Case& c : cases) {
      PsdLayersDialog dialog(nullptr, psdopt::Composite);
      QCOMPARE(dialog.windowTitle(), QStringLiteral("Support d'étages PSD"));
      (c.top ? dialog.Layers() : dialog.Composite())->setChecked(true);
      QRadioButton* blending[] = {dialog.OntoBackground(), dialog.OntoComposite(),
                                  dialog.Separate()};
      blending[c.blending]->setChecked(true);
      QCOMPARE(dialog.KeepBackground()->isEnabled(), c.top == 1 && c.blending == 0);
      dialog.KeepBackground()->setChecked(c.keepBackground);
      dialog.KeepTransparency()->setChecked(c.keepTransparency);
      QCOMPARE(dialog.Options(), c.options);
      // Opened again on these options, it shows the same choice.
      PsdLayersDialog again(nullptr, c.options);
      QCOMPARE(again.Options(), c.options);
    }
  }

  void okRemembersTheChoice() {
    SetPref(PrefFlags, 0x00800000);
    uint32_t options = PsdOptionsFromFlags(GetPref(PrefFlags));
    QCOMPARE(options, psdopt::Composite);
    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<PsdLayersDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      dialog->Separate()->setChecked(true);
      dialog->Layers()->setChecked(true);
      dialog->KeepTransparency()->setChecked(true);
      dialog->accept();
    });
    QVERIFY(AskPsdLayers(nullptr, &options));
    QCOMPARE(options, 0x2402u);
    QCOMPARE(GetPref(PrefFlags), 0x00800000u | 0x200 | 0x04000000 | 0x08000000);
  }
};

}  // namespace lw

QTEST_MAIN(lw::PsdLayersDialogTest)
#include "psd_layers_dialog_test.moc"
