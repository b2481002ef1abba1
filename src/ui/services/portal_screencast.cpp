#include "ui/services/portal_screencast.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QRegularExpression>
#include <QVariant>

#include "base/messages.h"
#include "base/string_ids.h"

namespace lw {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kObject = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");

// The source types and cursor modes are bit masks of the portal's interface.
constexpr uint32_t kMonitor = 1;
constexpr uint32_t kWindow = 2;
constexpr uint32_t kCursorHidden = 1;
constexpr uint32_t kCursorEmbedded = 2;

QString NextToken() {
  static uint32_t count = 0;
  return QStringLiteral("loopwright%1").arg(++count);
}

PortalFailure FailureOfError(const QDBusError& error) {
  switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected: return PortalFailure::NoPortal;
    case QDBusError::NoReply:
    case QDBusError::Timeout: return PortalFailure::NoAnswer;
    default: break;
  }
  // Nobody on the name, or a portal started on demand that could not start.
  if (error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
      error.name().startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn")))
    return PortalFailure::NoPortal;
  return PortalFailure::Failed;
}

// A side of the stream's size, when it is one.
int Side(int value) { return value > 0 && value <= 65535 ? value : 0; }

// The first stream of Start's results: a(ua{sv}), whose properties may hold its size as (ii).
bool ReadFirstStream(const QVariant& value, PortalStream* stream) {
  if (value.userType() != qMetaTypeId<QDBusArgument>()) return false;
  const QDBusArgument streams = value.value<QDBusArgument>();
  if (streams.currentSignature() != QLatin1String("a(ua{sv})")) return false;
  bool found = false;
  streams.beginArray();
  while (!streams.atEnd()) {
    uint node = 0;
    QVariantMap properties;
    streams.beginStructure();
    streams >> node >> properties;
    streams.endStructure();
    if (found) continue;
    found = true;
    stream->node = node;
    const QVariant size = properties.value(QStringLiteral("size"));
    if (size.userType() != qMetaTypeId<QDBusArgument>()) continue;
    const QDBusArgument pair = size.value<QDBusArgument>();
    if (pair.currentSignature() != QLatin1String("(ii)")) continue;
    int width = 0, height = 0;
    pair.beginStructure();
    pair >> width >> height;
    pair.endStructure();
    if (Side(width) && Side(height)) {
      stream->width = width;
      stream->height = height;
    }
  }
  streams.endArray();
  return found;
}

// The session's handle, which CreateSession answers as a string (an object path from some).
QString SessionHandle(const QVariant& value) {
  QString path = value.userType() == qMetaTypeId<QDBusObjectPath>()
                     ? value.value<QDBusObjectPath>().path()
                     : value.toString();
  // A string that is not an object path would make every later call fail to marshal.
  static const QRegularExpression valid(QStringLiteral("^(/[A-Za-z0-9_]+)+$"));
  return valid.match(path).hasMatch() ? path : QString();
}

}  // namespace

PortalScreenCast::PortalScreenCast(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &PortalScreenCast::OnTimeout);
}

PortalScreenCast::~PortalScreenCast() {
  StopListening();
  if (!streamTaken_ && !stream_.session.isEmpty()) ClosePortalSession(bus_, stream_.session);
}

QString PortalScreenCast::RequestPath(const QString& uniqueName, const QString& token) {
  QString sender = uniqueName.startsWith(QLatin1Char(':')) ? uniqueName.mid(1) : uniqueName;
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

void PortalScreenCast::Start(const PortalRequest& request) {
  request_ = request;
  if (!bus_.isConnected()) return Finish(PortalFailure::NoPortal);
  step_ = Step::Properties;
  Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"), {kScreenCast},
       &PortalScreenCast::OnProperties);
  timer_.start(request_.replyTimeoutMs);
}

