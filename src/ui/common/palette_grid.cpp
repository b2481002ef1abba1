#include "ui/common/palette_grid.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/common/hover_tip.h"

namespace lw {

QColor FlashColour(const PaletteEntry& e) {
  auto turn = [](uint8_t v) { return v < 128 ? 255 : 0; };
  return QColor(turn(e.red), turn(e.green), turn(e.blue));
}

PaletteGrid::PaletteGrid(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setFixedSize(16 * Cell + 2 * frameWidth(), 16 * Cell + 2 * frameWidth());
  setMouseTracking(true);
}

void PaletteGrid::SetEntries(const std::vector<PaletteEntry>& entries) {
  entries_ = entries;
  if (entries_.size() > 256) entries_.resize(256);
  update();
}

void PaletteGrid::SetTransparent(const std::array<bool, 256>& transparent, bool paint,
                                 QColor colour) {
  transparent_ = transparent;
  paintTransparent_ = paint;
  transparentColour_ = colour;
  update();
}

void PaletteGrid::SetUsage(const uint32_t* usage) {
  hasUsage_ = usage != nullptr;
  if (usage) std::copy(usage, usage + 256, usage_.begin());
  update();
}

void PaletteGrid::SetShowUsage(bool on) {
  showUsage_ = on;
  update();
}

void PaletteGrid::SetSelected(int index) {
  selected_ = index;
  update();
}

void PaletteGrid::SetFlash(int index) {
  flash_ = index;
  update();
}

int PaletteGrid::IndexAt(QPoint position) const {
  QPoint p = position - contentsRect().topLeft();
  if (p.x() < 0 || p.y() < 0 || p.x() >= 16 * Cell || p.y() >= 16 * Cell) return -1;
  int index = (p.y() / Cell) * 16 + p.x() / Cell;
  return index < static_cast<int>(entries_.size()) ? index : -1;
}

QPoint PaletteGrid::CellCentre(int index) const {
  return contentsRect().topLeft() +
         QPoint((index % 16) * Cell + Cell / 2, (index / 16) * Cell + Cell / 2);
}

void PaletteGrid::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter p(this);
  QPoint origin = contentsRect().topLeft();
  p.fillRect(QRect(origin, QSize(16 * Cell, 16 * Cell)), palette().button());
  for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
    QRect cell(origin + QPoint((i % 16) * Cell, (i / 16) * Cell), QSize(Cell, Cell));
    const PaletteEntry& e = entries_[i];
    QColor colour(e.red, e.green, e.blue);
    if (paintTransparent_ && transparent_[i]) colour = transparentColour_;
    if (i == flash_) colour = FlashColour(e);
    p.fillRect(cell.adjusted(1, 1, -1, -1), colour);
    if (paintTransparent_ && transparent_[i] && i != flash_) {
      // Hatched, so that a chosen index shows even when its colour is the window's.
      p.fillRect(cell.adjusted(1, 1, -1, -1), QBrush(QColor(90, 90, 90), Qt::BDiagPattern));
    }
    if (showUsage_ && hasUsage_ && usage_[i] == 0) {
      // Unused: crossed out in the colour that stands out from the entry.
      p.setPen(QPen(FlashColour(e), 1));
      p.drawLine(cell.topLeft() + QPoint(3, 3), cell.bottomRight() - QPoint(3, 3));
      p.drawLine(cell.topRight() + QPoint(-3, 3), cell.bottomLeft() + QPoint(3, -3));
    }
  }
  if (selected_ >= 0 && selected_ < static_cast<int>(entries_.size())) {
    QRect cell(origin + QPoint((selected_ % 16) * Cell, (selected_ / 16) * Cell),
               QSize(Cell, Cell));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(cell.adjusted(0, 0, -1, -1));
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(cell.adjusted(1, 1, -2, -2));
  }
}

void PaletteGrid::mousePressEvent(QMouseEvent* event) {
  int index = IndexAt(event->position().toPoint());
  if (event->button() != Qt::LeftButton || index < 0) return;
  emit indexClicked(index);
}

void PaletteGrid::mouseMoveEvent(QMouseEvent* event) {
  int index = IndexAt(event->position().toPoint());
  if (!tips_ || index < 0) {
    HideHoverTip();
    return;
  }
  const PaletteEntry& e = entries_[index];
  ShowHoverTip(this, event->globalPosition().toPoint(),
               ColourTipText(index, e.red, e.green, e.blue, transparent_[index], false));
}

void PaletteGrid::leaveEvent(QEvent*) { HideHoverTip(); }

}  // namespace lw
