#include "shell/batch.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <utility>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/lossy.h"
#include "colour/optimize.h"
#include "colour/palette_fit.h"
#include "core/undo.h"
#include "edit/resize.h"
#include "formats/avi/video_import.h"
#include "formats/common/png_codec.h"
#include "formats/gif/gif_format.h"
#include "formats/open_flow.h"
#include "formats/save_flow.h"
#include "platform/files.h"
#include "shell/batch_internal.h"
#include "shell/document_commands.h"
#include "shell/options_from_preferences.h"

namespace lw {
namespace {

using batch::Run;

constexpr size_t MaxListFileBytes = size_t{64} << 20;

// Passes messages on to the services and counts those shown, for the exit code. Questions are
// answered as the services answer them, and the dialogs' questions as the installed dialogs
// answer them (the stored settings); neither is a failure.
class CountingServices : public PlatformServices {
 public:
  explicit CountingServices(PlatformServices& inner) : inner_(inner) {}
  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 int style) override {
    int buttons[3];
    if (BoxButtons(style, buttons) <= 1) ++shown_;
    return inner_.MessageBox(owner, text, caption, style);
  }
  bool Interactive() const override { return inner_.Interactive(); }
  void PumpEvents() override { inner_.PumpEvents(); }
  int Shown() const { return shown_; }

 private:
  PlatformServices& inner_;
  int shown_ = 0;
};

// Reads path and appends it to the chain; false when the read was not complete. The frames of a
// damaged file that could be read are kept, as the window keeps them (its message is shown).
bool ReadInto(const std::string& path, const ReadOptions& options, AnimationPtr* chain,
              int* count) {
  AnimationPtr animation;
  const int status = ReadAnyFile(path, options, nullptr, &animation, nullptr);
  if (status == 0 || !animation) return false;
  AppendToChain(chain, std::move(animation));
  ++*count;
  return status == ReadComplete;
}

// -i: every file of the folder whose name matches, in name order, until one fails.
int ReadPattern(const std::string& argument, AnimationPtr* chain, std::string* first) {
  std::string folder = DirectoryPart(argument);
  std::vector<FolderEntry> entries;
  bool any = false;
  if (ListFolder(folder, BaseName(argument), &entries)) {
    for (const FolderEntry& e : entries) any = any || !e.isFolder;
  }
  if (!any) {
    ShowErrorId(str::BatchInputNotFound, argument.c_str());
    return 0;
  }
  std::vector<std::string> paths;
  for (const FolderEntry& e : entries)
    if (!e.isFolder) paths.push_back(folder + e.name);
  const ReadOptions options = ReadOptionsFromPreferences();
  PngReadAhead readAhead(paths, options.timing);
  int count = 0;
  for (const std::string& path : paths) {
    if (count == 0) *first = path;
    if (!ReadInto(path, options, chain, &count)) break;
  }
  return count;
}

// -l: every file named in the list, in its order, until one fails.
int ReadList(const std::string& listPath, AnimationPtr* chain, std::string* first) {
  if (!FileReadable(listPath)) {
    ShowErrorId(str::BatchInputNotFound, listPath.c_str());
    return 0;
  }
  std::string text;
  if (!ReadWholeFile(listPath, MaxListFileBytes, &text)) {
    ShowErrorId(str::BatchListReadError);
    return 0;
  }
  const ReadOptions options = ReadOptionsFromPreferences();
  int count = 0;
  for (const std::string& name : SplitFileList(text)) {
    if (count == 0) *first = name;
    if (!ReadInto(name, options, chain, &count)) break;
  }
  return count;
}

void Input(Run& run, char letter, const std::string& input) {
  AnimationPtr chain;
  std::string first;
  int count = letter == 'i' ? ReadPattern(input, &chain, &first) : ReadList(input, &chain, &first);
  if (!chain) {
    ShowErrorId(str::BatchInputFailed);
    run.stop = true;
    return;
  }
  TimeStillsAtRate(chain.get(), VideoPartPreset().fpsMilli,
                   DelayUnitsFromPreferences());  // --fps times image sequences
  batch::TakeInput(run, std::move(chain), count, first);
}

}  // namespace

