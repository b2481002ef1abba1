// Files and folders as the program needs them: temporary files created exclusively, safe
// renaming, names split at '/', the wildcard search of the batch mode's input pattern, and the
// program's own installed files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Creates a new empty file "<prefix>XXXXXX" in folder, exclusively and readable by the user
// only; returns its path, empty on failure.
std::string CreateTempFile(const std::string& folder, const std::string& prefix);
// The same, keeping the file open: returns the descriptor (-1 on failure), the path in *path.
// A suffix goes after the random part ("<prefix>XXXXXX<suffix>").
int OpenTempFile(const std::string& folder, const std::string& prefix, std::string* path,
                 const std::string& suffix = std::string());

// Takes the advisory lock of fd's file, held until fd is closed or the process ends (a kill
// included). False when another open file holds it.
bool LockOpenFile(int fd);
// Whether path is a regular file of the user's own (not followed through a link) that no open
// file holds locked as LockOpenFile locks it. False when that cannot be told.
bool OwnFileUnlocked(const std::string& path);
// The size of a regular file not followed through a link; -1 for anything else.
int64_t RegularFileSize(const std::string& path);
// A new folder only the user may enter, under $TMPDIR (else /tmp); empty on failure.
std::string CreatePrivateTempFolder(const std::string& prefix);

// Moves from over to (replacing it). Across file systems the data is copied to a temporary
// file beside the target, which then replaces it, and the source is deleted.
bool RenameFile(const std::string& from, const std::string& to);
// Moves from to a name that must not exist yet; never replaces anything.
bool RenameFileNoReplace(const std::string& from, const std::string& to);
// Writes data to a temporary file beside path, flushes it to disk and renames it over path, so
// that path holds either its old or its new content whatever happens.
bool ReplaceFileContents(const std::string& path, std::string_view data);
// Reads a whole regular file of at most maxSize bytes.
bool ReadWholeFile(const std::string& path, size_t maxSize, std::string* data);

// Flushes the file's data to the disk; false when it cannot be opened or flushed.
bool FlushFileToDisk(const std::string& path);
// The file a path finally names: symbolic links in its last component are followed (relative
// ones from the link's folder), also to a file that does not exist yet. Other paths come back
// as they are, as does a loop of links after 40 steps.
std::string FollowLinks(const std::string& path);

bool DeleteFile(const std::string& path);
// Deletes a folder and everything in it.
bool DeleteFolderTree(const std::string& path);
// Creates the folder and its missing parents (mode 0700 for the new ones).
bool CreateFolders(const std::string& path);

bool FileExists(const std::string& path);
// What a path names once links are followed: nothing, a regular file, a folder, a stream that is
// written into as it is (a named pipe or a character device such as /dev/null), or another
// special file (a block device, a socket).
enum class PathKind { None, Regular, Folder, Stream, Special };
PathKind KindOfPath(const std::string& path);
// Copies the file from into the stream to (opened for writing, never created nor truncated).
bool CopyIntoStream(const std::string& from, const std::string& to);
// The system's folder for temporary files ($TMPDIR, else /tmp), with its trailing '/'.
std::string SystemTempFolder();
bool IsFolder(const std::string& path);
// A regular file that can be opened for reading.
bool FileReadable(const std::string& path);

// The name after the last '/' (the whole path when it has none).
std::string BaseName(std::string_view path);
// The path up to and with its last '/' (empty when it has none).
std::string DirectoryPart(std::string_view path);
// The path followed by '/' unless it already ends with one or is empty.
std::string WithTrailingSlash(std::string_view path);

// Matches a file name against a pattern with * (any run) and ? (one character), without regard
// to the case of ASCII and Latin letters. UTF-8 sequences count as one character.
bool WildcardMatch(std::string_view pattern, std::string_view name);
// Compares names without regard to case as WildcardMatch does: <0, 0, >0.
int CompareNamesNoCase(std::string_view a, std::string_view b);
// Lowercase of a UTF-8 text for ASCII and Latin letters; other bytes unchanged.
std::string FoldCase(std::string_view text);

struct FolderEntry {
  std::string name;
  bool isFolder = false;
};
// The entries of folder whose names match pattern (not "." or ".."), sorted by name without
// regard to case. False when the folder cannot be read.
bool ListFolder(const std::string& folder, std::string_view pattern,
                std::vector<FolderEntry>* entries);

// ---- The program's own files ----

// The running executable; empty when it cannot be told.
std::string GetProgramPath();
// The help page, tutorial or samples as installed beside the program: the path of relative
// ("aide/loopwright.html", "exemples") in the first folder that holds it, looked for in
// $LOOPWRIGHT_SHARE, then <executable's folder>/../share/loopwright, then the source tree's
// share/ for a build run where it stands. Empty when none holds it.
std::string ShareFile(std::string_view relative);

}  // namespace lw
