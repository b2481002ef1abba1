#include "ui/window/intro_panel.h"

#include <QMouseEvent>
#include <QPainter>

#include "base/string_ids.h"
#include "base/strings.h"
#include "shell/command_ids.h"
#include "ui/common/icons.h"

namespace lw {

namespace {

const QColor kFilm(0x2b, 0x2e, 0x33);
constexpr int kIntroWidth = 460;
constexpr int kIntroHeight = 300;
struct IntroButton {
  int command;
  const char* title;
  const char* detail;
};
constexpr IntroButton kIntroButtons[3] = {
    {cmd::FileOpen, TableText(str::IntroOpenTitle), TableText(str::IntroOpenDetail)},
    {cmd::InsertFrames, TableText(str::IntroAssembleTitle), TableText(str::IntroAssembleDetail)},
    {cmd::Tutorial, TableText(str::IntroTutorialTitle), TableText(str::IntroTutorialDetail)},
};
}  // namespace

IntroPanel::IntroPanel(QWidget* parent) : QWidget(parent) {
  setFixedSize(kIntroWidth, kIntroHeight);
  setMouseTracking(true);
  setCursor(Qt::ArrowCursor);
}

QRect IntroPanel::ButtonRect(int button) const {
  return QRect(24, 96 + button * 64, kIntroWidth - 48, 54);
}

int IntroPanel::ButtonAt(QPoint point) const {
  for (int i = 0; i < 3; ++i)
    if (ButtonRect(i).contains(point)) return i;
  return -1;
}

void IntroPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient sky(0, 0, 0, height());
  sky.setColorAt(0, QColor(0xfd, 0xfd, 0xfb));
  sky.setColorAt(1, QColor(0xee, 0xf1, 0xf5));
  p.setPen(QColor(0xc4, 0xc9, 0xd1));
  p.setBrush(sky);
  p.drawRoundedRect(card, 10, 10);

  // A short piece of film as the panel's emblem.
  QRectF film(24, 22, 84, 52);
  p.setPen(Qt::NoPen);
  p.setBrush(kFilm);
  p.drawRoundedRect(film, 4, 4);
  p.setBrush(QColor(0xf4, 0xf1, 0xe8));
  for (int i = 0; i < 6; ++i) {
    p.drawRoundedRect(QRectF(film.left() + 5 + i * 13.5, film.top() + 4, 7, 5), 1.2, 1.2);
    p.drawRoundedRect(QRectF(film.left() + 5 + i * 13.5, film.bottom() - 9, 7, 5), 1.2, 1.2);
  }
  const QColor tones[3] = {QColor(0xf4, 0xc2, 0x7a), QColor(0xa7, 0xd8, 0x9d),
                           QColor(0x8e, 0xc3, 0xea)};
  for (int i = 0; i < 3; ++i) {
    QRectF pic(film.left() + 5 + i * 26, film.top() + 13, 22, 26);
    p.setBrush(tones[i]);
    p.drawRect(pic);
    p.setBrush(QColor(0xd0, 0x3b, 0x36));
    p.drawEllipse(QPointF(pic.left() + 6 + i * 5, pic.top() + 8 + (i == 1 ? 8 : 0)), 4, 4);
  }

  QFont title = font();
  title.setPixelSize(26);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(0x2b, 0x2e, 0x33));
  p.drawText(QRect(124, 20, kIntroWidth - 140, 34), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Loopwright"));
  QFont sub = font();
  sub.setPixelSize(13);
  p.setFont(sub);
  p.setPen(QColor(0x5b, 0x61, 0x6b));
  p.drawText(QRect(124, 52, kIntroWidth - 140, 22), Qt::AlignLeft | Qt::AlignVCenter,
             TableText(str::IntroTagline));

  for (int i = 0; i < 3; ++i) {
    QRectF r = QRectF(ButtonRect(i)).adjusted(0.5, 0.5, -0.5, -0.5);
    bool hot = hot_ == i;
    p.setPen(hot ? QColor(0x2f, 0x6f, 0xc0) : QColor(0xd3, 0xd7, 0xdd));
    p.setBrush(hot ? QColor(0xe6, 0xf0, 0xfb) : QColor(Qt::white));
    p.drawRoundedRect(r, 7, 7);
    QPixmap icon =
        CommandIcon(i == 2 ? cmd::HelpContents : kIntroButtons[i].command).pixmap(32, 32);
    p.drawPixmap(QPointF(r.left() + 14, r.top() + (r.height() - 32) / 2), icon);
    QFont big = font();
    big.setPixelSize(15);
    big.setBold(true);
    p.setFont(big);
    p.setPen(QColor(0x22, 0x25, 0x2a));
    p.drawText(QRectF(r.left() + 60, r.top() + 7, r.width() - 70, 22),
               Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(kIntroButtons[i].title));
    p.setFont(sub);
    p.setPen(QColor(0x5b, 0x61, 0x6b));
    p.drawText(QRectF(r.left() + 60, r.top() + 28, r.width() - 70, 18),
               Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(kIntroButtons[i].detail));
  }
}

void IntroPanel::mouseMoveEvent(QMouseEvent* event) {
  int hot = ButtonAt(event->position().toPoint());
  if (hot != hot_) {
    hot_ = hot;
    update();
  }
}

void IntroPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  int button = ButtonAt(event->position().toPoint());
  if (button >= 0) emit commandRequested(kIntroButtons[button].command);
}

void IntroPanel::leaveEvent(QEvent*) {
  hot_ = -1;
  update();
}

}  // namespace lw
