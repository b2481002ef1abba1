#include "ui/save/individual_files_panel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/string_ids.h"
#include "formats/format_registry.h"
#include "formats/strip_flow.h"
#include "platform/files.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {

constexpr int kMaxBaseName = 260;
// optionBits: only the selected frames are written.
constexpr uint32_t OnlySelected = 64;

}  // namespace

IndividualFilesPanel::IndividualFilesPanel(const SavePanelContext& context, QWidget* parent)
    : SavePanel(parent), document_(context.document), type_(context.type) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  all_ = new QRadioButton(UiText(str::IndividualAllFrames), this);
  selected_ = new QRadioButton(UiText(str::IndividualSelectedFrames), this);
  auto* group = new QButtonGroup(this);
  group->addButton(all_);
  group->addButton(selected_);
  all_->setChecked(true);
  selected_->setEnabled(context.documentTraits & doctrait::Selection);
  layout->addWidget(all_);
  layout->addWidget(selected_);

  auto* nameLabel = new QLabel(UiText(str::IndividualBaseName), this);
  baseName_ = new QLineEdit(this);
  baseName_->setMaxLength(kMaxBaseName);
  nameLabel->setBuddy(baseName_);
  layout->addWidget(nameLabel);
  layout->addWidget(baseName_);

  auto* examples = new QGridLayout;
  examples->addWidget(new QLabel(UiText(str::IndividualExamples), this), 0, 0, Qt::AlignTop);
  first_ = new QLabel(this);
  second_ = new QLabel(this);
  for (QLabel* l : {first_, second_}) l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  examples->addWidget(first_, 0, 1);
  examples->addWidget(second_, 1, 1);
  examples->setColumnStretch(1, 1);
  layout->addLayout(examples);

  written_ = new QLabel(this);
  written_->setWordWrap(true);
  written_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(written_);

  auto* hint = new QLabel(UiText(str::IndividualNumberHint), this);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  layout->addStretch();

  connect(baseName_, &QLineEdit::textChanged, this, [this] { ShowExamples(); });
  connect(selected_, &QRadioButton::toggled, this, [this] { ShowExamples(); });
  ShowExamples();
}

void IndividualFilesPanel::NameChanged(const QString& name) { baseName_->setText(name); }

void IndividualFilesPanel::FolderChanged(const QString& folder) {
  folder_ = WithTrailingSlash(folder.toStdString());
  ShowExamples();
}

void IndividualFilesPanel::ShowExamples() {
  int frames = document_ ? document_->frameCount : 0;
  int written = frames;
  if (selected_->isChecked() && document_) written = static_cast<int>(document_->selectedCount);
  // A single file gets no number unless the base name asks for one.
  bool alwaysNumber = !selected_->isChecked() || written > 1;
  NumberedName pattern =
      NumberedNamePattern(baseName_->text().toStdString(), SaveTypeEntry(type_).extension,
                          alwaysNumber, NumberDigits(frames));
  first_->setText(QString::fromStdString(pattern.Fill(1)));
  second_->setText(QString::fromStdString(pattern.Fill(2)));
  // Where the files land and which they are, so that none is replaced unseen.
  std::string base = baseName_->text().toStdString();
  if (!base.empty() && base.front() != '/') base.insert(0, folder_);
  const uint32_t bits = selected_->isChecked() ? OnlySelected : 0;
  written_->setText(QString::fromStdString(
      document_ ? IndividualNamesLine(IndividualFileNames(base, *document_, bits, type_)) : ""));
}

bool IndividualFilesPanel::Apply(SaveOptions* options) {
  QString name = baseName_->text();
  if (name.trimmed().isEmpty()) {
    QApplication::beep();
    baseName_->setFocus();
    return false;
  }
  options->optionBits = saveopt::Individual;
  if (selected_->isChecked()) options->optionBits |= OnlySelected;
  options->baseName = name.toStdString();
  return true;
}

SavePanel* MakeIndividualFilesPanel(const SavePanelContext& context, QWidget* parent) {
  return new IndividualFilesPanel(context, parent);
}

}  // namespace lw
