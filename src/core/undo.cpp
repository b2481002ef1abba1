// The undo list: recording by kind, the retrying copier, and applying records both ways.
#include "core/undo.h"

#include <algorithm>
#include <new>
#include <utility>

#include "core/compose.h"
#include "base/messages.h"
#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"

namespace lw {
namespace {

UndoHistory history;
std::function<void()> listener;
int failCopies = 0;
RotateFrameFunction rotateFrameHook = nullptr;
RotateAnimationFunction rotateAnimationHook = nullptr;

constexpr uint32_t NoFrame = 0xFFFFFFFFu;

uint32_t Low(uint32_t v) { return v & 0xFFFF; }
uint32_t High(uint32_t v) { return v >> 16; }
uint32_t WithIndex(uint32_t hints, uint32_t index) { return hints | (index << 16); }

void Notify() {
  if (listener) listener();
}

void FreeFrameChain(Frame* frame) {
  Block* b = frame;
  while (b) b = FreeBlock(b);
}

// ---------------------------------------------------------------------------------------------
// The list

void DropOldest() {
  UndoRecord* r = history.oldest;
  if (!r) return;
  history.oldest = r->newer;
  if (r->newer) r->newer->older = nullptr;
  if (history.cursor == r) history.cursor = nullptr;
  --history.count;
  delete r;
}

void DropRedoTail() {
  UndoRecord* r = history.cursor ? history.cursor->newer : history.oldest;
  if (history.cursor) {
    history.cursor->newer = nullptr;
  } else {
    history.oldest = nullptr;
  }
  while (r) {
    UndoRecord* newer = r->newer;
    delete r;
    --history.count;
    r = newer;
  }
}

void LinkAtCursor(UndoRecord* record) {
  record->older = history.cursor;
  record->newer = nullptr;
  if (history.cursor) {
    history.cursor->newer = record;
  } else {
    history.oldest = record;
  }
  history.cursor = record;
  ++history.count;
}

bool InHistory(const UndoRecord* record) {
  for (UndoRecord* r = history.oldest; r; r = r->newer) {
    if (r == record) return true;
  }
  return false;
}

void Unlink(UndoRecord* record) {
  if (record->older) {
    record->older->newer = record->newer;
  } else {
    history.oldest = record->newer;
  }
  if (record->newer) record->newer->older = record->older;
  if (history.cursor == record) history.cursor = record->older;
  record->newer = record->older = nullptr;
  --history.count;
}

// ---------------------------------------------------------------------------------------------
// The retrying copier: when memory runs short the oldest records make room, with one warning.

void WarnOnce() {
  if (history.warned) return;
  history.warned = true;
  Services().MessageBox(nullptr, ResText(str::UndoMemoryWarning), ResText(str::UndoMemoryWarningTitle),
                        mb::Ok | mb::IconExclamation | mb::TaskModal);
}

template <typename Make>
auto CopyWithRetry(Make make) -> decltype(make()) {
  for (;;) {
    decltype(make()) copy{};
    if (failCopies > 0) {
      --failCopies;
    } else {
      copy = make();
    }
    if (copy) return copy;
    WarnOnce();
    if (!history.oldest) return copy;
    DropOldest();
  }
}

AnimationPtr CopyDocument(const Animation& document) {
  return CopyWithRetry([&] { return DuplicateAnimation(document, nullptr); });
}

Frame* CopyFrame(const Frame* frame) {
  return CopyWithRetry([&] { return static_cast<Frame*>(DuplicateBlock(frame, frame->palette)); });
}

Frame* NewAttributeCopy(const Frame* frame) {
  auto* copy = static_cast<Frame*>(NewBlock(BlockKind::Frame, 0));
  if (!copy) return nullptr;
  CopyFrameAttributes(copy, frame);
  copy->left = frame->left;
  copy->top = frame->top;
  copy->controlFlags = static_cast<uint8_t>((copy->controlFlags & ~1) | (frame->controlFlags & 1));
  return copy;
}

Frame* CopyAttributes(const Frame* frame) {
  return CopyWithRetry([&] { return NewAttributeCopy(frame); });
}

AnimationPtr CopyDocumentAttributes(const Animation& document) {
  return CopyWithRetry([&]() -> AnimationPtr {
    AnimationPtr copy = CloneAnimationHeader(document);
    if (!copy) return nullptr;
    Block* last = copy->blocks;
    for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
      Frame* a = NewAttributeCopy(f);
      if (!a) return nullptr;
      InsertBlockAfter(last, a);
      last = a;
      ++copy->frameCount;
    }
    return copy;
  });
}

// ---------------------------------------------------------------------------------------------
// Frame attributes

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

// ---------------------------------------------------------------------------------------------
// Applying records

uint32_t ExchangeDocuments(UndoRecord& record, Animation& document) {
  if (!record.documentCopy) return 0;
  SwapAnimations(document, *record.documentCopy);
  return refresh::Document;
}

uint32_t ApplyDocumentCopy(UndoRecord& record, Animation& document, bool) {
  const Animation* copy = record.documentCopy.get();
  if (!copy) return 0;
  bool countDiffers = copy->frameCount != document.frameCount;
  bool screenDiffers =
      copy->screenWidth != document.screenWidth || copy->screenHeight != document.screenHeight;
  ExchangeDocuments(record, document);
  switch (record.kind) {
    case undo::Optimize:
      return countDiffers ? 0x03 : 0x01;
    case undo::MergeAnimations:
      return (countDiffers ? 0x03 : 0x01) | (screenDiffers ? 0x04 : 0);
    case undo::CropAnimation:
    case undo::ResizeAnimation:
      return 0x05;
    case undo::ReduceFrameCount:
    case undo::PingPong:
      return 0x0B;
    default:
      return 0x01;
  }
}

uint32_t ApplyMoveFrame(UndoRecord& record, Animation& document, bool redo) {
  int former = static_cast<int>(Low(record.param)), target = static_cast<int>(High(record.param));
  int landed = target > former ? target - 1 : target;
  Frame* frame = UnlinkFrameAt(document, redo ? former : landed);
  if (frame) LinkFrameAt(document, frame, redo ? landed : former);
  return 0x11;
}

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
    for (size_t i = 0; i < moved.size(); ++i) LinkFrameAt(document, moved[i], low + static_cast<int>(i));
  } else {
    for (size_t i = 0; i < count; ++i) {
      Frame* f = UnlinkFrameAt(document, low);
      if (f) moved.push_back(f);
    }
    for (size_t i = 0; i < moved.size(); ++i) {
      LinkFrameAt(document, moved[i], static_cast<int>(record.extra[i]));
    }
  }
  return 0x11;
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
  return 0x0B;
}

