// The "Image(s) individuelle(s)" panel of the Save As dialog: all frames or the selected ones,
// the base name of the files, the names the first two frames get, and the first and last names
// written with their folder.
#pragma once

#include <string>

#include "ui/save/save_panel.h"

class QLabel;
class QLineEdit;
class QRadioButton;

namespace lw {

class IndividualFilesPanel : public SavePanel {
 public:
  IndividualFilesPanel(const SavePanelContext& context, QWidget* parent);

  void NameChanged(const QString& name) override;
  void FolderChanged(const QString& folder) override;
  bool Apply(SaveOptions* options) override;
  // The files get their names from the base name field, not from the dialog's.
  bool UsesFileName() const override { return false; }

  QRadioButton* AllFramesButton() const { return all_; }
  QRadioButton* SelectedFramesButton() const { return selected_; }
  QLineEdit* BaseNameField() const { return baseName_; }
  QLabel* FirstExample() const { return first_; }
  QLabel* SecondExample() const { return second_; }
  // The files that will be written and their folder.
  QLabel* WrittenNames() const { return written_; }

 private:
  void ShowExamples();

  const Animation* document_;
  int type_;
  QRadioButton* all_;
  QRadioButton* selected_;
  QLineEdit* baseName_;
  QLabel* first_;
  QLabel* second_;
  QLabel* written_;
  std::string folder_;  // with its trailing '/'
};

SavePanel* MakeIndividualFilesPanel(const SavePanelContext& context, QWidget* parent);

}  // namespace lw
