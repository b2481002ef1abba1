#include "formats/common/png_codec.h"

#include <png.h>

#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/alpha_rule.h"
#include "core/gif_writer.h"
#include "core/picture_budget.h"
#include "formats/common/apng_chunks.h"

namespace lw {
namespace {

// What the decoder hands back: plain data only, so that libpng's error jump crosses no
// destructor. pixels is malloc'd, one row of rowBytes per image row, top row first; unless
// place gave the rows of an RGB image a home of RgbStride rows (placed), where they stay.
struct PngRaw {
  uint8_t* (*place)(void* context, uint32_t width, uint32_t height);
  void* placeContext;
  bool placed;
  uint32_t width;
  uint32_t height;
  int colourType;
  int bitDepth;  // as in the file, before the 16-bit samples are stripped
  size_t rowBytes;
  uint8_t* pixels;
  png_bytep* rows;  // the decoder's row pointers while it reads
  png_color palette[256];
  int paletteCount;
  uint8_t trnsAlpha[256];
  int trnsCount;
  int greyKey;  // grey images of up to 8 bits: the sample value that is transparent, else -1
  bool tooLarge;
};

void PngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

int BytesPerPixel(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 4;  // the 24-bit plane plus the alpha plane
    default: return 1;
  }
}

// Decodes the whole image with the strip-16, packing and BGR transforms. False on any libpng
// error or when the image is beyond the picture budget (raw->tooLarge). No C++ object lives in
// this function: libpng's errors jump back into it.
bool DecodePng(FILE* file, PngRaw* raw) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    std::free(raw->rows);
    raw->rows = nullptr;
    std::free(raw->pixels);
    raw->pixels = nullptr;
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_set_sig_bytes(png, 8);
  png_read_info(png, info);
  raw->width = png_get_image_width(png, info);
  raw->height = png_get_image_height(png, info);
  raw->bitDepth = png_get_bit_depth(png, info);
  raw->colourType = png_get_color_type(png, info);
  raw->greyKey = -1;
  // A transparent colour: RGB images and 16-bit greys get an alpha channel from it (compared at
  // full depth, before the samples lose their low byte); smaller greys name a palette index.
  png_color_16p key = nullptr;
  if (raw->colourType != PNG_COLOR_TYPE_PALETTE &&
      png_get_tRNS(png, info, nullptr, nullptr, &key) && key) {
    if (raw->colourType == PNG_COLOR_TYPE_RGB ||
        (raw->colourType == PNG_COLOR_TYPE_GRAY && raw->bitDepth == 16)) {
      png_set_tRNS_to_alpha(png);
      raw->colourType |= PNG_COLOR_MASK_ALPHA;
    } else if (raw->colourType == PNG_COLOR_TYPE_GRAY && key->gray < (1 << raw->bitDepth)) {
      raw->greyKey = key->gray;
    }
  }
  if (!PictureFitsBudget(raw->width, raw->height, BytesPerPixel(raw->colourType))) {
    raw->tooLarge = true;
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_strip_16(png);
  png_set_packing(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  raw->rowBytes = png_get_rowbytes(png, info);
  // The transforms leave one byte per sample; anything else is not an image this reader knows.
  uint64_t samples = raw->colourType == PNG_COLOR_TYPE_RGB          ? 3
                     : raw->colourType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                     : raw->colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                    : 1;
  if (raw->rowBytes != samples * raw->width) png_error(png, "row length");
  png_colorp plte = nullptr;
  int plteCount = 0;
  if (png_get_PLTE(png, info, &plte, &plteCount) && plte) {
    raw->paletteCount = std::clamp(plteCount, 0, 256);
    std::memcpy(raw->palette, plte, sizeof(png_color) * raw->paletteCount);
  }
  png_bytep trans = nullptr;
  int transCount = 0;
  if (raw->colourType == PNG_COLOR_TYPE_PALETTE &&
      png_get_tRNS(png, info, &trans, &transCount, nullptr) && trans) {
    raw->trnsCount = std::clamp(transCount, 0, 256);
    std::memcpy(raw->trnsAlpha, trans, raw->trnsCount);
  }
  // 24-bit rows go straight where the frame keeps them, without a copy.
  uint8_t* base = nullptr;
  uint64_t stride = raw->rowBytes;
  if (raw->colourType == PNG_COLOR_TYPE_RGB && raw->place) {
    base = raw->place(raw->placeContext, raw->width, raw->height);
    raw->placed = base != nullptr;
    stride = RgbStride(raw->width);
  } else {
    base = raw->pixels = static_cast<uint8_t*>(std::malloc(raw->rowBytes * raw->height));
  }
  raw->rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * raw->height));
  if (!base || !raw->rows) {
    raw->tooLarge = true;
    png_error(png, "memory");
  }
  for (uint32_t y = 0; y < raw->height; ++y) raw->rows[y] = base + stride * y;
  png_read_image(png, raw->rows);
  png_read_end(png, nullptr);
  std::free(raw->rows);
  raw->rows = nullptr;
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool FillTrueColour(const PngRaw& raw, std::vector<uint8_t>* placed, Frame* frame) {
  if (raw.placed) {
    SetRgbPlane(frame, std::move(*placed));
    return true;
  }
  uint64_t rgbStride = RgbStride(raw.width), indexStride = IndexStride(raw.width);
  std::vector<uint8_t> rgb, alpha;
  try {
    rgb.resize(rgbStride * raw.height);
    if (raw.colourType != PNG_COLOR_TYPE_RGB) alpha.resize(indexStride * raw.height);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (uint32_t y = 0; y < raw.height; ++y) {
    const uint8_t* from = raw.pixels + raw.rowBytes * y;
    uint8_t* to = rgb.data() + rgbStride * y;
    uint8_t* a = alpha.empty() ? nullptr : alpha.data() + indexStride * y;
    for (uint32_t x = 0; x < raw.width; ++x) {
      switch (raw.colourType) {
        case PNG_COLOR_TYPE_RGB: std::memcpy(to + 3 * x, from + 3 * x, 3); break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
          std::memcpy(to + 3 * x, from + 4 * x, 3);
          a[x] = from[4 * x + 3];
          break;
        default:  // grey with alpha
          std::memset(to + 3 * x, from[2 * x], 3);
          a[x] = from[2 * x + 1];
          break;
      }
    }
  }
  SetRgbPlane(frame, std::move(rgb));
  if (!alpha.empty()) SetAlphaPlane(frame, std::move(alpha));
  return true;
}

bool FillIndexed(const PngRaw& raw, Animation& animation, Frame* frame) {
  PalettePtr palette = std::make_unique<Palette>();
  if (raw.colourType == PNG_COLOR_TYPE_PALETTE) {
    if (raw.paletteCount < 1) return false;
    for (int i = 0; i < raw.paletteCount; ++i)
      palette->entries.push_back(
          {raw.palette[i].red, raw.palette[i].green, raw.palette[i].blue, 0});
  } else {
    // 16-bit grey has been stripped to 8 bits, so it takes the 8-bit steps.
    int depth = std::min(raw.bitDepth, 8);
    int count = 1 << depth, step = 255 / (count - 1);
    for (int i = 0; i < count; ++i) {
      auto v = static_cast<uint8_t>(i * step);
      palette->entries.push_back({v, v, v, 0});
    }
  }
  std::vector<uint8_t> dib = BuildDib(raw.width, raw.height, palette.get());
  if (dib.empty()) return false;
  // Indexes past the palette (a damaged file) show its first colour rather than reach past it.
  int count = palette->Count();
  // The first entry under half opacity becomes the transparent index and takes the pixels of
  // every other such entry; the others stay opaque, as in any 8-bit image made from alpha.
  int transparent = raw.greyKey;
  auto clear = [&](int i) {
    return i < std::min(raw.trnsCount, count) && IsClearAlpha(raw.trnsAlpha[i]);
  };
  if (raw.colourType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < count && transparent < 0; ++i)
      if (clear(i)) transparent = i;
  }
  uint8_t remap[256];
  for (int i = 0; i < 256; ++i) {
    remap[i] = i < count ? static_cast<uint8_t>(i) : 0;
    if (clear(i)) remap[i] = static_cast<uint8_t>(transparent);
  }
  uint64_t stride = IndexStride(raw.width);
  uint8_t* bits = dib.data() + DibBitsOffset;
  for (uint32_t y = 0; y < raw.height; ++y) {
    const uint8_t* from = raw.pixels + raw.rowBytes * y;
    uint8_t* to = bits + stride * y;
    for (uint32_t x = 0; x < raw.width; ++x) to[x] = remap[from[x]];
  }
  SetGlobalPalette(animation, std::move(palette));
  if (!frame->localPalette) frame->palette = animation.globalPalette.get();
  SetFrameDib(frame, std::move(dib));
  if (transparent >= 0) {
    SetTransparentIndex(frame, static_cast<uint8_t>(transparent));
    SetTransparency(frame, true);
  }
  return true;
}

// Writes the prepared rows; plain data only, as for the decoder.
bool EncodePng(FILE* file, const PngRaw* raw, int colourType, bool transparent,
               uint8_t transparentIndex) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, raw->width, raw->height, 8, colourType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, raw->palette, raw->paletteCount);
    if (transparent) {
      png_byte alpha[256];
      std::memset(alpha, 255, sizeof alpha);
      if (transparentIndex < raw->paletteCount) alpha[transparentIndex] = 0;
      png_set_tRNS(png, info, alpha, raw->paletteCount, nullptr);
    }
  }
  png_write_info(png, info);
  if (colourType != PNG_COLOR_TYPE_PALETTE) png_set_bgr(png);
  for (uint32_t y = 0; y < raw->height; ++y) png_write_row(png, raw->pixels + raw->rowBytes * y);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// The PLTE of a paletted frame: its palette, and past it up to the highest index the pixels use
