// LiveEdit: the current frame, or the whole animation, handed to the user's image editor through
// a file in a private folder; each time the editor saves that file, it comes back into the
// document as one undoable change.
//
// A watcher thread waits on the folder and only says when a complete file is there; the file is
// read and the document changed on the interface thread, when it finds LiveEditWakeFd readable
// and calls TakeLiveEditUpdate. One session at a time, program-wide.
#pragma once

#include <cstdint>
#include <string>

#include "formats/document_session.h"

namespace lw {

// Quiet time after the editor's last write before the file is taken back.
constexpr int LiveEditSettleMs = 500;

bool LiveEditActive();
// The frame edited, -1 for the whole animation (also when no session runs).
int LiveEditFrame();
const std::string& LiveEditFolder();
const std::string& LiveEditFile();

// The save type of the exchange file for a frame (-1: the whole animation) of document when
// editor is the co-editor: PSD for the whole animation and for a 24-bit frame when the editor
// takes layered files, GIF for Fireworks, PNG otherwise.
int LiveEditExchangeType(const Animation& document, int frameIndex, const std::string& editor);

// Starts a session on the frame (-1: the whole animation) with the stored co-editor, which the
// caller has made sure exists. False when no session started (its message shown).
bool StartLiveEdit(DocumentSession& state, int frameIndex);
// Ends the session, if any, and removes its folder.
void EndLiveEdit();

// Readable while something waits for the interface thread (a saved file or a failure).
int LiveEditWakeFd();
// On the interface thread, when LiveEditWakeFd is readable: re-imports a saved file, or ends the
// session with the watcher's failure message. Returns the refresh hints of the change (0: none).
uint32_t TakeLiveEditUpdate(DocumentSession& state);
// Reads the exchange file back into the document under one undo record; the refresh hints, 0
// when nothing changed.
uint32_t ReimportLiveEdit(DocumentSession& state);

// The LiveEdit menu entry: "LiveEdit avec <editor>..." for the chosen editor (a program's path or
// its desktop entry), or the generic text without one.
std::string LiveEditMenuText(const std::string& editor);

// At start-up: removes the LiveEdit folders that a process no longer running left behind.
// Returns how many were removed.
int RemoveStaleLiveEditFolders();

}  // namespace lw
