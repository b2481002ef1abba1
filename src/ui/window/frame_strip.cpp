#include "ui/window/frame_strip.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/animation.h"
#include "core/compose.h"
#include "core/picture_budget.h"
#include "shell/command_ids.h"
#include "shell/frame_edit.h"
#include "shell/status_text.h"
#include "ui/common/frame_tip.h"
#include "ui/common/icons.h"

namespace lw {

namespace {

constexpr int kZoom[8][2] = {{1, 5}, {1, 4}, {1, 3}, {1, 2}, {1, 1}, {2, 1}, {3, 1}, {4, 1}};
constexpr int kDragThreshold = 3;
// Pictures kept between paints, beyond those one paint shows.
constexpr size_t kPictureCacheBytes = 8u << 20;
const QColor kFilm(0x2b, 0x2e, 0x33);

QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }

QImage FrameImage(const Frame& frame, int numerator, int denominator, uint32_t screenWidth,
                  uint32_t screenHeight, QColor background) {
  int w = static_cast<int>(ZoomLength(screenWidth, numerator, denominator));
  int h = static_cast<int>(ZoomLength(screenHeight, numerator, denominator));
  PixelSurface surface;
  if (w <= 0 || h <= 0 || !ResizeSurface(&surface, w, h, background.rgb() | 0xFF000000u)) return {};
  // The DIB's colour table holds the display colour at the transparent index: drawn opaque.
  DrawFrame(frame, surface.View(), 0, 0, numerator, denominator, false);
  QImage image(reinterpret_cast<const uchar*>(surface.pixels.data()), w, h, w * 4,
               QImage::Format_RGB32);
  return image.copy();
}

// What a frame's picture is drawn from: a frame edited in place keeps its address, and a new
// frame may be given the address of a deleted one.
uint64_t PictureSignature(const Frame& f) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull; };
  mix(reinterpret_cast<uintptr_t>(f.dib.data()));
  mix(f.dib.size());
  mix(reinterpret_cast<uintptr_t>(f.blendedPlane.data()));
  mix(reinterpret_cast<uintptr_t>(f.palette));
  mix(static_cast<uint32_t>(f.left));
  mix(static_cast<uint32_t>(f.top));
  mix(f.width);
  mix(f.height);
  mix(f.controlFlags);
  mix(f.transparentIndex);
  return h;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Strip

FrameStrip::FrameStrip(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(false);
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  autoScroll_.setInterval(100);
  connect(&autoScroll_, &QTimer::timeout, this, &FrameStrip::AutoScrollTick);
  tip_ = new FrameTip(this);
  ComputeGeometry();
}

FrameStrip::~FrameStrip() = default;

QWidget* FrameStrip::IntroWidget() const { return intro_.data(); }

void FrameStrip::ChooseDirectionFromShape() {
  if (explicitDirection_ || !animation_) return;
  direction_ = animation_->screenWidth > animation_->screenHeight ? 1 : 2;
}

void FrameStrip::SetAnimation(Animation* animation) {
  HideTip();
  if (animation != animation_) budgetWarned_ = false;
  DropPictures();
  animation_ = animation;
  if (animation_) {
    screenWidth_ = animation_->screenWidth;
    screenHeight_ = animation_->screenHeight;
    ChooseDirectionFromShape();
    if (PrefOn(Pref::KeepTrueColor)) {
      for (Frame* f = FirstFrame(*animation_); f; f = NextFrame(f)) f->blendedPlane.clear();
    }
  }
  ComputeGeometry();
  Relayout(true);
  UpdateIntro();
}

void FrameStrip::RelayoutIfResized() {
  if (!animation_) return;
  if (animation_->screenWidth == screenWidth_ && animation_->screenHeight == screenHeight_) return;
  screenWidth_ = animation_->screenWidth;
  screenHeight_ = animation_->screenHeight;
  ComputeGeometry();
  Relayout(true);
}

void FrameStrip::SetOrientation(int value) {
  int old = direction_;
  if (value == orient::Vertical || value == orient::Horizontal) {
    explicitDirection_ = true;
    direction_ = value == orient::Vertical ? 1 : 2;
  } else {
    explicitDirection_ = false;
    ChooseDirectionFromShape();
  }
  if (old != direction_) {
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    ComputeGeometry();
    Relayout(true);
  }
}

