#include "ui/common/open_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QSplitter>
#include <QStringList>
#include <QTreeView>
#include <algorithm>

#include "base/settings.h"
#include "base/string_ids.h"
#include "formats/common/flow_text.h"
#include "shell/options_from_preferences.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {

// Qt formats the size, type and date columns with the system's locale and the file types' own
// names; these are the French ones.
class FrenchColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || index.column() == 0 || index.column() > 3 || !files)
      return QIdentityProxyModel::data(index, role);
    static const QLocale french(QLocale::French, QLocale::France);
    const QFileInfo info = files->fileInfo(mapToSource(index));
    if (index.column() == 3) return french.toString(info.lastModified(), QLocale::ShortFormat);
    if (index.column() == 1) {
      if (info.isDir()) return QString();
      if (info.size() < 1024)
        return QString::fromStdString(
            FormatResText(str::OptimizeSizeBytes, std::to_string(info.size())));
      return french.formattedDataSize(info.size());
    }
    if (info.isDir()) return UiText(str::ChooserFolderType);
    if (info.suffix().isEmpty()) return UiText(str::ChooserFileType);
    return QString::fromStdString(
        FormatResText(str::ChooserFileTypeNamed, info.suffix().toUpper().toStdString()));
  }
};

}  // namespace

QString QtFilter(const std::vector<FileFilter>& filter) {
  QStringList parts;
  for (const FileFilter& f : filter) {
    QString patterns = QString::fromStdString(f.pattern);
    // The JPEG save pattern has a comma before its last entry: a separator like the others, or
    // the chooser would hide every .jpeg file.
    patterns.replace(';', ' ').replace(',', ' ');
    parts << QString::fromStdString(f.label) + QStringLiteral(" (") + patterns +
                 QStringLiteral(")");
  }
  return parts.join(QStringLiteral(";;"));
}

void MakeChooserFrench(QFileDialog* chooser) {
  // The desktop's own chooser would speak the desktop's language.
  chooser->setOption(QFileDialog::DontUseNativeDialog);
  chooser->setLocale(QLocale(QLocale::French, QLocale::France));
  chooser->setProxyModel(new FrenchColumns(chooser));
  chooser->setMinimumSize(660, 400);
  // Room for the places and for every column of the detail view.
  if (auto* split = chooser->findChild<QSplitter*>(QStringLiteral("splitter")))
    split->setSizes({130, 530});
  if (auto* tree = chooser->findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = tree->header();
    const int widths[] = {200, 80, 90, 140};
    for (int i = 0; i < 4 && i < header->count(); ++i) {
      // Never narrower than the French title itself ("Date de modification").
      const QString title = header->model()->headerData(i, Qt::Horizontal).toString();
      const int needed = header->fontMetrics().horizontalAdvance(title) + 24;
      header->resizeSection(i, std::max(widths[i], needed));
    }
  }
}

bool ChooseFilesToOpen(QWidget* owner, int titleId, const std::vector<FileFilter>& filter,
                       bool multiple, std::vector<std::string>* paths) {
  QFileDialog chooser(owner, UiText(titleId), QString::fromStdString(InitialOpenFolder()),
                      QtFilter(filter));
  chooser.setObjectName(QStringLiteral("OpenChooser"));
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  MakeChooserFrench(&chooser);
  // The labels name their patterns already ("Fichiers AVI (*.avi)"): Qt's would repeat them.
  chooser.setOption(QFileDialog::HideNameFilterDetails);
  if (chooser.exec() != QDialog::Accepted) return false;
  const QStringList chosen = chooser.selectedFiles();
  if (chosen.isEmpty()) return false;
  for (const QString& c : chosen) paths->push_back(c.toStdString());
  SetInitDirFromFile(paths->front());
  return true;
}

}  // namespace lw
