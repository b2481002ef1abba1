// "Ajouter du texte..." and "Ajouter une image...": the engine's drawing of a caption or a
// picture over the chosen frames, as the window's one undo step.
#pragma once

#include <cstdint>
#include <string>

#include "edit/caption/layer.h"
#include "platform/services.h"

namespace lw {

// Lays the layer over the frames options.frames chooses, as one undo step, with progress in the
// owner's status bar (Esc stops). Returns 0 with the refresh hints in *hints, or the id of the
// text that says why nothing changed, or LayerStopped; on any failure the document is as it was.
// options.progress is the command's own.
int LayOverCommand(Animation& document, const Layer& layer, LayerOptions options,
                   WindowHandle owner, LayerReport* report, uint32_t* hints);

// The picture of the first frame of any file the program reads, for "Ajouter une image..."
// and --overlay.
// False when there is none (the reader's message, or one of its own, was shown).
bool ReadOverlayPicture(const std::string& path, WindowHandle owner, Layer* layer);

// What the user should know of a drawing beyond the pixels: colours that found no room and were
// shown by the nearest ones, frames rebuilt as whole pictures. Empty when there is nothing.
std::string LayerReportNote(const LayerReport& report);

}  // namespace lw