int FrameStrip::Orientation() const {
  if (!explicitDirection_) return orient::Automatic;
  return direction_ == 1 ? orient::Vertical : orient::Horizontal;
}

void FrameStrip::SetZoom(int level) {
  level = std::clamp(level, -4, 3);
  int num = kZoom[level + 4][0], den = kZoom[level + 4][1];
  zoomLevel_ = level;
  if (num == zoomNum_ && den == zoomDen_) return;
  zoomNum_ = num;
  zoomDen_ = den;
  ComputeGeometry();
  Relayout(true);
}

void FrameStrip::SetTransparencyDisplay(uint32_t value) {
  transparencyDisplay_ = value;
  if (animation_) {
    for (Frame* f = FirstFrame(*animation_); f; f = NextFrame(f)) {
      f->blendedPlane.clear();
      SetTransparentDisplayColour(f, true);
    }
  }
  RedrawAll();
}

void FrameStrip::SetTipsEnabled(bool on) {
  tipsOn_ = on;
  if (!on) HideTip();
}

void FrameStrip::ComputeGeometry() {
  int w = static_cast<int>(ZoomLength(screenWidth_, zoomNum_, zoomDen_)) + 8;
  int h = static_cast<int>(ZoomLength(screenHeight_, zoomNum_, zoomDen_)) + 8;
  if (direction_ == 1) {
    linePitch_ = FilmEdgeThickness + w + 8;
    cellLength_ = h;
    edgeBand_ = FilmEdgeThickness + 4;
  } else {
    linePitch_ = FilmEdgeThickness + h + 8;
    cellLength_ = w;
    edgeBand_ = FilmEdgeThickness + 4;
  }
}

QScrollBar* FrameStrip::AcrossBar() const {
  return direction_ == 2 ? verticalScrollBar() : horizontalScrollBar();
}
QScrollBar* FrameStrip::AlongBar() const {
  return direction_ == 2 ? horizontalScrollBar() : verticalScrollBar();
}
int FrameStrip::AcrossScroll() const { return AcrossBar()->value(); }
int FrameStrip::AlongScroll() const { return AlongBar()->value(); }

void FrameStrip::Relayout(bool erase) {
  // Asked after changes of zoom, direction or frames: pictures start over.
  if (erase) DropPictures();
  if (!animation_) {
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
    viewport()->update();
    return;
  }
  QSize client = viewport()->size();
  int alongExtent = direction_ == 2 ? client.width() : client.height();
  int acrossExtent = direction_ == 2 ? client.height() : client.width();
  // Along the lines: only one cell and its margins need room.
  int alongRange = cellLength_ + 2 * kMargin;
  QScrollBar* along = AlongBar();
  along->setRange(0, std::max(0, alongRange - alongExtent));
  along->setPageStep(std::max(1, alongExtent / 2 + 1));
  along->setSingleStep(alongExtent / 16 + 1);

  framesPerLine_ = std::max(1, (alongExtent - 2 * kMargin) / std::max(1, cellLength_));
  int count = std::max(0, static_cast<int>(animation_->frameCount));
  lines_ = (count + framesPerLine_ - 1) / framesPerLine_;
  QScrollBar* across = AcrossBar();
  across->setRange(0, std::max(0, linePitch_ * lines_ - acrossExtent));
  across->setPageStep(std::max(1, acrossExtent / 2 + 1));
  across->setSingleStep(acrossExtent / 16 + 1);
  viewport()->update();
}

void FrameStrip::ResetScroll(bool toStart) {
  if (toStart) {
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
  }
  Relayout(true);
}

void FrameStrip::RedrawAll() {
  DropPictures();
  viewport()->update();
}

void FrameStrip::RedrawSelected() { viewport()->update(); }

