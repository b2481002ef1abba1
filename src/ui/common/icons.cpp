#include "ui/common/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

#include "shell/command_ids.h"

namespace lw {

namespace {

constexpr int kSize = 48;  // drawn large, shown at the toolbar's size

const QColor kInk(0x3a, 0x3f, 0x47);
const QColor kBlue(0x2f, 0x6f, 0xc0);
const QColor kGreen(0x2e, 0x9e, 0x4f);
const QColor kRed(0xd0, 0x3b, 0x36);
const QColor kYellow(0xf2, 0xb8, 0x3c);
const QColor kPaper(0xfb, 0xfb, 0xf8);

QPixmap Draw(const std::function<void(QPainter&)>& paint) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(kSize / 24.0, kSize / 24.0);  // every picture is drawn on a 24-unit grid
  paint(p);
  return pixmap;
}

QPen Pen(const QColor& colour, double width = 1.6) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Page(QPainter& p, QRectF r) {
  QPainterPath path;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - 4, r.top());
  path.lineTo(r.right(), r.top() + 4);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setPen(Pen(kInk, 1.3));
  p.setBrush(kPaper);
  p.drawPath(path);
  p.drawLine(QPointF(r.right() - 4, r.top()), QPointF(r.right() - 4, r.top() + 4));
  p.drawLine(QPointF(r.right() - 4, r.top() + 4), QPointF(r.right(), r.top() + 4));
}

void FilmFrame(QPainter& p, QRectF r, const QColor& picture) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x30, 0x33, 0x38));
  p.drawRoundedRect(r, 1.5, 1.5);
  p.setBrush(QColor(0xee, 0xee, 0xe8));
  for (double x = r.left() + 1.5; x < r.right() - 1; x += 3.2) {
    p.drawRect(QRectF(x, r.top() + 0.8, 1.6, 1.4));
    p.drawRect(QRectF(x, r.bottom() - 2.2, 1.6, 1.4));
  }
  p.setBrush(picture);
  p.drawRect(QRectF(r.left() + 1.5, r.top() + 3, r.width() - 3, r.height() - 6));
}

void Plus(QPainter& p, QPointF c, const QColor& colour, double r = 4.5) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawEllipse(c, r, r);
  p.setPen(Pen(Qt::white, 1.6));
  p.drawLine(QPointF(c.x() - r / 2, c.y()), QPointF(c.x() + r / 2, c.y()));
  p.drawLine(QPointF(c.x(), c.y() - r / 2), QPointF(c.x(), c.y() + r / 2));
}

void Palette(QPainter& p, QRectF r) {
  QPainterPath path;
  path.addEllipse(r);
  QPainterPath thumb;
  thumb.addEllipse(QRectF(r.left() + r.width() * 0.55, r.top() + r.height() * 0.55,
                          r.width() * 0.25, r.height() * 0.25));
  p.setPen(Pen(kInk, 1.2));
  p.setBrush(QColor(0xe9, 0xd3, 0xa6));
  p.drawPath(path.subtracted(thumb));
  const QColor dots[] = {kRed, kGreen, kBlue, kYellow};
  const QPointF places[] = {{0.3, 0.3}, {0.55, 0.25}, {0.25, 0.58}, {0.75, 0.45}};
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 4; ++i) {
    p.setBrush(dots[i]);
    p.drawEllipse(
        QPointF(r.left() + r.width() * places[i].x(), r.top() + r.height() * places[i].y()),
        r.width() * 0.09, r.width() * 0.09);
  }
}

void Pencil(QPainter& p, QPointF tip) {
  p.save();
  p.translate(tip);
  p.rotate(-45);
  p.setPen(Pen(kInk, 0.9));
  p.setBrush(kYellow);
  p.drawRect(QRectF(2.5, -1.6, 9, 3.2));
  QPainterPath point;
  point.moveTo(0, 0);
  point.lineTo(2.5, -1.6);
  point.lineTo(2.5, 1.6);
  point.closeSubpath();
  p.setBrush(QColor(0xf3, 0xd9, 0xb1));
  p.drawPath(point);
  p.restore();
}

