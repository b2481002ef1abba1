#include "shell/ui/main_window.h"

namespace lw {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Sans nom - Loopwright"));
  resize(760, 520);
}

}  // namespace lw
