// The question of how to fit the palettes of frames joining the document, when the stored word
// says "always ask".
#pragma once

#include <QDialog>
#include <cstdint>

namespace lw {

class PaletteMergeControls;

// "Fusion de palettes de couleurs de la palette de fusion".
class PaletteMergeDialog : public QDialog {
  Q_OBJECT
 public:
  PaletteMergeDialog(uint32_t stored, QWidget* parent = nullptr);
  uint32_t Word() const;

 private:
  PaletteMergeControls* controls_;
};

// Shows the question; OK stores the word and returns it, Cancel returns 0.
uint32_t AskPaletteMergeDialog(QWidget* owner, uint32_t stored);

}  // namespace lw
