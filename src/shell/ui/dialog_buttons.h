// What the program's small dialogs share: texts from the string table, and the OK and Annuler
// buttons wired to accept and reject.
#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;

namespace lw {

QString UiText(int textId);
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

}  // namespace lw
