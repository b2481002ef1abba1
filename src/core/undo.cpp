// The undo list: the records in order, the retrying copier, recording and applying by kind, and
// the menu texts. The kinds themselves are in the family files (undo_kinds_*.cpp).
#include "core/undo.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>
#include <variant>
#include <vector>

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

uint32_t ApplyNothing(std::monostate&, Animation&, bool) { return refresh::StripOnly; }

// The history's own kind: a record that stays in place but does nothing.
constexpr UndoKindRow kNop =
    KindRow<std::monostate, FillNothing<std::monostate>, ApplyNothing>(UndoKind::Nop, str::UndoNop);

using KindTable = std::array<const UndoKindRow*, kMaxUndoKind + 1>;

const KindTable& Kinds() {
  static const KindTable table = [] {
    KindTable t{};
    t[static_cast<uint32_t>(UndoKind::Nop)] = &kNop;
    for (auto family : {FrameOrderUndoKinds, FrameImageUndoKinds, PaletteUndoKinds,
                        PropertyUndoKinds, DocumentUndoKinds}) {
      for (const UndoKindRow& row : family()) {
        if (static_cast<uint32_t>(row.kind) <= kMaxUndoKind)
          t[static_cast<uint32_t>(row.kind)] = &row;
      }
    }
    return t;
  }();
  return table;
}

const UndoKindRow* RowOf(UndoKind kind) {
  uint32_t number = static_cast<uint32_t>(kind);
  return number <= kMaxUndoKind ? Kinds()[number] : nullptr;
}

// Makes the payload the default of its alternative number index (a command handed in nothing).
template <size_t... I>
void EmplaceDefaultAt(UndoPayload& payload, size_t index, std::index_sequence<I...>) {
  ((index == I ? (void)payload.emplace<I>() : void()), ...);
}
void EmplaceDefault(UndoPayload& payload, size_t index) {
  EmplaceDefaultAt(payload, index, std::make_index_sequence<std::variant_size_v<UndoPayload>>{});
}

