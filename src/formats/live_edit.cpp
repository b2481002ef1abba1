#include "formats/live_edit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <thread>

#include "base/messages.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/palette_fit.h"
#include "core/document_listener.h"
#include "core/undo.h"
#include "formats/format_registry.h"
#include "formats/gif/gif_format.h"
#include "formats/open_flow.h"
#include "formats/png/png_entry.h"
#include "formats/psd/psd_format.h"
#include "formats/save_flow.h"
#include "platform/desktop_entries.h"
#include "platform/files.h"
#include "platform/folder_watch.h"
#include "platform/process.h"

namespace lw {
namespace {

constexpr const char* kFolderPrefix = "loopwright-liveedit-";

// What identifies one version of the exchange file: a save changes at least one of them.
struct FileStamp {
  int64_t inode = -1, size = -1, seconds = 0, nanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {static_cast<int64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<int64_t>(st.st_mtim.tv_nsec)};
}

// The watcher thread and the interface thread share only the atomics; the rest is set before
// the thread starts and read after it has been joined.
struct Session {
  std::atomic<bool> active{false};
  int frame = -1;
  std::string folder;
  std::string file;
  std::string fileName;
  std::unique_ptr<FolderWatch> watch;
  std::thread watcher;
  std::atomic<uint32_t> saved{0};    // complete saves seen by the watcher
  uint32_t taken = 0;                // saves re-imported by the interface thread
  std::atomic<bool> writing{false};  // the editor is writing the file right now
  std::atomic<int> failure{0};       // message id of a watcher failure

  ~Session();
};

void ForgetSession(Session& s);

// A program that ends without ending its session still stops the watcher and cleans up.
Session::~Session() { ForgetSession(*this); }

Session& TheSession() {
  static Session session;
  return session;
}

// The pipe that wakes the interface thread; made once, kept for the program's life.
int wakePipe[2] = {-1, -1};

bool EnsureWakePipe() {
  if (wakePipe[0] >= 0) return true;
  return ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) == 0;
}

void Wake() {
  char byte = 1;
  if (wakePipe[1] >= 0) {
    [[maybe_unused]] ssize_t n = ::write(wakePipe[1], &byte, 1);
  }
}

void DrainWake() {
  char buffer[64];
  while (wakePipe[0] >= 0 && ::read(wakePipe[0], buffer, sizeof buffer) > 0) {
  }
}

// Waits for changes of the exchange file; a save counts once the file has been closed or renamed
// into place and nothing touched it for the settling time. Editors write in place, write a
// temporary file and rename it, or delete and create: each ends with one such moment.
void WatchFolder(Session* s, FileStamp stamp) {
  bool finished = false;  // a complete version waits for the quiet time to pass
  auto quietSince = std::chrono::steady_clock::now();
  std::vector<FolderEvent> events;
  while (s->active.load()) {
    int timeout = 2000;
    if (finished) {
      auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - quietSince);
      timeout = std::max<int>(0, LiveEditSettleMs - static_cast<int>(waited.count()));
    }
    events.clear();
    int result = s->watch->Wait(timeout, &events);
    if (result == -2) break;
    if (result < 0) {
      if (s->active.load()) {
        s->failure.store(str::LiveEditUpdateFailed);
        Wake();
      }
      break;
    }
    for (const FolderEvent& e : events) {
      if (!e.name.empty() && e.name != s->fileName) continue;
      finished = e.done;
      s->writing.store(!e.done);
      quietSince = std::chrono::steady_clock::now();
    }
    // Other files (an editor's temporary copy) do not delay the quiet time.
    if (!finished) continue;
    auto waited = std::chrono::steady_clock::now() - quietSince;
    if (waited < std::chrono::milliseconds(LiveEditSettleMs)) continue;
    finished = false;
    // An editor that opens the file for writing and closes it unchanged has not saved.
    FileStamp now = StampOf(s->file);
    if (now.size < 0 || now == stamp) continue;
    stamp = now;
    s->saved.fetch_add(1);
    Wake();
  }
}

// The temporary animation of one frame: the document's header and global palette.
AnimationPtr OneFrameAnimation(const Animation& document, const Frame* frame) {
  AnimationPtr one = CloneAnimationHeader(document);
  if (!one) return nullptr;
  if (document.globalPalette) {
    SetGlobalPalette(*one, CopyPalette(document.globalPalette.get()));
    if (!one->globalPalette) return nullptr;
  }
  Block* copy = DuplicateBlock(frame, one->globalPalette.get());
  if (!copy) return nullptr;
  InsertBlockAfter(one->blocks, copy);
  one->frameCount = 1;
  return one;
}

