#include "ui/save/hot_spot_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "base/string_ids.h"
#include "ui/common/dialog_buttons.h"
#include "ui/save/hot_spot_panel.h"

namespace lw {

bool AskCursorHotSpot(QWidget* owner, const Animation& document, int* x, int* y) {
  QDialog dialog(owner);
  dialog.setObjectName(QStringLiteral("hotSpotDialog"));
  dialog.setWindowTitle(UiText(str::HotSpotTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* editor = new HotSpotEditor(&document, &dialog);
  editor->Set(*x, *y);
  layout->addWidget(editor);
  layout->addWidget(OkCancelButtons(&dialog));
  if (dialog.exec() != QDialog::Accepted) return false;
  *x = editor->X();
  *y = editor->Y();
  return true;
}

}  // namespace lw