uint32_t Apply(UndoRecord& record, Animation& document, bool redo) {
  const UndoKindRow* row = RowOf(record.kind);
  if (!row || record.payload.index() != row->payloadIndex) return 0;
  return row->apply(record.payload, document, redo);
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

template <typename T>
size_t TableBytes(const std::vector<T>& table) {
  return table.size() * sizeof(T);
}

// What a payload holds beyond itself; each payload type says it, so a new one cannot be missed.
size_t HeldBytes(const std::monostate&) { return 0; }
size_t HeldBytes(const undo::FrameMove&) { return 0; }
size_t HeldBytes(const undo::FramesMove& p) { return TableBytes(p.formerIndexes); }
size_t HeldBytes(const undo::RemovedFrames& p) {
  return ChainBytes(p.frames.get()) + TableBytes(p.indexes);
}
size_t HeldBytes(const undo::InsertedFrames& p) {
  return AnimationBytes(p.copy.get()) + ChainBytes(p.frames.get());
}
size_t HeldBytes(const undo::WholeCopy& p) { return AnimationBytes(p.copy.get()); }
size_t HeldBytes(const undo::FrameImage& p) { return ChainBytes(p.frame.get()); }
size_t HeldBytes(const undo::TrueColourPlane&) { return 0; }
size_t HeldBytes(const undo::TransparencyEdit& p) { return ChainBytes(p.frame.get()); }
size_t HeldBytes(const undo::SelectedFrames& p) {
  return ChainBytes(p.frames.get()) + TableBytes(p.indexes);
}
size_t HeldBytes(const undo::TurnedFrame&) { return 0; }
size_t HeldBytes(const undo::TurnedAnimation&) { return 0; }
size_t HeldBytes(const undo::PaletteEntries& p) {
  size_t bytes = TableBytes(p.entries) + TableBytes(p.colours);
  for (const undo::KeptColours& kept : p.colours) bytes += TableBytes(kept.rgb);
  return bytes;
}
size_t HeldBytes(const undo::LocalPaletteRemoval& p) {
  return AnimationBytes(p.copy.get()) + ChainBytes(p.frame.get());
}
size_t HeldBytes(const undo::Delays& p) { return TableBytes(p.delays); }
size_t HeldBytes(const undo::FrameAttributes& p) { return ChainBytes(p.frame.get()); }
size_t HeldBytes(const undo::AllFrameAttributes& p) { return AnimationBytes(p.copy.get()); }
size_t HeldBytes(const undo::AnimationSettings& p) {
  return AnimationBytes(p.header.get()) + TableBytes(p.commentPlaces);
}
size_t HeldBytes(const undo::LaidLayer& p) {
  return ChainBytes(p.frames.get()) + TableBytes(p.indexes) + PaletteBytes(p.globalPalette.get()) +
         AnimationBytes(p.copy.get());
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shared with the families

namespace undo_detail {

AnimationPtr CopyDocument(const Animation& document) {
  return CopyWithRetry([&] { return DuplicateAnimation(document, nullptr); });
}

undo::FrameChain CopyFrame(const Frame* frame) {
  return undo::FrameChain(
      CopyWithRetry([&] { return static_cast<Frame*>(DuplicateBlock(frame, frame->palette)); }));
}

undo::FrameChain CopyAttributes(const Frame* frame) {
  return undo::FrameChain(CopyWithRetry([&] { return NewAttributeCopy(frame); }));
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

void AppendToChain(undo::FrameChain& chain, Frame** last, Frame* frame) {
  frame->next = frame->prev = nullptr;
  if (*last) {
    LinkBlocks(*last, frame);
  } else {
    chain.reset(frame);
  }
  *last = frame;
}

bool FillWholeCopy(undo::WholeCopy& payload, Animation& document) {
  if (!payload.copy) payload.copy = CopyDocument(document);
  return payload.copy != nullptr;
}

DocumentExchange ExchangeDocuments(AnimationPtr& copy, Animation& document) {
  DocumentExchange exchange;
  if (!copy) return exchange;
  exchange.done = true;
  exchange.frameCountChanged = copy->frameCount != document.frameCount;
  exchange.screenSizeChanged =
      copy->screenWidth != document.screenWidth || copy->screenHeight != document.screenHeight;
  SwapAnimations(document, *copy);
  return exchange;
}

}  // namespace undo_detail

// ---------------------------------------------------------------------------------------------

namespace undo {

void FrameChainFree::operator()(Frame* first) const {
  Block* b = first;
  while (b) b = FreeBlock(b);
}

}  // namespace undo

const UndoHistory& History() { return history; }

size_t UndoRecordBytes(const UndoRecord& record) {
  return sizeof(UndoRecord) +
         std::visit([](const auto& payload) { return HeldBytes(payload); }, record.payload);
}

size_t HistoryBytes() {
  size_t bytes = 0;
  for (const UndoRecord* r = history.oldest; r; r = r->newer) bytes += UndoRecordBytes(*r);
  return bytes;
}

UndoRecord* RecordUndo(UndoKind kind, Animation& document, UndoPayload payload) {
  DropRedoTail();
  const UndoKindRow* row = RowOf(kind);
  // A payload of another kind is refused, not applied as if it were this one's.
  bool fits = row && (payload.index() == row->payloadIndex ||
                      std::holds_alternative<std::monostate>(payload));
  const uint32_t limit = undoLimit;
  if (limit == 0 || !fits) {
    Notify();
    return nullptr;
  }
  while (history.count + 1 > limit && history.oldest) DropOldest();
  auto* record = new (std::nothrow) UndoRecord;
  if (!record) {
    Notify();
    return nullptr;
  }
  record->kind = kind;
  record->payload = std::move(payload);
  if (record->payload.index() != row->payloadIndex)
    EmplaceDefault(record->payload, row->payloadIndex);
  if (!row->fill(record->payload, document)) {
    delete record;
    Notify();
    return nullptr;
  }
  LinkAtCursor(record);
  Notify();
  return record;
}

UndoRecord* PrepareUndo(UndoKind kind, Animation& document, int frameIndex) {
  bool insertion = kind == UndoKind::InsertFrames || kind == UndoKind::Paste;
  if (!insertion && kind != UndoKind::RemoveLocalPalette) return nullptr;
  if (undoLimit == 0) return nullptr;
  auto* record = new (std::nothrow) UndoRecord;
  if (!record) return nullptr;
  AnimationPtr copy = CopyDocument(document);
  if (!copy) {
    delete record;
    return nullptr;
  }
  record->kind = kind;
  if (insertion) {
    auto& inserted = record->payload.emplace<undo::InsertedFrames>();
    inserted.first = frameIndex;
    inserted.copy = std::move(copy);
  } else {
    auto& removal = record->payload.emplace<undo::LocalPaletteRemoval>();
    removal.index = frameIndex;
    removal.copy = std::move(copy);
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
  UndoKind kind = record->kind;
  UndoPayload payload = std::move(record->payload);
  delete record;
  return RecordUndo(kind, document, std::move(payload));
}

}  // namespace

UndoRecord* CommitInsertUndo(UndoRecord* record, Animation& document) {
  if (!record) return nullptr;
  auto* inserted = std::get_if<undo::InsertedFrames>(&record->payload);
  if (!inserted) {
    delete record;
    return nullptr;
  }
  const Animation* copy = inserted->copy.get();
  inserted->count = 0;
  if (copy && SamePalettes(*copy, document) && copy->screenWidth == document.screenWidth &&
      copy->screenHeight == document.screenHeight && document.frameCount >= copy->frameCount) {
    inserted->count = document.frameCount - copy->frameCount;
    inserted->copy.reset();
  }
  return CommitPrepared(record, document);
}

UndoRecord* CommitPaletteUndo(UndoRecord* record, Animation& document) {
  if (!record) return nullptr;
  auto* removal = std::get_if<undo::LocalPaletteRemoval>(&record->payload);
  if (!removal) {
    delete record;
    return nullptr;
  }
  Animation* copy = removal->copy.get();
  if (copy && SamePalettes(*copy, document)) {
    if (Frame* frame = UnlinkFrameAt(*copy, removal->index)) {
      removal->frame.reset(frame);
      removal->copy.reset();
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
  record->payload = std::monostate{};
  record->kind = UndoKind::Nop;
  Notify();
}

}  // namespace

UndoStep::UndoStep(Withdrawal how, UndoKind kind, Animation& document, UndoPayload payload)
    : how_(how), record_(RecordUndo(kind, document, std::move(payload))), document_(&document) {}

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

UndoKind CanUndoKind() { return history.cursor ? history.cursor->kind : UndoKind::None; }

UndoKind CanRedoKind() {
  UndoRecord* next = history.cursor ? history.cursor->newer : history.oldest;
  return next ? next->kind : UndoKind::None;
}

int UndoKindNameId(UndoKind kind) {
  const UndoKindRow* row = RowOf(kind);
  return row ? row->nameId : 0;
}

std::string UndoKindName(UndoKind kind) {
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
  UndoKind undoKind = CanUndoKind(), redoKind = CanRedoKind();
  state.undoEnabled = undoKind != UndoKind::None;
  state.undoText = state.undoEnabled ? WithName(str::UndoMenuFormat, UndoKindName(undoKind))
                                     : ResText(str::UndoMenuDisabled);
  state.redoEnabled = redoKind != UndoKind::None;
  state.redoText = state.redoEnabled ? WithName(str::RedoMenuFormat, UndoKindName(redoKind))
                                     : ResText(str::RedoMenuDisabled);
  return state;
}

bool UndoRun::Continues() const {
  return serial_ != 0 && history.cursor && history.cursor->serial == serial_;
}

void FailNextUndoCopies(int count) { failCopies = std::max(count, 0); }

}  // namespace lw
