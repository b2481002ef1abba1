// The screen capture of a Wayland session: the desktop portal shares a monitor or a window the
// user picks in the desktop's own dialog, and its PipeWire stream gives the pictures. Closing
// the capture ends the sharing.
#pragma once

#include <QDBusConnection>
#include <memory>

#include "platform/screen_capture.h"
#include "ui/services/portal_screencast.h"

namespace lw {

struct PortalCaptureOptions {
  PortalRequest request;
  int firstPictureTimeoutMs = 10000;  // after the stream is given, until its first picture
};

// The capture, its size the stream's; none after a message saying why. The window's events go
// on while the portal and the user answer.
std::unique_ptr<ScreenCapture> OpenPortalCapture(const QDBusConnection& bus,
                                                 const PortalCaptureOptions& options);

}  // namespace lw
