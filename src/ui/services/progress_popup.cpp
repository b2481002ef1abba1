#include "ui/services/progress_popup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "base/string_ids.h"
#include "ui/common/ui_text.h"

namespace lw {

namespace {
constexpr int kTextMargin = 10;
}  // namespace

ProgressPopup::ProgressPopup(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("ProgressPopup"));
  // 214 x 54 dialog units of an 8-point dialog font, larger when the text needs it.
  setMinimumSize(321, 88);
  resize(321, 88);
  setWindowModality(Qt::ApplicationModal);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  text_ = new QLabel(UiText(str::ProgressPlaceholder), this);
  text_->setObjectName(QStringLiteral("progressText"));
  text_->setTextFormat(Qt::PlainText);
  // Without a caption the window manager draws no border: the popup draws its own.
  auto* frame = new QFrame(this);
  frame_ = frame;
  frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
  auto* inner = new QVBoxLayout(frame);
  inner->setContentsMargins(kTextMargin, kTextMargin, kTextMargin, kTextMargin);
  inner->addWidget(bar_);
  inner->addWidget(text_);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(frame);
  CentreOver(owner);
  if (owner) {
    owner_ = owner->window();
    owner_->installEventFilter(this);
  }
}

bool ProgressPopup::eventFilter(QObject* watched, QEvent* event) {
  if (watched == owner_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
    CentreOver(owner_);
  return QDialog::eventFilter(watched, event);
}

void ProgressPopup::CentreOver(QWidget* owner) {
  QRect area;
  if (owner)
    area = owner->window()->frameGeometry();
  else if (QScreen* screen = QGuiApplication::primaryScreen())
    area = screen->availableGeometry();
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
}

void ProgressPopup::reject() { ProgressCancel(); }

void ProgressPopup::FitText() {
  QPoint centre = frameGeometry().center();
  QScreen* on = screen() ? screen() : QGuiApplication::primaryScreen();
  int widest = on ? on->availableGeometry().width() * 9 / 10 : 1000;
  // What surrounds the text line: the drawn border and the margins inside it.
  int chrome = 2 * frame_->frameWidth() + 2 * kTextMargin;
  QFontMetrics metrics = text_->fontMetrics();
  QSize wanted = minimumSize();
  int line = metrics.horizontalAdvance(text_->text());
  text_->setWordWrap(line + chrome > widest);
  if (line + chrome <= widest) {
    wanted.setWidth(std::max(wanted.width(), line + chrome));
  } else {
    // Wrapped at blanks; a single word longer than a line (a long file name) loses its middle.
    int room = widest - chrome;
    QStringList words = text_->text().split(QLatin1Char(' '));
    for (QString& word : words) {
      if (metrics.horizontalAdvance(word) > room)
        word = metrics.elidedText(word, Qt::ElideMiddle, room);
    }
    text_->setText(words.join(QLatin1Char(' ')));
    wanted.setWidth(std::max(widest, wanted.width()));
    int extra = text_->heightForWidth(room) - metrics.lineSpacing();
    wanted.setHeight(wanted.height() + std::max(extra, 0));
  }
  if (wanted == size()) return;
  resize(wanted);
  QPoint corner = centre - QPoint(width() / 2, height() / 2);
  if (on) {
    QRect area = on->availableGeometry();
    corner.setX(std::max(area.left(), std::min(corner.x(), area.right() + 1 - width())));
    corner.setY(std::max(area.top(), std::min(corner.y(), area.bottom() + 1 - height())));
  }
  move(corner);
}

void ProgressPopup::HideForBox() {
  if (!isVisible()) return;
  hiddenForBox_ = true;
  hide();
}

void ProgressPopup::ComeBack() {
  if (!hiddenForBox_) return;
  hiddenForBox_ = false;
  show();
}

void HideProgressPopups() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* popup = qobject_cast<ProgressPopup*>(w)) popup->HideForBox();
}

void ProgressPopup::closeEvent(QCloseEvent* event) {
  // Only the meter removes the popup; a request to close it is a request to cancel.
  event->ignore();
  ProgressCancel();
}

ProgressPopupView::~ProgressPopupView() { delete popup_.data(); }

void ProgressPopupView::SetRange(int total) {
  if (!popup_) return;
  popup_->ComeBack();
  popup_->Bar()->setRange(0, std::max(total, 0));
  popup_->Bar()->setValue(0);
}

void ProgressPopupView::SetPosition(int position) {
  if (!popup_) return;
  popup_->ComeBack();
  QProgressBar* bar = popup_->Bar();
  bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
}

void ProgressPopupView::Step() {
  if (!popup_) return;
  popup_->ComeBack();
  QProgressBar* bar = popup_->Bar();
  bar->setValue(std::min(std::max(bar->value(), bar->minimum()) + 1, bar->maximum()));
}

void ProgressPopupView::SetText(const std::string& text) {
  if (!popup_) return;
  popup_->ComeBack();
  popup_->Text()->setText(QString::fromStdString(text));
  popup_->FitText();
}

void ProgressPopupView::Refocus() {
  if (!popup_) return;
  popup_->ComeBack();
  popup_->raise();
  popup_->activateWindow();
  popup_->setFocus();
}

std::unique_ptr<ProgressView> MakeProgressPopup(WindowHandle owner) {
  auto* popup = new ProgressPopup(static_cast<QWidget*>(owner));
  std::unique_ptr<ProgressView> view;
  try {
    view = std::make_unique<ProgressPopupView>(popup);
  } catch (...) {
    delete popup;
    throw;
  }
  popup->show();
  return view;
}

}  // namespace lw