void FrameStrip::RedrawFrame(int index) {
  if (Frame* frame = animation_ ? FrameAt(*animation_, index) : nullptr) {
    auto it = pictures_.find(frame);
    if (it != pictures_.end()) {
      cachedBytes_ -=
          static_cast<size_t>(it->second.pixmap.width()) * it->second.pixmap.height() * 4;
      pictures_.erase(it);
    }
  }
  QRect r = FrameImageRect(index);
  if (r.isEmpty()) return;
  viewport()->update(r.adjusted(-4, -4, 4, 4));
}

void FrameStrip::DropPictures() {
  pictures_.clear();
  cachedBytes_ = 0;
}

void FrameStrip::TrimPictures() {
  while (cachedBytes_ > kPictureCacheBytes) {
    auto oldest = pictures_.end();
    for (auto it = pictures_.begin(); it != pictures_.end(); ++it)
      if (it->second.lastPaint < paintCount_ &&
          (oldest == pictures_.end() || it->second.lastPaint < oldest->second.lastPaint))
        oldest = it;
    if (oldest == pictures_.end()) return;  // all on screen now
    cachedBytes_ -=
        static_cast<size_t>(oldest->second.pixmap.width()) * oldest->second.pixmap.height() * 4;
    pictures_.erase(oldest);
  }
}

const QPixmap* FrameStrip::PictureOf(Frame* frame, int w, int h, QColor background) {
  uint64_t signature = PictureSignature(*frame);
  auto it = pictures_.find(frame);
  if (it != pictures_.end() && it->second.signature == signature &&
      it->second.pixmap.size() == QSize(w, h)) {
    it->second.lastPaint = paintCount_;
    return &it->second.pixmap;
  }
  if (it != pictures_.end()) {
    cachedBytes_ -= static_cast<size_t>(it->second.pixmap.width()) * it->second.pixmap.height() * 4;
    pictures_.erase(it);
  }
  QImage image = FrameImage(*frame, zoomNum_, zoomDen_, screenWidth_, screenHeight_, background);
  if (image.isNull()) return nullptr;
  ++picturesDrawn_;
  CachedPicture& entry = pictures_[frame];
  entry.pixmap = QPixmap::fromImage(std::move(image));
  entry.signature = signature;
  entry.lastPaint = paintCount_;
  cachedBytes_ += static_cast<size_t>(w) * h * 4;
  return &entry.pixmap;
}

void FrameStrip::EnsureVisible(int index) {
  if (!animation_ || index < 0 || framesPerLine_ <= 0) return;
  int line = index / framesPerLine_;
  AcrossBar()->setValue(line * linePitch_);  // the bar clamps to its range
}

int FrameStrip::HitTest(QPoint point) const {
  if (!animation_ || linePitch_ <= 0 || cellLength_ <= 0) return -1;
  int sx = point.x() + horizontalScrollBar()->value();
  int sy = point.y() + verticalScrollBar()->value();
  int across = direction_ == 2 ? sy : sx;
  int along = direction_ == 2 ? sx : sy;
  if (across < 0 || along < 0) return -1;
  int line = across / linePitch_;
  if (line >= lines_) return -1;
  if (across % linePitch_ < edgeBand_) return -1;
  if (along < kMargin) return -1;
  int slot = (along - kMargin) / cellLength_;
  if (slot >= framesPerLine_) return -1;
  int index = framesPerLine_ * line + slot;
  return index < animation_->frameCount ? index : -1;
}

QRect FrameStrip::FrameImageRect(int index) const {
  if (!animation_ || index < 0 || index >= animation_->frameCount) return {};
  int line = index / framesPerLine_, slot = index % framesPerLine_;
  int along = kMargin + cellLength_ * slot - AlongScroll();
  int across = linePitch_ * line + edgeBand_ - AcrossScroll();
  QPoint origin = direction_ == 2 ? QPoint(along, across) : QPoint(across, along);
  int w = static_cast<int>(ZoomLength(screenWidth_, zoomNum_, zoomDen_));
  int h = static_cast<int>(ZoomLength(screenHeight_, zoomNum_, zoomDen_));
  return QRect(origin + QPoint(4, 4), QSize(w, h));
}

