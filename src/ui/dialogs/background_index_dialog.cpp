#include "ui/dialogs/background_index_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "base/string_ids.h"
#include "ui/common/dialog_buttons.h"
#include "ui/common/palette_grid.h"

namespace lw {

int AskBackgroundIndex(QWidget* owner, const Palette& palette, int current) {
  QDialog dialog(owner);
  dialog.setWindowTitle(UiText(str::BackgroundIndexTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* grid = new PaletteGrid(&dialog);
  grid->setObjectName("grid");
  grid->SetEntries(palette.entries);
  grid->SetSelected(current < palette.Count() ? current : -1);
  QObject::connect(grid, &PaletteGrid::indexClicked, grid, &PaletteGrid::SetSelected);
  layout->addWidget(grid, 0, Qt::AlignHCenter);
  layout->addWidget(OkCancelButtons(&dialog));
  if (dialog.exec() != QDialog::Accepted) return -1;
  return grid->Selected();
}

}  // namespace lw
