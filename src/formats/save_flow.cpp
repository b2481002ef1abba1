#include "formats/save_flow.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/compose.h"
#include "core/document_listener.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "formats/common/flow_text.h"
#include "formats/format_registry.h"
#include "formats/gif/gif_format.h"
#include "formats/gif/gif_save.h"
#include "formats/strip_flow.h"
#include "platform/files.h"

namespace lw {
namespace {

bool DoRename(const std::string& from, const std::string& to) {
  return FileReplacement().Rename(from, to);
}
bool DoRemove(const std::string& path) { return FileReplacement().Remove(path); }

// A writer this build does not have: the save fails with the program's write message.
bool NoWriter(const std::string& target) {
  ShowErrorId(str::CannotWriteFile, target.c_str());
  return false;
}

// A block device or a socket is neither replaced nor written into.
bool RefusedTarget(const std::string& target) {
  if (KindOfPath(target) != PathKind::Special) return false;
  ShowErrorId(str::NotARegularFile, target.c_str());
  return true;
}

}  // namespace

// The saved file gets the permissions of the file it replaces, or the usual ones for a new
// file (temporary files are created private).
void MatchPermissions(const std::string& temp, const std::string& target) {
  struct stat st {};
  mode_t mode;
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    // The owner and group stay where the user may give them (the owner only for root); a
    // change of owner clears the set-id bits, so the mode comes after.
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
      [[maybe_unused]] const bool kept =
          ::chown(temp.c_str(), st.st_uid, st.st_gid) == 0 ||
          ::chown(temp.c_str(), static_cast<uid_t>(-1), st.st_gid) == 0;
    }
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::chmod(temp.c_str(), mode);
}

namespace {

// A 24-bit plane (and an alpha plane for a transparent frame) for a writer that takes 24-bit
// data; false when memory is short.
bool AddTemporaryTrueColour(Frame* frame) {
  if (!AddRgbPlane(frame)) return false;
  if (!frame->Transparent()) return true;
  try {
    uint32_t width = frame->DibWidth(), height = frame->DibHeight();
    uint64_t stride = IndexStride(width);
    std::vector<uint8_t> alpha(static_cast<size_t>(stride * height), 0);
    const uint8_t* bits = frame->bits();
    if (!bits) return false;
    for (size_t i = 0; i < alpha.size(); ++i) {
      alpha[i] = bits[i] == frame->transparentIndex ? 0 : 255;
    }
    SetAlphaPlane(frame, std::move(alpha));
    return true;
  } catch (const std::bad_alloc&) {
    FreeRgbPlane(frame);
    return false;
  }
}

bool WriteStillImage(const std::string& target, const std::string& temp, Animation& document,
                     SaveOptions& options, int type) {
  // Individual files never come here: they are written straight to their own names.
  if (options.optionBits & saveopt::Individual) return NoWriter(target);
  if (options.optionBits & saveopt::Strip) {
    AnimationPtr strip =
        BuildStrip(document, options.optionBits, options.settings.timing.defaultDelay);
    if (!strip) return false;
    if (!WriteSingleImage(temp, FirstFrame(*strip), options.optionBits, type, options.settings))
      return NoWriter(target);
    return true;
  }
  Frame* first = FirstFrame(document);
  if (!first) return NoWriter(target);
  if (!WriteSingleImage(temp, first, options.optionBits, type, options.settings))
    return NoWriter(target);
  return true;
}

}  // namespace

int SaveTypeOfExtension(std::string_view path) {
  size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return -1;
  if (const FormatSpec* format = FormatForPath(name)) return format->saveType;
  // Types the program writes but does not read (SWF).
  for (int type = 1; type <= SaveTypeCount(); ++type) {
    if (EqualsNoCase(name.substr(dot + 1), SaveTypeEntry(type).extension)) return type;
  }
  return -1;
}

int SaveTypeFromName(std::string_view path) {
  int type = SaveTypeOfExtension(path);
  return type < 0 ? savetype::Gif : type;
}

std::string ReplaceExtension(std::string_view name, std::string_view extension) {
  size_t dot = name.rfind('.');
  size_t slash = name.rfind('/');
  std::string out;
  if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot)) {
    out = std::string(name);
  } else {
    out = std::string(name.substr(0, dot));
  }
  out += '.';
  out += extension;
  return out;
}

