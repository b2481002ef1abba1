#include "ui/dialogs/merge_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "base/string_ids.h"
#include "core/frame_viewer.h"
#include "formats/merge.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

namespace {

constexpr int kMaxOffset = 32000;
constexpr int kViewWidth = 360;
constexpr int kViewHeight = 240;
// No palette holds it: marks what the first picture leaves undrawn.
constexpr uint32_t kUndrawn = 0x00FE01FD;

// The animation's first picture; what no frame draws (transparent pixels included) is
// see-through, so the first animation shows under the second.
QImage FirstPicture(const Animation& animation) {
  FrameViewer viewer;
  viewer.background = kUndrawn;
  if (animation.screenWidth == 0 || animation.screenHeight == 0 ||
      !PrepareViewer(&viewer, &animation, animation.screenWidth, animation.screenHeight))
    return {};
  ShowPictureUpTo(&viewer, 1, true);
  PixelView view = ViewerPicture(&viewer);
  QImage image(view.width, view.height, QImage::Format_ARGB32);
  if (image.isNull()) return {};
  const uint32_t undrawn = PixelFromColour(kUndrawn);
  for (int y = 0; y < view.height; ++y) {
    const uint32_t* from = view.pixels + static_cast<size_t>(y) * view.stride;
    auto* to = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < view.width; ++x) to[x] = from[x] == undrawn ? 0u : from[x];
  }
  return image;
}

QColor BackgroundOf(const Animation& animation) {
  const Palette* palette = animation.globalPalette.get();
  if (!palette || animation.backgroundIndex >= palette->Count()) return Qt::white;
  const PaletteEntry& e = palette->entries[animation.backgroundIndex];
  return QColor(e.red, e.green, e.blue);
}

}  // namespace

MergePlacementView::MergePlacementView(const Animation& a, const Animation& b, QWidget* parent)
    : QWidget(parent),
      a_(a),
      b_(b),
      first_(FirstPicture(a)),
      second_(FirstPicture(b)),
      background_(BackgroundOf(a)) {
  // Room for the second animation beside the first in any direction, at a fixed zoom so that a
  // drag moves it at the mouse's pace.
  double across = std::max<double>(1, a.screenWidth + 2.0 * b.screenWidth);
  double down = std::max<double>(1, a.screenHeight + 2.0 * b.screenHeight);
  scale_ = std::min(kViewWidth / across, kViewHeight / down);
  if (scale_ >= 1) scale_ = std::min(4.0, std::floor(scale_));
  setFixedSize(kViewWidth, kViewHeight);
  setCursor(Qt::OpenHandCursor);
  Recentre();
}

QSize MergePlacementView::sizeHint() const { return {kViewWidth, kViewHeight}; }

void MergePlacementView::SetOffset(int x, int y) {
  x = std::clamp(x, -kMaxOffset, kMaxOffset);
  y = std::clamp(y, -kMaxOffset, kMaxOffset);
  if (x == x_ && y == y_) return;
  x_ = x;
  y_ = y;
  if (!dragging_) Recentre();
  update();
}

QRectF MergePlacementView::SecondRect() const {
  return {anchor_.x() + x_ * scale_, anchor_.y() + y_ * scale_, b_.screenWidth * scale_,
          b_.screenHeight * scale_};
}

// The merged screen in the middle of the view.
void MergePlacementView::Recentre() {
  MergeLayout layout = ComputeMergeLayout(a_, b_, x_, y_);
  anchor_ = QPointF((width() - layout.width * scale_) / 2 + layout.ax * scale_,
                    (height() - layout.height * scale_) / 2 + layout.ay * scale_);
}

void MergePlacementView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!dragging_) Recentre();
}

void MergePlacementView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Dark));
  MergeLayout layout = ComputeMergeLayout(a_, b_, x_, y_);
  QRectF merged(anchor_.x() - layout.ax * scale_, anchor_.y() - layout.ay * scale_,
                layout.width * scale_, layout.height * scale_);
  painter.fillRect(merged, background_);
  QRectF firstRect(anchor_, QSizeF(a_.screenWidth * scale_, a_.screenHeight * scale_));
  painter.setRenderHint(QPainter::SmoothPixmapTransform, scale_ < 1);
  if (!first_.isNull()) painter.drawImage(firstRect, first_);
  QRectF second = SecondRect();
  if (!second_.isNull()) painter.drawImage(second, second_);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
  painter.drawRect(second.adjusted(-0.5, -0.5, 0.5, 0.5));
  painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
  painter.drawRect(second.adjusted(-0.5, -0.5, 0.5, 0.5));
}

