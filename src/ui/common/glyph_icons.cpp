#include "ui/common/glyph_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace lw {
namespace {

void Triangle(QPainter& p, double x0, double x1, double top, double bottom, bool right) {
  QPainterPath path;
  double mid = (top + bottom) / 2;
  if (right) {
    path.moveTo(x0, top);
    path.lineTo(x1, mid);
    path.lineTo(x0, bottom);
  } else {
    path.moveTo(x1, top);
    path.lineTo(x0, mid);
    path.lineTo(x1, bottom);
  }
  path.closeSubpath();
  p.drawPath(path);
}

void Magnifier(QPainter& p, double s, int sign) {
  QPen pen(QColor(40, 40, 40), s / 10);
  p.setPen(pen);
  p.setBrush(QColor(220, 235, 250));
  p.drawEllipse(QRectF(s * 0.1, s * 0.1, s * 0.55, s * 0.55));
  pen.setWidthF(s / 6);
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  p.drawLine(QPointF(s * 0.6, s * 0.6), QPointF(s * 0.88, s * 0.88));
  pen.setWidthF(s / 12);
  p.setPen(pen);
  double c = s * 0.375, r = s * 0.16;
  if (sign != 0) p.drawLine(QPointF(c - r, c), QPointF(c + r, c));
  if (sign > 0) p.drawLine(QPointF(c, c - r), QPointF(c, c + r));
}

void Text(QPainter& p, double s, const QString& text, const QColor& colour, double scale) {
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(static_cast<int>(s * scale));
  p.setFont(font);
  p.setPen(colour);
  p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, text);
}

}  // namespace

QIcon GlyphIcon(Glyph glyph, int size) {
  QIcon icon;
  for (int scale : {1, 2}) {
    int px = size * scale;
    QPixmap pixmap(px, px);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    double s = px;
    QColor ink(30, 90, 160);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (glyph) {
      case Glyph::Play:
        p.setBrush(QColor(30, 140, 60));
        Triangle(p, s * 0.25, s * 0.85, s * 0.15, s * 0.85, true);
        break;
      case Glyph::Stop:
        p.setBrush(QColor(190, 40, 40));
        p.drawRect(QRectF(s * 0.22, s * 0.22, s * 0.56, s * 0.56));
        break;
      case Glyph::First:
        p.drawRect(QRectF(s * 0.15, s * 0.2, s * 0.12, s * 0.6));
        Triangle(p, s * 0.3, s * 0.85, s * 0.2, s * 0.8, false);
        break;
      case Glyph::Previous: Triangle(p, s * 0.2, s * 0.75, s * 0.2, s * 0.8, false); break;
      case Glyph::Next: Triangle(p, s * 0.25, s * 0.8, s * 0.2, s * 0.8, true); break;
      case Glyph::Last:
        Triangle(p, s * 0.15, s * 0.7, s * 0.2, s * 0.8, true);
        p.drawRect(QRectF(s * 0.73, s * 0.2, s * 0.12, s * 0.6));
        break;
      case Glyph::ZoomIn: Magnifier(p, s, 1); break;
      case Glyph::ZoomOut: Magnifier(p, s, -1); break;
      case Glyph::ActualSize: Text(p, s, QStringLiteral("1:1"), QColor(40, 40, 40), 0.5); break;
      case Glyph::Duration: {
        QPen pen(QColor(40, 40, 40), s / 12);
        p.setPen(pen);
        p.setBrush(QColor(255, 250, 225));
        p.drawEllipse(QRectF(s * 0.1, s * 0.1, s * 0.8, s * 0.8));
        pen.setWidthF(s / 10);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(s / 2, s / 2), QPointF(s / 2, s * 0.24));
        p.drawLine(QPointF(s / 2, s / 2), QPointF(s * 0.7, s * 0.6));
        break;
      }
      case Glyph::Set: Text(p, s, QStringLiteral("="), ink, 0.9); break;
      case Glyph::Add: Text(p, s, QStringLiteral("+"), ink, 0.9); break;
      case Glyph::Subtract: Text(p, s, QStringLiteral("−"), ink, 0.9); break;
      case Glyph::Multiply: Text(p, s, QStringLiteral("×"), ink, 0.9); break;
      case Glyph::Divide: Text(p, s, QStringLiteral("÷"), ink, 0.9); break;
      case Glyph::Apply: Text(p, s, QStringLiteral("✓"), QColor(30, 140, 60), 0.85); break;
      case Glyph::Reset: Text(p, s, QStringLiteral("↺"), QColor(160, 90, 20), 0.95); break;
    }
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace lw
