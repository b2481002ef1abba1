#include "formats/bmp/bmp_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/common/format_entry.h"
#include "formats/common/packed_dib.h"

namespace lw {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The file and its length; every read is checked against the length before memory is taken.
struct BmpFile {
  FILE* file = nullptr;
  uint64_t length = 0;
  ~BmpFile() {
    if (file) std::fclose(file);
  }
  bool Read(uint64_t at, uint8_t* to, uint64_t count) {
    return at <= length && count <= length - at &&
           std::fseek(file, static_cast<long>(at), SEEK_SET) == 0 &&
           std::fread(to, 1, count, file) == count;
  }
};

// The packed DIB of a file: a core header becomes a 40-byte one with four-byte colour entries
// and takes its pixels at the file header's offset; any other header is followed directly by its
// colour table and pixels. Only as many bytes as the picture needs are read, once its header
// has shown that it fits the picture budget.
DibCheck LoadPackedDib(BmpFile& in, std::vector<uint8_t>* dib) {
  uint8_t head[kFileHeaderSize + 124 + 16] = {};
  const uint64_t headSize = std::min<uint64_t>(sizeof head, in.length);
  if (!in.Read(0, head, headSize)) return DibCheck::Damaged;
  const uint8_t* info = head + kFileHeaderSize;
  if (Le32(info) == kCoreHeaderSize) {
    if (headSize < kFileHeaderSize + kCoreHeaderSize) return DibCheck::Damaged;
    uint8_t header[DibHeaderSize] = {};
    PutLe32(header, DibHeaderSize);
    PutLe32(header + 4, Le16(info + 4));
    PutLe32(header + 8, Le16(info + 6));
    PutLe16(header + 12, Le16(info + 8));
    PutLe16(header + 14, Le16(info + 10));
    PackedDibLayout d;
    if (DibCheck check = MeasureDib(header, sizeof header, &d); check != DibCheck::Ok) return check;
    const uint64_t pixelsAt = Le32(head + 10);
    if (pixelsAt > in.length || in.length - pixelsAt < d.pixelBytes) return DibCheck::Damaged;
    try {
      dib->assign(d.pixelsAt + d.pixelBytes, 0);
    } catch (const std::bad_alloc&) {
      return DibCheck::NoMemory;
    }
    std::memcpy(dib->data(), header, sizeof header);
    std::vector<uint8_t> triples(3 * d.colours);
    if (!in.Read(kFileHeaderSize + kCoreHeaderSize, triples.data(), triples.size()))
      return DibCheck::Damaged;
    for (uint64_t i = 0; i < d.colours; ++i)
      std::memcpy(dib->data() + DibHeaderSize + 4 * i, triples.data() + 3 * i, 3);
    if (!in.Read(pixelsAt, dib->data() + d.pixelsAt, d.pixelBytes)) return DibCheck::Damaged;
    return DibCheck::Ok;
  }
  PackedDibLayout d;
  if (DibCheck check = MeasureDib(info, headSize - kFileHeaderSize, &d); check != DibCheck::Ok)
    return check;
  const uint64_t available = in.length - kFileHeaderSize;
  uint64_t size = d.pixelsAt + d.pixelBytes;
  if (available < size) {
    if (!d.RunLength()) return DibCheck::Damaged;
    size = available;  // run-length data says itself where it ends
  }
  try {
    dib->assign(size, 0);
  } catch (const std::bad_alloc&) {
    return DibCheck::NoMemory;
  }
  return in.Read(kFileHeaderSize, dib->data(), size) ? DibCheck::Ok : DibCheck::Damaged;
}

int ReadBmpFile(const std::string& path, const ReadOptions& options, WindowHandle /*owner*/,
                AnimationPtr* out, ProgressMeter* /*meter*/) {
  return ReadBmp(path, options.timing, out);
}

bool WriteBmpFrame(const std::string& path, Frame* frame, uint32_t optionBits,
                   const WriteSettings& /*settings*/) {
  return WriteBmp(path, frame, optionBits);
}

}  // namespace

int ReadBmp(const std::string& path, const Timing& timing, AnimationPtr* out) {
  out->reset();
  BmpFile in;
  in.file = std::fopen(path.c_str(), "rb");
  if (!in.file) return 0;
  if (std::fseek(in.file, 0, SEEK_END) != 0) return 0;
  long length = std::ftell(in.file);
  if (length < 0) return 0;
  in.length = static_cast<uint64_t>(length);

  std::vector<uint8_t> dib;
  DibCheck check = in.length < kFileHeaderSize + 4 ? DibCheck::Damaged : LoadPackedDib(in, &dib);
  if (check == DibCheck::Ok) *out = DibToAnimation(dib.data(), dib.size(), timing, &check);
  switch (check) {
    case DibCheck::Ok: return 1;
    case DibCheck::Refused: return 0;
    case DibCheck::Damaged: ShowErrorId(str::BmpDamaged); return 0;
    case DibCheck::NoMemory: ShowErrorId(str::BmpNoMemory); return 0;
  }
  return 0;
}

