// The preferences sheet and the small questions that store a preference word: what OK writes,
// what Annuler leaves, and the values refused on the way.
#include "ui/window/preferences_sheet.h"

#include <array>

#include "platform/desktop_entries.h"
#include "support/window_driver.h"
#include "ui/common/colour_button.h"
#include "ui/dialogs/oversize_insert_dialog.h"
#include "ui/dialogs/palette_merge_dialog.h"

namespace lw::test {

namespace {

std::array<uint32_t, PrefWordCount> Words() {
  std::array<uint32_t, PrefWordCount> w{};
  for (int i = 0; i < PrefWordCount; ++i) w[i] = GetPref(i);
  return w;
}

// The control of that dialog id on a page of the sheet.
template <typename T>
T* On(PreferencesSheet& sheet, int page, int id) {
  T* w = sheet.Page(page)->findChild<T*>(QStringLiteral("c%1").arg(id));
  if (!w) qFatal("no control %d on page %d", id, page);
  return w;
}

QString editorPath;

}  // namespace

class PreferencesSheetTest : public UiTest {
  Q_OBJECT

  // Changes a control of every kind on every page.
  static void ChangeEverything(PreferencesSheet& sheet) {
    for (int i = 0; i < sheet.Tabs()->count(); ++i) sheet.Tabs()->setCurrentIndex(i);
    On<QRadioButton>(sheet, 0, 1074)->setChecked(true);
    On<QCheckBox>(sheet, 1, 1204)->setChecked(true);
    On<QCheckBox>(sheet, 1, 1205)->setChecked(true);
    On<QCheckBox>(sheet, 1, 1236)->setChecked(false);
    On<QCheckBox>(sheet, 1, 1084)->setChecked(true);
    On<QCheckBox>(sheet, 1, 1296)->setChecked(true);
    On<QLineEdit>(sheet, 1, 1069)->setText(QStringLiteral("7"));
    On<QPushButton>(sheet, 1, 1292)->click();
    On<QRadioButton>(sheet, 2, 1199)->setChecked(true);
    On<QCheckBox>(sheet, 2, 1204)->setChecked(true);
    On<QCheckBox>(sheet, 2, 1206)->setChecked(true);
    On<QComboBox>(sheet, 2, 1289)->setCurrentIndex(2);  // 64
    On<QComboBox>(sheet, 2, 1203)->setCurrentIndex(5);  // 8
    On<QSpinBox>(sheet, 3, 1101)->setValue(65535);
    On<QSpinBox>(sheet, 3, 1102)->setValue(65536);
    On<QRadioButton>(sheet, 3, 1111)->setChecked(true);
    On<QCheckBox>(sheet, 3, 1121)->setChecked(true);
    On<QCheckBox>(sheet, 4, 1257)->setChecked(false);
    On<QCheckBox>(sheet, 4, 1083)->setChecked(true);
    On<QCheckBox>(sheet, 4, 1288)->setChecked(true);
    On<QLineEdit>(sheet, 4, 1069)->setText(QStringLiteral("12,5"));
    On<QCheckBox>(sheet, 4, 1092)->setChecked(true);
    On<ColourButton>(sheet, 4, 1298)->click();
    On<QSlider>(sheet, 4, 1271)->setValue(10);
    On<QCheckBox>(sheet, 4, 1084)->setChecked(false);
    QLineEdit* signature = On<QLineEdit>(sheet, 4, 1070);
    QVERIFY(!signature->isEnabled());
    On<QCheckBox>(sheet, 4, 1084)->setChecked(true);
    signature->clear();
    QTest::keyClicks(signature, QStringLiteral("Fait main"));
    On<QCheckBox>(sheet, 5, 1083)->setChecked(true);
    On<QCheckBox>(sheet, 5, 1265)->setChecked(true);
    On<QCheckBox>(sheet, 5, 1269)->setChecked(true);
  }

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    editorPath = dir.path() + "/gimp";
    QFile editor(editorPath);
    QVERIFY(editor.open(QIODevice::WriteOnly));
    SetCoEditorChooser([](QWidget*, const QString&) { return editorPath; });
    ColourButton::SetChooser([](QWidget*, uint32_t* colour) {
      *colour = 0x000000FF;
      return true;
    });
  }
  void cleanupTestCase() {
    SetCoEditorChooser(nullptr);
    ColourButton::SetChooser(nullptr);
    EndUi();
  }

  // Annuler after every change writes nothing; OK without a change keeps every word.
  void cancelOrUnchangedWriteNothing() {
    const auto before = Words();
    const std::string signature = GetSignature(true);
    {
      PreferencesSheet sheet;
      ChangeEverything(sheet);
      sheet.reject();
    }
    QCOMPARE(Words(), before);
    QCOMPARE(GetSignature(true), signature);
    PreferencesSheet sheet;
    for (int i = 0; i < sheet.Tabs()->count(); ++i) sheet.Tabs()->setCurrentIndex(i);
    sheet.accept();
    QVERIFY(sheet.Outcome().accepted && !sheet.Outcome().signatureChanged);
    QCOMPARE(Words(), before);
  }

