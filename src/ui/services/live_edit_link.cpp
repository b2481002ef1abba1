#include "ui/services/live_edit_link.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include "base/settings.h"
#include "formats/live_edit.h"
#include "shell/command_ids.h"
#include "ui/dialogs/co_editor_chooser.h"

namespace lw {
namespace {

CoEditorAsker coEditorAsker = nullptr;

// Waits on the watcher's wake-up descriptor. A save that arrives while a modal dialog is open
// waits for it to close: the dialog may hold the frames.
class LiveEditLink : public QObject {
 public:
  LiveEditLink(QWidget* window, ShellState* state) : QObject(window), state_(state) {
    setObjectName("liveEditLink");
    notifier_ = new QSocketNotifier(LiveEditWakeFd(), QSocketNotifier::Read, this);
    retry_ = new QTimer(this);
    retry_->setSingleShot(true);
    retry_->setInterval(300);
    connect(notifier_, &QSocketNotifier::activated, this, &LiveEditLink::Take);
    connect(retry_, &QTimer::timeout, this, [this] { notifier_->setEnabled(true); });
  }
  std::function<void(uint32_t)> apply;

 private:
  void Take() {
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
      notifier_->setEnabled(false);
      retry_->start();
      return;
    }
    bool wasActive = LiveEditActive();
    uint32_t hints = TakeLiveEditUpdate(*state_);
    if (apply && (hints || wasActive != LiveEditActive())) apply(hints);
  }

  ShellState* state_;
  QSocketNotifier* notifier_;
  QTimer* retry_;
};

bool EnsureCoEditor(QWidget* window) {
  std::string editor;
  while (!GetCoEditor(&editor) || editor.empty()) {
    QString chosen = coEditorAsker ? coEditorAsker(window) : ChooseCoEditor(window, QString());
    if (chosen.isEmpty()) return false;
    SetCoEditor(chosen.toStdString());
  }
  return true;
}

}  // namespace

void SetCoEditorAsker(CoEditorAsker asker) { coEditorAsker = asker; }

void RunLiveEditCommand(QWidget* window, ShellState& state, int command,
                        std::function<void(uint32_t)> apply) {
  if (command == cmd::EndLiveEdit) {
    EndLiveEdit();
    if (apply) apply(0);
    return;
  }
  if (!state.document) return;
  if (command == cmd::LiveEditFrame && state.currentFrame < 0) return QApplication::beep();
  auto* link = static_cast<LiveEditLink*>(
      window->findChild<QObject*>("liveEditLink", Qt::FindDirectChildrenOnly));
  if (!link) link = new LiveEditLink(window, &state);
  link->apply = std::move(apply);
  EndLiveEdit();
  if (!EnsureCoEditor(window)) return;
  StartLiveEdit(state, command == cmd::LiveEditFrame ? state.currentFrame : -1);
  if (link->apply) link->apply(0);
}

}  // namespace lw
