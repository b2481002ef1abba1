// The small window of a progress meter that has its own popup: a bar and a line of text,
// without caption, centred over its owner. It keeps the rest of the program from taking input
// while the work runs, and Esc in it cancels the work.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>

#include "base/progress.h"

class QFrame;
class QLabel;
class QProgressBar;

namespace lw {

class ProgressPopup : public QDialog {
  Q_OBJECT

 public:
  explicit ProgressPopup(QWidget* owner);

  QProgressBar* Bar() const { return bar_; }
  QLabel* Text() const { return text_; }

  // Esc lands here: the work stops at its next report, the popup stays until it is closed.
  void reject() override;

  // Grows to show its whole text (at most nine tenths of the screen's width, wrapping beyond),
  // keeping its centre.
  void FitText();
  // A message box is about to show: the popup gets out of its way. The next report of the work
  // brings it back; a popup whose work ended stays hidden until the meter removes it.
  void HideForBox();
  void ComeBack();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The owner may still be placed by the window manager when the popup comes (a file opened
  // at start-up): the popup follows it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CentreOver(QWidget* owner);
  QPointer<QWidget> owner_;
  QProgressBar* bar_;
  QLabel* text_;
  QFrame* frame_ = nullptr;
  bool hiddenForBox_ = false;
};

// Hides every progress popup on screen; called before any message box or question.
void HideProgressPopups();

// The meter's side of the popup; deleting it deletes the popup (unless its owner took it along).
class ProgressPopupView : public ProgressView {
 public:
  explicit ProgressPopupView(ProgressPopup* popup) : popup_(popup) {}
  ~ProgressPopupView() override;
  void SetRange(int total) override;
  void SetPosition(int position) override;
  void Step() override;
  void SetText(const std::string& text) override;
  void Refocus() override;
  ProgressPopup* Popup() const { return popup_; }

 private:
  QPointer<ProgressPopup> popup_;
};

// The factory installed for meters: makes, shows and centres the popup over owner (a QWidget*).
std::unique_ptr<ProgressView> MakeProgressPopup(WindowHandle owner);

}  // namespace lw
