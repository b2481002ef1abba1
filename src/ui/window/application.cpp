#include "ui/window/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "formats/live_edit.h"
#include "platform/files.h"
#include "platform/process.h"
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

void OpenCommandLineFiles(MainWindow& window, const std::vector<std::string>& files,
                          const ProgramStarter& start) {
  if (files.empty()) return;
  // The others first: their windows come up while this one reads its file.
  const std::string program = GetProgramPath();
  for (size_t i = 1; i < files.size(); ++i)
    if (!files[i].empty() && (program.empty() || !start({program, files[i]})))
      ShowErrorId(str::OtherWindowFailed, files[i].c_str());
  window.OpenDocument(files.front());
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
      // The shell hands each argument over as its own word, one per file (the desktop entry
      // passes every file selected).
      if (argc > 1 && argv[1][0] != '\0') {
        std::vector<std::string> files(argv + 1, argv + argc);
        QTimer::singleShot(0, &window, [&window, files] {
          OpenCommandLineFiles(window, files, [](const std::vector<std::string>& program) {
            return StartDetached(program);
          });
        });
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
