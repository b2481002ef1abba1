#include "ui/common/animation_view.h"

#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

namespace lw {

AnimationView::AnimationView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(48, 48);
}

bool AnimationView::SetAnimation(const Animation* animation) {
  if (!animation) {
    viewer_.animation = nullptr;
    update();
    return false;
  }
  bool made = PrepareViewer(&viewer_, animation, animation->screenWidth, animation->screenHeight);
  updateGeometry();
  update();
  return made;
}

bool AnimationView::Rebuild() {
  const Animation* animation = viewer_.animation;
  int shown = viewer_.shown;
  if (!animation || !SetAnimation(animation)) return false;
  int count = 0;
  for (const Frame* f = FirstFrame(*animation); f; f = NextFrame(f)) ++count;
  ShowFrame(std::min(shown, count), true);
  return true;
}

void AnimationView::ShowFrame(int n, bool restart) {
  if (ShowPictureUpTo(&viewer_, n, restart) != ViewerUpdate::Nothing) update();
}

void AnimationView::SetBackground(uint32_t colour) {
  viewer_.background = colour & 0xFFFFFF;
  update();
}

void AnimationView::SetZoomStep(int step) {
  zoom_ = std::clamp(step, -4, 3);
  updateGeometry();
  update();
}

QRect AnimationView::PictureRect() const {
  int num = zoom_ >= 0 ? zoom_ + 1 : 1;
  int den = zoom_ >= 0 ? 1 : 1 - zoom_;
  int w = static_cast<int>(ZoomLength(viewer_.width, num, den));
  int h = static_cast<int>(ZoomLength(viewer_.height, num, den));
  return QRect(std::max(0, (width() - w) / 2), std::max(0, (height() - h) / 2), w, h);
}

QSize AnimationView::sizeHint() const {
  int num = zoom_ >= 0 ? zoom_ + 1 : 1;
  int den = zoom_ >= 0 ? 1 : 1 - zoom_;
  int w = static_cast<int>(std::min<int64_t>(ZoomLength(viewer_.width, num, den), 4096));
  int h = static_cast<int>(std::min<int64_t>(ZoomLength(viewer_.height, num, den), 4096));
  return QSize(std::max(w, 48) + 8, std::max(h, 48) + 8);
}

void AnimationView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  uint32_t bg = viewer_.background;
  p.fillRect(rect(), QColor(bg & 0xFF, (bg >> 8) & 0xFF, (bg >> 16) & 0xFF));
  if (!viewer_.animation || viewer_.bitmap.pixels.empty()) return;
  PixelView picture = ViewerPicture(&viewer_);
  QImage image(reinterpret_cast<const uchar*>(picture.pixels), picture.width, picture.height,
               static_cast<qsizetype>(picture.stride) * 4, QImage::Format_RGB32);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(PictureRect(), image);
}

void AnimationView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    emit escapePressed();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace lw
