// The preference words, kept in the per-user settings store under the program's key.
#pragma once

#include <cstdint>
#include <string>

#include "base/preference_layout.h"
#include "platform/services.h"

namespace lw {

// The program's key below HKEY_CURRENT_USER.
inline constexpr char ProgramKeyPath[] = "Software\\brumelle\\Loopwright\\2.0";

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
