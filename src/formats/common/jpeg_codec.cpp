#include "formats/common/jpeg_codec.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/picture_budget.h"

namespace lw {
namespace {

// libjpeg's error manager with a way back to the caller instead of exit().
struct JpegError {
  jpeg_error_mgr manager;
  jmp_buf back;
};

void ErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegError*>(cinfo->err)->back, 1); }
void Quiet(j_common_ptr) {}

enum class Decoded { Done, Damaged, NotRgb, TooLarge };

// The decoded picture as plain data: libjpeg's error jump crosses no destructor. pixels is
// malloc'd, rows of stride bytes in blue, green, red order, top row first.
struct JpegRaw {
  uint32_t width;
  uint32_t height;
  size_t stride;
  uint8_t* pixels;
};

Decoded DecodeJpeg(FILE* file, JpegRaw* raw) {
  jpeg_decompress_struct cinfo;
  JpegError error;
  cinfo.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = ErrorExit;
  error.manager.output_message = Quiet;
  if (setjmp(error.back)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(raw->pixels);
    raw->pixels = nullptr;
    return Decoded::Damaged;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  // Grey and colour come out as blue, green, red from the library; CMYK and YCCK (scanners,
  // print and PDF work) as CMYK, made into colours here.
  bool cmyk = false;
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB: cinfo.out_color_space = JCS_EXT_BGR; break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      cmyk = true;
      break;
    default: jpeg_destroy_decompress(&cinfo); return Decoded::NotRgb;
  }
  // Adobe's programs store CMYK inverted (255 no ink), and so does nearly every CMYK file.
  const bool inverted = cmyk && cinfo.saw_Adobe_marker;
  jpeg_calc_output_dimensions(&cinfo);
  if (!PictureFitsBudget(cinfo.output_width, cinfo.output_height, 3)) {
    jpeg_destroy_decompress(&cinfo);
    return Decoded::TooLarge;
  }
  jpeg_start_decompress(&cinfo);
  raw->width = cinfo.output_width;
  raw->height = cinfo.output_height;
  raw->stride = RgbStride(raw->width);
  raw->pixels = static_cast<uint8_t*>(std::calloc(raw->height, raw->stride));
  const int components = cmyk ? 4 : 3;
  if (!raw->pixels || cinfo.output_components != components) {
    jpeg_destroy_decompress(&cinfo);
    return Decoded::TooLarge;
  }
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              raw->width * components, 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    JDIMENSION y = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
    uint8_t* out = raw->pixels + raw->stride * y;
    if (!cmyk) {
      std::memcpy(out, row[0], size_t{raw->width} * 3);
      continue;
    }
    for (uint32_t x = 0; x < raw->width; ++x, out += 3) {
      const JSAMPLE* p = row[0] + 4 * size_t{x};
      // What is left of white once each ink and the black are laid down.
      auto left = [&](int ink) { return inverted ? ink : 255 - ink; };
      const int k = left(p[3]);
      out[0] = static_cast<uint8_t>((left(p[2]) * k + 127) / 255);
      out[1] = static_cast<uint8_t>((left(p[1]) * k + 127) / 255);
      out[2] = static_cast<uint8_t>((left(p[0]) * k + 127) / 255);
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return Decoded::Done;
}

bool EncodeJpeg(FILE* file, const uint8_t* pixels, uint32_t width, uint32_t height, size_t stride,
                int quality) {
  jpeg_compress_struct cinfo;
  JpegError error;
  cinfo.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = ErrorExit;
  error.manager.output_message = Quiet;
  if (setjmp(error.back)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(pixels + stride * cinfo.next_scanline);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

int ReadJpeg(const std::string& path, const Timing& timing, AnimationPtr* out) {
  out->reset();
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return 0;
  auto* raw = static_cast<JpegRaw*>(std::calloc(1, sizeof(JpegRaw)));
  if (!raw) {
    std::fclose(file);
    return 0;
  }
  Decoded decoded = DecodeJpeg(file, raw);
  std::fclose(file);
  AnimationPtr animation;
  if (decoded == Decoded::Done) animation = NewBlankAnimation(raw->width, raw->height, timing);
  std::vector<uint8_t> plane;
  if (animation) {
    try {
      plane.assign(raw->pixels, raw->pixels + raw->stride * raw->height);
    } catch (const std::bad_alloc&) {
      animation.reset();
    }
  }
  std::free(raw->pixels);
  std::free(raw);
  switch (decoded) {
    case Decoded::Damaged: ShowErrorId(str::JpegDecompressError); return 0;
    case Decoded::NotRgb: ShowErrorId(str::JpegNotRgb); return 0;
    case Decoded::TooLarge: ShowErrorId(str::JpegNoMemory); return 0;
    case Decoded::Done: break;
  }
  if (!animation) {
    ShowErrorId(str::JpegNoMemory);
    return 0;
  }
  SetRgbPlane(FirstFrame(*animation), std::move(plane));
  *out = std::move(animation);
  return 1;
}

bool WriteJpeg(const std::string& path, Frame* frame, int quality) {
  if (!frame || frame->width == 0 || frame->height == 0 ||
      frame->rgbPlane.size() < RgbStride(frame->width) * frame->height) {
    ShowError("%s", "no 24 bit data here");
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = EncodeJpeg(file, frame->rgbPlane.data(), frame->width, frame->height,
                            RgbStride(frame->width), quality);
  return std::fclose(file) == 0 && written;
}

}  // namespace lw
