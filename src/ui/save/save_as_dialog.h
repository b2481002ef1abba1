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
  // keepName: the name field keeps its text (the type came from the extension typed in it).
  void TypeChanged(int type, bool keepName = false);
  // The type that the extension of name (a file name) belongs to is chosen as in the list, the
  // name kept as it is. False when that format cannot be saved (the user has been told).
  bool FollowNameExtension(const std::string& name);
  // The option bit of the choice box's current entry, 0 when the box is hidden.
  uint32_t ChosenBit() const;
  // keepBit: the entry to keep chosen when the new list has it.
  void LayOutChoices(uint32_t keepBit = 0);
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
  uint32_t chosenBit_ = 0;  // the option bit of the entry last chosen in the box
};

// Shows the request (folder, proposed name, preselected type, the document's traits) and fills
// the choice: path, type, and the options of the choice box and panels. False on cancel.
bool AskSaveAs(QWidget* owner, const SaveAsRequest& request, SaveAsChoice* choice);

// The panel for a type and the choice box's option bit (0 when the box is not shown): the strip
// or individual-files panel of the choice, else the type's own panel; 0 for none.
int SavePanelFor(int type, uint32_t choiceBit, uint32_t documentTraits);

}  // namespace lw
