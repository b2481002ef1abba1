#include "ui/services/portal_capture.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "base/messages.h"
#include "base/string_ids.h"
#include "ui/services/pipewire_capture.h"

namespace lw {
namespace {

// The portal closes the session when the user stops sharing from the desktop's own indicator:
// the capture ends then, and the recording with it, keeping what it took.
class SessionWatch : public QObject {
  Q_OBJECT

 public:
  SessionWatch(const QDBusConnection& bus, const QString& session, PipeWireCapture* capture)
      : bus_(bus), session_(session), capture_(capture) {
    bus_.connect(QStringLiteral("org.freedesktop.portal.Desktop"), session_, kInterface,
                 QStringLiteral("Closed"), this, SLOT(OnClosed()));
  }
  SessionWatch(const SessionWatch&) = delete;
  SessionWatch& operator=(const SessionWatch&) = delete;
  ~SessionWatch() override {
    bus_.disconnect(QStringLiteral("org.freedesktop.portal.Desktop"), session_, kInterface,
                    QStringLiteral("Closed"), this, SLOT(OnClosed()));
  }

  void CloseSession() { ClosePortalSession(bus_, session_); }

 private slots:
  void OnClosed() { capture_->End(); }

 private:
  static inline const QString kInterface = QStringLiteral("org.freedesktop.portal.Session");
  QDBusConnection bus_;
  QString session_;
  PipeWireCapture* capture_;
};

}  // namespace

std::unique_ptr<ScreenCapture> OpenPortalCapture(const QDBusConnection& bus,
                                                 const PortalCaptureOptions& options) {
  PortalStream stream;
  const PortalFailure failure = AskPortalForStream(bus, options.request, &stream);
  if (failure != PortalFailure::None) {
    ShowPortalFailure(failure);
    return nullptr;
  }
  auto capture = std::make_unique<PipeWireCapture>(
      PipeWireSource{stream.pipeWire.fileDescriptor(), stream.node});
  // The watch goes with the capture, which closes the session as it goes.
  auto watch = std::make_shared<SessionWatch>(bus, stream.session, capture.get());
  capture->SetOnClose([watch] { watch->CloseSession(); });
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

#include "portal_capture.moc"
