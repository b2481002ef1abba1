#include "ui/dialogs/move_crop_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

namespace {

constexpr int kMargin = 14;
constexpr int kMaxZoom = 8;
constexpr int kFieldLimit = 65535;

enum FieldIndex { kLeft, kTop, kRight, kBottom, kX, kY };

QIcon AlignIcon(MoveCropAlign align) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  QRect box(5, 5, 6, 6);
  auto vertical = [&](int x) { p.drawLine(x, 1, x, 14); };
  auto horizontal = [&](int y) { p.drawLine(1, y, 14, y); };
  switch (align) {
    case MoveCropAlign::Left:
      vertical(2);
      box.moveLeft(4);
      break;
    case MoveCropAlign::Right:
      vertical(13);
      box.moveRight(11);
      break;
    case MoveCropAlign::Top:
      horizontal(2);
      box.moveTop(4);
      break;
    case MoveCropAlign::Bottom:
      horizontal(13);
      box.moveBottom(11);
      break;
    case MoveCropAlign::CentreHorizontally: vertical(7); break;
    case MoveCropAlign::CentreVertically: horizontal(7); break;
    case MoveCropAlign::Centre:
      vertical(7);
      horizontal(7);
      break;
  }
  p.fillRect(box, QColor(60, 110, 200, 200));
  return QIcon(pixmap);
}

