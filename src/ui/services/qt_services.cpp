#include "ui/services/qt_services.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>
#include <algorithm>
#include <map>

#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/palette_edit.h"
#include "core/animation.h"
#include "formats/save_flow.h"
#include "platform/headless_services.h"
#include "ui/common/open_dialog.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/background_index_dialog.h"
#include "ui/dialogs/index_choice_dialog.h"
#include "ui/dialogs/merge_dialog.h"
#include "ui/dialogs/oversize_insert_dialog.h"
#include "ui/dialogs/palette_edit_dialog.h"
#include "ui/dialogs/palette_merge_dialog.h"
#include "ui/dialogs/psd_layers_dialog.h"
#include "ui/dialogs/strip_split_dialog.h"
#include "ui/dialogs/video_import_dialog.h"
#include "ui/save/hot_spot_dialog.h"
#include "ui/save/save_as_dialog.h"
#include "ui/services/progress_popup.h"
#include "ui/services/qt_clipboard.h"

namespace lw {
namespace {

bool OnInterfaceThread() { return qApp && QThread::currentThread() == qApp->thread(); }

// A question from a reader running on a thread of its own (the interface thread pumps while
// it waits): asked on the interface thread, the reader waiting for the answer.
template <typename Ask>
uint32_t AskOnInterfaceThread(Ask ask) {
  if (OnInterfaceThread()) return ask();
  uint32_t result = 0;
  QMetaObject::invokeMethod(
      qApp, [&] { result = ask(); }, Qt::BlockingQueuedConnection);
  return result;
}

QString ButtonText(int answer) {
  switch (answer) {
    case answer::Cancel: return UiText(str::ButtonCancel);
    case answer::Abort: return UiText(str::ButtonAbort);
    case answer::Retry: return UiText(str::ButtonRetry);
    case answer::Ignore: return UiText(str::ButtonIgnore);
    case answer::Yes: return UiText(str::ButtonYes);
    case answer::No: return UiText(str::ButtonNo);
    default: return QStringLiteral("OK");
  }
}

QMessageBox::ButtonRole ButtonRole(int answer) {
  switch (answer) {
    case answer::Cancel:
    case answer::Abort: return QMessageBox::RejectRole;
    case answer::Yes: return QMessageBox::YesRole;
    case answer::No: return QMessageBox::NoRole;
    default: return QMessageBox::AcceptRole;
  }
}

QMessageBox::Icon BoxIcon(int style) {
  switch (style & mb::IconMask) {
    case mb::IconHand: return QMessageBox::Critical;
    case mb::IconQuestion: return QMessageBox::Question;
    case mb::IconExclamation: return QMessageBox::Warning;
    case mb::IconAsterisk: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

}  // namespace

int QtServices::ShowBox(WindowHandle owner, const std::string& text, const std::string& caption,
                        int style) {
  QMessageBox box(static_cast<QWidget*>(owner));
  box.setWindowModality(Qt::ApplicationModal);
  box.setIcon(BoxIcon(style));
  box.setWindowTitle(QString::fromStdString(caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));

  int answers[3];
  int count = BoxButtons(style, answers);
  int preferred = DefaultAnswer(style);
  std::map<QAbstractButton*, int> answerOf;
  QPushButton* escape = nullptr;
  for (int i = 0; i < count; ++i) {
    QString label = answers[i] == answer::Ok && (style & mb::OkContinues)
                        ? UiText(str::ButtonContinue)
                        : ButtonText(answers[i]);
    QPushButton* button = box.addButton(label, ButtonRole(answers[i]));
    answerOf[button] = answers[i];
    if (answers[i] == preferred) box.setDefaultButton(button);
    // As on the system the program comes from: Esc means Cancel, or OK in a box with only OK;
    // a box with neither cannot be dismissed without a choice.
    if (answers[i] == answer::Cancel || (count == 1 && answers[i] == answer::Ok)) escape = button;
  }
  box.setEscapeButton(escape);

  // A progress popup left on screen would sit over or under the box, cut off.
  HideProgressPopups();
  // The box is not part of the busy work: show it with the normal cursor.
  if (busyDepth_ > 0) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (busyDepth_ > 0) QGuiApplication::restoreOverrideCursor();

  auto it = answerOf.find(box.clickedButton());
  return it != answerOf.end() ? it->second : (escape ? answerOf[escape] : preferred);
}

int QtServices::MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                           int style) {
  if (!qApp) return DefaultHeadlessServices().MessageBox(owner, text, caption, style);
  if (OnInterfaceThread()) return ShowBox(owner, text, caption, style);
  int result = 0;
  QMetaObject::invokeMethod(
      qApp, [&] { result = ShowBox(owner, text, caption, style); }, Qt::BlockingQueuedConnection);
  return result;
}

void QtServices::PumpEvents() {
  if (OnInterfaceThread()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtServices::SetBusyCursor(bool busy) {
  if (!OnInterfaceThread()) return;
  if (busy) {
    if (busyDepth_++ == 0) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (busyDepth_ > 0) {
    if (--busyDepth_ == 0) QGuiApplication::restoreOverrideCursor();
  }
}

uint32_t QtServices::AskPaletteMerge(WindowHandle owner, uint32_t stored) {
  if (!qApp) return stored;
  return AskOnInterfaceThread([&] {
    HideProgressPopups();
    return AskPaletteMergeDialog(static_cast<QWidget*>(owner), stored);
  });
}

uint32_t QtServices::AskOversizeInsert(WindowHandle owner, uint32_t stored) {
  if (!qApp) return stored;
  return AskOnInterfaceThread([&] {
    HideProgressPopups();
    return AskOversizeInsertDialog(static_cast<QWidget*>(owner), stored);
  });
}

uint32_t QtServices::AskPsdLayers(WindowHandle owner, uint32_t stored) {
  if (!qApp) return stored;
  return AskOnInterfaceThread([&]() -> uint32_t {
    HideProgressPopups();
    uint32_t options = stored;
    return ::lw::AskPsdLayers(static_cast<QWidget*>(owner), &options) ? options : 0;
  });
}

bool QtServices::ChooseFiles(WindowHandle owner, int titleId, const std::vector<FileFilter>& filter,
                             bool multiple, std::vector<std::string>* paths) {
  if (!OnInterfaceThread()) return false;
  return ChooseFilesToOpen(static_cast<QWidget*>(owner), titleId, filter, multiple, paths);
}

bool QtServices::AskSaveAs(const SaveAsRequest& request, SaveAsChoice* choice) {
  if (!OnInterfaceThread()) return false;
  return ::lw::AskSaveAs(static_cast<QWidget*>(request.owner), request, choice);
}

bool QtServices::AskCursorHotSpot(WindowHandle owner, const Animation& document, int* x, int* y) {
  if (!OnInterfaceThread()) return false;
  return ::lw::AskCursorHotSpot(static_cast<QWidget*>(owner), document, x, y);
}

bool QtServices::AskMergeOptions(WindowHandle owner, const Animation& a, const Animation& b,
                                 MergeOptions* options) {
  if (!OnInterfaceThread()) return false;
  return ::lw::AskMergeOptions(static_cast<QWidget*>(owner), a, b, options);
}

bool QtServices::AskStripSplit(WindowHandle owner, const Animation& strip,
                               StripSplitChoice* choice) {
  if (!OnInterfaceThread()) return false;
  return ::lw::AskStripSplit(static_cast<QWidget*>(owner), strip, choice);
}

bool QtServices::AskVideoImport(WindowHandle owner, VideoImportRequest* request) {
  if (!qApp) return true;  // the preset, as without a user
  return AskOnInterfaceThread([&]() -> uint32_t {
           HideProgressPopups();
           return ::lw::AskVideoImport(static_cast<QWidget*>(owner), request);
         }) != 0;
}

std::unique_ptr<ProgressView> QtServices::OpenProgressPopup(WindowHandle owner) {
  return MakeProgressPopup(owner);
}

void QtServices::UndoHistoryChanged() {
  std::function<void()> notify;
  {
    std::lock_guard<std::mutex> lock(notificationsMutex_);
    notify = notifications_.undoHistoryChanged;
  }
  if (notify) notify();
}

void QtServices::RecentFilesChanged() {
  std::function<void()> notify;
  {
    std::lock_guard<std::mutex> lock(notificationsMutex_);
    notify = notifications_.recentFilesChanged;
  }
  if (notify) notify();
}

void QtServices::SetWindowNotifications(WindowNotifications notifications) {
  std::lock_guard<std::mutex> lock(notificationsMutex_);
  notifications_ = std::move(notifications);
}

bool QtServices::ChooseTransparentIndexes(WindowHandle owner, Animation&, Frame* frame,
                                          std::vector<uint8_t>* indexes) {
  if (!frame || !frame->palette) return false;
  TransparencyChoice choice = TransparencyChoice::OfFrame(frame);
  choice.fromPropertyPage = true;
  choice.count = static_cast<int>(std::min<size_t>(indexes->size(), choice.indexes.size()));
  std::copy_n(indexes->begin(), choice.count, choice.indexes.begin());
  IndexChoiceDialog dialog(static_cast<QWidget*>(owner), str::TranspChooseTitle, *frame->palette,
                           frame, choice);
  // OK counts even when the choice stayed as it opened: the user may have unchecked the box
  // and confirmed the frame's own index to check it again.
  if (dialog.exec() != QDialog::Accepted) return false;
  *indexes = dialog.Chosen();
  return true;
}

bool QtServices::EditPalette(WindowHandle owner, Animation& animation, Frame* frame) {
  auto* parent = static_cast<QWidget*>(owner);
  if (frame) return EditLocalPalette(parent, animation, FrameIndex(animation, frame)) != 0;
  return EditGlobalPalette(parent, animation, 0) != 0;
}

int QtServices::ChooseBackgroundIndex(WindowHandle owner, Animation& animation, int current) {
  if (!animation.globalPalette) return -1;
  return AskBackgroundIndex(static_cast<QWidget*>(owner), *animation.globalPalette, current);
}

QtServices& DesktopServices() {
  static QtServices services;
  return services;
}

void InstallQtServices() {
  SetServices(&DesktopServices());
  SetDialogs(&DesktopServices());
  SetSystemClipboard(&DesktopClipboard());
}

void UninstallQtServices() {
  SetSystemClipboard(nullptr);
  SetDialogs(nullptr);
  SetServices(nullptr);
}

}  // namespace lw
