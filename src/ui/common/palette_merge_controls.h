// The palette-merge controls, shared by the preferences' "Palettes" page and the question asked
// when frames with other palettes arrive.
#pragma once

#include <QWidget>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QSpinBox;

namespace lw {

class PaletteMergeControls : public QWidget {
  Q_OBJECT

 public:
  // asking: the question's box "do not show again" instead of "always ask".
  PaletteMergeControls(bool asking, QWidget* parent = nullptr);
  void Load(uint32_t word);
  uint32_t Word() const;

 private:
  bool asking_;
  uint32_t storedMethod_ = 1;  // kept when no visible choice is checked (the fixed palette)
  int storedQuality_ = 0;      // kept unless the high-quality method is chosen
  QButtonGroup* methods_;
  QCheckBox* dither_;
  QCheckBox* ask_;
  QComboBox* maxColours_;
  QComboBox* trueColours_;
  QSpinBox* quality_;
  void MethodChosen();
};

}  // namespace lw
