#include "shell/options_from_preferences.h"

#include "base/preferences.h"
#include "base/settings.h"
#include "core/undo.h"

namespace lw {

DelayUnits DelayUnitsFromPreferences() { return DelayUnits::From(GetPref(PrefDelayUnits)); }

Timing TimingFromPreferences() {
  Timing timing;
  timing.units = DelayUnitsFromPreferences();
  timing.defaultDelay = GetPref(PrefDefaultDelay);
  timing.defaultLoopCount = GetPref(PrefDefaultLoopCount);
  return timing;
}

std::optional<uint32_t> AutoTransparentColourFromPreferences() {
  if (!PrefOn(Pref::LoadTransparentColour)) return std::nullopt;
  return GetPref(PrefLoadTransparentColor);
}

TransparencyDisplay TransparencyDisplayFromPreferences() {
  const uint32_t word = GetPref(PrefTransparencyDisplay);
  return {FieldIn(word, PrefField::TransparencyMode), FieldIn(word, PrefField::TransparencyColour)};
}

void ApplyEnginePreferences() {
  SetUndoLimit(GetPref(PrefUndoLevels));
  SetTransparencyDisplay(TransparencyDisplayFromPreferences());
}

SaveSignature SaveSignatureFromPreferences() { return {GetSignature(), GetSignature(true)}; }

OptimizeOptions OptimizeOptionsFromPreferences(uint32_t steps) {
  OptimizeOptions options(steps);
  options.units = DelayUnitsFromPreferences();
  options.signature = SaveSignatureFromPreferences();
  return options;
}

}  // namespace lw
