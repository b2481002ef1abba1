// The clipboard formats of the windowed program. Frames travel between running copies as the
// program's own block under application/x-loopwright-frame-v2; the copied frame also goes out
// as image/png and image/bmp for other programs. On paste, image/bmp and image/x-bmp are taken
// as a packed DIB, and any other image Qt reads (image/png, image/jpeg, an image file copied in
// a file manager) is made into a 32-bit packed DIB, so the engine has one converter.
#pragma once

#include <QImage>
#include <QMimeData>
#include <cstdint>
#include <vector>

#include "platform/clipboard.h"

namespace lw {

inline constexpr char kFramesMimeType[] = "application/x-loopwright-frame-v2";

// The mime data offered for a copy; none when an image could not be made.
QMimeData* MimeDataFromContents(const ClipboardContents& contents);
// What the program can take from the mime data (both parts empty when nothing).
ClipboardContents ContentsFromMimeData(const QMimeData* mime);
// True when the mime data holds frames or an image the program can paste (cheap: no decoding).
bool MimeDataOffersFrames(const QMimeData* mime);

// QApplication's clipboard in these formats (interface thread only).
Clipboard& DesktopClipboard();

// An image as a 32-bit bottom-up packed DIB; the alpha bytes are 0 when the image has no alpha
// channel, so that it pastes opaque. Empty for a null image or when memory is short.
std::vector<uint8_t> PackedDibFromImage(const QImage& image);

}  // namespace lw