bool WriteSingleImage(const std::string& path, Frame* frame, uint32_t optionBits, int type,
                      const WriteSettings& settings) {
  if (!frame) return false;
  bool temporaryPlanes = false;
  if ((optionBits & saveopt::FromTrueColour) && frame->rgbPlane.empty()) {
    if (!AddTemporaryTrueColour(frame)) return false;
    temporaryPlanes = true;
  }
  const FormatSpec* format = FormatForSaveType(type);
  bool ok = format && format->writeFrame && format->writeFrame(path, frame, optionBits, settings);
  if (temporaryPlanes) FreeRgbPlane(frame);
  return ok;
}

bool ReplaceWithTemp(const std::string& target, const std::string& temp) {
  // Saving to a symbolic link replaces the file it points to; the link stays a link.
  const std::string file = FollowLinks(target);
  switch (KindOfPath(file)) {
    case PathKind::Stream: {
      // A pipe or a device is written into, never replaced by a file.
      const bool copied = CopyIntoStream(temp, file);
      DoRemove(temp);
      if (!copied) ShowErrorId(str::CannotWriteFile, target.c_str());
      return copied;
    }
    case PathKind::Special:
      ShowErrorId(str::NotARegularFile, target.c_str());
      DoRemove(temp);
      return false;
    default: break;
  }
  // The new content is on the disk before the name changes, and one rename puts it over the
  // old file: at every instant the name holds the old or the new content.
  if (!FlushFileToDisk(temp) || !DoRename(temp, file)) {
    ShowErrorId(str::CannotWriteFile, target.c_str());
    DoRemove(temp);
    return false;
  }
  return true;
}

std::string SaveTempFolder(const std::string& target) {
  const std::string file = FollowLinks(target);
  return KindOfPath(file) == PathKind::Stream ? SystemTempFolder() : DirectoryPart(file);
}

SaveTempFile::SaveTempFile(const std::string& folder, const std::string& extension) {
  // The name keeps the extension at its end: some writers choose their container by it.
  fd_ = OpenTempFile(folder, "." + extension, &path_, ".tmp." + extension);
  if (fd_ >= 0 && !LockOpenFile(fd_)) {
    ::close(fd_);
    DeleteFile(path_);
    fd_ = -1;
  }
  if (fd_ < 0) path_.clear();
}

void SaveTempFile::Relock() {
  if (fd_ < 0) return;
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return;
  if (!LockOpenFile(fd)) {
    ::close(fd);
    return;
  }
  ::close(fd_);
  fd_ = fd;
}

SaveTempFile::~SaveTempFile() {
  if (fd_ < 0) return;
  // Deleted while still locked, so that no cleanup of another save sees it unlocked first. A
  // file that replaced its target is no longer under this name.
  if (FileExists(path_)) DeleteFile(path_);
  ::close(fd_);
}

namespace {

const char* StageSuffix(int type) {
  const FormatSpec* format = FormatForSaveType(type);
  return format ? format->stageSuffix : nullptr;
}

bool IsTempRandomPart(std::string_view text) {
  if (text.size() != 6) return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

void RemoveStaleSaveFiles(const std::string& folder) {
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, ".*", &entries)) return;
  const std::string prefix = folder.empty() ? std::string() : WithTrailingSlash(folder);
  for (const FolderEntry& e : entries) {
    if (e.isFolder) continue;
    std::string_view name = e.name;
    for (int type = 1; type <= SaveTypeCount(); ++type) {
      const std::string extension = SaveTypeEntry(type).extension;
      const std::string tail = ".tmp." + extension;
      if (name.size() < 1 + extension.size() + 6 || name[0] != '.' ||
          name.compare(1, extension.size(), extension) != 0 ||
          !IsTempRandomPart(name.substr(1 + extension.size(), 6)))
        continue;
      std::string_view rest = name.substr(1 + extension.size() + 6);
      const std::string path = prefix + e.name;
      bool stale = false;
      if (rest.empty()) {
        // The empty file older versions reserved their name with.
        stale = RegularFileSize(path) == 0 && OwnFileUnlocked(path);
      } else if (rest == tail) {
        stale = OwnFileUnlocked(path);
      } else if (const char* stage = StageSuffix(type); stage && rest == tail + stage) {
        // A writer's first stage, named after the save's own file: stale when that is.
        const std::string owner = path.substr(0, path.size() - 5);
        stale = OwnFileUnlocked(path) && (!FileExists(owner) || OwnFileUnlocked(owner));
      }
      if (stale) DeleteFile(path);
      break;
    }
  }
}

