#include "ui/common/image_view.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "colour/palette_edit.h"
#include "core/compose.h"
#include "shell/command_ids.h"
#include "ui/common/glyph_icons.h"
#include "ui/common/hover_tip.h"
#include "ui/common/palette_grid.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {
constexpr int kZooms[] = {1, 2, 3, 4, 6, 8, 12, 16};
}

class ImageView::Surface : public QWidget {
 public:
  explicit Surface(ImageView* view) : QWidget(view), view_(view) { setMouseTracking(true); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (view_->image_.isNull()) return;
    p.drawImage(
        QRect(0, 0, view_->image_.width() * view_->zoom_, view_->image_.height() * view_->zoom_),
        view_->image_);
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) Report(event->position().toPoint(), false);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (event->buttons() & Qt::LeftButton) Report(event->position().toPoint(), true);
    view_->Hover(event->position().toPoint(), event->globalPosition().toPoint());
  }
  void leaveEvent(QEvent*) override { HideHoverTip(); }

 private:
  void Report(QPoint position, bool dragged) {
    int x, y;
    uint8_t index;
    if (!view_->PixelAt(position, &x, &y) || !view_->dib_ ||
        !DibPixelIndex(*view_->dib_, static_cast<uint32_t>(x), static_cast<uint32_t>(y), &index))
      return;
    emit view_->pixelClicked(x, y, index, dragged);
  }
  ImageView* view_;
};

std::array<QRgb, 256> DisplayColours(const std::vector<PaletteEntry>& entries,
                                     const std::array<bool, 256>& transparent, bool paint,
                                     QRgb colour, int flash) {
  std::array<QRgb, 256> table;
  table.fill(qRgb(0, 0, 0));
  for (size_t i = 0; i < entries.size() && i < 256; ++i) {
    const PaletteEntry& e = entries[i];
    if (static_cast<int>(i) == flash) {
      table[i] = FlashColour(e).rgb();
    } else if (paint && transparent[i]) {
      table[i] = colour;
    } else {
      table[i] = qRgb(e.red, e.green, e.blue);
    }
  }
  return table;
}

QRgb TransparencyShownIn(const Frame* frame) {
  uint32_t c = TransparencyDisplayColour(frame);
  return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* buttons = new QHBoxLayout;
  struct Button {
    int command;
    Glyph glyph;
    void (ImageView::*run)();
  };
  const Button kButtons[] = {{cmd::ZoomIn, Glyph::ZoomIn, &ImageView::ZoomIn},
                             {cmd::ZoomOut, Glyph::ZoomOut, &ImageView::ZoomOut},
                             {cmd::ActualSize, Glyph::ActualSize, nullptr}};
  for (const Button& b : kButtons) {
    auto* button = new QToolButton(this);
    button->setIcon(GlyphIcon(b.glyph));
    button->setAutoRaise(true);
    button->setToolTip(UiText(b.command));
    button->setObjectName(QString::number(b.command));
    auto run = b.run;
    connect(button, &QToolButton::clicked, this, [this, run] {
      if (run) {
        (this->*run)();
      } else {
        SetZoom(1);
      }
    });
    buttons->addWidget(button);
  }
  buttons->addStretch();
  layout->addLayout(buttons);
  scroll_ = new QScrollArea(this);
  scroll_->setAlignment(Qt::AlignCenter);
  scroll_->setBackgroundRole(QPalette::Dark);
  canvas_ = new Surface(this);
  scroll_->setWidget(canvas_);
  scroll_->setMinimumSize(280, 260);
  layout->addWidget(scroll_, 1);
}

void ImageView::SetImage(const std::vector<uint8_t>* dib) {
  dib_ = dib;
  // Start at the largest zoom that keeps the image inside the view.
  DibGeometry g;
  if (dib_ && GetDibGeometry(*dib_, &g)) {
    int fit = 1;
    for (int z : kZooms)
      if (static_cast<uint64_t>(z) * g.width <= 256 && static_cast<uint64_t>(z) * g.height <= 240)
        fit = z;
    zoom_ = fit;
  }
  Refresh();
}

void ImageView::SetColours(const std::array<QRgb, 256>& colours) {
  colours_ = colours;
  Refresh();
}

void ImageView::SetTipData(const std::vector<PaletteEntry>& entries,
                           const std::array<bool, 256>& transparent) {
  entries_ = entries;
  transparent_ = transparent;
}

void ImageView::Refresh() {
  DibGeometry g;
  if (!dib_ || !GetDibGeometry(*dib_, &g) || g.width > 32767 || g.height > 32767) {
    image_ = QImage();
  } else {
    // Rows are padded to 4 bytes, as QImage wants its scan lines.
    image_ =
        QImage(dib_->data() + DibBitsOffset, static_cast<int>(g.width), static_cast<int>(g.height),
               static_cast<qsizetype>(g.stride), QImage::Format_Indexed8);
    image_.setColorTable(QList<QRgb>(colours_.begin(), colours_.end()));
  }
  canvas_->setFixedSize(std::max(1, image_.width() * zoom_), std::max(1, image_.height() * zoom_));
  canvas_->update();
}

void ImageView::SetZoom(int zoom) {
  zoom_ = std::clamp(zoom, 1, 16);
  Refresh();
}

void ImageView::ZoomIn() {
  for (int z : kZooms)
    if (z > zoom_) return SetZoom(z);
}

void ImageView::ZoomOut() {
  int smaller = 1;
  for (int z : kZooms)
    if (z < zoom_) smaller = z;
  SetZoom(smaller);
}

QPoint ImageView::PixelCentre(int x, int y) const {
  return QPoint(x * zoom_ + zoom_ / 2, y * zoom_ + zoom_ / 2);
}

bool ImageView::PixelAt(QPoint position, int* x, int* y) const {
  if (image_.isNull() || position.x() < 0 || position.y() < 0) return false;
  *x = position.x() / zoom_;
  *y = position.y() / zoom_;
  return *x < image_.width() && *y < image_.height();
}

void ImageView::Hover(QPoint position, QPoint global) {
  int x, y;
  uint8_t index;
  if (!tips_ || !dib_ || !PixelAt(position, &x, &y) ||
      !DibPixelIndex(*dib_, static_cast<uint32_t>(x), static_cast<uint32_t>(y), &index)) {
    HideHoverTip();
    return;
  }
  PaletteEntry e = index < entries_.size() ? entries_[index] : PaletteEntry{};
  ShowHoverTip(canvas_, global,
               ColourTipText(index, e.red, e.green, e.blue, transparent_[index], true));
}

}  // namespace lw
