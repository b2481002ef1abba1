// Connects the property pages' "Editer..." buttons and background swatch to the palette,
// transparency and background choosers.
#pragma once

namespace lw {

void InstallPropertiesSheetHooks();

}  // namespace lw
