// Making a document fit an AVI stream: one palette, no transparency, every frame over the whole
// screen.
#pragma once

#include <cstdint>

#include "colour/palette_fit.h"
#include "core/animation.h"
#include "platform/services.h"

namespace lw {

// Corrects what the doctrait bits in *traits name (8 local palettes, 16 transparency, 32 frames
// off the screen) under one undo entry ("Fix for AVI"): the palettes are fitted to one optimal
// global palette, the transparent index of every frame becomes 0 (swapped with colour 0) and the
// frames opaque, and the animation is unoptimized. On success those bits of *traits are cleared;
// on failure the document is as it was. The palette keeps fit's dithering and colour counts.
bool FixForAvi(WindowHandle owner, Animation& document, const PaletteFitOptions& fit,
               uint32_t* traits);

// Whether every transparent frame uses the same transparent index: without that, no one index
// can take the transparency and the fix cannot be made.
bool TransparentIndexesAgree(const Animation& document);

// For AVI: the options panel can be shown (no local palette, transparency or off-screen frame);
// otherwise the "Fix for AVI" panel.
bool AviPanelAllowed(uint32_t documentTraits);

}  // namespace lw
