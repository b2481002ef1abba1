// The road from files to the open document: choosing the reader from a file name, reading one or
// many files into a chain of animations, handing the chain to the document (as a new document or
// inserted at the insertion point), dropped files, closing and reverting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/animation.h"
#include "formats/common/format_entry.h"
#include "formats/document_session.h"
#include "platform/flow_dialogs.h"

namespace lw {

struct ProgressMeter;

// Reads one file with the reader its name (or content) picks (FormatForFile) into *out and
// finishes it (frame names, automatic transparency, colour usage, the single transparent frame's
// disposal).
// Returns the reader's status; on 0 *out is none.
int ReadAnyFile(const std::string& path, const ReadOptions& options, WindowHandle owner,
                AnimationPtr* out, ProgressMeter* meter);

// Appends an animation at the end of a chain (nextInChain).
void AppendToChain(AnimationPtr* chain, AnimationPtr animation);

// Hands a chain to the document: inserted at the current frame when a document is open, else it
// becomes the document (named after path only when exactly one file was read and a path is
// given). False when it could not: the chain is freed and the document is as it was.
// paletteWord: how the palettes are fitted (0: the stored choice, see FitPalettes).
bool FinishLoad(DocumentSession& state, AnimationPtr chain, const std::string& path, int filesRead,
                ProgressMeter* meter, WindowHandle owner, uint32_t paletteWord = 0);

// Splices the chain into the document before frame position (-1 or past the end: after the last
// frame), with the screen-size rule and palette fitting. False (the document as it was, the
// chain freed) when the user cancelled a question or a step failed.
bool InsertAnimations(const FlowSettings& settings, WindowHandle owner, Animation& document,
                      AnimationPtr chain, int position, ProgressMeter* meter,
                      uint32_t paletteWord = 0);

// True when a document with this name keeps it once it holds several frames: names ending in
// gif, avi, ani, ico or psd (a still image's name is never kept for an animation).
bool NameSurvivesInsert(std::string_view path);

// Reads the files (sorted by name without regard to case), asking after each failure but the
// last whether to go on, and hands what was read to FinishLoad; the frames of a partial read
// are kept and leave the document untitled. forInsert keeps the name off
// the document. Returns the number of files handed on (0 when nothing was).
// *cancelled (when given) tells whether nothing was read because the user cancelled a reader's
// own dialog or pressed Esc.
int ReadFiles(DocumentSession& state, std::vector<std::string> paths, bool forInsert,
              bool* cancelled = nullptr);

// The multiple-selection open dialog (the services' ChooseFiles) and ReadFiles.
int ChooseAndReadFiles(DocumentSession& state, int titleId, const std::vector<FileFilter>& filter,
                       bool forInsert);

// Reads one named file and hands it on; a partial read leaves the document untitled. *cancelled
// (when given) tells whether a failure was the user cancelling the reader's own dialog.
bool OpenOneFile(DocumentSession& state, const std::string& path, bool* cancelled = nullptr);

// The Open command and the import commands: asks to save a modified document (false when the
// user cancelled), then opens path, or the files chosen in the open dialog when path is empty.
// The document is replaced once the files are read; when the user cancels the read itself (a
// clip's import dialog) it stays as it was, otherwise a read that gives nothing closes it.
// True when a document was opened.
bool OpenCommand(DocumentSession& state, const std::string& path,
                 const std::vector<FileFilter>& filter = {});

// A recent-file entry: the Open command on path; a name that fails is taken off the list (through
// the state's settings source).
bool OpenRecentFile(DocumentSession& state, const std::string& path);

// The insert command: the chosen files go in before the current frame (at the end when none),
// with one undo record. alternateTitle: the title "Insérer le(s) cadre(s) ou ouvrir
// l'animation". Returns the number of files inserted.
int InsertCommand(DocumentSession& state, bool alternateTitle);

// Files dropped on the frame strip over frame frameUnderDrop (-1: none). One file dropped with no
// document open counts as an open. Returns the number of files handed on.
int DropFiles(DocumentSession& state, const std::vector<std::string>& paths, int frameUnderDrop);

// Asks to save a modified document (Yes runs SaveCommand; its failure counts as Cancel), then
// frees it. 0 when the user cancelled, 1 when no document is open any more.
int CloseDocument(DocumentSession& state);
// The question alone: false when the user cancelled it (or the save it asked for failed).
bool AskToSaveBeforeClosing(DocumentSession& state);

// When the document is modified and named: asks, then reads its file again; the read document
// replaces it only when the whole file was read (otherwise the reader's message is shown and the
// document stays as it is). True when it was reopened.
bool RevertToSaved(DocumentSession& state);

// The open dialogs' filter list of every format (the import commands' lists: ImportFilter of
// formats/format_registry.h).
std::vector<FileFilter> AllFormatsFilter();

}  // namespace lw
