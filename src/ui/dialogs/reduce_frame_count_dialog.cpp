#include "ui/dialogs/reduce_frame_count_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "base/string_ids.h"
#include "edit/properties.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {}  // namespace

ReduceFrameCountDialog::ReduceFrameCountDialog(QWidget* owner, Animation* animation)
    : QDialog(owner), animation_(animation) {
  setWindowTitle(UiText(str::ReduceCountTitle));
  auto* layout = new QVBoxLayout(this);
  auto* stepRow = new QHBoxLayout;
  step_ = new QSpinBox(this);
  step_->setObjectName(QStringLiteral("step"));
  step_->setRange(2, std::max<int>(2, animation->frameCount));
  step_->setValue(2);
  stepRow->addWidget(new QLabel(UiText(str::ReduceCountDeleteOne), this));
  stepRow->addWidget(step_);
  stepRow->addWidget(new QLabel(UiText(str::ReduceCountFrames), this));
  stepRow->addStretch(1);
  layout->addLayout(stepRow);
  auto* counts = new QGridLayout;
  counts->addWidget(new QLabel(UiText(str::ReduceCountCurrent), this), 0, 0);
  counts->addWidget(new QLabel(QString::number(animation->frameCount), this), 0, 1);
  counts->addWidget(new QLabel(UiText(str::ReduceCountAfter), this), 1, 0);
  after_ = new QLabel(this);
  after_->setObjectName(QStringLiteral("after"));
  counts->addWidget(after_, 1, 1);
  counts->setColumnStretch(2, 1);
  layout->addLayout(counts);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(UiText(str::PropOk));
  buttons->button(QDialogButtonBox::Cancel)->setText(UiText(str::PropCancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  connect(step_, &QSpinBox::valueChanged, this, &ReduceFrameCountDialog::StepChanged);
  StepChanged();
}

void ReduceFrameCountDialog::StepChanged() {
  int after = FramesAfterReduction(animation_->frameCount, step_->value());
  after_->setText(after < 0 ? QString() : QString::number(after));
}

void ReduceFrameCountDialog::accept() {
  if (!ValidateReduceStep(this, *animation_, step_->value())) {
    step_->setFocus();
    return;
  }
  hints_ = ReduceFrameCount(*animation_, step_->value());
  QDialog::accept();
}

int ReduceFrameCountDialog::Step() const { return step_->value(); }

bool AskReduceFrameCount(QWidget* owner, Animation* animation, uint32_t* hints, int* frameIndex) {
  if (!animation) return false;
  ReduceFrameCountDialog dialog(owner, animation);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (hints) *hints = dialog.Hints();
  if (frameIndex) *frameIndex = FrameIndexAfterReduction(*frameIndex, dialog.Step());
  return true;
}

}  // namespace lw
