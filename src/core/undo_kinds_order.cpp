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

uint32_t ApplyMoveFrame(undo::FrameMove& move, Animation& document, bool redo) {
  int landed = move.before > move.from ? move.before - 1 : move.before;
  Frame* frame = UnlinkFrameAt(document, redo ? move.from : landed);
  if (frame) LinkFrameAt(document, frame, redo ? landed : move.from);
  return kReordered;
}

uint32_t ApplyMoveFrames(undo::FramesMove& move, Animation& document, bool redo) {
  const std::vector<uint32_t>& former = move.formerIndexes;
  std::vector<Frame*> moved;
  try {
    moved.reserve(former.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (redo) {
    for (uint32_t index : former) {
      Frame* f = FrameAt(document, static_cast<int>(index));
      if (f) moved.push_back(f);
    }
    for (Frame* f : moved) {
      LinkBlocks(f->prev, f->next);
      f->next = f->prev = nullptr;
    }
    for (size_t i = 0; i < moved.size(); ++i)
      LinkFrameAt(document, moved[i], move.first + static_cast<int>(i));
  } else {
    for (size_t i = 0; i < former.size(); ++i) {
      Frame* f = UnlinkFrameAt(document, move.first);
      if (f) moved.push_back(f);
    }
    for (size_t i = 0; i < moved.size(); ++i) {
      LinkFrameAt(document, moved[i], static_cast<int>(former[i]));
    }
  }
  return kReordered;
}

// The command hands in the frames it cut out, each with its savedIndex.
bool FillRemovedFrames(undo::RemovedFrames& removed, Animation&) {
  if (!removed.indexes.empty()) return true;
  try {
    for (const Block* f = removed.frames.get(); f; f = f->next)
      removed.indexes.push_back(static_cast<const Frame*>(f)->savedIndex);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Redo takes the frames out again, each at its index less the frames taken before it; undo puts
// them back at their indexes, in ascending order.
uint32_t ApplyRemovedFrames(undo::RemovedFrames& removed, Animation& document, bool redo) {
  if (redo) {
    if (!removed.frames) {
      Frame* last = nullptr;
      for (size_t i = 0; i < removed.indexes.size(); ++i) {
        Frame* f = UnlinkFrameAt(document, static_cast<int>(removed.indexes[i] - i));
        if (!f) break;
        AppendToChain(removed.frames, &last, f);
        --document.frameCount;
      }
    }
  } else {
    Frame* f = removed.frames.release();
    for (size_t i = 0; f && i < removed.indexes.size(); ++i) {
      Frame* next = static_cast<Frame*>(f->next);
      if (next) next->prev = nullptr;
      LinkFrameAt(document, f, static_cast<int>(removed.indexes[i]));
      ++document.frameCount;
      f = next;
    }
    removed.frames.reset(f);  // none left, unless there were more frames than places
  }
  LendGlobalPalette(document);
  return kRecounted;
}

// A whole copy when the palette or screen changed; else the first index and the count added.
uint32_t ApplyInsertFrames(undo::InsertedFrames& inserted, Animation& document, bool redo) {
  if (inserted.copy) {
    ExchangeDocuments(inserted.copy, document);
    return refresh::Document | refresh::FrameCount | refresh::ScreenSize;
  }
  if (!redo) {
    if (inserted.frames) return kRecounted;
    Frame* last = nullptr;
    for (int i = 0; i < inserted.count; ++i) {
      Frame* f = UnlinkFrameAt(document, inserted.first);
      if (!f) break;
      AppendToChain(inserted.frames, &last, f);
      --document.frameCount;
    }
  } else {
    Frame* f = inserted.frames.release();
    for (int i = 0; f; ++i) {
      Frame* next = static_cast<Frame*>(f->next);
      f->next = f->prev = nullptr;
      LinkFrameAt(document, f, inserted.first + i);
      ++document.frameCount;
      f = next;
    }
    LendGlobalPalette(document);
  }
  return kRecounted;
}

uint32_t ApplyReverse(std::monostate&, Animation& document, bool) {
  ReverseBlocks(document);
  return kReordered;
}

uint32_t ApplyRebuiltList(undo::WholeCopy& whole, Animation& document, bool) {
  return ExchangeDocuments(whole.copy, document).done ? kRecounted : 0;
}

constexpr UndoKindRow kRows[] = {
    KindRow<undo::FrameMove, FillNothing<undo::FrameMove>, ApplyMoveFrame>(UndoKind::MoveFrame,
                                                                           str::UndoMoveFrame),
    KindRow<undo::FramesMove, FillNothing<undo::FramesMove>, ApplyMoveFrames>(UndoKind::MoveFrames,
                                                                              str::UndoMoveFrame),
    KindRow<undo::RemovedFrames, FillRemovedFrames, ApplyRemovedFrames>(UndoKind::DeleteFrame,
                                                                        str::UndoDeleteFrame),
    KindRow<undo::RemovedFrames, FillRemovedFrames, ApplyRemovedFrames>(UndoKind::DeleteFrames,
                                                                        str::UndoDeleteFrame),
    KindRow<undo::InsertedFrames, FillNothing<undo::InsertedFrames>, ApplyInsertFrames>(
        UndoKind::InsertFrames, str::UndoInsertFrames),
    KindRow<undo::InsertedFrames, FillNothing<undo::InsertedFrames>, ApplyInsertFrames>(
        UndoKind::Paste, str::UndoPaste),
    KindRow<std::monostate, FillNothing<std::monostate>, ApplyReverse>(UndoKind::ReverseAnimation,
                                                                       str::UndoReverseAnimation),
    KindRow<undo::WholeCopy, FillWholeCopy, ApplyRebuiltList>(UndoKind::PingPong,
                                                              str::UndoPingPong),
    KindRow<undo::WholeCopy, FillWholeCopy, ApplyRebuiltList>(UndoKind::ReduceFrameCount,
                                                              str::UndoReduceFrameCount),
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
