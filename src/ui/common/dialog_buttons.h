// What the program's small dialogs share: texts from the string table (ui_text.h), the OK and
// Annuler buttons wired to accept and reject, and controls named after their control id so that
// tests and the dialogs' own code find them.
#pragma once

#include <QString>

#include "ui/common/ui_text.h"

class QCheckBox;
class QDialog;
class QDialogButtonBox;
class QLabel;
class QRadioButton;
class QWidget;

namespace lw {

QDialogButtonBox* OkCancelButtons(QDialog* dialog);

// "c<id>": the object name of the control with that id.
QString ControlName(int controlId);
QCheckBox* NamedBox(QWidget* parent, int controlId, int textId);
QRadioButton* NamedRadio(QWidget* parent, int controlId, int textId);
// A label of several lines.
QLabel* WrappedNote(QWidget* parent, int textId);

}  // namespace lw
