#include "base/preferences.h"

#include <array>
#include <atomic>
#include <mutex>
#include <vector>

#include "base/messages.h"
#include "base/string_ids.h"
#include "platform/settings_store.h"

namespace lw {
namespace {

// Workers read words while the interface thread writes them.
std::array<std::atomic<uint32_t>, PrefWordCapacity> words{};
std::mutex writeMutex;  // keeps the array and its stored copy in step

void SetDefaults() {
  for (auto& w : words) w = 0;
  words[PrefDefaultDelay] = 10;
  words[PrefOversizeInsert] = 32;
  words[PrefOptimize] = 1134 | 0x3000;  // with the disposal choice and the smallest code sizes
  words[PrefFlags] = 0x00800000;
  words[PrefReduceColors] = 7;
  words[PrefModemSpeed] = 1;
  words[PrefPaletteMerge] = 0x00880001;
  words[PrefUndoLevels] = 20;
  words[PrefSaveOptions] = 1;
}

uint32_t ReadLe32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// A stored value lies over the array as bytes: a short one leaves the rest as it was.
void ReadStoredWords(const SettingsKey& key) {
  std::vector<uint8_t> data;
  if (QuerySettingsValue(key, "Pref", nullptr, &data) != SettingsStatus::Ok) return;
  if (data.size() > PrefWordCapacity * 4) return;
  std::array<uint8_t, PrefWordCapacity * 4> bytes;
  for (int i = 0; i < PrefWordCapacity; ++i) WriteLe32(&bytes[i * 4], words[i]);
  std::copy(data.begin(), data.end(), bytes.begin());
  for (int i = 0; i < PrefWordCapacity; ++i) words[i] = ReadLe32(&bytes[i * 4]);
}

// "NPref" read into a count that starts at 0, as four bytes at most.
uint32_t ReadStoredCount(const SettingsKey& key) {
  std::vector<uint8_t> data;
  uint8_t bytes[4] = {0, 0, 0, 0};
  if (QuerySettingsValue(key, "NPref", nullptr, &data) == SettingsStatus::Ok && data.size() <= 4)
    std::copy(data.begin(), data.end(), bytes);
  return ReadLe32(bytes);
}

SettingsStatus WriteWords() {
  SettingsKey key;
  SettingsStatus status = CreateSettingsKey(ProgramKeyPath, &key);
  if (status != SettingsStatus::Ok) return status;
  std::array<uint8_t, PrefWordCount * 4> bytes;
  for (int i = 0; i < PrefWordCount; ++i) WriteLe32(&bytes[i * 4], words[i]);
  SettingsBatch batch;
  SetSettingsValue(key, "Pref", RegBinary, bytes.data(), bytes.size());
  SetSettingsDword(key, "NPref", PrefWordCount);
  return batch.Commit();
}

uint32_t MappedWord(int index) {
  uint32_t v = words[index];
  if (index == PrefOversizeInsert) {
    // Older versions kept a plain choice here.
    switch (v) {
      case 0:
      case 3: return 32;
      case 1: return 36;
      case 2: return 16;
      default: return v;
    }
  }
  return v;
}

void LoadWords() {
  std::lock_guard<std::mutex> lock(writeMutex);
  SetDefaults();
  SettingsKey key;
  if (OpenSettingsKey(ProgramKeyPath, &key) == SettingsStatus::Ok) {
    ReadStoredWords(key);
    // Stores from before the undo level setting held fewer words: give them the old 100.
    if (static_cast<int32_t>(ReadStoredCount(key)) <= 12) words[PrefUndoLevels] = 100;
  }
  // Delays are converted with 100 / units, so only 1..100 work.
  if (words[PrefDelayUnits] == 0 || words[PrefDelayUnits] > 100) words[PrefDelayUnits] = 100;
  if (words[PrefSaveOptions] == 0) words[PrefSaveOptions] = 1;
}

}  // namespace

void LoadPreferences() {
  LoadWords();
  ReportSettingsDamage();  // outside the lock: the box runs an event loop
}

uint32_t GetPref(int index) {
  if (index < 0 || index >= PrefWordCapacity) return 0;
  return MappedWord(index);
}

bool SetPref(int index, uint32_t value) {
  if (index < 0 || index >= PrefWordCount) return false;
  std::lock_guard<std::mutex> lock(writeMutex);
  words[index] = value;
  return WriteWords() == SettingsStatus::Ok;
}

bool SetPrefBits(int index, uint32_t mask, bool on) {
  if (index < 0 || index >= PrefWordCount) return false;
  std::lock_guard<std::mutex> lock(writeMutex);
  uint32_t v = MappedWord(index) & ~mask;
  words[index] = on ? v | mask : v;
  return WriteWords() == SettingsStatus::Ok;
}

uint32_t AskPref(int index, WindowHandle owner) {
  uint32_t v = GetPref(index);
  if (index == PrefPaletteMerge && (v & PaletteMergeAlwaysAsk))
    return Services().AskPaletteMerge(owner, v);
  if (index == PrefOversizeInsert && (v & OversizeInsertAsk))
    return Services().AskOversizeInsert(owner, v);
  return v;
}

int JpegQuality() {
  uint32_t step = (GetPref(PrefSaveOptions) >> 8) & 0xFF;
  if (step == 0) step = 6;
  if (step > 10) step = 10;  // a damaged store must not ask the encoder for more than 100
  return 45 + 5 * static_cast<int>(step);
}

void ReportSettingsDamage() {
  std::string file, aside;
  if (!TakeSettingsDamage(&file, &aside)) return;
  if (aside.empty())
    ShowErrorId(str::SettingsDamaged, file.c_str());
  else
    ShowErrorId(str::SettingsDamagedMovedAside, file.c_str(), aside.c_str());
}

}  // namespace lw