void Magnifier(QPainter& p, int sign) {
  p.setPen(Pen(kInk, 2.2));
  p.setBrush(QColor(0xe8, 0xf1, 0xfb));
  p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
  p.setPen(Pen(kInk, 3.2));
  p.drawLine(QPointF(15, 15), QPointF(20.5, 20.5));
  p.setPen(Pen(kBlue, 2));
  if (sign != 0) p.drawLine(QPointF(7, 10), QPointF(13, 10));
  if (sign > 0) p.drawLine(QPointF(10, 7), QPointF(10, 13));
}

void Arrow(QPainter& p, bool redo) {
  p.save();
  if (redo) {
    p.translate(24, 0);
    p.scale(-1, 1);
  }
  QPainterPath path;
  path.moveTo(7, 9);
  path.cubicTo(12, 4.5, 20, 6, 20, 13);
  path.cubicTo(20, 17, 17, 19, 13, 19);
  p.setPen(Pen(kBlue, 2.4));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  QPainterPath head;
  head.moveTo(3, 9);
  head.lineTo(9.5, 4);
  head.lineTo(9.5, 14);
  head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawPath(head);
  p.restore();
}

void Disposal(QPainter& p, int kind) {
  // A frame on a screen: left as is, wiped to the background, or back to the picture before.
  p.setPen(Pen(kInk, 1.2));
  p.setBrush(kPaper);
  p.drawRect(QRectF(3, 4, 18, 16));
  if (kind == 1) {
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(12, 12), 5, 5);
  } else if (kind == 2) {
    p.setPen(QPen(kInk, 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 5, 5);
  } else {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xb7, 0xc7, 0xdd));
    p.drawRect(QRectF(6, 13, 12, 5));
    p.setPen(Pen(kBlue, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(7, 6, 10, 10), 30 * 16, 240 * 16);
  }
}

