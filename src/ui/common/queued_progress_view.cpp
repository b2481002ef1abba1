#include "ui/common/queued_progress_view.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>

namespace lw {

QueuedProgressView::QueuedProgressView(QObject* context, QProgressBar* bar, QLabel* status,
                                       std::function<bool()> current)
    : context_(context), bar_(bar), status_(status), current_(std::move(current)) {}

void QueuedProgressView::SetRange(int total) {
  QProgressBar* bar = bar_;
  Post([bar, total] {
    bar->setRange(0, total);
    bar->setValue(0);
  });
}

void QueuedProgressView::SetPosition(int position) {
  QProgressBar* bar = bar_;
  Post([bar, position] { bar->setValue(position); });
}

void QueuedProgressView::Step() {
  QProgressBar* bar = bar_;
  Post([bar] {
    if (bar->value() < bar->maximum()) bar->setValue(bar->value() + 1);
  });
}

void QueuedProgressView::SetText(const std::string& text) {
  QLabel* status = status_;
  QString shown = QString::fromStdString(text);
  Post([status, shown] { status->setText(shown); });
}

void QueuedProgressView::Post(std::function<void()> change) {
  // Queued with the dialog as context: Qt drops the call if the dialog is deleted first.
  QMetaObject::invokeMethod(
      context_,
      [current = current_, change = std::move(change)] {
        if (current()) change();
      },
      Qt::QueuedConnection);
}

}  // namespace lw