uint32_t ApplyDeleteFrames(UndoRecord& record, Animation& document, bool redo) {
  int position = 0;
  for (UndoRecord* r = &record; r; r = r->sameKindNext, ++position) {
    ApplyRemovedFrame(*r, document, redo, position);
  }
  LendGlobalPalette(document);
  return 0x0B;
}

uint32_t ApplyInsertFrames(UndoRecord& record, Animation& document, bool redo) {
  if (record.documentCopy) {
    ExchangeDocuments(record, document);
    return 0x07;
  }
  int first = static_cast<int>(Low(record.param));
  int count = static_cast<int>(High(record.param));
  if (!redo) {
    if (record.frames) return 0x0B;
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
  return 0x0B;
}

uint32_t ApplyMoveCrop(UndoRecord& record, Animation& document, bool) {
  uint32_t hints = 0;
  Frame* copy = record.frames;
  for (size_t i = 0; copy && i < record.extra.size(); ++i, copy = static_cast<Frame*>(copy->next)) {
    Frame* frame = FrameAt(document, static_cast<int>(record.extra[i]));
    if (!frame) continue;
    SwapFrameImagesAndGeometry(frame, copy);
    if (frame->width != copy->width || frame->height != copy->height) hints |= 0x08;
  }
  LendGlobalPalette(document);
  if (record.extra.size() > 1) return hints | 0x01;
  return WithIndex(hints | 0x20, record.extra.empty() ? 0 : record.extra[0]);
}

uint32_t ApplyRotateFrame(UndoRecord& record, Animation& document, bool redo) {
  int index = static_cast<int>(High(record.param));
  int command = static_cast<int>(Low(record.param));
  if (rotateFrameHook) rotateFrameHook(document, index, command, !redo);
  uint32_t w = Low(record.screenSize), h = High(record.screenSize);
  if (w != document.screenWidth || h != document.screenHeight) {
    record.screenSize = (document.screenWidth & 0xFFFF) | (document.screenHeight << 16);
    document.screenWidth = w;
    document.screenHeight = h;
    return WithIndex(0x0D, index);
  }
  return WithIndex(0x28, index);
}

uint32_t ApplyRotateAll(UndoRecord& record, Animation& document, bool redo) {
  int command = static_cast<int>(record.param);
  if (rotateAnimationHook) rotateAnimationHook(document, command, !redo);
  return 0x0D;
}

uint32_t ApplyTransparency(UndoRecord& record, Animation& document, bool) {
  uint32_t index = High(record.param);
  Frame* frame = FrameAt(document, static_cast<int>(index));
  if (!frame) return 0;
  uint32_t low = Low(record.param);
  if (low >= 2) {
    if (record.frames) SwapFrameImages(frame, record.frames);
    LendGlobalPalette(document);
    return WithIndex(0x68, index);
  }
  SetTransparency(frame, low == 0);
  record.param = (index << 16) | (low ^ 1);
  return WithIndex(0x60, index);
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
    return 0x01;
  }
  uint32_t index = record.param;
  Frame* frame = FrameAt(document, static_cast<int>(index));
  if (frame) {
    frame->descriptorFlags = static_cast<uint8_t>((frame->descriptorFlags & ~7) | sizeCode);
    UpdateDibColourTable(frame);
  }
  return WithIndex(0x20, index);
}

