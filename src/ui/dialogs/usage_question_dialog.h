// The first-run question: what the program will mostly be used for.
#pragma once

#include <QDialog>

#include "shell/usage_presets.h"

class QButtonGroup;

namespace lw {

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
