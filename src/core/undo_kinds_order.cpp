// Undo kinds of the frame order: moves, deletions, insertions and pastes, reversal, and the
// commands that rebuild the frame list (ping-pong, fewer frames). Also the frame-list helpers
// the records share with the commands that make the same moves.
#include <algorithm>
#include <new>
#include <vector>

#include "base/string_ids.h"
#include "core/undo_kinds.h"

namespace lw {

using namespace undo_detail;

namespace {

constexpr uint32_t kReordered = refresh::Document | refresh::Names;
constexpr uint32_t kRecounted = refresh::Document | refresh::FrameCount | refresh::Encoding;

uint32_t ApplyMoveFrame(UndoRecord& record, Animation& document, bool redo) {
  int former = static_cast<int>(Low(record.param)), target = static_cast<int>(High(record.param));
  int landed = target > former ? target - 1 : target;
  Frame* frame = UnlinkFrameAt(document, redo ? former : landed);
  if (frame) LinkFrameAt(document, frame, redo ? landed : former);
  return kReordered;
}

// extra: the former indexes, ascending; param: the first index of the moved run and its length.
uint32_t ApplyMoveFrames(UndoRecord& record, Animation& document, bool redo) {
  int low = static_cast<int>(Low(record.param));
  size_t count = std::min<size_t>(High(record.param), record.extra.size());
  std::vector<Frame*> moved;
  try {
    moved.reserve(count);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (redo) {
    for (size_t i = 0; i < count; ++i) {
      Frame* f = FrameAt(document, static_cast<int>(record.extra[i]));
      if (f) moved.push_back(f);
    }
    for (Frame* f : moved) {
      LinkBlocks(f->prev, f->next);
      f->next = f->prev = nullptr;
    }
    for (size_t i = 0; i < moved.size(); ++i)
      LinkFrameAt(document, moved[i], low + static_cast<int>(i));
  } else {
    for (size_t i = 0; i < count; ++i) {
      Frame* f = UnlinkFrameAt(document, low);
      if (f) moved.push_back(f);
    }
    for (size_t i = 0; i < moved.size(); ++i) {
      LinkFrameAt(document, moved[i], static_cast<int>(record.extra[i]));
    }
  }
  return kReordered;
}

// One removed frame: out of the document on redo, back at its index on undo.
void ApplyRemovedFrame(UndoRecord& record, Animation& document, bool redo, int shift) {
  int index = static_cast<int>(record.param);
  if (redo) {
    if (record.frames) return;
    record.frames = UnlinkFrameAt(document, index - shift);
    if (record.frames) --document.frameCount;
  } else {
    if (!record.frames) return;
    LinkFrameAt(document, record.frames, index);
    record.frames = nullptr;
    ++document.frameCount;
  }
}

uint32_t ApplyDeleteFrame(UndoRecord& record, Animation& document, bool redo) {
  ApplyRemovedFrame(record, document, redo, 0);
  LendGlobalPalette(document);
  return kRecounted;
}

uint32_t ApplyDeleteFrames(UndoRecord& record, Animation& document, bool redo) {
  int position = 0;
  for (UndoRecord* r = &record; r; r = r->sameKindNext, ++position) {
    ApplyRemovedFrame(*r, document, redo, position);
  }
  LendGlobalPalette(document);
  return kRecounted;
}

// One record per removed frame, chained in the order handed in (ascending savedIndex).
bool FillDeleteFrames(UndoRecord& record, Animation&, Frame* handedFrames) {
  UndoRecord* tail = &record;
  Frame* f = handedFrames;
  bool first = true;
  while (f) {
    Frame* next = static_cast<Frame*>(f->next);
    f->next = f->prev = nullptr;
    UndoRecord* r = &record;
    if (!first) {
      r = new (std::nothrow) UndoRecord;
      if (!r) {
        FreeFrameChain(f);
        FreeFrameChain(next);
        return false;
      }
      r->kind = record.kind;
      tail->sameKindNext = r;
      tail = r;
    }
    r->param = f->savedIndex;
    r->frames = f;
    first = false;
    f = next;
  }
  return true;
}

// A whole copy when the palette or screen changed; else the first index and the count added.
uint32_t ApplyInsertFrames(UndoRecord& record, Animation& document, bool redo) {
  if (record.documentCopy) {
    ExchangeDocuments(record, document);
    return refresh::Document | refresh::FrameCount | refresh::ScreenSize;
  }
  int first = static_cast<int>(Low(record.param));
  int count = static_cast<int>(High(record.param));
  if (!redo) {
    if (record.frames) return kRecounted;
    Block* last = nullptr;
    for (int i = 0; i < count; ++i) {
      Frame* f = UnlinkFrameAt(document, first);
      if (!f) break;
      if (last) {
        LinkBlocks(last, f);
      } else {
        record.frames = f;
      }
      last = f;
      --document.frameCount;
    }
  } else {
    Frame* f = record.frames;
    record.frames = nullptr;
    for (int i = 0; f; ++i) {
      Frame* next = static_cast<Frame*>(f->next);
      f->next = f->prev = nullptr;
      LinkFrameAt(document, f, first + i);
      ++document.frameCount;
      f = next;
    }
    LendGlobalPalette(document);
  }
  return kRecounted;
}

uint32_t ApplyReverse(UndoRecord&, Animation& document, bool) {
  ReverseBlocks(document);
  return kReordered;
}

uint32_t ApplyRebuiltList(UndoRecord& record, Animation& document, bool) {
  return ExchangeDocuments(record, document).done ? kRecounted : 0;
}

constexpr UndoKindRow kRows[] = {
    {undo::MoveFrame, str::UndoMoveFrame, FillNothing, ApplyMoveFrame, false},
    {undo::MoveFrames, str::UndoMoveFrame, FillNothing, ApplyMoveFrames, false},
    {undo::DeleteFrame, str::UndoDeleteFrame, FillHandedFrames, ApplyDeleteFrame, true},
    {undo::DeleteFrames, str::UndoDeleteFrame, FillDeleteFrames, ApplyDeleteFrames, true},
    {undo::InsertFrames, str::UndoInsertFrames, FillHandedFrames, ApplyInsertFrames, true},
    {undo::Paste, str::UndoPaste, FillHandedFrames, ApplyInsertFrames, true},
    {undo::ReverseAnimation, str::UndoReverseAnimation, FillNothing, ApplyReverse, false},
    {undo::PingPong, str::UndoPingPong, FillDocumentCopy, ApplyRebuiltList, false},
    {undo::ReduceFrameCount, str::UndoReduceFrameCount, FillDocumentCopy, ApplyRebuiltList, false},
};

}  // namespace

std::span<const UndoKindRow> FrameOrderUndoKinds() { return kRows; }

// ---------------------------------------------------------------------------------------------
// Frame-list helpers

void LinkFrameAt(Animation& animation, Frame* frame, int index) {
  if (!frame || !animation.blocks) return;
  frame->next = frame->prev = nullptr;
  Frame* before = index > 0 ? FrameAt(animation, index - 1) : nullptr;
  if (before) {
    InsertBlockAfter(before, frame);
    return;
  }
  Frame* first = FirstFrame(animation);
  if (index <= 0 && first) {
    // Leading extension blocks (the signature comment) stay in front.
    InsertBlockAfter(first->prev, frame);
    return;
  }
  // Past the end: after the last frame, or after the last block when there is none.
  Block* last = animation.blocks;
  for (Frame* f = first; f; f = NextFrame(f)) last = f;
  if (last == animation.blocks) last = LastBlock(animation);
  InsertBlockAfter(last, frame);
}

Frame* UnlinkFrameAt(Animation& animation, int index) {
  Frame* frame = FrameAt(animation, index);
  if (!frame) return nullptr;
  LinkBlocks(frame->prev, frame->next);
  frame->next = frame->prev = nullptr;
  return frame;
}

void LendGlobalPalette(Animation& animation) {
  Palette* global = animation.globalPalette.get();
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (f->localPalette || f->palette == global) continue;
    f->palette = global;
    UpdateDibColourTable(f);
  }
}

}  // namespace lw
