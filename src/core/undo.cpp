// The undo list: the records in order, the retrying copier, recording and applying by kind, and
// the menu texts. The kinds themselves are in the family files (undo_kinds_*.cpp).
#include "core/undo.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>

#include "base/messages.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/undo_kinds.h"
#include "platform/services.h"

namespace lw {

using namespace undo_detail;

namespace {

UndoHistory history;
uint32_t undoLimit = 20;
uint64_t lastSerial = 0;
int failCopies = 0;

void Notify() { Services().UndoHistoryChanged(); }

// ---------------------------------------------------------------------------------------------
// The kinds, assembled from the families' tables

uint32_t ApplyNothing(UndoRecord&, Animation&, bool) { return refresh::StripOnly; }

// The history's own kind: a record that stays in place but does nothing.
constexpr UndoKindRow kNop = {undo::Nop, str::UndoNop, FillNothing, ApplyNothing, false};

using KindTable = std::array<const UndoKindRow*, undo::MaxKind + 1>;

const KindTable& Kinds() {
  static const KindTable table = [] {
    KindTable t{};
    t[undo::Nop] = &kNop;
    for (auto family : {FrameOrderUndoKinds, FrameImageUndoKinds, PaletteUndoKinds,
                        PropertyUndoKinds, DocumentUndoKinds}) {
      for (const UndoKindRow& row : family()) {
        if (row.kind <= undo::MaxKind) t[row.kind] = &row;
      }
    }
    return t;
  }();
  return table;
}

const UndoKindRow* KindRow(uint32_t kind) {
  return kind <= undo::MaxKind ? Kinds()[kind] : nullptr;
}

uint32_t Apply(UndoRecord& record, Animation& document, bool redo) {
  const UndoKindRow* row = KindRow(record.kind);
  if (!row) return 0;
  return row->apply(record, document, redo);
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
  record->serial = ++lastSerial;
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
  Services().MessageBox(nullptr, ResText(str::UndoMemoryWarning),
                        ResText(str::UndoMemoryWarningTitle),
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

Frame* NewAttributeCopy(const Frame* frame) {
  auto* copy = static_cast<Frame*>(NewBlock(BlockKind::Frame, 0));
  if (!copy) return nullptr;
  CopyFrameAttributes(copy, frame);
  copy->left = frame->left;
  copy->top = frame->top;
  copy->controlFlags = static_cast<uint8_t>((copy->controlFlags & ~1) | (frame->controlFlags & 1));
  return copy;
}

// ---------------------------------------------------------------------------------------------
// What a record holds

size_t PaletteBytes(const Palette* palette) {
  return palette ? sizeof(Palette) + palette->entries.size() * sizeof(PaletteEntry) : 0;
}

size_t BlockBytes(const Block* block) {
  if (block->IsFrame()) {
    const auto* f = static_cast<const Frame*>(block);
    return sizeof(Frame) + f->transparencyMask.size() + f->dib.size() + f->rgbPlane.size() +
           f->alphaPlane.size() + PaletteBytes(f->localPalette.get());
  }
  if (block->kind == BlockKind::ListHead) return sizeof(ListHead);
  return sizeof(ExtensionBlock) + static_cast<const ExtensionBlock*>(block)->data.size();
}

size_t ChainBytes(const Block* block) {
  size_t bytes = 0;
  for (; block; block = block->next) bytes += BlockBytes(block);
  return bytes;
}

size_t AnimationBytes(const Animation* animation) {
  size_t bytes = 0;
  for (; animation; animation = animation->nextInChain.get()) {
    bytes += sizeof(Animation) + PaletteBytes(animation->globalPalette.get()) +
             ChainBytes(animation->blocks);
  }
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shared with the families

namespace undo_detail {

void FreeFrameChain(Frame* frame) {
  Block* b = frame;
  while (b) b = FreeBlock(b);
}

AnimationPtr CopyDocument(const Animation& document) {
  return CopyWithRetry([&] { return DuplicateAnimation(document, nullptr); });
}

Frame* CopyFrame(const Frame* frame) {
  return CopyWithRetry([&] { return static_cast<Frame*>(DuplicateBlock(frame, frame->palette)); });
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

AnimationPtr CopyDocumentSettings(const Animation& document) {
  return CopyWithRetry([&]() -> AnimationPtr {
    AnimationPtr copy = CloneAnimationHeader(document);
    if (!copy) return nullptr;
    Block* last = copy->blocks;
    for (Block* b = document.blocks ? document.blocks->next : nullptr; b; b = b->next) {
      if (b->kind != BlockKind::Comment) continue;
      Block* c = DuplicateBlock(b, nullptr);
      if (!c) return nullptr;
      InsertBlockAfter(last, c);
      last = c;
    }
    return copy;
  });
}

bool FillDocumentCopy(UndoRecord& record, Animation& document, Frame*) {
  if (!record.documentCopy) record.documentCopy = CopyDocument(document);
  return record.documentCopy != nullptr;
}

bool FillNothing(UndoRecord&, Animation&, Frame*) { return true; }

bool FillHandedFrames(UndoRecord& record, Animation&, Frame* handedFrames) {
  record.frames = handedFrames;
  return true;
}

DocumentExchange ExchangeDocuments(UndoRecord& record, Animation& document) {
  DocumentExchange exchange;
  const Animation* copy = record.documentCopy.get();
  if (!copy) return exchange;
  exchange.done = true;
  exchange.frameCountChanged = copy->frameCount != document.frameCount;
  exchange.screenSizeChanged =
      copy->screenWidth != document.screenWidth || copy->screenHeight != document.screenHeight;
  SwapAnimations(document, *record.documentCopy);
  return exchange;
}

}  // namespace undo_detail

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

size_t UndoRecordBytes(const UndoRecord& record) {
  size_t bytes = 0;
  for (const UndoRecord* r = &record; r; r = r->sameKindNext) {
    bytes += sizeof(UndoRecord) + AnimationBytes(r->documentCopy.get()) + ChainBytes(r->frames) +
             r->extra.size() * sizeof(uint32_t);
  }
  return bytes;
}

size_t HistoryBytes() {
  size_t bytes = 0;
  for (const UndoRecord* r = history.oldest; r; r = r->newer) bytes += UndoRecordBytes(*r);
  return bytes;
}

UndoRecord* RecordUndo(uint32_t kind, Animation& document, AnimationPtr documentCopy, Frame* frame,
                       uint32_t param, std::vector<uint32_t> extra) {
  DropRedoTail();
  const UndoKindRow* row = KindRow(kind);
  if (!row || !row->takesFrames) {
    FreeFrameChain(frame);
    frame = nullptr;
  }
  const uint32_t limit = undoLimit;
  if (limit == 0 || !row) {
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
  if (!row->fill(*record, document, frame)) {
    delete record;
    Notify();
    return nullptr;
  }
  LinkAtCursor(record);
  Notify();
  return record;
}

UndoRecord* PrepareUndo(uint32_t kind, Animation& document, uint32_t param) {
  if (undoLimit == 0) return nullptr;
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

namespace {

// Undoes the cursor record and drops it (a cancelled command rolls back).
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

}  // namespace

UndoStep::UndoStep(Withdrawal how, uint32_t kind, Animation& document, AnimationPtr documentCopy,
                   Frame* frame, uint32_t param, std::vector<uint32_t> extra)
    : how_(how),
      record_(RecordUndo(kind, document, std::move(documentCopy), frame, param, std::move(extra))),
      document_(&document) {}

UndoStep::UndoStep(UndoStep&& other) noexcept
    : how_(other.how_),
      record_(std::exchange(other.record_, nullptr)),
      document_(other.document_) {}

UndoStep& UndoStep::operator=(UndoStep&& other) noexcept {
  if (this != &other) {
    Withdraw();
    how_ = other.how_;
    record_ = std::exchange(other.record_, nullptr);
    document_ = other.document_;
  }
  return *this;
}

UndoRecord* UndoStep::Commit() { return std::exchange(record_, nullptr); }

uint32_t UndoStep::Withdraw() {
  UndoRecord* record = std::exchange(record_, nullptr);
  if (!record) return 0;
  switch (how_) {
    case Restore:
      // Only the newest entry can be applied over the document as it stands.
      if (record == history.cursor && document_) return UndoAndForget(*document_);
      break;
    case Neutralize:
      if (InHistory(record)) {
        NeutralizeRecord(record);
        return 0;
      }
      break;
    case Discard: break;
  }
  DiscardRecord(record);
  return 0;
}

void SetUndoLimit(uint32_t records) { undoLimit = records; }
uint32_t UndoLimit() { return undoLimit; }

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

int UndoKindNameId(uint32_t kind) {
  const UndoKindRow* row = KindRow(kind);
  return row ? row->nameId : 0;
}

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
  state.undoText = undoKind ? WithName(str::UndoMenuFormat, UndoKindName(undoKind))
                            : ResText(str::UndoMenuDisabled);
  state.redoEnabled = redoKind != 0;
  state.redoText = redoKind ? WithName(str::RedoMenuFormat, UndoKindName(redoKind))
                            : ResText(str::RedoMenuDisabled);
  return state;
}

bool UndoRun::Continues() const {
  return serial_ != 0 && history.cursor && history.cursor->serial == serial_;
}

void FailNextUndoCopies(int count) { failCopies = std::max(count, 0); }

}  // namespace lw