// (a GIF may use indexes its table lacks, or have no table at all) the colours the frame's DIB
// shows for them, so that the file is valid and shows what the program shows.
void FillWrittenPalette(const Frame& frame, PngRaw* raw) {
  const int known = frame.palette ? std::min(frame.palette->Count(), 256) : 0;
  int used = 0;
  const uint8_t* bits = frame.bits();
  for (uint32_t y = 0; y < frame.height && used < 255; ++y) {
    const uint8_t* row = bits + raw->rowBytes * y;
    used = std::max<int>(used, *std::max_element(row, row + frame.width));
  }
  raw->paletteCount = std::max(known, used + 1);
  const uint8_t* table = frame.dib.data() + DibHeaderSize;
  for (int i = 0; i < raw->paletteCount; ++i) {
    if (i < known) {
      const PaletteEntry& e = frame.palette->entries[i];
      raw->palette[i] = {e.red, e.green, e.blue};
    } else {
      raw->palette[i] = {table[4 * i + 2], table[4 * i + 1], table[4 * i]};
    }
  }
}

}  // namespace

namespace {

enum class PngOutcome { Read, Damaged, NoMemory, Silent };

// The rows of an RGB image in the vector given as context: its 24-bit plane to be.
uint8_t* PlaceRgbRows(void* context, uint32_t width, uint32_t height) {
  auto* rows = static_cast<std::vector<uint8_t>*>(context);
  try {
    ResizePicture(rows, RgbStride(width) * height);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return rows->data();
}

// The picture of a still PNG stream, without a word to the user, so that it may run on any
// thread. Takes the file and closes it.
PngOutcome DecodePngStream(FILE* file, const Timing& timing, AnimationPtr* out) {
  if (!file) return PngOutcome::Silent;
  png_byte signature[8];
  if (std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    std::fclose(file);
    return PngOutcome::Damaged;
  }
  auto* raw = static_cast<PngRaw*>(std::calloc(1, sizeof(PngRaw)));
  if (!raw) {
    std::fclose(file);
    return PngOutcome::Silent;
  }
  std::vector<uint8_t> placed;
  raw->place = PlaceRgbRows;
  raw->placeContext = &placed;
  bool decoded = DecodePng(file, raw);
  std::fclose(file);
  if (!decoded) {
    const bool tooLarge = raw->tooLarge;
    std::free(raw);
    return tooLarge ? PngOutcome::NoMemory : PngOutcome::Damaged;
  }
  AnimationPtr animation = NewBlankAnimation(raw->width, raw->height, timing);
  Frame* frame = animation ? FirstFrame(*animation) : nullptr;
  bool filled = false;
  if (frame) {
    if (raw->colourType == PNG_COLOR_TYPE_PALETTE || raw->colourType == PNG_COLOR_TYPE_GRAY) {
      filled = FillIndexed(*raw, *animation, frame);
    } else {
      filled = FillTrueColour(*raw, &placed, frame);
    }
  }
  std::free(raw->pixels);
  std::free(raw);
  if (!filled) return PngOutcome::NoMemory;
  *out = std::move(animation);
  return PngOutcome::Read;
}

int Reported(PngOutcome outcome) {
  switch (outcome) {
    case PngOutcome::Read: return 1;
    case PngOutcome::Damaged: ShowErrorId(str::PngDamaged); break;
    case PngOutcome::NoMemory: ShowErrorId(str::NoFrameMemory); break;
    case PngOutcome::Silent: break;
  }
  return 0;
}

PngOutcome DecodePngFile(const std::string& path, const Timing& timing, AnimationPtr* out) {
  try {
    return DecodePngStream(std::fopen(path.c_str(), "rb"), timing, out);
  } catch (const std::bad_alloc&) {
    out->reset();
    return PngOutcome::NoMemory;
  }
}

}  // namespace

// The files of a read-ahead in reading order, each waiting, being decoded (by a helper, or by
// the reader while it waits for one), decoded, or taken.
struct PngReadAhead::State {
  enum Phase { Waiting, Decoding, Decoded, Taken };
  struct Item {
    std::string path;
    Phase phase = Waiting;
    bool still = false;  // a still PNG, decoded here; else left to the usual reader
    PngOutcome outcome = PngOutcome::Silent;
    AnimationPtr animation;
  };
  static constexpr size_t Ahead = 4;  // decoded and not yet taken, at most
  Timing timing;                      // what every picture is read with
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Item> items;
  size_t next = 0;   // the first item a helper may start
  size_t taken = 0;  // one past the last item taken
  bool stop = false;
  std::vector<std::thread> helpers;

