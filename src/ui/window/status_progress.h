// The status bar's progress: a bar and a text shown while a command reports there. Until its
// meter closes, the window under it takes no mouse or key input (Esc cancels), so that no
// second command runs in the middle of the first.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace lw {

class StatusProgressView;

class StatusProgress : public QObject {
  Q_OBJECT
 public:
  // Installs itself for the plain meters; a child of the bar, it uninstalls itself with it.
  explicit StatusProgress(QStatusBar* bar);
  ~StatusProgress() override;

  bool Active() const { return active_; }
  QProgressBar* Bar() const { return bar_; }
  QLabel* Text() const { return text_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class StatusProgressView;
  void Show();
  void Hide();

  QPointer<QStatusBar> statusBar_;
  QProgressBar* bar_ = nullptr;
  QLabel* text_ = nullptr;
  bool active_ = false;
  std::unique_ptr<StatusProgressView> view_;
};

}  // namespace lw
