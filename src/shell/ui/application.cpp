#include "shell/ui/application.h"

#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "platform/qt/qt_services.h"
#include "shell/progress.h"
#include "shell/ui/icons.h"
#include "shell/ui/main_window.h"

namespace lw {

std::string FileFromCommandLine(const std::string& line) {
  size_t start = !line.empty() && line[0] == '"' ? 1 : 0;
  for (size_t i = start; i < line.size(); ++i) {
    if (line[i] == '"') return line.substr(start, i - start);
    if (line[i] == ' ') {
      if (i + 2 < line.size() && line[i + 2] == ':') return line.substr(start, i - start);
      std::string rest = line.substr(start);
      if (!rest.empty() && rest.back() == '"') rest.pop_back();
      return rest;
    }
  }
  return line.substr(start);
}

int RunWindow(int argc, char** argv) {
  int status = 0;
  {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Loopwright");
    QApplication::setWindowIcon(ProgramIcon());
    InstallQtServices();
    {
      MainWindow window;
      window.show();
      // The shell hands each argument over as its own word: the first one is the file.
      if (argc > 1 && argv[1][0] != '\0') {
        std::string path = argv[1];
        QTimer::singleShot(0, &window, [&window, path] { window.OpenDocument(path); });
      }
      // For the documentation's picture: the window grabs itself once it has settled.
      if (const char* shot = std::getenv("LOOPWRIGHT_SCREENSHOT")) {
        QString target = QString::fromLocal8Bit(shot);
        QTimer::singleShot(1500, &window, [&window, target] {
          window.grab().save(target);
          window.close();
        });
      }
      status = app.exec();
    }
    ShutdownBackgroundTasks();
    UninstallQtServices();
  }
  return status;
}

}  // namespace lw