  void Decode(Item& item, std::unique_lock<std::mutex>& lock) {
    item.phase = Decoding;
    lock.unlock();
    AnimationPtr animation;
    PngOutcome outcome = PngOutcome::Silent;
    const bool still = !apng::HoldsAnimation(item.path);
    if (still) outcome = DecodePngFile(item.path, timing, &animation);
    lock.lock();
    item.still = still;
    item.outcome = outcome;
    item.animation = std::move(animation);
    item.phase = Decoded;
    changed.notify_all();
  }

  void Help() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stop) {
      while (next < items.size() && items[next].phase != Waiting) ++next;
      if (next >= items.size()) return;
      if (next >= taken + Ahead) {
        changed.wait(lock);
        continue;
      }
      Decode(items[next++], lock);
    }
  }

  // The item's result when the file is one of the list, decoded by now, else false.
  bool Take(const std::string& path, AnimationPtr* out, PngOutcome* outcome) {
    std::unique_lock<std::mutex> lock(mutex);
    size_t i = taken;
    while (i < items.size() && (items[i].path != path || items[i].phase == Taken)) ++i;
    if (i == items.size()) return false;
    Item& item = items[i];
    if (item.phase == Waiting) Decode(item, lock);
    // While a helper decodes it, the reader decodes one of the next files rather than wait: with
    // one helper, as on two cores, it would otherwise sit idle for the whole reading.
    while (item.phase != Decoded) {
      size_t j = i + 1;
      while (j < items.size() && j < taken + Ahead && items[j].phase != Waiting) ++j;
      if (j < items.size() && j < taken + Ahead)
        Decode(items[j], lock);
      else
        changed.wait(lock);
    }
    item.phase = Taken;
    taken = std::max(taken, i + 1);
    changed.notify_all();
    if (!item.still) return false;
    *out = std::move(item.animation);
    *outcome = item.outcome;
    return true;
  }
};

