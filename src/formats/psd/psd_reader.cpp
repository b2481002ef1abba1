// Reading PSD files: the indexed composite into a DIB, the RGB or grey composite into 24-bit
// data, or every layer as a frame. Every length in the file is checked against the file before
// it is used, and every picture against the memory budget before it is made.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/gif_reader.h"
#include "core/picture_budget.h"
#include "formats/psd/psd_format.h"
#include "formats/psd/psd_internal.h"
#include "platform/flow_dialogs.h"

namespace lw {
namespace {

using psd::Budget;
using psd::MinPackedRow;
using psd::Outcome;
using psd::PsdFile;
using psd::ReadCounts;
using psd::ReadRows;

constexpr int ModeGrey = 1;
constexpr int ModeIndexed = 2;
constexpr int ModeRgb = 3;
constexpr int TransparentIndexResource = 1047;

struct Header {
  uint16_t channels = 0;
  uint32_t height = 0;
  uint32_t width = 0;
  uint16_t mode = 0;
  int sampleBytes = 1;
};

// The composite image: one compression word, then (for PackBits) the counts of every row of
// every channel, then the channels one after the other. put(channel, y, row) for the first
// `wanted` channels.
template <typename Put>
Outcome ReadComposite(PsdFile& in, const Header& h, int wanted, Put put) {
  uint16_t compression;
  if (!in.U16(&compression) || h.channels < wanted) return Outcome::DataError;
  psd::RowBuffers rows;
  std::vector<uint16_t> counts;
  bool packed = compression != 0;
  if (packed) {
    if (!ReadCounts(in, uint64_t{h.channels} * h.height, &counts)) return Outcome::DataError;
  } else if (uint64_t{h.width} * h.sampleBytes * h.height * wanted > in.Remaining()) {
    return Outcome::DataError;
  }
  for (int c = 0; c < wanted; ++c) {
    const uint16_t* channelCounts = packed ? counts.data() + uint64_t{h.height} * c : nullptr;
    if (!ReadRows(in, packed, channelCounts, h.width, h.height, h.sampleBytes, rows,
                  [&](uint32_t y, const uint8_t* r) { put(c, y, r); }))
      return Outcome::DataError;
  }
  return Outcome::Done;
}

// Whether the composite's data can cover `wanted` channels, checked before any picture is made
// for it; the file is left where it was.
bool CompositeHolds(PsdFile& in, const Header& h, int wanted) {
  const uint64_t start = in.Pos();
  uint16_t compression;
  bool holds = h.channels >= wanted && in.U16(&compression);
  if (holds && compression == 0) {
    holds = uint64_t{h.width} * h.sampleBytes * h.height * wanted <= in.Remaining();
  } else if (holds) {
    std::vector<uint16_t> counts;
    holds = ReadCounts(in, uint64_t{h.channels} * h.height, &counts);
    uint64_t total = 0;
    for (uint64_t i = 0; holds && i < uint64_t{h.height} * wanted; ++i) {
      holds = counts[i] >= MinPackedRow(uint64_t{h.width} * h.sampleBytes);
      total += counts[i];
    }
    holds = holds && total <= in.Remaining();
  }
  return in.Seek(start) && holds;
}

// Palette (768 bytes), transparency resource and the composite's one channel of indexes.
Outcome ReadIndexed(PsdFile& in, const Header& h, uint32_t modeDataLength, Animation* animation) {
  if (modeDataLength != 768) return Outcome::DataError;
  uint8_t planes[768];
  if (!in.Read(planes, sizeof planes)) return Outcome::DataError;
  uint8_t rgb[768];
  for (int i = 0; i < 256; ++i) {
    rgb[3 * i] = planes[i];
    rgb[3 * i + 1] = planes[256 + i];
    rgb[3 * i + 2] = planes[512 + i];
  }
  uint32_t resourceLength;
  if (!in.U32(&resourceLength) || resourceLength > in.Remaining()) return Outcome::DataError;
  uint64_t resourceEnd = in.Pos() + resourceLength;
  int transparent = -1;
  while (in.Pos() + 4 <= resourceEnd) {
    char signature[4];
    uint16_t id = 0;
    uint8_t nameLength = 0;
    uint32_t dataLength = 0;
    bool block = in.Read(signature, 4) && std::memcmp(signature, "8BIM", 4) == 0 && in.U16(&id) &&
                 in.U8(&nameLength) && in.Skip(nameLength + (nameLength % 2 == 0 ? 1 : 0)) &&
                 in.U32(&dataLength) && in.Pos() + dataLength <= resourceEnd;
    if (!block) {
      ShowError("%s", "Error reading PSD Resource Data. Ignore it.");
      break;
    }
    if (id == TransparentIndexResource && dataLength >= 2) {
      uint16_t index;
      if (!in.U16(&index)) return Outcome::DataError;
      if (index < 256) transparent = index;
      break;
    }
    if (!in.Skip(dataLength + dataLength % 2)) break;
  }
  uint32_t layerLength;
  if (!in.Seek(resourceEnd) || !in.U32(&layerLength) || !in.Skip(layerLength))
    return Outcome::DataError;

  if (!CompositeHolds(in, h, 1)) return Outcome::DataError;
  if (!PictureFitsBudget(h.width, h.height, 1)) return Outcome::NoMemoryForImage;
  PalettePtr palette = PaletteFromTriples(256, rgb);
  if (!palette) return Outcome::NoMemoryForImage;
  std::vector<uint8_t> dib = BuildDib(h.width, h.height, palette.get());
  if (dib.empty()) return Outcome::NoMemoryForImage;
  uint8_t* bits = dib.data() + DibBitsOffset;
  uint64_t stride = IndexStride(h.width);
  Outcome read = ReadComposite(in, h, 1, [&](int, uint32_t y, const uint8_t* row) {
    std::memcpy(bits + stride * y, row, h.width);
  });
  if (read != Outcome::Done) return read;
  Frame* frame = FirstFrame(*animation);
  SetGlobalPalette(*animation, std::move(palette));
  frame->palette = animation->globalPalette.get();
  SetFrameDib(frame, std::move(dib));
  if (transparent >= 0) {
    SetTransparentIndex(frame, static_cast<uint8_t>(transparent));
    SetTransparency(frame, true);
  }
  return Outcome::Done;
}

// The grey or RGB composite into the frame's 24-bit data (and its transparency when kept).
Outcome ReadTrueColourComposite(PsdFile& in, const Header& h, uint32_t options, Frame* frame) {
  const bool grey = h.mode == ModeGrey;
  const int colours = grey ? 1 : 3;
  const bool alpha = (options & psdopt::KeepTransparency) && h.channels > colours;
  if (!CompositeHolds(in, h, colours + (alpha ? 1 : 0))) return Outcome::DataError;
  Budget budget;
  if (!budget.Take(h.width, h.height, 3) || (alpha && !budget.Take(h.width, h.height, 1)))
    return Outcome::NoMemoryForImage;
  std::vector<uint8_t> rgb(RgbStride(h.width) * h.height);
  std::vector<uint8_t> alphaPlane(alpha ? IndexStride(h.width) * h.height : 0);
  const uint64_t rgbStride = RgbStride(h.width), stride = IndexStride(h.width);
  Outcome read =
      ReadComposite(in, h, colours + (alpha ? 1 : 0), [&](int c, uint32_t y, const uint8_t* row) {
        if (c == colours) {
          std::memcpy(alphaPlane.data() + stride * y, row, h.width);
          return;
        }
        uint8_t* to = rgb.data() + rgbStride * y;
        for (uint32_t x = 0; x < h.width; ++x) {
          if (grey) {
            std::memset(to + 3 * x, row[x], 3);
          } else {
            to[3 * x + 2 - c] = row[x];
          }
        }
      });
  if (read != Outcome::Done) return read;
  SetRgbPlane(frame, std::move(rgb));
  if (alpha) SetAlphaPlane(frame, std::move(alphaPlane));
  return Outcome::Done;
}

// Photoshop keeps the layers of 16-bit files in a tagged block after the global mask record,
// leaving the layer information empty. Leaves the file at the block's layer count when found.
bool FindSixteenBitLayers(PsdFile& in, uint64_t sectionEnd) {
  uint32_t maskLength;
  if (!in.U32(&maskLength) || !in.Skip(maskLength)) return false;
  while (in.Pos() + 12 <= sectionEnd) {
    char signature[4], key[4];
    uint32_t length;
    if (!in.Read(signature, 4) || !in.Read(key, 4) || !in.U32(&length)) return false;
    if (std::memcmp(signature, "8BIM", 4) != 0 && std::memcmp(signature, "8B64", 4) != 0)
      return false;
    if (length > sectionEnd - in.Pos()) return false;
    if (std::memcmp(key, "Lr16", 4) == 0) return length >= 2;
    if (!in.Skip(length)) return false;
  }
  return false;
}

}  // namespace

int ReadPsd(const std::string& path, const ReadOptions& read, WindowHandle owner, AnimationPtr* out,
            bool liveEditMode, ProgressMeter* meter) {
  out->reset();
  ProgressSetText(meter, TableText(str::ReadingPsd));
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    ShowErrorId(str::PsdDamaged);
    return 0;
  }
  PsdFile in(file);
  Outcome outcome = Outcome::Done;
  AnimationPtr animation;
  try {
    outcome = [&]() -> Outcome {
      char signature[4] = {};
      uint16_t version = 0;
      Header h;
      uint16_t depth;
      if (!in.Read(signature, 4) || std::memcmp(signature, "8BPS", 4) != 0 || !in.U16(&version) ||
          version != 1)
        return Outcome::NotPsd;
      if (!in.Skip(6) || !in.U16(&h.channels) || !in.U32(&h.height) || !in.U32(&h.width) ||
          !in.U16(&depth) || !in.U16(&h.mode))
        return Outcome::DataError;
      if (h.mode != ModeGrey && h.mode != ModeIndexed && h.mode != ModeRgb)
        return Outcome::UnsupportedMode;
      if (h.width == 0 || h.height == 0 || h.channels == 0) return Outcome::DataError;
      // Indexes are bytes whatever the depth says.
      h.sampleBytes = h.mode == ModeIndexed ? 1 : psd::SampleBytes(depth);
      uint32_t modeDataLength;
      if (!in.U32(&modeDataLength)) return Outcome::DataError;
      animation = NewBlankAnimation(h.width, h.height, read.timing);
      if (!animation) return Outcome::NoMemoryForImage;
      if (h.mode == ModeIndexed) return ReadIndexed(in, h, modeDataLength, animation.get());

      uint32_t resourceLength, layerLength;
      if (modeDataLength != 0 || !in.U32(&resourceLength) || !in.Skip(resourceLength) ||
          !in.U32(&layerLength) || layerLength > in.Remaining())
        return Outcome::DataError;
      const uint64_t layerEnd = in.Pos() + layerLength;
      uint32_t options = psdopt::NoLayers;
      int layerCount = 0;
      uint32_t infoLength = 0;
      if (layerLength != 0) {
        int16_t count = 0;
        if (!in.U32(&infoLength)) return Outcome::DataError;
        // An empty layer information block holds no count, unless the layers are elsewhere.
        if (infoLength != 0 && !in.I16(&count)) return Outcome::DataError;
        if (infoLength == 0 && h.sampleBytes == 2 && FindSixteenBitLayers(in, layerEnd) &&
            !in.I16(&count))
          return Outcome::DataError;
        layerCount = count < 0 ? -int{count} : count;
        if (layerCount >= 2) {
          if (liveEditMode) {
            options = psdopt::LiveEdit;
          } else {
            options = owner ? Dialogs().AskPsdLayers(owner, read.psdLayers) : read.psdLayers;
            if (options == 0) return Outcome::Cancelled;
          }
        } else if (layerCount == 1) {
          options = psdopt::OneLayer;
        }
      }
      if (!(options & psdopt::Composite)) {
        const psd::LayerRead layers{in.Pos(), layerCount, options,       h.width,
                                    h.height, h.mode,     h.sampleBytes, read.timing};
        animation.reset();
        return psd::ReadLayers(in, layers, meter, &animation);
      }
      if (!in.Seek(layerEnd)) return Outcome::DataError;
      return ReadTrueColourComposite(in, h, options, FirstFrame(*animation));
    }();
  } catch (const std::bad_alloc&) {
    outcome = Outcome::NoMemoryForImage;
  }
  std::fclose(file);
  if (outcome != Outcome::Done) {
    animation.reset();
    psd::ShowOutcome(outcome);
    return 0;
  }
  *out = std::move(animation);
  return 1;
}

}  // namespace lw
