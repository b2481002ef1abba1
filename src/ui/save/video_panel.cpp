#include "ui/save/video_panel.h"

#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/string_ids.h"
#include "formats/avi/video_out_format.h"
#include "shell/save_choices.h"
#include "ui/common/ui_text.h"

namespace lw {
namespace {

class VideoPanel : public SavePanel {
 public:
  VideoPanel(const SavePanelContext& context, QWidget* parent)
      : SavePanel(parent),
        codec_(context.type == savetype::Webm ? ClipCodec::Vp9 : ClipCodec::H264) {
    setObjectName(QStringLiteral("VideoPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* form = new QFormLayout;
    crf_ = new QSpinBox(this);
    crf_->setObjectName(QStringLiteral("crf"));
    crf_->setRange(0, MaxClipCrf(codec_));
    crf_->setValue(StoredClipCrf(codec_));
    form->addRow(UiText(str::VideoQualityLabel), crf_);
    layout->addLayout(form);
    const QByteArray hint = UiText(str::VideoQualityHint).toUtf8();
    const QString notes[] = {
        QString::asprintf(hint.constData(), 0, MaxClipCrf(codec_), DefaultClipCrf(codec_)),
        UiText(str::VideoLoopIgnored), UiText(str::VideoFlattened)};
    for (const QString& note : notes) {
      auto* label = new QLabel(note, this);
      label->setWordWrap(true);
      layout->addWidget(label);
    }
    layout->addStretch();
  }

  bool Apply(SaveOptions* options) override {
    options->EditFormatOptions<ClipSaveOptions>().crf = crf_->value();
    StoreClipCrf(codec_, crf_->value());
    return true;
  }

 private:
  ClipCodec codec_;
  QSpinBox* crf_ = nullptr;
};

}  // namespace

SavePanel* MakeVideoPanel(const SavePanelContext& context, QWidget* parent) {
  return new VideoPanel(context, parent);
}

}  // namespace lw
