// The strip import dialog: its texts, its refusals, and the choice it returns.
#include "ui/dialogs/strip_split_dialog.h"

#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "base/string_ids.h"
#include "base/strings.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

class StripSplitDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  HeadlessServices services_;

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    UsePrivateSettings(dir_);
    LoadPreferences();
    services_.SetEcho(false);
    SetServices(&services_);
  }
  void cleanupTestCase() { SetServices(nullptr); }

  void refusesCountsThatDoNotDivide() {
    StripSplitDialog dialog(nullptr, 300, 100, StripSplitChoice{});
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Importer bande"));
    QStringList labels;
    for (QLabel* l : dialog.findChildren<QLabel*>()) labels << l->text();
    QVERIFY(labels.contains(QStringLiteral("Cadres par rangée (horizontale) :")));
    QVERIFY(labels.contains(QStringLiteral("Cadres par colonne (verticale) :")));
    QCOMPARE(dialog.RowByRow()->text(), QStringLiteral("Sens horizontal"));
    QCOMPARE(dialog.ColumnByColumn()->text(), QStringLiteral("Sens vertical"));
    QCOMPARE(dialog.PerRow()->value(), 1);
    QCOMPARE(dialog.PerColumn()->value(), 1);
    QVERIFY(dialog.RowByRow()->isChecked());

    struct Case {
      int across, down;
      int refusal;
    } cases[] = {
        {7, 1, str::StripCannotSplitHorizontally},
        {3, 7, str::StripCannotSplitVertically},
        {3, 1, 0},
    };
    for (const Case& c : cases) {
      services_.Reset();
      dialog.PerRow()->setValue(c.across);
      dialog.PerColumn()->setValue(c.down);
      dialog.accept();
      if (c.refusal == 0) {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(services_.Messages().empty());
        continue;
      }
      QVERIFY(dialog.isVisible());
      QCOMPARE(services_.Messages().size(), size_t{1});
      QCOMPARE(services_.Messages()[0].text, ResText(c.refusal));
      QSpinBox* fault =
          c.refusal == str::StripCannotSplitVertically ? dialog.PerColumn() : dialog.PerRow();
      QCOMPARE(dialog.focusWidget(), static_cast<QWidget*>(fault));
    }
  }

  void askReturnsTheChoice() {
    AnimationPtr strip = MakeDocument(40, 30, 0);
    AddFrame(*strip, 0, 0, 40, 30, 2, 3, 1, 10);
    QTimer::singleShot(0, [] {
      auto* d = qobject_cast<StripSplitDialog*>(QApplication::activeModalWidget());
      QVERIFY(d);
      QCOMPARE(d->PerRow()->maximum(), 40);
      QCOMPARE(d->PerColumn()->maximum(), 30);
      d->PerRow()->setValue(4);
      d->PerColumn()->setValue(3);
      d->ColumnByColumn()->setChecked(true);
      d->accept();
    });
    StripSplitChoice choice;
    QVERIFY(AskStripSplit(nullptr, *strip, &choice));
    QCOMPARE(choice.framesPerRow, 4);
    QCOMPARE(choice.framesPerColumn, 3);
    QVERIFY(choice.byColumns);

    QTimer::singleShot(0, [] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    QVERIFY(!AskStripSplit(nullptr, *strip, &choice));
    QCOMPARE(choice.framesPerRow, 4);
  }
};

}  // namespace lw

QTEST_MAIN(lw::StripSplitDialogTest)
#include "strip_split_dialog_test.moc"
