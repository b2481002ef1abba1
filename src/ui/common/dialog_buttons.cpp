#include "ui/common/dialog_buttons.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "base/string_ids.h"

namespace lw {

QDialogButtonBox* OkCancelButtons(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(dialog);
  buttons->addButton(UiText(str::ButtonOk), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(UiText(str::ButtonCancel), QDialogButtonBox::RejectRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

QString ControlName(int controlId) { return QStringLiteral("c%1").arg(controlId); }

QCheckBox* NamedBox(QWidget* parent, int controlId, int textId) {
  auto* box = new QCheckBox(UiText(textId), parent);
  box->setObjectName(ControlName(controlId));
  return box;
}

QRadioButton* NamedRadio(QWidget* parent, int controlId, int textId) {
  auto* radio = new QRadioButton(UiText(textId), parent);
  radio->setObjectName(ControlName(controlId));
  return radio;
}

QLabel* WrappedNote(QWidget* parent, int textId) {
  auto* label = new QLabel(UiText(textId), parent);
  label->setWordWrap(true);
  return label;
}

}  // namespace lw
