#include "shell/ui/dialog_buttons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

#include "base/string_ids.h"
#include "base/strings.h"

namespace lw {

QString UiText(int textId) { return QString::fromStdString(ResText(textId)); }

QDialogButtonBox* OkCancelButtons(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(dialog);
  buttons->addButton(UiText(str::ButtonOk), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(UiText(str::ButtonCancel), QDialogButtonBox::RejectRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace lw
