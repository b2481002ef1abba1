// Loopwright: the window when started normally, the batch mode when the first argument starts
// with "-".
#include <QApplication>

#include <string>
#include <vector>

#include "formats/batch.h"
#include "platform/qt/qt_services.h"
#include "shell/preferences.h"
#include "shell/progress.h"
#include "shell/ui/main_window.h"

int main(int argc, char** argv) {
  lw::LoadPreferences();
  if (argc > 1 && argv[1][0] == '-') {
    return lw::RunBatch(std::vector<std::string>(argv + 1, argv + argc));
  }

  int status;
  {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Loopwright");
    lw::InstallQtServices();
    {
      lw::MainWindow window;
      window.show();
      status = app.exec();
    }
    lw::ShutdownBackgroundTasks();
    lw::UninstallQtServices();
  }
  return status;
}
