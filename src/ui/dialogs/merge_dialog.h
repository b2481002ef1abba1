// "Fusionner les animations": the second animation's first picture over the first one's, dragged
// into place (or placed with the X and Y fields), and how the two are played together.
#pragma once

#include <QDialog>
#include <QImage>
#include <QWidget>

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace lw {

struct Animation;
struct MergeOptions;

// Shows the options as preset (offsets and the stored choices) and sets them on OK; false on
// cancel.
bool AskMergeOptions(QWidget* owner, const Animation& a, const Animation& b, MergeOptions* options);

// The preview: both first pictures on the merged screen, the second one outlined and movable.
class MergePlacementView : public QWidget {
  Q_OBJECT

 public:
  MergePlacementView(const Animation& a, const Animation& b, QWidget* parent = nullptr);

  void SetOffset(int x, int y);
  int OffsetX() const { return x_; }
  int OffsetY() const { return y_; }
  // Screen pixels per animation pixel.
  double Scale() const { return scale_; }
  // Where the second picture is drawn, in the view's coordinates.
  QRectF SecondRect() const;
  QSize sizeHint() const override;

 signals:
  void offsetDragged(int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Recentre();

  const Animation& a_;
  const Animation& b_;
  QImage first_;
  QImage second_;
  QColor background_;
  double scale_ = 1;
  QPointF anchor_;  // where the first picture's top-left corner is drawn
  int x_ = 0;
  int y_ = 0;
  bool dragging_ = false;
  QPointF pressAt_;
  int pressX_ = 0;
  int pressY_ = 0;
};

class MergeDialog : public QDialog {
  Q_OBJECT

 public:
  MergeDialog(QWidget* owner, const Animation& a, const Animation& b, const MergeOptions& preset);

  MergeOptions Options() const;
  MergePlacementView* View() const { return view_; }
  QSpinBox* OffsetX() const { return x_; }
  QSpinBox* OffsetY() const { return y_; }
  QRadioButton* ByDuration() const { return byDuration_; }
  QRadioButton* OneByOne() const { return oneByOne_; }
  QCheckBox* LoopShorter() const { return loop_; }

 private:
  MergePlacementView* view_;
  QSpinBox* x_;
  QSpinBox* y_;
  QRadioButton* byDuration_;
  QRadioButton* oneByOne_;
  QCheckBox* loop_;
};

}  // namespace lw
