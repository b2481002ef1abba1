#include "formats/bmp/bmp_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "formats/bmp/packed_dib.h"
#include "formats/save_flow.h"

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

// A core (12-byte) header file as a packed DIB with a 40-byte header; false when damaged.
bool CoreToPackedDib(const std::vector<uint8_t>& file, std::vector<uint8_t>* dib) {
  if (file.size() < kFileHeaderSize + kCoreHeaderSize) return false;
  const uint8_t* core = file.data() + kFileHeaderSize;
  int bitCount = Le16(core + 10);
  uint64_t colours = bitCount < 16 ? uint64_t{1} << std::min(bitCount, 8) : 0;
  uint64_t tableAt = kFileHeaderSize + kCoreHeaderSize;
  uint64_t pixelsAt = Le32(file.data() + 10);
  if (file.size() < tableAt + 3 * colours || pixelsAt > file.size()) return false;
  dib->assign(DibHeaderSize + 4 * colours + (file.size() - pixelsAt), 0);
  uint8_t* p = dib->data();
  PutLe32(p, DibHeaderSize);
  PutLe32(p + 4, Le16(core + 4));
  PutLe32(p + 8, Le16(core + 6));
  PutLe16(p + 12, Le16(core + 8));
  PutLe16(p + 14, static_cast<uint16_t>(bitCount));
  for (uint64_t i = 0; i < colours; ++i)
    std::memcpy(p + DibHeaderSize + 4 * i, file.data() + tableAt + 3 * i, 3);
  std::memcpy(p + DibHeaderSize + 4 * colours, file.data() + pixelsAt, file.size() - pixelsAt);
  return true;
}

int ReadBmpFile(const std::string& path, WindowHandle /*owner*/, AnimationPtr* out,
                ProgressMeter* /*meter*/) {
  return ReadBmp(path, out);
}

bool WriteBmpFrame(const std::string& path, Frame* frame, uint32_t optionBits) {
  return WriteBmp(path, frame, optionBits);
}

}  // namespace

int ReadBmp(const std::string& path, AnimationPtr* out) {
  out->reset();
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return 0;
  std::streamoff length = in.tellg();
  if (length < static_cast<std::streamoff>(kFileHeaderSize + 4)) return 0;
  std::vector<uint8_t> file;
  try {
    file.resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    ShowErrorId(str::BmpNoMemory);
    return 0;
  }
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(file.data()), length)) return 0;
  in.close();

  std::vector<uint8_t> core;
  const uint8_t* dib = file.data() + kFileHeaderSize;
  size_t dibSize = file.size() - kFileHeaderSize;
  if (Le32(dib) == kCoreHeaderSize) {
    try {
      if (!CoreToPackedDib(file, &core)) return 0;
    } catch (const std::bad_alloc&) {
      ShowErrorId(str::BmpNoMemory);
      return 0;
    }
    dib = core.data();
    dibSize = core.size();
  }
  *out = DibToAnimation(dib, dibSize);
  return *out ? 1 : 0;
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
    if (depth == 8)
      std::memcpy(info + DibHeaderSize, frame->dib.data() + DibHeaderSize, DibColourTableSize);
    else
      PutLe32(info + 32, 0);  // no colour table follows
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
