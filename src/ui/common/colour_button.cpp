#include "ui/common/colour_button.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "ui/common/ui_text.h"

namespace lw {
namespace {

ColourButton::Chooser chooser = nullptr;

QColor ToQColor(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
uint32_t FromQColor(const QColor& c) {
  return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
         (static_cast<uint32_t>(c.blue()) << 16);
}

}  // namespace

ColourButton::ColourButton(QWidget* parent) : QToolButton(parent) {
  setToolTip(UiText(str::PreviewBackgroundTip));
  setAutoRaise(true);
  setFixedSize(26, 24);
  connect(this, &QToolButton::clicked, this, &ColourButton::Choose);
}

void ColourButton::SetColour(uint32_t colour) {
  colour_ = colour & 0xFFFFFF;
  update();
}

void ColourButton::SetChooser(Chooser c) { chooser = c; }

bool ColourButton::ChooseColour(QWidget* parent, uint32_t* colour) {
  if (chooser) return chooser(parent, colour);
  // The chooser's custom colours are shared by the whole program, as the system's were.
  QColor chosen = QColorDialog::getColor(ToQColor(*colour), parent, QString());
  if (!chosen.isValid()) return false;
  *colour = FromQColor(chosen);
  return true;
}

void ColourButton::Choose() {
  uint32_t colour = colour_;
  if (!ChooseColour(this, &colour)) return;
  SetColour(colour);
  emit colourChosen(colour_);
}

void ColourButton::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionToolButton option;
  initStyleOption(&option);
  option.icon = QIcon();
  option.text.clear();
  p.drawComplexControl(QStyle::CC_ToolButton, option);
  QRect swatch = rect().adjusted(6, 5, -6, -5);
  p.setPen(QColor(60, 60, 60));
  p.setBrush(ToQColor(colour_));
  p.drawRect(swatch.adjusted(0, 0, -1, -1));
}

uint32_t PreviewBackgroundColour(const QWidget* widget) {
  uint32_t stored = GetPref(PrefPreviewBackground);
  if (FieldIn(stored, PrefField::PreviewBackgroundChosen) != 0)
    return FieldIn(stored, PrefField::PreviewBackgroundColour);
  QColor face = widget ? widget->palette().color(QPalette::Button) : QColor(240, 240, 240);
  return FromQColor(face);
}

}  // namespace lw
