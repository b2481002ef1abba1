#include "ui/dialogs/comment_list_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/messages.h"
#include "base/string_ids.h"
#include "edit/properties.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {

CommentListDialog::Editor editor = EditCommentText;

// One line per comment in the list.
QString ListLine(const std::string& text) {
  return QString::fromUtf8(text.c_str()).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

}  // namespace

bool EditCommentText(QWidget* parent, QString* text) {
  QDialog dialog(parent);
  dialog.setWindowTitle(UiText(str::CommentEditTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* edit = new QPlainTextEdit(&dialog);
  edit->setObjectName(QStringLiteral("comment"));
  edit->setPlainText(*text);
  layout->addWidget(edit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(UiText(str::PropOk));
  buttons->button(QDialogButtonBox::Cancel)->setText(UiText(str::PropCancel));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    if (edit->document()->isModified() &&
        edit->toPlainText().size() > static_cast<qsizetype>(MaxCommentLength)) {
      AskUser(&dialog, str::CommentTooLongText, str::CommentTooLongTitle,
              mb::Ok | mb::IconExclamation);
      edit->setFocus();
      return;
    }
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(360, 180);
  if (dialog.exec() != QDialog::Accepted || !edit->document()->isModified()) return false;
  *text = edit->toPlainText().left(static_cast<qsizetype>(MaxCommentLength));
  return true;
}

CommentListDialog::CommentListDialog(QWidget* owner, Animation* animation)
    : QDialog(owner), animation_(animation) {
  setWindowTitle(UiText(str::CommentListTitle));
  auto* layout = new QHBoxLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("comments"));
  layout->addWidget(list_, 1);
  auto* column = new QVBoxLayout;
  auto* ok = new QPushButton(UiText(str::PropOk), this);
  ok->setDefault(true);
  auto* add = new QPushButton(UiText(str::CommentAdd), this);
  add->setObjectName(QStringLiteral("add"));
  edit_ = new QPushButton(UiText(str::PropEdit), this);
  edit_->setObjectName(QStringLiteral("edit"));
  delete_ = new QPushButton(UiText(str::CommentDelete), this);
  delete_->setObjectName(QStringLiteral("delete"));
  for (QPushButton* b : {ok, add, edit_, delete_}) {
    b->setAutoDefault(false);
    column->addWidget(b);
  }
  ok->setDefault(true);
  column->addStretch(1);
  layout->addLayout(column);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(add, &QPushButton::clicked, this, &CommentListDialog::Add);
  connect(edit_, &QPushButton::clicked, this, &CommentListDialog::Edit);
  connect(delete_, &QPushButton::clicked, this, &CommentListDialog::Delete);
  connect(list_, &QListWidget::itemDoubleClicked, this, &CommentListDialog::Edit);
  connect(list_, &QListWidget::currentRowChanged, this, &CommentListDialog::UpdateButtons);
  Fill(-1);
  resize(420, 220);
}

void CommentListDialog::SetEditor(Editor chosen) { editor = chosen ? chosen : EditCommentText; }

void CommentListDialog::Fill(int select) {
  list_->clear();
  for (const ExtensionBlock* block : CommentBlocks(*animation_)) {
    std::string text;
    CommentText(block, &text);
    list_->addItem(ListLine(text));
  }
  if (select >= list_->count()) select = list_->count() - 1;
  list_->setCurrentRow(select);
  if (select < 0) list_->clearSelection();
  UpdateButtons();
}

void CommentListDialog::UpdateButtons() {
  bool selected = list_->currentRow() >= 0 && !list_->selectedItems().isEmpty();
  edit_->setEnabled(selected);
  delete_->setEnabled(selected);
}

void CommentListDialog::Add() {
  QString text;
  if (!editor(this, &text)) return;
  bool selected = list_->currentRow() >= 0 && !list_->selectedItems().isEmpty();
  int position = selected ? list_->currentRow() : list_->count();
  if (!InsertComment(*animation_, position, text.toStdString())) return;
  changed_ = true;
  Fill(position);
}

void CommentListDialog::Edit() {
  int row = list_->currentRow();
  if (row < 0) return;
  QString text = QString::fromUtf8(CommentAt(*animation_, row).c_str());
  if (!editor(this, &text)) return;
  if (ReplaceComment(*animation_, row, text.toStdString())) changed_ = true;
  Fill(row);
}

void CommentListDialog::Delete() {
  int row = list_->currentRow();
  if (row < 0 || list_->selectedItems().isEmpty()) return;
  if (DeleteComment(*animation_, row)) changed_ = true;
  Fill(row);
}

void CommentListDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    Delete();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool AskGifComments(QWidget* owner, Animation* animation) {
  if (!animation) return false;
  CommentListDialog dialog(owner, animation);
  dialog.exec();
  return dialog.Changed();
}

}  // namespace lw
