// Every file format the program knows, one FormatSpec each: what the open dialogs list, which
// reader an extension picks, the save types and their writers, and the import commands. The
// flows only ever ask the registry.
//
// A new format: a folder formats/<id>/ whose <id>_format.h declares `FormatSpec <Id>Format()`
// (reader, writers, texts and places) and its number in `namespace savetype`, and one line in
// Formats(). The round trip of tests/formats picks it up; its own edge cases go in
// tests/formats/<id>_test.cpp and its reader's fuzz target in fuzz/<id>_reader_fuzz.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/animation.h"
#include "formats/common/format_entry.h"
#include "platform/flow_dialogs.h"
#include "platform/services.h"

namespace lw {

// Every registered format.
const std::vector<FormatSpec>& Formats();

// The format whose extensions hold the text after the last '.' of path (no regard to case);
// none for any other name.
const FormatSpec* FormatForPath(std::string_view path);
// The highest save type of the registered formats: the types are 1..SaveTypeCount().
int SaveTypeCount();
// The reader of a file: FormatForPath, and for a name it does not know, what the content says
// (an MPEG transport stream named .ts is a clip).
const FormatSpec* FormatForFile(const std::string& path);
// The format of a save type; none for a type no format has.
const FormatSpec* FormatForSaveType(int type);

// The entry of a save type, from the format registry ("dummy" for anything out of range).
const SaveTypeInfo& SaveTypeEntry(int type);
uint32_t SaveTypeTraits(int type);

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
