#include "formats/ui/merge_dialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "formats/merge.h"

namespace lw {

bool AskMergeOptions(QWidget* owner, const Animation&, const Animation&, MergeOptions* options) {
  QDialog dialog(owner);
  dialog.setWindowTitle(QStringLiteral("Fusionner les animations"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* offsets = new QFormLayout;
  auto* x = new QSpinBox(&dialog);
  auto* y = new QSpinBox(&dialog);
  for (QSpinBox* box : {x, y}) box->setRange(-32000, 32000);
  x->setValue(options->offsetX);
  y->setValue(options->offsetY);
  offsets->addRow(QStringLiteral("X:"), x);
  offsets->addRow(QStringLiteral("Y:"), y);
  layout->addLayout(offsets);
  auto* sync = new QGroupBox(QStringLiteral("Synchronisation"), &dialog);
  auto* syncLayout = new QVBoxLayout(sync);
  auto* byDuration = new QRadioButton(QStringLiteral("Synchroniser selon la durée"), sync);
  auto* oneByOne = new QRadioButton(QStringLiteral("Assembler les cadres un à un"), sync);
  syncLayout->addWidget(byDuration);
  syncLayout->addWidget(oneByOne);
  (options->byDuration ? byDuration : oneByOne)->setChecked(true);
  layout->addWidget(sync);
  auto* loop = new QCheckBox(QStringLiteral("Boucle plus courte avec l'animation"), &dialog);
  loop->setChecked(options->loopShorter);
  layout->addWidget(loop);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  options->offsetX = x->value();
  options->offsetY = y->value();
  options->byDuration = byDuration->isChecked();
  options->loopShorter = loop->isChecked();
  return true;
}

}  // namespace lw
