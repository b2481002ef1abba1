#include "ui/dialogs/index_choice_dialog.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "ui/common/dialog_buttons.h"
#include "ui/common/image_view.h"
#include "ui/common/palette_grid.h"

namespace lw {

namespace {

// A swatch crossed by the tool's sign: none to choose, + to add, - to remove.
QIcon ToolIcon(int tool) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(60, 60, 60));
  QLinearGradient g(0, 0, 16, 16);
  g.setColorAt(0, QColor(255, 120, 40));
  g.setColorAt(1, QColor(60, 120, 255));
  p.setBrush(g);
  p.drawRect(1, 1, 11, 11);
  p.setPen(QPen(Qt::black, 2));
  if (tool == IndexChoiceDialog::Choose) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(11.5, 11.5), 3.5, 3.5);
  } else {
    p.drawLine(8, 12, 15, 12);
    if (tool == IndexChoiceDialog::Add) p.drawLine(11, 9, 11, 15);
  }
  return QIcon(pixmap);
}

Qt::CursorShape ToolCursor(int tool) {
  switch (tool) {
    case IndexChoiceDialog::Add: return Qt::CrossCursor;
    case IndexChoiceDialog::Erase: return Qt::ForbiddenCursor;
    default: return Qt::PointingHandCursor;
  }
}

}  // namespace

IndexChoiceDialog::IndexChoiceDialog(QWidget* owner, int titleId, const Palette& palette,
                                     const Frame* image, const TransparencyChoice& choice)
    : QDialog(owner), entries_(palette.entries) {
  setWindowTitle(UiText(titleId));
  if (entries_.size() > 256) entries_.resize(256);
  for (int i = 0; i < std::min(choice.count, 256); ++i) chosen_.push_back(choice.indexes[i]);
  initial_ = chosen_;
  shownIn_ = TransparencyShownIn(image);

  auto* layout = new QVBoxLayout(this);
  auto* toolbar = new QToolBar(this);
  toolbar->setIconSize(QSize(16, 16));
  auto* group = new QActionGroup(this);
  const int names[3] = {str::ToolChooseTransparent, str::ToolAddTransparent,
                        str::ToolEraseTransparent};
  for (int t = 0; t < 3; ++t) {
    tools_[t] = toolbar->addAction(ToolIcon(t), UiText(names[t]));
    tools_[t]->setCheckable(true);
    tools_[t]->setToolTip(UiText(names[t]));
    group->addAction(tools_[t]);
    connect(tools_[t], &QAction::triggered, this, [this, t] { SetTool(static_cast<Tool>(t)); });
  }
  layout->addWidget(toolbar);

  auto* row = new QHBoxLayout;
  grid_ = new PaletteGrid(this);
  grid_->setObjectName("grid");
  row->addWidget(grid_, 0, Qt::AlignTop);
  connect(grid_, &PaletteGrid::indexClicked, this, &IndexChoiceDialog::Click);
  if (image) {
    try {
      image_ = image->dib;
    } catch (const std::bad_alloc&) {
      image_.clear();
    }
  }
  if (!image_.empty()) {
    view_ = new ImageView(this);
    view_->setObjectName("image");
    view_->SetImage(&image_);
    row->addWidget(view_, 1);
    connect(view_, &ImageView::pixelClicked, this, [this](int, int, int index, bool dragged) {
      if (!dragged) Click(index);
    });
  }
  layout->addLayout(row);

  tipsBox_ = new QCheckBox(UiText(str::ShowColourData), this);
  tipsBox_->setChecked(PrefOn(Pref::ShowColourData));
  auto tips = [this](bool on) {
    grid_->SetTipsEnabled(on);
    if (view_) view_->SetTipsEnabled(on);
  };
  tips(tipsBox_->isChecked());
  connect(tipsBox_, &QCheckBox::toggled, this, tips);
  layout->addWidget(tipsBox_);
  layout->addWidget(OkCancelButtons(this));

  flashTimer_.setSingleShot(true);
  flashTimer_.setInterval(100);
  connect(&flashTimer_, &QTimer::timeout, this, [this] {
    flash_ = -1;
    ShowColours();
  });
  SetTool(Choose);
  ShowColours();
}

void IndexChoiceDialog::SetTool(Tool tool) {
  tool_ = tool;
  tools_[tool]->setChecked(true);
  QCursor cursor(ToolCursor(tool));
  grid_->setCursor(cursor);
  if (view_) view_->Canvas()->setCursor(cursor);
}

void IndexChoiceDialog::Click(int index) {
  if (index < 0 || index > 255) return;
  uint8_t i = static_cast<uint8_t>(index);
  auto at = std::find(chosen_.begin(), chosen_.end(), i);
  switch (tool_) {
    case Choose: chosen_.assign(1, i); break;
    case Add:
      if (at != chosen_.end()) return;
      chosen_.push_back(i);
      break;
    case Erase:
      if (at == chosen_.end()) return;
      chosen_.erase(at);  // the later ones move up
      break;
  }
  Flash(index);
}

void IndexChoiceDialog::Flash(int index) {
  flash_ = index;
  ShowColours();
  flashTimer_.start();
}

void IndexChoiceDialog::ShowColours() {
  std::array<bool, 256> marked{};
  for (uint8_t i : chosen_) marked[i] = true;
  grid_->SetEntries(entries_);
  grid_->SetTransparent(marked, true, QColor::fromRgb(shownIn_));
  grid_->SetFlash(flash_);
  grid_->SetSelected(chosen_.empty() ? -1 : chosen_.front());
  if (view_) {
    view_->SetTipData(entries_, marked);
    view_->SetColours(DisplayColours(entries_, marked, true, shownIn_, flash_));
  }
}

bool IndexChoiceDialog::ChoiceChanged() const { return chosen_ != initial_; }

void IndexChoiceDialog::done(int result) {
  // The tips' setting is kept whichever way the dialog closes.
  SetPrefOn(Pref::ShowColourData, tipsBox_->isChecked());
  QDialog::done(result);
}

namespace {

bool RunChoice(IndexChoiceDialog& dialog, TransparencyChoice* choice) {
  if (dialog.exec() != QDialog::Accepted || !dialog.ChoiceChanged()) return false;
  const std::vector<uint8_t>& chosen = dialog.Chosen();
  choice->count = static_cast<int>(chosen.size());
  std::copy(chosen.begin(), chosen.end(), choice->indexes.begin());
  return true;
}

}  // namespace

bool AskTransparencyChoice(QWidget* owner, TransparencyChoice* choice) {
  if (!choice || !choice->frame || !choice->frame->palette) return false;
  IndexChoiceDialog dialog(owner, str::TranspChooseTitle, *choice->frame->palette, choice->frame,
                           *choice);
  return RunChoice(dialog, choice);
}

bool AskLockedColours(QWidget* owner, const Palette& palette, const Frame* image,
                      TransparencyChoice* choice) {
  if (!choice) return false;
  IndexChoiceDialog dialog(owner, str::LockedColoursTitle, palette, image, *choice);
  return RunChoice(dialog, choice);
}

uint32_t ChooseFrameTransparency(QWidget* owner, Animation& document, int frameIndex) {
  Frame* frame = FrameAt(document, frameIndex);
  if (!frame) return 0;
  TransparencyChoice choice = TransparencyChoice::OfFrame(frame);
  if (!AskTransparencyChoice(owner, &choice)) return 0;
  return ApplyTransparencyEdit(document, frameIndex, choice);
}

}  // namespace lw
