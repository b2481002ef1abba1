// How the history and the record kinds meet. Each family file (undo_kinds_*.cpp) lists its kinds
// in one table of rows, each naming its payload type, its fill and its apply; the history
// assembles the tables from the functions below, so adding a kind is its payload type
// (undo_records.h) and one row in its family's file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "core/undo.h"

namespace lw {

struct UndoKindRow {
  UndoKind kind;
  int nameId;           // the menu's name of the kind
  size_t payloadIndex;  // the alternative of UndoPayload the kind keeps
  // Completes the payload with what the kind keeps of the document before the change; false when
  // a copy could not be had.
  bool (*fill)(UndoPayload& payload, Animation& document);
  // Exchanges the payload with the document's state; returns the refresh hints.
  uint32_t (*apply)(UndoPayload& payload, Animation& document, bool redo);
};

// A row from a kind's typed fill and apply:
//   bool Fill(Payload&, Animation& document);
//   uint32_t Apply(Payload&, Animation& document, bool redo);
template <typename Payload, auto Fill, auto Apply>
constexpr UndoKindRow KindRow(UndoKind kind, int nameId) {
  return {kind, nameId, PayloadIndex<Payload>::value,
          [](UndoPayload& p, Animation& d) -> bool { return Fill(std::get<Payload>(p), d); },
          [](UndoPayload& p, Animation& d, bool redo) -> uint32_t {
            return Apply(std::get<Payload>(p), d, redo);
          }};
}

// The families. Each kind appears in exactly one of them.
std::span<const UndoKindRow> FrameOrderUndoKinds();  // moves, deletions, insertions, order
std::span<const UndoKindRow> FrameImageUndoKinds();  // pixels, transparency, crops, rotations
std::span<const UndoKindRow> PaletteUndoKinds();     // palette entries, local palettes
std::span<const UndoKindRow> PropertyUndoKinds();    // delays, disposal, names, positions
std::span<const UndoKindRow> DocumentUndoKinds();    // whole-document copies

// ---- What the families share (undo.cpp) ----

namespace undo_detail {

// The retrying copier: when memory runs short the oldest records make room, with one warning.
AnimationPtr CopyDocument(const Animation& document);
undo::FrameChain CopyFrame(const Frame* frame);
// Delay, flags, name and position of a frame, without pixels.
undo::FrameChain CopyAttributes(const Frame* frame);
// The header and every frame's attributes.
AnimationPtr CopyDocumentAttributes(const Animation& document);
// The header and copies of the comment blocks, in order, without frames.
AnimationPtr CopyDocumentSettings(const Animation& document);

// Appends frame to a chain whose last frame is *last (none: frame starts the chain).
void AppendToChain(undo::FrameChain& chain, Frame** last, Frame* frame);

// Fill of the kinds that keep nothing, or only what the command handed in.
template <typename Payload>
bool FillNothing(Payload&, Animation&) {
  return true;
}
// Fill of the kinds that keep a whole copy (unless the command handed one in).
bool FillWholeCopy(undo::WholeCopy& payload, Animation& document);

// What exchanging the document with a whole copy changed.
struct DocumentExchange {
  bool done = false;
  bool frameCountChanged = false;
  bool screenSizeChanged = false;
};
DocumentExchange ExchangeDocuments(AnimationPtr& copy, Animation& document);

}  // namespace undo_detail

}  // namespace lw