  // Every page's change reaches its word, and the sheet shows back what it wrote.
  void okWritesEveryPage() {
    {
      PreferencesSheet sheet;
      ChangeEverything(sheet);
      sheet.accept();
      QVERIFY(sheet.Outcome().signatureChanged);
    }
    for (Pref bit : {Pref::PreviewIgnoresLoopCount, Pref::FullScreenPreview, Pref::AllowInterlace,
                     Pref::ExportLayerMasks, Pref::AviFixedRate, Pref::HideIntroPanel,
                     Pref::LoadTransparentColour})
      QVERIFY(PrefOn(bit));
    QVERIFY(!PrefOn(Pref::KeepTrueColor));  // the Export page, applied after the usage preset
    QCOMPARE(GetPref(PrefPaletteMerge), 0x00360304u);
    QCOMPARE(GetPref(PrefOversizeInsert), 20u);
    QCOMPARE(GetPref(PrefUndoLevels), 7u);
    QCOMPARE(GetPref(PrefDefaultDelay), 65535u);
    QCOMPARE(GetPref(PrefDefaultLoopCount), 65536u);
    QCOMPARE(GetPref(PrefAviFrameRate), 125000u);
    QCOMPARE(GetPref(PrefLoadTransparentColor), 0x000000FFu);
    QCOMPARE((GetPref(PrefSaveOptions) >> 8) & 0xFF, 10u);
    QCOMPARE(GetSignature(true), std::string("Fait main"));
    std::string editor;
    QVERIFY(GetCoEditor(&editor));
    QCOMPARE(QString::fromStdString(editor), editorPath);

    PreferencesSheet sheet;
    QVERIFY(On<QRadioButton>(sheet, 0, 1254)->isChecked());
    QCOMPARE(On<QLineEdit>(sheet, 1, 1071)->text(), QStringLiteral("gimp"));
    QCOMPARE(On<QComboBox>(sheet, 2, 1289)->currentText(), QStringLiteral("64"));
    QCOMPARE(On<QLineEdit>(sheet, 4, 1069)->text(), QStringLiteral("12.50"));
    QVERIFY(On<QCheckBox>(sheet, 5, 1269)->isChecked());
  }

  // A bad value keeps its page, or the sheet, with its message; 255 accented characters of
  // signature are fine.
  void badValuesKeepTheirPage() {
    PreferencesSheet sheet;
    sheet.show();
    QString text;
    auto box = [&](const std::function<void()>& run) {
      WithModal<QMessageBox>(run, [&](QMessageBox* b) {
        text = b->windowTitle() + '|' + b->text();
        b->accept();
      });
    };
    sheet.Tabs()->setCurrentIndex(3);
    On<QSpinBox>(sheet, 3, 1101)->setValue(65536);
    box([&] { sheet.Tabs()->setCurrentIndex(4); });
    QCOMPARE(sheet.Tabs()->currentIndex(), 3);
    QVERIFY(text.startsWith(QStringLiteral("Valeur d'intervalle invalide|")));
    On<QSpinBox>(sheet, 3, 1101)->setValue(65535);
    sheet.Tabs()->setCurrentIndex(4);
    On<QLineEdit>(sheet, 4, 1070)->setText(QString(256, 'x'));
    box([&] { sheet.accept(); });
    QVERIFY(sheet.isVisible());
    QVERIFY(text.startsWith(QStringLiteral("Commentaire trop long|")));
    On<QLineEdit>(sheet, 4, 1070)->setText(QString(255, QChar(0xE9)));
    sheet.Tabs()->setCurrentIndex(5);
    QCOMPARE(sheet.Tabs()->currentIndex(), 5);
  }

  // The frame-size and palette-merge questions store their word on OK, the ask bit cleared by
  // their box.
  void questionsStoreTheirWord() {
    QVERIFY(
        WithModal<OversizeInsertDialog>([] { QCOMPARE(AskOversizeInsertDialog(nullptr, 36), 16u); },
                                        [](OversizeInsertDialog* d) {
                                          QCOMPARE(d->Word(), 36u);
                                          Child<QRadioButton>(d, "c1111")->setChecked(true);
                                          Child<QCheckBox>(d, "c1083")->setChecked(true);
                                          d->accept();
                                        }));
    QCOMPARE(GetPref(PrefOversizeInsert), 16u);

    PaletteMergeDialog merge(0x00870302);
    QVERIFY(!merge.findChild<QCheckBox*>("c1206"));
    Child<QCheckBox>(&merge, "c1205")->setChecked(true);
    QCOMPARE(merge.Word(), 0x00870102u);  // the ask bit goes only with the box
    QVERIFY(WithModal([] { QCOMPARE(AskPaletteMergeDialog(nullptr, 0x00880210), 0x00880210u); },
                      [](QDialog* d) { d->accept(); }));
    QCOMPARE(GetPref(PrefPaletteMerge), 0x00880210u);
  }
};

LW_UI_TEST(PreferencesSheetTest)

}  // namespace lw::test

#include "preferences_sheet_test.moc"
