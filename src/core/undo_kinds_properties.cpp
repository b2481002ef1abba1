// Undo kinds of the properties: the delays, one frame's properties, the properties given to
// every frame at once, and the animation's own settings and comments.
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "base/string_ids.h"
#include "core/compose.h"
#include "core/undo_kinds.h"

namespace lw {

using namespace undo_detail;

namespace {

constexpr uint32_t kFrameImageAndFlags =
    refresh::OneFrame | refresh::PropertiesFrame | refresh::Encoding;

// Delay, interlace flag, disposal, name and position; the transparency flag when asked.
void ExchangeAttributes(Frame* frame, Frame* stored, bool transparency) {
  std::swap(frame->delay, stored->delay);
  bool interlaced = frame->Interlaced();
  SetInterlaced(frame, stored->Interlaced());
  SetInterlaced(stored, interlaced);
  int disposal = frame->Disposal();
  SetDisposal(frame, stored->Disposal());
  SetDisposal(stored, disposal);
  std::swap(frame->nameAtom, stored->nameAtom);
  std::swap(frame->left, stored->left);
  std::swap(frame->top, stored->top);
  if (transparency) {
    bool on = frame->Transparent();
    SetTransparency(frame, stored->Transparent());
    stored->controlFlags = static_cast<uint8_t>((stored->controlFlags & ~1) | (on ? 1 : 0));
  }
}

// extra: every frame's delay, in order.
bool FillDurations(UndoRecord& record, Animation& document, Frame*) {
  try {
    for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
      record.extra.push_back(f->delay);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

uint32_t ApplyDurations(UndoRecord& record, Animation& document, bool) {
  size_t i = 0;
  for (Frame* f = FirstFrame(document); f && i < record.extra.size(); f = NextFrame(f), ++i) {
    std::swap(f->delay, record.extra[i]);
  }
  return refresh::PropertiesFrame | refresh::Preview;
}

// param: the frame index in the high half; low half 1 when the image changed too (the whole frame
// is kept), else the attributes only.
bool FillFrameProperties(UndoRecord& record, Animation& document, Frame*) {
  Frame* frame = FrameAt(document, static_cast<int>(High(record.param)));
  if (!frame) return false;
  record.frames = Low(record.param) == 1 ? CopyFrame(frame) : CopyAttributes(frame);
  return record.frames != nullptr;
}

uint32_t ApplyFrameProperties(UndoRecord& record, Animation& document, bool) {
  uint32_t index = High(record.param);
  Frame* frame = FrameAt(document, static_cast<int>(index));
  if (!frame || !record.frames) return 0;
  if (Low(record.param) == 1) {
    // The size goes with the image: a copy's pixels match its own width and height. The control
    // byte (disposal, transparency) goes with the image too.
    SwapFrameImagesAndGeometry(frame, record.frames);
    std::swap(frame->delay, record.frames->delay);
    bool interlaced = frame->Interlaced();
    SetInterlaced(frame, record.frames->Interlaced());
    SetInterlaced(record.frames, interlaced);
    std::swap(frame->nameAtom, record.frames->nameAtom);
    LendGlobalPalette(document);
  } else {
    ExchangeAttributes(frame, record.frames, true);
  }
  return refresh::ForFrame(kFrameImageAndFlags, index);
}

// param low half 1: the images changed too (a whole copy); else every frame's attributes.
bool FillGlobalProperties(UndoRecord& record, Animation& document, Frame* handedFrames) {
  if (Low(record.param) == 1) return FillDocumentCopy(record, document, handedFrames);
  record.documentCopy = CopyDocumentAttributes(document);
  return record.documentCopy != nullptr;
}

uint32_t ApplyGlobalProperties(UndoRecord& record, Animation& document, bool) {
  if (Low(record.param) == 1) {
    ExchangeDocuments(record, document);
    return refresh::Document | refresh::Encoding;
  }
  if (!record.documentCopy) return 0;
  Frame* stored = FirstFrame(*record.documentCopy);
  for (Frame* f = FirstFrame(document); f && stored; f = NextFrame(f), stored = NextFrame(stored)) {
    ExchangeAttributes(f, stored, true);
  }
  return refresh::Document;
}

// The place of each comment block: how many other blocks (frames and extensions) come before it.
std::vector<uint32_t> CommentPlaces(const Animation& document) {
  std::vector<uint32_t> places;
  uint32_t others = 0;
  for (Block* b = document.blocks ? document.blocks->next : nullptr; b; b = b->next) {
    if (b->kind == BlockKind::Comment) {
      places.push_back(others);
    } else {
      ++others;
    }
  }
  return places;
}

// The loop count, screen size and background index, and the comment blocks with their places
// (documentCopy holds the header and the comments, extra their places). Both kinds keep the
// same: comments are few and short, and the settings are four numbers.
bool FillAnimationSettings(UndoRecord& record, Animation& document, Frame*) {
  try {
    record.extra = CommentPlaces(document);
  } catch (const std::bad_alloc&) {
    return false;
  }
  record.documentCopy = CopyDocumentSettings(document);
  return record.documentCopy != nullptr;
}

uint32_t ApplyAnimationSettings(UndoRecord& record, Animation& document, bool) {
  Animation* stored = record.documentCopy.get();
  if (!stored || !stored->blocks || !document.blocks) return 0;
  std::vector<uint32_t> places;
  std::vector<Block*> taken;
  try {
    places = CommentPlaces(document);
    taken.reserve(places.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }
  bool screen =
      stored->screenWidth != document.screenWidth || stored->screenHeight != document.screenHeight;
  std::swap(document.playCount, stored->playCount);
  std::swap(document.screenWidth, stored->screenWidth);
  std::swap(document.screenHeight, stored->screenHeight);
  std::swap(document.backgroundIndex, stored->backgroundIndex);

  // The document's comments come out, in order...
  for (Block* b = document.blocks->next; b;) {
    Block* next = b->next;
    if (b->kind == BlockKind::Comment) {
      LinkBlocks(b->prev, b->next);
      b->next = b->prev = nullptr;
      taken.push_back(b);
    }
    b = next;
  }
  // ... the stored ones go back at their places (past the end when the list is shorter) ...
  Block* at = document.blocks;
  uint32_t passed = 0;
  size_t i = 0;
  for (Block* c = stored->blocks->next; c; ++i) {
    Block* next = c->next;
    uint32_t place = i < record.extra.size() ? record.extra[i] : UINT32_MAX;
    while (passed < place && at->next) {
      at = at->next;
      ++passed;
    }
    c->next = c->prev = nullptr;
    InsertBlockAfter(at, c);
    at = c;
    c = next;
  }
  // ... and the document's take their place in the record.
  stored->blocks->next = nullptr;
  Block* last = stored->blocks;
  for (Block* b : taken) {
    InsertBlockAfter(last, b);
    last = b;
  }
  record.extra.swap(places);
  document.encodedSizeCache = -1;
  return refresh::Document | refresh::Encoding | (screen ? refresh::ScreenSize : 0);
}

constexpr UndoKindRow kRows[] = {
    {undo::EditDurations, str::UndoReeditDurations, FillDurations, ApplyDurations, false},
    {undo::FrameProperties, str::UndoFrameProperties, FillFrameProperties, ApplyFrameProperties,
     false},
    {undo::GlobalFrameProperties, str::UndoGlobalFrameProperties, FillGlobalProperties,
     ApplyGlobalProperties, false},
    {undo::AnimationProperties, str::UndoAnimationProperties, FillAnimationSettings,
     ApplyAnimationSettings, false},
    {undo::EditComments, str::UndoEditComments, FillAnimationSettings, ApplyAnimationSettings,
     false},
};

}  // namespace

std::span<const UndoKindRow> PropertyUndoKinds() { return kRows; }

}  // namespace lw
