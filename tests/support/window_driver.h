// What the window and dialog tests share: a settings folder of each test class's own, quiet
// scripted services that hand the window's notifications and progress popups to the desktop,
// the main window opened on a drawn document, one driver for modal dialogs, mouse strokes sent
// to a widget, and widgets found by object name. Test classes register with LW_UI_TEST; one
// main (ui_main.cpp) runs every class linked into the executable.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/animation.h"
#include "core/undo.h"
#include "formats/gif/gif_save.h"
#include "platform/settings_store.h"
#include "shell/command_ids.h"
#include "support/document.h"
#include "support/services.h"
#include "ui/services/qt_services.h"
#include "ui/window/frame_strip.h"
#include "ui/window/main_window.h"
#include "ui/window/preview_window.h"
#include "ui/window/properties_bar.h"

namespace lw::test {

void RegisterUiTest(const char* name, std::function<QObject*()> make);
#define LW_UI_TEST(Class)                \
  static const bool lw_ui_test_##Class = \
      (::lw::test::RegisterUiTest(#Class, []() -> QObject* { return new Class; }), true);

// A frame of one colour with a square of another in its middle (none when inner < 0).
inline Frame* AddSquareFrame(Animation& a, int32_t left, int32_t top, uint32_t w, uint32_t h,
                             uint8_t fill, int inner, int disposal = 1, uint32_t delay = 10,
                             int transparent = -1) {
  std::vector<uint8_t> pixels(size_t{w} * h, fill);
  for (uint32_t y = h / 4; inner >= 0 && y < h * 3 / 4; ++y)
    for (uint32_t x = w / 4; x < w * 3 / 4; ++x) pixels[y * w + x] = static_cast<uint8_t>(inner);
  return AddFrame(a, left, top, w, h, pixels, disposal, transparent, delay);
}

// Holds the working thread at its first progress report until released; the interface thread
// never waits. The 30 s bound is reached only when the interface's events stopped turning.
inline void HoldFirstReport(const std::atomic<bool>& released, std::atomic<int>& reports) {
  SetProgressReportHookForTests([&] {
    if (reports++ > 0 || QThread::currentThread() == qApp->thread()) return;
    QDeadlineTimer bound(std::chrono::seconds(30));
    while (!released && !bound.hasExpired())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
}

// One mouse event sent straight to a widget, as the window system would deliver it.
inline void Mouse(QWidget* w, QEvent::Type type, QPointF at,
                  Qt::KeyboardModifiers keys = Qt::NoModifier) {
  const bool move = type == QEvent::MouseMove;
  const Qt::MouseButtons held =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
  QMouseEvent e(type, at, w->mapToGlobal(at), move ? Qt::NoButton : Qt::LeftButton, held, keys);
  QApplication::sendEvent(w, &e);
}
inline void Click(QWidget* w, QPointF at, Qt::KeyboardModifiers keys = Qt::NoModifier) {
  Mouse(w, QEvent::MouseButtonPress, at, keys);
  Mouse(w, QEvent::MouseButtonRelease, at, keys);
}
// Press, `steps` moves of equal length, release.
inline void Drag(QWidget* w, QPointF from, QPointF to, int steps = 2) {
  Mouse(w, QEvent::MouseButtonPress, from);
  for (int s = 1; s <= steps; ++s) Mouse(w, QEvent::MouseMove, from + (to - from) * s / steps);
  Mouse(w, QEvent::MouseButtonRelease, to);
}

// The child of that type and object name; null (with a warning naming it) when there is none.
template <class T>
T* Child(const QObject* parent, const QString& name) {
  T* found = parent ? parent->findChild<T*>(name) : nullptr;
  if (!found) qWarning("no child named %s", qPrintable(name));
  return found;
}

// The button of that role in the widget's button box; null (with a warning) when there is none.
inline QAbstractButton* BoxButton(
    const QObject* parent, QDialogButtonBox::ButtonRole role = QDialogButtonBox::AcceptRole) {
  auto* box = parent ? parent->findChild<QDialogButtonBox*>() : nullptr;
  for (QAbstractButton* b : box ? box->buttons() : QList<QAbstractButton*>())
    if (box->buttonRole(b) == role) return b;
  qWarning("no button of role %d", int(role));
  return nullptr;
}

// The letter after the & of a text, in lower case; none when it has none.
inline QChar Mnemonic(const QString& text) {
  const qsizetype at = text.indexOf(QLatin1Char('&'));
  return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
}

// The letters that more than one shown button or label of the widget takes, each with the texts
// that take it; empty when each letter leads to one place.
inline QStringList SharedLetters(const QWidget* parent) {
  QMultiHash<QChar, QString> taken;
  for (QWidget* w : parent->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(parent)) continue;
    QString text;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) text = button->text();
    if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
    if (!Mnemonic(text).isNull()) taken.insert(Mnemonic(text), text);
  }
  QStringList shared;
  for (QChar letter : taken.uniqueKeys())
    if (taken.count(letter) > 1)
      shared << letter + QStringLiteral(": ") + taken.values(letter).join(", ");
  return shared;
}

// Runs `run`, which opens a modal dialog and waits in its loop; once a dialog of type D is the
// active modal widget, `act` gets it. A dialog that act leaves open is rejected so that run
// returns (after half a second). Returns whether the dialog showed.
template <class D = QDialog>
bool WithModal(const std::function<void()>& run,
               const std::type_identity_t<std::function<void(D*)>>& act) {
  bool seen = false;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    D* dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll.stop();
    seen = true;
    QPointer<QWidget> alive(dialog);
    act(dialog);
    // Some dialogs close a moment after their button (the file chooser); give them that moment.
    if (alive && alive->isVisible() &&
        !QTest::qWaitFor([&] { return !alive || !alive->isVisible(); }, 500))
      if (auto* d = qobject_cast<QDialog*>(alive.data())) d->reject();
  });
  poll.start();
  run();
  return seen;
}

// A window or dialog test class: its own settings folder and scripted services, and the main
// window when the test opens one.
class UiTest : public QObject {
 protected:
  QTemporaryDir dir;
  ScriptedServices services;
  std::unique_ptr<MainWindow> window;

