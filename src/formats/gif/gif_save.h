// Saving GIF files as the user does: the settings that shape the bytes, the progress meter, the
// messages when a file cannot be written, and the question before frames are cropped.
#pragma once

#include <string>

#include "core/animation.h"
#include "core/gif_writer.h"
#include "formats/common/format_entry.h"
#include "platform/services.h"

namespace lw {

// The write options a save with these settings uses.
GifWriteOptions GifWriteOptionsFor(const WriteSettings& settings);

// Creates (or truncates) the file and writes with a progress meter; shows 40239 when the file
// cannot be created, and 40241 with shownName (the path when empty) when the write fails. True
// only for a complete write; a cancel shows nothing.
bool SaveGifToFile(const std::string& path, Animation& animation, const GifWriteOptions& options,
                   WindowHandle owner, const std::string& shownName = {});

// The frame alone as a one-frame GIF on a screen of its size, its palette in effect as global
// table.
bool SaveFrameAsGif(const std::string& path, Frame* frame, const GifWriteOptions& options);

// False when frames reach past the logical screen and the user declines the crop; otherwise the
// frames are clipped to the screen. Without a window, or with cropSilently, nothing is asked.
bool ConfirmCropToScreen(WindowHandle owner, Animation& animation, bool cropSilently);

// Takes out every comment the program wrote as its signature and puts signature's text (if any)
// in as the first block. False when memory ran short for it (the save goes on without).
bool ReplaceSignatureComment(Animation& document, const SaveSignature& signature);

}  // namespace lw
