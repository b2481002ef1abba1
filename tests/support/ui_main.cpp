// Runs every test class registered in the executable, or only the one named first on the
// command line; the exit code counts the failed test functions.
#include <cstring>
#include <memory>
#include <utility>

#include "support/window_driver.h"

namespace lw::test {

static std::vector<std::pair<const char*, std::function<QObject*()>>>& Registered() {
  static std::vector<std::pair<const char*, std::function<QObject*()>>> classes;
  return classes;
}

void RegisterUiTest(const char* name, std::function<QObject*()> make) {
  Registered().emplace_back(name, std::move(make));
}

}  // namespace lw::test

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  int failed = 0;
  for (auto& [name, make] : lw::test::Registered()) {
    if (only && std::strcmp(only, name) != 0) continue;
    std::unique_ptr<QObject> test(make());
    failed +=
        only ? QTest::qExec(test.get(), argc - 1, argv + 1) : QTest::qExec(test.get(), 1, argv);
  }
  return failed == 0 ? 0 : 1;
}
