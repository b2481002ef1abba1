#include "formats/common/apng_chunks.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace lw::apng {

bool SplitChunks(const uint8_t* data, size_t size, std::vector<Chunk>* chunks) {
  chunks->clear();
  if (!data || size < 8 || std::memcmp(data, kSignature, 8) != 0) return false;
  size_t at = 8;
  while (size - at >= 12) {
    const uint32_t length = Be32(data + at);
    if (length > kMaxChunkLength || length > size - at - 12) return false;
    const uint8_t* tagged = data + at + 4;
    uLong crc = crc32(0L, tagged, 4 + length);
    if (crc != Be32(tagged + 4 + length)) return false;
    chunks->push_back({Be32(tagged), tagged + 4, length});
    at += 12 + size_t{length};
    if (chunks->back().tag == Tag("IEND")) return true;
  }
  // Bytes after the last whole chunk that cannot be one: a cut file.
  return at == size;
}

void AppendChunk(std::vector<uint8_t>& out, uint32_t tag, const uint8_t* data, size_t length) {
  PutBe32(out, static_cast<uint32_t>(length));
  const size_t tagAt = out.size();
  PutBe32(out, tag);
  if (length) out.insert(out.end(), data, data + length);
  PutBe32(out, static_cast<uint32_t>(crc32(0L, out.data() + tagAt, static_cast<uInt>(4 + length))));
}

bool HoldsAnimation(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return false;
  uint8_t head[8];
  if (std::fread(head, 1, 8, file.get()) != 8 || std::memcmp(head, kSignature, 8) != 0)
    return false;
  // The animation control comes before the first image data; other chunks are skipped unread.
  while (std::fread(head, 1, 8, file.get()) == 8) {
    const uint32_t length = Be32(head), tag = Be32(head + 4);
    if (tag == Tag("acTL")) return true;
    if (tag == Tag("IDAT") || tag == Tag("IEND") || length > kMaxChunkLength) return false;
    if (std::fseek(file.get(), long{length} + 4, SEEK_CUR) != 0) return false;
  }
  return false;
}

}  // namespace lw::apng
