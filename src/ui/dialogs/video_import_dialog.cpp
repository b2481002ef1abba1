#include "ui/dialogs/video_import_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "base/string_ids.h"
#include "core/animation.h"
#include "formats/avi/avi_timing.h"
#include "ui/common/dialog_buttons.h"
#include "ui/common/ui_text.h"

namespace lw {
namespace {

constexpr int kPictureSide = 160;
const QLocale kFrench(QLocale::French, QLocale::France);

QString Printed(int textId, const QString& a) {
  return QString::asprintf(UiText(textId).toUtf8().constData(), a.toUtf8().constData());
}

QString Seconds(int64_t ms) { return kFrench.toString(double(ms) / 1000, 'f', 2); }

QDoubleSpinBox* SecondsBox(QWidget* parent, int64_t lengthMs, const char* name) {
  auto* box = new QDoubleSpinBox(parent);
  box->setObjectName(QLatin1String(name));
  box->setLocale(kFrench);
  box->setDecimals(3);
  box->setRange(0, double(lengthMs) / 1000);
  box->setSingleStep(0.1);
  box->setSuffix(QStringLiteral(" s"));
  return box;
}

QSlider* TimeSlider(QWidget* parent, int64_t lengthMs, const char* name) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setObjectName(QLatin1String(name));
  slider->setRange(0, static_cast<int>(std::min<int64_t>(lengthMs, INT32_MAX)));
  slider->setMinimumWidth(2 * kPictureSide);
  return slider;
}

QLabel* PictureLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QLatin1String(name));
  label->setFixedSize(kPictureSide, kPictureSide * 9 / 16);
  label->setAlignment(Qt::AlignCenter);
  label->setFrameShape(QFrame::StyledPanel);
  return label;
}

}  // namespace

VideoImportDialog::VideoImportDialog(QWidget* owner, const VideoImportRequest& request)
    : QDialog(owner), request_(request) {
  setWindowTitle(UiText(str::VideoImportTitle));
  const int64_t length = std::max<int64_t>(request.lengthMs, 0);
  auto* layout = new QVBoxLayout(this);
  auto* about =
      new QLabel(QString::asprintf(UiText(str::VideoImportClip).toUtf8().constData(), request.width,
                                   request.height, Seconds(length).toUtf8().constData()),
                 this);
  layout->addWidget(about);

  auto* pictures = new QHBoxLayout;
  startPicture_ = PictureLabel(this, "VideoStartPicture");
  endPicture_ = PictureLabel(this, "VideoEndPicture");
  pictures->addWidget(startPicture_);
  pictures->addWidget(endPicture_);
  layout->addLayout(pictures);

  auto* form = new QFormLayout;
  // The start stays before the clip's end: a part from there on would hold no picture.
  const int64_t latestStart = std::max<int64_t>(length - 1, 0);
  start_ = SecondsBox(this, latestStart, "VideoStart");
  end_ = SecondsBox(this, length, "VideoEnd");
  startSlider_ = TimeSlider(this, latestStart, "VideoStartSlider");
  endSlider_ = TimeSlider(this, length, "VideoEndSlider");
  auto* startRow = new QHBoxLayout;
  startRow->addWidget(startSlider_, 1);
  startRow->addWidget(start_);
  auto* endRow = new QHBoxLayout;
  endRow->addWidget(endSlider_, 1);
  endRow->addWidget(end_);
  form->addRow(UiText(str::VideoImportStart), startRow);
  form->addRow(UiText(str::VideoImportEnd), endRow);

  // The clip's own rate (50 at most: no frame is shorter than 1/50 s), then the common ones.
  rate_ = new QComboBox(this);
  rate_->setObjectName(QStringLiteral("VideoRate"));
  const uint32_t own = std::min<uint32_t>(request.ownFpsMilli, kMaxClipRate * 1000);
  rate_->addItem(
      Printed(str::VideoImportOwnRate,
              own ? kFrench.toString(own / 1000.0, 'f', own % 1000 ? 2 : 0) : QStringLiteral("?")),
      0u);
  for (uint32_t fps : {10u, 15u, 20u, 25u, 30u, 50u})
    rate_->addItem(kFrench.toString(fps), fps * 1000);
  if (int at = rate_->findData(request.part.fpsMilli); request.part.fpsMilli && at < 0)
    rate_->addItem(kFrench.toString(request.part.fpsMilli / 1000.0, 'f', 3), request.part.fpsMilli);
  rate_->setCurrentIndex(std::max(rate_->findData(request.part.fpsMilli), 0));
  form->addRow(UiText(str::VideoImportRate), rate_);

  width_ = new QSpinBox(this);
  width_->setObjectName(QStringLiteral("VideoWidth"));
  width_->setRange(1, static_cast<int>(std::max<uint32_t>(request.width, 1)));
  width_->setValue(static_cast<int>(request.part.width && request.part.width < request.width
                                        ? request.part.width
                                        : request.width));
  height_ = new QLabel(this);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(width_);
  sizeRow->addWidget(height_, 1);
  form->addRow(UiText(str::VideoImportWidth), sizeRow);
  layout->addLayout(form);

  cost_ = new QLabel(this);
  cost_->setObjectName(QStringLiteral("VideoCost"));
  overBudget_ = new QLabel(UiText(str::VideoImportOverBudget), this);
  overBudget_->setWordWrap(true);
  layout->addWidget(cost_);
  layout->addWidget(overBudget_);
  layout->addWidget(OkCancelButtons(this));

  const int64_t from = std::clamp<int64_t>(request.part.startMs, 0, latestStart);
  const int64_t to =
      request.part.lengthMs > 0 ? std::min(length, from + request.part.lengthMs) : length;
  start_->setValue(double(from) / 1000);
  end_->setValue(double(to) / 1000);
  startSlider_->setValue(static_cast<int>(from));
  endSlider_->setValue(static_cast<int>(to));

  pictures_ = new QTimer(this);
  pictures_->setSingleShot(true);
  pictures_->setInterval(150);
  connect(pictures_, &QTimer::timeout, this, &VideoImportDialog::ShowPictures);
  auto fromBox = [this](bool startMoved) {
    if (syncing_) return;
    syncing_ = true;
    (startMoved ? startSlider_ : endSlider_)
        ->setValue(static_cast<int>((startMoved ? start_ : end_)->value() * 1000 + 0.5));
    syncing_ = false;
    EndsChanged(startMoved);
  };
  auto fromSlider = [this](bool startMoved) {
    if (syncing_) return;
    syncing_ = true;
    (startMoved ? start_ : end_)
        ->setValue((startMoved ? startSlider_ : endSlider_)->value() / 1000.0);
    syncing_ = false;
    EndsChanged(startMoved);
  };
  connect(start_, &QDoubleSpinBox::valueChanged, this, [fromBox] { fromBox(true); });
  connect(end_, &QDoubleSpinBox::valueChanged, this, [fromBox] { fromBox(false); });
  connect(startSlider_, &QSlider::valueChanged, this, [fromSlider] { fromSlider(true); });
  connect(endSlider_, &QSlider::valueChanged, this, [fromSlider] { fromSlider(false); });
  connect(rate_, &QComboBox::currentIndexChanged, this, &VideoImportDialog::UpdateCost);
  connect(width_, &QSpinBox::valueChanged, this, &VideoImportDialog::UpdateCost);
  UpdateCost();
  ShowPictures();
}

