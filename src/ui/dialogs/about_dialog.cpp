#include "ui/dialogs/about_dialog.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "base/string_ids.h"
#include "ui/common/icons.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {

// A string-table text with its one %s replaced.
QString Filled(int id, const QString& value) {
  QString text = UiText(id);
  return text.replace(QStringLiteral("%s"), value);
}

}  // namespace

void ShowAboutBox(QWidget* owner) {
  QMessageBox box(owner);
  box.setWindowTitle(UiText(str::AboutTitle));
  box.setIconPixmap(ProgramIcon().pixmap(64, 64));
  box.setText(QStringLiteral("<b>%1</b>")
                  .arg(Filled(str::AboutName, QStringLiteral("4.0")).toHtmlEscaped()));
  box.setInformativeText(Filled(str::AboutText, QString::fromLatin1(qVersion())));
  box.addButton(UiText(str::ButtonOk), QMessageBox::AcceptRole);
  // The box sizes itself by its text, and the window manager cuts a title wider than that:
  // room for the title (drawn larger and bold) beside the frame's buttons.
  QFont titleFont = box.font();
  titleFont.setBold(true);
  if (titleFont.pointSizeF() > 0) {
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
  } else {
    titleFont.setPixelSize(titleFont.pixelSize() * 6 / 5);
  }
  const int titleRoom = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 3 * 32 + 48;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(titleRoom, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
}

}  // namespace lw