uint32_t ApplyRemoveLocalPalette(UndoRecord& record, Animation& document, bool) {
  if (record.documentCopy) {
    ExchangeDocuments(record, document);
    return 0x09;
  }
  Frame* frame = FrameAt(document, static_cast<int>(record.param));
  if (frame && record.frames) SwapFrameImages(frame, record.frames);
  LendGlobalPalette(document);
  return WithIndex(0x68, record.param);
}

uint32_t ApplyReverse(UndoRecord&, Animation& document, bool) {
  ReverseBlocks(document);
  return 0x11;
}

uint32_t ApplyNothing(UndoRecord&, Animation&, bool) { return 0x80; }

uint32_t ApplyDurations(UndoRecord& record, Animation& document, bool) {
  size_t i = 0;
  for (Frame* f = FirstFrame(document); f && i < record.extra.size(); f = NextFrame(f), ++i) {
    std::swap(f->delay, record.extra[i]);
  }
  return 0x240;
}

uint32_t ApplyFrameImage(UndoRecord& record, Animation& document, bool) {
  Frame* frame = FrameAt(document, static_cast<int>(record.param));
  if (!frame || !record.frames) return 0;
  SwapFrameImages(frame, record.frames);
  LendGlobalPalette(document);
  return WithIndex(record.kind == undo::DropTrueColour ? 0x60 : 0x28, record.param);
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
  return WithIndex(0x68, index);
}

uint32_t ApplyGlobalProperties(UndoRecord& record, Animation& document, bool) {
  if (Low(record.param) == 1) {
    ExchangeDocuments(record, document);
    return 0x09;
  }
  if (!record.documentCopy) return 0;
  Frame* stored = FirstFrame(*record.documentCopy);
  for (Frame* f = FirstFrame(document); f && stored; f = NextFrame(f), stored = NextFrame(stored)) {
    ExchangeAttributes(f, stored, true);
  }
  return 0x01;
}

uint32_t ApplyTrueColour(UndoRecord& record, Animation& document, bool redo) {
  Frame* frame = FrameAt(document, static_cast<int>(record.param));
  if (!frame) return 0;
  if (redo) {
    AddRgbPlane(frame);
  } else {
    FreeRgbPlane(frame);
  }
  return WithIndex(0x60, record.param);
}

struct KindInfo {
  int nameId;
  UndoApplyFunction apply;
};

