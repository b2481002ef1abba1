// The progress popup beside its owner, its text always whole, Esc cancelling; the questions'
// buttons and Qt's own texts in French.
#include "ui/services/progress_popup.h"

#include "base/messages.h"
#include "base/progress.h"
#include "support/window_driver.h"
#include "ui/window/application.h"

namespace lw::test {

class ProgressPopupTest : public QObject {
  Q_OBJECT

 private:
  static ProgressPopup* FindPopup() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* popup = qobject_cast<ProgressPopup*>(w)) return popup;
    return nullptr;
  }

 private slots:
  void initTestCase() { InstallQtServices(); }
  void cleanupTestCase() { UninstallQtServices(); }

  void popupShowsRangeTextAndPosition() {
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    owner.show();
    ProgressMeterPtr meter(CreateProgressMeter(&owner, progress::OwnPopup, 0));
    ProgressSetRange(meter.get(), 20000);
    ProgressPopup* popup = FindPopup();
    QVERIFY(popup && popup->isVisible());
    auto centred = [&] {
      return (popup->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength() <=
             2;
    };
    QVERIFY(centred());
    // An owner placed after the popup came (by the window manager, at start-up) takes it along.
    owner.move(300, 250);
    QTRY_VERIFY(centred());
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(ProgressSetPosition(meter.get(), 5000), 1);
    QCOMPARE(popup->Bar()->value(), 50);
    ProgressClose(meter.get());
    QVERIFY(!FindPopup());
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  // A long name shows whole, and a message box never has the popup beside it.
  void popupFitsItsTextAndStepsAsideForBoxes() {
    QWidget owner;
    owner.setGeometry(100, 100, 700, 500);
    owner.show();
    ProgressMeterPtr meter(CreateProgressMeter(&owner, progress::OwnPopup, 0));
    ProgressSetRange(meter.get(), 10);
    ProgressPopup* popup = FindPopup();
    QVERIFY(popup);
    ProgressSetText(
        meter.get(),
        ("Lecture de " + std::string(40, 'n') + ".gif... (Appuyez sur Esc pour annuler)").c_str());
    popup->layout()->activate();
    QLabel* label = popup->Text();
    const QRect room = label->contentsRect();
    QVERIFY(label->wordWrap()
                ? label->heightForWidth(room.width()) <= room.height()
                : label->fontMetrics().horizontalAdvance(label->text()) <= room.width());
    QVERIFY(std::abs(popup->frameGeometry().center().y() - owner.frameGeometry().center().y()) <=
            4);

    bool shownWithBox = true;
    QTimer::singleShot(0, [&] {
      shownWithBox = popup->isVisible();
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        box->buttons().first()->click();
    });
    Services().MessageBox(&owner, "Impossible de lire le fichier.", "Loopwright", 0);
    QVERIFY(!shownWithBox);
    QVERIFY(!popup->isVisible());  // the work has not reported since
    QCOMPARE(ProgressStep(meter.get()), 1);
    QVERIFY(popup->isVisible());
    ProgressClose(meter.get());
  }

  void escCancelsUntilResetOrClose() {
    ProgressMeterPtr meter(CreateProgressMeter(nullptr, progress::OwnPopup, 0));
    ProgressSetRange(meter.get(), 10);
    QCOMPARE(ProgressStep(meter.get()), 1);
    ProgressPopup* popup = FindPopup();
    QVERIFY(popup);
    // The key waits in the queue like a real one; the next report's pumping delivers it.
    QCoreApplication::postEvent(popup,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QCOMPARE(ProgressStep(meter.get()), 0);
    QCOMPARE(ProgressStep(meter.get()), 0);
    QCOMPARE(popup->Bar()->value(), 1);
    QVERIFY(popup->isVisible());  // Esc does not close it; the work does
    ProgressResetCancel(meter.get());
    QCOMPARE(ProgressStep(meter.get()), 1);
    ProgressClose(meter.get());
    QVERIFY(!FindPopup());
    meter.reset();
    ProgressMeterPtr next(CreateProgressMeter(nullptr, progress::OwnPopup, 0));
    QCOMPARE(ProgressStep(next.get()), 1);
  }

  void questionsHaveFrenchButtonsAndWindowsAnswers() {
    QStringList seen;
    auto press = [&seen](const QString& label) {
      QTimer::singleShot(0, [&seen, label] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        for (QAbstractButton* b : box->buttons()) seen << b->text();
        for (QAbstractButton* b : box->buttons())
          if (b->text() == label) b->click();
      });
    };
    press(QStringLiteral("Non"));
    QCOMPARE(AskUser(nullptr, 40325, 40325, 52), 7);
    press(QStringLiteral("Réessayer"));
    QCOMPARE(Services().MessageBox(nullptr, "t", "c", mb::AbortRetryIgnore), 4);
    seen.sort();
    QCOMPARE(seen, (QStringList{"Abandonner", "Ignorer", "Non", "Oui", "Réessayer"}));
  }

  // Qt's own dialogs and buttons speak the program's language once its translations are in.
  void qtTextsSpeakFrench() {
    QVERIFY(LoadQtFrenchTexts());
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Open | QDialogButtonBox::Save);
    const QString shown[][2] = {
        {buttons.button(QDialogButtonBox::Cancel)->text(), "Annuler"},
        {buttons.button(QDialogButtonBox::Open)->text(), "Ouvrir"},
        {buttons.button(QDialogButtonBox::Save)->text(), "Enregistrer"},
        {QCoreApplication::translate("QFileDialog", "Look in:"), "Voir dans :"},
        {QCoreApplication::translate("QColorDialog", "Select Color"), "Sélectionner une couleur"},
    };
    for (const auto& [text, french] : shown) QCOMPARE(QString(text).remove('&'), french);
  }
};

LW_UI_TEST(ProgressPopupTest)

}  // namespace lw::test

#include "progress_popup_test.moc"
