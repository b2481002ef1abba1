// ICO and CUR files: every image of the file becomes a frame (a cursor's hot spots with them);
// the document is written one image per frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/animation.h"
#include "formats/common/format_entry.h"

namespace lw {

// 1 complete, 2 when some images could not be read (the others are kept), 0 failure (message
// shown, *out none).
int ReadIconFile(const std::string& path, const ReadOptions& options, WindowHandle owner,
                 AnimationPtr* out, ProgressMeter* meter);
// The same from the file's bytes.
int ReadIconBytes(const uint8_t* data, size_t size, const ReadOptions& options, WindowHandle owner,
                  AnimationPtr* out, ProgressMeter* meter = nullptr);

// iconMode true writes an ICO, false a CUR. Refuses two images of the same size and depth.
bool WriteIconFile(const std::string& path, const Animation& document, bool iconMode,
                   WindowHandle owner);

// The largest hot-spot coordinate the hot-spot fields take (three digits).
constexpr int MaxHotSpot = 999;

// Asks for the cursor's hot spot over the first frame and makes the answer the first frame's.
// False when cancelled or there is no frame.
bool DefineCursorHotSpot(WindowHandle owner, Animation& document);

// The save type numbers, kept by stored choices and -T.
namespace savetype {
constexpr int Cur = 8;
constexpr int Ico = 9;
}  // namespace savetype

FormatSpec IcoFormat();
FormatSpec CurFormat();

}  // namespace lw
