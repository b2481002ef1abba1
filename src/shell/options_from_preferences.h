// The engine's options as the stored preferences set them: the one place each is built, for the
// batch mode and the window alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "colour/optimize.h"
#include "colour/palette_fit.h"
#include "core/animation.h"
#include "core/delay_units.h"
#include "formats/common/format_entry.h"
#include "formats/flow_settings.h"

namespace lw {

// The delay units setting, read the one way every reader, writer and player agrees on.
DelayUnits DelayUnitsFromPreferences();
// The units with a new frame's delay and a new document's play count.
Timing TimingFromPreferences();
// The colour (0x00BBGGRR) a file's frames take as transparent on open, when that is chosen.
std::optional<uint32_t> AutoTransparentColourFromPreferences();
// Hands the engine the settings it keeps for the whole session (the undo limit, how transparent
// pixels show): at start-up, and again whenever the preferences change.
void ApplyEnginePreferences();
TransparencyDisplay TransparencyDisplayFromPreferences();

// The signature a save writes and the user's own text that it replaces.
SaveSignature SaveSignatureFromPreferences();

// The fixed palette of the preferences: stored entries (none when none is stored), the palette
// (none when none is stored, or memory is short), and storing edited entries (false when nothing
// could be stored).
std::vector<PaletteEntry> LoadFixedPaletteEntries();
PalettePtr FixedPaletteFromPreferences();
bool StoreFixedPaletteEntries(const std::vector<PaletteEntry>& entries);

// Whether frames mapped from 24-bit data keep it.
bool KeepTrueColourFromPreferences();
// The stored palette-merge choice, the fixed palette and whether 24-bit data stays.
PaletteFitOptions PaletteFitOptionsFromPreferences();

// How files are read: the timing, the GIF interlacing and 24-bit choices, the PSD layer
// choice, the colour taken as transparent.
ReadOptions ReadOptionsFromPreferences();
// What the writers take: the timing, the signature, the JPEG quality, the PSD masks choice, the
// fixed AVI rate, and the Save As panels' remembered choices (shell/save_choices.h).
WriteSettings WriteSettingsFromPreferences();
// Remembers the PSD layer dialog's choice for the next file.
void StorePsdLayerChoice(uint32_t options);
// The external image editor chosen, empty when none is.
std::string CoEditorFromPreferences();
// Everything the open, insert, merge and co-editing flows read.
FlowSettings FlowSettingsFromPreferences();
// The flows' settings source over the stored preferences: what a ShellState of the window or
// the batch mode points at.
FlowSettingsSource& PreferenceFlowSettings();
// The folder an open dialog starts in: the remembered one, else the samples folder when it
// exists, else empty.
std::string InitialOpenFolder();

// The optimizer's steps (the optimize:: bits of a dialog, the batch or the stored word) with the
// settings they run with.
OptimizeOptions OptimizeOptionsFromPreferences(uint32_t steps);

}  // namespace lw