  // Fresh settings (no automatic preview, no first-start question), the Qt services for the
  // window's notifications and popups, and the scripted ones for messages and questions.
  bool StartUi() {
    if (!dir.isValid()) return false;
    setenv("XDG_CONFIG_HOME", qPrintable(dir.path() + "/config"), 1);
    setenv("XDG_DATA_HOME", qPrintable(dir.path() + "/data"), 1);
    ResetSettingsStore();  // the store keeps the file it first read
    LoadPreferences();
    SetPrefOn(Pref::NoAutoPreview, true);
    SetPrefOn(Pref::FirstStartDone, true);
    InstallQtServices();
    Adopt(services);
    return true;
  }
  // Installs scripted services of the test's own kind, quiet, sharing the window's services.
  static void Adopt(ScriptedServices& scripted) {
    scripted.SetEcho(false);
    scripted.ShareWindowWith(&DesktopServices());
    scripted.popups = [](WindowHandle owner) { return DesktopServices().OpenProgressPopup(owner); };
    InstallScripted(&scripted);
  }
  void EndUi() {
    CloseWindow();
    InstallScripted(nullptr);
    UninstallQtServices();
  }

  // A main window of that size, shown and active, with the record of messages emptied.
  bool OpenWindow(int width = 640, int height = 480) {
    services.Reset();
    window = std::make_unique<MainWindow>();
    window->resize(width, height);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) return false;
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
  }
  // Closes it without saving.
  void CloseWindow() {
    if (auto* scripted = dynamic_cast<HeadlessServices*>(&Services());
        window && window->Modified() && scripted)
      scripted->QueueAnswer(answer::No);
    window.reset();
  }

  std::string Path(const QString& name) const { return (dir.path() + "/" + name).toStdString(); }
  // Writes the document as a GIF named name; returns its path ("" when it could not).
  std::string WriteGif(Animation& a, const QString& name) const {
    std::string path = Path(name);
    return SaveGifToFile(path, a, {}, nullptr) ? path : std::string();
  }
  // Writes the document and opens it in the window.
  bool OpenGif(Animation& a, const QString& name) {
    std::string path = WriteGif(a, name);
    return !path.empty() && window && window->OpenDocument(path) == 1;
  }
};

}  // namespace lw::test
