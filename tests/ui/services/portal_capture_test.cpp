// Recording under Wayland against a portal of the test's own on a private session bus: the
// conversation's calls, options and request paths, each way it can fail, and, where a PipeWire
// daemon can run, the pictures of a stream that GStreamer's videotestsrc sends.
#include "ui/services/portal_capture.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstring>
#include <memory>

#include "base/messages.h"
#include "base/string_ids.h"
#include "core/animation.h"
#include "support/services.h"
#include "support/window_driver.h"

namespace lw::test {

// A stream of Start's results: its node and properties, marshalled as (ua{sv}).
struct FakeStream {
  uint node = 0;
  QVariantMap properties;
};
struct FakeSize {
  int width = 0;
  int height = 0;
};

}  // namespace lw::test

Q_DECLARE_METATYPE(lw::test::FakeStream)
Q_DECLARE_METATYPE(lw::test::FakeSize)

namespace lw::test {

QDBusArgument& operator<<(QDBusArgument& out, const FakeStream& s) {
  out.beginStructure();
  out << s.node << s.properties;
  out.endStructure();
  return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, FakeStream& s) {
  in.beginStructure();
  in >> s.node >> s.properties;
  in.endStructure();
  return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const FakeSize& s) {
  out.beginStructure();
  out << s.width << s.height;
  out.endStructure();
  return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, FakeSize& s) {
  in.beginStructure();
  in >> s.width >> s.height;
  in.endStructure();
  return in;
}

const QString kPortalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// What the fake portal was asked, in order.
struct PortalCall {
  QString method;
  QString path;  // the object called (a request or a session for Close)
  QVariantMap options;
};

// A request or a session object: its Close is noted, with the interface it was called on.
class ClosableObject : public QDBusVirtualObject {
 public:
  explicit ClosableObject(std::vector<PortalCall>* calls) : calls_(calls) {}
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
    if (message.member() != QLatin1String("Close")) return false;
    calls_->push_back({QStringLiteral("Close"),
                       message.path(),
                       {{QStringLiteral("interface"), message.interface()}}});
    QDBusConnection(bus).send(message.createReply());
    return true;
  }

 private:
  std::vector<PortalCall>* calls_;
};

