#include "shell/frame_edit.h"

#include <new>
#include <utility>
#include <vector>

#include "core/undo.h"

namespace lw {

namespace {

void ClearSelection(Animation& animation) {
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) f->selected = 0;
  SetSelectedCount(animation, 0);
}

int CurrentAfterSelection(Animation& animation, int index) {
  Frame* frame = FrameAt(animation, index);
  if (frame && frame->selected) return index;
  Frame* first = FirstSelectedFrame(animation);
  return first ? FrameIndex(animation, first) : -1;
}

}  // namespace

void RecountSelection(Animation& animation) {
  uint32_t count = 0;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) count += f->selected ? 1 : 0;
  int anchor = animation.anchorIndex;
  SetSelectedCount(animation, count);
  Frame* anchorFrame = FrameAt(animation, anchor);
  if (count == 0) return;
  if (anchorFrame && anchorFrame->selected) {
    animation.anchorIndex = anchor;
  } else {
    animation.anchorIndex = FrameIndex(animation, FirstSelectedFrame(animation));
  }
}

int SelectFrame(Animation& animation, int index, int mode) {
  Frame* frame = FrameAt(animation, index);
  if (mode == selmode::Extend && frame && FrameAt(animation, animation.anchorIndex)) {
    int anchor = animation.anchorIndex;
    int low = anchor < index ? anchor : index, high = anchor < index ? index : anchor;
    ClearSelection(animation);
    uint32_t count = 0;
    int i = 0;
    for (Frame* f = FirstFrame(animation); f; f = NextFrame(f), ++i) {
      if (i >= low && i <= high) {
        f->selected = 1;
        ++count;
      }
    }
    SetSelectedCount(animation, count);
    animation.anchorIndex = anchor;
  } else if (mode == selmode::Toggle && frame) {
    frame->selected = frame->selected ? 0 : 1;
    RecountSelection(animation);
    if (frame->selected) animation.anchorIndex = index;
  } else if (mode == selmode::Only || frame) {
    // Extending without an anchor starts a selection like a plain click.
    ClearSelection(animation);
    if (frame) {
      frame->selected = 1;
      SetSelectedCount(animation, 1);
      animation.anchorIndex = index;
    }
  }
  return CurrentAfterSelection(animation, index);
}

int MoveFrameTo(Animation& animation, int from, int position) {
  int count = animation.frameCount;
  if (from < 0 || from >= count || position < 0 || position > count) return -1;
  if (position == from || position == from + 1) return -1;
  UndoStep step(UndoStep::Discard, UndoKind::MoveFrame, animation, undo::FrameMove{from, position});
  int landed = position > from ? position - 1 : position;
  Frame* frame = UnlinkFrameAt(animation, from);
  if (!frame) return -1;
  step.Commit();
  LinkFrameAt(animation, frame, landed);
  animation.anchorIndex = frame->selected ? landed : animation.anchorIndex;
  return landed;
}

int MoveSelectedFramesTo(Animation& animation, int position) {
  int count = animation.frameCount;
  if (position < 0 || position > count) return -1;
  std::vector<uint32_t> former;
  std::vector<Frame*> moved;
  try {
    int i = 0;
    for (Frame* f = FirstFrame(animation); f; f = NextFrame(f), ++i) {
      if (f->selected) {
        former.push_back(static_cast<uint32_t>(i));
        moved.push_back(f);
      }
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (moved.empty()) return -1;
  int before = 0;  // selected frames ahead of the slot: the slot moves up by that many
  for (uint32_t index : former) before += static_cast<int>(index) < position ? 1 : 0;
  int first = position - before;
  bool contiguous = former.back() - former.front() + 1 == former.size();
  if (contiguous && first == static_cast<int>(former.front())) return -1;

  RecordUndo(UndoKind::MoveFrames, animation, undo::FramesMove{first, std::move(former)});
  for (Frame* f : moved) {
    LinkBlocks(f->prev, f->next);
    f->next = f->prev = nullptr;
  }
  for (size_t i = 0; i < moved.size(); ++i)
    LinkFrameAt(animation, moved[i], first + static_cast<int>(i));
  animation.anchorIndex = first;
  return first;
}

int DeleteSelectedFrames(Animation& animation, bool cut) {
  if (animation.selectedCount == 0 || !FirstSelectedFrame(animation)) return -2;
  if (animation.selectedCount == 1) {
    Frame* frame = FirstSelectedFrame(animation);
    int index = FrameIndex(animation, frame);
    UnlinkFrameAt(animation, index);
    --animation.frameCount;
    frame->savedIndex = static_cast<uint32_t>(index);
    RecordUndo(cut ? UndoKind::DeleteFrames : UndoKind::DeleteFrame, animation,
               undo::RemovedFrames(undo::FrameChain(frame)));
    ClearSelection(animation);
    if (animation.frameCount == 0) return -1;
    int current = index < animation.frameCount ? index : animation.frameCount - 1;
    return SelectFrame(animation, current, selmode::Only);
  }
  // Cut out every selected frame, ascending, into a chain linked by next.
  Frame* head = nullptr;
  Frame* tail = nullptr;
  int i = 0;
  for (Frame* f = FirstFrame(animation); f; ++i) {
    Frame* next = NextFrame(f);
    if (f->selected) {
      LinkBlocks(f->prev, f->next);
      f->next = f->prev = nullptr;
      f->savedIndex = static_cast<uint32_t>(i);
      --animation.frameCount;
      if (tail) {
        tail->next = f;
      } else {
        head = f;
      }
      tail = f;
    }
    f = next;
  }
  if (head)
    RecordUndo(UndoKind::DeleteFrames, animation, undo::RemovedFrames(undo::FrameChain(head)));
  ClearSelection(animation);
  return -1;
}

}  // namespace lw
