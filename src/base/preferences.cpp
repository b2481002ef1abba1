#include "base/preferences.h"

#include <array>
#include <atomic>
#include <bit>
#include <mutex>
#include <vector>

#include "base/messages.h"
#include "base/string_ids.h"
#include "platform/flow_dialogs.h"
#include "platform/settings_store.h"

namespace lw {
namespace {

// Workers read words while the interface thread writes them.
std::array<std::atomic<uint32_t>, PrefWordCapacity> words{};
std::mutex writeMutex;  // keeps the array and its stored copy in step

struct WordRow {
  PrefIndex index;
  uint32_t def;
};
constexpr WordRow WordRows[] = {
#define LW_PREF_WORD(name, index, def) {name, def},
#include "base/preference_table.inc"
};

constexpr bool SameName(const char* a, const char* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

// The registry's rules, checked where they are cheap to check.
constexpr bool RegistryHolds() {
  bool seen[PrefWordCount] = {};
  for (const WordRow& w : WordRows) {
    if (w.index < 0 || w.index >= PrefWordCount || seen[w.index]) return false;
    seen[w.index] = true;
  }
  uint32_t used[PrefWordCount] = {};
  for (const PrefRow& r : PrefBitRows) {
    if (!seen[r.word] || !std::has_single_bit(r.mask) || (used[r.word] & r.mask)) return false;
    used[r.word] |= r.mask;
  }
  for (const PrefRow& r : PrefFieldRows) {
    uint32_t low = r.mask >> std::countr_zero(r.mask);
    if (!seen[r.word] || r.mask == 0 || (low & (low + 1)) || (used[r.word] & r.mask)) return false;
    used[r.word] |= r.mask;
  }
  for (const PrefRow& a : PrefBitRows)
    for (const PrefRow& b : PrefFieldRows)
      if (SameName(a.name, b.name)) return false;
  return true;
}
static_assert(RegistryHolds(), "a preference word, bit or field is declared twice or overlaps");

void SetDefaults() {
  for (auto& w : words) w = 0;
  for (const WordRow& w : WordRows) words[w.index] = w.def;
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

// Set once the store has been read: a write before that would store zeros over every other word.
std::atomic<bool> loaded{false};

// The caller holds writeMutex.
void LoadWordsLocked() {
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
  loaded = true;
}

void LoadWords() {
  std::lock_guard<std::mutex> lock(writeMutex);
  LoadWordsLocked();
}

// Before a write: the words the write keeps are the stored ones, read now if nobody has yet.
void LoadBeforeWriting() {
  if (!loaded) LoadWordsLocked();
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
  LoadBeforeWriting();
  words[index] = value;
  return WriteWords() == SettingsStatus::Ok;
}

bool PrefOn(Pref bit) { return BitIn(GetPref(WordOf(bit)), bit); }

bool SetPrefOn(Pref bit, bool on) {
  std::lock_guard<std::mutex> lock(writeMutex);
  LoadBeforeWriting();
  words[WordOf(bit)] = WithBit(MappedWord(WordOf(bit)), bit, on);
  return WriteWords() == SettingsStatus::Ok;
}

uint32_t PrefFieldValue(PrefField f) { return FieldIn(GetPref(WordOf(f)), f); }

bool SetPrefField(PrefField f, uint32_t value) {
  std::lock_guard<std::mutex> lock(writeMutex);
  LoadBeforeWriting();
  words[WordOf(f)] = WithField(MappedWord(WordOf(f)), f, value);
  return WriteWords() == SettingsStatus::Ok;
}

uint32_t AskPref(int index, WindowHandle owner) {
  uint32_t v = GetPref(index);
  if (index == PrefPaletteMerge && BitIn(v, Pref::PaletteMergeAsk))
    return Dialogs().AskPaletteMerge(owner, v);
  if (index == PrefOversizeInsert && BitIn(v, Pref::OversizeInsertAsk))
    return Dialogs().AskOversizeInsert(owner, v);
  return v;
}

int JpegQuality() {
  uint32_t step = PrefFieldValue(PrefField::JpegStep);
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
