// Writes starting files for the BMP or JPEG fuzzer: every BMP layout the reader knows (core, info,
// V4 and V5 headers, each depth, bit fields with and without alpha, top-down rows, RLE8 and RLE4)
// and JPEG files in the encodings libjpeg writes (baseline, progressive, grey, CMYK, restart
// markers, 4:4:4), plus cut copies of each. Usage: still_fuzz_seeds bmp|jpeg <folder>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

using Bytes = std::vector<uint8_t>;

void Le(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool Save(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// Saves the file and two cut copies.
bool SaveWithCuts(const std::string& folder, const std::string& name, const Bytes& bytes) {
  bool ok = Save(folder + "/" + name, bytes);
  for (size_t part : {2, 3}) {
    auto keep = static_cast<std::ptrdiff_t>(bytes.size() * (part - 1) / part);
    Bytes cut(bytes.begin(), bytes.begin() + keep);
    ok = Save(folder + "/cut" + std::to_string(part) + "_" + name, cut) && ok;
  }
  return ok;
}

// A BMP file: header of headerSize (12 core, 40 info, 108 V4, 124 V5), masks (after a 40-byte
// header, inside the longer ones), colour table, rows (or the given run-length data).
Bytes Bmp(int headerSize, int width, int height, int bits, uint32_t compression, int colours,
          const Bytes& masks, const Bytes& runs = {}) {
  const int absHeight = height < 0 ? -height : height;
  const int stride = (width * bits + 31) / 32 * 4;
  const int entry = headerSize == 12 ? 3 : 4;
  const bool inside = headerSize > 40;
  const uint32_t offset =
      14 + headerSize + colours * entry + static_cast<uint32_t>(inside ? 0 : masks.size());
  Bytes b = {'B', 'M'};
  Le(b, offset + stride * absHeight, 4);
  Le(b, 0, 4);
  Le(b, offset, 4);
  Le(b, headerSize, 4);
  if (headerSize == 12) {
    Le(b, width, 2);
    Le(b, height, 2);
    Le(b, 1, 2);
    Le(b, bits, 2);
  } else {
    Le(b, width, 4);
    Le(b, static_cast<uint32_t>(height), 4);
    Le(b, 1, 2);
    Le(b, bits, 2);
    Le(b, compression, 4);
    Le(b, stride * absHeight, 4);
    Le(b, 2835, 4);
    Le(b, 2835, 4);
    Le(b, colours, 4);
    Le(b, 0, 4);
  }
  if (inside) {
    Bytes extra = masks;
    extra.resize(static_cast<size_t>(headerSize - 40), 0);
    b.insert(b.end(), extra.begin(), extra.end());
  } else {
    b.insert(b.end(), masks.begin(), masks.end());
  }
  for (int i = 0; i < colours; ++i)
    for (int c = 0; c < entry; ++c) b.push_back(static_cast<uint8_t>(c < 3 ? i * (c + 3) : 0));
  if (!runs.empty()) {
    b.insert(b.end(), runs.begin(), runs.end());
    for (int i = 0; i < 4; ++i) b[2 + i] = static_cast<uint8_t>(b.size() >> (8 * i));
    return b;
  }
  for (int y = 0; y < absHeight; ++y)
    for (int x = 0; x < stride; ++x) b.push_back(static_cast<uint8_t>(x * 13 + y * 7));
  return b;
}

bool BmpSeeds(const std::string& folder) {
  Bytes masks565, masks555, masks32, masks4444, masksAlpha32;
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) Le(masks565, m, 4);
  for (uint32_t m : {0x7C00u, 0x03E0u, 0x001Fu}) Le(masks555, m, 4);
  for (uint32_t m : {0xFF0000u, 0xFF00u, 0xFFu}) Le(masks32, m, 4);
  for (uint32_t m : {0x0F00u, 0x00F0u, 0x000Fu, 0xF000u}) Le(masks4444, m, 4);
  for (uint32_t m : {0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u}) Le(masksAlpha32, m, 4);
  // Runs, a copied stretch, a move, an end of line and the end; the first row runs over.
  const Bytes rle8 = {3, 1, 0, 3, 4, 5, 6, 0, 0, 2, 1, 1, 9, 2, 0, 0, 2, 7, 0, 1};
  const Bytes rle4 = {5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 2, 0, 3, 0x67, 0, 1};
  struct Seed {
    const char* name;
    Bytes bytes;
  };
  const Seed seeds[] = {
      {"core1.bmp", Bmp(12, 9, 4, 1, 0, 2, {})},
      {"core8.bmp", Bmp(12, 5, 3, 8, 0, 256, {})},
      {"info1.bmp", Bmp(40, 17, 3, 1, 0, 2, {})},
      {"info4.bmp", Bmp(40, 7, 5, 4, 0, 16, {})},
      {"info4_short_table.bmp", Bmp(40, 7, 5, 4, 0, 3, {})},
      {"info8.bmp", Bmp(40, 6, 4, 8, 0, 256, {})},
      {"info8_top_down.bmp", Bmp(40, 6, -4, 8, 0, 20, {})},
      {"info16.bmp", Bmp(40, 5, 3, 16, 0, 0, {})},
      {"info16_565.bmp", Bmp(40, 5, 3, 16, 3, 0, masks565)},
      {"info16_555.bmp", Bmp(40, 3, 2, 16, 3, 0, masks555)},
      {"info24.bmp", Bmp(40, 5, 3, 24, 0, 0, {})},
      {"info32.bmp", Bmp(40, 4, 3, 32, 0, 0, {})},
      {"info32_fields.bmp", Bmp(40, 4, 3, 32, 3, 0, masks32)},
      {"rle8.bmp", Bmp(40, 4, 3, 8, 1, 10, {}, rle8)},
      {"rle4.bmp", Bmp(40, 5, 3, 4, 2, 16, {}, rle4)},
      {"v4_8.bmp", Bmp(108, 6, 4, 8, 0, 256, {})},
      {"v4_16_4444.bmp", Bmp(108, 5, 3, 16, 3, 0, masks4444)},
      {"v5_32_alpha.bmp", Bmp(124, 4, 3, 32, 3, 0, masksAlpha32)},
      {"v5_24.bmp", Bmp(124, 5, -3, 24, 0, 0, {})},
      {"info16_565_table.bmp", Bmp(40, 5, 3, 16, 3, 4, masks565)},
  };
  bool ok = true;
  for (const Seed& s : seeds) ok = SaveWithCuts(folder, s.name, s.bytes) && ok;
  return ok;
}

struct JpegKind {
  const char* name;
  J_COLOR_SPACE space;
  int components;
  bool progressive;
  int restart;
  bool fullChroma;
  int quality;
};

Bytes Jpeg(const JpegKind& k, int width, int height) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = k.components;
  c.in_color_space = k.space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, k.quality, TRUE);
  if (k.progressive) jpeg_simple_progression(&c);
  c.restart_interval = static_cast<unsigned>(k.restart);
  if (k.fullChroma && k.components >= 3) {
    c.comp_info[0].h_samp_factor = 1;
    c.comp_info[0].v_samp_factor = 1;
  }
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(width * k.components));
  while (c.next_scanline < c.image_height) {
    const int y = static_cast<int>(c.next_scanline);
    for (int x = 0; x < width; ++x)
      for (int i = 0; i < k.components; ++i)
        row[static_cast<size_t>(x * k.components + i)] =
            static_cast<JSAMPLE>((x * (3 + i) + y * 5) & 255);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

bool JpegSeeds(const std::string& folder) {
  const JpegKind kinds[] = {
      {"baseline.jpg", JCS_RGB, 3, false, 0, false, 75},
      {"full_chroma.jpg", JCS_RGB, 3, false, 0, true, 95},
      {"progressive.jpg", JCS_RGB, 3, true, 0, false, 60},
      {"restart.jpg", JCS_RGB, 3, false, 2, false, 50},
      {"grey.jpg", JCS_GRAYSCALE, 1, false, 0, false, 80},
      {"grey_progressive.jpg", JCS_GRAYSCALE, 1, true, 0, false, 30},
      {"cmyk.jpg", JCS_CMYK, 4, false, 0, false, 70},
  };
  bool ok = true;
  for (const JpegKind& k : kinds) ok = SaveWithCuts(folder, k.name, Jpeg(k, 37, 21)) && ok;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: still_fuzz_seeds bmp|jpeg <folder>\n");
    return 2;
  }
  const std::string kind = argv[1];
  bool ok = kind == "bmp" ? BmpSeeds(argv[2]) : kind == "jpeg" ? JpegSeeds(argv[2]) : false;
  return ok ? 0 : 1;
}
