#include "ui/dialogs/html_code_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "base/string_ids.h"
#include "core/frame_viewer.h"
#include "ui/common/dialog_buttons.h"

namespace lw {
namespace {

constexpr int kPreviewWidth = 240;
constexpr int kPreviewHeight = 160;
constexpr int kFieldWidth = 300;

// The animation's first picture, as a browser shows it before the second frame.
QImage FirstPicture(const Animation& animation) {
  FrameViewer viewer;
  viewer.background = 0x00FFFFFF;
  if (animation.screenWidth == 0 || animation.screenHeight == 0 ||
      !PrepareViewer(&viewer, &animation, animation.screenWidth, animation.screenHeight))
    return {};
  ShowPictureUpTo(&viewer, 1, true);
  PixelView view = ViewerPicture(&viewer);
  QImage image(view.width, view.height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  for (int y = 0; y < view.height; ++y) {
    const uint32_t* from = view.pixels + static_cast<size_t>(y) * view.stride;
    std::copy(from, from + view.width, reinterpret_cast<uint32_t*>(image.scanLine(y)));
  }
  return image;
}

std::string Std(const QString& text) { return text.toStdString(); }

}  // namespace

HtmlCodeDialog::HtmlCodeDialog(QWidget* owner, const Animation& document,
                               const std::string& documentPath)
    : QDialog(owner), document_(document) {
  setWindowTitle(UiText(str::HtmlTitle));
  const HtmlCodeFields initial = HtmlFieldsForDocument(documentPath);

  fileName_ = new QLineEdit(QString::fromStdString(initial.fileName), this);
  fileName_->setObjectName(QStringLiteral("fileName"));
  fileName_->setReadOnly(initial.fileNameFixed);
  link_ = new QLineEdit(this);
  link_->setObjectName(QStringLiteral("link"));
  description_ = new QLineEdit(this);
  description_->setObjectName(QStringLiteral("description"));
  border_ = new QSpinBox(this);
  border_->setObjectName(QStringLiteral("border"));
  border_->setRange(0, 100);
  border_->setValue(0);
  code_ = new QPlainTextEdit(this);
  code_->setObjectName(QStringLiteral("code"));
  code_->setReadOnly(true);
  code_->setMinimumWidth(420);
  code_->setFixedHeight(code_->fontMetrics().lineSpacing() * 4 + 12);
  preview_ = new QLabel(this);
  preview_->setObjectName(QStringLiteral("preview"));
  preview_->setAlignment(Qt::AlignCenter);
  preview_->setMinimumSize(kPreviewWidth, kPreviewHeight);
  preview_->setStyleSheet(
      QStringLiteral("QLabel { background: white; border: 1px solid #b0b0b0; }"));
  picture_ = FirstPicture(document);

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(UiText(str::HtmlFileName), this), 0, 0);
  fields->addWidget(fileName_, 0, 1, 1, 2);
  fields->addWidget(new QLabel(UiText(str::HtmlLink), this), 1, 0);
  fields->addWidget(link_, 1, 1, 1, 2);
  fields->addWidget(new QLabel(UiText(str::HtmlDescription), this), 2, 0);
  fields->addWidget(description_, 2, 1);
  fields->addWidget(new QLabel(UiText(str::HtmlAlt), this), 2, 2);
  fields->addWidget(new QLabel(UiText(str::HtmlBorder), this), 3, 0);
  auto* borderRow = new QHBoxLayout;
  borderRow->addWidget(border_);
  borderRow->addStretch(1);
  fields->addLayout(borderRow, 3, 1, 1, 2);
  fields->setColumnStretch(1, 1);
  fields->setRowStretch(4, 1);  // the rows keep together at the top beside the taller preview

  auto* top = new QHBoxLayout;
  top->addLayout(fields, 1);
  top->addWidget(preview_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* copy = buttons->addButton(UiText(str::HtmlCopy), QDialogButtonBox::ActionRole);
  copy->setObjectName(QStringLiteral("copy"));
  QPushButton* close = buttons->addButton(UiText(str::HtmlClose), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("close"));
  copy->setDefault(true);
  connect(copy, &QPushButton::clicked, this, [this] { CopyCode(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(new QLabel(UiText(str::HtmlCodeLabel), this));
  layout->addWidget(code_);
  layout->addWidget(buttons);

  fileName_->setMinimumWidth(kFieldWidth);
  link_->setMinimumWidth(kFieldWidth);
  for (QLineEdit* edit : {fileName_, link_, description_})
    connect(edit, &QLineEdit::textChanged, this, &HtmlCodeDialog::Rebuild);
  connect(border_, &QSpinBox::valueChanged, this, &HtmlCodeDialog::Rebuild);
  Rebuild();
  // A name that comes from the document is not typed: the link is the first thing to fill in.
  (initial.fileNameFixed ? link_ : fileName_)->setFocus();
}

HtmlCodeFields HtmlCodeDialog::Fields() const {
  HtmlCodeFields fields;
  fields.fileName = Std(fileName_->text());
  fields.link = Std(link_->text());
  fields.description = Std(description_->text());
  fields.border = border_->value();
  fields.fileNameFixed = fileName_->isReadOnly();
  return fields;
}

QString HtmlCodeDialog::Code() const { return code_->toPlainText(); }

void HtmlCodeDialog::Rebuild() {
  code_->setPlainText(QString::fromStdString(
      BuildHtmlCode(Fields(), document_.screenWidth, document_.screenHeight)));
  RedrawPreview();
}

// The picture with the tag's border (in the link colour when it is a link), scaled down to fit;
// the description is its tooltip, as browsers show alt text.
void HtmlCodeDialog::RedrawPreview() {
  preview_->setToolTip(description_->text());
  if (picture_.isNull()) {
    preview_->setText(description_->text());
    return;
  }
  const int border = border_->value();
  QImage page(picture_.width() + 2 * border, picture_.height() + 2 * border, QImage::Format_RGB32);
  if (page.isNull()) return;
  page.fill(link_->text().isEmpty() ? Qt::black : QColor(0, 0, 238));
  {
    QPainter painter(&page);
    painter.drawImage(border, border, picture_);
  }
  QSize box(kPreviewWidth - 8, kPreviewHeight - 8);
  if (page.width() > box.width() || page.height() > box.height())
    page = page.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  preview_->setPixmap(QPixmap::fromImage(page));
}

bool HtmlCodeDialog::CopyCode() {
  if (!CheckHtmlCodeCopy(Fields())) {
    fileName_->setFocus();
    return false;
  }
  code_->selectAll();
  QApplication::clipboard()->setText(Code());
  QTextCursor cursor = code_->textCursor();
  cursor.clearSelection();
  code_->setTextCursor(cursor);
  copied_ = true;
  return true;
}

bool AskHtmlCode(QWidget* owner, HtmlCodeRequest* request) {
  if (!request || !request->document) return false;
  HtmlCodeDialog dialog(owner, *request->document, request->documentPath);
  dialog.exec();
  request->copied = dialog.Copied();
  return request->copied;
}

}  // namespace lw
