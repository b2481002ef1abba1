// The "Bande" panel of the Save As dialog: the strip's orientation and number of strips, and the
// size of the image they give.
#pragma once

#include "ui/save/save_panel.h"

class QLabel;
class QRadioButton;
class QSpinBox;

namespace lw {

class StripPanel : public SavePanel {
 public:
  StripPanel(const SavePanelContext& context, QWidget* parent);

  bool Apply(SaveOptions* options) override;

  // The strip choice as the panel shows it (strips, orientation).
  uint32_t OptionBits() const;

  QRadioButton* HorizontalButton() const { return horizontal_; }
  QRadioButton* VerticalButton() const { return vertical_; }
  QSpinBox* CountBox() const { return count_; }
  QLabel* ResultLine() const { return result_; }

 private:
  void CountEdited(int value);
  void ShowResult();

  const Animation* document_;
  int frames_;
  QRadioButton* horizontal_;
  QRadioButton* vertical_;
  QSpinBox* count_;
  QLabel* result_;
};

SavePanel* MakeStripPanel(const SavePanelContext& context, QWidget* parent);

}  // namespace lw
