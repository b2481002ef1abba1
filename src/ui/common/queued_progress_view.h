// A dialog's progress bar and status line driven from a worker thread: every call is handed to
// the interface thread, and dropped there once the work it came from is no longer the current
// one (a newer trial started) or the dialog is gone.
#pragma once

#include <functional>
#include <string>

#include "base/progress.h"

class QLabel;
class QObject;
class QProgressBar;

namespace lw {

class QueuedProgressView : public ProgressView {
 public:
  // bar and status belong to context; current says, on the interface thread, whether the work
  // that reports is still the one shown.
  QueuedProgressView(QObject* context, QProgressBar* bar, QLabel* status,
                     std::function<bool()> current);

  void SetRange(int total) override;
  void SetPosition(int position) override;
  void Step() override;
  void SetText(const std::string& text) override;

 private:
  void Post(std::function<void()> change);

  QObject* context_;
  QProgressBar* bar_;
  QLabel* status_;
  std::function<bool()> current_;
};

}  // namespace lw