QRect ToQRect(const ViewRect& r) {
  return QRect(QPoint(static_cast<int>(r.left), static_cast<int>(r.top)),
               QPoint(static_cast<int>(r.right) - 1, static_cast<int>(r.bottom) - 1));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The view

MoveCropView::MoveCropView(const Animation* animation, int frameIndex, MoveCropState* state,
                           bool canMove, QWidget* parent)
    : QWidget(parent),
      animation_(animation),
      frameIndex_(frameIndex),
      state_(state),
      canMove_(canMove) {
  setObjectName(QStringLiteral("MyMoveCrop"));
  setMouseTracking(true);
  setMinimumSize(240, 180);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  const int count = std::max<int>(animation->frameCount, 0);
  images_.resize(static_cast<size_t>(count));
  drawn_.assign(static_cast<size_t>(count), false);
  ChooseZoom();
}

void MoveCropView::SetReference(int which, bool shown) {
  (which < 0 ? showPrevious_ : which > 0 ? showNext_ : showFirst_) = shown;
  update();
}

void MoveCropView::SetShowCropped(bool on) {
  showCropped_ = on;
  update();
}

void MoveCropView::ChooseZoom() {
  const int64_t W = std::max(state_->screenWidth, 1), H = std::max(state_->screenHeight, 1);
  const int64_t availW = std::max(width() - 2 * kMargin, 1),
                availH = std::max(height() - 2 * kMargin, 1);
  if (W <= availW && H <= availH) {
    numerator_ =
        static_cast<int>(std::clamp<int64_t>(std::min(availW / W, availH / H), 1, kMaxZoom));
    denominator_ = 1;
  } else {
    numerator_ = 1;
    denominator_ = static_cast<int>(std::clamp<int64_t>(
        std::max((W + availW - 1) / availW, (H + availH - 1) / availH), 1, 65535));
  }
}

QPoint MoveCropView::ScreenToView(int64_t x, int64_t y) const {
  const int64_t shownW = int64_t{state_->screenWidth} * numerator_ / denominator_;
  const int64_t shownH = int64_t{state_->screenHeight} * numerator_ / denominator_;
  const int64_t ox = (width() - shownW) / 2, oy = (height() - shownH) / 2;
  return QPoint(static_cast<int>(ox + x * numerator_ / denominator_),
                static_cast<int>(oy + y * numerator_ / denominator_));
}

ViewRect MoveCropView::CropRect() const {
  const MoveCropState& s = *state_;
  QPoint a = ScreenToView(int64_t{s.x} + s.left, int64_t{s.y} + s.top);
  QPoint b = ScreenToView(int64_t{s.x} + s.right, int64_t{s.y} + s.bottom);
  return {a.x(), a.y(), b.x(), b.y()};
}

ViewRect MoveCropView::FrameRect() const {
  const MoveCropState& s = *state_;
  QPoint a = ScreenToView(s.x, s.y);
  QPoint b = ScreenToView(int64_t{s.x} + s.w, int64_t{s.y} + s.h);
  return {a.x(), a.y(), b.x(), b.y()};
}

const QImage& MoveCropView::ImageOf(int index) {
  static const QImage none;
  if (index < 0 || static_cast<size_t>(index) >= images_.size()) return none;
  if (!drawn_[static_cast<size_t>(index)]) {
    drawn_[static_cast<size_t>(index)] = true;
    const Frame* f = FrameAt(*animation_, index);
    PixelSurface surface;
    // Transparent pixels stay at 0 (no alpha): what lies behind shows through them.
    if (f && ResizeSurface(&surface, static_cast<int>(f->width), static_cast<int>(f->height), 0)) {
      DrawFrameOver(*f, surface.View(), -int64_t{f->left}, -int64_t{f->top}, 1, 1, true,
                    AlphaBackdrop(GetPref(PrefTransparencyDisplay)));
      images_[static_cast<size_t>(index)] =
          QImage(reinterpret_cast<const uchar*>(surface.pixels.data()), surface.width,
                 surface.height, surface.width * 4, QImage::Format_ARGB32)
              .copy();
    }
  }
  return images_[static_cast<size_t>(index)];
}

void MoveCropView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const MoveCropState& s = *state_;
  const QRect screen(ScreenToView(0, 0),
                     ScreenToView(s.screenWidth, s.screenHeight) - QPoint(1, 1));
  p.fillRect(screen, Qt::white);
  const QRect crop = ToQRect(CropRect());
  auto place = [&](int64_t x, int64_t y, const QImage& image) {
    QPoint a = ScreenToView(x, y);
    QPoint b = ScreenToView(x + image.width(), y + image.height());
    return QRect(a, b - QPoint(1, 1));
  };

  // The kept part alone, or everything with the part cut away dimmed.
  p.save();
  if (showCropped_) p.setClipRect(crop);
  std::vector<int> behind;
  if (showFirst_) behind.push_back(0);
  if (showPrevious_) behind.push_back(frameIndex_ - 1);
  if (showNext_) behind.push_back(frameIndex_ + 1);
  for (int index : behind) {
    const Frame* f = FrameAt(*animation_, index);
    if (!f || index == frameIndex_) continue;
    const QImage& image = ImageOf(index);
    if (!image.isNull()) p.drawImage(place(f->left, f->top, image), image);
  }
  if (const Frame* current = FrameAt(*animation_, frameIndex_)) {
    const QImage& image = ImageOf(frameIndex_);
    // The frame dialog draws the frame where it is being moved to.
    const int64_t x = canMove_ ? s.x : current->left, y = canMove_ ? s.y : current->top;
    if (!image.isNull()) p.drawImage(place(x, y, image), image);
  }
  p.restore();
  if (!showCropped_) {
    QPainterPath cut;
    cut.addRect(canMove_ ? ToQRect(FrameRect()).united(screen) : screen);
    QPainterPath kept;
    kept.addRect(crop);
    p.fillPath(cut.subtracted(kept), QColor(0, 0, 0, 90));
  }

  // The screen's edge stays visible over a frame that reaches beyond it.
  p.setPen(QPen(Qt::black, 1));
  p.drawRect(screen.adjusted(-1, -1, 0, 0));
  QPen dashed(QColor(200, 0, 0), 1, Qt::DashLine);
  p.setPen(dashed);
  p.drawRect(crop.adjusted(0, 0, -1, -1));
  // Handles on the corners and the middles of the sides.
  const int midX = crop.left() + crop.width() / 2, midY = crop.top() + crop.height() / 2;
  const QPoint handles[] = {crop.topLeft(),        {midX, crop.top()},   crop.topRight(),
                            {crop.left(), midY},   {crop.right(), midY}, crop.bottomLeft(),
                            {midX, crop.bottom()}, crop.bottomRight()};
  p.setPen(QPen(QColor(200, 0, 0), 1));
  for (const QPoint& h : handles)
    p.fillRect(QRect(h - QPoint(2, 2), QSize(5, 5)), QColor(200, 0, 0));
}

void MoveCropView::resizeEvent(QResizeEvent*) { ChooseZoom(); }

