// Saving the document: the Save and Save As commands, the save types and their writers, and the
// safe replacement of the target by a file written beside it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/animation.h"
#include "formats/avi/avi_settings.h"
#include "formats/shell_state.h"
#include "formats/webp/webp_settings.h"

namespace lw {

// Save types 1..Count; 0 is never offered.
namespace savetype {
constexpr int Gif = 1;
constexpr int Avi = 2;
constexpr int Swf = 3;
constexpr int Bmp = 4;
constexpr int Jpeg = 5;
constexpr int Psd = 6;
constexpr int Png = 7;
constexpr int Cur = 8;
constexpr int Ico = 9;
constexpr int Ani = 10;
constexpr int Apng = 11;
constexpr int Mp4 = 12;
constexpr int Webm = 13;
constexpr int Webp = 14;
constexpr int Count = 14;
}  // namespace savetype

// Which choices the Save As dialog offers for a type.
namespace savetrait {
constexpr uint32_t Animation = 1;  // only with more than one frame
constexpr uint32_t Individual = 2;
constexpr uint32_t Strip = 4;  // only with more than one frame
constexpr uint32_t ChoiceBox = 16;
constexpr uint32_t ExtraPanel = 32;
}  // namespace savetrait

// Bits computed from the document when the Save As dialog opens.
namespace doctrait {
constexpr uint32_t SeveralFrames = 1;
constexpr uint32_t Selection = 2;
constexpr uint32_t TrueColour = 4;
constexpr uint32_t LocalPalette = 8;
constexpr uint32_t Transparency = 16;
constexpr uint32_t OffScreen = 32;  // some frame does not cover the screen exactly
}  // namespace doctrait

// SaveOptions::optionBits.
namespace saveopt {
constexpr uint32_t Plain = 1;
constexpr uint32_t AnimationChosen = 2;
constexpr uint32_t StillImage = 4;
constexpr uint32_t FromTrueColour = 8;
constexpr uint32_t Strip = 16;
constexpr uint32_t Individual = 32;
}  // namespace saveopt

struct SaveTypeInfo {
  const char* extension;
  const char* label;    // the save dialog's filter label
  const char* pattern;  // its pattern
  uint32_t traits;      // savetrait bits (SaveTypeTraits)
};

// The entry of a save type, from the format registry ("dummy" for anything out of range).
const SaveTypeInfo& SaveTypeEntry(int type);
uint32_t SaveTypeTraits(int type);
uint32_t DocumentTraits(const Animation& animation);

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

// What travels from the save dialogs to the writers. The AVI, strip and individual-file settings
// join it with their writers.
struct SaveOptions {
  uint32_t optionBits = saveopt::Plain;
  uint32_t previousBits = 0;  // bits of the last Save As, to preselect the choice box
  Animation* document = nullptr;
  // The base name of an individual-files save (the dialog's file name, '#' for the number): a
  // relative name is taken in the target's folder; empty: the target's name.
  std::string baseName;
  // The hot spot chosen for a cursor; it becomes the first frame's (-1: the frame's stays).
  int32_t hotspotX = -1;
  int32_t hotspotY = -1;
  AviSettings avi;
  // The CRF of an MP4 or WebM clip chosen in the Save As panel; -1: the stored one.
  int videoCrf = -1;
  WebpSettings webp;
};

// Writes the document as type over target through a file written beside it. False on failure
// or cancel; the target is then untouched. A GIF animation save puts the signature comment in
// first (the document keeps it).
bool WriteAsType(const std::string& target, Animation& document, SaveOptions& options, int type,
                 WindowHandle owner);

// One frame as GIF, BMP, JPEG or PNG, straight to path.
bool WriteSingleImage(const std::string& path, Frame* frame, uint32_t optionBits, int type);

// Gives a file written beside target the permissions (and, where allowed, the owner and group)
// of the file it is to replace, or the usual ones for a new file.
void MatchPermissions(const std::string& temp, const std::string& target);

// Takes out every comment the program wrote as its signature and puts the current signature (if
// any) in as the first block. False when memory ran short for it (the save goes on without).
bool ReplaceSignatureComment(Animation& document);

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

// The request for a current name (empty: untitled) and a type (-1: the last one used).
SaveAsRequest BuildSaveAsRequest(WindowHandle owner, const std::string& currentName,
                                 const Animation& document, int type);

// An entry of the choice box: its string id and the option bit choosing it sets.
struct SaveChoiceEntry {
  int textId;
  uint32_t optionBit;
};
// The entries for a type and the document traits (the box is shown only with two or more).
std::vector<SaveChoiceEntry> SaveChoiceEntries(int type, uint32_t documentTraits);
// The entry preselected from the last option bits.
int PreselectedChoice(const std::vector<SaveChoiceEntry>& entries, uint32_t previousBits);
// For AVI: the options panel can be shown (no local palette, transparency or off-screen frame);
// otherwise the "Fix for AVI" panel.
bool AviPanelAllowed(uint32_t documentTraits);

// Whether a saved file stands for the whole document, so that the document may take its name.
bool SaveCoversDocument(const Animation& document, int type, uint32_t optionBits);

// The Save As dialog (the services' AskSaveAs) and the write. True when a file was written; *chosen
// gets its path, or empty when the save wrote only part of the document.
bool SaveAsDialog(ShellState& state, const std::string& currentName, Animation& document, int type,
                  std::string* chosen);

// ---- Commands ----

// Saves under the document's name, or through Save As (GIF) when untitled. On success the
// modified flag is cleared and the undo history emptied. No document: success.
bool SaveCommand(ShellState& state);
// " Sauvegarder &sous..." (-1: the last type used) and " Sauvegarder l’animation &GIF sous..." (1).
bool SaveAsCommand(ShellState& state, int type);
// Saves under path as type with the given choices, without a dialog (the batch mode's forced
// type and frames choice): frames beyond the screen are cropped first, as for Save. An
// individual-files save without a base name numbers path itself.
bool SaveTypedCommand(ShellState& state, const std::string& path, int type, SaveOptions options);

}  // namespace lw
