#include "ui/dialogs/resize_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

namespace {

// Screen sizes go up to the largest a GIF file can hold.
constexpr int kMaxLength = 65535;

QSpinBox* Spin(QWidget* parent, const char* name) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(1, kMaxLength);
  box->setAccelerated(true);
  return box;
}

int Clamped(uint32_t v) { return static_cast<int>(std::clamp<uint32_t>(v, 1, kMaxLength)); }

}  // namespace

ResizeDialog::ResizeDialog(ResizeRequest* request, QWidget* parent)
    : QDialog(parent), request_(request) {
  setObjectName(QStringLiteral("ResizeDialog"));
  setWindowTitle(
      UiText(request->wholeAnimation ? str::ResizeAnimationTitle : str::ResizeFrameTitle));
  const Animation& a = *request->animation;
  if (request->wholeAnimation) {
    request->oldWidth = std::max<uint32_t>(a.screenWidth, 1);
    request->oldHeight = std::max<uint32_t>(a.screenHeight, 1);
  } else if (const Frame* f = FrameAt(a, request->currentIndex)) {
    request->oldWidth = std::max<uint32_t>(f->width, 1);
    request->oldHeight = std::max<uint32_t>(f->height, 1);
  }

  auto* layout = new QVBoxLayout(this);
  auto* current =
      new QLabel(UiText(str::ResizeCurrentSize) +
                     QStringLiteral("  %1 × %2").arg(request->oldWidth).arg(request->oldHeight),
                 this);
  current->setObjectName(QStringLiteral("currentSize"));
  layout->addWidget(current);

  auto* sizeBox = new QGroupBox(UiText(str::ResizeNewSize), this);
  auto* grid = new QGridLayout(sizeBox);
  width_ = Spin(sizeBox, "width");
  height_ = Spin(sizeBox, "height");
  widthPercent_ = Spin(sizeBox, "widthPercent");
  heightPercent_ = Spin(sizeBox, "heightPercent");
  grid->addWidget(new QLabel(UiText(str::ResizePixels), sizeBox), 0, 1, Qt::AlignCenter);
  grid->addWidget(new QLabel(UiText(str::ResizePercentColumn), sizeBox), 0, 2, Qt::AlignCenter);
  grid->addWidget(new QLabel(UiText(str::ResizeWidth), sizeBox), 1, 0);
  grid->addWidget(width_, 1, 1);
  grid->addWidget(widthPercent_, 1, 2);
  grid->addWidget(new QLabel(UiText(str::ResizeHeight), sizeBox), 2, 0);
  grid->addWidget(height_, 2, 1);
  grid->addWidget(heightPercent_, 2, 2);
  widthPercent_->setSuffix(QStringLiteral(" %"));
  heightPercent_->setSuffix(QStringLiteral(" %"));
  keepAspect_ = new QCheckBox(UiText(str::ResizeKeepAspect), sizeBox);
  keepAspect_->setObjectName(QStringLiteral("keepAspect"));
  keepAspect_->setChecked(PrefOn(Pref::ResizeKeepsAspect));
  grid->addWidget(keepAspect_, 3, 0, 1, 3);
  layout->addWidget(sizeBox);
  // Row by row: the pixels, then the percent of the same side.
  setTabOrder(width_, widthPercent_);
  setTabOrder(widthPercent_, height_);
  setTabOrder(height_, heightPercent_);
  setTabOrder(heightPercent_, keepAspect_);

  auto* methodBox = new QGroupBox(UiText(str::ResizeMethod), this);
  auto* methods = new QVBoxLayout(methodBox);
  nearest_ = new QRadioButton(UiText(str::ResizeNearestMethod), methodBox);
  nearest_->setObjectName(QStringLiteral("nearest"));
  bicubic_ = new QRadioButton(UiText(str::ResizeBicubicMethod), methodBox);
  bicubic_->setObjectName(QStringLiteral("bicubic"));
  methods->addWidget(nearest_);
  methods->addWidget(bicubic_);
  // Only resampling can scale 24-bit colour.
  if (ResizeNeedsBicubic(a, request->wholeAnimation, request->currentIndex)) {
    bicubic_->setChecked(true);
    nearest_->setEnabled(false);
  } else {
    (PrefOn(Pref::ResizeIsBicubic) ? bicubic_ : nearest_)->setChecked(true);
  }
  layout->addWidget(methodBox);
  layout->addWidget(OkCancelButtons(this));

  Set(width_, request->oldWidth);
  Set(height_, request->oldHeight);
  Set(widthPercent_, 100);
  Set(heightPercent_, 100);
  connect(width_, &QSpinBox::valueChanged, this, [this] { Edited(Field::Width); });
  connect(height_, &QSpinBox::valueChanged, this, [this] { Edited(Field::Height); });
  connect(widthPercent_, &QSpinBox::valueChanged, this, [this] { Edited(Field::WidthPercent); });
  connect(heightPercent_, &QSpinBox::valueChanged, this, [this] { Edited(Field::HeightPercent); });
  connect(keepAspect_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) Edited(Field::Width);
  });
  width_->setFocus();
  width_->selectAll();
}

