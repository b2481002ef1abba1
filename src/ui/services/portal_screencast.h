// Sharing the screen through the desktop portal, the way a program records the screen under
// Wayland: org.freedesktop.portal.ScreenCast on the session bus. A session is made, its sources
// chosen (a monitor or a window, the pointer drawn in or not), then started, when the desktop
// asks the user what to share; each of these three answers with the Response signal of a request
// object whose path the program knows beforehand. The portal then opens a PipeWire connection,
// over which the stream's node gives the pictures. Nothing here waits: the replies and signals
// come through the event loop, each step within its time limit.
#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <cstdint>

class QDBusPendingCallWatcher;

namespace lw {

struct PortalRequest {
  bool window = false;           // a window of the user's choice, else a monitor
  bool pointer = false;          // the pointer drawn into the pictures, where the portal can choose
  int replyTimeoutMs = 25000;    // each reply, and each Response that does not wait on the user
  int choiceTimeoutMs = 600000;  // the Response of Start, which waits while the user chooses
};

enum class PortalFailure {
  None,
  NoPortal,    // nobody owns org.freedesktop.portal.Desktop on the bus
  TooOld,      // the portal has no ScreenCast
  Refused,     // the user cancelled the desktop's dialog
  Failed,      // the portal ended a step with an error, or shared nothing
  NoAnswer,    // a step went past its time limit
  NoPipeWire,  // the PipeWire connection could not be had
};

struct PortalStream {
  QDBusUnixFileDescriptor pipeWire;  // the connection to PipeWire the portal opened
  uint32_t node = 0;                 // the stream's node on it
  int width = 0;                     // the size the portal gave, 0 when it gave none
  int height = 0;
  QString session;  // the session's object path: closing it ends the sharing
};

// One conversation with the portal, from the session to the PipeWire connection.
class PortalScreenCast : public QObject {
  Q_OBJECT

 public:
  explicit PortalScreenCast(const QDBusConnection& bus, QObject* parent = nullptr);
  // Closes the session unless the stream was taken.
  ~PortalScreenCast() override;

  void Start(const PortalRequest& request);
  bool Done() const { return done_; }
  PortalFailure Failure() const { return failure_; }
  // After a success: the stream, whose session the caller closes from then on.
  PortalStream TakeStream();

  // The request object's path for a handle token, as the portal makes it from the caller's
  // unique name on the bus (":1.42" gives "1_42").
  static QString RequestPath(const QString& uniqueName, const QString& token);

 signals:
  void finished();

 private slots:
  void OnResponse(uint code, const QVariantMap& results);

 private:
  enum class Step { Properties, CreateSession, SelectSources, Start, OpenRemote };

  QDBusPendingCallWatcher* Call(const QString& interface, const QString& method,
                                const QVariantList& arguments,
                                void (PortalScreenCast::*onReply)(QDBusPendingCallWatcher*));
  // Calls a method whose answer is a Response on the request path of a fresh token, listened to
  // before the call goes out.
  void CallWithResponse(const QString& method, QVariantList arguments, QVariantMap options,
                        int responseTimeoutMs);
  void OnProperties(QDBusPendingCallWatcher* call);
  void OnRequestHandle(QDBusPendingCallWatcher* call);
  void OnRemote(QDBusPendingCallWatcher* call);
  void Listen(const QString& path);
  void StopListening();
  void Finish(PortalFailure failure);
  void OnTimeout();

  QDBusConnection bus_;
  PortalRequest request_;
  Step step_ = Step::Properties;
  uint32_t version_ = 0;
  uint32_t sourceTypes_ = 0;
  uint32_t cursorModes_ = 0;
  int responseTimeoutMs_ = 0;
  QStringList listened_;                        // request paths whose Response is awaited
  QString requestPath_;                         // the request of the step under way
  QDBusPendingCallWatcher* awaited_ = nullptr;  // its call, until it replies
  QTimer timer_;
  PortalStream stream_;
  bool streamTaken_ = false;
  bool done_ = false;
  PortalFailure failure_ = PortalFailure::None;
};

// Runs a conversation to its end on bus; the window's events go on meanwhile. None on failure.
PortalFailure AskPortalForStream(const QDBusConnection& bus, const PortalRequest& request,
                                 PortalStream* stream);

// Ends the sharing of a session (without waiting for the reply).
void ClosePortalSession(const QDBusConnection& bus, const QString& session);

// Shows why the screen could not be shared.
void ShowPortalFailure(PortalFailure failure);

}  // namespace lw
