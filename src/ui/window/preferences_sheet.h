// "Préférences générales": six pages over the stored options. Each page reads its words when the
// sheet opens; OK writes the pages the user looked at, Cancel writes nothing.
#pragma once

#include <QDialog>
#include <QWidget>
#include <cstdint>
#include <string>

#include "shell/usage_presets.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace lw {

class ColourButton;
class PaletteMergeControls;

// What the main window does after the sheet closed.
struct PreferencesOutcome {
  bool accepted = false;
  // "Permettre l'entrelacement" changed: clear the interlace flag of every frame when it is now
  // off, refresh the status bar.
  bool interlaceChanged = false;
  // The signature text or its check box changed: the document is modified, so that the next
  // save carries the new signature.
  bool signatureChanged = false;
};

// Runs the sheet modally.
PreferencesOutcome ShowPreferences(QWidget* owner);

// The co-editor chooser; replaceable so that tests need no modal dialog. Returns the chosen
// program, empty when cancelled.
using ProgramChooser = QString (*)(QWidget* parent, const QString& startDir);
void SetCoEditorChooser(ProgramChooser chooser);

class PreferencePage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
  // Leaving the page: false (message shown, focus on the field) keeps it.
  virtual bool Validate() { return true; }
  virtual void Apply(PreferencesOutcome* outcome) = 0;
};

class UsagePage : public PreferencePage {
  Q_OBJECT
 public:
  explicit UsagePage(QWidget* parent = nullptr);
  void Apply(PreferencesOutcome* outcome) override;

 private:
  UsagePreset initial_;
  QButtonGroup* choices_;
};

class ProgramPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit ProgramPage(QWidget* parent = nullptr);
  void Apply(PreferencesOutcome* outcome) override;

 private:
  void ChooseEditor();
  bool wasAssociated_ = false;
  std::string editor_;
  bool editorChosen_ = false;
};

class PalettesPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit PalettesPage(QWidget* parent = nullptr);
  void Apply(PreferencesOutcome* outcome) override;

 private:
  PaletteMergeControls* controls_;
};

class AnimationPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit AnimationPage(QWidget* parent = nullptr);
  bool Validate() override;
  void Apply(PreferencesOutcome* outcome) override;
};

class ExportPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit ExportPage(QWidget* parent = nullptr);
  bool Validate() override;
  void Apply(PreferencesOutcome* outcome) override;

 private:
  bool textEdited_ = false;
  bool hadSignature_ = false;
  ColourButton* swatch_;
};

class FrameTipsPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit FrameTipsPage(QWidget* parent = nullptr);
  void Apply(PreferencesOutcome* outcome) override;
};

class PreferencesSheet : public QDialog {
  Q_OBJECT

 public:
  explicit PreferencesSheet(QWidget* owner = nullptr);
  QTabWidget* Tabs() const { return tabs_; }
  PreferencePage* Page(int index) const;
  const PreferencesOutcome& Outcome() const { return outcome_; }

  void accept() override;

 private:
  QTabWidget* tabs_;
  int shown_ = 0;
  bool visited_[6] = {};
  PreferencesOutcome outcome_;
};

}  // namespace lw