bool WriteAsType(const std::string& target, Animation& document, SaveOptions& options, int type,
                 WindowHandle owner) {
  const FormatSpec* format = FormatForSaveType(type);
  if (!format) {
    // A name whose format is read but never written (a movie): no other type's bytes go
    // under it.
    if (type == 0 && SaveTypeOfExtension(target) == 0) {
      std::string name = BaseName(target);
      ShowErrorId(str::CannotSaveExtension, name.substr(name.rfind('.') + 1).c_str());
    }
    return false;
  }
  const std::string extension = format->save.extension;
  options.document = &document;
  if (format->writesTrueColour) options.optionBits |= saveopt::FromTrueColour;
  bool wholeDocument = options.optionBits & (saveopt::Plain | saveopt::AnimationChosen);
  // One file per frame: each is written beside its own name and put in place there.
  if ((options.optionBits & saveopt::Individual) && !wholeDocument && format->writeFrame) {
    if (format->writeDocument) options.optionBits |= saveopt::StillImage;
    std::string base = options.baseName.empty() ? target : options.baseName;
    if (!options.baseName.empty() && base[0] != '/') base = DirectoryPart(target) + base;
    RemoveStaleSaveFiles(DirectoryPart(base));
    return WriteIndividualFiles(base, document, options.optionBits, type, options.settings, owner);
  }
  if (RefusedTarget(target)) return false;
  // The temporary file lives beside the file the target names, so that the final rename never
  // crosses file systems.
  const std::string folder = SaveTempFolder(target);
  RemoveStaleSaveFiles(folder);
  SaveTempFile reserved(folder, extension);
  if (!reserved.Ok()) {
    ShowErrorId(str::CannotSaveTemporary, target.c_str());
    return false;
  }
  const std::string& temp = reserved.Path();
  // A format with both writers writes the document unless a still-image choice was made; one
  // with only a frame writer always writes still images.
  bool written = false;
  if (format->writeDocument && (wholeDocument || !format->writeFrame)) {
    written = format->writeDocument(temp, target, document, options, owner);
  } else if (format->writeFrame) {
    if (format->writeDocument) options.optionBits |= saveopt::StillImage;
    written = WriteStillImage(target, temp, document, options, type);
  } else {
    written = NoWriter(target);
  }
  if (!written) return false;
  reserved.Relock();
  MatchPermissions(temp, FollowLinks(target));
  return ReplaceWithTemp(target, temp);
}

// ---- One file per frame ----

namespace {

// One frame written beside name, then put in its place; false with the message shown.
bool WriteFrameFile(const std::string& name, Frame* frame, uint32_t optionBits, int type,
                    const WriteSettings& settings, const std::string& extension) {
  SaveTempFile reserved(SaveTempFolder(name), extension);
  if (!reserved.Ok()) {
    ShowErrorId(str::CannotSaveTemporary, name.c_str());
    return false;
  }
  const std::string& temp = reserved.Path();
  bool done = WriteSingleImage(temp, frame, optionBits, type, settings);
  if (!done) {
    ShowErrorId(str::CannotWriteFile, name.c_str());
  } else {
    MatchPermissions(temp, FollowLinks(name));
    done = ReplaceWithTemp(name, temp);
  }
  return done;
}

}  // namespace

bool WriteIndividualFiles(const std::string& baseName, Animation& document, uint32_t optionBits,
                          int type, const WriteSettings& settings, WindowHandle owner) {
  std::vector<std::string> names;
  try {
    names = IndividualFileNames(baseName, document, optionBits, type);
  } catch (const std::bad_alloc&) {
  }
  if (names.empty()) {
    ShowErrorId(str::CannotWriteFile, baseName.c_str());
    return false;
  }
  const std::string extension = FormatForSaveType(type)->save.extension;
  const bool selectedOnly = optionBits & stripopt::SelectedOnly;
  ProgressMeterPtr meter(CreateProgressMeter(owner, progress::OwnPopup, 0));
  ProgressSetText(meter.get(), TableText(str::SavingFrames));
  ProgressSetRange(meter.get(), static_cast<uint32_t>(names.size()));
  size_t next = 0;
  for (Frame* f = FirstFrame(document); f && next < names.size(); f = NextFrame(f)) {
    if (selectedOnly && !f->selected) continue;
    if (!WriteFrameFile(names[next++], f, optionBits, type, settings, extension)) return false;
    // Esc stops between two files; those written stay.
    if (!ProgressStep(meter.get())) return false;
  }
  return true;
}

