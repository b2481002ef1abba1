// "Importer bande": how many frames an opened strip image holds across and down, and whether
// they follow its rows or its columns.
#pragma once

#include <QDialog>
#include <cstdint>

#include "platform/flow_dialogs.h"

class QRadioButton;
class QSpinBox;

namespace lw {

struct Animation;

// Shows the choice as preset for the strip's single frame and sets it on OK; false on cancel.
bool AskStripSplit(QWidget* owner, const Animation& strip, StripSplitChoice* choice);

class StripSplitDialog : public QDialog {
  Q_OBJECT

 public:
  StripSplitDialog(QWidget* owner, uint32_t width, uint32_t height, const StripSplitChoice& preset);

  StripSplitChoice Choice() const;
  QSpinBox* PerRow() const { return perRow_; }
  QSpinBox* PerColumn() const { return perColumn_; }
  QRadioButton* RowByRow() const { return rowByRow_; }
  QRadioButton* ColumnByColumn() const { return columnByColumn_; }

  // Counts that do not divide the image are refused with their message; the focus goes back to
  // the count at fault.
  void accept() override;

 private:
  uint32_t width_;
  uint32_t height_;
  QSpinBox* perRow_;
  QSpinBox* perColumn_;
  QRadioButton* rowByRow_;
  QRadioButton* columnByColumn_;
};

}  // namespace lw
