// The Save As dialog: a file chooser with the save types as filters, and beside it the choice
// box ("Animation", "Image(s) individuelle(s)", "Bande") and the panel of the type or choice.
#pragma once

#include <QDialog>
#include <QString>

#include "formats/save_flow.h"

class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;

namespace lw {

class SavePanel;

class SaveAsWindow : public QDialog {
 public:
  SaveAsWindow(QWidget* owner, const SaveAsRequest& request);

  // What OK gave (valid once the dialog was accepted).
  const SaveAsChoice& Choice() const { return choice_; }

  // The save type of the chosen filter (savetype).
  int Type() const { return type_; }
  // Chooses a save type as the filter list does.
  void ChooseType(int type);

  QFileDialog* Files() const { return files_; }
  QLineEdit* NameField() const;
  QComboBox* ChoiceBox() const { return choiceBox_; }
  // The panel shown, if any.
  SavePanel* Panel() const { return panel_; }

 private:
  void TypeChanged(int type);
  void LayOutChoices();
  void ShowPanel();
  void PanelChanged();
  void SelectionChanged(const QString& path);
  void SetOkEnabled(bool enabled);
  void Confirm();

  SaveAsRequest request_;
  SaveAsChoice choice_;
  int type_;
  uint32_t traits_;
  std::vector<SaveChoiceEntry> entries_;
  QFileDialog* files_;
  QWidget* side_;
  QLabel* choiceLabel_;
  QComboBox* choiceBox_;
  QWidget* panelArea_;
  SavePanel* panel_ = nullptr;
  bool sideShown_ = false;
};

// Shows the request (folder, proposed name, preselected type, the document's traits) and fills
// the choice: path, type, and the options of the choice box and panels. False on cancel.
bool AskSaveAs(QWidget* owner, const SaveAsRequest& request, SaveAsChoice* choice);

// The panel for a type and the choice box's option bit (0 when the box is not shown): the strip
// or individual-files panel of the choice, else the type's own panel; 0 for none.
int SavePanelFor(int type, uint32_t choiceBit, uint32_t documentTraits);

}  // namespace lw