CropHit MoveCropView::HitAt(QPoint p) const {
  const ViewRect whole = FrameRect();
  const bool wholeShown = canMove_ && !showCropped_;
  return HitTestCrop(CropRect(), p.x(), p.y(), canMove_, wholeShown ? &whole : nullptr);
}

void MoveCropView::ShowCursor(CropHit hit) {
  Qt::CursorShape shape = Qt::ArrowCursor;
  switch (hit) {
    case CropHit::Move: shape = Qt::SizeAllCursor; break;
    case CropHit::Left:
    case CropHit::Right: shape = Qt::SizeHorCursor; break;
    case CropHit::Top:
    case CropHit::Bottom: shape = Qt::SizeVerCursor; break;
    case CropHit::TopLeft:
    case CropHit::BottomRight: shape = Qt::SizeFDiagCursor; break;
    case CropHit::TopRight:
    case CropHit::BottomLeft: shape = Qt::SizeBDiagCursor; break;
    case CropHit::None: break;
  }
  setCursor(shape);
}

void MoveCropView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  CropHit hit = HitAt(event->position().toPoint());
  if (hit == CropHit::None) return;
  dragging_ = true;
  hit_ = hit;
  anchor_ = event->position().toPoint();
}

void MoveCropView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (!dragging_) {
    ShowCursor(HitAt(p));
    return;
  }
  const QRect screen(ScreenToView(0, 0), ScreenToView(state_->screenWidth, state_->screenHeight));
  if (!screen.adjusted(-3, -3, 3, 3).contains(p)) {
    setCursor(Qt::ArrowCursor);
    return;
  }
  ShowCursor(hit_);
  const int64_t dx = ViewToScreen(p.x() - anchor_.x(), numerator_, denominator_);
  const int64_t dy = ViewToScreen(p.y() - anchor_.y(), numerator_, denominator_);
  // Slow movements add up until they make a whole screen pixel.
  if (dx != 0) anchor_.setX(p.x());
  if (dy != 0) anchor_.setY(p.y());
  if (dx == 0 && dy == 0) return;
  DragMoveCrop(state_, hit_, dx, dy);
  update();
  emit changed();
}

void MoveCropView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  hit_ = CropHit::None;
  ShowCursor(HitAt(event->position().toPoint()));
}

// ---------------------------------------------------------------------------------------------
// The dialog

