// Undo kinds of the palettes: edited entries of the global or a local palette, a local palette
// removed, and the palette reduction (a whole copy).
#include <algorithm>
#include <new>
#include <vector>

#include "base/string_ids.h"
#include "core/compose.h"
#include "core/undo_kinds.h"

namespace lw {

using namespace undo_detail;

namespace {

constexpr uint32_t NoFrame = 0xFFFFFFFFu;

// param: the frame whose local palette was edited, NoFrame for the global palette.
Palette* EditedPalette(Animation& document, uint32_t param) {
  if (param == NoFrame) return document.globalPalette.get();
  Frame* frame = FrameAt(document, static_cast<int>(param));
  if (frame && frame->localPalette) return frame->localPalette.get();
  return document.globalPalette.get();
}

uint32_t PackEntry(const PaletteEntry& e) {
  return e.red | (e.green << 8) | (e.blue << 16) | (static_cast<uint32_t>(e.flags) << 24);
}

PaletteEntry UnpackEntry(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

// extra: the entry count, then the entries packed.
bool FillPalette(UndoRecord& record, Animation& document, Frame*) {
  const Palette* palette = EditedPalette(document, record.param);
  if (!palette) return false;
  try {
    record.extra.reserve(1 + palette->entries.size());
    record.extra.push_back(static_cast<uint32_t>(palette->entries.size()));
    for (const PaletteEntry& e : palette->entries) record.extra.push_back(PackEntry(e));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

uint32_t ApplyPalette(UndoRecord& record, Animation& document, bool) {
  Palette* palette = EditedPalette(document, record.param);
  if (!palette || record.extra.empty()) return 0;
  uint32_t count = std::min<uint32_t>(record.extra[0], 256);
  if (count == 0 || record.extra.size() < 1 + count) return 0;
  std::vector<PaletteEntry> entries;
  std::vector<uint32_t> old;
  try {
    entries.reserve(count);
    old.reserve(1 + palette->entries.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (uint32_t i = 0; i < count; ++i) entries.push_back(UnpackEntry(record.extra[1 + i]));
  old.push_back(static_cast<uint32_t>(palette->entries.size()));
  for (const PaletteEntry& e : palette->entries) old.push_back(PackEntry(e));
  palette->entries.swap(entries);
  record.extra.swap(old);
  uint8_t sizeCode = static_cast<uint8_t>(BitsForColours(palette->Count()) - 1);
  if (palette == document.globalPalette.get()) {
    if (document.screenFlags & 0x80) {
      document.screenFlags = static_cast<uint8_t>((document.screenFlags & ~7) | sizeCode);
    }
    for (Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
      if (!f->localPalette) UpdateDibColourTable(f);
    }
    return refresh::Document;
  }
  uint32_t index = record.param;
  Frame* frame = FrameAt(document, static_cast<int>(index));
  if (frame) {
    frame->descriptorFlags = static_cast<uint8_t>((frame->descriptorFlags & ~7) | sizeCode);
    UpdateDibColourTable(frame);
  }
  return refresh::ForFrame(refresh::OneFrame, index);
}

// A whole copy when the global palette changed too, else the old frame (CommitPaletteUndo).
uint32_t ApplyRemoveLocalPalette(UndoRecord& record, Animation& document, bool) {
  if (record.documentCopy) {
    ExchangeDocuments(record, document);
    return refresh::Document | refresh::Encoding;
  }
  Frame* frame = FrameAt(document, static_cast<int>(record.param));
  if (frame && record.frames) SwapFrameImages(frame, record.frames);
  LendGlobalPalette(document);
  return refresh::ForFrame(refresh::OneFrame | refresh::PropertiesFrame | refresh::Encoding,
                           record.param);
}

uint32_t ApplyReducedCopy(UndoRecord& record, Animation& document, bool) {
  return ExchangeDocuments(record, document).done ? refresh::Document : 0;
}

constexpr UndoKindRow kRows[] = {
    {undo::EditPalette, str::UndoEditPalette, FillPalette, ApplyPalette, false},
    {undo::RemoveLocalPalette, str::UndoRemoveLocalPalette, FillHandedFrames,
     ApplyRemoveLocalPalette, true},
    {undo::ReducePalette, str::UndoReducePalette, FillDocumentCopy, ApplyReducedCopy, false},
};

}  // namespace

std::span<const UndoKindRow> PaletteUndoKinds() { return kRows; }

}  // namespace lw
