#include "platform/qt/progress_popup.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace lw {

ProgressPopup::ProgressPopup(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("ProgressPopup"));
  // 214 x 54 dialog units of an 8-point dialog font.
  setFixedSize(321, 88);
  setWindowModality(Qt::ApplicationModal);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  text_ = new QLabel(QStringLiteral("Texte..."), this);
  text_->setObjectName(QStringLiteral("progressText"));
  text_->setTextFormat(Qt::PlainText);
  // Without a caption the window manager draws no border: the popup draws its own.
  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
  auto* inner = new QVBoxLayout(frame);
  inner->setContentsMargins(10, 10, 10, 10);
  inner->addWidget(bar_);
  inner->addWidget(text_);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(frame);
  CentreOver(owner);
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

void ProgressPopup::closeEvent(QCloseEvent* event) {
  // Only the meter removes the popup; a request to close it is a request to cancel.
  event->ignore();
  ProgressCancel();
}

ProgressPopupView::~ProgressPopupView() { delete popup_.data(); }

void ProgressPopupView::SetRange(int total) {
  if (!popup_) return;
  popup_->Bar()->setRange(0, std::max(total, 0));
  popup_->Bar()->setValue(0);
}

void ProgressPopupView::SetPosition(int position) {
  if (!popup_) return;
  QProgressBar* bar = popup_->Bar();
  bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
}

void ProgressPopupView::Step() {
  if (!popup_) return;
  QProgressBar* bar = popup_->Bar();
  bar->setValue(std::min(std::max(bar->value(), bar->minimum()) + 1, bar->maximum()));
}

void ProgressPopupView::SetText(const std::string& text) {
  if (popup_) popup_->Text()->setText(QString::fromStdString(text));
}

void ProgressPopupView::Refocus() {
  if (!popup_) return;
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
