// The default preferences, as a test starts and leaves them: the store a test wrote goes, and
// the preferences are read again from nothing.
#pragma once

#include <cstdlib>
#include <filesystem>

#include "base/preferences.h"
#include "platform/settings_store.h"

namespace lw::test {

inline void FreshPreferences() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"))
    std::filesystem::remove_all(std::filesystem::path(config) / "loopwright");
  ResetSettingsStore();
  LoadPreferences();
}

}  // namespace lw::test
