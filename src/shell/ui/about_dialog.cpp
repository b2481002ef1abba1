#include "shell/ui/about_dialog.h"

#include <QMessageBox>

#include "base/string_ids.h"
#include "base/strings.h"
#include "shell/ui/icons.h"

namespace lw {

namespace {

// A string-table text with its one %s replaced.
QString Filled(int id, const QString& value) {
  QString text = QString::fromStdString(ResText(id));
  return text.replace(QStringLiteral("%s"), value);
}

}  // namespace

void ShowAboutBox(QWidget* owner) {
  QMessageBox box(owner);
  box.setWindowTitle(QString::fromStdString(ResText(str::AboutTitle)));
  box.setIconPixmap(ProgramIcon().pixmap(64, 64));
  box.setText(QStringLiteral("<b>%1</b>")
                  .arg(Filled(str::AboutName, QStringLiteral("4.0")).toHtmlEscaped()));
  box.setInformativeText(Filled(str::AboutText, QString::fromLatin1(qVersion())));
  box.addButton(QString::fromStdString(ResText(str::ButtonOk)), QMessageBox::AcceptRole);
  box.exec();
}

}  // namespace lw
