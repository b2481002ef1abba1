// Photoshop PSD files: read as one composite frame or with each layer as a frame (flattened onto
// the background, onto the layers before it, or not at all), written as one layer per frame.
#pragma once

#include <cstdint>
#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"

namespace lw {

struct ProgressMeter;

// How the layers of a file become frames (PsdLayerOptions).
namespace psdopt {
constexpr uint32_t Composite = 0x1;         // one frame from the composite image
constexpr uint32_t Layers = 0x2;            // one frame per layer
constexpr uint32_t OntoBackground = 0x100;  // each layer flattened onto the background layer
constexpr uint32_t OntoComposite = 0x200;   // ... onto the layers before it
constexpr uint32_t Separate = 0x400;        // no flattening
constexpr uint32_t KeepBackground = 0x1000;
constexpr uint32_t KeepTransparency = 0x2000;
constexpr uint32_t FullCanvas = 0x4000;  // every frame the size of the canvas
constexpr uint32_t LiveEdit = 0x7402;
constexpr uint32_t OneLayer = 0x7102;
constexpr uint32_t NoLayers = 0x2001;
}  // namespace psdopt

// The options the remembered choice in prefFlags stands for (a composite frame when the choice
// is not layers).
uint32_t PsdOptionsFromFlags(uint32_t prefFlags);
// prefFlags with its layer-choice bits replaced by those of options.
uint32_t PsdFlagsWithOptions(uint32_t prefFlags, uint32_t options);

// 1 on success, 0 on failure (message shown, except when the layer question was cancelled; *out
// none). A file of several layers asks the layer question when there is an owner window, uses
// the remembered choice without one, and the co-editing choice in liveEditMode.
int ReadPsd(const std::string& path, const ReadOptions& options, WindowHandle owner,
            AnimationPtr* out, bool liveEditMode, ProgressMeter* meter);
// The document as one layer per frame over a composite of all frames; false when a write
// failed (no message).
// layerMasks: a transparent layer also gets its transparency as a user mask.
bool WritePsd(const std::string& path, const Animation& document, bool layerMasks);

// The save type number, kept by stored choices and -T.
namespace savetype {
constexpr int Psd = 6;
}  // namespace savetype

FormatSpec PsdFormat();

}  // namespace lw
