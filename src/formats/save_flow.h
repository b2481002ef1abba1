// Saving the document: the Save and Save As commands, the save types and their writers, and the
// safe replacement of the target by a file written beside it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/animation.h"
#include "formats/common/format_entry.h"
#include "formats/document_session.h"
#include "formats/gif/gif_format.h"

namespace lw {

// The save type of a name: the format its extension (after the last '.', no regard to case)
// belongs to in the registry, so photo.jpeg is JPEG and image.dib BMP, or the type whose save
// extension it is (swf); 0 for a format that cannot be saved (a movie read through FFmpeg); GIF
// for a name whose extension no format has.
int SaveTypeFromName(std::string_view path);
// The same without the GIF default: -1 when no format has the name's extension.
int SaveTypeOfExtension(std::string_view path);
// The text after the last '.' replaced by extension; when a '/' comes first or there is no '.',
// "." and the extension are appended.
std::string ReplaceExtension(std::string_view name, std::string_view extension);

// Writes the document as type over target through a file written beside it. False on failure
// or cancel; the target is then untouched. A GIF animation save puts the signature comment in
// first (the document keeps it).
bool WriteAsType(const std::string& target, Animation& document, SaveOptions& options, int type,
                 WindowHandle owner);

// Writes every frame, or with 64 in optionBits only the selected ones, as files of the save
// type named after baseName (numbers are the frames' positions in the document). Each file is
// written beside its name and then put in place. Stops at the first failure, its message naming
// the file; the files written before it stay. True when every file was written.
bool WriteIndividualFiles(const std::string& baseName, Animation& document, uint32_t optionBits,
                          int type, const WriteSettings& settings, WindowHandle owner);

// One frame as GIF, BMP, JPEG or PNG, straight to path.
bool WriteSingleImage(const std::string& path, Frame* frame, uint32_t optionBits, int type,
                      const WriteSettings& settings);

// Gives a file written beside target the permissions (and, where allowed, the owner and group)
// of the file it is to replace, or the usual ones for a new file.
void MatchPermissions(const std::string& temp, const std::string& target);

// Puts temp in the place of the file target names (through its links, which stay): one rename
// over it, so that the name holds the old or the new content at every instant; a pipe or a
// character device is written into instead, and a block device or a socket refused. temp is gone
// afterwards. True when target now holds temp's content. Its renames and deletions go through
// FileReplacement() (platform/services.h), which tests replace.
bool ReplaceWithTemp(const std::string& target, const std::string& temp);

// The folder a save into target writes its temporary file in: that of the file target names,
// or the system's for a pipe or a device.
std::string SaveTempFolder(const std::string& target);

// The file a save writes before it replaces its target: ".gifXXXXXX.tmp.gif" in folder for the
// extension gif. It stays locked while it lives, so that a later save can tell the file of a
// run that was killed from one still being written, and is deleted with it unless it was
// renamed away.
class SaveTempFile {
 public:
  SaveTempFile(const std::string& folder, const std::string& extension);
  ~SaveTempFile();
  SaveTempFile(const SaveTempFile&) = delete;
  SaveTempFile& operator=(const SaveTempFile&) = delete;

  bool Ok() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Locks the file now under the name, for writers that put a new file there.
  void Relock();

 private:
  int fd_ = -1;
  std::string path_;
};

// Deletes from folder the temporary files of saves that were killed before their end: only the
// names SaveTempFile makes (and the empty reserved files of the program's older versions), and
// none that a running save still holds.
void RemoveStaleSaveFiles(const std::string& folder);

// ---- The Save As dialog's decisions ----

// What the dialog is asked to show.
struct SaveAsRequest {
  WindowHandle owner = nullptr;
  const Animation* document = nullptr;
  std::string folder;        // initial folder, with its trailing '/' (may be empty)
  std::string proposedName;  // file name without folder
  int type = savetype::Gif;  // preselected filter
  uint32_t previousBits = 0;
  uint32_t documentTraits = 0;
};

// What the dialog returns: the chosen path and type, and the options its panels set.
struct SaveAsChoice {
  std::string path;
  int type = savetype::Gif;
  SaveOptions options;
};

// The request for a current name (empty: untitled) and a type (-1: the last one used), with
// the folder and the last choice the settings remember.
SaveAsRequest BuildSaveAsRequest(const FlowSettings& settings, WindowHandle owner,
                                 const std::string& currentName, const Animation& document,
                                 int type);

// An entry of the choice box: its string id and the option bit choosing it sets.
struct SaveChoiceEntry {
  int textId;
  uint32_t optionBit;
};
// The entries for a type and the document traits (the box is shown only with two or more).
std::vector<SaveChoiceEntry> SaveChoiceEntries(int type, uint32_t documentTraits);
// The entry preselected from the last option bits.
int PreselectedChoice(const std::vector<SaveChoiceEntry>& entries, uint32_t previousBits);
// Whether a saved file stands for the whole document, so that the document may take its name.
bool SaveCoversDocument(const Animation& document, int type, uint32_t optionBits);

// The Save As dialog (the services' AskSaveAs) and the write. True when a file was written; *chosen
// gets its path, or empty when the save wrote only part of the document.
bool SaveAsDialog(DocumentSession& state, const std::string& currentName, Animation& document,
                  int type, std::string* chosen);

// ---- Commands ----

// Saves under the document's name, or through Save As (GIF) when untitled. On success the
// modified flag is cleared and the undo history emptied. No document: success.
bool SaveCommand(DocumentSession& state);
// " Sauvegarder &sous..." (-1: the last type used) and " Sauvegarder l’animation &GIF sous..." (1).
bool SaveAsCommand(DocumentSession& state, int type);
// Saves under path as type with the given choices, without a dialog (the batch mode's forced
// type and frames choice): frames beyond the screen are cropped first, as for Save. An
// individual-files save without a base name numbers path itself.
bool SaveTypedCommand(DocumentSession& state, const std::string& path, int type,
                      SaveOptions options);

}  // namespace lw
