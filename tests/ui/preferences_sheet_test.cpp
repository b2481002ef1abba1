#include "ui/window/preferences_sheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <array>

#include "base/preferences.h"
#include "base/settings.h"
#include "platform/desktop_entries.h"
#include "ui/common/colour_button.h"
#include "ui/dialogs/oversize_insert_dialog.h"
#include "ui/dialogs/palette_merge_dialog.h"
#include "ui/dialogs/usage_question_dialog.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

namespace {

std::array<uint32_t, PrefWordCount> Words() {
  std::array<uint32_t, PrefWordCount> w{};
  for (int i = 0; i < PrefWordCount; ++i) w[i] = GetPref(i);
  return w;
}

template <typename T>
T* On(PreferencesSheet& sheet, int page, int id) {
  T* w = sheet.Page(page)->findChild<T*>(QStringLiteral("c%1").arg(id));
  if (!w) qFatal("no control %d on page %d", id, page);
  return w;
}

// Answers the next message box with OK and remembers its text.
QString* AnswerNextBox() {
  auto* text = new QString;
  QTimer::singleShot(0, [text] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      *text = box->windowTitle() + QLatin1Char('|') + box->text();
      box->accept();
    }
  });
  return text;
}

QString tempEditor;
QString ChooseTempEditor(QWidget*, const QString&) { return tempEditor; }
bool ChooseRed(QWidget*, uint32_t* colour) {
  *colour = 0x000000FF;
  return true;
}

}  // namespace

class PreferencesSheetTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  void VisitAll(PreferencesSheet& sheet) {
    for (int i = 0; i < sheet.Tabs()->count(); ++i) sheet.Tabs()->setCurrentIndex(i);
    QCOMPARE(sheet.Tabs()->currentIndex(), sheet.Tabs()->count() - 1);
  }

  void ChangeEverything(PreferencesSheet& sheet) {
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
    QVERIFY(dir_.isValid());
    UsePrivateSettings(dir_);
    LoadPreferences();
    tempEditor = dir_.path() + QStringLiteral("/gimp");
    QFile editor(tempEditor);
    QVERIFY(editor.open(QIODevice::WriteOnly));
    SetCoEditorChooser(ChooseTempEditor);
    ColourButton::SetChooser(ChooseRed);
  }

  void cancelWritesNothing() {
    auto before = Words();
    std::string signature = GetSignature(true);
    {
      PreferencesSheet sheet;
      QCOMPARE(sheet.windowTitle(), QStringLiteral("Préférences générales"));
      VisitAll(sheet);
      ChangeEverything(sheet);
      sheet.reject();
      QVERIFY(!sheet.Outcome().accepted);
    }
    QCOMPARE(Words(), before);
    QCOMPARE(GetSignature(true), signature);
    std::string editor;
    QVERIFY(!GetCoEditor(&editor));
  }

  void okWithoutChangesKeepsEveryWord() {
    auto before = Words();
    PreferencesSheet sheet;
    QVERIFY(On<QRadioButton>(sheet, 0, 1073)->isChecked());  // defaults: the GIF use
    VisitAll(sheet);
    sheet.accept();
    QVERIFY(sheet.Outcome().accepted);
    QVERIFY(!sheet.Outcome().interlaceChanged);
    QVERIFY(!sheet.Outcome().signatureChanged);
    auto after = Words();
    for (int i = 0; i < PrefWordCount; ++i) QCOMPARE(after[i], before[i]);
    QCOMPARE(GetPref(PrefFrameTips), 0u);  // no preset applied
  }

  void okWritesEveryPage() {
    {
      PreferencesSheet sheet;
      VisitAll(sheet);
      ChangeEverything(sheet);
      sheet.accept();
      QVERIFY(sheet.result() == QDialog::Accepted);
      QVERIFY(sheet.Outcome().interlaceChanged);
      QVERIFY(sheet.Outcome().signatureChanged);
    }
    QVERIFY(PrefOn(Pref::PreviewIgnoresLoopCount));
    QVERIFY(PrefOn(Pref::FullScreenPreview));
    QVERIFY(PrefOn(Pref::NoAutoPreview));
    QVERIFY(PrefOn(Pref::AllowInterlace));
    QVERIFY(!PrefOn(Pref::KeepTrueColor));  // the Export page, applied after the usage preset
    QVERIFY(!PrefOn(Pref::NoSignatureComment));
    for (Pref bit : {Pref::ExportLayerMasks, Pref::AviFixedRate, Pref::HideIntroPanel,
                     Pref::LoadTransparentColour})
      QVERIFY(PrefOn(bit));
    QCOMPARE(GetPref(PrefUndoLevels), 7u);
    QCOMPARE(GetPref(PrefPaletteMerge), 0x00360304u);
    QCOMPARE(GetPref(PrefDefaultDelay), 65535u);
    QCOMPARE(GetPref(PrefDefaultLoopCount), 65536u);
    QCOMPARE(GetPref(PrefOversizeInsert), 20u);
    QCOMPARE(GetPref(PrefAviFrameRate), 125000u);
    QCOMPARE(GetPref(PrefLoadTransparentColor), 0x000000FFu);
    QCOMPARE((GetPref(PrefSaveOptions) >> 8) & 0xFF, 10u);
    QCOMPARE(GetPref(PrefFrameTips), 0x025u);  // rebuilt from the boxes alone
    QCOMPARE(QString::fromStdString(GetSignature(true)), QStringLiteral("Fait main"));
    std::string editor;
    QVERIFY(GetCoEditor(&editor));
    QCOMPARE(QString::fromStdString(editor), tempEditor);

    // And the sheet shows back what it wrote.
    PreferencesSheet sheet;
    QVERIFY(On<QRadioButton>(sheet, 0, 1254)->isChecked());
    QVERIFY(On<QCheckBox>(sheet, 1, 1204)->isChecked());
    QVERIFY(!On<QCheckBox>(sheet, 1, 1236)->isChecked());
    QCOMPARE(On<QLineEdit>(sheet, 1, 1071)->text(), QStringLiteral("gimp"));
    QVERIFY(On<QRadioButton>(sheet, 2, 1199)->isChecked());
    QCOMPARE(On<QComboBox>(sheet, 2, 1289)->currentText(), QStringLiteral("64"));
    QCOMPARE(On<QComboBox>(sheet, 2, 1203)->currentText(), QStringLiteral("8"));
    QVERIFY(On<QCheckBox>(sheet, 3, 1121)->isChecked());
    QCOMPARE(On<QLineEdit>(sheet, 4, 1069)->text(), QStringLiteral("12.50"));
    QVERIFY(On<QCheckBox>(sheet, 5, 1269)->isChecked());
    QVERIFY(On<QCheckBox>(sheet, 5, 1274)->isHidden());  // no 24-bit work
  }

  void leavingAPageWithABadValueKeepsIt() {
    PreferencesSheet sheet;
    sheet.show();
    sheet.Tabs()->setCurrentIndex(3);
    On<QSpinBox>(sheet, 3, 1101)->setValue(65536);
    std::unique_ptr<QString> text(AnswerNextBox());
    sheet.Tabs()->setCurrentIndex(4);
    QCOMPARE(sheet.Tabs()->currentIndex(), 3);
    QCOMPARE(*text, QStringLiteral("Valeur d'intervalle invalide|L'intervalle doit être compris "
                                   "entre 0 et 65 535."));
    On<QSpinBox>(sheet, 3, 1101)->setValue(100);
    On<QSpinBox>(sheet, 3, 1102)->setValue(65537);
    text.reset(AnswerNextBox());
    sheet.accept();
    QVERIFY(sheet.isVisible());
    QCOMPARE(text->section(QLatin1Char('|'), 0, 0), QStringLiteral("Valeur d'itération erronée"));
    On<QSpinBox>(sheet, 3, 1102)->setValue(3);
    sheet.Tabs()->setCurrentIndex(4);
    QCOMPARE(sheet.Tabs()->currentIndex(), 4);
    On<QLineEdit>(sheet, 4, 1070)->setText(QString(256, QLatin1Char('x')));
    text.reset(AnswerNextBox());
    sheet.Tabs()->setCurrentIndex(5);
    QCOMPARE(sheet.Tabs()->currentIndex(), 4);
    QVERIFY(text->startsWith(QStringLiteral("Commentaire trop long|")));
    // 255 characters, accents included, are fine; so is a long text that is not added.
    On<QLineEdit>(sheet, 4, 1070)->setText(QString(255, QChar(0xE9)));
    sheet.Tabs()->setCurrentIndex(5);
    QCOMPARE(sheet.Tabs()->currentIndex(), 5);
  }

  void gifAssociationFollowsTheBox() {
    UnassociateGif();
    {
      PreferencesSheet sheet;
      sheet.Tabs()->setCurrentIndex(1);
      QVERIFY(!On<QCheckBox>(sheet, 1, 1092)->isChecked());
      On<QCheckBox>(sheet, 1, 1092)->setChecked(true);
      sheet.accept();
    }
    QVERIFY(IsGifAssociated());
    PreferencesSheet sheet;
    sheet.Tabs()->setCurrentIndex(1);
    QVERIFY(On<QCheckBox>(sheet, 1, 1092)->isChecked());
    On<QCheckBox>(sheet, 1, 1092)->setChecked(false);
    sheet.accept();
    QVERIFY(!IsGifAssociated());
  }

  void usagePagePresetsAndTheFirstRunQuestion() {
    SetPref(PrefFlags, 0x00800000);
    SetPref(PrefPaletteMerge, 0x00880001);
    SetPref(PrefFrameTips, 0);
    {
      UsageQuestionDialog question;
      QCOMPARE(question.Selected(), UsagePreset::Gif);
      question.reject();  // no way out but OK
      question.accept();
      QCOMPARE(GetPref(PrefFrameTips), 0u);
    }
    {
      UsageQuestionDialog question;
      question.findChild<QRadioButton*>(QStringLiteral("c1074"))->setChecked(true);
      question.accept();
    }
    QCOMPARE(GetPref(PrefPaletteMerge), 0x00880010u);
    QCOMPARE(GetPref(PrefFrameTips), 1161u);
    PreferencesSheet sheet;
    QVERIFY(On<QRadioButton>(sheet, 0, 1074)->isChecked());
    On<QRadioButton>(sheet, 0, 1073)->setChecked(true);
    sheet.accept();
    QVERIFY(!PrefOn(Pref::KeepTrueColor));
    QCOMPARE(GetPref(PrefFrameTips), 173u);
  }

  void frameSizeQuestion() {
    {
      OversizeInsertDialog dialog(36);
      QVERIFY(dialog.findChild<QRadioButton*>(QStringLiteral("c1112"))->isChecked());
      QCOMPARE(dialog.Word(), 36u);
      dialog.findChild<QRadioButton*>(QStringLiteral("c1111"))->setChecked(true);
      dialog.findChild<QCheckBox*>(QStringLiteral("c1083"))->setChecked(true);
      QCOMPARE(dialog.Word(), 16u);  // not asked again
    }
    QTimer::singleShot(0, [] {
      auto* d = qobject_cast<OversizeInsertDialog*>(QApplication::activeModalWidget());
      if (d) d->findChild<QCheckBox*>(QStringLiteral("c1083"))->setChecked(true);
      if (d) d->accept();
    });
    QCOMPARE(AskOversizeInsertDialog(nullptr, 20), 16u);
    QCOMPARE(GetPref(PrefOversizeInsert), 16u);
    QTimer::singleShot(0, [] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    QCOMPARE(AskOversizeInsertDialog(nullptr, 36), 0u);
    QCOMPARE(GetPref(PrefOversizeInsert), 16u);
  }

  void paletteMergeQuestion() {
    {
      PaletteMergeDialog dialog(0x00870302);
      QVERIFY(dialog.findChild<QRadioButton*>(QStringLiteral("c1198"))->isChecked());
      QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("c1206")));
      QCOMPARE(dialog.Word(), 0x00870302u);  // the ask bit stays unless the box is checked
      dialog.findChild<QCheckBox*>(QStringLiteral("c1205"))->setChecked(true);
      QCOMPARE(dialog.Word(), 0x00870102u);
      // The fixed palette has no choice here and stays the method.
      PaletteMergeDialog fixed(0x00880600);
      QCOMPARE(fixed.Word(), 0x00880600u);
    }
    QTimer::singleShot(0, [] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->accept();
    });
    QCOMPARE(AskPaletteMergeDialog(nullptr, 0x00880210), 0x00880210u);
    QCOMPARE(GetPref(PrefPaletteMerge), 0x00880210u);
  }
};

}  // namespace lw

QTEST_MAIN(lw::PreferencesSheetTest)
#include "preferences_sheet_test.moc"