// ---- The Save As dialog ----

SaveAsRequest BuildSaveAsRequest(const FlowSettings& settings, WindowHandle owner,
                                 const std::string& currentName, const Animation& document,
                                 int type) {
  SaveAsRequest request;
  request.owner = owner;
  request.document = &document;
  request.previousBits = settings.saveAsBits;
  request.documentTraits = DocumentTraits(document);
  bool lastUsed = type < 1 || type > SaveTypeCount();
  if (lastUsed) {
    type = settings.saveAsType;
    if (type < 1 || type > SaveTypeCount()) type = savetype::Gif;
  }
  request.type = type;
  const std::string extension = SaveTypeEntry(type).extension;
  if (!currentName.empty()) {
    request.folder = DirectoryPart(currentName);
    std::string name = BaseName(currentName);
    // Any extension of the type stays: photo.jpeg is proposed as it is for JPEG.
    if (SaveTypeOfExtension(name) != type) name = ReplaceExtension(name, extension);
    request.proposedName = name;
  } else {
    request.folder = settings.fileFolder;
    request.proposedName = FormatResText(str::UntitledWithExtension, extension);
  }
  return request;
}

std::vector<SaveChoiceEntry> SaveChoiceEntries(int type, uint32_t documentTraits) {
  std::vector<SaveChoiceEntry> entries;
  uint32_t traits = SaveTypeTraits(type);
  if (!(traits & savetrait::ChoiceBox)) return entries;
  bool several = documentTraits & doctrait::SeveralFrames;
  const FormatSpec* format = FormatForSaveType(type);
  if ((traits & savetrait::Animation) && several)
    entries.push_back({format && format->animationChoiceText ? format->animationChoiceText
                                                             : int{str::AnimationOption},
                       saveopt::AnimationChosen});
  if (traits & savetrait::Individual)
    entries.push_back({str::IndividualImagesOption, saveopt::Individual});
  if ((traits & savetrait::Strip) && several) entries.push_back({str::StripOption, saveopt::Strip});
  return entries;
}

int PreselectedChoice(const std::vector<SaveChoiceEntry>& entries, uint32_t previousBits) {
  int n = static_cast<int>(entries.size());
  if (n == 0) return -1;
  if ((previousBits & saveopt::Individual) && n >= 2) return n - 2;
  if (previousBits & saveopt::Strip) return n - 1;
  return 0;
}

bool SaveCoversDocument(const Animation& document, int type, uint32_t optionBits) {
  if (document.frameCount <= 1) return true;
  // A type that offers the animation covers the document only when it was chosen; one that
  // offers only still images never does.
  uint32_t traits = SaveTypeTraits(type);
  if (traits & savetrait::Animation) return (optionBits & saveopt::AnimationChosen) != 0;
  return !(traits & savetrait::Individual);
}

