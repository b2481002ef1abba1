// How the history and the record kinds meet. Each family file (undo_kinds_*.cpp) lists its kinds
// in one table of rows; the history assembles the tables from the functions below, so adding a
// kind is one row in its family's file.
#pragma once

#include <cstdint>
#include <span>

#include "core/undo.h"

namespace lw {

// Fills a new record with what its kind keeps of the document before the change; false when a
// copy could not be had. handedFrames (kinds whose row takes frames) belongs to the record from
// then on, whether the fill succeeds or not.
using UndoFillFunction = bool (*)(UndoRecord& record, Animation& document, Frame* handedFrames);

struct UndoKindRow {
  uint32_t kind;
  int nameId;  // the menu's name of the kind
  UndoFillFunction fill;
  UndoApplyFunction apply;
  bool takesFrames;  // RecordUndo hands the command's frames to fill; others are freed
};

// The families. Each kind appears in exactly one of them.
std::span<const UndoKindRow> FrameOrderUndoKinds();  // moves, deletions, insertions, order
std::span<const UndoKindRow> FrameImageUndoKinds();  // pixels, transparency, crops, rotations
std::span<const UndoKindRow> PaletteUndoKinds();     // palette entries, local palettes
std::span<const UndoKindRow> PropertyUndoKinds();    // delays, disposal, names, positions
std::span<const UndoKindRow> DocumentUndoKinds();    // whole-document copies

// ---- What the families share (undo.cpp) ----

namespace undo_detail {

inline uint32_t Low(uint32_t v) { return v & 0xFFFF; }
inline uint32_t High(uint32_t v) { return v >> 16; }

void FreeFrameChain(Frame* frame);

// The retrying copier: when memory runs short the oldest records make room, with one warning.
AnimationPtr CopyDocument(const Animation& document);
Frame* CopyFrame(const Frame* frame);
// Delay, flags, name and position of a frame, without pixels.
Frame* CopyAttributes(const Frame* frame);
// The header and every frame's attributes.
AnimationPtr CopyDocumentAttributes(const Animation& document);
// The header and copies of the comment blocks, in order, without frames.
AnimationPtr CopyDocumentSettings(const Animation& document);

// Fill of the kinds that keep a whole copy (unless the command handed one in).
bool FillDocumentCopy(UndoRecord& record, Animation& document, Frame* handedFrames);
// Fill of the kinds that keep indexes only (param, or nothing at all).
bool FillNothing(UndoRecord& record, Animation& document, Frame* handedFrames);
// Fill of the kinds that take the frames handed in.
bool FillHandedFrames(UndoRecord& record, Animation& document, Frame* handedFrames);

// What exchanging the document with the record's whole copy changed.
struct DocumentExchange {
  bool done = false;
  bool frameCountChanged = false;
  bool screenSizeChanged = false;
};
DocumentExchange ExchangeDocuments(UndoRecord& record, Animation& document);

}  // namespace undo_detail

}  // namespace lw
