// Loopwright: the window when started normally, the batch mode when the first argument starts
// with "-".
#include <QApplication>

#include "shell/ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Loopwright");
  lw::MainWindow window;
  window.show();
  return app.exec();
}
