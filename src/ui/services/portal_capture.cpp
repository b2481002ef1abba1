#include "ui/services/portal_capture.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "base/messages.h"
#include "base/string_ids.h"
#include "ui/services/pipewire_capture.h"

namespace lw {

std::unique_ptr<ScreenCapture> OpenPortalCapture(const QDBusConnection& bus,
                                                 const PortalCaptureOptions& options) {
  PortalStream stream;
  const PortalFailure failure = AskPortalForStream(bus, options.request, &stream);
  if (failure != PortalFailure::None) {
    ShowPortalFailure(failure);
    return nullptr;
  }
  const QString session = stream.session;
  auto capture = std::make_unique<PipeWireCapture>(
      PipeWireSource{stream.pipeWire.fileDescriptor(), stream.node},
      [bus, session] { ClosePortalSession(bus, session); });
  const PipeWireFailure started = capture->Start();
  if (started == PipeWireFailure::NoElement) {
    ShowErrorId(str::PipeWireNoElement);
    return nullptr;
  }
  QElapsedTimer waited;
  waited.start();
  FirstPicture first = FirstPicture::Failed;
  if (started == PipeWireFailure::None) {
    for (;;) {
      first = capture->WaitFirstPicture(40);
      if (first != FirstPicture::NotYet || waited.elapsed() >= options.firstPictureTimeoutMs) break;
      QCoreApplication::processEvents();
    }
  }
  if (first != FirstPicture::Came) {
    ShowErrorId(str::PipeWireNoPicture);
    return nullptr;
  }
  return capture;
}

}  // namespace lw
