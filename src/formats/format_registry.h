// Every file format the program knows, one FormatSpec each: what the open dialogs list, which
// reader an extension picks, the save types and their writers, and the import commands. The
// flows only ever ask the registry.
//
// A new format: a folder formats/<id>/ whose <id>_format.h declares `FormatSpec <Id>Format()`
// (reader, writers, and the texts and places of its Pending row), and one line in Formats()
// replacing that row. The round trip of tests/formats picks it up; its own edge cases go in
// tests/formats/<id>_test.cpp and its reader's fuzz target in fuzz/<id>_reader_fuzz.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/animation.h"
#include "formats/save_flow.h"
#include "platform/services.h"

namespace lw {

struct ProgressMeter;

// Reads path into *out: 0 failure (message shown, *out none), 1 complete, anything else partial
// (*out holds what was read). ReadAnyFile has checked that the file can be opened.
using FormatReader = int (*)(const std::string& path, WindowHandle owner, AnimationPtr* out,
                             ProgressMeter* meter);
// Writes the whole document to path (a temporary file beside the target). False on failure or
// cancel, its message shown.
// Messages name target, the file the user chose, rather than the temporary path.
using DocumentWriter = bool (*)(const std::string& path, const std::string& target,
                                Animation& document, SaveOptions& options, WindowHandle owner);
// Writes one frame as a still image to path (saveopt bits in optionBits).
using FrameWriter = bool (*)(const std::string& path, Frame* frame, uint32_t optionBits);

struct FormatSpec {
  const char* id = "";  // short name, also the folder's: "gif", "bmp", ...

  // Reading: the extensions (without '.', compared without regard to case) that pick the
  // reader, in the order the "every format" filter lists them. A format listed here without a
  // reader is refused like an unknown one.
  std::vector<std::string> extensions{};
  FormatReader reader = nullptr;
  // Its entry in the open dialogs' list ("Fichiers GIF (*.gif)"); empty label: not listed.
  FileFilter openFilter{};
  int openFilterOrder = 0;  // place in that list

  // Saving: the save type (savetype::, 0: cannot be saved) with its extension, filter and
  // savetrait bits, the writer of a whole document and the writer of one frame.
  int saveType = 0;
  SaveTypeInfo save{"", "", "", 0};
  DocumentWriter writeDocument = nullptr;
  FrameWriter writeFrame = nullptr;
  bool writesTrueColour = false;  // frames go to the writer as 24-bit data
  // The name of a document read from such a file stays when frames are inserted.
  bool keepsNameWhenAnimated = false;

  // The "Importer de" command that opens this format alone (0: none), its filter list, and its
  // place in the menu.
  int importCommand = 0;
  std::vector<FileFilter> importFilter{};
  int importOrder = 0;
  // The import command opens files that other formats read (a strip: a GIF or BMP image).
  bool importOpensOthers = false;

  // The Save As panel this type adds (0: none yet).
  int optionsPanel = 0;
  // The text of the choice box's "Animation" entry for this type (0: that text).
  int animationChoiceText = 0;

  bool CanRead() const { return reader != nullptr; }
  bool CanWrite() const { return writeDocument != nullptr || writeFrame != nullptr; }
};

// Every registered format.
const std::vector<FormatSpec>& Formats();

// The format whose extensions hold the text after the last '.' of path (no regard to case);
// none for any other name.
const FormatSpec* FormatForPath(std::string_view path);
// The reader of a file: FormatForPath, and for a name it does not know, what the content says
// (an MPEG transport stream named .ts is a clip).
const FormatSpec* FormatForFile(const std::string& path);
// The format of a save type; none outside 1..savetype::Count.
const FormatSpec* FormatForSaveType(int type);

// The open dialogs' list: every format's extensions first, then each format, then every file.
std::vector<FileFilter> OpenFilters();
// The Save As dialog's list, in save-type order (entry i is type i + 1).
std::vector<FileFilter> SaveFilters();

// The "Importer de" commands in menu order. available is false while the format's reader is
// not built: the command is shown greyed.
struct ImportCommand {
  int command = 0;
  std::vector<FileFilter> filter;
  bool available = false;
};
std::vector<ImportCommand> ImportCommands();
// The filter list of an import command; empty for any other id.
std::vector<FileFilter> ImportFilter(int command);

}  // namespace lw
