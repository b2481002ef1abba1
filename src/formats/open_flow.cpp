#include "formats/open_flow.h"

#include <algorithm>
#include <climits>
#include <new>

#include "base/messages.h"
#include "base/preference_layout.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/palette_fit.h"
#include "core/document_listener.h"
#include "core/gif_reader.h"
#include "core/undo.h"
#include "formats/common/flow_text.h"
#include "formats/common/png_codec.h"
#include "formats/format_registry.h"
#include "formats/save_flow.h"
#include "platform/files.h"
#include "platform/flow_dialogs.h"

namespace lw {
namespace {

constexpr uint32_t OversizeGrow = 32;
constexpr uint32_t AllRefresh = refresh::Document | refresh::FrameCount | refresh::ScreenSize |
                                refresh::Encoding | refresh::Names;

void FreeChain(AnimationPtr chain) {
  // Unlinked one by one so that a long chain does not free itself recursively.
  while (chain) chain = std::move(chain->nextInChain);
}

WindowHandle Owner(const DocumentSession& state) { return state.owner; }

ProgressMeterPtr ForegroundMeter(WindowHandle owner) {
  return ProgressMeterPtr(CreateProgressMeter(owner, progress::OwnPopup, 0));
}

Frame* LastFrame(const Animation& animation) {
  Frame* last = nullptr;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) last = f;
  return last;
}

void MakeUntitled(DocumentSession& state) {
  state.documentPath.clear();
  state.NotifyTitle();
}

}  // namespace

int ReadAnyFile(const std::string& path, const ReadOptions& options, WindowHandle owner,
                AnimationPtr* out, ProgressMeter* meter) {
  out->reset();
  if (!FileReadable(path)) {
    ShowErrorId(str::CannotOpenFile, path.c_str());
    return ReadFailed;
  }
  // A format whose reader is not part of this build is refused like an unknown one.
  const FormatSpec* format = FormatForFile(path);
  if (!format || !format->reader) {
    ShowErrorId(str::CannotReadFileType);
    return ReadFailed;
  }
  AnimationPtr animation;
  int status = ReadFailed;
  // A big file takes seconds: the window keeps repainting and the popup keeps answering Esc
  // while the reader works, however long one of its steps takes.
  RunPumping(meter, [&] {
    status = format->reader(path, options, owner, &animation, meter);
    // A reader that claims success without an animation has read nothing.
    if (status == ReadFailed || !animation) return;
    NameFramesFromFile(*animation, path);
    if (options.autoTransparentColour)
      ApplyAutoTransparency(*animation, *options.autoTransparentColour);
    CountColourUsage(*animation, animation->colourUsage.data(), true);
    SingleFrameRestoresBackground(*animation);
  });
  if (status == ReadFailed || !animation) return ReadFailed;
  // Every reader stops at the frame count's ceiling with what fits, as a partial read.
  if (status != ReadComplete && animation->frameCount == INT16_MAX)
    ShowErrorId(str::TooManyFramesRead, path.c_str());
  *out = std::move(animation);
  return status;
}

void AppendToChain(AnimationPtr* chain, AnimationPtr animation) {
  if (!animation) return;
  AnimationPtr* tail = chain;
  while (*tail) tail = &(*tail)->nextInChain;
  *tail = std::move(animation);
}

bool NameSurvivesInsert(std::string_view path) {
  std::string_view last = LastChars(path, 3);
  for (const FormatSpec& f : Formats()) {
    if (f.keepsNameWhenAnimated && EqualsNoCase(last, f.save.extension)) return true;
  }
  return false;
}

namespace {

// The oversize question's answer: the stored word, or the user's when it says to ask; 0 cancels.
uint32_t OversizeChoice(const FlowSettings& settings, WindowHandle owner) {
  const uint32_t word = settings.oversizeInsert;
  if (BitIn(word, Pref::OversizeInsertAsk)) return Dialogs().AskOversizeInsert(owner, word);
  return word;
}

}  // namespace

