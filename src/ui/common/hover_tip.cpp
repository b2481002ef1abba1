#include "ui/common/hover_tip.h"

#include <QToolTip>
#include <QWidget>

#include "base/string_ids.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

namespace {
QString shownText;
}

void ShowHoverTip(QWidget* widget, QPoint globalPosition, const QString& text) {
  if (text.isEmpty()) {
    HideHoverTip();
    return;
  }
  if (text == shownText && QToolTip::isVisible()) return;
  shownText = text;
  // Below and to the right of the cursor, as the frame strip's tips sit.
  QToolTip::showText(globalPosition + QPoint(12, 22), text, widget);
}

void HideHoverTip() {
  shownText.clear();
  QToolTip::hideText();
}

QString HoverTipText() { return shownText; }

QString ColourTipText(int index, int red, int green, int blue, bool transparent, bool image) {
  if (transparent)
    return QString::asprintf(UiText(str::GridTransparentTip).toUtf8().constData(), index);
  int format = image ? str::ImagePixelTip : str::GridEntryTip;
  return QString::asprintf(UiText(format).toUtf8().constData(), index, red, green, blue);
}

}  // namespace lw
