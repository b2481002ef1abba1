// The choices an AVI save carries: compression, audio track and colour depth, and the layout of
// the stored compression options ("AVICompress").
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lw {

struct Animation;

// The compression options record, eleven 32-bit little-endian words as stored.
struct AviCompressOptions {
  uint32_t type = 0;  // FOURCC "vids"
  uint32_t handler = 0;
  uint32_t keyFrameEvery = 0;
  uint32_t quality = 0;
  uint32_t bytesPerSecond = 0;
  uint32_t flags = 0;
  uint32_t format = 0;
  uint32_t formatSize = 0;
  uint32_t parameters = 0;
  uint32_t parametersSize = 0;
  uint32_t interleaveEvery = 0;
  bool operator==(const AviCompressOptions&) const = default;
};
constexpr size_t AviCompressOptionsBytes = 44;

AviCompressOptions Rle8Options();
AviCompressOptions Video1Options();
std::array<uint8_t, AviCompressOptionsBytes> PackCompressOptions(const AviCompressOptions& options);
// False when size is not 44.
bool UnpackCompressOptions(const uint8_t* bytes, size_t size, AviCompressOptions* options);
struct AviSettings {
  // Set by the Save As panel; a save without it takes the remembered choice (AviSettingsForSave).
  bool filled = false;
  uint32_t traits = 0;  // the document's doctrait bits when the panel opened
  std::string audioPath;
  bool withAudio = false;
  bool compress = false;
  AviCompressOptions compressOptions = Rle8Options();
  bool trueColour = false;
};

// The choice of a plain save: the remembered compression (its compress and compressOptions;
// none remembered: RLE8), no audio, 24 bits when some frame has 24-bit data, and Video 1 in
// place of RLE8 for such a document (RLE8 codes only 8-bit pictures).
void AviSettingsForSave(const Animation& document, const AviSettings* remembered,
                        AviSettings* settings);

}  // namespace lw
