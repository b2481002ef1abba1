// The "Code HTML" dialog: the code follows the fields, goes to the clipboard, and an untitled
// document's name must be typed first; the window's command opens it on the document.
#include "formats/ui/html_code_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "shell/command_ids.h"
#include "shell/ui/main_window.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

class HtmlCodeDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  HeadlessServices services_;
  AnimationPtr doc_;

  template <class W>
  static W* Child(QObject* dialog, const char* name) {
    return dialog->findChild<W*>(QString::fromLatin1(name));
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    StartWindowTests(dir_, services_);
    doc_ = MakeDocument(120, 60, 0);
    AddFrame(*doc_, 0, 0, 120, 60, 2, 3, 1, 10);
  }
  void cleanupTestCase() { EndWindowTests(); }
  void init() { services_.Reset(); }

  void namedDocumentGivesTheNameAndTheCodeFollowsTheFields() {
    HtmlCodeDialog dialog(nullptr, *doc_, "/home/anne/clip.gif");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    auto* name = Child<QLineEdit>(&dialog, "fileName");
    auto* link = Child<QLineEdit>(&dialog, "link");
    auto* code = Child<QPlainTextEdit>(&dialog, "code");
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Code HTML"));
    QCOMPARE(name->text(), QStringLiteral("clip.gif"));
    QVERIFY(name->isReadOnly());
    QTRY_VERIFY(link->hasFocus());
    QVERIFY(code->isReadOnly());
    QCOMPARE(code->toPlainText(),
             QStringLiteral(R"(<img src="clip.gif" width=120 height=60 border=0 alt="">)"));

    QTest::keyClicks(link, "index.html");
    QTest::keyClicks(Child<QLineEdit>(&dialog, "description"), "Balle");
    Child<QSpinBox>(&dialog, "border")->setValue(3);
    const QString expected = QStringLiteral(
        R"(<a href="index.html"><img src="clip.gif" width=120 height=60 border=3 alt="Balle"></a>)");
    QCOMPARE(code->toPlainText(), expected);
    QCOMPARE(Child<QSpinBox>(&dialog, "border")->maximum(), 100);

    QApplication::clipboard()->clear();
    QTest::mouseClick(Child<QPushButton>(&dialog, "copy"), Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), expected);
    QVERIFY(!code->textCursor().hasSelection());
    QVERIFY(dialog.Copied());
    QVERIFY(services_.Messages().empty());
  }

  void untitledDocumentNeedsATypedName() {
    HtmlCodeDialog dialog(nullptr, *doc_, "");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    auto* name = Child<QLineEdit>(&dialog, "fileName");
    QVERIFY(!name->isReadOnly());
    QApplication::clipboard()->setText(QStringLiteral("before"));
    Child<QLineEdit>(&dialog, "link")->setFocus();
    QTest::mouseClick(Child<QPushButton>(&dialog, "copy"), Qt::LeftButton);
    QCOMPARE(services_.Messages().size(), size_t{1});
    QCOMPARE(QString::fromStdString(services_.Messages()[0].text),
             QStringLiteral("Le nom de fichier est nécessaire à la génération du code HTML"));
    QTRY_VERIFY(name->hasFocus());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    QVERIFY(!dialog.Copied());

    QTest::keyClicks(name, "ma balle.gif");
    QVERIFY(dialog.CopyCode());
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral(R"(<img src="ma%20balle.gif" width=120 height=60 border=0 alt="">)"));
  }

  // The menu command opens the dialog on the window's document; with LOOPWRIGHT_HTML_SHOT set,
  // its picture is saved there.
  void commandOpensTheDialogOnTheDocument() {
    MainWindow window;
    window.resize(800, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QByteArray sample = qgetenv("LOOPWRIGHT_SAMPLE");
    if (sample.isEmpty()) {
      window.State().document = DuplicateAnimation(*doc_, nullptr);
      window.State().documentPath = "/var/www/anim/clip.gif";
    } else {
      QCOMPARE(window.OpenDocument(sample.toStdString()), 1);
    }
    const QString shot = QString::fromLocal8Bit(qgetenv("LOOPWRIGHT_HTML_SHOT"));
    bool seen = false;
    QTimer::singleShot(50, [&] {
      auto* dialog = qobject_cast<HtmlCodeDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      seen = true;
      const Animation& a = *window.State().document;
      QString name = QString::fromStdString(window.State().documentPath).section('/', -1);
      QCOMPARE(Child<QLineEdit>(dialog, "fileName")->text(), name);
      QVERIFY(dialog->Code().contains(
          QStringLiteral("width=%1 height=%2").arg(a.screenWidth).arg(a.screenHeight)));
      if (!shot.isEmpty()) {
        QTest::keyClicks(Child<QLineEdit>(dialog, "link"), "https://example.org/jeux/");
        QTest::keyClicks(Child<QLineEdit>(dialog, "description"), "Une balle qui rebondit");
        Child<QSpinBox>(dialog, "border")->setValue(2);
        QTest::qWait(200);
        QVERIFY(dialog->grab().save(shot));
      }
      Child<QPushButton>(dialog, "close")->click();
    });
    window.Command(cmd::HtmlCode);
    QVERIFY(seen);
    window.SetModified(false);
  }
};

}  // namespace lw

QTEST_MAIN(lw::HtmlCodeDialogTest)
#include "html_code_dialog_test.moc"
