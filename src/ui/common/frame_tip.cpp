#include "ui/common/frame_tip.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "base/preferences.h"
#include "core/animation.h"
#include "core/compose.h"
#include "shell/status_text.h"

namespace lw {

namespace {
QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }
}  // namespace

FrameTip::FrameTip(QWidget* owner) : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FrameTip::ShowFrame(const Animation& animation, int index, uint32_t bits,
                         QPoint globalPosition) {
  Frame* frame = FrameAt(animation, index);
  if (!frame) {
    hide();
    return;
  }
  index_ = index;
  FrameTipFacts facts;
  facts.index = index;
  facts.width = frame->width;
  facts.height = frame->height;
  facts.left = frame->left;
  facts.top = frame->top;
  facts.delay = frame->delay;
  facts.disposal = frame->Disposal();
  facts.trueColour = !frame->rgbPlane.empty();
  facts.transparent = frame->Transparent();
  facts.localPalette = frame->localPalette != nullptr;
  facts.bitCount = frame->palette ? BitsForColours(frame->palette->Count()) : 8;
  text_ = QString::fromStdString(FrameTipText(facts, bits));

  // The image, its longer side at most 400 pixels.
  int w = static_cast<int>(frame->width), h = static_cast<int>(frame->height);
  int num = 1, den = 1;
  if (std::max(w, h) > 400) {
    num = 400;
    den = std::max(w, h);
  }
  PixelSurface surface;
  int sw = std::max(1, static_cast<int>(ZoomLength(w, num, den)));
  int sh = std::max(1, static_cast<int>(ZoomLength(h, num, den)));
  image_ = QImage();
  if (ResizeSurface(&surface, sw, sh, ButtonFace().rgb())) {
    DrawFrameOver(*frame, surface.View(), -ZoomLength(frame->left, num, den),
                  -ZoomLength(frame->top, num, den), num, den, false,
                  AlphaBackdrop(GetPref(PrefTransparencyDisplay)));
    image_ = QImage(reinterpret_cast<const uchar*>(surface.pixels.data()), sw, sh, sw * 4,
                    QImage::Format_RGB32)
                 .copy();
  }
  QFontMetrics metrics(font());
  QSize textSize =
      text_.isEmpty() ? QSize(0, 0) : metrics.size(0, text_) + QSize(text_.isEmpty() ? 0 : 8, 0);
  int margin = 4;
  resize(textSize.width() + image_.width() + 2 * margin + 2,
         std::max(textSize.height(), image_.height()) + 2 * margin + 2);
  move(globalPosition);
  show();
  update();
}

void FrameTip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QPalette pal = QApplication::palette();
  QColor back = pal.color(QPalette::ToolTipBase), ink = pal.color(QPalette::ToolTipText);
  if (back == ink) {
    back = Qt::white;
    ink = Qt::black;
  }
  p.fillRect(rect(), back);
  p.setPen(ink.darker(150));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setPen(ink);
  QRect textRect(5, 5, width() - image_.width() - 10, height() - 10);
  p.drawText(textRect, Qt::AlignLeft | Qt::AlignTop, text_);
  if (!image_.isNull()) p.drawImage(width() - image_.width() - 5, 5, image_);
}

}  // namespace lw
