#include "ui/services/page_opener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>

#include "platform/process.h"

namespace lw {

namespace {

// xdg-open gives up within seconds when no browser is known; an answer after this long is the
// exit of a browser it ran in the foreground.
constexpr qint64 kAnswerMs = 30000;

}  // namespace

bool OpenPageInBrowser(const std::string& path, std::function<void()> failed) {
  int watcher = 0;
  const int answer = StartWatched({"xdg-open", path}, &watcher);
  if (answer < 0) return false;
  QElapsedTimer since;
  since.start();
  auto* notifier = new QSocketNotifier(answer, QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [notifier, watcher, since, failed = std::move(failed)] {
                     notifier->setEnabled(false);
                     const int code = FinishWatched(static_cast<int>(notifier->socket()), watcher);
                     notifier->deleteLater();
                     if (code != 0 && since.elapsed() < kAnswerMs && failed) failed();
                   });
  return true;
}

}  // namespace lw
