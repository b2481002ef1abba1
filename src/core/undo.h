// The undo and redo history of the open document. Each record keeps the cheapest state that can
// restore what a command changed; applying a record exchanges that state with the document's, so
// the same record serves to undo and, applied again, to redo. The history is undo.cpp; what each
// kind keeps is its payload type (undo_records.h), and how it is filled and applied is one row of
// its family's file (undo_kinds_*.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/animation.h"
#include "core/document_listener.h"
#include "core/undo_records.h"

namespace lw {

// One entry of the history: its kind and what the kind keeps (core/undo_records.h).
struct UndoRecord {
  UndoKind kind = UndoKind::None;
  UndoPayload payload;
  UndoRecord* newer = nullptr;
  UndoRecord* older = nullptr;
  uint64_t serial = 0;  // set when the record enters the history; never reused
};

struct UndoHistory {
  UndoRecord* oldest = nullptr;
  UndoRecord* cursor = nullptr;  // newest applied record; none when everything is undone
  uint32_t count = 0;
  bool warned = false;
};

// The one history of the program.
const UndoHistory& History();

// The bytes a record holds: itself, its copies of documents and frames (pixels, planes, palettes)
// and its tables. Whole-document copies make the large ones.
size_t UndoRecordBytes(const UndoRecord& record);
// The bytes of every record of the history.
size_t HistoryBytes();

// Records the state the command is about to change and returns the record, or none (undo
// disabled, memory short even after dropping every older record, or a payload of another kind).
// The payload is the kind's own type with the fields the command knows, or nothing: the kind's
// fill takes the rest from the document. What it holds (a copy of the old document, frames cut
// out) belongs to the history from then on, recorded or not.
UndoRecord* RecordUndo(UndoKind kind, Animation& document, UndoPayload payload = {});

// A detached record holding a whole copy of the document, for commands whose extent is known only
// afterwards: an insertion or paste before frameIndex (InsertFrames, Paste), or the removal of
// frameIndex's local palette (RemoveLocalPalette). None for other kinds, when undo is disabled or
// memory is short.
UndoRecord* PrepareUndo(UndoKind kind, Animation& document, int frameIndex);
// Shrinks the prepared record of an insertion or paste (index and count instead of a copy when
// the palette and screen size did not change), records it and frees the prepared one.
UndoRecord* CommitInsertUndo(UndoRecord* record, Animation& document);
// Shrinks the prepared record of a local palette removal (the old frame instead of a copy when
// the global palette did not change), records it and frees the prepared one.
UndoRecord* CommitPaletteUndo(UndoRecord* record, Animation& document);

// Apply the record at the cursor backwards / the next one forwards; return the refresh hints
// (0 when there is nothing to apply).
uint32_t Undo(Animation& document);
uint32_t Redo(Animation& document);
// Empties the history (document closed or saved).
void ClearHistory();
// The most records the history keeps (the oldest go first); 0 turns undo off. 20 until set.
void SetUndoLimit(uint32_t records);
uint32_t UndoLimit();

// ---------------------------------------------------------------------------------------------
// A command that can fail after recording holds its entry in an UndoStep: unless the command
// commits it, the step withdraws the entry when it goes, so no failure path leaves a half entry.
class UndoStep {
 public:
  // How an uncommitted entry is withdrawn.
  enum Withdrawal {
    Discard,     // it goes; the document stays (the command changed nothing, or put it back)
    Restore,     // applied backwards, then it goes: the changes made so far come back undone
    Neutralize,  // it keeps its place but does nothing
  };
  // Restore and Neutralize act on the newest entry only: under a later one, a restored entry just
  // goes and a neutralized one stays as it is.

  UndoStep() = default;
  // Records as RecordUndo does; the step may hold no record (undo off, memory short).
  UndoStep(Withdrawal how, UndoKind kind, Animation& document, UndoPayload payload = {});
  // Takes a record already made: one of the history, or a detached one from PrepareUndo.
  UndoStep(Withdrawal how, UndoRecord* record, Animation& document)
      : how_(how), record_(record), document_(&document) {}
  UndoStep(UndoStep&& other) noexcept;
  UndoStep& operator=(UndoStep&& other) noexcept;
  UndoStep(const UndoStep&) = delete;
  UndoStep& operator=(const UndoStep&) = delete;
  ~UndoStep() { Withdraw(); }

  UndoRecord* Record() const { return record_; }
  // Keeps the entry and returns it; a detached one is the caller's again (for CommitInsertUndo
  // or CommitPaletteUndo).
  UndoRecord* Commit();
  // Withdraws the entry now; returns the refresh hints of a restore, else 0.
  uint32_t Withdraw();

 private:
  Withdrawal how_ = Discard;
  UndoRecord* record_ = nullptr;
  Animation* document_ = nullptr;
};

// Kinds of the record that Undo and Redo would apply; UndoKind::None when none.
UndoKind CanUndoKind();
UndoKind CanRedoKind();

// The name of a kind as the menu shows it (empty for kinds never recorded), and its string id
// (0 for those).
int UndoKindNameId(UndoKind kind);
std::string UndoKindName(UndoKind kind);

// Texts and states of the Edit menu's undo (40001) and redo (40120) entries and of the buttons.
// Every change of the history is told to the services (UndoHistoryChanged), so that the window
// can refresh them.
struct UndoMenuState {
  std::string undoText;
  bool undoEnabled = false;
  std::string redoText;
  bool redoEnabled = false;
};
UndoMenuState UpdateUndoMenu();

// Frame-list helpers the records use, for the commands that do the same moves.
// Links frame so that it becomes frame index (0: before the first frame, after any leading
// extension blocks; past the end: after the last block). Does not touch frameCount.
void LinkFrameAt(Animation& animation, Frame* frame, int index);
// Unlinks frame index from the list and returns it (links cleared); none when there is none.
Frame* UnlinkFrameAt(Animation& animation, int index);
// Every frame without a local palette borrows the global one, and its DIB colour table follows.
void LendGlobalPalette(Animation& animation);

// A run of changes typed in one field makes one step: the first change records it and the later
// ones join it while it is still the newest applied step (nothing recorded, undone or cleared
// since).
class UndoRun {
 public:
  bool Continues() const;
  // The step the run's first change recorded (none: the next change records again).
  void Began(const UndoRecord* record) { serial_ = record ? record->serial : 0; }
  void End() { serial_ = 0; }

 private:
  uint64_t serial_ = 0;
};

// For tests: the next count copies a record makes fail as if memory ran short.
void FailNextUndoCopies(int count);

}  // namespace lw
