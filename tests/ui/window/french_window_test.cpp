// The window as a French reader sees it: numbers grouped with a no-break space and written with
// a decimal comma, Qt's file chooser and message boxes in French.
#include <QComboBox>
#include <fstream>

#include "core/gif_writer.h"
#include "support/window_driver.h"
#include "ui/dialogs/optimize_dialog.h"
#include "ui/window/application.h"

namespace lw::test {

namespace {

// Three equal frames of noise: a GIF of several kilobytes that optimizing shrinks.
AnimationPtr Noisy(uint32_t width, uint32_t height) {
  AnimationPtr a = MakeDocument(width, height, BrightPalette());
  for (uint32_t i = 0, seed = 12345; i < 3; ++i, seed = 12345)
    AddDrawnFrame(*a, 0, 0, width, height, [&](uint32_t, uint32_t) {
      seed = seed * 1103515245u + 12345u;
      return (seed >> 16) % 16;
    });
  return a;
}

// "12 345" (no-break spaces) read back as a number; -1 when the text is not grouped that way.
int64_t FrenchNumber(const QString& text) {
  static const QRegularExpression grouped(QStringLiteral("^\\d{1,3}(\u00A0\\d{3})*$"));
  if (!grouped.match(text).hasMatch()) return -1;
  return QString(text).remove(QChar(0x00A0)).toLongLong();
}

}  // namespace

class FrenchWindowTest : public UiTest {
  Q_OBJECT

  // The Qt services answer for the length of one call: their dialogs are the ones under test.
  template <class Call>
  void WithQtDialogs(Call call) {
    SetServices(&DesktopServices());
    SetDialogs(&DesktopServices());
    call();
    InstallScripted(&services);
  }

 private slots:
  void initTestCase() {
    QVERIFY(StartUi());
    QVERIFY(LoadQtFrenchTexts());  // as at start-up
  }
  void cleanupTestCase() { EndUi(); }
  void init() { QVERIFY(OpenWindow()); }
  void cleanup() { CloseWindow(); }

  void sizesAndPercentagesAreWrittenTheFrenchWay() {
    AnimationPtr doc = Noisy(96, 64);
    const int64_t size =
        EstimateEncodedSize(*doc, true, SaveSignature{GetSignature(), GetSignature(true)}, nullptr);
    QVERIFY(OpenGif(*doc, "bruit.gif"));
    // "Fichier de : 12 345 octets  (3,4secs à 28,8K)".
    static const QRegularExpression status(
        QStringLiteral("^Fichier de : ([\\d\u00A0]+) octets  \\((\\d+,\\dsecs|< 0,1sec) à "));
    QTRY_VERIFY(status.match(window->StatusPart(3)).hasMatch());
    QCOMPARE(FrenchNumber(status.match(window->StatusPart(3)).captured(1)), size);

    QString current;
    QVERIFY(WithModal<OptimizeDialog>([&] { window->Command(cmd::Optimize); },
                                      [&](OptimizeDialog* d) {
                                        QTRY_VERIFY(!d->SavingPercent()->text().isEmpty());
                                        current = d->CurrentSize()->text();
                                      }));
    QVERIFY2(current.endsWith(QStringLiteral(" octets")), qPrintable(current));
    QCOMPARE(FrenchNumber(current.chopped(7)), size);
  }

  // A file of 10 076 bytes shows "9,84 Kio", not "9.84 KiB".
  void openChooserIsFrench() {
    const QString folder = dir.path() + QStringLiteral("/choix");
    QVERIFY(QDir().mkpath(folder));
    std::ofstream((folder + QStringLiteral("/dix.gif")).toStdString()) << std::string(10076, 'x');
    QVERIFY(SetInitDir(folder.toStdString()));
    QString size, date;
    WithQtDialogs([&] {
      QVERIFY(WithModal<QFileDialog>(
          [&] { window->Command(cmd::FileOpen); },
          [&](QFileDialog* c) {
            auto* tree = Child<QTreeView>(c, "treeView");
            QVERIFY(tree);
            QAbstractItemModel* model = tree->model();
            auto row = [&] {
              for (int r = 0; r < model->rowCount(tree->rootIndex()); ++r)
                if (model->index(r, 0, tree->rootIndex()).data().toString() == "dix.gif") return r;
              return -1;
            };
            QTRY_VERIFY(row() >= 0);
            size = model->index(row(), 1, tree->rootIndex()).data().toString();
            date = model->index(row(), 3, tree->rootIndex()).data().toString();
          }));
    });
    QVERIFY2(size.startsWith(QStringLiteral("9,84")), qPrintable(size));
    QVERIFY2(QRegularExpression("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d$").match(date).hasMatch(),
             qPrintable(date));
  }

  // Each filter of the chooser names its patterns once: the label already holds them, and Qt
  // would add them again ("Fichiers AVI (*.avi) (*.avi)").
  void theChooserNamesEachPatternOnce() {
    QStringList types;
    WithQtDialogs([&] {
      QVERIFY(WithModal<QFileDialog>([&] { window->Command(cmd::ImportAvi); },
                                     [&](QFileDialog* c) {
                                       auto* box = Child<QComboBox>(c, "fileTypeCombo");
                                       QVERIFY(box);
                                       for (int i = 0; i < box->count(); ++i)
                                         types << box->itemText(i);
                                       c->reject();
                                     }));
    });
    QCOMPARE(types, QStringList({QStringLiteral("Fichiers AVI (*.avi)"),
                                 QStringLiteral("Tous les fichiers (*.*)")}));
  }

  // The 24-bit question's buttons are named as its text says; cancelled, the data stays.
  void messageBoxesAreFrenchAndWhole() {
    AnimationPtr doc = Noisy(16, 8);
    QVERIFY(OpenGif(*doc, "vraies.gif"));
    Frame* first = FirstFrame(*window->Document());
    first->rgbPlane.assign(RgbStride(first->width) * first->height, 0x80);
    QStringList buttons;
    WithQtDialogs([&] {
      QVERIFY(WithModal<QMessageBox>([&] { window->Command(cmd::Optimize); },
                                     [&](QMessageBox* box) {
                                       for (QAbstractButton* b : box->buttons())
                                         buttons << b->text();
                                     }));
    });
    QCOMPARE(buttons, (QStringList{QStringLiteral("Continuer"), QStringLiteral("Annuler")}));
    QVERIFY(!FirstFrame(*window->Document())->rgbPlane.empty());
  }
};

LW_UI_TEST(FrenchWindowTest)

}  // namespace lw::test

#include "french_window_test.moc"
