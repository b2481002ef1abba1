#include "ui/save/hot_spot_panel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QSpinBox>
#include <algorithm>

#include "base/string_ids.h"
#include "formats/common/icon_image.h"
#include "formats/ico/ico_format.h"
#include "ui/common/dialog_buttons.h"

namespace lw {
namespace {

constexpr int kViewSide = 128;

// The frame's own pixels; transparent ones show the checks of an empty picture.
QImage FramePicture(const Frame* frame) {
  if (!frame || !frame->bits() || !frame->palette || frame->width == 0) return {};
  const int w = static_cast<int>(frame->width), h = static_cast<int>(frame->height);
  QImage image(w, h, QImage::Format_RGB32);
  if (image.isNull()) return {};
  const Palette& palette = *frame->palette;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = frame->bits() + IndexStride(frame->width) * y;
    auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const uint8_t index = row[x];
      if ((frame->Transparent() && index == frame->transparentIndex) || index >= palette.Count()) {
        to[x] = ((x / 4 + y / 4) % 2) ? qRgb(204, 204, 204) : qRgb(255, 255, 255);
      } else {
        const PaletteEntry& e = palette.entries[index];
        to[x] = qRgb(e.red, e.green, e.blue);
      }
    }
  }
  return image;
}

}  // namespace

HotSpotView::HotSpotView(const Frame* frame, QWidget* parent)
    : QWidget(parent), picture_(FramePicture(frame)) {
  if (!picture_.isNull())
    zoom_ = std::max(1, kViewSide / std::max(picture_.width(), picture_.height()));
  setCursor(Qt::CrossCursor);
  setMinimumSize(sizeHint());
}

QSize HotSpotView::sizeHint() const {
  if (picture_.isNull()) return {kViewSide, kViewSide};
  return {std::min(picture_.width() * zoom_, 4 * kViewSide),
          std::min(picture_.height() * zoom_, 4 * kViewSide)};
}

void HotSpotView::SetHotSpot(int x, int y) {
  x_ = x;
  y_ = y;
  update();
}

bool HotSpotView::PixelAt(QPoint position, int* x, int* y) const {
  if (picture_.isNull() || position.x() < 0 || position.y() < 0) return false;
  *x = position.x() / zoom_;
  *y = position.y() / zoom_;
  return *x < picture_.width() && *y < picture_.height();
}

QPoint HotSpotView::PixelCentre(int x, int y) const {
  return {x * zoom_ + zoom_ / 2, y * zoom_ + zoom_ / 2};
}

void HotSpotView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  if (picture_.isNull()) return;
  painter.drawImage(QRect(0, 0, picture_.width() * zoom_, picture_.height() * zoom_), picture_);
  // The cross on the hot spot, in inverted colours so that it shows on any picture.
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.setPen(Qt::white);
  QPoint centre = PixelCentre(x_, y_);
  painter.drawLine(centre.x(), 0, centre.x(), height());
  painter.drawLine(0, centre.y(), width(), centre.y());
}

void HotSpotView::mousePressEvent(QMouseEvent* event) {
  int x = 0, y = 0;
  if (event->button() == Qt::LeftButton && PixelAt(event->position().toPoint(), &x, &y))
    emit pointed(x, y);
}

HotSpotEditor::HotSpotEditor(const Animation* document, QWidget* parent) : QWidget(parent) {
  view_ = new HotSpotView(document ? FirstFrame(*document) : nullptr, this);
  auto* fields = new QFormLayout;
  for (QSpinBox** box : {&x_, &y_}) {
    *box = new QSpinBox(this);
    (*box)->setRange(0, MaxHotSpot);
  }
  x_->setObjectName(QStringLiteral("hotSpotX"));
  y_->setObjectName(QStringLiteral("hotSpotY"));
  fields->addRow(UiText(str::HotSpotX), x_);
  fields->addRow(UiText(str::HotSpotY), y_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  layout->addLayout(fields);
  auto follow = [this] { view_->SetHotSpot(x_->value(), y_->value()); };
  connect(x_, &QSpinBox::valueChanged, this, follow);
  connect(y_, &QSpinBox::valueChanged, this, follow);
  connect(view_, &HotSpotView::pointed, this, [this](int x, int y) { Set(x, y); });
  const Frame* first = document ? FirstFrame(*document) : nullptr;
  if (first) Set(first->hotspotX, first->hotspotY);
}

int HotSpotEditor::X() const { return x_->value(); }
int HotSpotEditor::Y() const { return y_->value(); }

void HotSpotEditor::Set(int x, int y) {
  x_->setValue(std::clamp(x, 0, MaxHotSpot));
  y_->setValue(std::clamp(y, 0, MaxHotSpot));
}

HotSpotPanel::HotSpotPanel(const SavePanelContext& context, QWidget* parent) : SavePanel(parent) {
  setObjectName(QStringLiteral("hotSpotPanel"));
  auto* layout = new QHBoxLayout(this);
  editor_ = new HotSpotEditor(context.document, this);
  layout->addWidget(editor_);
}

bool HotSpotPanel::Apply(SaveOptions* options) {
  CursorSaveOptions& cursor = options->EditFormatOptions<CursorSaveOptions>();
  cursor.hotspotX = editor_->X();
  cursor.hotspotY = editor_->Y();
  return true;
}

SavePanel* MakeHotSpotPanel(const SavePanelContext& context, QWidget* parent) {
  return new HotSpotPanel(context, parent);
}

}  // namespace lw