bool InsertAnimations(const FlowSettings& settings, WindowHandle owner, Animation& document,
                      AnimationPtr chain, int position, ProgressMeter* meter,
                      uint32_t paletteWord) {
  if (!chain || !document.blocks) return false;
  uint32_t widest = 0, tallest = 0;
  int64_t total = 0;
  for (const Animation* a = chain.get(); a; a = a->nextInChain.get()) {
    widest = std::max(widest, a->screenWidth);
    tallest = std::max(tallest, a->screenHeight);
    total += std::max<int>(a->frameCount, 0);
  }
  // The frame count is a 16-bit field; a document never grows past it.
  if (document.frameCount + total > INT16_MAX) {
    ShowErrorId(str::TooManyFramesInsert);
    FreeChain(std::move(chain));
    return false;
  }
  const uint32_t oldWidth = document.screenWidth, oldHeight = document.screenHeight;
  if (widest > oldWidth || tallest > oldHeight) {
    uint32_t word = OversizeChoice(settings, owner);
    if (word == 0) {
      FreeChain(std::move(chain));
      return false;
    }
    if (word & OversizeGrow) {
      document.screenWidth = std::max(oldWidth, widest);
      document.screenHeight = std::max(oldHeight, tallest);
    }
  }
  if (FitPalettes(&document, chain.get(), paletteWord, settings.paletteFit, owner, meter) != 1) {
    document.screenWidth = oldWidth;
    document.screenHeight = oldHeight;
    FreeChain(std::move(chain));
    return false;
  }
  const int oldCount = document.frameCount;
  Frame* before = position >= 0 && position < oldCount ? FrameAt(document, position) : nullptr;
  Block* after = before ? before->prev : LastFrame(document);
  if (!after) after = document.blocks;
  int added = 0;
  for (Animation* a = chain.get(); a; a = a->nextInChain.get()) {
    Block* first = a->blocks ? a->blocks->next : nullptr;
    if (!first) continue;
    a->blocks->next = nullptr;
    Block* last = first;
    for (Block* b = first;; b = b->next) {
      if (b->IsFrame()) ++added;
      if (!b->next) {
        last = b;
        break;
      }
    }
    Block* rest = after->next;
    LinkBlocks(after, first);
    LinkBlocks(last, rest);
    after = last;
    a->frameCount = 0;
  }
  FreeChain(std::move(chain));
  document.frameCount = static_cast<int16_t>(std::min(oldCount + added, int{INT16_MAX}));
  CountColourUsage(document, document.colourUsage.data(), true);
  document.encodedSizeCache = -1;
  if (oldCount == 1 && document.frameCount >= 2) {
    document.playCount = settings.read.timing.defaultLoopCount;
  }
  return true;
}

bool FinishLoad(DocumentSession& state, AnimationPtr chain, const std::string& path, int filesRead,
                ProgressMeter* meter, WindowHandle owner, uint32_t paletteWord) {
  if (!chain) return false;
  const FlowSettings settings = state.Settings();
  if (state.document) {
    if (!InsertAnimations(settings, owner, *state.document, std::move(chain), state.currentFrame,
                          meter, paletteWord)) {
      return false;
    }
    if (state.document->frameCount >= 2 && !NameSurvivesInsert(state.documentPath) &&
        !state.documentPath.empty()) {
      MakeUntitled(state);
    }
    return true;
  }

  Animation& first = *chain;
  uint32_t widest = first.screenWidth, tallest = first.screenHeight;
  for (const Animation* a = first.nextInChain.get(); a; a = a->nextInChain.get()) {
    widest = std::max(widest, a->screenWidth);
    tallest = std::max(tallest, a->screenHeight);
  }
  if (widest > first.screenWidth || tallest > first.screenHeight) {
    uint32_t word = OversizeChoice(settings, owner);
    if (word == 0) {
      FreeChain(std::move(chain));
      return false;
    }
    if (word & OversizeGrow) {
      first.screenWidth = widest;
      first.screenHeight = tallest;
    }
  }
  int64_t total = 0;
  for (const Animation* a = chain.get(); a; a = a->nextInChain.get()) {
    total += std::max<int>(a->frameCount, 0);
  }
  if (total > INT16_MAX) {
    ShowErrorId(str::TooManyFramesInsert);
    FreeChain(std::move(chain));
    return false;
  }
  if (FitPalettes(nullptr, chain.get(), paletteWord, settings.paletteFit, owner, meter) != 1) {
    FreeChain(std::move(chain));
    return false;
  }
  if (first.nextInChain) MergeChain(first);
  first.encodedSizeCache = -1;
  state.document = std::move(chain);
  state.currentFrame = -1;
  // A movie format the program cannot write (MP4, ...) gives an untitled document: saving must
  // never write a GIF over the movie.
  const FormatSpec* format = FormatForFile(path);
  if (filesRead == 1 && !path.empty() && (!format || format->saveType != 0)) {
    state.documentPath = path;
    state.modified = false;
    if (state.settings) state.settings->KeepRecentFile(path);
  } else {
    state.document->playCount = settings.read.timing.defaultLoopCount;
    state.documentPath.clear();
    state.modified = true;
  }
  state.NotifyTitle();
  return true;
}