bool SaveAsDialog(DocumentSession& state, const std::string& currentName, Animation& document,
                  int type, std::string* chosen) {
  chosen->clear();
  SaveAsChoice choice;
  try {
    SaveAsRequest request =
        BuildSaveAsRequest(state.Settings(), state.owner, currentName, document, type);
    choice.type = request.type;
    choice.options.previousBits = request.previousBits;
    choice.options.document = &document;
    if (!Dialogs().AskSaveAs(request, &choice)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (choice.path.empty() || choice.type < 1 || choice.type > SaveTypeCount()) return false;
  if ((type < 1 || type > SaveTypeCount()) && state.settings)
    state.settings->KeepSaveAsChoice(choice.type, choice.options.optionBits);
  choice.options.settings = state.Settings().write;
  bool written = WriteAsType(choice.path, document, choice.options, choice.type, state.owner);
  if (written && SaveCoversDocument(document, choice.type, choice.options.optionBits)) {
    *chosen = choice.path;
  }
  if (state.settings) state.settings->KeepFolderOf(choice.path);
  return written;
}

// ---- Commands ----

namespace {

// Frames past the screen are cropped before a save as an edit of its own, with its undo entry:
// a save that then fails or is cancelled leaves a document whose history still matches it.
// The window hears of the change once the save is over (see CropNotice).
bool CropBeforeSave(DocumentSession& state, bool* cropped) {
  *cropped = false;
  Animation& document = *state.document;
  if (!FramesOutsideScreen(document)) return true;
  UndoStep step(UndoStep::Discard, UndoKind::CropAnimation, document);
  if (!ConfirmCropToScreen(state.owner, document, state.Settings().cropSilently)) return false;
  step.Commit();
  *cropped = true;
  state.modified = true;
  return true;
}

// Tells the window about a crop when the save command ends, whatever its result: during the
// save, a refresh would start background work on the document being written.
struct CropNotice {
  DocumentSession& state;
  bool cropped = false;
  ~CropNotice() {
    if (!cropped) return;
    state.NotifyDocument(refresh::Document | refresh::ScreenSize | refresh::Encoding);
    state.NotifyTitle();
  }
};

// Save over a file compressed with losses (a clip, a JPEG picture, a lossy WebP) compresses its
// pictures once more and loses more of them: with a window the user is asked first. Yes: save
// over it; No: Save As; Cancel. A name no writer takes goes straight to Save As.
int AskBeforeResave(const DocumentSession& state) {
  if (!state.owner) return answer::Yes;
  const std::string file = FollowLinks(state.documentPath);
  const int type = SaveTypeFromName(state.documentPath);
  if (type == 0) return answer::No;
  const FormatSpec* format = FormatForSaveType(type);
  const bool lossy = format && format->losesOnResave && format->losesOnResave(file);
  if (!lossy || !FileReadable(file)) return answer::Yes;
  return Services().MessageBox(
      state.owner, FormatResText(str::LossyResaveQuestion, BaseName(state.documentPath)),
      ResText(str::LossyResaveTitle), mb::YesNoCancel | mb::DefButton2 | mb::IconExclamation);
}

}  // namespace

bool SaveCommand(DocumentSession& state) {
  if (!state.document) return true;
  if (!state.documentPath.empty()) {
    const int answer = AskBeforeResave(state);
    if (answer == answer::No) return SaveAsCommand(state, -1);
    if (answer != answer::Yes) return false;
  }
  Animation& document = *state.document;
  CropNotice notice{state};
  if (!CropBeforeSave(state, &notice.cropped)) return false;
  bool untitled = state.documentPath.empty();
  std::string chosen;
  bool saved = false;
  if (!untitled) {
    SaveOptions options;
    options.optionBits = saveopt::Plain;
    options.settings = state.Settings().write;
    saved = WriteAsType(state.documentPath, document, options, SaveTypeFromName(state.documentPath),
                        state.owner);
  } else {
    saved = SaveAsDialog(state, std::string(), document, savetype::Gif, &chosen);
  }
  if (!saved) return false;
  // A file that holds only part of an untitled document does not save the document: it stays
  // modified so that closing still asks.
  if (untitled && chosen.empty()) return true;
  state.modified = false;
  if (untitled) {
    state.documentPath = chosen;
    if (state.settings) state.settings->KeepRecentFile(chosen);
  }
  ClearHistory();
  state.NotifyTitle();
  return true;
}

bool SaveAsCommand(DocumentSession& state, int type) {
  if (!state.document) return false;
  Animation& document = *state.document;
  CropNotice notice{state};
  if (!CropBeforeSave(state, &notice.cropped)) return false;
  std::string chosen;
  if (!SaveAsDialog(state, state.documentPath, document, type, &chosen)) return false;
  if (chosen.empty()) return true;
  state.modified = false;
  state.documentPath = chosen;
  if (state.settings) state.settings->KeepRecentFile(chosen);
  ClearHistory();
  state.NotifyTitle();
  return true;
}

bool SaveTypedCommand(DocumentSession& state, const std::string& path, int type,
                      SaveOptions options) {
  if (!state.document) return false;
  CropNotice notice{state};
  if (!CropBeforeSave(state, &notice.cropped)) return false;
  options.settings = state.Settings().write;
  if (!WriteAsType(path, *state.document, options, type, state.owner)) return false;
  if (SaveCoversDocument(*state.document, type, options.optionBits)) {
    state.modified = false;
    state.documentPath = path;
  }
  ClearHistory();
  state.NotifyTitle();
  return true;
}

}  // namespace lw