void Checker(QPainter& p, QRectF r) {
  p.setPen(Qt::NoPen);
  double cell = r.width() / 4;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      p.setBrush((x + y) % 2 ? QColor(0xc8, 0xc8, 0xc8) : QColor(Qt::white));
      p.drawRect(QRectF(r.left() + x * cell, r.top() + y * cell, cell, cell));
    }
  p.setPen(Pen(kInk, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(r);
}

void Text(QPainter& p, QRectF r, const QString& text, const QColor& colour, double size) {
  QFont font;
  font.setPixelSize(static_cast<int>(size));
  font.setBold(true);
  p.setFont(font);
  p.setPen(colour);
  p.drawText(r, Qt::AlignCenter, text);
}

QPixmap Picture(int command) {
  switch (command) {
    case cmd::FileOpen:
      return Draw([](QPainter& p) {
        p.setPen(Pen(QColor(0xa0, 0x74, 0x14), 1.2));
        p.setBrush(QColor(0xe7, 0xa9, 0x2c));
        p.drawRoundedRect(QRectF(2, 5, 18, 14), 1.5, 1.5);
        QPainterPath lid;
        lid.moveTo(5, 10);
        lid.lineTo(22.5, 10);
        lid.lineTo(19.5, 19);
        lid.lineTo(2, 19);
        lid.closeSubpath();
        p.setBrush(kYellow);
        p.drawPath(lid);
      });
    case cmd::InsertFrames:
      return Draw([](QPainter& p) {
        FilmFrame(p, QRectF(2, 3, 15, 14), QColor(0x8e, 0xc3, 0xea));
        Plus(p, QPointF(17, 17), kGreen, 5);
      });
    case cmd::FileSave:
      return Draw([](QPainter& p) {
        p.setPen(Pen(QColor(0x1d, 0x4a, 0x85), 1.2));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(6, 3, 12, 7));
        p.setBrush(QColor(0xd8, 0xe2, 0xee));
        p.drawRect(QRectF(7, 14, 10, 7));
      });
    case cmd::NewAnimation:
      return Draw([](QPainter& p) {
        Page(p, QRectF(5, 2.5, 14, 19));
        p.setPen(Pen(kYellow, 1.6));
        p.drawLine(QPointF(17, 14), QPointF(17, 22));
        p.drawLine(QPointF(13, 18), QPointF(21, 18));
      });
    case cmd::RecordScreen:
      return Draw([](QPainter& p) {
        p.setPen(Pen(kInk, 1.3));
        p.setBrush(QColor(0xd8, 0xe2, 0xee));
        p.drawRoundedRect(QRectF(2.5, 4, 19, 13), 1.5, 1.5);
        p.drawLine(QPointF(8, 21), QPointF(16, 21));
        p.drawLine(QPointF(12, 17), QPointF(12, 21));
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QPointF(12, 10.5), 3.8, 3.8);
      });
    case cmd::Cut:
      return Draw([](QPainter& p) {
        p.setPen(Pen(kInk, 1.8));
        p.drawLine(QPointF(7, 3), QPointF(15, 15));
        p.drawLine(QPointF(17, 3), QPointF(9, 15));
        p.setBrush(Qt::NoBrush);
        p.setPen(Pen(kRed, 2));
        p.drawEllipse(QPointF(7, 18), 3.2, 3.2);
        p.drawEllipse(QPointF(17, 18), 3.2, 3.2);
      });
    case cmd::Copy:
      return Draw([](QPainter& p) {
        Page(p, QRectF(3, 2.5, 12, 15));
        Page(p, QRectF(9, 7, 12, 15));
      });
    case cmd::Paste:
      return Draw([](QPainter& p) {
        p.setPen(Pen(QColor(0x7a, 0x52, 0x28), 1.2));
        p.setBrush(QColor(0xc0, 0x8a, 0x50));
        p.drawRoundedRect(QRectF(3, 4, 15, 18), 1.5, 1.5);
        p.setBrush(QColor(0xb0, 0xb4, 0xba));
        p.drawRoundedRect(QRectF(7, 2, 7, 4), 1, 1);
        Page(p, QRectF(10, 9, 11, 13));
      });
    case cmd::Delete:
      return Draw([](QPainter& p) {
        p.setPen(Pen(kRed, 3.2));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
      });
    case cmd::Undo: return Draw([](QPainter& p) { Arrow(p, false); });
    case cmd::Redo: return Draw([](QPainter& p) { Arrow(p, true); });
    case cmd::Preview:
      return Draw([](QPainter& p) {
        QPainterPath play;
        play.moveTo(7, 4);
        play.lineTo(20, 12);
        play.lineTo(7, 20);
        play.closeSubpath();
        p.setPen(Pen(QColor(0x1e, 0x74, 0x39), 1.2));
        p.setBrush(kGreen);
        p.drawPath(play);
      });
    case cmd::StopPreview:
      return Draw([](QPainter& p) {
        p.setPen(Pen(QColor(0x93, 0x24, 0x20), 1.2));
        p.setBrush(kRed);
        p.drawRoundedRect(QRectF(6, 6, 12, 12), 1.5, 1.5);
      });
    case cmd::Duration:
      return Draw([](QPainter& p) {
        p.setPen(Pen(kInk, 1.4));
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(12, 12.5), 8.5, 8.5);
        p.setPen(Pen(kBlue, 2));
        p.drawLine(QPointF(12, 12.5), QPointF(12, 7));
        p.drawLine(QPointF(12, 12.5), QPointF(16, 14.5));
        p.setPen(Pen(kInk, 2));
        p.drawLine(QPointF(10, 2), QPointF(14, 2));
      });
    case cmd::Optimize:
      return Draw([](QPainter& p) {
        // Two arrows squeezing a frame: fewer bytes.
        FilmFrame(p, QRectF(7, 6, 10, 12), QColor(0xa7, 0xd8, 0x9d));
        p.setPen(Pen(kBlue, 2));
        p.drawLine(QPointF(1.5, 12), QPointF(6, 12));
        p.drawLine(QPointF(3.5, 9.5), QPointF(6, 12));
        p.drawLine(QPointF(3.5, 14.5), QPointF(6, 12));
        p.drawLine(QPointF(22.5, 12), QPointF(18, 12));
        p.drawLine(QPointF(20.5, 9.5), QPointF(18, 12));
        p.drawLine(QPointF(20.5, 14.5), QPointF(18, 12));
      });
    case cmd::ReduceColours: return Draw([](QPainter& p) { Palette(p, QRectF(2.5, 3.5, 19, 17)); });
    case cmd::AnimationAddText:
      return Draw([](QPainter& p) {
        // A frame with a letter T laid over it.
        FilmFrame(p, QRectF(2, 4, 20, 16), QColor(0x9d, 0xc3, 0xe6));
        p.setPen(Pen(kInk, 4.2));
        p.drawLine(QPointF(7.5, 8.5), QPointF(16.5, 8.5));
        p.drawLine(QPointF(12, 8.5), QPointF(12, 16.5));
        p.setPen(Pen(Qt::white, 2.2));
        p.drawLine(QPointF(7.5, 8.5), QPointF(16.5, 8.5));
        p.drawLine(QPointF(12, 8.5), QPointF(12, 16.5));
      });
    case cmd::ZoomIn: return Draw([](QPainter& p) { Magnifier(p, 1); });
    case cmd::ZoomOut: return Draw([](QPainter& p) { Magnifier(p, -1); });
    case cmd::ActualSize:
      return Draw([](QPainter& p) {
        p.setPen(Pen(kInk, 1.3));
        p.setBrush(kPaper);
        p.drawRoundedRect(QRectF(2, 5, 20, 14), 2, 2);
        Text(p, QRectF(2, 5, 20, 14), "1:1", kBlue, 9);
      });
    case cmd::FrameTips:
      return Draw([](QPainter& p) {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(2.5, 3, 19, 13), 3, 3);
        QPainterPath tail;
        tail.moveTo(7, 15);
        tail.lineTo(6, 21);
        tail.lineTo(12, 15);
        tail.closeSubpath();
        p.setPen(Pen(kInk, 1.2));
        p.setBrush(QColor(0xff, 0xf6, 0xc8));
        p.drawPath(bubble.united(tail));
        Text(p, QRectF(2.5, 3, 19, 13), "i", kBlue, 11);
      });
    case cmd::HelpContents:
      return Draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
        Text(p, QRectF(2, 2, 20, 20), "?", Qt::white, 14);
      });
    case cmd::FrameProperties:
      return Draw([](QPainter& p) {
        FilmFrame(p, QRectF(2, 3, 16, 14), QColor(0x8e, 0xc3, 0xea));
        Pencil(p, QPointF(12, 21));
      });
    case cmd::AnimationProperties:
      return Draw([](QPainter& p) {
        FilmFrame(p, QRectF(1.5, 2, 13, 11), QColor(0xf4, 0xc2, 0x7a));
        FilmFrame(p, QRectF(5, 6, 13, 11), QColor(0xa7, 0xd8, 0x9d));
        FilmFrame(p, QRectF(8.5, 10, 13, 11), QColor(0x8e, 0xc3, 0xea));
      });
    case cmd::DisposalLeave: return Draw([](QPainter& p) { Disposal(p, 1); });
    case cmd::DisposalRestoreBackground: return Draw([](QPainter& p) { Disposal(p, 2); });
    case cmd::DisposalRestorePrevious: return Draw([](QPainter& p) { Disposal(p, 3); });
    case cmd::ToggleTransparency:
      return Draw([](QPainter& p) { Checker(p, QRectF(4, 4, 16, 16)); });
    case cmd::ChooseTransparentColour:
      return Draw([](QPainter& p) {
        Checker(p, QRectF(2, 6, 12, 12));
        p.setPen(Pen(kInk, 1.2));
        p.setBrush(QColor(0x9b, 0x59, 0xb6));
        p.drawRoundedRect(QRectF(11, 3, 10, 10), 2, 2);
      });
    case cmd::LocalPalettePresent:
      return Draw([](QPainter& p) {
        FilmFrame(p, QRectF(1.5, 2, 15, 13), QColor(0xd9, 0xd9, 0xd9));
        Palette(p, QRectF(9, 10, 13, 11));
      });
    case cmd::EditLocalPalette:
      return Draw([](QPainter& p) {
        Palette(p, QRectF(2, 3, 16, 14));
        Pencil(p, QPointF(13, 22));
      });
    case cmd::Has24BitData:
      return Draw([](QPainter& p) {
        QLinearGradient g(0, 0, 24, 0);
        g.setColorAt(0, kRed);
        g.setColorAt(0.5, kGreen);
        g.setColorAt(1, kBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(QRectF(2, 15, 20, 5), 1.5, 1.5);
        Text(p, QRectF(0, 1, 24, 14), "24", kInk, 11);
      });
    case cmd::EditGlobalPalette:
      return Draw([](QPainter& p) {
        Palette(p, QRectF(2, 3, 16, 14));
        p.setPen(Pen(kBlue, 1.2));
        p.setBrush(QColor(0xe8, 0xf1, 0xfb));
        p.drawEllipse(QPointF(17.5, 17.5), 5, 5);
        p.drawLine(QPointF(12.5, 17.5), QPointF(22.5, 17.5));
        p.drawEllipse(QPointF(17.5, 17.5), 2, 5);
      });
    default: return {};
  }
}

}  // namespace

