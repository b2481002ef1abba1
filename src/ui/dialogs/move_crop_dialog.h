// "Déplacer/Rogner cadre" and "Rogner l'animation": the screen with the frame, the kept rectangle
// to drag by its sides and corners (and the frame itself, to move it), reference frames behind,
// and the fields of the same values.
#pragma once

#include <QDialog>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "core/animation.h"
#include "edit/crop_move.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

namespace lw {

// The "MyMoveCrop" view. It edits the state it is given and says so with changed().
class MoveCropView : public QWidget {
  Q_OBJECT
 public:
  // canMove: the frame can be dragged (the frame dialog); the animation crop has no position.
  MoveCropView(const Animation* animation, int frameIndex, MoveCropState* state, bool canMove,
               QWidget* parent = nullptr);

  // Which frames are drawn behind: -1 previous, +1 next, 0 first.
  void SetReference(int which, bool shown);
  void SetShowCropped(bool on);
  // The screen pixel at the view's origin and the zoom, for tests that aim at a point.
  QPoint ScreenToView(int64_t x, int64_t y) const;
  int ZoomNumerator() const { return numerator_; }
  int ZoomDenominator() const { return denominator_; }
  // The kept rectangle and the frame as drawn.
  ViewRect CropRect() const;
  ViewRect FrameRect() const;

  QSize sizeHint() const override { return {440, 300}; }

 signals:
  void changed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ChooseZoom();
  CropHit HitAt(QPoint p) const;
  void ShowCursor(CropHit hit);
  const QImage& ImageOf(int index);

  const Animation* animation_;
  int frameIndex_;
  MoveCropState* state_;
  bool canMove_;
  bool showPrevious_ = false, showNext_ = false, showFirst_ = false;
  bool showCropped_ = false;
  int numerator_ = 1, denominator_ = 1;
  bool dragging_ = false;
  CropHit hit_ = CropHit::None;
  QPoint anchor_;
  std::vector<QImage> images_;  // frames drawn once, at their own size
  std::vector<bool> drawn_;
};

class MoveCropDialog : public QDialog {
  Q_OBJECT
 public:
  // wholeAnimation: the animation crop; else the frame at frameIndex moves and is cut.
  MoveCropDialog(Animation* animation, int frameIndex, bool wholeAnimation,
                 QWidget* parent = nullptr);

  const MoveCropState& State() const { return state_; }
  MoveCropView* View() const { return view_; }
  QSpinBox* Field(int which) const { return fields_[which]; }  // left, top, right, bottom, x, y
  QCheckBox* ShowCroppedBox() const { return showCropped_; }
  QPushButton* ResetButton() const { return reset_; }
  QLabel* KeptSizeLabel() const { return keptSize_; }
  // The toolbar, for tests and keys.
  void Align(MoveCropAlign align);
  void AutoRectangle();

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FieldEdited(int which);
  void FlushTyping();
  void ShowState();

  Animation* animation_;
  bool whole_;
  MoveCropState state_;
  MoveCropState initial_;
  MoveCropView* view_;
  QSpinBox* fields_[6] = {};
  QCheckBox* showCropped_ = nullptr;
  QPushButton* reset_ = nullptr;
  QLabel* keptSize_ = nullptr;
  QTimer* typing_ = nullptr;
  int typedField_ = -1;
  bool updating_ = false;
};

struct MoveCropRequest {
  Animation* animation = nullptr;
  int currentIndex = -1;
  bool wholeAnimation = false;  // "Rogner l'animation"
};

// Asks and, on OK, moves and cuts the selected frames or crops the animation (one undo entry).
// True when the animation changed; *hints then holds the refresh hints.
bool AskMoveCrop(QWidget* owner, MoveCropRequest* request, uint32_t* hints = nullptr);

}  // namespace lw
