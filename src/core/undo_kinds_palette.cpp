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

// The local palette of the frame at index, or the global palette (index -1, or a frame without
// a local palette).
Palette* EditedPalette(Animation& document, int index) {
  if (index < 0) return document.globalPalette.get();
  Frame* frame = FrameAt(document, index);
  if (frame && frame->localPalette) return frame->localPalette.get();
  return document.globalPalette.get();
}

bool FillPalette(undo::PaletteEntries& edited, Animation& document) {
  const Palette* palette = EditedPalette(document, edited.frame);
  if (!palette) return false;
  try {
    edited.entries = palette->entries;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

uint32_t ApplyPalette(undo::PaletteEntries& edited, Animation& document, bool) {
  Palette* palette = EditedPalette(document, edited.frame);
  if (!palette || edited.entries.empty()) return 0;
  if (edited.entries.size() > 256) edited.entries.resize(256);
  palette->entries.swap(edited.entries);
  for (undo::KeptColours& kept : edited.colours) {
    Frame* frame = FrameAt(document, static_cast<int>(kept.frame));
    if (frame && frame->rgbPlane.size() == kept.rgb.size()) frame->rgbPlane.swap(kept.rgb);
  }
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
  Frame* frame = FrameAt(document, edited.frame);
  if (frame) {
    frame->descriptorFlags = static_cast<uint8_t>((frame->descriptorFlags & ~7) | sizeCode);
    UpdateDibColourTable(frame);
  }
  return refresh::ForFrame(refresh::OneFrame, static_cast<uint32_t>(edited.frame));
}

// A whole copy when the global palette changed too, else the old frame (CommitPaletteUndo).
uint32_t ApplyRemoveLocalPalette(undo::LocalPaletteRemoval& removal, Animation& document, bool) {
  if (removal.copy) {
    ExchangeDocuments(removal.copy, document);
    return refresh::Document | refresh::Encoding;
  }
  Frame* frame = FrameAt(document, removal.index);
  if (frame && removal.frame) SwapFrameImages(frame, removal.frame.get());
  LendGlobalPalette(document);
  return refresh::ForFrame(refresh::OneFrame | refresh::PropertiesFrame | refresh::Encoding,
                           static_cast<uint32_t>(removal.index));
}

uint32_t ApplyReducedCopy(undo::WholeCopy& whole, Animation& document, bool) {
  return ExchangeDocuments(whole.copy, document).done ? refresh::Document : 0;
}

constexpr UndoKindRow kRows[] = {
    KindRow<undo::PaletteEntries, FillPalette, ApplyPalette>(UndoKind::EditPalette,
                                                             str::UndoEditPalette),
    KindRow<undo::LocalPaletteRemoval, FillNothing<undo::LocalPaletteRemoval>,
            ApplyRemoveLocalPalette>(UndoKind::RemoveLocalPalette, str::UndoRemoveLocalPalette),
    KindRow<undo::WholeCopy, FillWholeCopy, ApplyReducedCopy>(UndoKind::ReducePalette,
                                                              str::UndoReducePalette),
};

}  // namespace

std::span<const UndoKindRow> PaletteUndoKinds() { return kRows; }

}  // namespace lw
