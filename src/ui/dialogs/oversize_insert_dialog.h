// The question asked when an inserted frame is larger than the animation and the stored word
// says "always ask".
#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QRadioButton;

namespace lw {

// "Conflit de dimensions de cadre".
class OversizeInsertDialog : public QDialog {
  Q_OBJECT
 public:
  OversizeInsertDialog(uint32_t stored, QWidget* parent = nullptr);
  // The word built from the choices (crop 16 or enlarge 32, plus 4 unless "do not ask").
  uint32_t Word() const;

 private:
  QRadioButton* crop_;
  QCheckBox* dontAsk_;
};

// Shows the question; OK stores the word and returns it, Cancel returns 0.
uint32_t AskOversizeInsertDialog(QWidget* owner, uint32_t stored);

}  // namespace lw
