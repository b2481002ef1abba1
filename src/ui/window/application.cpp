#include "ui/window/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "base/progress.h"
#include "formats/live_edit.h"
#include "ui/common/icons.h"
#include "ui/services/qt_services.h"
#include "ui/window/main_window.h"

namespace lw {

bool LoadQtFrenchTexts() {
  if (!qApp) return false;
  auto* translator = new QTranslator(qApp);
  if (!translator->load(QStringLiteral("qtbase_fr"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

int RunWindow(int argc, char** argv) {
  int status = 0;
  {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Loopwright");
    QApplication::setWindowIcon(ProgramIcon());
    // Desktops find the window's entry, and so its name and icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("loopwright"));
    // Qt's own dialogs and number fields speak French, whatever the system's language.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    LoadQtFrenchTexts();
    InstallQtServices();
    // Co-editing folders that a crashed run left behind.
    RemoveStaleLiveEditFolders();
    {
      MainWindow window;
      window.show();
      // The shell hands each argument over as its own word: the first one is the file.
      if (argc > 1 && argv[1][0] != '\0') {
        std::string path = argv[1];
        QTimer::singleShot(0, &window, [&window, path] { window.OpenDocument(path); });
      } else {
        // Started without a file: the first time, ask how the program will be used.
        QTimer::singleShot(0, &window, [&window] { window.AskUsageOnFirstStart(); });
      }
      status = app.exec();
    }
    EndLiveEdit();
    ShutdownBackgroundTasks();
    UninstallQtServices();
  }
  return status;
}

}  // namespace lw
