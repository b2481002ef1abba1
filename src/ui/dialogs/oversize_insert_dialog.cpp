#include "ui/dialogs/oversize_insert_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "base/preferences.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "shell/usage_presets.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

OversizeInsertDialog::OversizeInsertDialog(uint32_t stored, QWidget* parent) : QDialog(parent) {
  setWindowTitle(UiText(str::AskConflitDimensionsCadre));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  auto* choices = new QVBoxLayout;
  auto* text = new QLabel(UiText(str::AskCadreInsereEstPlus), this);
  choices->addWidget(text);
  crop_ = new QRadioButton(UiText(str::PrefRognerCadreInsereAux), this);
  crop_->setObjectName(QStringLiteral("c1111"));
  auto* enlarge = new QRadioButton(UiText(str::PrefChangerLesDimensionsActuelles), this);
  enlarge->setObjectName(QStringLiteral("c1112"));
  (stored & OversizeCrop ? crop_ : enlarge)->setChecked(true);
  choices->addWidget(crop_);
  choices->addWidget(enlarge);
  top->addLayout(choices, 1);
  layout->addLayout(top);
  dontAsk_ = new QCheckBox(UiText(str::AskConsiderezQueCetteValeur), this);
  dontAsk_->setObjectName(QStringLiteral("c1083"));
  layout->addWidget(dontAsk_);
  layout->addWidget(OkCancelButtons(this));
}

uint32_t OversizeInsertDialog::Word() const {
  return EncodeOversizeInsert(crop_->isChecked(), !dontAsk_->isChecked());
}

uint32_t AskOversizeInsertDialog(QWidget* owner, uint32_t stored) {
  OversizeInsertDialog dialog(stored, owner);
  if (dialog.exec() != QDialog::Accepted) return 0;
  SetPref(PrefOversizeInsert, dialog.Word());
  return dialog.Word();
}

}  // namespace lw