// org.freedesktop.portal.ScreenCast as the desktop's portal offers it, scripted.
class FakeScreenCast : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.ScreenCast")
  Q_PROPERTY(uint version MEMBER version)
  Q_PROPERTY(uint AvailableSourceTypes MEMBER sourceTypes)
  Q_PROPERTY(uint AvailableCursorModes MEMBER cursorModes)

 public:
  explicit FakeScreenCast(QDBusConnection bus) : bus_(bus) {}

  uint version = 4;
  uint sourceTypes = 3;
  uint cursorModes = 7;
  uint createCode = 0, selectCode = 0, startCode = 0;
  bool answerStart = true;     // else Start's Response never comes
  bool replyToCreate = true;   // else CreateSession's reply never comes
  bool responseFirst = false;  // the Response before the method's reply
  bool badStreams = false;     // streams of another type than a(ua{sv})
  bool refuseRemote = false;
  uint node = 42;
  int remoteFd = -1;
  std::vector<PortalCall> calls;
  std::vector<std::unique_ptr<ClosableObject>> objects;

 public slots:
  QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& message) {
    const QString session =
        QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
            .arg(Sender(message), options.value(QStringLiteral("session_handle_token")).toString());
    Expose(session);
    if (!replyToCreate) message.setDelayedReply(true);
    return Answer(QStringLiteral("CreateSession"), {}, options, message,
                  replyToCreate ? createCode : 99u, {{QStringLiteral("session_handle"), session}});
  }
  QDBusObjectPath SelectSources(const QDBusObjectPath& session, const QVariantMap& options,
                                const QDBusMessage& message) {
    return Answer(QStringLiteral("SelectSources"), session.path(), options, message, selectCode,
                  {});
  }
  QDBusObjectPath Start(const QDBusObjectPath& session, const QString& parent,
                        const QVariantMap& options, const QDBusMessage& message) {
    QVariantMap with = options;
    with.insert(QStringLiteral("parent_window"), parent);
    QVariantMap results;
    if (badStreams) {
      results.insert(QStringLiteral("streams"), QStringLiteral("nothing"));
    } else {
      const FakeStream stream{node,
                              {{QStringLiteral("size"), QVariant::fromValue(FakeSize{640, 480})}}};
      results.insert(QStringLiteral("streams"), QVariant::fromValue(QList<FakeStream>{stream}));
    }
    if (!answerStart) startCode = 99;
    return Answer(QStringLiteral("Start"), session.path(), with, message, startCode, results);
  }
  QDBusUnixFileDescriptor OpenPipeWireRemote(const QDBusObjectPath& session,
                                             const QVariantMap& options,
                                             const QDBusMessage& message) {
    calls.push_back({QStringLiteral("OpenPipeWireRemote"), session.path(), options});
    if (refuseRemote) {
      message.setDelayedReply(true);
      bus_.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.Failed"),
                                         QStringLiteral("no")));
    }
    return QDBusUnixFileDescriptor(remoteFd);
  }

 private:
  // The request path the portal makes of the caller's name and token, as documented.
  static QString Sender(const QDBusMessage& message) {
    return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
  }
  void Expose(const QString& path) {
    objects.push_back(std::make_unique<ClosableObject>(&calls));
    bus_.registerVirtualObject(path, objects.back().get());
  }
  // Notes the call and sends the Response (code 99: none) on the request's documented path.
  QDBusObjectPath Answer(const QString& method, const QString& session, QVariantMap options,
                         const QDBusMessage& message, uint code, const QVariantMap& results) {
    const QString request =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
            .arg(Sender(message), options.value(QStringLiteral("handle_token")).toString());
    Expose(request);
    options.insert(QStringLiteral("session"), session);
    calls.push_back({method, request, options});
    if (code != 99) {
      QDBusMessage response = QDBusMessage::createSignal(
          request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
      response << code << results;
      if (responseFirst)
        bus_.send(response);
      else
        QTimer::singleShot(0, this, [bus = bus_, response]() mutable { bus.send(response); });
    }
    return QDBusObjectPath(request);
  }

  QDBusConnection bus_;
};

// Ends the processes a test started, however it ends.
struct Reaper {
  std::vector<QProcess*> processes;
  ~Reaper() {
    for (QProcess* p : processes) {
      p->kill();
      p->waitForFinished();
    }
  }
};

class PortalCaptureTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QProcess daemon_;
  QString address_;
  std::unique_ptr<FakeScreenCast> portal_;
  int sockets_[2] = {-1, -1};

  QDBusConnection Client() { return QDBusConnection(QStringLiteral("lw-client")); }
  QDBusConnection PortalBus() { return QDBusConnection(QStringLiteral("lw-portal")); }

  // A fresh portal on the bus, with ScreenCast or only another interface.
  FakeScreenCast* NewPortal(bool screenCast = true) {
    QDBusConnection bus = PortalBus();
    bus.unregisterObject(kPortalPath);
    portal_ = std::make_unique<FakeScreenCast>(bus);
    portal_->remoteFd = sockets_[1];
    if (screenCast)
      bus.registerObject(kPortalPath, portal_.get(),
                         QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
    else
      bus.registerObject(kPortalPath, new QObject(portal_.get()));
    bus.registerService(kPortalName);
    return portal_.get();
  }

  static QStringList Methods(const FakeScreenCast& portal) {
    QStringList methods;
    for (const PortalCall& c : portal.calls) methods << c.method;
    return methods;
  }

  static bool SameFile(int a, int b) {
    struct stat sa = {}, sb = {};
    return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_ino == sb.st_ino &&
           sa.st_dev == sb.st_dev;
  }

 private slots:
  void initTestCase() {
    qDBusRegisterMetaType<FakeSize>();
    qDBusRegisterMetaType<FakeStream>();
    qDBusRegisterMetaType<QList<FakeStream>>();
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
      if (qEnvironmentVariableIsSet("CI")) QFAIL("dbus-daemon is not installed");
      QSKIP("dbus-daemon is not installed");
    }
    // A bus of the test's own, that starts no service on demand.
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral(
                   "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                   .arg(dir_.path())
                   .toUtf8());
    file.close();
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                   QStringLiteral("--print-address")});
    QVERIFY(daemon_.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(daemon_.canReadLine(), 10000);
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    QVERIFY(QDBusConnection::connectToBus(address_, QStringLiteral("lw-client")).isConnected());
    QVERIFY(QDBusConnection::connectToBus(address_, QStringLiteral("lw-portal")).isConnected());
    QCOMPARE(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets_), 0);
  }

  void cleanupTestCase() {
    portal_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("lw-client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("lw-portal"));
    daemon_.kill();
    daemon_.waitForFinished();
    for (int fd : sockets_)
      if (fd >= 0) close(fd);
  }

  // The three steps answered each by its Response on the path the portal documents, the
  // options each step sends, then the PipeWire connection; its session closed when it goes.
  void conversationFollowsThePortal() {
    struct Case {
      bool window, pointer, responseFirst;
      uint version, cursorModes;
      QVariant types, cursorMode;  // sent; invalid: not sent
    };
    const Case cases[] = {
        {false, false, false, 4, 7, 1u, 1u},  // a monitor, the pointer hidden
        {true, true, true, 4, 7, 2u, 2u},     // a window, the pointer drawn in
        {false, true, false, 4, 5, 1u, {}},   // no embedded pointer offered
        {true, true, true, 1, 7, 2u, {}},     // no cursor modes before version 2
    };
    for (const Case& c : cases) {
      FakeScreenCast* portal = NewPortal();
      portal->version = c.version;
      portal->cursorModes = c.cursorModes;
      portal->responseFirst = c.responseFirst;
      PortalRequest request;
      request.window = c.window;
      request.pointer = c.pointer;
      PortalStream stream;
      {
        PortalScreenCast cast(Client());
        QSignalSpy done(&cast, &PortalScreenCast::finished);
        cast.Start(request);
        QVERIFY(done.wait(10000));
        QCOMPARE(cast.Failure(), PortalFailure::None);
        stream = cast.TakeStream();
      }
      QCOMPARE(Methods(*portal),
               (QStringList{"CreateSession", "SelectSources", "Start", "OpenPipeWireRemote"}));
      const std::vector<PortalCall>& calls = portal->calls;
      const QString session = calls[1].options.value("session").toString();
      QVERIFY(session.startsWith("/org/freedesktop/portal/desktop/session/"));
      QVERIFY(!calls[0].options.value("session_handle_token").toString().isEmpty());
      for (int k = 0; k < 3; ++k) QVERIFY(!calls[k].options.value("handle_token").isNull());
      QCOMPARE(calls[2].options.value("session").toString(), session);
      QCOMPARE(calls[3].path, session);
      QCOMPARE(calls[1].options.value("multiple"), QVariant(false));
      QCOMPARE(calls[1].options.value("types"), c.types);
      QCOMPARE(calls[1].options.value("cursor_mode"), c.cursorMode);
      QCOMPARE(calls[2].options.value("parent_window").toString(), QString());
      QCOMPARE(stream.node, 42u);
      QCOMPARE(stream.width, 640);
      QCOMPARE(stream.height, 480);
      QCOMPARE(stream.session, session);
      QVERIFY(SameFile(stream.pipeWire.fileDescriptor(), sockets_[1]));
      // Taken, the session stays open until its taker closes it.
      QTest::qWait(50);
      QCOMPARE(portal->calls.size(), size_t{4});
      ClosePortalSession(Client(), stream.session);
      QTRY_COMPARE(portal->calls.size(), size_t{5});
      QCOMPARE(portal->calls.back().method, QString("Close"));
      QCOMPARE(portal->calls.back().path, session);
      QCOMPARE(portal->calls.back().options.value("interface").toString(),
               QString("org.freedesktop.portal.Session"));
    }
  }

  // Each failure says why in French, records nothing and leaves no session open.
  void failuresSayWhy() {
    struct Case {
      const char* name;
      std::function<void(FakeScreenCast*)> script;
      int message;
      QStringList methods;  // the calls the portal saw, Close included
    };
    const QStringList all{"CreateSession", "SelectSources", "Start"};
    const Case cases[] = {
        {"refused", [](FakeScreenCast* p) { p->startCode = 1; }, str::PortalRefused,
         all + QStringList{"Close"}},
        {"session failed",
         [](FakeScreenCast* p) { p->createCode = 2; },
         str::PortalFailed,
         {"CreateSession"}},
        {"streams malformed", [](FakeScreenCast* p) { p->badStreams = true; }, str::PortalFailed,
         all + QStringList{"Close"}},
        {"no PipeWire", [](FakeScreenCast* p) { p->refuseRemote = true; }, str::PortalNoPipeWire,
         all + QStringList{"OpenPipeWireRemote", "Close"}},
        {"too old", nullptr, str::PortalTooOld, {}},
        {"missing", nullptr, str::PortalMissing, {}},
    };
    for (const Case& c : cases) {
      const QByteArray name(c.name);
      FakeScreenCast* portal = NewPortal(name != "too old");
      if (name == "missing") PortalBus().unregisterService(kPortalName);
      if (c.script) c.script(portal);
      ServicesScope scope;
      PortalCaptureOptions options;
      QVERIFY2(!OpenPortalCapture(Client(), options), c.name);
      QCOMPARE(scope.services.Texts(), TextsOf({c.message}));
      QTRY_COMPARE(Methods(*portal), c.methods);
    }
  }

  // A portal that stops answering is given up after the time allowed: its dialog is closed
  // with its request, and its session.
  void silentPortalIsGivenUp() {
    for (bool duringChoice : {true, false}) {
      FakeScreenCast* portal = NewPortal();
      if (duringChoice)
        portal->answerStart = false;
      else
        portal->replyToCreate = false;
      ServicesScope scope;
      PortalCaptureOptions options;
      options.request.replyTimeoutMs = 300;
      options.request.choiceTimeoutMs = 400;
      QElapsedTimer waited;
      waited.start();
      QVERIFY(!OpenPortalCapture(Client(), options));
      // Not before the time allowed (timers may fire a little early).
      QVERIFY2(waited.elapsed() >= (duringChoice ? 400 : 300) * 9 / 10,
               qPrintable(QString::number(waited.elapsed())));
      QCOMPARE(scope.services.Texts(), TextsOf({str::PortalNoAnswer}));
      if (duringChoice) {
        QTRY_COMPARE(Methods(*portal),
                     (QStringList{"CreateSession", "SelectSources", "Start", "Close", "Close"}));
        QCOMPARE(portal->calls[3].path, portal->calls[2].path);  // the request of Start
        QCOMPARE(portal->calls[3].options.value("interface").toString(),
                 QString("org.freedesktop.portal.Request"));
      } else {
        QCOMPARE(Methods(*portal), QStringList{"CreateSession"});
      }
    }
  }

  // Where a PipeWire daemon of the test's own runs, the pictures of videotestsrc's stream come
  // through, cropped to each area, the same as the picture gst-launch writes to a file; they end
  // when the portal closes the session, and ending the capture closes it.
  void picturesComeFromPipeWire() {
    for (const char* tool : {"pipewire", "pw-link", "pw-dump", "gst-launch-1.0"}) {
      if (!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) continue;
      if (qEnvironmentVariableIsSet("CI")) QFAIL(tool);
      QSKIP("PipeWire or GStreamer's tools are not installed");
    }
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("PIPEWIRE_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    auto started = [&](QProcess& p, const QString& program, const QStringList& arguments) {
      p.setProcessEnvironment(env);
      p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
      p.start(program, arguments);
      return p.waitForStarted();
    };
    const QStringList bars{QStringLiteral("videotestsrc"), QStringLiteral("pattern=smpte")};
    const QStringList caps{QStringLiteral("!"),
                           QStringLiteral("video/x-raw,format=BGRx,width=320,height=240")};
    const QString reference = runtime.filePath(QStringLiteral("bars.raw"));
    QProcess one, daemon, producer, linker;
    const Reaper reaper{{&linker, &producer, &daemon}};
    QVERIFY(started(one, QStringLiteral("gst-launch-1.0"),
                    QStringList{"-q"} + bars + QStringList{"num-buffers=1"} + caps +
                        QStringList{"!", "filesink", "location=" + reference}));
    QVERIFY(one.waitForFinished(30000));
    QFile file(reference);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray expected = file.readAll();
    QCOMPARE(expected.size(), 320 * 240 * 4);

    QVERIFY(started(daemon, QStringLiteral("pipewire"), {}));
    const QString socketPath = runtime.filePath(QStringLiteral("pipewire-0"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socketPath), 10000);
    QVERIFY(started(producer, QStringLiteral("gst-launch-1.0"),
                    QStringList{"-q"} + bars +
                        QStringList{"is-live=true", "!", caps[1] + ",framerate=15/1", "!",
                                    "pipewiresink", "mode=provide",
                                    "stream-properties=p,node.name=lwbars,media.class=Video/"
                                    "Source"}));
    // The producer's node, once the daemon lists it.
    uint node = 0;
    for (int k = 0; k < 100 && node == 0; ++k) {
      QProcess dump;
      QVERIFY(started(dump, QStringLiteral("pw-dump"), {}));
      dump.waitForFinished(10000);
      for (const QJsonValue object : QJsonDocument::fromJson(dump.readAllStandardOutput()).array())
        if (object["info"]["props"]["node.name"].toString() == QLatin1String("lwbars"))
          node = static_cast<uint>(object["id"].toInt());
      if (node == 0) QTest::qWait(100);
    }
    QVERIFY(node != 0);
    // Without a session manager, the test links the stream to the capture's input itself.
    QVERIFY(started(linker, QStringLiteral("sh"),
                    {"-c",
                     "for i in $(seq 400); do in=$(pw-link -i | head -n1); "
                     "[ -n \"$in\" ] && pw-link lwbars:out_0 \"$in\" 2>/dev/null && exit 0; "
                     "sleep 0.05; done; exit 1"}));

    const int remote = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un where = {};
    where.sun_family = AF_UNIX;
    std::strncpy(where.sun_path, socketPath.toLocal8Bit().constData(), sizeof where.sun_path - 1);
    QCOMPARE(::connect(remote, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    FakeScreenCast* portal = NewPortal();
    portal->remoteFd = remote;
    portal->node = node;
    {
      ServicesScope scope;
      PortalCaptureOptions options;
      options.firstPictureTimeoutMs = 30000;
      std::unique_ptr<ScreenCapture> capture = OpenPortalCapture(Client(), options);
      QCOMPARE(scope.services.Texts(), std::vector<std::string>{});
      QVERIFY(capture);
      QCOMPARE(capture->ScreenWidth(), 320u);
      QCOMPARE(capture->ScreenHeight(), 240u);
      // Whole, inside, and across the right and bottom edges (black beyond).
      for (const CaptureArea& area : {CaptureArea{0, 0, 320, 240}, CaptureArea{37, 150, 101, 61},
                                      CaptureArea{290, 200, 45, 50}}) {
        std::vector<uint8_t> bgr;
        QCOMPARE(capture->Grab(area, false, &bgr), CaptureError::None);
        const size_t row = RgbStride(area.width);
        QCOMPARE(bgr.size(), row * area.height);
        for (uint32_t y = 0; y < area.height; ++y)
          for (uint32_t x = 0; x < area.width; ++x) {
            const uint32_t sx = area.x + x, sy = area.y + y;
            for (int c = 0; c < 3; ++c) {
              const uint8_t want = sx < 320 && sy < 240
                                       ? static_cast<uint8_t>(expected[(sy * 320 + sx) * 4 + c])
                                       : 0;
              if (bgr[y * row + x * 3 + c] != want)
                QFAIL(qPrintable(QStringLiteral("%1,%2 of the area at %3,%4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(area.x)
                                     .arg(area.y)));
            }
          }
      }
      // The user stops sharing from the desktop's indicator: the pictures end there.
      const QString session = portal->calls[1].options.value("session").toString();
      QDBusMessage closed = QDBusMessage::createSignal(
          session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"));
      closed << QVariantMap();
      PortalBus().send(closed);
      std::vector<uint8_t> bgr;
      QTRY_COMPARE(capture->Grab({0, 0, 8, 8}, false, &bgr), CaptureError::GrabFailed);
      capture.reset();
      QTRY_COMPARE(Methods(*portal).back(), QString("Close"));
      QCOMPARE(portal->calls.back().path, session);
    }
    close(remote);
  }
};

LW_UI_TEST(PortalCaptureTest)

}  // namespace lw::test

#include "portal_capture_test.moc"
