#include "formats/avi/avi_settings.h"

#include "core/animation.h"
#include "platform/video_files.h"

namespace lw {

AviCompressOptions Rle8Options() {
  AviCompressOptions options;
  options.type = FourCC('v', 'i', 'd', 's');
  options.handler = kHandlerRle8;
  options.keyFrameEvery = 1500;
  options.quality = 10000;
  options.flags = 4;  // key frames
  return options;
}

AviCompressOptions Video1Options() {
  AviCompressOptions options;
  options.type = FourCC('v', 'i', 'd', 's');
  options.handler = kHandlerVideo1;
  options.keyFrameEvery = 1500;
  options.quality = 10000;
  return options;
}

std::array<uint8_t, AviCompressOptionsBytes> PackCompressOptions(const AviCompressOptions& o) {
  const uint32_t words[11] = {o.type,           o.handler,        o.keyFrameEvery,  o.quality,
                              o.bytesPerSecond, o.flags,          o.format,         o.formatSize,
                              o.parameters,     o.parametersSize, o.interleaveEvery};
  std::array<uint8_t, AviCompressOptionsBytes> bytes{};
  for (size_t i = 0; i < 11; ++i)
    for (size_t b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<uint8_t>(words[i] >> (8 * b));
  return bytes;
}

bool UnpackCompressOptions(const uint8_t* bytes, size_t size, AviCompressOptions* o) {
  if (!bytes || size != AviCompressOptionsBytes) return false;
  uint32_t words[11];
  for (size_t i = 0; i < 11; ++i) {
    const uint8_t* p = bytes + 4 * i;
    words[i] = p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
  }
  *o = {words[0], words[1], words[2], words[3], words[4], words[5],
        words[6], words[7], words[8], words[9], words[10]};
  return true;
}

void AviSettingsForSave(const Animation& document, const AviSettings* remembered,
                        AviSettings* settings) {
  settings->filled = true;
  settings->withAudio = false;
  settings->audioPath.clear();
  settings->trueColour = false;
  for (const Frame* f = FirstFrame(document); f; f = NextFrame(f))
    if (!f->rgbPlane.empty()) settings->trueColour = true;
  if (remembered && !remembered->compress) {
    settings->compress = false;
    return;
  }
  settings->compress = true;
  settings->compressOptions = remembered ? remembered->compressOptions : Rle8Options();
  if (settings->trueColour && settings->compressOptions == Rle8Options())
    settings->compressOptions = Video1Options();
}

}  // namespace lw
