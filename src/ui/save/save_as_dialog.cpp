#include "ui/save/save_as_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/avi/avi_fix.h"
#include "formats/common/flow_text.h"
#include "formats/format_registry.h"
#include "formats/strip_flow.h"
#include "platform/files.h"
#include "ui/common/open_dialog.h"
#include "ui/common/ui_text.h"
#include "ui/save/save_panel.h"

namespace lw {

namespace {

constexpr int kSideWidth = 270;

// The file chooser as a widget of the dialog: its own OK and Cancel answer for the dialog
// instead of hiding it.
class EmbeddedFileDialog : public QFileDialog {
 public:
  explicit EmbeddedFileDialog(QWidget* parent) : QFileDialog(parent) {
    // A dialog is a window of its own unless told otherwise.
    setWindowFlags(Qt::Widget);
  }

  std::function<void()> accepted;
  std::function<void()> rejected;

  void done(int result) override {
    if (result == Accepted) {
      if (accepted) accepted();
    } else if (rejected) {
      rejected();
    }
  }
};

}  // namespace

int SavePanelFor(int type, uint32_t choiceBit, uint32_t documentTraits) {
  if (choiceBit == saveopt::Strip) return savepanel::Strip;
  if (choiceBit == saveopt::Individual) return savepanel::Individual;
  if (!(SaveTypeTraits(type) & savetrait::ExtraPanel)) return 0;
  const FormatSpec* format = FormatForSaveType(type);
  int id = format ? format->optionsPanel : 0;
  // Frames the AVI writer cannot take as they are: the fix comes first.
  if (id == savepanel::Avi && !AviPanelAllowed(documentTraits)) id = savepanel::AviFix;
  return id;
}

SaveAsWindow::SaveAsWindow(QWidget* owner, const SaveAsRequest& request)
    : QDialog(owner),
      request_(request),
      type_(std::clamp(request.type, 1, SaveTypeCount())),
      traits_(request.documentTraits) {
  setWindowTitle(UiText(str::SaveAsTitle));
  choice_.options.previousBits = request.previousBits;

  auto* files = new EmbeddedFileDialog(this);
  files_ = files;
  MakeChooserFrench(files_);
  files_->setOption(QFileDialog::DontConfirmOverwrite);
  files_->setOption(QFileDialog::HideNameFilterDetails);
  files_->setAcceptMode(QFileDialog::AcceptSave);
  files_->setFileMode(QFileDialog::AnyFile);
  files_->setSizeGripEnabled(false);
  QStringList filters;
  for (const FileFilter& f : SaveFilters()) filters << QtFilter({f});
  files_->setNameFilters(filters);
  if (!request.folder.empty()) files_->setDirectory(QString::fromStdString(request.folder));
  files->accepted = [this] { Confirm(); };
  files->rejected = [this] { reject(); };

  side_ = new QWidget(this);
  side_->setFixedWidth(kSideWidth);
  auto* sideLayout = new QVBoxLayout(side_);
  sideLayout->setContentsMargins(0, 8, 0, 0);
  choiceLabel_ = new QLabel(UiText(str::SaveChoiceLabel), side_);
  choiceBox_ = new QComboBox(side_);
  choiceLabel_->setBuddy(choiceBox_);
  panelArea_ = new QWidget(side_);
  auto* panelLayout = new QVBoxLayout(panelArea_);
  panelLayout->setContentsMargins(0, 8, 0, 0);
  sideLayout->addWidget(choiceLabel_);
  sideLayout->addWidget(choiceBox_);
  sideLayout->addWidget(panelArea_);
  sideLayout->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(files_, 1);
  files_->setVisible(true);  // a dialog starts hidden
  layout->addWidget(side_);

  if (QComboBox* types = files_->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
    connect(types, &QComboBox::activated, this, [this](int index) { TypeChanged(index + 1); });
  }
  connect(choiceBox_, &QComboBox::currentIndexChanged, this, [this] {
    // Only a choice made in the box counts; its own preselection is made with signals off.
    chosenBit_ = ChosenBit();
    ShowPanel();
  });
  connect(files_, &QFileDialog::currentChanged, this, [this](const QString& path) {
    QFileInfo info(path);
    if (panel_ && info.isFile()) panel_->NameChanged(info.fileName());
  });
  connect(files_, &QFileDialog::directoryEntered, this, [this](const QString& folder) {
    if (panel_) panel_->FolderChanged(QDir(folder).absolutePath());
  });
  if (QLineEdit* name = NameField()) {
    connect(name, &QLineEdit::textEdited, this, [this](const QString& text) {
      if (panel_) panel_->NameChanged(text);
    });
  }

  files_->selectNameFilter(filters.value(type_ - 1));
  files_->setDefaultSuffix(QString::fromUtf8(SaveTypeEntry(type_).extension));
  files_->selectFile(QString::fromStdString(request.proposedName));
  LayOutChoices();
  if (QLineEdit* name = NameField()) {
    name->setFocus();
    name->selectAll();
  }
}

QLineEdit* SaveAsWindow::NameField() const {
  return files_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

void SaveAsWindow::ChooseType(int type) {
  type = std::clamp(type, 1, SaveTypeCount());
  files_->selectNameFilter(files_->nameFilters().value(type - 1));
  TypeChanged(type);
}

void SaveAsWindow::TypeChanged(int type, bool keepName) {
  if (type < 1 || type > SaveTypeCount()) return;
  type_ = type;
  const QString extension = QString::fromUtf8(SaveTypeEntry(type).extension);
  files_->setDefaultSuffix(extension);
  if (QLineEdit* name = NameField(); name && !name->text().isEmpty() && !keepName) {
    name->setText(QString::fromStdString(
        ReplaceExtension(name->text().toStdString(), extension.toStdString())));
  }
  LayOutChoices(chosenBit_);
}

bool SaveAsWindow::FollowNameExtension(const std::string& name) {
  const int type = SaveTypeOfExtension(name);
  if (type == 0) {
    const std::string extension = name.substr(name.rfind('.') + 1);
    Services().MessageBox(static_cast<WindowHandle>(this),
                          FormatResText(str::CannotSaveExtension, extension),
                          ResText(str::SaveAsTitle), mb::Ok | mb::IconExclamation);
    return false;
  }
  if (type < 1 || type == type_) return true;
  // The list follows without rewriting the name: it keeps the extension as typed (.jpeg).
  QLineEdit* field = NameField();
  const QString typed = field ? field->text() : QString();
  const int cursor = field ? field->cursorPosition() : 0;
  files_->selectNameFilter(files_->nameFilters().value(type - 1));
  if (field && field->text() != typed) {
    field->setText(typed);
    field->setCursorPosition(cursor);
  }
  TypeChanged(type, true);
  return true;
}

uint32_t SaveAsWindow::ChosenBit() const {
  const int index = choiceBox_->currentIndex();
  if (choiceBox_->isHidden() || index < 0 || index >= static_cast<int>(entries_.size())) return 0;
  return entries_[static_cast<size_t>(index)].optionBit;
}

void SaveAsWindow::LayOutChoices(uint32_t keepBit) {
  entries_ = SaveChoiceEntries(type_, traits_);
  {
    QSignalBlocker quiet(choiceBox_);
    choiceBox_->clear();
    for (const SaveChoiceEntry& e : entries_) choiceBox_->addItem(UiText(e.textId));
    if (!entries_.empty()) {
      int index = PreselectedChoice(entries_, request_.previousBits);
      // The mode chosen for the previous type stays when this one offers it.
      for (size_t i = 0; i < entries_.size(); ++i)
        if (keepBit != 0 && entries_[i].optionBit == keepBit) index = static_cast<int>(i);
      choiceBox_->setCurrentIndex(index);
    }
  }
  // A single entry is no choice.
  bool box = entries_.size() >= 2;
  choiceLabel_->setVisible(box);
  choiceBox_->setVisible(box);
  ShowPanel();
}

void SaveAsWindow::ShowPanel() {
  if (panel_) {
    panel_->hide();
    panel_->deleteLater();
    panel_ = nullptr;
  }
  bool box = !choiceBox_->isHidden();
  int index = choiceBox_->currentIndex();
  uint32_t bit = box && index >= 0 && index < static_cast<int>(entries_.size())
                     ? entries_[static_cast<size_t>(index)].optionBit
                     : 0;
  if (SavePanelFactory make = FindSavePanel(SavePanelFor(type_, bit, traits_))) {
    panel_ = make({request_.document, traits_, type_}, panelArea_);
  }
  QLineEdit* name = NameField();
  if (panel_) {
    panelArea_->layout()->addWidget(panel_);
    panel_->changed = [this] {
      QMetaObject::invokeMethod(
          this, [this] { PanelChanged(); }, Qt::QueuedConnection);
    };
    panel_->FolderChanged(files_->directory().absolutePath());
    if (name) panel_->NameChanged(name->text());
  }
  if (name) name->setEnabled(!panel_ || panel_->UsesFileName());
  SetOkEnabled(!panel_ || panel_->AllowsOk());

  // The dialog grows or shrinks by the side column.
  bool side = box || panel_;
  const int before = width();
  side_->setVisible(side);
  if (side != sideShown_ && isVisible()) {
    int change = kSideWidth + (layout() ? layout()->spacing() : 0);
    if (layout()) layout()->activate();
    resize(before + (side ? change : -change), height());
  }
  sideShown_ = side;
}

void SaveAsWindow::PanelChanged() {
  if (!panel_) return;
  uint32_t traits = request_.document ? DocumentTraits(*request_.document) : traits_;
  if (traits != traits_) {
    traits_ = traits;
    LayOutChoices(ChosenBit());
    return;
  }
  SetOkEnabled(panel_->AllowsOk());
}

void SaveAsWindow::SetOkEnabled(bool enabled) {
  // The chooser enables its button by the name typed; a panel may hold it back, and Confirm
  // checks again.
  if (auto* buttons = files_->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
    for (QAbstractButton* b : buttons->buttons())
      if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) b->setEnabled(enabled);
  }
}

void SaveAsWindow::Confirm() {
  QStringList selected = files_->selectedFiles();
  if (selected.isEmpty() || selected.front().isEmpty()) return;
  const std::string path = selected.front().toStdString();
  // The extension of the name decides the type, never the list alone: no type's bytes go under
  // another type's name. When the new type has choices or a panel, the dialog stays open to
  // show them.
  const int typeBefore = type_;
  if (!FollowNameExtension(BaseName(path))) return;
  if (type_ != typeBefore && (!choiceBox_->isHidden() || panel_)) return;
  if (panel_ && !panel_->AllowsOk()) {
    QApplication::beep();
    return;
  }
  SaveOptions options = choice_.options;
  options.optionBits = saveopt::Plain;
  if (panel_) {
    if (!panel_->Apply(&options)) return;
  } else if (!choiceBox_->isHidden()) {
    options.optionBits = saveopt::AnimationChosen;
  }
  if (options.optionBits & saveopt::Individual) {
    // The files go to the folder shown unless the base name gives its own.
    if (!options.baseName.empty() && options.baseName.front() != '/')
      options.baseName =
          WithTrailingSlash(files_->directory().absolutePath().toStdString()) + options.baseName;
    // One question for all the files already there; No keeps the dialog open.
    const std::string question =
        request_.document ? ReplaceFilesQuestion(IndividualFileNames(
                                options.baseName, *request_.document, options.optionBits, type_))
                          : std::string();
    if (!question.empty() &&
        Services().MessageBox(static_cast<WindowHandle>(this), question, ResText(str::SaveAsTitle),
                              mb::YesNo | mb::DefButton2 | mb::IconExclamation) != answer::Yes)
      return;
  } else if (FileExists(path) &&
             Services().MessageBox(
                 static_cast<WindowHandle>(this), FormatResText(str::ReplaceExistingQuestion, path),
                 ResText(str::SaveAsTitle),
                 mb::YesNo | mb::DefButton2 | mb::IconExclamation) != answer::Yes) {
    return;
  }
  choice_.path = path;
  choice_.type = type_;
  choice_.options = options;
  accept();
}

bool AskSaveAs(QWidget* owner, const SaveAsRequest& request, SaveAsChoice* choice) {
  SaveAsWindow dialog(owner, request);
  SaveOptions preset = choice->options;
  if (dialog.exec() != QDialog::Accepted) return false;
  *choice = dialog.Choice();
  choice->options.document = preset.document;
  choice->options.previousBits = preset.previousBits;
  return true;
}

}  // namespace lw