void MergePlacementView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !SecondRect().contains(event->position())) {
    QWidget::mousePressEvent(event);
    return;
  }
  dragging_ = true;
  pressAt_ = event->position();
  pressX_ = x_;
  pressY_ = y_;
  setCursor(Qt::ClosedHandCursor);
}

void MergePlacementView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  QPointF moved = (event->position() - pressAt_) / scale_;
  int x = std::clamp(pressX_ + static_cast<int>(std::lround(moved.x())), -kMaxOffset, kMaxOffset);
  int y = std::clamp(pressY_ + static_cast<int>(std::lround(moved.y())), -kMaxOffset, kMaxOffset);
  if (x == x_ && y == y_) return;
  x_ = x;
  y_ = y;
  update();
  emit offsetDragged(x, y);
}

void MergePlacementView::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  setCursor(Qt::OpenHandCursor);
  // The first picture stayed still under the drag; now the whole comes back into view.
  Recentre();
  update();
}

MergeDialog::MergeDialog(QWidget* owner, const Animation& a, const Animation& b,
                         const MergeOptions& preset)
    : QDialog(owner) {
  setWindowTitle(UiText(str::UndoMergeAnimations));
  auto* layout = new QHBoxLayout(this);
  view_ = new MergePlacementView(a, b, this);
  layout->addWidget(view_);

  auto* side = new QVBoxLayout;
  auto* offsets = new QFormLayout;
  x_ = new QSpinBox(this);
  y_ = new QSpinBox(this);
  for (QSpinBox* box : {x_, y_}) box->setRange(-kMaxOffset, kMaxOffset);
  x_->setValue(preset.offsetX);
  y_->setValue(preset.offsetY);
  view_->SetOffset(x_->value(), y_->value());
  offsets->addRow(UiText(str::MergeOffsetX), x_);
  offsets->addRow(UiText(str::MergeOffsetY), y_);
  side->addLayout(offsets);

  auto* sync = new QGroupBox(UiText(str::MergeSynchronisation), this);
  auto* syncLayout = new QVBoxLayout(sync);
  byDuration_ = new QRadioButton(UiText(str::MergeByDuration), sync);
  oneByOne_ = new QRadioButton(UiText(str::MergeOneByOne), sync);
  syncLayout->addWidget(byDuration_);
  syncLayout->addWidget(oneByOne_);
  (preset.byDuration ? byDuration_ : oneByOne_)->setChecked(true);
  side->addWidget(sync);
  loop_ = new QCheckBox(UiText(str::MergeLoopShorter), this);
  loop_->setChecked(preset.loopShorter);
  side->addWidget(loop_);
  side->addStretch(1);
  side->addWidget(OkCancelButtons(this));
  layout->addLayout(side);

  connect(view_, &MergePlacementView::offsetDragged, this, [this](int x, int y) {
    QSignalBlocker blockX(x_), blockY(y_);
    x_->setValue(x);
    y_->setValue(y);
  });
  auto typed = [this] { view_->SetOffset(x_->value(), y_->value()); };
  connect(x_, &QSpinBox::valueChanged, this, typed);
  connect(y_, &QSpinBox::valueChanged, this, typed);
}

MergeOptions MergeDialog::Options() const {
  MergeOptions options;
  options.offsetX = x_->value();
  options.offsetY = y_->value();
  options.byDuration = byDuration_->isChecked();
  options.loopShorter = loop_->isChecked();
  return options;
}

bool AskMergeOptions(QWidget* owner, const Animation& a, const Animation& b,
                     MergeOptions* options) {
  MergeDialog dialog(owner, a, b, *options);
  if (dialog.exec() != QDialog::Accepted) return false;
  *options = dialog.Options();
  return true;
}

}  // namespace lw