int FrameStrip::InsertionPosition(QPoint point) const {
  if (!animation_ || linePitch_ <= 0 || cellLength_ <= 0) return -1;
  QSize client = viewport()->size();
  int across = direction_ == 2 ? point.y() : point.x();
  int along = direction_ == 2 ? point.x() : point.y();
  int acrossExtent = direction_ == 2 ? client.height() : client.width();
  QScrollBar* bar = AcrossBar();
  int line;
  if (across < 0) {
    if (bar->value() > bar->minimum()) return -1;
    line = 0;
  } else if (across >= acrossExtent) {
    if (bar->value() < bar->maximum()) return -1;
    line = std::max(0, lines_ - 1);
  } else {
    line = (across + bar->value()) / linePitch_;
    if (line >= lines_) return -1;
  }
  int slot = (along + AlongScroll() + cellLength_ / 2) / cellLength_;
  slot = std::clamp(slot, 0, framesPerLine_);
  int position = framesPerLine_ * line + slot;
  return std::min(position, static_cast<int>(animation_->frameCount));
}

bool FrameStrip::AnySelected() const {
  return animation_ && FirstSelectedFrame(*animation_) != nullptr;
}

// ---- Painting

void FrameStrip::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  p.fillRect(event->rect(), ButtonFace());
  UpdateIntro();
  if (!animation_ || lines_ == 0) return;
  int sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
  QRect update = event->rect();
  int first =
      direction_ == 2 ? (update.top() + sy) / linePitch_ : (update.left() + sx) / linePitch_;
  int last =
      direction_ == 2 ? (update.bottom() + sy) / linePitch_ : (update.right() + sx) / linePitch_;
  last = std::min(last, lines_ - 1);
  ++paintCount_;
  for (int line = std::max(0, first); line <= last; ++line) PaintLine(p, line, sx, sy);
  TrimPictures();
  if (dragging_ && dropPosition_ >= 0) PaintDropMarker(p);
}

void FrameStrip::PaintLine(QPainter& p, int line, int sx, int sy) {
  int count = animation_->frameCount;
  int inLine = std::min(framesPerLine_, count - line * framesPerLine_);
  int length = cellLength_ * inLine;
  int alongStart = kMargin - (direction_ == 2 ? sx : sy);
  int acrossStart = linePitch_ * line - (direction_ == 2 ? sy : sx);
  auto rect = [&](int along, int across, int alongLen, int acrossLen) {
    return direction_ == 2 ? QRect(along, across, alongLen, acrossLen)
                           : QRect(across, along, acrossLen, alongLen);
  };
  // The film: a dark band with sprocket holes along its leading edge, raised one pixel in.
  QRect film = rect(alongStart - 3, acrossStart + 1, length + 6, linePitch_ - 2);
  p.setPen(Qt::NoPen);
  p.fillRect(film, kFilm);
  QRect edge = rect(alongStart, acrossStart + 4, length, FilmEdgeThickness);
  p.drawTiledPixmap(edge, FilmEdgeTile(direction_ == 1));
  p.setPen(QColor(0x55, 0x5a, 0x62));
  p.drawLine(film.topLeft(), direction_ == 2 ? film.topRight() : film.bottomLeft());
  p.setPen(QColor(0x16, 0x18, 0x1b));
  p.drawLine(film.bottomRight(), direction_ == 2 ? film.bottomLeft() : film.topRight());

  Frame* frame = FrameAt(*animation_, line * framesPerLine_);
  for (int i = 0; i < inLine && frame; ++i, frame = NextFrame(frame)) {
    QRect cell = rect(alongStart + cellLength_ * i, acrossStart + edgeBand_, cellLength_, 0);
    PaintFrame(p, frame, cell.topLeft());
  }
}