namespace {
std::mutex gReadAheadMutex;
PngReadAhead::State* gReadAhead = nullptr;

bool SameTiming(const Timing& a, const Timing& b) {
  return a.units == b.units && a.defaultDelay == b.defaultDelay &&
         a.defaultLoopCount == b.defaultLoopCount;
}

bool TakeReadAhead(const std::string& path, const Timing& timing, AnimationPtr* out,
                   PngOutcome* outcome) {
  PngReadAhead::State* state;
  {
    std::lock_guard<std::mutex> lock(gReadAheadMutex);
    state = gReadAhead;
  }
  // The read-ahead outlives every read made while it is there.
  return state && SameTiming(state->timing, timing) && state->Take(path, out, outcome);
}
}  // namespace

PngReadAhead::PngReadAhead(const std::vector<std::string>& paths, const Timing& timing) {
  const int helpers = std::min(GifEncoderThreads() - 1, 3);
  if (helpers < 1 || paths.size() < 2) return;
  try {
    auto state = std::make_unique<State>();
    state->timing = timing;
    state->items.resize(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) state->items[i].path = paths[i];
    std::lock_guard<std::mutex> lock(gReadAheadMutex);
    if (gReadAhead) return;
    state_ = state.release();
    gReadAhead = state_;
  } catch (const std::bad_alloc&) {
    return;
  }
  try {
    for (int i = 0; i < helpers; ++i) state_->helpers.emplace_back([this] { state_->Help(); });
  } catch (const std::system_error&) {
    // Fewer helpers: the reader decodes what no one took.
  } catch (const std::bad_alloc&) {
  }
}

PngReadAhead::~PngReadAhead() {
  if (!state_) return;
  {
    std::lock_guard<std::mutex> lock(gReadAheadMutex);
    gReadAhead = nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stop = true;
  }
  state_->changed.notify_all();
  for (std::thread& t : state_->helpers) t.join();
  delete state_;
}