namespace {

// Files read one after the other into a chain, for opening, inserting or dropping.
struct ReadRun {
  AnimationPtr chain;
  int count = 0;
  std::string lastPath;
  bool partial = false;  // some file was read only in part

  // The path that may name the document: none after a partial read.
  std::string NamingPath() const { return partial ? std::string() : lastPath; }
};

// Reads the paths in order, keeping complete and partial reads; after a file that fails, and
// before the last one, asks (askText, askTitle) whether to go on with the others.
ReadRun ReadChain(DocumentSession& state, const std::vector<std::string>& paths,
                  ProgressMeter* meter, int askText, int askTitle) {
  ReadRun run;
  ProgressSetRange(meter, static_cast<uint32_t>(paths.size()));
  const ReadOptions options = state.Settings().read;
  PngReadAhead readAhead(paths, options.timing);
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    run.lastPath = path;
    std::string text = FormatResText(str::ReadingFile, BaseName(path));
    ProgressSetText(meter, text.c_str());
    AnimationPtr animation;
    int status = ReadAnyFile(path, options, Owner(state), &animation, meter);
    if (status != ReadFailed && animation) {
      // The reader has said that only part was read; the frames it read are kept, as when
      // one file is opened by name.
      if (status != ReadComplete) run.partial = true;
      AppendToChain(&run.chain, std::move(animation));
      ++run.count;
    } else if (i + 1 < paths.size() && !ProgressCancelled(meter)) {
      // A reader whose own dialog was cancelled cancelled the meter: the run just stops.
      animation.reset();
      int answer = AskUser(Owner(state), askText, askTitle, mb::YesNo | mb::IconExclamation);
      ProgressRefocus(meter);
      if (answer == answer::No) break;
    }
    if (!ProgressStep(meter)) break;
  }
  return run;
}

}  // namespace

int ReadFiles(DocumentSession& state, std::vector<std::string> paths, bool forInsert,
              bool* cancelled) {
  if (cancelled) *cancelled = false;
  if (paths.empty()) return 0;
  std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    return CompareNamesNoCase(a, b) < 0;
  });
  ProgressMeterPtr meter = ForegroundMeter(Owner(state));
  ReadRun run = ReadChain(state, paths, meter.get(), str::SkipUnreadableFileQuestion,
                          str::CannotReadFilePrefix);
  if (cancelled) *cancelled = !run.chain && ProgressCancelled(meter.get());
  if (!run.chain || !FinishLoad(state, std::move(run.chain), run.NamingPath(),
                                forInsert ? 0 : run.count, meter.get(), Owner(state))) {
    return 0;
  }
  return run.count;
}

