// The preference words, kept in the per-user settings store under the program's key.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

#include "platform/services.h"

namespace lw {

// The program's key below HKEY_CURRENT_USER.
inline constexpr char ProgramKeyPath[] = "Software\\brumelle\\Loopwright\\2.0";

// Indexes of the preference words.
enum PrefIndex : int {
#define LW_PREF_WORD(name, index, def) name = index,
#include "base/preference_table.inc"
};

constexpr int PrefWordCount = 22;     // words written back
constexpr int PrefWordCapacity = 29;  // words a stored value may hold

// Bits inside the words, and fields of several bits holding a number.
enum class Pref : int {
#define LW_PREF_BIT(name, word, mask) name,
#include "base/preference_table.inc"
};
enum class PrefField : int {
#define LW_PREF_FIELD(name, word, mask) name,
#include "base/preference_table.inc"
};

struct PrefRow {
  const char* name;
  PrefIndex word;
  uint32_t mask;
};
inline constexpr PrefRow PrefBitRows[] = {
#define LW_PREF_BIT(name, word, mask) {#name, word, mask},
#include "base/preference_table.inc"
};
inline constexpr PrefRow PrefFieldRows[] = {
#define LW_PREF_FIELD(name, word, mask) {#name, word, mask},
#include "base/preference_table.inc"
};

constexpr PrefIndex WordOf(Pref bit) { return PrefBitRows[static_cast<int>(bit)].word; }
constexpr uint32_t MaskOf(Pref bit) { return PrefBitRows[static_cast<int>(bit)].mask; }
constexpr PrefIndex WordOf(PrefField f) { return PrefFieldRows[static_cast<int>(f)].word; }
constexpr uint32_t MaskOf(PrefField f) { return PrefFieldRows[static_cast<int>(f)].mask; }

// The same bits and fields in a word held apart from the store (a word being built, a dialog's
// word before it is stored).
constexpr bool BitIn(uint32_t word, Pref bit) { return (word & MaskOf(bit)) != 0; }
constexpr uint32_t WithBit(uint32_t word, Pref bit, bool on) {
  return on ? word | MaskOf(bit) : word & ~MaskOf(bit);
}
constexpr uint32_t FieldIn(uint32_t word, PrefField f) {
  return (word & MaskOf(f)) >> std::countr_zero(MaskOf(f));
}
constexpr uint32_t WithField(uint32_t word, PrefField f, uint32_t value) {
  return (word & ~MaskOf(f)) | ((value << std::countr_zero(MaskOf(f))) & MaskOf(f));
}

// Loads the words at start-up, before any window exists, and reports a damaged settings file.
void LoadPreferences();
// A word; word 2 goes through its legacy mapping.
uint32_t GetPref(int index);
// Stores a word and writes the whole array back. Returns true when the store took it; when it
// cannot, the word still holds in memory.
bool SetPref(int index, uint32_t value);
// A bit or a field of a stored word. The setters store the whole word, as SetPref does.
bool PrefOn(Pref bit);
bool SetPrefOn(Pref bit, bool on);
uint32_t PrefFieldValue(PrefField f);
bool SetPrefField(PrefField f, uint32_t value);
// The word to use for an operation, asking the user first when the word says so; 0 = cancel.
uint32_t AskPref(int index, WindowHandle owner);
// 50..95 from the JPEG step of PrefSaveOptions.
int JpegQuality();

// Shows, once, that the settings file was damaged and set aside. LoadPreferences calls it.
void ReportSettingsDamage();

}  // namespace lw
