#include "shell/batch.h"

#include <new>

#include "base/messages.h"
#include "base/preferences.h"
#include "base/progress.h"
#include "base/string_ids.h"
#include "colour/optimize.h"
#include "core/undo.h"
#include "formats/open_flow.h"
#include "formats/save_flow.h"
#include "formats/shell_state.h"
#include "platform/files.h"

namespace lw {
namespace {

constexpr size_t MaxListFileBytes = size_t{64} << 20;

// Passes everything on to the services in place and counts the boxes shown, for the exit code.
class CountingServices : public PlatformServices {
 public:
  explicit CountingServices(PlatformServices& inner) : inner_(inner) {}
  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 int style) override {
    ++shown_;
    return inner_.MessageBox(owner, text, caption, style);
  }
  bool Interactive() const override { return inner_.Interactive(); }
  void PumpEvents() override { inner_.PumpEvents(); }
  uint32_t AskPaletteMerge(WindowHandle owner, uint32_t stored) override {
    return inner_.AskPaletteMerge(owner, stored);
  }
  uint32_t AskOversizeInsert(WindowHandle owner, uint32_t stored) override {
    return inner_.AskOversizeInsert(owner, stored);
  }
  int Shown() const { return shown_; }

 private:
  PlatformServices& inner_;
  int shown_ = 0;
};

// Reads path and appends it to the chain; false when the read was not complete.
bool ReadInto(const std::string& path, AnimationPtr* chain, int* count) {
  AnimationPtr animation;
  if (ReadAnyFile(path, nullptr, &animation, nullptr) != ReadComplete) return false;
  AppendToChain(chain, std::move(animation));
  ++*count;
  return true;
}

// -i: every file of the folder whose name matches, in name order, until one fails.
int ReadPattern(const std::string& argument, AnimationPtr* chain) {
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
  int count = 0;
  for (const FolderEntry& e : entries) {
    if (e.isFolder) continue;
    if (!ReadInto(folder + e.name, chain, &count)) break;
  }
  return count;
}

// -l: every file named in the list, in its order, until one fails.
int ReadList(const std::string& listPath, AnimationPtr* chain) {
  if (!FileReadable(listPath)) {
    ShowErrorId(str::BatchInputNotFound, listPath.c_str());
    return 0;
  }
  std::string text;
  if (!ReadWholeFile(listPath, MaxListFileBytes, &text)) {
    ShowErrorId(str::BatchListReadError);
    return 0;
  }
  int count = 0;
  for (const std::string& name : SplitFileList(text)) {
    if (!ReadInto(name, chain, &count)) break;
  }
  return count;
}

// -z: the optimizer with the stored settings, without a dialog.
void OptimizeDocument(Animation& document) {
  OptimizeAnimation(document, GetPref(PrefOptimize), nullptr);
  document.encodedSizeCache = -1;
}

// *failed is set for a failure that showed no message (a save that did not happen).
void RunFlags(ShellState& state, const std::vector<std::string>& args, bool* failed) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    char letter = 0;
    if (word.size() == 2 && word[0] == '-') letter = static_cast<char>(word[1] | 0x20);
    // The argument is the next word whatever it holds, so names with hyphens are fine.
    auto argument = [&]() { return i + 1 < args.size() ? args[++i] : std::string(); };
    switch (letter) {
      case 'i':
      case 'l': {
        std::string input = argument();
        AnimationPtr chain;
        int count = letter == 'i' ? ReadPattern(input, &chain) : ReadList(input, &chain);
        if (!chain) {
          ShowErrorId(str::BatchInputFailed);
          return;
        }
        if (!FinishLoad(state, std::move(chain), std::string(), count, nullptr, nullptr)) {
          ShowErrorId(str::BatchMergeFailed);
        }
        break;
      }
      case 'o': {
        std::string output = argument();
        if (!state.document) {
          ShowErrorId(str::BatchNothingToOutput);
        } else if (output.empty()) {
          ShowErrorId(str::CannotWriteFile, "");
        } else {
          state.documentPath = output;
          if (!SaveCommand(state)) *failed = true;
        }
        break;
      }
      case 'z':
        if (!state.document) {
          ShowErrorId(str::BatchNothingToOptimize);
        } else {
          OptimizeDocument(*state.document);
        }
        break;
      default: ShowErrorId(str::BatchUnknownFlag, word.c_str()); return;
    }
  }
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

int RunBatch(const std::vector<std::string>& args) {
  PlatformServices& previous = Services();
  CountingServices services(previous);
  SetServices(&services);
  int shown = 0;
  bool failed = false;
  {
    ShellState state;
    try {
      RunFlags(state, args, &failed);
    } catch (const std::bad_alloc&) {
      ShowErrorId(str::OutOfMemory);
    }
    StopTasks(task::SizeEstimate | task::ColourCount);
    state.document.reset();
    ClearHistory();
    shown = services.Shown();
  }
  SetServices(&previous);
  return shown > 0 || failed ? 1 : 0;
}

}  // namespace lw
