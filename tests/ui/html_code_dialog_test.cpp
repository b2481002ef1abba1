// The "Code HTML" dialog opened by the window's command: the code follows the fields and goes to
// the clipboard; an untitled document's name must be typed first. With LOOPWRIGHT_HTML_SHOT
// (and LOOPWRIGHT_SAMPLE, the animation to show) the dialog's picture is saved there.
#include "ui/dialogs/html_code_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "shell/command_ids.h"
#include "ui/window/main_window.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

class HtmlCodeDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  HeadlessServices services_;

  template <class W>
  static W* Child(QObject* dialog, const char* name) {
    return dialog->findChild<W*>(QString::fromLatin1(name));
  }

  // Runs the command on a document saved as path (the sample when given) and check on its dialog.
  void WithDialog(const std::string& path, std::function<void(HtmlCodeDialog*)> check) {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QByteArray sample = qgetenv("LOOPWRIGHT_SAMPLE");
    if (!sample.isEmpty()) {
      QCOMPARE(window.OpenDocument(sample.toStdString()), 1);
    } else {
      window.State().document = MakeDocument(120, 60, 0);
      AddFrame(*window.State().document, 0, 0, 120, 60, 2, 3, 1, 10);
    }
    window.State().documentPath = path;
    bool seen = false;
    QTimer::singleShot(50, [&] {
      auto* dialog = qobject_cast<HtmlCodeDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      seen = true;
      check(dialog);
      Child<QPushButton>(dialog, "close")->click();
    });
    window.Command(cmd::HtmlCode);
    QVERIFY(seen);
    window.SetModified(false);
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    StartWindowTests(dir_, services_);
  }
  void cleanupTestCase() { EndWindowTests(); }
  void init() { services_.Reset(); }

  void namedDocumentGivesTheNameAndTheCodeFollowsTheFields() {
    WithDialog("/var/www/anim/clip.gif", [this](HtmlCodeDialog* dialog) {
      auto* name = Child<QLineEdit>(dialog, "fileName");
      auto* link = Child<QLineEdit>(dialog, "link");
      auto* code = Child<QPlainTextEdit>(dialog, "code");
      QCOMPARE(dialog->windowTitle(), QStringLiteral("Code HTML"));
      QCOMPARE(name->text(), QStringLiteral("clip.gif"));
      QVERIFY(name->isReadOnly() && code->isReadOnly());
      QTRY_VERIFY(link->hasFocus());
      QVERIFY(code->toPlainText().startsWith(QStringLiteral("<img src=\"clip.gif\" width=")));

      QTest::keyClicks(link, "https://example.org/jeux/");
      QTest::keyClicks(Child<QLineEdit>(dialog, "description"), "Une balle qui rebondit");
      Child<QSpinBox>(dialog, "border")->setValue(2);
      QVERIFY(
          code->toPlainText().startsWith(QStringLiteral("<a href=\"https://example.org/jeux/\">")));
      QVERIFY(code->toPlainText().endsWith(
          QStringLiteral(" border=2 alt=\"Une balle qui rebondit\"></a>")));
      QCOMPARE(Child<QSpinBox>(dialog, "border")->maximum(), 100);

      QTest::mouseClick(Child<QPushButton>(dialog, "copy"), Qt::LeftButton);
      QCOMPARE(QApplication::clipboard()->text(), code->toPlainText());
      QVERIFY(!code->textCursor().hasSelection());
      QVERIFY(services_.Messages().empty());
      const QString shot = QString::fromLocal8Bit(qgetenv("LOOPWRIGHT_HTML_SHOT"));
      if (!shot.isEmpty()) QVERIFY(dialog->grab().save(shot));
    });
  }

  void untitledDocumentNeedsATypedName() {
    WithDialog("", [this](HtmlCodeDialog* dialog) {
      auto* name = Child<QLineEdit>(dialog, "fileName");
      QVERIFY(!name->isReadOnly());
      QApplication::clipboard()->setText(QStringLiteral("before"));
      Child<QLineEdit>(dialog, "link")->setFocus();
      QTest::mouseClick(Child<QPushButton>(dialog, "copy"), Qt::LeftButton);
      QCOMPARE(services_.Messages().size(), size_t{1});
      QCOMPARE(QString::fromStdString(services_.Messages()[0].text),
               QStringLiteral("Le nom de fichier est nécessaire à la génération du code HTML"));
      QTRY_VERIFY(name->hasFocus());
      QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));

      QTest::keyClicks(name, "ma balle.gif");
      QVERIFY(dialog->CopyCode());
      QVERIFY(QApplication::clipboard()->text().startsWith(
          QStringLiteral("<img src=\"ma%20balle.gif\" width=")));
    });
  }
};

}  // namespace lw

QTEST_MAIN(lw::HtmlCodeDialogTest)
#include "html_code_dialog_test.moc"
