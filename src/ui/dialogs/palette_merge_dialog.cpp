#include "ui/dialogs/palette_merge_dialog.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "base/preferences.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "ui/common/dialog_buttons.h"
#include "ui/common/palette_merge_controls.h"

namespace lw {

PaletteMergeDialog::PaletteMergeDialog(uint32_t stored, QWidget* parent) : QDialog(parent) {
  setWindowTitle(UiText(str::AskFusionPalettesCouleursPalette));
  auto* layout = new QVBoxLayout(this);
  controls_ = new PaletteMergeControls(true, this);
  controls_->Load(stored);
  layout->addWidget(controls_);
  layout->addWidget(OkCancelButtons(this));
}

uint32_t PaletteMergeDialog::Word() const { return controls_->Word(); }

uint32_t AskPaletteMergeDialog(QWidget* owner, uint32_t stored) {
  PaletteMergeDialog dialog(stored, owner);
  if (dialog.exec() != QDialog::Accepted) return 0;
  SetPref(PrefPaletteMerge, dialog.Word());
  return dialog.Word();
}

}  // namespace lw
