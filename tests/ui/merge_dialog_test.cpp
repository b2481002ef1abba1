// The merge dialog: dragging the second animation over the first sets the offsets.
#include "ui/dialogs/merge_dialog.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "base/preferences.h"
#include "formats/merge.h"
#include "ui_fixtures.h"

namespace lw {

using namespace uitest;

class MergeDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  AnimationPtr a_, b_;

  static void Mouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QPointF global = w->mapToGlobal(at);
    QMouseEvent event(type, at, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
  }

  // Press at from, move in two steps by (dx, dy) screen pixels, release.
  static void Drag(QWidget* w, QPointF from, QPointF by) {
    Mouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
    Mouse(w, QEvent::MouseMove, from + by / 2, Qt::LeftButton);
    Mouse(w, QEvent::MouseMove, from + by, Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, from + by, Qt::NoButton);
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    UsePrivateSettings(dir_);
    LoadPreferences();
    a_ = MakeDocument(40, 30, 0);
    AddFrame(*a_, 0, 0, 40, 30, 2, 3, 1, 10);
    b_ = MakeDocument(20, 10, 0);
    AddFrame(*b_, 0, 0, 20, 10, 4, 5, 1, 10, 5);  // a transparent middle
  }

  void dragSetsTheOffsets() {
    MergeOptions preset;
    preset.byDuration = true;
    MergeDialog dialog(nullptr, *a_, *b_, preset);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Fusionner les animations"));
    QVERIFY(dialog.ByDuration()->isChecked() && !dialog.LoopShorter()->isChecked());
    MergePlacementView* view = dialog.View();
    const double s = view->Scale();
    QVERIFY(s > 0);

    struct Case {
      QPointF by;  // in animation pixels
      int x, y;    // offsets after the drag
    } cases[] = {{{10, 5}, 10, 5}, {{-15, 0}, -5, 5}, {{0, -25}, -5, -20}, {{5, 20}, 0, 0}};
    for (const Case& c : cases) {
      QRectF second = view->SecondRect();
      QCOMPARE(second.size(), QSizeF(20 * s, 10 * s));
      Drag(view, second.center(), c.by * s);
      QCOMPARE(dialog.OffsetX()->value(), c.x);
      QCOMPARE(dialog.OffsetY()->value(), c.y);
      QCOMPARE(dialog.Options().offsetX, c.x);
      QCOMPARE(dialog.Options().offsetY, c.y);
    }

    // A press beside the second picture moves nothing.
    QRectF second = view->SecondRect();
    Drag(view, second.bottomRight() + QPointF(4 * s, 4 * s), QPointF(30, 30));
    QCOMPARE(dialog.Options().offsetX, 0);
    QCOMPARE(dialog.Options().offsetY, 0);

    // Typed offsets move the picture.
    dialog.OffsetX()->setValue(-12);
    dialog.OffsetY()->setValue(7);
    QCOMPARE(view->OffsetX(), -12);
    QCOMPARE(view->OffsetY(), 7);
    QCOMPARE(view->SecondRect().size(), QSizeF(20 * s, 10 * s));
    QVERIFY(view->rect().contains(view->SecondRect().toRect()));
  }

  void askReturnsTheChoices() {
    MergeOptions options;
    options.offsetX = 3;
    QTimer::singleShot(0, [] {
      auto* d = qobject_cast<MergeDialog*>(QApplication::activeModalWidget());
      QVERIFY(d);
      QCOMPARE(d->OffsetX()->value(), 3);
      d->OneByOne()->setChecked(true);
      d->LoopShorter()->setChecked(true);
      d->OffsetY()->setValue(-9);
      d->accept();
    });
    QVERIFY(AskMergeOptions(nullptr, *a_, *b_, &options));
    QCOMPARE(options.offsetX, 3);
    QCOMPARE(options.offsetY, -9);
    QVERIFY(!options.byDuration);
    QVERIFY(options.loopShorter);

    QTimer::singleShot(0, [] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    MergeOptions untouched = options;
    QVERIFY(!AskMergeOptions(nullptr, *a_, *b_, &options));
    QCOMPARE(options.offsetY, untouched.offsetY);
  }
};

}  // namespace lw

QTEST_MAIN(lw::MergeDialogTest)
#include "merge_dialog_test.moc"