// Kinds 7, 8, 14, 18 and 32 are never recorded.
const KindInfo kinds[undo::MaxKind + 1] = {
    /* 0 */ {0, nullptr},
    /* 1 */ {str::UndoMoveFrame, ApplyMoveFrame},
    /* 2 */ {str::UndoDeleteFrame, ApplyDeleteFrame},
    /* 3 */ {str::UndoInsertFrames, ApplyInsertFrames},
    /* 4 */ {str::UndoOptimize, ApplyDocumentCopy},
    /* 5 */ {str::UndoUnoptimize, ApplyDocumentCopy},
    /* 6 */ {str::UndoReducePalette, ApplyDocumentCopy},
    /* 7 */ {0, nullptr},
    /* 8 */ {0, nullptr},
    /* 9 */ {str::UndoMoveCrop, ApplyMoveCrop},
    /* 10 */ {str::UndoCropAnimation, ApplyDocumentCopy},
    /* 11 */ {str::UndoRotateFrame, ApplyRotateFrame},
    /* 12 */ {str::UndoRotateAllFrames, ApplyRotateAll},
    /* 13 */ {str::UndoEditTransparency, ApplyTransparency},
    /* 14 */ {0, nullptr},
    /* 15 */ {str::UndoEditPalette, ApplyPalette},
    /* 16 */ {str::UndoRemoveLocalPalette, ApplyRemoveLocalPalette},
    /* 17 */ {str::UndoReverseAnimation, ApplyReverse},
    /* 18 */ {0, nullptr},
    /* 19 */ {str::UndoReduceFrameCount, ApplyDocumentCopy},
    /* 20 */ {str::UndoResizeAnimation, ApplyDocumentCopy},
    /* 21 */ {str::UndoPaste, ApplyInsertFrames},
    /* 22 */ {str::UndoNop, ApplyNothing},
    /* 23 */ {str::UndoDeleteFrame, ApplyDeleteFrames},
    /* 24 */ {str::UndoReeditDurations, ApplyDurations},
    /* 25 */ {str::UndoMoveFrame, ApplyMoveFrames},
    /* 26 */ {str::UndoMergeAnimations, ApplyDocumentCopy},
    /* 27 */ {str::UndoPingPong, ApplyDocumentCopy},
    /* 28 */ {str::UndoEditPixels, ApplyFrameImage},
    /* 29 */ {str::UndoCoEditFrame, ApplyFrameImage},
    /* 30 */ {str::UndoDropTrueColour, ApplyFrameImage},
    /* 31 */ {str::UndoFrameProperties, ApplyFrameProperties},
    /* 32 */ {0, nullptr},
    /* 33 */ {str::UndoGlobalFrameProperties, ApplyGlobalProperties},
    /* 34 */ {str::UndoFixForAvi, ApplyDocumentCopy},
    /* 35 */ {str::UndoAddTrueColour, ApplyTrueColour},
};

UndoApplyFunction overrides[undo::MaxKind + 1] = {};

bool Recordable(uint32_t kind) { return kind <= undo::MaxKind && kinds[kind].apply; }

uint32_t Apply(UndoRecord& record, Animation& document, bool redo) {
  if (!Recordable(record.kind)) return 0;
  UndoApplyFunction apply = overrides[record.kind] ? overrides[record.kind] : kinds[record.kind].apply;
  return apply(record, document, redo);
}