QIcon CommandIcon(int command) {
  QPixmap pixmap = Picture(command);
  return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

QPixmap DelayLabelPixmap() {
  QPixmap pixmap = Draw([](QPainter& p) {
    p.setPen(Pen(kInk, 2));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(12, 13), 9, 9);
    p.setPen(Pen(kRed, 2.4));
    p.drawLine(QPointF(12, 13), QPointF(12, 7));
    p.drawLine(QPointF(12, 13), QPointF(16, 15));
  });
  return pixmap.scaled(15, 15, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QPixmap LoopLabelPixmap() {
  QPixmap pixmap = Draw([](QPainter& p) {
    p.setPen(Pen(kGreen, 2.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3, 4, 18, 16), 40 * 16, 280 * 16);
    QPainterPath head;
    head.moveTo(21, 3);
    head.lineTo(21, 11);
    head.lineTo(14, 8);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawPath(head);
  });
  return pixmap.scaled(15, 15, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QPixmap FilmEdgeTile(bool columns) {
  int w = columns ? FilmEdgeThickness : FilmEdgeLength;
  int h = columns ? FilmEdgeLength : FilmEdgeThickness;
  QPixmap tile(w, h);
  tile.fill(QColor(0x2b, 0x2e, 0x33));
  QPainter p(&tile);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xf4, 0xf1, 0xe8));
  QRectF hole = columns ? QRectF(3, 4.5, 6, 7) : QRectF(4.5, 3, 7, 6);
  p.drawRoundedRect(hole, 1.6, 1.6);
  return tile;
}

QIcon ProgramIcon() {
  // Installed, the program shows the icon of its desktop entry, as the menus do.
  QIcon themed = QIcon::fromTheme(QStringLiteral("loopwright"));
  if (!themed.isNull()) return themed;
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    FilmFrame(p, QRectF(1, 3, 22, 18), QColor(0x8e, 0xc3, 0xea));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(9, 12), 3.5, 3.5);
    p.setPen(Pen(QColor(0xff, 0xff, 0xff, 200), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 7, 10, 10), 0, 180 * 16);
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace lw