bool ResizeDialog::Bicubic() const { return bicubic_->isChecked(); }

void ResizeDialog::Set(QSpinBox* box, uint32_t value) { box->setValue(Clamped(value)); }

void ResizeDialog::Edited(Field field) {
  if (updating_) return;
  updating_ = true;
  const uint32_t w0 = request_->oldWidth, h0 = request_->oldHeight;
  const bool keep = keepAspect_->isChecked();
  switch (field) {
    case Field::Width: {
      const uint32_t w = static_cast<uint32_t>(width_->value());
      Set(widthPercent_, ResizePercent(w0, w));
      if (keep) {
        Set(height_, ResizeKeptAspect(w0, h0, w));
        heightPercent_->setValue(widthPercent_->value());
      }
      break;
    }
    case Field::Height: {
      const uint32_t h = static_cast<uint32_t>(height_->value());
      Set(heightPercent_, ResizePercent(h0, h));
      if (keep) {
        Set(width_, ResizeKeptAspect(h0, w0, h));
        widthPercent_->setValue(heightPercent_->value());
      }
      break;
    }
    case Field::WidthPercent: {
      const uint32_t p = static_cast<uint32_t>(widthPercent_->value());
      Set(width_, ResizeLengthForPercent(w0, p));
      if (keep) {
        heightPercent_->setValue(static_cast<int>(p));
        Set(height_, ResizeLengthForPercent(h0, p));
      }
      break;
    }
    case Field::HeightPercent: {
      const uint32_t p = static_cast<uint32_t>(heightPercent_->value());
      Set(height_, ResizeLengthForPercent(h0, p));
      if (keep) {
        widthPercent_->setValue(static_cast<int>(p));
        Set(width_, ResizeLengthForPercent(w0, p));
      }
      break;
    }
  }
  updating_ = false;
}

void ResizeDialog::accept() {
  const bool bicubic = Bicubic();
  if (bicubic && BicubicWarningFrame(*request_->animation) >= 0 &&
      AskUser(this, str::BicubicWarningText, str::BicubicWarningTitle,
              mb::YesNo | mb::IconExclamation) != answer::Yes) {
    return;  // back to the dialog
  }
  SetPrefOn(Pref::ResizeKeepsAspect, keepAspect_->isChecked());
  SetPrefOn(Pref::ResizeIsBicubic, bicubic);
  request_->newWidth = static_cast<uint32_t>(width_->value());
  request_->newHeight = static_cast<uint32_t>(height_->value());
  request_->keepAspect = keepAspect_->isChecked();
  QDialog::accept();
}

bool AskResize(QWidget* owner, ResizeRequest* request, uint32_t* hints) {
  if (hints) *hints = 0;
  if (!request || !request->animation) return false;
  if (!request->wholeAnimation && !FrameAt(*request->animation, request->currentIndex))
    return false;
  ResizeDialog dialog(request, owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  const bool bicubic = dialog.Bicubic();
  if (request->newWidth == request->oldWidth && request->newHeight == request->oldHeight)
    return false;
  uint32_t result = ApplyResize(*request, bicubic, owner);
  if (hints) *hints = result;
  return result != 0;
}

}  // namespace lw
