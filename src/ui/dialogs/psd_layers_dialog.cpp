#include "ui/dialogs/psd_layers_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/string_ids.h"
#include "formats/psd/psd_format.h"
#include "shell/options_from_preferences.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

PsdLayersDialog::PsdLayersDialog(QWidget* owner, uint32_t options) : QDialog(owner) {
  setWindowTitle(UiText(str::PsdLayersTitle));
  auto* layout = new QVBoxLayout(this);
  composite_ = new QRadioButton(UiText(str::PsdLayersComposite), this);
  layers_ = new QRadioButton(UiText(str::PsdLayersAsFrames), this);
  auto* top = new QButtonGroup(this);
  top->addButton(composite_);
  top->addButton(layers_);

  // The flattening choices belong to "layers as frames", indented under it.
  auto* sub = new QVBoxLayout;
  sub->setContentsMargins(24, 0, 0, 0);
  ontoBackground_ = new QRadioButton(UiText(str::PsdLayersOntoBackground), this);
  keepBackground_ = new QCheckBox(UiText(str::PsdLayersKeepBackground), this);
  ontoComposite_ = new QRadioButton(UiText(str::PsdLayersOntoComposite), this);
  separate_ = new QRadioButton(UiText(str::PsdLayersSeparate), this);
  auto* blending = new QButtonGroup(this);
  blending->addButton(ontoBackground_);
  blending->addButton(ontoComposite_);
  blending->addButton(separate_);
  auto* keepRow = new QVBoxLayout;
  keepRow->setContentsMargins(24, 0, 0, 0);
  keepRow->addWidget(keepBackground_);
  sub->addWidget(ontoBackground_);
  sub->addLayout(keepRow);
  sub->addWidget(ontoComposite_);
  sub->addWidget(separate_);
  keepTransparency_ = new QCheckBox(UiText(str::PsdLayersKeepTransparency), this);

  layout->addWidget(composite_);
  layout->addWidget(layers_);
  layout->addLayout(sub);
  layout->addWidget(keepTransparency_);
  layout->addWidget(OkCancelButtons(this));

  const bool asLayers = options & psdopt::Layers;
  (asLayers ? layers_ : composite_)->setChecked(true);
  if (options & psdopt::OntoComposite) {
    ontoComposite_->setChecked(true);
  } else if (options & psdopt::Separate) {
    separate_->setChecked(true);
  } else {
    ontoBackground_->setChecked(true);
  }
  keepBackground_->setChecked(options & psdopt::KeepBackground);
  keepTransparency_->setChecked(options & psdopt::KeepTransparency);
  for (QRadioButton* b : {composite_, layers_, ontoBackground_, ontoComposite_, separate_})
    connect(b, &QRadioButton::toggled, this, &PsdLayersDialog::UpdateEnabled);
  UpdateEnabled();
}

void PsdLayersDialog::UpdateEnabled() {
  const bool asLayers = layers_->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(ontoBackground_), static_cast<QWidget*>(ontoComposite_),
                     static_cast<QWidget*>(separate_)})
    w->setEnabled(asLayers);
  keepBackground_->setEnabled(asLayers && ontoBackground_->isChecked());
}

uint32_t PsdLayersDialog::Options() const {
  uint32_t keep = keepTransparency_->isChecked() ? psdopt::KeepTransparency : 0;
  if (!layers_->isChecked()) return psdopt::Composite | keep;
  uint32_t options = psdopt::Layers | keep;
  if (ontoComposite_->isChecked()) return options | psdopt::OntoComposite;
  if (separate_->isChecked()) return options | psdopt::Separate;
  options |= psdopt::OntoBackground;
  if (keepBackground_->isChecked()) options |= psdopt::KeepBackground;
  return options;
}

bool AskPsdLayers(QWidget* owner, uint32_t* options) {
  PsdLayersDialog dialog(owner, *options);
  if (dialog.exec() != QDialog::Accepted) return false;
  *options = dialog.Options();
  StorePsdLayerChoice(*options);
  return true;
}

}  // namespace lw
