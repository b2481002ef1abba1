// The questions asked in the middle of an operation when the stored word says "always ask":
// what to do with an inserted frame larger than the animation, and how to fit the palettes of
// frames joining the document. Also the first-run usage question.
#pragma once

#include <QDialog>
#include <cstdint>

#include "shell/usage_presets.h"

class QButtonGroup;
class QCheckBox;
class QRadioButton;

namespace lw {

class PaletteMergeControls;

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

// "Fusion de palettes de couleurs de la palette de fusion".
class PaletteMergeDialog : public QDialog {
  Q_OBJECT
 public:
  PaletteMergeDialog(uint32_t stored, QWidget* parent = nullptr);
  uint32_t Word() const;
 private:
  PaletteMergeControls* controls_;
};

// Show the question; OK stores the word and returns it, Cancel returns 0.
uint32_t AskOversizeInsertDialog(QWidget* owner, uint32_t stored);
uint32_t AskPaletteMergeDialog(QWidget* owner, uint32_t stored);

// The first-run question: "Bienvenue dans le logiciel Loopwright".
class UsageQuestionDialog : public QDialog {
  Q_OBJECT
 public:
  explicit UsageQuestionDialog(QWidget* parent = nullptr);
  UsagePreset Selected() const;
  UsagePreset Initial() const { return initial_; }
  // OK applies the chosen preset when it differs from the stored use.
  void accept() override;
  // There is no way out but OK.
  void reject() override {}
 private:
  UsagePreset initial_;
  QButtonGroup* choices_;
};

// Runs the first-run question modally; returns when OK was pressed.
void ShowUsageQuestion(QWidget* owner);

}  // namespace lw
