// The per-user settings store: keys below HKEY_CURRENT_USER with named, typed values, as the
// registry holds them, kept in one file in the text format of registry exports
// ($XDG_CONFIG_HOME/loopwright/settings.reg). Key and value names compare without regard to
// case. Every change is written at once through a temporary file renamed over the old one, so
// a crash loses nothing. Failures are silent: calls return a status and a change that cannot be
// written stays in memory. All calls may come from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Value types, with the registry's numbers.
constexpr uint32_t RegSz = 1;
constexpr uint32_t RegBinary = 3;
constexpr uint32_t RegDword = 4;

enum class SettingsStatus {
  Ok = 0,
  NotFound,     // no such key or value
  WriteFailed,  // kept in memory, not on disk
  BadName,      // empty path part or a control character in a name
  NoMemory,
};

// An open key: its path below HKEY_CURRENT_USER, parts separated by '\'.
struct SettingsKey {
  std::string path;
};

// Opens an existing key.
SettingsStatus OpenSettingsKey(std::string_view path, SettingsKey* key);
// Opens a key, creating it and its missing parents; *created tells whether it was new.
SettingsStatus CreateSettingsKey(std::string_view path, SettingsKey* key, bool* created = nullptr);
bool SettingsKeyExists(std::string_view path);
// Deletes a key with all its subkeys and values.
SettingsStatus DeleteSettingsKey(std::string_view path);

// The type and bytes of a value ("" names the key's default value).
SettingsStatus QuerySettingsValue(const SettingsKey& key, std::string_view name, uint32_t* type,
                                  std::vector<uint8_t>* data);
SettingsStatus SetSettingsValue(const SettingsKey& key, std::string_view name, uint32_t type,
                                const void* data, size_t size);
SettingsStatus DeleteSettingsValue(const SettingsKey& key, std::string_view name);

// A value's bytes up to the first zero, whatever its type.
SettingsStatus QuerySettingsString(const SettingsKey& key, std::string_view name,
                                   std::string* text);
// Stores text as a REG_SZ value (with its terminating zero, as the registry does).
SettingsStatus SetSettingsString(const SettingsKey& key, std::string_view name,
                                 std::string_view text);
SettingsStatus SetSettingsDword(const SettingsKey& key, std::string_view name, uint32_t value);

// Groups changes into one write of the file, done when the last batch ends. The store stays
// locked for the batch's thread meanwhile.
class SettingsBatch {
 public:
  SettingsBatch();
  ~SettingsBatch();
  SettingsBatch(const SettingsBatch&) = delete;
  SettingsBatch& operator=(const SettingsBatch&) = delete;
  // Ends the batch early and returns the status of its write (Ok when nothing changed).
  SettingsStatus Commit();

 private:
  std::unique_lock<std::recursive_mutex> lock_;
  bool open_ = true;
};

// The file the store reads and writes (empty when neither XDG_CONFIG_HOME nor HOME is known).
std::string SettingsFilePath();

// A damaged file found at loading, given once: true with its name and the name it was set
// aside as (empty when it could not be moved; the store then never writes over it).
bool TakeSettingsDamage(std::string* file, std::string* setAsideAs);

// Forgets everything loaded, so that the next call reads the file named by the environment again.
void ResetSettingsStore();

// For tests: makes the next writes stop half way, as a crash would, leaving a partial temporary
// file beside the store and the old file untouched.
void SetSettingsCrashBeforeRename(bool crash);

}  // namespace lw
