// The chunk layer of PNG streams, as the animated PNG reader and writer and the PNG read-ahead
// see it: the signature, chunks with their lengths and CRCs, and the big-endian numbers inside
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lw::apng {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
// No chunk of a valid file is longer (the length is a 31-bit number).
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFFu;

constexpr uint32_t Tag(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
         uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}

inline uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
inline void PutBe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

struct Chunk {
  uint32_t tag = 0;
  const uint8_t* data = nullptr;
  uint32_t length = 0;
};

// The chunks of a PNG stream up to IEND (or the end of the data), each with its CRC checked.
// False when the signature is missing, a chunk runs past the end, or a CRC is wrong.
bool SplitChunks(const uint8_t* data, size_t size, std::vector<Chunk>* chunks);

// Appends one chunk (length, tag, data, CRC).
void AppendChunk(std::vector<uint8_t>& out, uint32_t tag, const uint8_t* data, size_t length);

// Whether the file is a PNG stream with an animation control chunk before its image data. Only
// the chunk headers are read; the reader checks the rest.
bool HoldsAnimation(const std::string& path);

}  // namespace lw::apng
