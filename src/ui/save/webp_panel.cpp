#include "ui/save/webp_panel.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/string_ids.h"
#include "shell/save_choices.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {

class WebpPanel : public SavePanel {
 public:
  explicit WebpPanel(QWidget* parent) : SavePanel(parent) {
    setObjectName(QStringLiteral("WebpPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    lossless_ = new QRadioButton(UiText(str::WebpLosslessChoice), this);
    lossless_->setObjectName(QStringLiteral("lossless"));
    lossy_ = new QRadioButton(UiText(str::WebpLossyChoice), this);
    lossy_->setObjectName(QStringLiteral("lossy"));
    auto* group = new QButtonGroup(this);
    group->addButton(lossless_);
    group->addButton(lossy_);
    layout->addWidget(lossless_);
    layout->addWidget(lossy_);

    auto* row = new QHBoxLayout;
    label_ = new QLabel(UiText(str::WebpQualityLabel), this);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(0, 100);
    quality_ = new QSpinBox(this);
    quality_->setObjectName(QStringLiteral("quality"));
    quality_->setRange(0, 100);
    label_->setBuddy(quality_);
    row->addWidget(label_);
    row->addWidget(slider_, 1);
    row->addWidget(quality_);
    layout->addLayout(row);
    layout->addStretch();

    connect(slider_, &QSlider::valueChanged, quality_, &QSpinBox::setValue);
    connect(quality_, &QSpinBox::valueChanged, slider_, &QSlider::setValue);
    connect(lossy_, &QRadioButton::toggled, this, [this](bool on) { EnableQuality(on); });

    const WebpSettings stored = LoadWebpSettings();
    quality_->setValue(stored.quality);
    (stored.lossy ? lossy_ : lossless_)->setChecked(true);
    EnableQuality(stored.lossy);
  }

  bool Apply(SaveOptions* options) override {
    WebpSettings& webp = options->EditFormatOptions<WebpSettings>();
    webp.filled = true;
    webp.lossy = lossy_->isChecked();
    webp.quality = quality_->value();
    StoreWebpSettings(webp);
    return true;
  }

 private:
  // The quality means nothing to a lossless picture.
  void EnableQuality(bool on) {
    label_->setEnabled(on);
    slider_->setEnabled(on);
    quality_->setEnabled(on);
  }

  QRadioButton* lossless_;
  QRadioButton* lossy_;
  QLabel* label_;
  QSlider* slider_;
  QSpinBox* quality_;
};

}  // namespace

SavePanel* MakeWebpPanel(const SavePanelContext& /*context*/, QWidget* parent) {
  return new WebpPanel(parent);
}

}  // namespace lw