MoveCropDialog::MoveCropDialog(Animation* animation, int frameIndex, bool wholeAnimation,
                               QWidget* parent)
    : QDialog(parent), animation_(animation), whole_(wholeAnimation) {
  setObjectName(QStringLiteral("MoveCropDialog"));
  setWindowTitle(UiText(whole_ ? str::CropAnimationTitle : str::MoveCropTitle));
  state_.screenWidth = static_cast<int32_t>(std::max<uint32_t>(animation->screenWidth, 1));
  state_.screenHeight = static_cast<int32_t>(std::max<uint32_t>(animation->screenHeight, 1));
  const Frame* frame = FrameAt(*animation, frameIndex);
  if (whole_ || !frame) {
    state_.w = state_.screenWidth;
    state_.h = state_.screenHeight;
  } else {
    state_.x = frame->left;
    state_.y = frame->top;
    state_.w = static_cast<int32_t>(std::max<uint32_t>(frame->width, 1));
    state_.h = static_cast<int32_t>(std::max<uint32_t>(frame->height, 1));
  }
  state_.right = state_.w;
  state_.bottom = state_.h;
  ConstrainMoveCrop(&state_);
  initial_ = state_;

  const Pref croppedBit = whole_ ? Pref::ShowAnimationCropped : Pref::ShowFrameCropped;
  const int shownFrame = whole_ && !frame ? 0 : frameIndex;
  view_ = new MoveCropView(animation, shownFrame, &state_, !whole_, this);
  connect(view_, &MoveCropView::changed, this, &MoveCropDialog::ShowState);

  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  left->addWidget(view_, 1);
  keptSize_ = new QLabel(this);
  keptSize_->setObjectName(QStringLiteral("keptSize"));
  keptSize_->setAlignment(Qt::AlignCenter);
  left->addWidget(keptSize_);
  auto* shows = new QHBoxLayout;
  const struct {
    int text;
    int which;
  } references[] = {
      {str::MoveCropShowPrevious, -1}, {str::MoveCropShowNext, 1}, {str::MoveCropShowFirst, 0}};
  for (const auto& r : references) {
    auto* box = new QCheckBox(UiText(r.text), this);
    const int which = r.which;
    connect(box, &QCheckBox::toggled, this,
            [this, which](bool on) { view_->SetReference(which, on); });
    shows->addWidget(box);
  }
  showCropped_ = new QCheckBox(
      UiText(whole_ ? str::MoveCropShowCroppedAnimation : str::MoveCropShowCroppedFrame), this);
  showCropped_->setObjectName(QStringLiteral("showCropped"));
  showCropped_->setChecked(PrefOn(croppedBit));
  view_->SetShowCropped(showCropped_->isChecked());
  connect(showCropped_, &QCheckBox::toggled, this, [this, croppedBit](bool on) {
    SetPrefOn(croppedBit, on);
    view_->SetShowCropped(on);
  });
  shows->addWidget(showCropped_);
  shows->addStretch(1);
  left->addLayout(shows);
  layout->addLayout(left, 1);

  auto* right = new QVBoxLayout;
  typing_ = new QTimer(this);
  typing_->setSingleShot(true);
  typing_->setInterval(700);
  connect(typing_, &QTimer::timeout, this, &MoveCropDialog::FlushTyping);
  auto makeField = [this](int which, const char* name) {
    auto* box = new QSpinBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(-kFieldLimit, kFieldLimit);
    box->installEventFilter(this);
    fields_[which] = box;
    connect(box, &QSpinBox::valueChanged, this, [this, which] {
      if (updating_) return;
      // Typed digits wait for a pause; a spin click counts at once.
      if (typedField_ == which) {
        typing_->start();
        return;
      }
      FieldEdited(which);
    });
    return box;
  };
  auto* cropBox = new QGroupBox(UiText(str::MoveCropCropGroup), this);
  auto* cropGrid = new QGridLayout(cropBox);
  const struct {
    int which, text;
    const char* name;
  } cropFields[] = {{kLeft, str::MoveCropLeft, "left"},
                    {kTop, str::MoveCropTop, "top"},
                    {kRight, str::MoveCropRight, "right"},
                    {kBottom, str::MoveCropBottom, "bottom"}};
  for (const auto& f : cropFields) {
    cropGrid->addWidget(new QLabel(UiText(f.text), cropBox), f.which, 0);
    cropGrid->addWidget(makeField(f.which, f.name), f.which, 1);
  }
  if (whole_) {
    auto* autoButton = new QPushButton(UiText(str::MoveCropAuto), cropBox);
    autoButton->setObjectName(QStringLiteral("auto"));
    connect(autoButton, &QPushButton::clicked, this, &MoveCropDialog::AutoRectangle);
    cropGrid->addWidget(autoButton, 4, 0, 1, 2);
  }
  right->addWidget(cropBox);

  if (!whole_) {
    auto* positionBox = new QGroupBox(UiText(str::MoveCropPositionGroup), this);
    auto* grid = new QGridLayout(positionBox);
    grid->addWidget(new QLabel(UiText(str::MoveCropX), positionBox), 0, 0);
    grid->addWidget(makeField(kX, "x"), 0, 1);
    grid->addWidget(new QLabel(UiText(str::MoveCropY), positionBox), 1, 0);
    grid->addWidget(makeField(kY, "y"), 1, 1);
    auto* tools = new QHBoxLayout;
    tools->setSpacing(1);
    const struct {
      MoveCropAlign align;
      int tip;
      const char* name;
    } aligns[] = {
        {MoveCropAlign::Left, str::MoveCropAlignLeft, "alignLeft"},
        {MoveCropAlign::Right, str::MoveCropAlignRight, "alignRight"},
        {MoveCropAlign::Top, str::MoveCropAlignTop, "alignTop"},
        {MoveCropAlign::Bottom, str::MoveCropAlignBottom, "alignBottom"},
        {MoveCropAlign::CentreHorizontally, str::MoveCropCentreHorizontally, "centreHorizontally"},
        {MoveCropAlign::CentreVertically, str::MoveCropCentreVertically, "centreVertically"},
        {MoveCropAlign::Centre, str::MoveCropCentre, "centre"},
    };
    for (const auto& a : aligns) {
      auto* button = new QToolButton(positionBox);
      button->setObjectName(QString::fromLatin1(a.name));
      button->setIcon(AlignIcon(a.align));
      button->setToolTip(UiText(a.tip));
      button->setAutoRaise(true);
      const MoveCropAlign align = a.align;
      connect(button, &QToolButton::clicked, this, [this, align] { Align(align); });
      tools->addWidget(button);
    }
    tools->addStretch(1);
    grid->addLayout(tools, 2, 0, 1, 2);
    right->addWidget(positionBox);
  }
  reset_ = new QPushButton(UiText(str::MoveCropReset), this);
  reset_->setObjectName(QStringLiteral("reset"));
  connect(reset_, &QPushButton::clicked, this, [this] {
    typedField_ = -1;
    typing_->stop();
    state_ = initial_;
    ShowState();
  });
  right->addWidget(reset_);
  right->addStretch(1);
  auto* buttons = OkCancelButtons(this);
  buttons->setOrientation(Qt::Vertical);
  right->addWidget(buttons);
  layout->addLayout(right);
  ShowState();
}