// Fills a new record with what its kind keeps of the document before the change. False when a
// copy could not be had.
bool FillRecord(UndoRecord* record, Animation& document, Frame* handedFrames) {
  uint32_t kind = record->kind;
  switch (kind) {
    case undo::DeleteFrame:
      record->frames = handedFrames;
      return true;
    case undo::DeleteFrames: {
      // One record per removed frame, chained in the order handed in.
      UndoRecord* tail = record;
      Frame* f = handedFrames;
      bool first = true;
      while (f) {
        Frame* next = static_cast<Frame*>(f->next);
        f->next = f->prev = nullptr;
        UndoRecord* r = record;
        if (!first) {
          r = new (std::nothrow) UndoRecord;
          if (!r) {
            FreeFrameChain(f);
            FreeFrameChain(next);
            return false;
          }
          r->kind = kind;
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
    case undo::InsertFrames:
    case undo::Paste:
    case undo::RemoveLocalPalette:
      record->frames = handedFrames;
      return true;
    case undo::Optimize:
    case undo::Unoptimize:
    case undo::ReducePalette:
    case undo::CropAnimation:
    case undo::ReduceFrameCount:
    case undo::ResizeAnimation:
    case undo::MergeAnimations:
    case undo::PingPong:
    case undo::FixForAvi:
      if (!record->documentCopy) record->documentCopy = CopyDocument(document);
      return record->documentCopy != nullptr;
    case undo::MoveCropFrames: {
      Block* last = nullptr;
      int index = 0;
      for (Frame* f = FirstFrame(document); f; f = NextFrame(f), ++index) {
        if (!f->selected) continue;
        Frame* copy = CopyFrame(f);
        if (!copy) return false;
        try {
          record->extra.push_back(static_cast<uint32_t>(index));
        } catch (const std::bad_alloc&) {
          FreeBlock(copy);
          return false;
        }
        if (last) {
          LinkBlocks(last, copy);
        } else {
          record->frames = copy;
        }
        last = copy;
      }
      return true;
    }
    case undo::RotateFrame:
      record->screenSize = (document.screenWidth & 0xFFFF) | (document.screenHeight << 16);
      return true;
    case undo::EditTransparency:
      if (Low(record->param) < 2) return true;
      [[fallthrough]];
    case undo::FrameProperties: {
      Frame* frame = FrameAt(document, static_cast<int>(High(record->param)));
      if (!frame) return false;
      bool image = kind == undo::EditTransparency || Low(record->param) == 1;
      record->frames = image ? CopyFrame(frame) : CopyAttributes(frame);
      return record->frames != nullptr;
    }
    case undo::EditPixels:
    case undo::CoEditFrame:
    case undo::DropTrueColour: {
      Frame* frame = FrameAt(document, static_cast<int>(record->param));
      if (!frame) return false;
      record->frames = CopyFrame(frame);
      return record->frames != nullptr;
    }
    case undo::EditPalette: {
      const Palette* palette = EditedPalette(document, record->param);
      if (!palette) return false;
      try {
        record->extra.reserve(1 + palette->entries.size());
        record->extra.push_back(static_cast<uint32_t>(palette->entries.size()));
        for (const PaletteEntry& e : palette->entries) record->extra.push_back(PackEntry(e));
      } catch (const std::bad_alloc&) {
        return false;
      }
      return true;
    }
    case undo::EditDurations:
      try {
        for (const Frame* f = FirstFrame(document); f; f = NextFrame(f)) {
          record->extra.push_back(f->delay);
        }
      } catch (const std::bad_alloc&) {
        return false;
      }
      return true;
    case undo::GlobalFrameProperties:
      if (Low(record->param) == 1) {
        if (!record->documentCopy) record->documentCopy = CopyDocument(document);
      } else {
        record->documentCopy = CopyDocumentAttributes(document);
      }
      return record->documentCopy != nullptr;
    default:
      // Moves, reversal, rotations, no-ops and the true-colour addition keep indexes only.
      return true;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

void UndoRecord::FreeContents() {
  // A long deletion chain is freed in a loop rather than by recursion.
  UndoRecord* r = sameKindNext;
  sameKindNext = nullptr;
  while (r) {
    UndoRecord* next = r->sameKindNext;
    r->sameKindNext = nullptr;
    delete r;
    r = next;
  }
  documentCopy.reset();
  FreeFrameChain(frames);
  frames = nullptr;
  extra = {};
}

UndoRecord::~UndoRecord() { FreeContents(); }

const UndoHistory& History() { return history; }

UndoRecord* RecordUndo(uint32_t kind, Animation& document, AnimationPtr documentCopy, Frame* frame,
                       uint32_t param, std::vector<uint32_t> extra) {
  DropRedoTail();
  bool takesFrames = kind == undo::DeleteFrame || kind == undo::DeleteFrames ||
                     kind == undo::InsertFrames || kind == undo::Paste ||
                     kind == undo::RemoveLocalPalette;
  if (!takesFrames) {
    FreeFrameChain(frame);
    frame = nullptr;
  }
  uint32_t limit = GetPref(PrefUndoLevels);
  if (limit == 0 || !Recordable(kind)) {
    FreeFrameChain(frame);
    Notify();
    return nullptr;
  }
  while (history.count + 1 > limit && history.oldest) DropOldest();
  auto* record = new (std::nothrow) UndoRecord;
  if (!record) {
    FreeFrameChain(frame);
    Notify();
    return nullptr;
  }
  record->kind = kind;
  record->param = param;
  record->documentCopy = std::move(documentCopy);
  record->extra = std::move(extra);
  if (!FillRecord(record, document, frame)) {
    delete record;
    Notify();
    return nullptr;
  }
  LinkAtCursor(record);
  Notify();
  return record;
}

UndoRecord* PrepareUndo(uint32_t kind, Animation& document, uint32_t param) {
  if (GetPref(PrefUndoLevels) == 0) return nullptr;
  auto* record = new (std::nothrow) UndoRecord;
  if (!record) return nullptr;
  record->kind = kind;
  record->param = param;
  record->documentCopy = CopyDocument(document);
  if (!record->documentCopy) {
    delete record;
    return nullptr;
  }
  return record;
}

namespace {

bool SamePalettes(const Animation& a, const Animation& b) {
  const Palette* p = a.globalPalette.get();
  const Palette* q = b.globalPalette.get();
  if (!p || !q) return p == q;
  return p->entries == q->entries;
}

UndoRecord* CommitPrepared(UndoRecord* record, Animation& document) {
  AnimationPtr copy = std::move(record->documentCopy);
  Frame* frames = record->frames;
  record->frames = nullptr;
  uint32_t kind = record->kind, param = record->param;
  delete record;
  return RecordUndo(kind, document, std::move(copy), frames, param);
}

}  // namespace

UndoRecord* CommitInsertUndo(UndoRecord* record, Animation& document) {
  if (!record) return nullptr;
  const Animation* copy = record->documentCopy.get();
  if (copy && SamePalettes(*copy, document) && copy->screenWidth == document.screenWidth &&
      copy->screenHeight == document.screenHeight && document.frameCount >= copy->frameCount) {
    uint32_t added = static_cast<uint32_t>(document.frameCount - copy->frameCount);
    record->param = (added << 16) | Low(record->param);
    record->documentCopy.reset();
  } else {
    record->param = Low(record->param);
  }
  return CommitPrepared(record, document);
}

UndoRecord* CommitPaletteUndo(UndoRecord* record, Animation& document) {
  if (!record) return nullptr;
  Animation* copy = record->documentCopy.get();
  if (copy && SamePalettes(*copy, document)) {
    Frame* frame = UnlinkFrameAt(*copy, static_cast<int>(record->param));
    if (frame) {
      record->frames = frame;
      record->documentCopy.reset();
    }
  }
  return CommitPrepared(record, document);
}

uint32_t Undo(Animation& document) {
  UndoRecord* record = history.cursor;
  if (!record) return 0;
  uint32_t hints = Apply(*record, document, false);
  history.cursor = record->older;
  Notify();
  return hints;
}

uint32_t Redo(Animation& document) {
  UndoRecord* record = history.cursor ? history.cursor->newer : history.oldest;
  if (!record) return 0;
  history.cursor = record;
  uint32_t hints = Apply(*record, document, true);
  Notify();
  return hints;
}

uint32_t UndoAndForget(Animation& document) {
  UndoRecord* record = history.cursor;
  if (!record) return 0;
  uint32_t hints = Apply(*record, document, false);
  Unlink(record);
  delete record;
  Notify();
  return hints;
}

void DiscardRecord(UndoRecord* record) {
  if (!record) return;
  // A record of the list is unlinked first, wherever it stands, so that no link dangles.
  if (InHistory(record)) Unlink(record);
  delete record;
  Notify();
}

void NeutralizeRecord(UndoRecord* record) {
  if (!record || record != history.cursor) return;
  record->FreeContents();
  record->kind = undo::Nop;
  record->param = 0;
  record->screenSize = 0;
  Notify();
}

void ClearHistory() {
  UndoRecord* r = history.oldest;
  while (r) {
    UndoRecord* newer = r->newer;
    delete r;
    r = newer;
  }
  history = UndoHistory{};
  Notify();
}

uint32_t CanUndoKind() { return history.cursor ? history.cursor->kind : 0; }

uint32_t CanRedoKind() {
  UndoRecord* next = history.cursor ? history.cursor->newer : history.oldest;
  return next ? next->kind : 0;
}

int UndoKindNameId(uint32_t kind) { return kind <= undo::MaxKind ? kinds[kind].nameId : 0; }

std::string UndoKindName(uint32_t kind) {
  int id = UndoKindNameId(kind);
  return id ? ResText(id) : std::string();
}

namespace {

std::string WithName(int formatId, const std::string& name) {
  std::string text = ResText(formatId);
  size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, name);
  return text;
}

}  // namespace

UndoMenuState UpdateUndoMenu() {
  UndoMenuState state;
  uint32_t undoKind = CanUndoKind(), redoKind = CanRedoKind();
  state.undoEnabled = undoKind != 0;
  state.undoText = undoKind ? WithName(str::UndoMenuFormat, UndoKindName(undoKind)) : ResText(str::UndoMenuDisabled);
  state.redoEnabled = redoKind != 0;
  state.redoText = redoKind ? WithName(str::RedoMenuFormat, UndoKindName(redoKind)) : ResText(str::RedoMenuDisabled);
  return state;
}

void SetUndoListener(std::function<void()> fn) { listener = std::move(fn); }

void SetUndoApplier(uint32_t kind, UndoApplyFunction apply) {
  if (kind <= undo::MaxKind) overrides[kind] = apply;
}

void SetUndoRotation(RotateFrameFunction rotateFrame, RotateAnimationFunction rotateAnimation) {
  rotateFrameHook = rotateFrame;
  rotateAnimationHook = rotateAnimation;
}

void FailNextUndoCopies(int count) { failCopies = std::max(count, 0); }

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
