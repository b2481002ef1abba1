// Writers of 24-bit types take a frame's 24-bit picture, not the 8-bit image made from it for
// the GIF: FFmpeg decodes each file close to the 24-bit picture (exactly for BMP), much closer
// than the 8-bit image is.
#include <gtest/gtest.h>

#include <cmath>

#include "formats/avi/video_out_format.h"
#include "formats/bmp/bmp_format.h"
#include "formats/jpeg/jpeg_entry.h"
#include "formats/save_flow.h"
#include "support/document.h"
#include "support/services.h"
#include "support/temp_dir.h"
#include "support/tools.h"

namespace lw::test {
namespace {

constexpr uint32_t kWidth = 96, kHeight = 64;

// Peak signal to noise ratio, in dB, of FFmpeg's decoding of the file against RGB bytes.
double Psnr(const std::string& path, const std::vector<uint8_t>& rgb) {
  const std::string raw =
      Output("ffmpeg -v error -i " + Quoted(path) + " -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
  if (raw.size() != rgb.size()) return 0;
  double error = 0;
  for (size_t i = 0; i < rgb.size(); ++i) {
    const double d = static_cast<uint8_t>(raw[i]) - static_cast<double>(rgb[i]);
    error += d * d;
  }
  if (error == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(rgb.size()) / error);
}

// A smooth picture of many colours as 24-bit data, beside an 8-bit image of it on eight greys.
TEST(TrueColourWriters, WriteThe24BitPictureNotThe8BitImage) {
  LW_NEED_TOOL("ffmpeg");
  TempDir dir;
  AnimationPtr a = MakeDocument(kWidth, kHeight, GreyPalette(8));
  std::vector<uint8_t> truth, plane(RgbStride(kWidth) * kHeight), image;
  std::vector<uint8_t> indexes;
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x) {
      const uint8_t r = static_cast<uint8_t>(x * 255 / (kWidth - 1));
      const uint8_t g = static_cast<uint8_t>(y * 255 / (kHeight - 1));
      const uint8_t b = static_cast<uint8_t>((x + y) * 255 / (kWidth + kHeight - 2));
      truth.insert(truth.end(), {r, g, b});
      uint8_t* p = &plane[y * RgbStride(kWidth) + 3 * x];
      p[0] = b, p[1] = g, p[2] = r;
      indexes.push_back(static_cast<uint8_t>((r + g + b) / 3 * 8 / 256));
    }
  Frame* f = AddFrame(*a, 0, 0, kWidth, kHeight, indexes);
  for (uint8_t i : indexes) {
    const PaletteEntry& e = a->globalPalette->entries[i];
    image.insert(image.end(), {e.red, e.green, e.blue});
  }
  // The 8-bit image's own distance to the picture: what a writer drawing it would reach.
  double imageError = 0;
  for (size_t i = 0; i < truth.size(); ++i)
    imageError += std::pow(truth[i] - static_cast<double>(image[i]), 2);
  const double imagePsnr =
      10 * std::log10(255.0 * 255.0 * static_cast<double>(truth.size()) / imageError);
  SetRgbPlane(f, plane);
  const struct {
    const char* name;
    int type;
    double least;  // dB
  } files[] = {{"p.bmp", savetype::Bmp, INFINITY},
               {"p.jpg", savetype::Jpeg, 35},
               {"p.mp4", savetype::Mp4, 35},
               {"p.webm", savetype::Webm, 35}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    SaveOptions options;
    ASSERT_TRUE(WriteAsType(dir.Path(file.name), *a, options, file.type, nullptr));
    const double psnr = Psnr(dir.Path(file.name), truth);
    EXPECT_GE(psnr, file.least);
    EXPECT_GT(psnr, imagePsnr + 10) << "the 8-bit image is at " << imagePsnr << " dB";
    RecordProperty(file.name, std::to_string(psnr));
  }
}

}  // namespace
}  // namespace lw::test