bool MoveCropDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool spinKey = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
                         key == Qt::Key_PageDown;
    for (int i = 0; i < 6; ++i) {
      if (fields_[i] && watched == fields_[i] && !spinKey &&
          !static_cast<QKeyEvent*>(event)->text().isEmpty()) {
        if (typedField_ >= 0 && typedField_ != i) FlushTyping();
        typedField_ = i;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void MoveCropDialog::FlushTyping() {
  typing_->stop();
  const int which = typedField_;
  typedField_ = -1;
  if (which >= 0) FieldEdited(which);
}

void MoveCropDialog::FieldEdited(int which) {
  const int v = fields_[which]->value();
  switch (which) {
    case kLeft: state_.left = v; break;
    case kTop: state_.top = v; break;
    case kRight: state_.right = v; break;
    case kBottom: state_.bottom = v; break;
    case kX: state_.x = v; break;
    case kY: state_.y = v; break;
  }
  ConstrainMoveCrop(&state_);
  ShowState();
}

void MoveCropDialog::ShowState() {
  updating_ = true;
  const int values[6] = {state_.left, state_.top, state_.right, state_.bottom, state_.x, state_.y};
  for (int i = 0; i < 6; ++i)
    if (fields_[i] && typedField_ != i) fields_[i]->setValue(values[i]);
  updating_ = false;
  keptSize_->setText(QString::asprintf(TableText(str::MoveCropKeptSize), state_.right - state_.left,
                                       state_.bottom - state_.top));
  const MoveCropState& a = state_;
  const MoveCropState& b = initial_;
  reset_->setEnabled(a.x != b.x || a.y != b.y || a.left != b.left || a.top != b.top ||
                     a.right != b.right || a.bottom != b.bottom);
  view_->update();
}

void MoveCropDialog::Align(MoveCropAlign align) {
  FlushTyping();
  AlignMoveCrop(&state_, align);
  ConstrainMoveCrop(&state_);
  ShowState();
}

void MoveCropDialog::AutoRectangle() {
  FlushTyping();
  ScreenRect r = AutoCropRect(*animation_);
  state_.left = static_cast<int32_t>(r.left);
  state_.top = static_cast<int32_t>(r.top);
  state_.right = static_cast<int32_t>(r.right);
  state_.bottom = static_cast<int32_t>(r.bottom);
  ConstrainMoveCrop(&state_);
  ShowState();
}

void MoveCropDialog::accept() {
  FlushTyping();
  QDialog::accept();
}

bool AskMoveCrop(QWidget* owner, MoveCropRequest* request, uint32_t* hints) {
  if (hints) *hints = 0;
  if (!request || !request->animation) return false;
  Animation& animation = *request->animation;
  if (!request->wholeAnimation && !FrameAt(animation, request->currentIndex)) return false;
  MoveCropDialog dialog(&animation, request->currentIndex, request->wholeAnimation, owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  const MoveCropState& s = dialog.State();
  uint32_t result = 0;
  if (request->wholeAnimation) {
    result = CropAnimation(animation, ScreenRect{s.left, s.top, s.right, s.bottom});
  } else {
    result = MoveCropFrames(animation, request->currentIndex, s);
  }
  if (hints) *hints = result;
  return result != 0;
}

}  // namespace lw