bool WriteBmp(const std::string& path, Frame* frame, uint32_t optionBits) {
  if (!frame || frame->width == 0 || frame->height == 0) return false;
  const uint64_t w = frame->width, h = frame->height;
  const bool hasRgb = frame->rgbPlane.size() >= RgbStride(w) * h;
  const bool hasAlpha = hasRgb && frame->alphaPlane.size() >= IndexStride(w) * h;
  const int depth = !hasRgb || (optionBits & saveopt::StillImage) ? 8 : hasAlpha ? 32 : 24;
  if (depth == 8 && (!frame->bits() || frame->dib.size() < DibBitsOffset + IndexStride(w) * h))
    return false;
  const uint64_t stride = depth == 8 ? IndexStride(w) : depth == 24 ? RgbStride(w) : 4 * w;
  const uint64_t offset = kFileHeaderSize + DibHeaderSize + (depth == 8 ? DibColourTableSize : 0);
  const uint64_t imageSize = stride * h;
  if (imageSize + offset > UINT32_MAX) return false;

  std::vector<uint8_t> bytes;
  try {
    bytes.assign(offset + imageSize, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  uint8_t* p = bytes.data();
  PutLe16(p, 19778);
  PutLe32(p + 2, static_cast<uint32_t>(offset + imageSize));
  PutLe32(p + 10, static_cast<uint32_t>(offset));
  uint8_t* info = p + kFileHeaderSize;
  // The frame's own header where it has one (resolution and the like), made bottom-up at the
  // depth written; a fresh one for a frame that only has 24-bit data.
  if (frame->dib.size() >= DibBitsOffset) {
    std::memcpy(info, frame->dib.data(), DibHeaderSize);
    PutLe32(info + 32, 0);  // all 256 entries follow (8 bits) or none
  }
  // The palette's own colours: the DIB's table shows transparent pixels in the window's colour.
  if (depth == 8 && frame->palette) {
    const int count = std::min(frame->palette->Count(), 256);
    for (int i = 0; i < count; ++i) {
      const PaletteEntry& e = frame->palette->entries[i];
      uint8_t* q = info + DibHeaderSize + 4 * i;
      q[0] = e.blue;
      q[1] = e.green;
      q[2] = e.red;
    }
  }
  PutLe32(info, DibHeaderSize);
  PutLe32(info + 4, static_cast<uint32_t>(w));
  PutLe32(info + 8, static_cast<uint32_t>(h));
  PutLe16(info + 12, 1);
  PutLe16(info + 14, static_cast<uint16_t>(depth));
  PutLe32(info + 16, 0);
  PutLe32(info + 20, static_cast<uint32_t>(imageSize));

  uint8_t* pixels = p + offset;
  for (uint64_t y = 0; y < h; ++y) {
    uint8_t* to = pixels + stride * (h - 1 - y);
    if (depth == 8) {
      std::memcpy(to, frame->bits() + IndexStride(w) * y, w);
    } else if (depth == 24) {
      std::memcpy(to, frame->rgbPlane.data() + RgbStride(w) * y, 3 * w);
    } else {
      const uint8_t* rgb = frame->rgbPlane.data() + RgbStride(w) * y;
      const uint8_t* alpha = frame->alphaPlane.data() + IndexStride(w) * y;
      for (uint64_t x = 0; x < w; ++x) {
        if (alpha[x] == 0) continue;  // fully transparent: four zero bytes
        std::memcpy(to + 4 * x, rgb + 3 * x, 3);
        to[4 * x + 3] = alpha[x];
      }
    }
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    ShowErrorId(str::CannotSaveTemporary, path.c_str());
    return false;
  }
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

FormatSpec BmpFormat() {
  FileFilter filter{TableText(str::FilterBmp), "*.bmp;*.dib"};
  FileFilter allFiles{TableText(str::FilterAllFiles), "*.*"};
  return {.id = "bmp",
          .extensions = {"bmp", "dib"},
          .reader = ReadBmpFile,
          .openFilter = filter,
          .openFilterOrder = 3,
          .saveType = savetype::Bmp,
          .save = {"bmp", TableText(str::SaveFilterBmp), "*.bmp",
                   savetrait::Individual | savetrait::Strip | savetrait::ChoiceBox},
          .writeFrame = WriteBmpFrame,
          .importCommand = 40110,
          .importFilter = {filter, allFiles},
          .importOrder = 2};
}

}  // namespace lw
