#include "formats/ui/open_dialog.h"

#include <QFileDialog>
#include <QStringList>

#include "base/settings.h"
#include "base/strings.h"
#include "formats/open_flow.h"

namespace lw {

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

bool ChooseFilesToOpen(QWidget* owner, int titleId, const std::vector<FileFilter>& filter,
                       bool multiple, std::vector<std::string>* paths) {
  QString title = QString::fromStdString(ResText(titleId));
  QString folder = QString::fromStdString(InitialOpenFolder());
  QStringList chosen;
  if (multiple) {
    chosen = QFileDialog::getOpenFileNames(owner, title, folder, QtFilter(filter));
  } else {
    QString one = QFileDialog::getOpenFileName(owner, title, folder, QtFilter(filter));
    if (!one.isEmpty()) chosen << one;
  }
  if (chosen.isEmpty()) return false;
  for (const QString& c : chosen) paths->push_back(c.toStdString());
  SetInitDirFromFile(paths->front());
  return true;
}

}  // namespace lw