void FrameStrip::PaintFrame(QPainter& p, Frame* frame, QPoint origin) {
  int w = static_cast<int>(ZoomLength(screenWidth_, zoomNum_, zoomDen_));
  int h = static_cast<int>(ZoomLength(screenHeight_, zoomNum_, zoomDen_));
  // Selection border, then the thin black frame just around the picture.
  QColor border = frame->selected ? QColor(255, 0, 0) : ButtonFace();
  p.setPen(Qt::NoPen);
  p.setBrush(border);
  p.drawRect(QRect(origin + QPoint(1, 1), QSize(w + 6, h + 6)));
  p.setBrush(Qt::black);
  p.drawRect(QRect(origin + QPoint(3, 3), QSize(w + 2, h + 2)));

  uint32_t mode = transparencyDisplay_ >> 24;
  QColor background =
      mode == 2 ? QColor::fromRgb(PixelFromColour(transparencyDisplay_ & 0xFFFFFF)) : ButtonFace();
  if (!frame->rgbPlane.empty() && !frame->alphaPlane.empty() && frame->blendedPlane.empty()) {
    uint32_t under = mode == 2 ? (transparencyDisplay_ & 0xFFFFFF) : 0xC0C0C0;
    BuildBlendedPlane(frame, under, 0);
  }
  // The picture and its copy for drawing must fit the picture budget; otherwise the cell stays
  // empty and the memory message comes once for the document.
  if (!PictureFitsBudget(static_cast<uint64_t>(w), 2ull * static_cast<uint64_t>(h), 4)) {
    if (!budgetWarned_) {
      budgetWarned_ = true;
      QTimer::singleShot(0, this, [] { ShowError("%s", ResText(40353).c_str()); });
    }
    return;
  }
  if (const QPixmap* picture = PictureOf(frame, w, h, background))
    p.drawPixmap(origin + QPoint(4, 4), *picture);
}

void FrameStrip::PaintDropMarker(QPainter& p) {
  int count = animation_->frameCount;
  int position = std::min(dropPosition_, count);
  int line = position / framesPerLine_, slot = position % framesPerLine_;
  if (line >= lines_ && line > 0) {  // just past the last frame of a full line
    line = lines_ - 1;
    slot = framesPerLine_;
  }
  int along = kMargin + cellLength_ * slot - AlongScroll();
  int across = linePitch_ * line + edgeBand_ - AcrossScroll();
  int thickness = cellLength_ == 0
                      ? 0
                      : (direction_ == 2 ? linePitch_ - edgeBand_ - 4 : linePitch_ - edgeBand_ - 4);
  QColor marker(0x1e, 0x88, 0xe5);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(marker);
  QRectF bar = direction_ == 2 ? QRectF(along - 1, across, 2, thickness)
                               : QRectF(across, along - 1, thickness, 2);
  p.drawRect(bar);
  // An 8 x 8 arrow at each end, pointing at the slot.
  auto arrow = [&](QPointF tip, QPointF back1, QPointF back2) {
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(back1);
    path.lineTo(back2);
    path.closeSubpath();
    p.drawPath(path);
  };
  if (direction_ == 2) {
    arrow({double(along), double(across)}, {along - 4.0, across - 8.0},
          {along + 4.0, across - 8.0});
    arrow({double(along), double(across + thickness)}, {along - 4.0, across + thickness + 8.0},
          {along + 4.0, across + thickness + 8.0});
  } else {
    arrow({double(across), double(along)}, {across - 8.0, along - 4.0},
          {across - 8.0, along + 4.0});
    arrow({double(across + thickness), double(along)}, {across + thickness + 8.0, along - 4.0},
          {across + thickness + 8.0, along + 4.0});
  }
  p.setRenderHint(QPainter::Antialiasing, false);
}

void FrameStrip::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Relayout();
}

void FrameStrip::scrollContentsBy(int, int) { viewport()->update(); }

// ---- Intro panel

void FrameStrip::UpdateIntro() {
  bool want = !animation_ && !PrefOn(Pref::HideIntroPanel);
  if (want && !intro_) {
    intro_ = new IntroPanel(viewport());
    intro_->move(40, 40);
    connect(intro_, &IntroPanel::commandRequested, this, &FrameStrip::commandRequested);
  }
  if (intro_ && intro_->isVisible() != want) intro_->setVisible(want);
}

// ---- Mouse

int FrameStrip::ModeFromModifiers(Qt::KeyboardModifiers modifiers) const {
  if (modifiers & Qt::ShiftModifier) return selmode::Extend;
  if (modifiers & Qt::ControlModifier) return selmode::Toggle;
  return selmode::Only;
}