int ReadPng(const std::string& path, const Timing& timing, AnimationPtr* out) {
  out->reset();
  PngOutcome outcome;
  if (!TakeReadAhead(path, timing, out, &outcome)) outcome = DecodePngFile(path, timing, out);
  return Reported(outcome);
}

int ReadPngBytes(const uint8_t* data, size_t size, const Timing& timing, AnimationPtr* out) {
  out->reset();
  if (!data || size == 0) return 0;
  // Read-only stream over the caller's bytes: the reader never writes through it.
  return Reported(DecodePngStream(fmemopen(const_cast<uint8_t*>(data), size, "rb"), timing, out));
}

bool WritePng(const std::string& path, Frame* frame) {
  if (!frame || frame->width == 0 || frame->height == 0) return false;
  uint64_t width = frame->width, height = frame->height;
  bool hasRgb = frame->rgbPlane.size() >= RgbStride(width) * height;
  bool hasAlpha = hasRgb && frame->alphaPlane.size() >= IndexStride(width) * height;
  const bool hasIndexes =
      frame->bits() && frame->dib.size() >= DibBitsOffset + IndexStride(width) * height;
  if (!hasRgb && !hasIndexes) return false;
  // 24-bit data of a transparent frame without an alpha plane: its transparent pixels are clear
  // as the program shows them, not the black its colour plane holds there.
  const bool clearByIndex = hasRgb && !hasAlpha && hasIndexes && frame->Transparent();
  int colourType = hasAlpha || clearByIndex ? PNG_COLOR_TYPE_RGB_ALPHA
                   : hasRgb                 ? PNG_COLOR_TYPE_RGB
                                            : PNG_COLOR_TYPE_PALETTE;
  auto* raw = static_cast<PngRaw*>(std::calloc(1, sizeof(PngRaw)));
  if (!raw) return false;
  raw->width = frame->width;
  raw->height = frame->height;
  std::vector<uint8_t> rgba;
  if (colourType == PNG_COLOR_TYPE_RGB_ALPHA) {
    try {
      rgba.resize(4 * width * height);
    } catch (const std::bad_alloc&) {
      std::free(raw);
      return false;
    }
    for (uint64_t y = 0; y < height; ++y)
      for (uint64_t x = 0; x < width; ++x) {
        std::memcpy(&rgba[4 * (y * width + x)], &frame->rgbPlane[y * RgbStride(width) + 3 * x], 3);
        const uint64_t at = y * IndexStride(width) + x;
        rgba[4 * (y * width + x) + 3] =
            hasAlpha ? frame->alphaPlane[at]
                     : (frame->bits()[at] == frame->transparentIndex ? 0 : 255);
      }
    raw->pixels = rgba.data();
    raw->rowBytes = 4 * width;
  } else if (colourType == PNG_COLOR_TYPE_RGB) {
    raw->pixels = frame->rgbPlane.data();
    raw->rowBytes = RgbStride(width);
  } else {
    raw->pixels = frame->bits();
    raw->rowBytes = IndexStride(width);
    FillWrittenPalette(*frame, raw);
  }
  bool written = false;
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    written = EncodePng(file, raw, colourType, frame->Transparent(), frame->transparentIndex);
    written = std::fclose(file) == 0 && written;
  }
  std::free(raw);
  return written;
}

bool EncodePngBytes(const PngImage& image, std::vector<uint8_t>* out) {
  out->clear();
  if (!image.rows || image.paletteCount < 0 || image.paletteCount > 256) return false;
  auto* raw = static_cast<PngRaw*>(std::calloc(1, sizeof(PngRaw)));
  if (!raw) return false;
  raw->width = image.width;
  raw->height = image.height;
  raw->pixels = const_cast<uint8_t*>(image.rows);  // the encoder only reads them
  raw->rowBytes = image.rowBytes;
  raw->paletteCount = image.paletteCount;
  for (int i = 0; i < image.paletteCount; ++i)
    raw->palette[i] = {image.paletteRgb[3 * i], image.paletteRgb[3 * i + 1],
                       image.paletteRgb[3 * i + 2]};
  char* buffer = nullptr;
  size_t size = 0;
  bool written = false;
  if (FILE* file = open_memstream(&buffer, &size)) {
    written = EncodePng(file, raw, image.colourType, false, 0);
    written = std::fclose(file) == 0 && written;
  }
  try {
    if (written) out->assign(buffer, buffer + size);
  } catch (const std::bad_alloc&) {
    written = false;
  }
  std::free(buffer);
  std::free(raw);
  return written;
}

}  // namespace lw
