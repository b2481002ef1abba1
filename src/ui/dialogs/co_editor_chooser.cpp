#include "ui/dialogs/co_editor_chooser.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/settings.h"
#include "base/string_ids.h"
#include "platform/desktop_entries.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

QString ChooseCoEditor(QWidget* parent, const QString& startDir) {
  QDialog dialog(parent);
  dialog.setObjectName("coEditorChooser");
  dialog.setWindowTitle(UiText(str::PrefBrowseForCoeditImage));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(UiText(str::CoEditorPrompt), &dialog));
  auto* list = new QListWidget(&dialog);
  list->setObjectName("editors");
  list->setIconSize(QSize(24, 24));
  for (const ApplicationEntry& entry : ImageEditorEntries()) {
    QString icon = QString::fromStdString(entry.icon);
    auto* item = new QListWidgetItem(icon.startsWith('/') ? QIcon(icon) : QIcon::fromTheme(icon),
                                     QString::fromStdString(entry.name), list);
    item->setData(Qt::UserRole, QString::fromStdString(entry.path));
  }
  if (list->count() > 0) list->setCurrentRow(0);
  layout->addWidget(list, 1);
  QDialogButtonBox* buttons = OkCancelButtons(&dialog);
  QPushButton* other = buttons->addButton(UiText(str::CoEditorOther), QDialogButtonBox::ActionRole);
  other->setObjectName("other");
  layout->addWidget(buttons);
  dialog.resize(380, 360);

  QString chosen;
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  QObject::connect(other, &QPushButton::clicked, &dialog, [&] {
    QFileDialog files(&dialog, UiText(str::PrefBrowseForCoeditImage), startDir);
    files.setFileMode(QFileDialog::ExistingFile);
    files.setNameFilter(UiText(str::PrefApplications));
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty()) return;
    chosen = files.selectedFiles().first();
    dialog.done(QDialog::Accepted);
  });
  if (dialog.exec() != QDialog::Accepted) return {};
  if (chosen.isEmpty() && list->currentItem())
    chosen = list->currentItem()->data(Qt::UserRole).toString();
  return chosen;
}

}  // namespace lw
