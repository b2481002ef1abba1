// Frame records: the DIB and planes, names, palettes and the attribute setters.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/animation.h"
#include "core/model_internal.h"
#include "core/picture_budget.h"

namespace lw {

using model::ReadLe32;
using model::WriteLe32;

Frame::~Frame() { ReleaseNameAtom(nameAtom); }

uint64_t NewFrameVersion() {
  // Frames are made by the reading threads too.
  static std::atomic<uint64_t> counter{0};
  return ++counter;
}

void TouchFrame(Frame* frame) {
  if (frame) frame->version = NewFrameVersion();
}

void TouchAllFrames(Animation& animation) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) TouchFrame(f);
}

static uint32_t DibDimension(const std::vector<uint8_t>& dib, size_t offset) {
  if (dib.size() < DibHeaderSize) return 0;
  int64_t v = ReadLe32(dib.data() + offset);
  v = v < 0 ? -v : v;
  return static_cast<uint32_t>(std::max<int64_t>(v, 1));
}

uint32_t Frame::DibWidth() const { return DibDimension(dib, 4); }
uint32_t Frame::DibHeight() const { return DibDimension(dib, 8); }

namespace model {

bool DibLayout(const Frame* frame, PixelLayout* layout) {
  if (!frame || frame->dib.size() < DibBitsOffset) return false;
  layout->width = frame->DibWidth();
  layout->height = frame->DibHeight();
  layout->stride = IndexStride(layout->width);
  // Both factors are below 2^32, so the product fits in 64 bits.
  return layout->stride * layout->height <= frame->dib.size() - DibBitsOffset;
}

}  // namespace model

std::vector<uint8_t> BuildDib(uint32_t width, uint32_t height, const Palette* palette) {
  uint64_t w = std::max<uint32_t>(width, 1), h = std::max<uint32_t>(height, 1);
  // biWidth and biHeight are signed 32-bit fields.
  if (w > INT32_MAX || h > INT32_MAX) return {};
  uint64_t stride = IndexStride(w);
  if (stride > MaxImageBytes / h) return {};
  uint64_t size = DibBitsOffset + stride * h;
  std::vector<uint8_t> dib;
  try {
    ResizePicture(&dib, size);
  } catch (const std::bad_alloc&) {
    return {};
  } catch (const std::length_error&) {
    return {};
  }
  uint8_t* p = dib.data();
  WriteLe32(p, DibHeaderSize);
  WriteLe32(p + 4, static_cast<uint32_t>(w));
  WriteLe32(p + 8, static_cast<uint32_t>(-static_cast<int32_t>(h)));
  p[12] = 1;  // biPlanes
  p[14] = 8;  // biBitCount
  if (palette) {
    int n = std::min(palette->Count(), 256);
    for (int i = 0; i < n; ++i) {
      const PaletteEntry& e = palette->entries[i];
      uint8_t* q = p + DibHeaderSize + 4 * i;
      q[0] = e.blue;
      q[1] = e.green;
      q[2] = e.red;
    }
  }
  return dib;
}

bool NewFrameDib(Frame* frame) {
  if (!frame) return false;
  std::vector<uint8_t> dib = BuildDib(frame->width, frame->height, frame->palette);
  if (dib.empty()) return false;
  SetFrameDib(frame, std::move(dib));
  return true;
}

void UpdateDibColourTable(Frame* frame) {
  if (!frame || frame->dib.size() < DibBitsOffset) return;
  TouchFrame(frame);
  uint8_t* table = frame->dib.data() + DibHeaderSize;
  std::fill(table, table + DibColourTableSize, 0);
  if (frame->palette) {
    int n = std::min(frame->palette->Count(), 256);
    for (int i = 0; i < n; ++i) {
      const PaletteEntry& e = frame->palette->entries[i];
      table[4 * i] = e.blue;
      table[4 * i + 1] = e.green;
      table[4 * i + 2] = e.red;
    }
  }
  SetTransparentDisplayColour(frame, true);
}

void SetDibSize(Frame* frame, uint32_t width, int32_t height) {
  TouchFrame(frame);
  if (!frame || frame->dib.size() < DibHeaderSize) return;
  int64_t h = height < 0 ? -static_cast<int64_t>(height) : height;
  h = std::min<int64_t>(h, INT32_MAX);
  WriteLe32(frame->dib.data() + 4, std::min<uint32_t>(width, INT32_MAX));
  WriteLe32(frame->dib.data() + 8, static_cast<uint32_t>(-static_cast<int32_t>(h)));
}

void SetFrameDib(Frame* frame, std::vector<uint8_t> dib) {
  if (!frame) return;
  frame->dib = std::move(dib);
  TouchFrame(frame);
  RebuildTransparencyMask(frame);
}

void SetRgbPlane(Frame* frame, std::vector<uint8_t> plane) {
  if (!frame) return;
  if (plane.empty()) {
    FreeRgbPlane(frame);
    return;
  }
  frame->rgbPlane = std::move(plane);
  TouchFrame(frame);
}

void SetAlphaPlane(Frame* frame, std::vector<uint8_t> plane) {
  if (!frame) return;
  frame->alphaPlane = frame->rgbPlane.empty() ? std::vector<uint8_t>{} : std::move(plane);
  TouchFrame(frame);
}