int ChooseAndReadFiles(DocumentSession& state, int titleId, const std::vector<FileFilter>& filter,
                       bool forInsert) {
  std::vector<std::string> paths;
  try {
    if (!Dialogs().ChooseFiles(Owner(state), titleId, filter.empty() ? AllFormatsFilter() : filter,
                               true, &paths)) {
      return 0;
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return ReadFiles(state, std::move(paths), forInsert);
}

bool OpenOneFile(DocumentSession& state, const std::string& path, bool* cancelled) {
  ProgressMeterPtr meter = ForegroundMeter(Owner(state));
  AnimationPtr animation;
  int status = ReadAnyFile(path, state.Settings().read, Owner(state), &animation, meter.get());
  if (cancelled) *cancelled = status == ReadFailed && ProgressCancelled(meter.get());
  if (status == ReadFailed) return false;
  return FinishLoad(state, std::move(animation), status == ReadComplete ? path : std::string(), 1,
                    meter.get(), Owner(state));
}

namespace {

enum class Opened { Yes, Kept, NotRead };

// The Open command. The save question comes first, as always, but the document goes only once
// the files are read: a read the user cancels (a clip's import dialog) leaves it as it was.
Opened OpenInPlace(DocumentSession& state, const std::string& path,
                   const std::vector<FileFilter>& filter, bool* cancelled) {
  *cancelled = false;
  if (!AskToSaveBeforeClosing(state)) return Opened::Kept;
  DocumentSession fresh;
  fresh.owner = state.owner;
  fresh.settings = state.settings;
  int filesRead = 0;
  if (path.empty()) {
    std::vector<std::string> paths;
    bool chosen = false;
    try {
      chosen = Dialogs().ChooseFiles(Owner(state), str::OpenFilesTitle,
                                     filter.empty() ? AllFormatsFilter() : filter, true, &paths);
    } catch (const std::bad_alloc&) {
    }
    if (chosen) filesRead = ReadFiles(fresh, std::move(paths), false, cancelled);
  } else {
    filesRead = OpenOneFile(fresh, path, cancelled) ? 1 : 0;
  }
  if (filesRead == 0 || !fresh.document) {
    // A read the user cancelled (a clip's import dialog, Esc before any frame) changes nothing;
    // a chooser closed or a file that could not be read closes the document, as Open always has.
    if (!*cancelled) {
      state.modified = false;  // the question was asked above
      CloseDocument(state);
    }
    state.NotifyDocument(refresh::StripOnly);
    return Opened::NotRead;
  }
  state.modified = false;  // the question was asked above
  CloseDocument(state);
  state.document = std::move(fresh.document);
  state.documentPath = fresh.documentPath;
  state.modified = fresh.modified;
  state.currentFrame = -1;
  state.NotifyTitle();
  if (state.listener) state.listener->ScrollStripToStart();
  if (filesRead >= 2) {
    state.documentPath.clear();
    state.modified = true;
    state.NotifyTitle();
  }
  state.NotifyDocument(AllRefresh);
  if (state.Settings().autoPreview && state.document->frameCount >= 2 && state.listener) {
    state.listener->RequestAutoPreview();
  }
  return Opened::Yes;
}

}  // namespace

bool OpenCommand(DocumentSession& state, const std::string& path,
                 const std::vector<FileFilter>& filter) {
  bool cancelled = false;
  return OpenInPlace(state, path, filter, &cancelled) == Opened::Yes;
}

bool OpenRecentFile(DocumentSession& state, const std::string& path) {
  bool cancelled = false;
  const Opened opened = OpenInPlace(state, path, {}, &cancelled);
  // Only a failed read takes the name off the list, not the user cancelling a question.
  if (opened == Opened::NotRead && !cancelled && state.settings)
    state.settings->DropRecentFile(path);
  return opened == Opened::Yes;
}

int InsertCommand(DocumentSession& state, bool alternateTitle) {
  int position = -1;
  if (state.document) {
    position = state.currentFrame >= 0 ? state.currentFrame : state.document->frameCount;
  }
  state.StopPreview();
  bool hadDocument = state.document != nullptr;
  UndoStep step;
  if (hadDocument) {
    step = UndoStep(UndoStep::Discard,
                    PrepareUndo(UndoKind::InsertFrames, *state.document, std::max(position, 0)),
                    *state.document);
  }
  int saved = state.currentFrame;
  if (hadDocument) state.currentFrame = position;
  int count = ChooseAndReadFiles(
      state, alternateTitle ? str::InsertOrOpenTitle : str::InsertFramesTitle, {}, true);
  state.currentFrame = saved;
  if (count == 0 || !hadDocument || !state.document) {
    step.Withdraw();
    if (count > 0) state.NotifyDocument(AllRefresh);
    return count;
  }
  state.modified = true;
  state.NotifyTitle();
  CommitInsertUndo(step.Commit(), *state.document);
  state.NotifyDocument(AllRefresh);
  return count;
}

int DropFiles(DocumentSession& state, const std::vector<std::string>& paths, int frameUnderDrop) {
  if (paths.empty()) return 0;
  state.currentFrame = frameUnderDrop;
  bool hadDocument = state.document != nullptr;
  UndoStep step;
  if (hadDocument) {
    int position = frameUnderDrop >= 0 && frameUnderDrop < state.document->frameCount
                       ? frameUnderDrop
                       : state.document->frameCount;
    step =
        UndoStep(UndoStep::Discard, PrepareUndo(UndoKind::InsertFrames, *state.document, position),
                 *state.document);
  }
  ProgressMeterPtr meter = ForegroundMeter(Owner(state));
  ReadRun run =
      ReadChain(state, paths, meter.get(), str::ContinueReadingQuestion, str::OpenErrorTitle);
  int count = run.count;
  if (!run.chain || !FinishLoad(state, std::move(run.chain), run.NamingPath(), count, meter.get(),
                                Owner(state))) {
    count = 0;
  }
  meter.reset();
  if (count > 0 && hadDocument) {
    state.modified = true;
    state.NotifyTitle();
    CommitInsertUndo(step.Commit(), *state.document);
  } else if (count > 0) {
    if (state.listener) state.listener->ScrollStripToStart();
  }
  step.Withdraw();
  state.NotifyDocument(count > 0 ? AllRefresh : refresh::StripOnly);
  return count;
}

bool AskToSaveBeforeClosing(DocumentSession& state) {
  if (!state.document || !state.modified) return true;
  std::string text = state.documentPath.empty()
                         ? ResText(str::SaveUntitledQuestion)
                         : FormatResText(str::SaveChangesQuestion, state.documentPath);
  int answer = Services().MessageBox(state.owner, text, TableText(str::AskLoopwright),
                                     mb::YesNoCancel | mb::IconExclamation | mb::TaskModal);
  if (answer == answer::Yes && !SaveCommand(state)) answer = answer::Cancel;
  return answer != answer::Cancel && answer != 0;
}

int CloseDocument(DocumentSession& state) {
  if (!AskToSaveBeforeClosing(state)) return 0;
  StopTasks(task::SizeEstimate | task::ColourCount);
  state.StopPreview();
  // The window ends a LiveEdit session on the document as it hears of the closing.
  if (state.document && state.listener) state.listener->DocumentClosing();
  state.document.reset();
  state.currentFrame = -1;
  ClearHistory();
  state.modified = false;
  state.documentPath.clear();
  state.NotifyTitle();
  if (state.listener) state.listener->ScrollStripToStart();
  state.NotifyDocument(AllRefresh);
  return 1;
}

bool RevertToSaved(DocumentSession& state) {
  if (!state.document || !state.modified || state.documentPath.empty()) return false;
  if (AskUser(state.owner, str::RevertQuestion, str::RevertTitle,
              mb::OkCancel | mb::IconExclamation) != answer::Ok) {
    return false;
  }
  // The file is read before the document goes: when it is gone or cannot be read, its message
  // is shown and the edits stay.
  const std::string path = state.documentPath;
  ProgressMeterPtr meter = ForegroundMeter(Owner(state));
  AnimationPtr animation;
  int status = ReadAnyFile(path, state.Settings().read, Owner(state), &animation, meter.get());
  // A partial read would swap the edits for part of the file.
  if (status != ReadComplete) return false;
  DocumentSession reread;
  reread.owner = state.owner;
  reread.settings = state.settings;
  if (!FinishLoad(reread, std::move(animation), path, 1, meter.get(), Owner(state))) return false;
  meter.reset();
  state.modified = false;
  CloseDocument(state);
  state.document = std::move(reread.document);
  state.documentPath = reread.documentPath;
  state.modified = reread.modified;
  state.currentFrame = -1;
  state.NotifyTitle();
  if (state.listener) state.listener->ScrollStripToStart();
  state.NotifyDocument(AllRefresh);
  if (state.Settings().autoPreview && state.document->frameCount >= 2 && state.listener) {
    state.listener->RequestAutoPreview();
  }
  return true;
}

std::vector<FileFilter> AllFormatsFilter() { return OpenFilters(); }

}  // namespace lw