void batch::TakeInput(Run& run, AnimationPtr chain, int count, const std::string& first) {
  const bool opening = !run.state.document;
  const uint32_t plays = chain->playCount;
  const bool firstAnimated = chain->frameCount >= 2;
  // At a level the palette comes from the pictures as they were read, 24-bit ones included,
  // and they keep that data for a --quality that comes later.
  const int level = batch::ReadLevel(run, chain.get());
  const uint32_t word = level > 0 ? HighQualityMergeWord(level) | merge::KeepTrueColour : 0;
  if (!FinishLoad(run.state, std::move(chain), std::string(), count, nullptr, nullptr, word)) {
    ShowErrorId(str::BatchMergeFailed);
    return;
  }
  if (opening) {
    run.name = first;
    // The animation keeps the loop count of its first file, as a file opened in the window
    // does: a script that converts or optimizes a file must not make a finite loop endless.
    // Stills put together take the default count. Later inputs are inserted as in the window:
    // the count stays, unless they make a single picture an animation (the default then).
    if (firstAnimated || run.state.document->frameCount < 2) run.state.document->playCount = plays;
  }
  if (level > 0) batch::AfterQualityLevel(run, level);
}

namespace {

// The lossy amount --lossy asked for, else the one a --quality level chose, once, just before
// a GIF is written: after the optimizer, whose transparency it keeps.
void LevelLossy(Run& run, int type) {
  if (type != savetype::Gif) return;
  batch::RefineKeptPictures(run);
  const int level = std::exchange(run.levelLossy, 0), asked = std::exchange(run.lossyAsked, -1);
  const int tolerance = asked >= 0 ? asked : level;
  if (tolerance <= 0) return;
  batch::DropTrueColour(run);
  if (!PrepareOptimize(run.state)) return;
  if (LossyCompressOverScreen(*run.state.document, tolerance, nullptr)) AfterOptimize(run.state);
}

void Output(Run& run, const std::string& output) {
  ShellState& state = run.state;
  if (!state.document) return ShowErrorId(str::BatchNothingToOutput);
  if (output.empty()) return ShowErrorId(str::CannotWriteFile, "");
  const int type = run.outputType != 0 ? run.outputType : SaveTypeFromName(output);
  if (run.frames == 0) LevelLossy(run, type);
  if (run.outputType == 0 && run.frames == 0 && !run.webp.filled) {
    state.documentPath = output;
    if (!SaveCommand(state)) run.failed = true;
  } else {
    SaveOptions options;
    options.optionBits = run.frames != 0 ? run.frames : saveopt::Plain;
    options.formatOptions = run.webp;
    if (!SaveTypedCommand(state, output, type, options)) run.failed = true;
  }
}

// -z: the optimizer with the stored settings, without a dialog.
void OptimizeStored(Run& run) {
  if (!run.state.document) {
    ShowErrorId(str::BatchNothingToOptimize);
    return;
  }
  batch::DropTrueColour(run);
  OptimizeAnimation(*run.state.document,
                    OptimizeOptionsFromPreferences(KeepingLevelTables(run, GetPref(PrefOptimize))),
                    nullptr);
  run.state.document->encodedSizeCache = -1;
}

// The flags that came first: one letter after a single dash, any case, and the
// argument in the next word whatever it holds (so names with hyphens are fine).
bool ShortFlag(Run& run, const std::vector<std::string>& args, size_t* i) {
  const std::string& word = args[*i];
  if (word.size() != 2 || word[0] != '-') return false;
  const char letter = static_cast<char>(word[1] | 0x20);
  if (letter != 'i' && letter != 'l' && letter != 'o' && letter != 'z') return false;
  std::string argument;
  if (letter != 'z' && *i + 1 < args.size()) argument = args[++*i];
  switch (letter) {
    case 'i':
    case 'l': Input(run, letter, argument); break;
    case 'o': Output(run, argument); break;
    default: OptimizeStored(run); break;
  }
  return true;
}

// A long flag: "--name", "--name=value", or "--name value" when it needs a value.
bool LongFlagWord(Run& run, const std::vector<std::string>& args, size_t* i) {
  const std::string& word = args[*i];
  if (word.size() < 3 || word.compare(0, 2, "--") != 0) return false;
  const size_t equals = word.find('=');
  const std::string name = word.substr(0, equals);
  size_t count = 0;
  const batch::LongFlag* flags = batch::LongFlags(&count);
  const batch::LongFlag* flag = nullptr;
  for (size_t k = 0; k < count; ++k)
    if (name == flags[k].name) flag = &flags[k];
  if (!flag) return false;
  std::string value;
  if (equals != std::string::npos) {
    if (flag->argument == batch::Argument::None) {
      ShowErrorId(str::BatchBadValue, name.c_str(), word.substr(equals + 1).c_str());
      run.stop = true;
      return true;
    }
    value = word.substr(equals + 1);
  } else if (flag->argument == batch::Argument::Required) {
    if (*i + 1 >= args.size()) {
      ShowErrorId(str::BatchMissingArgument, name.c_str());
      run.stop = true;
      return true;
    }
    value = args[++*i];
  }
  if (flag->needsDocument && !run.state.document) {
    ShowErrorId(str::BatchNoDocument, name.c_str());
    return true;
  }
  flag->run(run, name, value);
  // The window keeps undo steps; a script has no use for them, only for their memory.
  ClearHistory();
  return true;
}

void RunFlags(Run& run, const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size() && !run.stop; ++i) {
    if (batch::RecordFlag(run, args, &i) || ShortFlag(run, args, &i) || LongFlagWord(run, args, &i))
      continue;
    const std::string& word = args[i];
    ShowErrorId(str::BatchUnknownFlag, word.c_str());
    return;
  }
}

