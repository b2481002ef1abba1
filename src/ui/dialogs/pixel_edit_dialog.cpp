#include "ui/dialogs/pixel_edit_dialog.h"

#include <QActionGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

#include "base/string_ids.h"
#include "ui/common/dialog_buttons.h"
#include "ui/common/image_view.h"
#include "ui/common/palette_grid.h"

namespace lw {

namespace {

// A dropper, a pencil and a paint pot, drawn small.
QIcon ToolIcon(int tool) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(30, 30, 30), 1.2));
  switch (tool) {
    case PixelEditDialog::SelectColour:
      p.setBrush(QColor(120, 180, 255));
      p.drawLine(QPointF(2, 14), QPointF(9, 7));
      p.drawEllipse(QPointF(11.5, 4.5), 3, 3);
      break;
    case PixelEditDialog::SetPixel: {
      p.setBrush(QColor(250, 200, 60));
      QPolygonF pencil({{2, 14}, {3.5, 10}, {11, 2.5}, {13.5, 5}, {6, 12.5}});
      p.drawPolygon(pencil);
      break;
    }
    default: {
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(3, 6, 8, 8));
      p.setBrush(QColor(220, 40, 40));
      p.drawEllipse(QPointF(13, 12), 2, 2.5);
      p.drawLine(QPointF(3, 6), QPointF(7, 2));
      break;
    }
  }
  return QIcon(pixmap);
}

Qt::CursorShape ToolCursor(int tool) {
  switch (tool) {
    case PixelEditDialog::SelectColour: return Qt::PointingHandCursor;
    case PixelEditDialog::Fill: return Qt::CrossCursor;
    default: return Qt::CrossCursor;
  }
}

}  // namespace

PixelEditDialog::PixelEditDialog(QWidget* owner, PixelEditRequest* request)
    : QDialog(owner), request_(request) {
  setWindowTitle(UiText(str::PixelEditTitle));
  const Frame* frame = request->frame;
  if (frame && frame->palette) entries_ = frame->palette->entries;
  if (entries_.size() > 256) entries_.resize(256);
  if (frame) {
    try {
      image_ = frame->dib;
    } catch (const std::bad_alloc&) {
      image_.clear();
    }
    if (frame->Transparent()) transparent_[frame->transparentIndex] = true;
  }
  colour_ = std::clamp(request->colourIndex, 0, std::max(0, static_cast<int>(entries_.size()) - 1));

  auto* layout = new QVBoxLayout(this);
  auto* toolbar = new QToolBar(this);
  toolbar->setIconSize(QSize(16, 16));
  auto* group = new QActionGroup(this);
  const int names[3] = {str::ToolSelectColour, str::ToolSetPixel, str::ToolFill};
  for (int t = 0; t < 3; ++t) {
    tools_[t] = toolbar->addAction(ToolIcon(t), UiText(names[t]));
    tools_[t]->setCheckable(true);
    tools_[t]->setToolTip(UiText(names[t]));
    group->addAction(tools_[t]);
    connect(tools_[t], &QAction::triggered, this, [this, t] { SetTool(static_cast<Tool>(t)); });
  }
  toolbar->addSeparator();
  swatch_ = new QLabel(this);
  swatch_->setFixedSize(40, 18);
  swatch_->setObjectName("colour");
  toolbar->addWidget(swatch_);
  layout->addWidget(toolbar);

  auto* row = new QHBoxLayout;
  grid_ = new PaletteGrid(this);
  grid_->setObjectName("grid");
  grid_->SetEntries(entries_);
  grid_->SetTransparent(transparent_, false, QColor());
  row->addWidget(grid_, 0, Qt::AlignTop);
  connect(grid_, &PaletteGrid::indexClicked, this, &PixelEditDialog::SetCurrentColour);
  view_ = new ImageView(this);
  view_->setObjectName("image");
  view_->SetTipData(entries_, transparent_);
  view_->SetColours(DisplayColours(entries_, transparent_, true, TransparencyShownIn(frame), -1));
  view_->SetImage(&image_);
  row->addWidget(view_, 1);
  connect(view_, &ImageView::pixelClicked, this, &PixelEditDialog::PixelClicked);
  layout->addLayout(row);
  layout->addWidget(OkCancelButtons(this));

  SetCurrentColour(colour_);
  SetTool(SetPixel);
}

void PixelEditDialog::SetTool(Tool tool) {
  tool_ = tool;
  tools_[tool]->setChecked(true);
  view_->Canvas()->setCursor(QCursor(ToolCursor(tool)));
  // The colour data under the cursor helps to pick a colour.
  view_->SetTipsEnabled(tool == SelectColour);
  grid_->SetTipsEnabled(true);
}

void PixelEditDialog::SetCurrentColour(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  colour_ = index;
  grid_->SetSelected(index);
  const PaletteEntry& e = entries_[index];
  swatch_->setStyleSheet(QStringLiteral("background: %1; border: 1px solid #404040;")
                             .arg(QColor(e.red, e.green, e.blue).name()));
}

void PixelEditDialog::PixelClicked(int x, int y, int index, bool dragged) {
  uint8_t colour = static_cast<uint8_t>(colour_);
  bool changed = false;
  switch (tool_) {
    case SelectColour:
      if (!dragged) SetCurrentColour(index);
      return;
    case SetPixel:
      changed =
          SetDibPixelIndex(image_, static_cast<uint32_t>(x), static_cast<uint32_t>(y), colour);
      break;
    case Fill:
      if (!dragged)
        changed =
            FloodFillDib(image_, static_cast<uint32_t>(x), static_cast<uint32_t>(y), colour) > 0;
      break;
  }
  if (!changed) return;
  changed_ = true;
  view_->Refresh();
}

void PixelEditDialog::accept() {
  request_->colourIndex = colour_;
  request_->edited.clear();
  if (changed_) request_->edited = image_;
  QDialog::accept();
}

bool AskPixelEdit(QWidget* owner, PixelEditRequest* request) {
  if (!request || !request->frame || request->frame->dib.empty()) return false;
  PixelEditDialog dialog(owner, request);
  return dialog.exec() == QDialog::Accepted && !request->edited.empty();
}

uint32_t EditFramePixels(QWidget* owner, Animation& document, int frameIndex) {
  Frame* frame = FrameAt(document, frameIndex);
  if (!frame) return 0;
  // The pen keeps the last colour used while the program runs.
  static int lastColour = 0;
  PixelEditRequest request;
  request.frame = frame;
  request.colourIndex = lastColour;
  if (!AskPixelEdit(owner, &request)) return 0;
  lastColour = request.colourIndex;
  return ApplyPixelEdit(document, frameIndex, request.edited);
}

}  // namespace lw