void FrameStrip::mousePressEvent(QMouseEvent* event) {
  if (!animation_) return;
  HideTip();
  setFocus(Qt::MouseFocusReason);
  QPoint point = event->position().toPoint();
  pressPoint_ = point;
  pressIndex_ = HitTest(point);
  selectionMade_ = false;
  Qt::KeyboardModifiers keys = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
  Frame* frame = FrameAt(*animation_, pressIndex_);
  if (pressIndex_ >= 0 && frame && !frame->selected && keys == Qt::NoModifier) {
    emit selectRequested(pressIndex_, selmode::Only);
    selectionMade_ = true;
  } else if (pressIndex_ < 0 && keys == Qt::NoModifier) {
    emit selectRequested(-1, selmode::Only);
    selectionMade_ = true;
  }
  armed_ = event->button() == Qt::LeftButton && current_ >= 0 && pressIndex_ >= 0;
}

void FrameStrip::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!animation_) return;
  mousePressEvent(event);
  armed_ = false;
  emit commandRequested(AnySelected() ? cmd::FrameProperties : cmd::AnimationProperties);
}

void FrameStrip::mouseMoveEvent(QMouseEvent* event) {
  QPoint point = event->position().toPoint();
  if (dragging_) {
    lastDragPoint_ = point;
    UpdateDropMarker(point);
    return;
  }
  if (armed_ && (event->buttons() & Qt::LeftButton)) {
    if (std::abs(point.x() - pressPoint_.x()) < kDragThreshold &&
        std::abs(point.y() - pressPoint_.y()) < kDragThreshold)
      return;
    Qt::KeyboardModifiers keys = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    Frame* frame = FrameAt(*animation_, pressIndex_);
    if (keys != Qt::NoModifier && frame && !frame->selected) {
      emit selectRequested(pressIndex_, ModeFromModifiers(keys));
    }
    if (!AnySelected()) {
      armed_ = false;
      return;
    }
    dragging_ = true;
    armed_ = false;
    // The grab goes on the viewport: the scroll area itself drops mouse events, so a grab
    // there would swallow the release.
    viewport()->grabMouse(Qt::SizeAllCursor);
    dropPosition_ = -1;
    lastDragPoint_ = point;
    UpdateDropMarker(point);
    return;
  }
  if (event->buttons() == Qt::NoButton && tipsOn_ && animation_) {
    int index = HitTest(point);
    if (index >= 0) {
      ShowTipFor(index, event->globalPosition().toPoint());
    } else {
      HideTip();
    }
  }
}

void FrameStrip::mouseReleaseEvent(QMouseEvent* event) {
  QPoint point = event->position().toPoint();
  if (dragging_) {
    EndDrag(true, point);
    return;
  }
  armed_ = false;
  if (!animation_) return;
  int index = HitTest(point);
  if (!selectionMade_ && event->button() != Qt::RightButton) {
    Qt::KeyboardModifiers keys = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    emit selectRequested(index, ModeFromModifiers(keys));
  } else if (!selectionMade_ && event->button() == Qt::RightButton) {
    Frame* frame = FrameAt(*animation_, index);
    if (index >= 0 && frame && !frame->selected) emit selectRequested(index, selmode::Only);
  }
  selectionMade_ = false;
  if (event->button() == Qt::RightButton) {
    emit contextMenuRequested(event->globalPosition().toPoint(), AnySelected());
    return;
  }
  if (tipsOn_ && index >= 0) ShowTipFor(index, event->globalPosition().toPoint());
}

void FrameStrip::UpdateDropMarker(QPoint point) {
  QSize client = viewport()->size();
  int across = direction_ == 2 ? point.y() : point.x();
  int acrossExtent = direction_ == 2 ? client.height() : client.width();
  QScrollBar* bar = AcrossBar();
  bool outside = (across < 0 && bar->value() > bar->minimum()) ||
                 (across >= acrossExtent && bar->value() < bar->maximum());
  if (outside && !autoScroll_.isActive()) autoScroll_.start();
  if (!outside) autoScroll_.stop();
  int position = InsertionPosition(point);
  if (position != dropPosition_) {
    dropPosition_ = position;
    viewport()->update();
  }
}