void AppendHelpLine(std::string* out, const BatchHelpEntry& entry) {
  std::string line = "  " + entry.name;
  if (entry.optionalArgument)
    line += "[=" + entry.argument + "]";
  else if (!entry.argument.empty())
    line += " " + entry.argument;
  line.resize(std::max<size_t>(line.size() + 2, 35), ' ');
  *out += line + TableText(entry.helpId) + "\n";
}

}  // namespace

std::vector<std::string> SplitFileList(std::string_view text) {
  std::vector<std::string> names;
  size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') continue;
    names.emplace_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) names.emplace_back(text.substr(start));
  return names;
}

std::vector<BatchHelpEntry> BatchHelpEntries() {
  std::vector<BatchHelpEntry> entries = {
      {"-i", "MOTIF", false, str::BatchHelpInput},
      {"-l", "LISTE", false, str::BatchHelpList},
      {"-o", "FICHIER", false, str::BatchHelpOutput},
      {"-z", "", false, str::BatchHelpOptimizeStored},
  };
  size_t count = 0;
  const batch::LongFlag* flags = batch::LongFlags(&count);
  for (size_t k = 0; k < count; ++k) {
    const batch::LongFlag& f = flags[k];
    bool optional = f.argument == batch::Argument::Optional;
    std::string argument = f.argument == batch::Argument::None ? "" : f.syntax;
    entries.push_back({f.name, argument, optional, f.helpId});
  }
  entries.push_back({"--record", "screen|X,Y,L,H", false, str::BatchHelpRecord});
  return entries;
}

std::string BatchHelpText() {
  std::string out = std::string(TableText(str::BatchUsage)) + "\n\n";
  for (const BatchHelpEntry& entry : BatchHelpEntries()) AppendHelpLine(&out, entry);
  out += "\n";
  out += std::string(TableText(str::BatchHelpFrameLists)) + "\n";
  out += std::string(TableText(str::BatchHelpOptimizeNames)) + "\n";
  return out;
}

int RunBatch(const std::vector<std::string>& args) {
  PlatformServices& previous = Services();
  CountingServices services(previous);
  SetServices(&services);
  int shown = 0;
  bool failed = false;
  {
    Run run;
    run.state.settings = &PreferenceFlowSettings();
    run.bicubic = PrefOn(Pref::ResizeIsBicubic);
    try {
      RunFlags(run, args);
    } catch (const std::bad_alloc&) {
      ShowErrorId(str::OutOfMemory);
    }
    std::fflush(stdout);
    StopTasks(task::SizeEstimate | task::ColourCount);
    run.state.document.reset();
    ClearHistory();
    shown = services.Shown();
    failed = run.failed;
  }
  SetServices(&previous);
  return shown > 0 || failed ? 1 : 0;
}

}  // namespace lw
