// "Réduire le nombre de cadres": deletes every n-th frame, its delay going to the frame before.
#pragma once

#include <QDialog>
#include <cstdint>

#include "core/animation.h"

class QLabel;
class QSpinBox;

namespace lw {

// True when frames were deleted; *hints gets the refresh hints, and *frameIndex (when given)
// becomes where that frame is afterwards (FrameIndexAfterReduction).
bool AskReduceFrameCount(QWidget* owner, Animation* animation, uint32_t* hints,
                         int* frameIndex = nullptr);

class ReduceFrameCountDialog : public QDialog {
  Q_OBJECT

 public:
  ReduceFrameCountDialog(QWidget* owner, Animation* animation);
  uint32_t Hints() const { return hints_; }
  int Step() const;
  void accept() override;

 private:
  void StepChanged();

  Animation* animation_;
  QSpinBox* step_;
  QLabel* after_;
  uint32_t hints_ = 0;
};

}  // namespace lw