QDBusPendingCallWatcher* PortalScreenCast::Call(
    const QString& interface, const QString& method, const QVariantList& arguments,
    void (PortalScreenCast::*onReply)(QDBusPendingCallWatcher*)) {
  QDBusMessage message = QDBusMessage::createMethodCall(kService, kObject, interface, method);
  message.setArguments(arguments);
  auto* watcher =
      new QDBusPendingCallWatcher(bus_.asyncCall(message, request_.replyTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, onReply);
  return watcher;
}

void PortalScreenCast::CallWithResponse(const QString& method, QVariantList arguments,
                                        QVariantMap options, int responseTimeoutMs) {
  const QString token = NextToken();
  options.insert(QStringLiteral("handle_token"), token);
  arguments.append(options);
  requestPath_ = RequestPath(bus_.baseService(), token);
  Listen(requestPath_);
  responseTimeoutMs_ = responseTimeoutMs;
  awaited_ = Call(kScreenCast, method, arguments, &PortalScreenCast::OnRequestHandle);
  timer_.start(request_.replyTimeoutMs + responseTimeoutMs);
}

void PortalScreenCast::Listen(const QString& path) {
  if (listened_.contains(path)) return;
  if (bus_.connect(kService, path, kRequest, QStringLiteral("Response"), this,
                   SLOT(OnResponse(uint, QVariantMap))))
    listened_.append(path);
}

void PortalScreenCast::StopListening() {
  for (const QString& path : listened_)
    bus_.disconnect(kService, path, kRequest, QStringLiteral("Response"), this,
                    SLOT(OnResponse(uint, QVariantMap)));
  listened_.clear();
}

void PortalScreenCast::OnProperties(QDBusPendingCallWatcher* call) {
  call->deleteLater();
  if (done_) return;
  const QDBusPendingReply<QVariantMap> reply = *call;
  if (reply.isError()) {
    const PortalFailure failure = FailureOfError(reply.error());
    // A portal without the interface answers that it does not know it.
    return Finish(failure == PortalFailure::Failed ? PortalFailure::TooOld : failure);
  }
  const QVariantMap properties = reply.value();
  version_ = properties.value(QStringLiteral("version")).toUInt();
  sourceTypes_ = properties.value(QStringLiteral("AvailableSourceTypes")).toUInt();
  cursorModes_ = properties.value(QStringLiteral("AvailableCursorModes")).toUInt();
  if (version_ == 0) return Finish(PortalFailure::TooOld);

  step_ = Step::CreateSession;
  const QVariantMap options{{QStringLiteral("session_handle_token"), NextToken()}};
  CallWithResponse(QStringLiteral("CreateSession"), {}, options, request_.replyTimeoutMs);
}

void PortalScreenCast::OnRequestHandle(QDBusPendingCallWatcher* call) {
  call->deleteLater();
  // The Response may have come first: the step is over then.
  if (done_ || call != awaited_) return;
  awaited_ = nullptr;
  const QDBusPendingReply<QDBusObjectPath> reply = *call;
  if (reply.isError()) return Finish(FailureOfError(reply.error()));
  // Portals older than the handle token answer with a path of their own making.
  const QString path = reply.value().path();
  if (!path.isEmpty() && path != requestPath_) Listen(path);
  timer_.start(responseTimeoutMs_);
}

void PortalScreenCast::OnResponse(uint code, const QVariantMap& results) {
  if (done_ || requestPath_.isEmpty()) return;
  StopListening();
  requestPath_.clear();
  awaited_ = nullptr;
  timer_.stop();
  if (code == 1) return Finish(PortalFailure::Refused);
  if (code != 0) return Finish(PortalFailure::Failed);
  switch (step_) {
    case Step::CreateSession: {
      stream_.session = SessionHandle(results.value(QStringLiteral("session_handle")));
      if (stream_.session.isEmpty()) return Finish(PortalFailure::Failed);
      step_ = Step::SelectSources;
      const uint32_t wanted = request_.window ? kWindow : kMonitor;
      QVariantMap options{{QStringLiteral("multiple"), false}};
      if (sourceTypes_ & wanted)
        options.insert(QStringLiteral("types"), wanted);
      else if (sourceTypes_ & (kMonitor | kWindow))
        options.insert(QStringLiteral("types"), sourceTypes_ & (kMonitor | kWindow));
      // The cursor modes came with version 2.
      const uint32_t cursor = request_.pointer ? kCursorEmbedded : kCursorHidden;
      if (version_ >= 2 && (cursorModes_ & cursor))
        options.insert(QStringLiteral("cursor_mode"), cursor);
      CallWithResponse(QStringLiteral("SelectSources"),
                       {QVariant::fromValue(QDBusObjectPath(stream_.session))}, options,
                       request_.replyTimeoutMs);
      return;
    }
    case Step::SelectSources:
      step_ = Step::Start;
      CallWithResponse(QStringLiteral("Start"),
                       {QVariant::fromValue(QDBusObjectPath(stream_.session)), QString()}, {},
                       request_.choiceTimeoutMs);
      return;
    case Step::Start:
      if (!ReadFirstStream(results.value(QStringLiteral("streams")), &stream_))
        return Finish(PortalFailure::Failed);
      step_ = Step::OpenRemote;
      Call(kScreenCast, QStringLiteral("OpenPipeWireRemote"),
           {QVariant::fromValue(QDBusObjectPath(stream_.session)), QVariantMap()},
           &PortalScreenCast::OnRemote);
      timer_.start(request_.replyTimeoutMs);
      return;
    case Step::Properties:
    case Step::OpenRemote: return;
  }
}

void PortalScreenCast::OnRemote(QDBusPendingCallWatcher* call) {
  call->deleteLater();
  if (done_) return;
  const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
  if (reply.isError()) {
    const PortalFailure failure = FailureOfError(reply.error());
    return Finish(failure == PortalFailure::NoAnswer ? failure : PortalFailure::NoPipeWire);
  }
  stream_.pipeWire = reply.value();
  Finish(stream_.pipeWire.isValid() ? PortalFailure::None : PortalFailure::NoPipeWire);
}

void PortalScreenCast::OnTimeout() {
  if (done_) return;
  // The desktop's dialog, if it is up, goes away with its request.
  if (!requestPath_.isEmpty())
    bus_.send(
        QDBusMessage::createMethodCall(kService, requestPath_, kRequest, QStringLiteral("Close")));
  Finish(PortalFailure::NoAnswer);
}

void PortalScreenCast::Finish(PortalFailure failure) {
  timer_.stop();
  StopListening();
  requestPath_.clear();
  awaited_ = nullptr;
  failure_ = failure;
  done_ = true;
  if (failure != PortalFailure::None && !stream_.session.isEmpty()) {
    ClosePortalSession(bus_, stream_.session);
    stream_ = PortalStream();
  }
  emit finished();
}

PortalStream PortalScreenCast::TakeStream() {
  streamTaken_ = true;
  return stream_;
}

PortalFailure AskPortalForStream(const QDBusConnection& bus, const PortalRequest& request,
                                 PortalStream* stream) {
  PortalScreenCast cast(bus);
  QEventLoop loop;
  QObject::connect(&cast, &PortalScreenCast::finished, &loop, &QEventLoop::quit);
  cast.Start(request);
  if (!cast.Done()) loop.exec();
  if (cast.Failure() == PortalFailure::None) *stream = cast.TakeStream();
  return cast.Failure();
}

void ClosePortalSession(const QDBusConnection& bus, const QString& session) {
  if (session.isEmpty()) return;
  QDBusConnection(bus).send(
      QDBusMessage::createMethodCall(kService, session, kSession, QStringLiteral("Close")));
}

void ShowPortalFailure(PortalFailure failure) {
  switch (failure) {
    case PortalFailure::None: break;
    case PortalFailure::NoPortal: ShowErrorId(str::PortalMissing); break;
    case PortalFailure::TooOld: ShowErrorId(str::PortalTooOld); break;
    case PortalFailure::Refused: ShowErrorId(str::PortalRefused); break;
    case PortalFailure::Failed: ShowErrorId(str::PortalFailed); break;
    case PortalFailure::NoAnswer: ShowErrorId(str::PortalNoAnswer); break;
    case PortalFailure::NoPipeWire: ShowErrorId(str::PortalNoPipeWire); break;
  }
}

}  // namespace lw
