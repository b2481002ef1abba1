#include "ui/window/status_progress.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <algorithm>

#include "base/progress.h"
#include "platform/services.h"

namespace lw {

class StatusProgressView : public ProgressView {
 public:
  explicit StatusProgressView(StatusProgress* owner) : owner_(owner) {}
  void SetRange(int total) override {
    owner_->Show();
    owner_->bar_->setRange(0, std::max(total, 0));
    owner_->bar_->setValue(0);
  }
  void SetPosition(int position) override {
    owner_->Show();
    owner_->bar_->setValue(position);
  }
  void Step() override {
    owner_->Show();
    owner_->bar_->setValue(std::min(owner_->bar_->value() + 1, owner_->bar_->maximum()));
  }
  void SetText(const std::string& text) override {
    owner_->Show();
    owner_->text_->setText(QString::fromStdString(text));
  }
  void Finished() override { owner_->Hide(); }

 private:
  StatusProgress* owner_;
};

StatusProgress::StatusProgress(QStatusBar* bar)
    : QObject(bar), statusBar_(bar), view_(std::make_unique<StatusProgressView>(this)) {
  text_ = new QLabel(bar);
  text_->setObjectName(QStringLiteral("statusProgressText"));
  text_->setTextFormat(Qt::PlainText);
  bar_ = new QProgressBar(bar);
  bar_->setObjectName(QStringLiteral("statusProgressBar"));
  bar_->setTextVisible(false);
  bar_->setMaximumWidth(160);
  bar->addPermanentWidget(text_);
  bar->addPermanentWidget(bar_);
  text_->hide();
  bar_->hide();
  SetStatusProgressView(view_.get());
}

StatusProgress::~StatusProgress() {
  Hide();
  SetStatusProgressView(nullptr);
}

void StatusProgress::Show() {
  if (active_ || !statusBar_) return;
  active_ = true;
  text_->clear();
  bar_->setRange(0, 100);
  bar_->setValue(0);
  text_->show();
  bar_->show();
  qApp->installEventFilter(this);
  Services().SetBusyCursor(true);
}

void StatusProgress::Hide() {
  if (!active_) return;
  active_ = false;
  qApp->removeEventFilter(this);
  Services().SetBusyCursor(false);
  if (statusBar_) {
    text_->hide();
    bar_->hide();
  }
}

bool StatusProgress::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  // Questions asked in the middle of the work are windows of their own and stay usable.
  if (!active_ || !widget || !statusBar_ || widget->window() != statusBar_->window()) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) ProgressCancel();
      return true;
    case QEvent::ShortcutOverride:  // accepted, so the menus' shortcuts do not fire
      event->accept();
      return true;
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Drop: return true;
    default: return false;
  }
}

}  // namespace lw