// The start stays before the end: moving one past the other carries the other along.
void VideoImportDialog::EndsChanged(bool startMoved) {
  if (startSlider_->value() > endSlider_->value())
    (startMoved ? endSlider_ : startSlider_)
        ->setValue((startMoved ? startSlider_ : endSlider_)->value());
  UpdateCost();
  pictures_->start();
}

VideoPart VideoImportDialog::Part() const {
  VideoPart part;
  part.startMs = startSlider_->value();
  const int64_t end = endSlider_->value();
  if (end < request_.lengthMs) part.lengthMs = std::max<int64_t>(end - part.startMs, 1);
  part.fpsMilli = rate_->currentData().toUInt();
  const uint32_t width = static_cast<uint32_t>(width_->value());
  part.width = width == request_.width ? 0 : width;
  return part;
}

void VideoImportDialog::UpdateCost() {
  const VideoPart part = Part();
  const uint32_t w = part.width ? part.width : request_.width;
  height_->setText(QString::asprintf(UiText(str::VideoImportHeight).toUtf8().constData(),
                                     VideoPartHeight(request_, w)));
  uint64_t frames = 0, bytes = 0;
  VideoPartCost(request_, part, &frames, &bytes);
  cost_->setText(QString::asprintf(
      UiText(str::VideoImportCost).toUtf8().constData(),
      kFrench.toString(static_cast<qulonglong>(frames)).toUtf8().constData(),
      kFrench.formattedDataSize(static_cast<qint64>(bytes)).toUtf8().constData(),
      kFrench.formattedDataSize(static_cast<qint64>(request_.budgetBytes)).toUtf8().constData()));
  overBudget_->setVisible(request_.budgetBytes > 0 && bytes > request_.budgetBytes);
}

void VideoImportDialog::ShowPicture(QLabel* label, int64_t ms) {
  std::vector<uint8_t> bgr;
  uint32_t w = 0, h = 0;
  if (!request_.pictureAt || !request_.pictureAt(ms, kPictureSide, &bgr, &w, &h) ||
      bgr.size() < RgbStride(w) * h) {
    label->setPixmap({});
    label->setText(UiText(str::VideoImportNoPicture));
    return;
  }
  QImage image(bgr.data(), static_cast<int>(w), static_cast<int>(h),
               static_cast<qsizetype>(RgbStride(w)), QImage::Format_BGR888);
  label->setPixmap(QPixmap::fromImage(
      image.scaled(label->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void VideoImportDialog::ShowPictures() {
  pictures_->stop();
  ShowPicture(startPicture_, startSlider_->value());
  // The last picture shown before the end.
  ShowPicture(endPicture_, std::max(endSlider_->value() - 1, startSlider_->value()));
}

bool AskVideoImport(QWidget* owner, VideoImportRequest* request) {
  VideoImportDialog dialog(owner, *request);
  if (dialog.exec() != QDialog::Accepted) return false;
  request->part = dialog.Part();
  return true;
}

}  // namespace lw
