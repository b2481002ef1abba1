#include "ui/dialogs/avi_compressor_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QListWidget>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/string_ids.h"
#include "platform/video_files.h"
#include "ui/common/dialog_buttons.h"

namespace lw {

namespace {

QString FourCCText(uint32_t fourcc) {
  QString text;
  for (int i = 0; i < 4; ++i) {
    char c = static_cast<char>(fourcc >> (8 * i));
    text += c >= 32 && c < 127 ? QChar(c) : QChar('?');
  }
  return text;
}

}  // namespace

bool ChooseAviCompressor(QWidget* owner, AviCompressOptions* options) {
  QDialog dialog(owner);
  dialog.setObjectName(QStringLiteral("AviCompressorDialog"));
  dialog.setWindowTitle(UiText(str::AviCompressorTitle));
  auto* layout = new QVBoxLayout(&dialog);
  auto* form = new QFormLayout;
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("encoders"));
  const std::vector<AviEncoderChoice> encoders = AviVideoEncoders();
  for (const AviEncoderChoice& e : encoders) {
    auto* item = new QListWidgetItem(QString::fromStdString(e.description) + QStringLiteral(" [") +
                                         FourCCText(e.fourcc) + QStringLiteral("]"),
                                     list);
    item->setData(Qt::UserRole, static_cast<qulonglong>(e.fourcc));
    if (e.fourcc == options->handler) list->setCurrentItem(item);
  }
  if (!list->currentItem() && list->count() > 0) list->setCurrentRow(0);
  auto* quality = new QSpinBox(&dialog);
  quality->setRange(0, 100);
  quality->setSuffix(QStringLiteral(" %"));
  quality->setValue(static_cast<int>(std::min<uint32_t>(options->quality, 10000) / 100));
  auto* keyEvery = new QSpinBox(&dialog);
  keyEvery->setRange(0, 1500);
  keyEvery->setValue(static_cast<int>(std::min<uint32_t>(options->keyFrameEvery, 1500)));
  form->addRow(UiText(str::AviCompressorLabel), list);
  form->addRow(UiText(str::AviQualityLabel), quality);
  form->addRow(UiText(str::AviKeyFrameLabel), keyEvery);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(&dialog));
  if (dialog.exec() != QDialog::Accepted || !list->currentItem()) return false;
  AviCompressOptions chosen;
  chosen.type = FourCC('v', 'i', 'd', 's');
  chosen.handler = static_cast<uint32_t>(list->currentItem()->data(Qt::UserRole).toULongLong());
  chosen.quality = static_cast<uint32_t>(quality->value()) * 100;
  chosen.keyFrameEvery = static_cast<uint32_t>(keyEvery->value());
  chosen.flags = chosen.keyFrameEvery > 0 ? 4 : 0;
  *options = chosen;
  return true;
}

}  // namespace lw
