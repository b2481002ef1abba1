// "Redimensionner l'animation" / "Redimensionner le cadre": the new size in pixels or percent,
// linked while the aspect is kept, and the method.
#pragma once

#include <QDialog>
#include <cstdint>

#include "edit/resize.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace lw {

class ResizeDialog : public QDialog {
  Q_OBJECT
 public:
  // request: the animation, the current frame and the mode; the old size is filled here.
  ResizeDialog(ResizeRequest* request, QWidget* parent = nullptr);

  QSpinBox* WidthField() const { return width_; }
  QSpinBox* HeightField() const { return height_; }
  QSpinBox* WidthPercentField() const { return widthPercent_; }
  QSpinBox* HeightPercentField() const { return heightPercent_; }
  QCheckBox* KeepAspectBox() const { return keepAspect_; }
  QRadioButton* NearestChoice() const { return nearest_; }
  QRadioButton* BicubicChoice() const { return bicubic_; }
  bool Bicubic() const;

  void accept() override;

 private:
  enum class Field { Width, Height, WidthPercent, HeightPercent };
  void Edited(Field field);
  void Set(QSpinBox* box, uint32_t value);

  ResizeRequest* request_;
  QSpinBox* width_;
  QSpinBox* height_;
  QSpinBox* widthPercent_;
  QSpinBox* heightPercent_;
  QCheckBox* keepAspect_;
  QRadioButton* nearest_;
  QRadioButton* bicubic_;
  bool updating_ = false;
};

// Asks and, on OK with a new size, resizes (progress in the owner's status bar, one undo entry).
// request: animation, currentIndex and wholeAnimation set by the caller. True when the animation
// changed; *hints then holds the refresh hints.
bool AskResize(QWidget* owner, ResizeRequest* request, uint32_t* hints = nullptr);

}  // namespace lw
