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
#include "ui/window/intro_panel.h"

namespace lw {

namespace {

constexpr int kZoom[8][2] = {{1, 5}, {1, 4}, {1, 3}, {1, 2}, {1, 1}, {2, 1}, {3, 1}, {4, 1}};
constexpr int kDragThreshold = 3;
// Pictures kept between paints, beyond those one paint shows.
constexpr size_t kPictureCacheBytes = 8u << 20;
const QColor kFilm(0x2b, 0x2e, 0x33);

QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }

static_assert(StripLayout::EdgeThickness == FilmEdgeThickness, "the film's sprocket band");

QImage FrameImage(const Frame& frame, int numerator, int denominator, uint32_t screenWidth,
                  uint32_t screenHeight, QColor background, uint32_t backdrop) {
  int w = static_cast<int>(ZoomLength(screenWidth, numerator, denominator));
  int h = static_cast<int>(ZoomLength(screenHeight, numerator, denominator));
  PixelSurface surface;
  if (w <= 0 || h <= 0 || !ResizeSurface(&surface, w, h, background.rgb() | 0xFF000000u)) return {};
  // The DIB's colour table holds the display colour at the transparent index: drawn opaque.
  DrawFrameOver(frame, surface.View(), 0, 0, numerator, denominator, false, backdrop);
  QImage image(reinterpret_cast<const uchar*>(surface.pixels.data()), w, h, w * 4,
               QImage::Format_RGB32);
  return image.copy();
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
  RedrawAll();
}

void FrameStrip::SetTipsEnabled(bool on) {
  tipsOn_ = on;
  if (!on) HideTip();
}

void FrameStrip::ComputeGeometry() {
  layout_.SetCell(direction_, screenWidth_, screenHeight_, zoomNum_, zoomDen_);
}

QScrollBar* FrameStrip::AcrossBar() const {
  return direction_ == 2 ? verticalScrollBar() : horizontalScrollBar();
}
QScrollBar* FrameStrip::AlongBar() const {
  return direction_ == 2 ? horizontalScrollBar() : verticalScrollBar();
}
StripPoint FrameStrip::Scroll() const {
  return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

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
  layout_.Fit(animation_->frameCount, client.width(), client.height());
  int alongExtent = layout_.AlongExtent(), acrossExtent = layout_.AcrossExtent();
  QScrollBar* along = AlongBar();
  along->setRange(0, layout_.AlongMaximum());
  along->setPageStep(std::max(1, alongExtent / 2 + 1));
  along->setSingleStep(alongExtent / 16 + 1);
  QScrollBar* across = AcrossBar();
  across->setRange(0, layout_.AcrossMaximum());
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

const QPixmap* FrameStrip::PictureOf(const Frame* frame, int w, int h, QColor background) {
  auto it = pictures_.find(frame);
  if (it != pictures_.end() && it->second.version == frame->version &&
      it->second.pixmap.size() == QSize(w, h)) {
    it->second.lastPaint = paintCount_;
    return &it->second.pixmap;
  }
  if (it != pictures_.end()) {
    cachedBytes_ -= static_cast<size_t>(it->second.pixmap.width()) * it->second.pixmap.height() * 4;
    pictures_.erase(it);
  }
  QImage image = FrameImage(*frame, zoomNum_, zoomDen_, screenWidth_, screenHeight_, background,
                            AlphaBackdrop(transparencyDisplay_));
  if (image.isNull()) return nullptr;
  ++picturesDrawn_;
  CachedPicture& entry = pictures_[frame];
  entry.pixmap = QPixmap::fromImage(std::move(image));
  entry.version = frame->version;
  entry.lastPaint = paintCount_;
  cachedBytes_ += static_cast<size_t>(w) * h * 4;
  return &entry.pixmap;
}

void FrameStrip::EnsureVisible(int index) {
  if (!animation_ || index < 0) return;
  AcrossBar()->setValue(layout_.LineStart(index));  // the bar clamps to its range
}

int FrameStrip::HitTest(QPoint point) const {
  if (!animation_) return -1;
  return layout_.HitTest({point.x(), point.y()}, Scroll());
}

QRect FrameStrip::FrameImageRect(int index) const {
  if (!animation_) return {};
  StripRect r = layout_.ImageRect(index, Scroll());
  return QRect(r.x, r.y, r.width, r.height);
}

int FrameStrip::InsertionPosition(QPoint point) const {
  if (!animation_) return -1;
  return layout_.InsertionPosition({point.x(), point.y()}, Scroll());
}

bool FrameStrip::AnySelected() const {
  return animation_ && FirstSelectedFrame(*animation_) != nullptr;
}

// ---- Painting

void FrameStrip::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  p.fillRect(event->rect(), ButtonFace());
  UpdateIntro();
  if (!animation_ || layout_.Lines() == 0) return;
  QRect update = event->rect();
  bool rows = direction_ == 2;
  int first, last;
  layout_.LinesBetween(rows ? update.top() : update.left(), rows ? update.bottom() : update.right(),
                       layout_.Across(Scroll()), &first, &last);
  int sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
  ++paintCount_;
  for (int line = first; line <= last; ++line) PaintLine(p, line, sx, sy);
  TrimPictures();
  if (dragging_ && dropPosition_ >= 0) PaintDropMarker(p);
}

void FrameStrip::PaintLine(QPainter& p, int line, int sx, int sy) {
  int count = animation_->frameCount;
  int perLine = layout_.FramesPerLine(), cellLength = layout_.CellLength();
  int linePitch = layout_.LinePitch();
  int inLine = std::min(perLine, count - line * perLine);
  int length = cellLength * inLine;
  int alongStart = StripLayout::Margin - (direction_ == 2 ? sx : sy);
  int acrossStart = linePitch * line - (direction_ == 2 ? sy : sx);
  auto rect = [&](int along, int across, int alongLen, int acrossLen) {
    StripRect r = layout_.Oriented(along, across, alongLen, acrossLen);
    return QRect(r.x, r.y, r.width, r.height);
  };
  // The film: a dark band with sprocket holes along its leading edge, raised one pixel in.
  QRect film = rect(alongStart - 3, acrossStart + 1, length + 6, linePitch - 2);
  p.setPen(Qt::NoPen);
  p.fillRect(film, kFilm);
  QRect edge = rect(alongStart, acrossStart + 4, length, FilmEdgeThickness);
  p.drawTiledPixmap(edge, FilmEdgeTile(direction_ == 1));
  p.setPen(QColor(0x55, 0x5a, 0x62));
  p.drawLine(film.topLeft(), direction_ == 2 ? film.topRight() : film.bottomLeft());
  p.setPen(QColor(0x16, 0x18, 0x1b));
  p.drawLine(film.bottomRight(), direction_ == 2 ? film.bottomLeft() : film.topRight());

  const Frame* frame = FrameAt(*animation_, line * perLine);
  for (int i = 0; i < inLine && frame; ++i, frame = NextFrame(frame)) {
    QRect cell = rect(alongStart + cellLength * i, acrossStart + layout_.EdgeBand(), cellLength, 0);
    PaintFrame(p, frame, cell.topLeft());
  }
}

void FrameStrip::PaintFrame(QPainter& p, const Frame* frame, QPoint origin) {
  int w = layout_.ImageWidth(), h = layout_.ImageHeight();
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
  // The picture and its copy for drawing must fit the picture budget; otherwise the cell stays
  // empty and the memory message comes once for the document.
  if (!PictureFitsBudget(static_cast<uint64_t>(w), 2ull * static_cast<uint64_t>(h), 4)) {
    if (!budgetWarned_) {
      budgetWarned_ = true;
      QTimer::singleShot(0, this,
                         [] { ShowError("%s", ResText(str::NoResourcesForPreview).c_str()); });
    }
    return;
  }
  if (const QPixmap* picture = PictureOf(frame, w, h, background))
    p.drawPixmap(origin + QPoint(4, 4), *picture);
}

void FrameStrip::PaintDropMarker(QPainter& p) {
  StripPoint start = layout_.MarkerStart(dropPosition_, Scroll());
  int along = layout_.Along(start), across = layout_.Across(start);
  int thickness = layout_.CellLength() == 0 ? 0 : layout_.LinePitch() - layout_.EdgeBand() - 4;
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
    case Qt::Key_Left: step = rows ? -1 : -FramesPerLine(); break;
    case Qt::Key_Right: step = rows ? 1 : FramesPerLine(); break;
    case Qt::Key_Up: step = rows ? -FramesPerLine() : -1; break;
    case Qt::Key_Down: step = rows ? FramesPerLine() : 1; break;
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

}  // namespace lw