bool WriteExchangeFile(DocumentSession& state, int frameIndex, int type, const std::string& path) {
  Animation& document = *state.document;
  SaveOptions options;
  options.settings = state.Settings().write;
  if (frameIndex < 0) return WriteAsType(path, document, options, type, state.owner);
  AnimationPtr one = OneFrameAnimation(document, FrameAt(document, frameIndex));
  if (!one) return false;
  if (type == savetype::Psd) return WriteAsType(path, *one, options, type, state.owner);
  Frame* frame = FirstFrame(*one);
  frame->left = frame->top = 0;
  uint32_t bits = saveopt::Plain | (frame->rgbPlane.empty() ? 0 : saveopt::FromTrueColour);
  if (WriteSingleImage(path, frame, bits, type, options.settings)) return true;
  ShowErrorId(str::CannotWriteFile, path.c_str());
  return false;
}

void ForgetSession(Session& s) {
  s.active.store(false);
  if (s.watch) s.watch->Interrupt();
  if (s.watcher.joinable()) s.watcher.join();
  s.watch.reset();
  if (!s.file.empty()) DeleteFile(s.file);
  if (!s.folder.empty()) DeleteFolderTree(s.folder);
  s.frame = -1;
  s.folder.clear();
  s.file.clear();
  s.fileName.clear();
  s.failure.store(0);
  s.writing.store(false);
  s.taken = s.saved.load();
}

uint32_t ReimportFrame(DocumentSession& state, Animation& read, int index) {
  Animation& document = *state.document;
  Frame* old = FrameAt(document, index);
  Frame* edited = FirstFrame(read);
  if (!old || !edited) return 0;
  // A frame on the global palette stays on it, unchanged, so that its undo record (the frame
  // alone) restores everything; a frame with its own palette gets one from what was read.
  const PaletteFitOptions fit = state.Settings().paletteFit;
  uint32_t word = fit.storedWord & ~merge::Ask;
  bool onGlobal = !old->localPalette && document.globalPalette;
  if (onGlobal) word = (word & ~merge::MethodMask) | merge::MapGlobal;
  if (FitPalettes(onGlobal ? &document : nullptr, &read, word, fit, state.owner, nullptr) != 1)
    return 0;
  edited = FirstFrame(read);
  if (!edited) return 0;
  if (!onGlobal && !edited->localPalette && read.globalPalette) {
    SetLocalPalette(edited, CopyPalette(read.globalPalette.get()));
    if (!edited->localPalette) return 0;
    UpdateDibColourTable(edited);
  }
  RecordUndo(UndoKind::CoEditFrame, document, undo::FrameImage(index));
  // The frame keeps its place, delay, disposal, selection and name: only the image is new.
  SetDisposal(edited, old->Disposal());
  edited->left = old->left;
  edited->top = old->top;
  bool resized = edited->width != old->width || edited->height != old->height;
  SwapFrameImagesAndGeometry(old, edited);
  LendGlobalPalette(document);
  document.encodedSizeCache = -1;
  uint32_t hints = refresh::OneFrame | refresh::Encoding | refresh::PropertiesFrame;
  if (resized) hints |= refresh::Document;
  return refresh::ForFrame(hints, static_cast<uint32_t>(index));
}

uint32_t ReimportAnimation(DocumentSession& state, AnimationPtr read) {
  Animation& document = *state.document;
  const PaletteFitOptions fit = state.Settings().paletteFit;
  uint32_t word = fit.storedWord & ~merge::Ask;
  if (FitPalettes(nullptr, read.get(), word, fit, state.owner, nullptr) != 1) return 0;
  for (Frame *from = FirstFrame(document), *to = FirstFrame(*read); from && to;
       from = NextFrame(from), to = NextFrame(to)) {
    to->delay = from->delay;
    SetDisposal(to, from->Disposal());
  }
  RecordUndo(UndoKind::CoEditAnimation, document);
  SwapAnimations(document, *read);
  if (state.currentFrame >= document.frameCount) state.currentFrame = document.frameCount - 1;
  return refresh::Document | refresh::FrameCount | refresh::ScreenSize | refresh::Encoding;
}

}  // namespace

bool LiveEditActive() { return TheSession().active.load(); }
int LiveEditFrame() { return TheSession().frame; }
const std::string& LiveEditFolder() { return TheSession().folder; }
const std::string& LiveEditFile() { return TheSession().file; }

int LiveEditExchangeType(const Animation& document, int frameIndex, const std::string& editor) {
  if (frameIndex < 0) return savetype::Psd;
  const Frame* frame = FrameAt(document, frameIndex);
  if (frame && !frame->rgbPlane.empty() && CoEditorTakesLayers(editor)) return savetype::Psd;
  std::string program = FoldCase(BaseName(CoEditorProgram(editor)));
  constexpr std::string_view fireworks = "fireworks.exe";
  if (program.size() >= fireworks.size() &&
      std::string_view(program).substr(program.size() - fireworks.size()) == fireworks)
    return savetype::Gif;
  return savetype::Png;
}

