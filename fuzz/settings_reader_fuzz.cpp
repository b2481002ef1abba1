// Feeds arbitrary text to the settings store as the file it reads at start-up. A damaged file
// must be set aside untouched with nothing of it taken; a file it takes must be written back
// in a form that reads again as the same settings, so that a second write gives the same bytes.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files.h"
#include "platform/settings_store.h"

namespace {

// The store's file, in a settings folder of this process's own.
const std::string& SettingsFile() {
  static const std::string file = [] {
    static const std::string root = lw::CreatePrivateTempFolder("lw-settings-fuzz-");
    if (root.empty()) std::abort();
    std::atexit([] { lw::DeleteFolderTree(root); });
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    if (!lw::CreateFolders(root + "/loopwright")) std::abort();
    return root + "/loopwright/settings.reg";
  }();
  return file;
}

std::string Read(const std::string& path) {
  std::string text;
  if (!lw::ReadWholeFile(path, size_t{64} << 20, &text)) std::abort();
  return text;
}

// Stores one value of ours, which writes the whole store, and gives the file written.
std::string WriteBack() {
  lw::SettingsKey key;
  if (lw::CreateSettingsKey("Software\\Fuzz", &key) != lw::SettingsStatus::Ok ||
      lw::SetSettingsDword(key, "Run", 1) != lw::SettingsStatus::Ok)
    std::abort();
  return Read(SettingsFile());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& file = SettingsFile();
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (!lw::ReplaceFileContents(file, input)) std::abort();
  lw::ResetSettingsStore();

  const bool taken = lw::SettingsKeyExists("Software");
  std::string damaged, aside;
  if (lw::TakeSettingsDamage(&damaged, &aside)) {
    if (taken || damaged != file || aside.empty() || lw::FileExists(file)) std::abort();
    if (Read(aside) != input) std::abort();
    lw::DeleteFile(aside);
    return 0;
  }

  const std::string first = WriteBack();
  lw::ResetSettingsStore();
  if (!lw::SettingsKeyExists("Software\\Fuzz") || lw::TakeSettingsDamage(nullptr, nullptr))
    std::abort();
  if (WriteBack() != first) std::abort();
  return 0;
}
