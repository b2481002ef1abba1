// The window as a French reader sees it: numbers grouped with a no-break space and written with a
// decimal comma, Qt's file chooser in French, the About box's whole title, the preview opening
// on the screen without taking the keys, and the 24-bit question's buttons named as its text says.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <fstream>
#include <functional>
#include <memory>

#include "base/preferences.h"
#include "base/settings.h"
#include "core/gif_writer.h"
#include "base/string_ids.h"
#include "formats/gif/gif_save.h"
#include "shell/command_ids.h"
#include "ui/common/colour_button.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/duration_panel.h"
#include "ui/dialogs/optimize_dialog.h"
#include "ui/dialogs/reduce_colours_dialog.h"
#include "ui/window/application.h"
#include "ui/window/main_window.h"
#include "ui/window/preview_window.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

namespace {

// Runs act on the first modal dialog of type T once it shows; act must close it.
template <class T>
void WhenModal(std::function<void(T*)> act) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      act(dialog);
    }
  });
  poll->start(10);
}

// Frames of noise: a GIF of several kilobytes, and three equal frames that optimizing shrinks.
AnimationPtr Noisy(uint32_t width, uint32_t height) {
  AnimationPtr a = MakeDocument(width, height, 0);
  for (int i = 0; i < 3; ++i) {
    Frame* f = AddFrame(*a, 0, 0, width, height, 0, -1, 1, 10);
    uint32_t seed = 12345;
    const uint64_t stride = IndexStride(f->DibWidth());
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        seed = seed * 1103515245u + 12345u;
        f->bits()[y * stride + x] = static_cast<uint8_t>((seed >> 16) % 16);
      }
  }
  return a;
}

// "12 345" (no-break spaces) read back as a number; -1 when the text is not grouped that way.
int64_t FrenchNumber(const QString& text) {
  static const QRegularExpression grouped(QStringLiteral("^\\d{1,3}(\u00A0\\d{3})*$"));
  if (!grouped.match(text).hasMatch()) return -1;
  return QString(text).remove(QChar(0x00A0)).toLongLong();
}

}  // namespace

class FrenchWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  HeadlessServices services_;
  std::unique_ptr<MainWindow> window_;

  QString WriteGif(Animation& a, const char* name) {
    QString path = dir_.path() + QLatin1Char('/') + QLatin1String(name);
    if (!SaveGifToFile(path.toStdString(), a, nullptr)) return {};
    return path;
  }

  // The Qt services answer for the length of one call: their dialogs are the ones under test.
  template <class Call>
  void WithQtDialogs(Call call) {
    InstallQtServices();
    call();
    SetServices(&services_);
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    StartWindowTests(dir_, services_);
    // As at start-up: Qt's own texts in French.
    QVERIFY(LoadQtFrenchTexts());
  }
  void cleanupTestCase() { EndWindowTests(); }

  void init() {
    services_.Reset();
    window_ = std::make_unique<MainWindow>();
    window_->resize(640, 480);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }

  void cleanup() {
    if (window_ && window_->Modified()) services_.QueueAnswer(answer::No);
    window_.reset();
  }

  void sizesAndPercentagesAreWrittenTheFrenchWay() {
    AnimationPtr doc = Noisy(96, 64);
    const int64_t size = EstimateEncodedSize(*doc, true, GetSignature(), nullptr);
    QVERIFY(size >= 1000);
    QCOMPARE(window_->OpenDocument(WriteGif(*doc, "bruit.gif").toStdString()), 1);

    // Status bar: "Fichier de : 12 345 octets  (3,4secs à 28.8K)".
    static const QRegularExpression status(
        QStringLiteral("^Fichier de : ([\\d\u00A0]+) octets  \\((\\d+,\\dsecs|< 0,1sec) à "));
    QTRY_VERIFY(status.match(window_->StatusPart(3)).hasMatch());
    QCOMPARE(FrenchNumber(status.match(window_->StatusPart(3)).captured(1)), size);
    QVERIFY(window_->StatusPart(2).contains(QStringLiteral("0,30 secs")));

    // The optimizer: both sizes grouped, the saving's percentage with a comma.
    QString current, percent, saving;
    WhenModal<OptimizeDialog>([&](OptimizeDialog* d) {
      (void)QTest::qWaitFor([d] { return !d->SavingPercent()->text().isEmpty(); });
      current = d->CurrentSize()->text();
      saving = d->Saving()->text();
      percent = d->SavingPercent()->text();
      d->reject();
    });
    window_->Command(cmd::Optimize);
    QVERIFY2(current.endsWith(QStringLiteral(" octets")), qPrintable(current));
    QCOMPARE(FrenchNumber(current.chopped(7)), size);
    QVERIFY2(FrenchNumber(saving.chopped(7)) >= 1000, qPrintable(saving));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\(\\d+,\\d%\\)$")).match(percent).hasMatch(),
             qPrintable(percent));

    // The reduce-colours dialog: "Sauvegardés : 1 234 octets (12,3%)".
    QString volume, reduced;
    WhenModal<ReduceColoursDialog>([&](ReduceColoursDialog* d) {
      (void)QTest::qWaitFor([d] { return !d->Saving()->text().isEmpty(); });
      volume = d->ReducedVolume()->text();
      reduced = d->Saving()->text();
      d->reject();
    });
    window_->Command(cmd::ReduceColours);
    static const QRegularExpression volumeText(QStringLiteral("^Volume : ([\\d\u00A0]+) octets$"));
    QVERIFY2(FrenchNumber(volumeText.match(volume).captured(1)) >= 1000, qPrintable(volume));
    static const QRegularExpression savingText(
        QStringLiteral("^Sauvegardés : ([\\d\u00A0]+) octets \\(\\d+,\\d%\\)$"));
    QVERIFY2(savingText.match(reduced).hasMatch(), qPrintable(reduced));
    QVERIFY(FrenchNumber(savingText.match(reduced).captured(1)) > 0);
  }

  void openChooserIsFrench() {
    // A file of 10 076 bytes: "9,84 Kio", not "9.84 KiB".
    const QString folder = dir_.path() + QStringLiteral("/choix");
    QVERIFY(QDir().mkpath(folder));
    std::ofstream((folder + QStringLiteral("/dix.gif")).toStdString()) << std::string(10076, 'x');
    QVERIFY(SetInitDir(folder.toStdString()));

    QString size, date, title;
    bool titlesFit = true;
    WhenModal<QFileDialog>([&](QFileDialog* chooser) {
      title = chooser->windowTitle();
      auto* tree = chooser->findChild<QTreeView*>(QStringLiteral("treeView"));
      QAbstractItemModel* model = tree ? tree->model() : nullptr;
      auto row = [&]() -> int {
        if (!model) return -1;
        for (int r = 0; r < model->rowCount(tree->rootIndex()); ++r)
          if (model->index(r, 0, tree->rootIndex()).data().toString() == "dix.gif") return r;
        return -1;
      };
      (void)QTest::qWaitFor([&] { return row() >= 0; });
      if (int r = row(); r >= 0) {
        size = model->index(r, 1, tree->rootIndex()).data().toString();
        date = model->index(r, 3, tree->rootIndex()).data().toString();
      }
      if (tree) {
        QHeaderView* header = tree->header();
        for (int i = 0; i < header->count(); ++i) {
          QString text = model->headerData(i, Qt::Horizontal).toString();
          if (header->sectionSize(i) < header->fontMetrics().horizontalAdvance(text)) {
            titlesFit = false;
          }
        }
      }
      chooser->reject();
    });
    WithQtDialogs([&] { window_->Command(cmd::FileOpen); });
    QCOMPARE(title, QStringLiteral("Ouvrir fichiers"));
    QVERIFY2(size.startsWith(QStringLiteral("9,84")), qPrintable(size));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d$"))
                 .match(date)
                 .hasMatch(),
             qPrintable(date));
    QVERIFY(titlesFit);
  }

  void aboutBoxShowsItsWholeTitle() {
    int width = 0, needed = 0;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      width = box->width();
      // Window managers draw the title larger than the box's text and bold, beside three
      // buttons.
      QFont title = box->font();
      title.setBold(true);
      title.setPixelSize(QFontInfo(box->font()).pixelSize() * 6 / 5);
      needed = QFontMetrics(title).horizontalAdvance(box->windowTitle()) + 3 * 32;
      box->reject();
    });
    window_->Command(cmd::About);
    QVERIFY(needed > 0);
    QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
  }

  void previewOpensOnTheScreenAndLeavesTheKeys() {
    // Larger than any screen the test runs on.
    AnimationPtr big = MakeDocument(3000, 2200, 0);
    AddFrame(*big, 0, 0, 3000, 2200, 1, 2, 1, 10);
    AddFrame(*big, 0, 0, 3000, 2200, 2, 3, 1, 10);
    QCOMPARE(window_->OpenDocument(WriteGif(*big, "grande.gif").toStdString()), 1);
    window_->Command(cmd::Preview);
    PreviewWindow* preview = window_->Preview();
    QVERIFY(preview && preview->isVisible());
    // A window manager gives a new window the keyboard unless the window asks it not to.
    QVERIFY(preview->testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(QApplication::activeWindow(), window_.get());
    const QRect area = preview->screen()->availableGeometry();
    QVERIFY2(area.contains(preview->frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(preview->frameGeometry().x())
                            .arg(preview->frameGeometry().y())
                            .arg(preview->frameGeometry().width())
                            .arg(preview->frameGeometry().height())));
    // All of the picture shows, zoomed out as far as needed.
    auto* view = preview->findChild<QWidget*>(QStringLiteral("view"));
    QVERIFY(view->width() >= view->sizeHint().width() &&
            view->height() >= view->sizeHint().height());
    // Keys typed now still reach the main window's commands.
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window_.get(),
                    Qt::Key_P, Qt::ControlModifier);
    QTRY_VERIFY(!window_->Preview());
  }

  void theTwentyFourBitQuestionOffersContinuer() {
    AnimationPtr doc = Noisy(16, 8);
    QCOMPARE(window_->OpenDocument(WriteGif(*doc, "vraies.gif").toStdString()), 1);
    Frame* first = FirstFrame(*window_->Document());
    first->rgbPlane.assign(RgbStride(first->width) * first->height, 0x80);
    QStringList buttons;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      if (qEnvironmentVariableIsSet("LOOPWRIGHT_QUESTION_SHOT"))
        box->grab().save(qEnvironmentVariable("LOOPWRIGHT_QUESTION_SHOT"));
      box->reject();  // Esc: the cancel button
    });
    WithQtDialogs([&] { window_->Command(cmd::Optimize); });
    QCOMPARE(buttons, (QStringList{QStringLiteral("Continuer"), QStringLiteral("Annuler")}));
    // Cancelled: the 24-bit data stays.
    QVERIFY(!FirstFrame(*window_->Document())->rgbPlane.empty());
  }

  // Table texts arrive decoded as UTF-8 (accents, guillemets), an id without a text gives an empty
  // string, and the tooltips borrowed from the preview's buttons are theirs.
  void tableTextsReachTheWidgetsWhole() {
    QCOMPARE(UiText(str::PreviewPreviousFrameTip), QStringLiteral("Cadre précédent"));
    QCOMPARE(UiText(str::PalLoadNoPalette), QStringLiteral("« %s » ne contient pas de palette."));
    QVERIFY(UiText(40011).isEmpty());

    ColourButton colour;
    QCOMPARE(colour.toolTip(), QStringLiteral("Voir l'arrière-plan comme..."));
    AnimationPtr doc = Noisy(8, 8);
    DurationPanel durations(doc.get());
    QCOMPARE(durations.findChild<QWidget*>(QStringLiteral("previousFrame"))->toolTip(),
             QStringLiteral("Cadre précédent"));
    QCOMPARE(durations.findChild<QWidget*>(QStringLiteral("nextFrame"))->toolTip(),
             QStringLiteral("Cadre suivant"));
  }
};

}  // namespace lw

QTEST_MAIN(lw::FrenchWindowTest)
#include "french_window_test.moc"
