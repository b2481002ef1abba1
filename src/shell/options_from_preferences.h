// The engine's options as the stored preferences set them: the one place each is built, for the
// batch mode and the window alike.
#pragma once

#include <cstdint>
#include <optional>

#include "colour/optimize.h"
#include "core/animation.h"
#include "core/delay_units.h"

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

// The optimizer's steps (the optimize:: bits of a dialog, the batch or the stored word) with the
// settings they run with.
OptimizeOptions OptimizeOptionsFromPreferences(uint32_t steps);

}  // namespace lw
