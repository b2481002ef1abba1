// What the engine needs of the desktop: message boxes (questions included), event pumping and
// the busy cursor, progress popups, and the notices the window follows. The engine never talks
// to a toolkit directly; it calls the one services object installed at start-up. The dialogs a
// flow opens in the middle of its work are the window's own interface (platform/flow_dialogs.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace lw {

// Owner of a box or dialog, opaque to the engine (a QWidget* in the Qt implementation).
using WindowHandle = void*;

// Message-box styles and answers keep their Windows values: stored answers and callers compare
// them.
namespace mb {
constexpr int Ok = 0x0;
constexpr int OkCancel = 0x1;
constexpr int AbortRetryIgnore = 0x2;
constexpr int YesNoCancel = 0x3;
constexpr int YesNo = 0x4;
constexpr int RetryCancel = 0x5;
constexpr int IconHand = 0x10;
constexpr int IconQuestion = 0x20;
constexpr int IconExclamation = 0x30;
constexpr int IconAsterisk = 0x40;
constexpr int DefButton2 = 0x100;
constexpr int DefButton3 = 0x200;
constexpr int TaskModal = 0x2000;
// The OK button reads "Continuer", for questions whose text names that button.
constexpr int OkContinues = 0x10000;
constexpr int ButtonMask = 0xF;
constexpr int IconMask = 0xF0;
constexpr int DefButtonMask = 0xF00;
}  // namespace mb

namespace answer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace answer

// What a progress meter shows on screen; the interface supplies it (a popup, or a dialog's
// controls). Only the interface thread calls it.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void SetRange(int total) = 0;               // range 0..total, position 0, step 1
  virtual void SetPosition(int position) = 0;         // within 0..total
  virtual void Step() = 0;                            // one further, stopping at the end
  virtual void SetText(const std::string& text) = 0;  // empty clears
  virtual void Refocus() {}                           // back to the front with the keyboard focus
  virtual void Finished() {}                          // its meter closed (a shared view hides)
};

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // Shows a message box with the given caption and text (UTF-8) and style; returns the answer.
  virtual int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                         int style) = 0;

  // True when the program runs with a user in front of it (a window toolkit is up).
  virtual bool Interactive() const = 0;

  // Lets pending window events run (progress pumping). The headless services do nothing.
  virtual void PumpEvents() {}

  // Hourglass on and off for long work on the interface thread.
  virtual void SetBusyCursor(bool /*busy*/) {}

  // The popup of a progress meter with its own popup, shown and centred over owner (which may be
  // none). Esc in it must call ProgressCancel(). Without a user no popup is made and such meters
  // only answer.
  virtual std::unique_ptr<ProgressView> OpenProgressPopup(WindowHandle /*owner*/) {
    return nullptr;
  }

  // The undo history changed (the window refreshes its menu and buttons), and so did the list of
  // recent files (the window rebuilds its menu). Without a window nobody listens.
  virtual void UndoHistoryChanged() {}
  virtual void RecentFilesChanged() {}
};

// The answers a box of the given style offers, in the order its buttons show them (1 to 3).
// Unknown button codes give an OK box, as the system does.
int BoxButtons(int style, int out[3]);

// The answer of the box's default button (the first one unless DefButton2/3 say otherwise).
int DefaultAnswer(int style);

// The installed services. Until something else is installed, the program-wide HeadlessServices
// (platform/headless_services.h) serve: messages on standard error, questions answered with
// their default button.
PlatformServices& Services();

// Installs services; the caller keeps ownership. nullptr puts the headless default back.
void SetServices(PlatformServices* services);

// The file operations of the safe replacement of a saved file: rename over and delete. The
// real ones serve; tests install their own to make them fail or count them.
class ReplacementFiles {
 public:
  virtual ~ReplacementFiles() = default;
  virtual bool Rename(const std::string& from, const std::string& to);
  virtual bool Remove(const std::string& path);
};

// The installed file operations; the real ones until something else is installed.
ReplacementFiles& FileReplacement();

// Installs file operations; the caller keeps ownership. nullptr puts the real ones back.
void SetFileReplacement(ReplacementFiles* files);

}  // namespace lw