void FreeAlphaPlane(Frame* frame) { SetAlphaPlane(frame, {}); }

void FreeRgbPlane(Frame* frame) {
  if (!frame) return;
  frame->rgbPlane = {};
  frame->alphaPlane = {};
  TouchFrame(frame);
}

void SetDisposal(Frame* frame, int disposal) {
  if (!frame) return;
  frame->controlFlags = static_cast<uint8_t>((frame->controlFlags & ~0x1C) | ((disposal & 7) << 2));
}

void SetInterlaced(Frame* frame, bool on) {
  if (!frame) return;
  frame->descriptorFlags =
      static_cast<uint8_t>(on ? frame->descriptorFlags | 0x40 : frame->descriptorFlags & ~0x40);
}

PalettePtr SetLocalPalette(Frame* frame, PalettePtr palette) {
  if (!frame) return palette;
  PalettePtr old = std::move(frame->localPalette);
  uint8_t flags = frame->descriptorFlags & 0x78;  // bits 3-6 stay
  if (palette) {
    flags |= 0x80 | ((BitsForColours(palette->Count()) - 1) & 7);
    frame->palette = palette.get();
  } else {
    frame->palette = nullptr;
  }
  frame->localPalette = std::move(palette);
  frame->descriptorFlags = flags;
  TouchFrame(frame);
  return old;
}

bool SetFrameName(Frame* frame, const std::string& text) {
  if (!frame) return false;
  NameAtom atom = AddNameAtom(text);
  if (atom == 0 && !text.empty()) return false;  // could not store it: keep the old name
  if (atom != frame->nameAtom) {
    ReleaseNameAtom(frame->nameAtom);
    frame->nameAtom = atom;
    return true;
  }
  ReleaseNameAtom(atom);
  return false;
}

std::string FrameName(const Frame* frame) { return frame ? NameAtomText(frame->nameAtom) : ""; }

void CopyFrameAttributes(Frame* to, const Frame* from) {
  if (!to || !from || to == from) return;
  to->delay = from->delay;
  SetInterlaced(to, from->Interlaced());
  SetDisposal(to, from->Disposal());
  AddNameReference(from->nameAtom);
  ReleaseNameAtom(to->nameAtom);
  to->nameAtom = from->nameAtom;
}

void SwapFrameImages(Frame* a, Frame* b) {
  if (!a || !b || a == b) return;
  std::swap(a->dib, b->dib);
  std::swap(a->transparencyMask, b->transparencyMask);
  std::swap(a->transparentIndex, b->transparentIndex);
  std::swap(a->controlFlags, b->controlFlags);
  std::swap(a->codeSize, b->codeSize);
  std::swap(a->rgbPlane, b->rgbPlane);
  std::swap(a->alphaPlane, b->alphaPlane);
  TouchFrame(a);
  TouchFrame(b);
  if (a->localPalette || b->localPalette) {
    std::swap(a->localPalette, b->localPalette);
    std::swap(a->palette, b->palette);
    constexpr uint8_t tableBits = 0x87;
    uint8_t fa = a->descriptorFlags, fb = b->descriptorFlags;
    a->descriptorFlags = static_cast<uint8_t>((fa & ~tableBits) | (fb & tableBits));
    b->descriptorFlags = static_cast<uint8_t>((fb & ~tableBits) | (fa & tableBits));
  }
}

void SwapFrameImagesAndGeometry(Frame* a, Frame* b) {
  if (!a || !b || a == b) return;
  SwapFrameImages(a, b);
  std::swap(a->left, b->left);
  std::swap(a->top, b->top);
  std::swap(a->width, b->width);
  std::swap(a->height, b->height);
}

bool SetCommentText(Block* block, const std::string& text) {
  if (!block || block->kind != BlockKind::Comment) return false;
  auto* comment = dynamic_cast<ExtensionBlock*>(block);
  if (!comment) return false;
  try {
    std::vector<uint8_t> data;
    data.reserve(text.size() + text.size() / 255 + 2);
    size_t at = 0;
    do {
      size_t n = std::min<size_t>(text.size() - at, 255);
      if (n == 0) break;
      data.push_back(static_cast<uint8_t>(n));
      data.insert(data.end(), text.begin() + at, text.begin() + at + n);
      at += n;
    } while (at < text.size());
    if (data.empty()) data.push_back(0);  // an empty text: length 0, which also ends the data
    data.push_back(0);
    comment->data = std::move(data);
    return true;
  } catch (const std::bad_alloc&) {
    ShowError("%s", ResText(str::NoMemoryForComment).c_str());
    return false;
  }
}

bool CommentText(const Block* block, std::string* text) {
  if (!block || block->kind != BlockKind::Comment) return false;
  const auto* comment = dynamic_cast<const ExtensionBlock*>(block);
  if (!comment) return false;
  const auto& data = comment->data;
  std::string out;
  try {
    size_t at = 0;
    while (at < data.size() && data[at] != 0) {
      size_t n = std::min<size_t>(data[at], data.size() - at - 1);
      out.append(reinterpret_cast<const char*>(data.data() + at + 1), n);
      at += 1 + n;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (text) *text = std::move(out);
  return true;
}

}  // namespace lw
