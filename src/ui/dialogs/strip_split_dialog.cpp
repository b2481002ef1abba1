#include "ui/dialogs/strip_split_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "base/messages.h"
#include "base/string_ids.h"
#include "core/animation.h"
#include "formats/strip_flow.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

namespace {

// A count above the image's size can never divide it; a document counts at most this many
// frames.
int CountLimit(uint32_t size) { return static_cast<int>(std::clamp<uint32_t>(size, 1, INT16_MAX)); }

}  // namespace

StripSplitDialog::StripSplitDialog(QWidget* owner, uint32_t width, uint32_t height,
                                   const StripSplitChoice& preset)
    : QDialog(owner), width_(width), height_(height) {
  setWindowTitle(UiText(str::StripImportTitle));
  auto* layout = new QVBoxLayout(this);
  auto* counts = new QFormLayout;
  perRow_ = new QSpinBox(this);
  perColumn_ = new QSpinBox(this);
  perRow_->setRange(1, CountLimit(width));
  perColumn_->setRange(1, CountLimit(height));
  perRow_->setValue(preset.framesPerRow);
  perColumn_->setValue(preset.framesPerColumn);
  counts->addRow(UiText(str::StripFramesPerRow), perRow_);
  counts->addRow(UiText(str::StripFramesPerColumn), perColumn_);
  layout->addLayout(counts);
  rowByRow_ = new QRadioButton(UiText(str::StripRowByRow), this);
  columnByColumn_ = new QRadioButton(UiText(str::StripColumnByColumn), this);
  (preset.byColumns ? columnByColumn_ : rowByRow_)->setChecked(true);
  layout->addWidget(rowByRow_);
  layout->addWidget(columnByColumn_);
  layout->addWidget(OkCancelButtons(this));
  perRow_->setFocus();
  perRow_->selectAll();
}

StripSplitChoice StripSplitDialog::Choice() const {
  StripSplitChoice choice;
  choice.framesPerRow = perRow_->value();
  choice.framesPerColumn = perColumn_->value();
  choice.byColumns = columnByColumn_->isChecked();
  return choice;
}

void StripSplitDialog::accept() {
  int problem = StripSplitProblem(width_, height_, Choice());
  if (problem == 0) {
    QDialog::accept();
    return;
  }
  ShowErrorId(problem);
  QSpinBox* fault = problem == str::StripCannotSplitVertically ? perColumn_ : perRow_;
  fault->setFocus();
  fault->selectAll();
}

bool AskStripSplit(QWidget* owner, const Animation& strip, StripSplitChoice* choice) {
  const Frame* frame = FirstFrame(strip);
  if (!frame) return false;
  StripSplitDialog dialog(owner, frame->DibWidth(), frame->DibHeight(), *choice);
  if (dialog.exec() != QDialog::Accepted) return false;
  *choice = dialog.Choice();
  return true;
}

}  // namespace lw