bool StartLiveEdit(DocumentSession& state, int frameIndex) {
  EndLiveEdit();
  const std::string editor = state.Settings().coEditor;
  if (!state.document || editor.empty()) return false;
  Animation& document = *state.document;
  if (frameIndex < 0 && document.frameCount == 1) frameIndex = 0;
  if (frameIndex < 0 && !CoEditorTakesLayers(editor)) {
    ShowErrorId(str::LiveEditNeedsPsdEditor);
    return false;
  }
  if (frameIndex >= 0 && !FrameAt(document, frameIndex)) return false;
  if (frameIndex < 0 && document.frameCount < 1) return false;
  if (!EnsureWakePipe()) return false;

  Session& s = TheSession();
  try {
    const int type = LiveEditExchangeType(document, frameIndex, editor);
    const std::string extension = SaveTypeEntry(type).extension;
    s.folder = CreatePrivateTempFolder(kFolderPrefix + std::to_string(CurrentProcessId()) + "-" +
                                       extension);
    std::string reserved = s.folder.empty() ? "" : CreateTempFile(s.folder, extension);
    if (reserved.empty()) {
      ShowErrorId(str::CannotWriteFile, s.folder.c_str());
      ForgetSession(s);
      return false;
    }
    DeleteFile(reserved);
    s.file = reserved + "." + extension;
    s.fileName = BaseName(s.file);
    if (!WriteExchangeFile(state, frameIndex, type, s.file)) {
      ForgetSession(s);
      return false;
    }
    // Watching starts before the editor, so that no save can come unseen.
    s.watch = std::make_unique<FolderWatch>();
    if (!s.watch->Open(s.folder)) {
      ForgetSession(s);
      ShowErrorId(str::LiveEditCannotNotify);
      return false;
    }
    s.frame = frameIndex;
    s.failure.store(0);
    s.taken = s.saved.load();
    s.active.store(true);
    if (!StartDetached(CoEditorCommandLine(editor, s.file))) {
      ForgetSession(s);
      ShowErrorId(str::LiveEditCannotStartEditor, CoEditorDisplayName(editor).c_str());
      return false;
    }
    s.watcher = std::thread(WatchFolder, &s, StampOf(s.file));
  } catch (const std::exception&) {  // memory or threads short
    ForgetSession(s);
    ShowErrorId(str::LiveEditCannotNotify);
    return false;
  }
  return true;
}

void EndLiveEdit() {
  Session& s = TheSession();
  if (!s.active.load() && !s.watcher.joinable() && s.folder.empty()) return;
  ForgetSession(s);
}

int LiveEditWakeFd() {
  EnsureWakePipe();
  return wakePipe[0];
}

uint32_t TakeLiveEditUpdate(DocumentSession& state) {
  DrainWake();
  Session& s = TheSession();
  if (int failure = s.failure.exchange(0)) {
    EndLiveEdit();
    ShowErrorId(failure);
    return 0;
  }
  if (!s.active.load() || s.taken == s.saved.load()) return 0;
  // The editor is at it again: its next complete save wakes us once more.
  if (s.writing.load()) return 0;
  s.taken = s.saved.load();
  return ReimportLiveEdit(state);
}

uint32_t ReimportLiveEdit(DocumentSession& state) {
  Session& s = TheSession();
  if (!s.active.load() || !state.document) return 0;
  AnimationPtr read;
  const ReadOptions options = state.Settings().read;
  // An edited PSD comes back with one frame per layer, whatever the stored layer choice.
  int status = SaveTypeFromName(s.file) == savetype::Psd
                   ? ReadPsd(s.file, options, state.owner, &read, true, nullptr)
                   : ReadAnyFile(s.file, options, state.owner, &read, nullptr);
  if (status != 1 || !read) return 0;
  // The background counts and the preview read the document: they stop before it changes.
  StopTasks(task::SizeEstimate | task::ColourCount);
  state.StopPreview();
  uint32_t hints = s.frame >= 0 ? ReimportFrame(state, *read, s.frame)
                                : ReimportAnimation(state, std::move(read));
  if (hints) {
    state.modified = true;
    state.NotifyTitle();
  }
  return hints;
}

std::string LiveEditMenuText(const std::string& editor) {
  // The name comes from the desktop entries; looked up once per editor.
  static std::string editorSeen, text;
  if (editor.empty()) return ResText(str::LiveEditWithImageEditor);
  if (editor != editorSeen || text.empty()) {
    editorSeen = editor;
    std::string name = CoEditorDisplayName(editor);
    std::string format = ResText(str::LiveEditWith);
    size_t at = format.find("%s");
    text = at == std::string::npos ? format : format.replace(at, 2, name);
  }
  return text;
}

int RemoveStaleLiveEditFolders() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = (tmp && tmp[0] == '/') ? tmp : "/tmp";
  std::vector<FolderEntry> entries;
  if (!ListFolder(base, std::string(kFolderPrefix) + "*", &entries)) return 0;
  const std::string prefix = kFolderPrefix;
  int removed = 0;
  for (const FolderEntry& e : entries) {
    if (!e.isFolder) continue;
    int pid = std::atoi(e.name.c_str() + prefix.size());
    if (pid <= 0 || ProcessRunning(pid)) continue;
    // Only our own real folders: never through a link, never another user's.
    std::string path = WithTrailingSlash(base) + e.name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
      continue;
    if (DeleteFolderTree(path)) ++removed;
  }
  return removed;
}

}  // namespace lw
