// The undo and redo history of the open document. Each record keeps the cheapest state that can
// restore what a command changed; applying a record exchanges that state with the document's, so
// the same record serves to undo and, applied again, to redo. The history is undo.cpp; what each
// kind keeps and how it is applied is one row of its family's file (undo_kinds_*.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/animation.h"

namespace lw {

// Record kinds; the names are the menu's (string ids in UndoKindName).
namespace undo {
constexpr uint32_t MoveFrame = 1;
constexpr uint32_t DeleteFrame = 2;
constexpr uint32_t InsertFrames = 3;
constexpr uint32_t Optimize = 4;
constexpr uint32_t Unoptimize = 5;
constexpr uint32_t ReducePalette = 6;
constexpr uint32_t MoveCropFrames = 9;
constexpr uint32_t CropAnimation = 10;
constexpr uint32_t RotateFrame = 11;
constexpr uint32_t RotateAllFrames = 12;
constexpr uint32_t EditTransparency = 13;
constexpr uint32_t EditPalette = 15;
constexpr uint32_t RemoveLocalPalette = 16;
constexpr uint32_t ReverseAnimation = 17;
constexpr uint32_t ReduceFrameCount = 19;
constexpr uint32_t ResizeAnimation = 20;
constexpr uint32_t Paste = 21;
constexpr uint32_t Nop = 22;
constexpr uint32_t DeleteFrames = 23;
constexpr uint32_t EditDurations = 24;
constexpr uint32_t MoveFrames = 25;
constexpr uint32_t MergeAnimations = 26;
constexpr uint32_t PingPong = 27;
constexpr uint32_t EditPixels = 28;
constexpr uint32_t CoEditFrame = 29;
constexpr uint32_t DropTrueColour = 30;
constexpr uint32_t FrameProperties = 31;
constexpr uint32_t GlobalFrameProperties = 33;
constexpr uint32_t FixForAvi = 34;
constexpr uint32_t AddTrueColour = 35;
constexpr uint32_t CoEditAnimation = 36;
constexpr uint32_t AnimationProperties = 37;  // loop count, screen size, background index
constexpr uint32_t EditComments = 38;         // the comment blocks
constexpr uint32_t MaxKind = 38;
}  // namespace undo

// Refresh hints returned by Undo and Redo: what the main window redraws.
namespace refresh {
constexpr uint32_t Document = 0x01;
constexpr uint32_t FrameCount = 0x02;  // count or order changed: the selection is recounted
constexpr uint32_t ScreenSize = 0x04;
constexpr uint32_t Encoding = 0x08;  // encoded size and colour count recomputed
constexpr uint32_t Names = 0x10;
constexpr uint32_t OneFrame = 0x20;  // the frame's index in bits 16-31
constexpr uint32_t PropertiesFrame = 0x40;
constexpr uint32_t StripOnly = 0x80;
constexpr uint32_t Preview = 0x200;
constexpr uint32_t ForFrame(uint32_t hints, uint32_t index) { return hints | (index << 16); }
inline uint32_t FrameIndexOf(uint32_t hints) { return hints >> 16; }
}  // namespace refresh

struct UndoRecord {
  uint32_t kind = 0;
  AnimationPtr documentCopy;  // whole copy, or header and frame attributes (kind 33)
  Frame* frames = nullptr;    // owned frame, or chain of frames linked by next (kinds 3, 21)
  uint32_t param = 0;
  uint32_t screenSize = 0;             // width low 16 bits, height high 16 bits (kind 11)
  std::vector<uint32_t> extra;         // frame indexes, palette entries or delays
  UndoRecord* sameKindNext = nullptr;  // owned: the further frames of a multi-frame deletion
  UndoRecord* newer = nullptr;
  UndoRecord* older = nullptr;
  uint64_t serial = 0;  // set when the record enters the history; never reused

  UndoRecord() = default;
  ~UndoRecord();
  UndoRecord(const UndoRecord&) = delete;
  UndoRecord& operator=(const UndoRecord&) = delete;
  // Frees the contents (not the links).
  void FreeContents();
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
// and its tables, with the further records of a multi-frame deletion. Whole-document copies make
// the large ones.
size_t UndoRecordBytes(const UndoRecord& record);
// The bytes of every record of the history.
size_t HistoryBytes();

// Records the state the command is about to change and returns the record, or none (undo
// disabled, or memory short even after dropping every older record). The record takes ownership
// of documentCopy (kinds that are handed the old document: 4, 6 and any copying kind) and of
// frame (kind 2: the removed frame; kind 23: the chain of removed frames, linked by next, each
// with its savedIndex, ascending) whether it succeeds or not. extra is the table of kind 25 (the
// former indexes, ascending).
UndoRecord* RecordUndo(uint32_t kind, Animation& document, AnimationPtr documentCopy, Frame* frame,
                       uint32_t param, std::vector<uint32_t> extra = {});

// A detached record holding a whole copy of the document, for commands whose extent is known only
// afterwards (kinds 3, 16, 21); none when undo is disabled or memory is short.
UndoRecord* PrepareUndo(uint32_t kind, Animation& document, uint32_t param);
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
  UndoStep(Withdrawal how, uint32_t kind, Animation& document, AnimationPtr documentCopy,
           Frame* frame, uint32_t param, std::vector<uint32_t> extra = {});
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

// Kinds of the record that Undo and Redo would apply; 0 when none.
uint32_t CanUndoKind();
uint32_t CanRedoKind();

// The name of a kind as the menu shows it (empty for kinds never recorded), and its string id
// (0 for those).
int UndoKindNameId(uint32_t kind);
std::string UndoKindName(uint32_t kind);

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

// How a record kind is applied: returns the refresh hints.
using UndoApplyFunction = uint32_t (*)(UndoRecord& record, Animation& document, bool redo);

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