void FrameStrip::AutoScrollTick() {
  if (!dragging_) {
    autoScroll_.stop();
    return;
  }
  int across = direction_ == 2 ? lastDragPoint_.y() : lastDragPoint_.x();
  QScrollBar* bar = AcrossBar();
  bar->triggerAction(across < 0 ? QAbstractSlider::SliderSingleStepSub
                                : QAbstractSlider::SliderSingleStepAdd);
  UpdateDropMarker(lastDragPoint_);
}

void FrameStrip::EndDrag(bool apply, QPoint point) {
  viewport()->releaseMouse();
  autoScroll_.stop();
  dragging_ = false;
  int position = apply ? InsertionPosition(point) : -1;
  dropPosition_ = -1;
  viewport()->update();
  if (position >= 0) emit moveRequested(position);
}

// ---- Keyboard and wheel

void FrameStrip::keyPressEvent(QKeyEvent* event) {
  if (dragging_ && event->key() == Qt::Key_Escape) {
    EndDrag(false, {});
    return;
  }
  if (!animation_) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  int step = 0;
  bool rows = direction_ == 2;
  switch (event->key()) {
    case Qt::Key_Left: step = rows ? -1 : -framesPerLine_; break;
    case Qt::Key_Right: step = rows ? 1 : framesPerLine_; break;
    case Qt::Key_Up: step = rows ? -framesPerLine_ : -1; break;
    case Qt::Key_Down: step = rows ? framesPerLine_ : 1; break;
    case Qt::Key_PageUp: AcrossBar()->triggerAction(QAbstractSlider::SliderPageStepSub); return;
    case Qt::Key_PageDown: AcrossBar()->triggerAction(QAbstractSlider::SliderPageStepAdd); return;
    case Qt::Key_Home: AcrossBar()->triggerAction(QAbstractSlider::SliderToMinimum); return;
    case Qt::Key_End: AcrossBar()->triggerAction(QAbstractSlider::SliderToMaximum); return;
    default: QAbstractScrollArea::keyPressEvent(event); return;
  }
  if (current_ < 0) return;
  int target = current_ + step;
  if (target < 0 || target >= animation_->frameCount) target = current_;
  Qt::KeyboardModifiers keys = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
  emit selectRequested(target, ModeFromModifiers(keys));
  EnsureVisible(target);
}

void FrameStrip::wheelEvent(QWheelEvent* event) {
  if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
    event->ignore();
    return;
  }
  // Touchpads and fine wheels send fractions of a notch: keep the remainder until a whole
  // notch has gathered. The bar that scrolls depends on the layout.
  QPoint delta = event->angleDelta();
  int amount = delta.y() != 0 ? delta.y() : delta.x();
  bool turned = (amount < 0 && wheelRemainder_ > 0) || (amount > 0 && wheelRemainder_ < 0);
  if (turned) wheelRemainder_ = 0;
  wheelRemainder_ += amount;
  int notches = wheelRemainder_ / 120;
  wheelRemainder_ -= notches * 120;
  QScrollBar* bar = AcrossBar();
  for (int i = 0; i < std::abs(notches); ++i) {
    bar->triggerAction(notches < 0 ? QAbstractSlider::SliderSingleStepAdd
                                   : QAbstractSlider::SliderSingleStepSub);
  }
  event->accept();
}

void FrameStrip::leaveEvent(QEvent* event) {
  HideTip();
  QAbstractScrollArea::leaveEvent(event);
}

// ---- Files dropped from a file manager

void FrameStrip::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FrameStrip::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FrameStrip::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  emit filesDropped(paths, HitTest(event->position().toPoint()));
}

// ---- Tips

void FrameStrip::ShowTipFor(int index, QPoint globalPosition) {
  if (!animation_ || !tipsOn_) return;
  tip_->ShowFrame(*animation_, index, tipBits_, globalPosition + QPoint(12, 22));
}

void FrameStrip::HideTip() {
  if (tip_) tip_->hide();
}

// ---------------------------------------------------------------------------------------------
// Intro panel

namespace {
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
