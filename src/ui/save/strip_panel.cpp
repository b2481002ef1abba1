#include "ui/save/strip_panel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/common/flow_text.h"
#include "formats/strip_flow.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {

// The arrows stop at the frame count; a typed number above it is the panel's to refuse (with
// a beep), so the box itself takes any count a strip choice can hold.
class StripCountBox : public QSpinBox {
 public:
  StripCountBox(int frames, QWidget* parent) : QSpinBox(parent), frames_(frames) {
    setRange(1, 0xFFFF);
  }
  void stepBy(int steps) override {
    int next = std::clamp(value() + steps, 1, std::max(frames_, 1));
    if (next != value()) setValue(next);
  }

 protected:
  StepEnabled stepEnabled() const override {
    StepEnabled e = StepNone;
    if (value() > 1) e |= StepDownEnabled;
    if (value() < frames_) e |= StepUpEnabled;
    return e;
  }

 private:
  int frames_;
};

}  // namespace

StripPanel::StripPanel(const SavePanelContext& context, QWidget* parent)
    : SavePanel(parent),
      document_(context.document),
      frames_(context.document ? std::max<int>(context.document->frameCount, 1) : 1) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(UiText(str::StripOrientationLabel), this));
  horizontal_ = new QRadioButton(UiText(str::StripHorizontal), this);
  vertical_ = new QRadioButton(UiText(str::StripVertical), this);
  auto* group = new QButtonGroup(this);
  group->addButton(horizontal_);
  group->addButton(vertical_);
  auto* orientation = new QHBoxLayout;
  orientation->addWidget(horizontal_);
  orientation->addWidget(vertical_);
  orientation->addStretch();
  layout->addLayout(orientation);
  bool wasVertical = PrefOn(Pref::StripWasVertical);
  (wasVertical ? vertical_ : horizontal_)->setChecked(true);

  auto* countRow = new QHBoxLayout;
  auto* countLabel = new QLabel(UiText(str::StripCountLabel), this);
  count_ = new StripCountBox(frames_, this);
  countLabel->setBuddy(count_);
  countRow->addWidget(countLabel);
  countRow->addWidget(count_);
  countRow->addStretch();
  layout->addLayout(countRow);

  result_ = new QLabel(this);
  result_->setWordWrap(true);
  layout->addWidget(result_);
  layout->addStretch();

  connect(count_, &QSpinBox::valueChanged, this, [this](int value) { CountEdited(value); });
  connect(horizontal_, &QRadioButton::toggled, this, [this] { ShowResult(); });
  ShowResult();
}

void StripPanel::CountEdited(int value) {
  if (value > frames_) {
    QApplication::beep();
    count_->setValue(frames_);  // comes back here with a count that fits
    return;
  }
  ShowResult();
}

uint32_t StripPanel::OptionBits() const {
  uint32_t strips = static_cast<uint32_t>(std::clamp(count_->value(), 1, frames_));
  uint32_t bits = (strips << stripopt::CountShift) | saveopt::Strip;
  if (vertical_->isChecked()) bits |= stripopt::Vertical;
  return bits;
}

void StripPanel::ShowResult() {
  if (!document_) return;
  StripSize size = StripSizeFor(*document_, OptionBits());
  result_->setText(QString::fromStdString(
      FormatText(LoadResText(str::StripTotals), size.framesPerStrip, static_cast<int>(size.width),
                 static_cast<int>(size.height))));
}

bool StripPanel::Apply(SaveOptions* options) {
  options->optionBits = OptionBits();
  SetPrefOn(Pref::StripWasVertical, vertical_->isChecked());
  return true;
}

SavePanel* MakeStripPanel(const SavePanelContext& context, QWidget* parent) {
  return new StripPanel(context, parent);
}

}  // namespace lw
