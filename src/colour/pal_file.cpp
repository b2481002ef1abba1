#include "colour/pal_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/messages.h"
#include "base/string_ids.h"

namespace lw {
namespace {

constexpr size_t kHeaderSize = 24;
constexpr size_t kMaxRead = kHeaderSize + 4 * 256;  // 1048

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

PalettePtr ReadPalFile(const std::string& path) {
  std::vector<uint8_t> bytes(kMaxRead, 0);
  size_t got = 0;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    got = std::fread(bytes.data(), 1, kMaxRead, f);
    std::fclose(f);
  }
  if (got == 0) {
    ShowErrorId(str::CannotOpenFile, path.c_str());
    return nullptr;
  }
  const uint8_t* b = bytes.data();
  // Bytes past what was read stay 0, so a short file fails the tag checks or reads black.
  if (std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "PAL ", 4) != 0 ||
      std::memcmp(b + 12, "data", 4) != 0 || (b[20] | b[21] << 8) != 0x300) {
    ShowErrorId(str::PalDamaged);
    return nullptr;
  }
  int count = std::min(b[22] | b[23] << 8, 256);
  if (count == 0) {  // a palette holds at least one entry
    ShowErrorId(str::PalDamaged);
    return nullptr;
  }
  auto palette = std::make_unique<Palette>();
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = b + kHeaderSize + 4 * i;
    palette->entries.push_back({e[0], e[1], e[2], e[3]});
  }
  return palette;
}

bool WritePalFile(const std::string& path, const Palette& palette) {
  const uint32_t count = static_cast<uint32_t>(std::min(palette.Count(), 256));
  std::vector<uint8_t> bytes(kHeaderSize + 4 * count, 0);
  uint8_t* b = bytes.data();
  std::memcpy(b, "RIFF", 4);
  PutLe32(b + 4, 4 * count + 16);
  std::memcpy(b + 8, "PAL ", 4);
  std::memcpy(b + 12, "data", 4);
  PutLe32(b + 16, 4 * count + 4);
  b[20] = 0x00;
  b[21] = 0x03;
  b[22] = static_cast<uint8_t>(count);
  b[23] = static_cast<uint8_t>(count >> 8);
  for (uint32_t i = 0; i < count; ++i) {
    const PaletteEntry& e = palette.entries[i];
    uint8_t* q = b + kHeaderSize + 4 * i;
    q[0] = e.red;
    q[1] = e.green;
    q[2] = e.blue;
    q[3] = e.flags;
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  bool written = f && std::fwrite(b, 1, bytes.size(), f) == bytes.size();
  if (f) written = std::fclose(f) == 0 && written;
  if (!written) ShowErrorId(str::CannotSaveTemporary, path.c_str());
  return written;
}

}  // namespace lw
