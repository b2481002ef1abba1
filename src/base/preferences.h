// The preference words, kept in the per-user settings store under the program's key.
#pragma once

#include <cstdint>
#include <string>

#include "platform/services.h"

namespace lw {

// The program's key below HKEY_CURRENT_USER.
inline constexpr char ProgramKeyPath[] = "Software\\brumelle\\Loopwright\\2.0";

// Indexes of the preference words.
enum PrefIndex : int {
  PrefDefaultDelay = 0,
  PrefDefaultLoopCount = 1,
  PrefOversizeInsert = 2,
  PrefOptimize = 5,
  PrefFlags = 6,
  PrefTransparencyDisplay = 7,
  PrefReduceColors = 8,
  PrefModemSpeed = 9,
  PrefPaletteMerge = 10,
  PrefPreviewBackground = 11,
  PrefUndoLevels = 12,
  PrefFrameTips = 13,
  PrefDelayUnits = 14,
  PrefFlags2 = 15,
  PrefSaveOptions = 16,
  PrefAviFrameRate = 17,
  PrefLoadTransparentColor = 18,
};

constexpr int PrefWordCount = 19;     // words written back
constexpr int PrefWordCapacity = 29;  // words a stored value may hold

// Bits of PrefFlags.
constexpr uint32_t NoSignatureComment = 0x00000008;
constexpr uint32_t StripOrientation = 0x00000030;
constexpr uint32_t PreviewIgnoresLoopCount = 0x00001000;
constexpr uint32_t FullScreenPreview = 0x00100000;
constexpr uint32_t NoAutoPreview = 0x00200000;
constexpr uint32_t AllowInterlace = 0x01000000;
constexpr uint32_t KeepTrueColor = 0x02000000;
constexpr uint32_t HidePropertiesBar = 0x10000000;

// Bits of PrefFlags2.
constexpr uint32_t CoEditorIsPhotoshop = 0x08;

// Bits of PrefPaletteMerge and PrefOversizeInsert that make AskPref ask.
constexpr uint32_t PaletteMergeAlwaysAsk = 0x200;
constexpr uint32_t OversizeInsertAsk = 0x4;

// Loads the words at start-up, before any window exists, and reports a damaged settings file.
void LoadPreferences();
// A word; word 2 goes through its legacy mapping.
uint32_t GetPref(int index);
// Stores a word and writes the whole array back. Returns true when the store took it; when it
// cannot, the word still holds in memory.
bool SetPref(int index, uint32_t value);
// Clears mask in the word, ors it back in when on, and stores the word.
bool SetPrefBits(int index, uint32_t mask, bool on);
// The word to use for an operation, asking the user first when the word says so; 0 = cancel.
uint32_t AskPref(int index, WindowHandle owner);
// 50..95 from the JPEG step of PrefSaveOptions.
int JpegQuality();

// Shows, once, that the settings file was damaged and set aside. LoadPreferences calls it.
void ReportSettingsDamage();

}  // namespace lw
