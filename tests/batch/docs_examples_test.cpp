// Every command the README and the manual page show runs as shown: each example is taken from the
// documents themselves (so new ones are run without a word here), run in a folder of its own on
// files made for what it reads, and must end with exit code 0; and each long flag in it must
// change what the command writes or prints, which is what an example of that flag promises (a
// setting such as --dither placed after the flags it should act on changes nothing).
#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "batch/batch_runner.h"
#include "formats/gif/gif_save.h"
#include "shell/batch.h"
#include "support/document.h"

namespace lw {
namespace {

using namespace lw::test;
namespace fs = std::filesystem;

struct Example {
  std::string where;  // the document, for messages
  std::string text;   // the command as the document shows it
};

// Shell words: blanks separate them, quotes and backslashes as sh reads them. False on an
// unterminated quote.
bool ShellWords(const std::string& text, std::vector<std::string>* words) {
  words->clear();
  std::string word;
  bool inWord = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t') {
      if (inWord) words->push_back(word);
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '\'') {
      const size_t end = text.find('\'', i + 1);
      if (end == std::string::npos) return false;
      word += text.substr(i + 1, end - i - 1);
      i = end;
    } else if (c == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        word += text[i];
      }
      if (i >= text.size()) return false;
    } else if (c == '\\' && i + 1 < text.size()) {
      word += text[++i];
    } else {
      word += c;
    }
  }
  if (inWord) words->push_back(word);
  return true;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// The README's commands: code spans and lines of code blocks that start with "loopwright ".
std::vector<Example> ReadmeExamples() {
  std::vector<Example> out;
  std::ifstream in(LW_SOURCE_DIR "/README.md");
  bool block = false;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    const std::string where = "README.md:" + std::to_string(number);
    if (line.rfind("```", 0) == 0) {
      block = !block;
      continue;
    }
    if (block) {
      if (line.rfind("loopwright ", 0) == 0) out.push_back({where, line});
      continue;
    }
    for (size_t open = line.find('`'); open != std::string::npos;) {
      const size_t close = line.find('`', open + 1);
      if (close == std::string::npos) break;
      const std::string span = line.substr(open + 1, close - open - 1);
      if (span.rfind("loopwright ", 0) == 0) out.push_back({where, Replaced(span, "\\|", "|")});
      open = line.find('`', close + 1);
    }
  }
  return out;
}

// The manual page's commands: lines of its example blocks (.EX to .EE), as a reader types them.
std::vector<Example> ManualExamples() {
  std::vector<Example> out;
  std::ifstream in(LW_MANUAL_PATH);
  bool block = false;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line == ".EX" || line == ".EE") {
      block = line == ".EX";
      continue;
    }
    line = Replaced(Replaced(Replaced(line, "\\-", "-"), "\\(aq", "'"), "\\(dq", "\"");
    line = Replaced(line, "\\e", "\\");
    if (block && line.rfind("loopwright ", 0) == 0)
      out.push_back({"loopwright.1:" + std::to_string(number), line});
  }
  return out;
}

// The animation every example reads: 160 x 120 on 256 colours, all in use; a full first frame,
// then patches that move (transparent in places, some restored to the background), one frame
// that changes nothing, delays of half a second and a finite loop count. Each edit an example
// shows has something to change here.
void WriteBaseGif(const std::string& path) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 256; ++i) {
    rgb.push_back(static_cast<uint8_t>(i));
    rgb.push_back(static_cast<uint8_t>(i * 3));
    rgb.push_back(static_cast<uint8_t>(255 - i / 2));
  }
  AnimationPtr a = MakeDocument(160, 120, PaletteFromTriples(256, rgb.data()), 5);
  AddDrawnFrame(*a, 0, 0, 160, 120, [](uint32_t x, uint32_t y) { return (x + 2 * y) % 256; });
  for (int k = 1; k < 20; ++k) {
    const int32_t left = (k * 37) % 120, top = (k * 23) % 90;
    if (k == 7) {  // everything transparent: shows nothing new
      AddSolidFrame(*a, left, top, 40, 30, 0, 1, 0)->delay = 50;
      continue;
    }
    AddDrawnFrame(
        *a, left, top, 40, 30,
        [k](uint32_t x, uint32_t y) {
          return (x * 5 + y * 3 + k * 17) % 13 ? (x * y + k) % 256 : 0;
        },
        k % 3 == 0 ? 2 : 1, 0, 50);
  }
  FirstFrame(*a)->delay = 50;
  ASSERT_TRUE(SaveGifToFile(path, *a, {}, nullptr));
}

class DocsExamples : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBaseGif(made_.Path("base.gif"));
    for (const BatchHelpEntry& e : BatchHelpEntries())
      takesArgument_[e.name] = !e.argument.empty() && !e.optionalArgument;
  }

  // The fixture of that extension, made once: the base animation written by the program, or
  // by FFmpeg from its MP4 for the video containers the program does not write.
  std::string Made(const std::string& extension) {
    const std::string name = "base." + extension;
    if (fs::exists(made_.Path(name))) return made_.Path(name);
    // A clip of its own rate and length, so that a part or a rate an example asks for has
    // something to choose from (the base animation written as MP4 holds two pictures a second).
    if (extension == "mp4" && HasTool("ffmpeg"))
      RunTool(
          "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=64x48:rate=25:duration=10 "
          "-pix_fmt yuv420p " +
          Quoted(made_.Path(name)) + " </dev/null");
    if (fs::exists(made_.Path(name))) return made_.Path(name);
    BatchRun run = RunBatchProgram(made_, {"-i", "base.gif", "-o", name});
    if (run.exitCode != 0 && extension != "mp4" && HasTool("ffmpeg")) {
      const std::string mp4 = Made("mp4");
      RunTool("ffmpeg -loglevel error -y -i " + Quoted(mp4) + " -c copy " +
              Quoted(made_.Path(name)) + " </dev/null");
    }
    EXPECT_TRUE(fs::exists(made_.Path(name))) << "no " << name << " to read: " << run.errors;
    return made_.Path(name);
  }

  // Puts in dir what the command reads: each -i pattern gets files that match it (three for a
  // wildcard, each one frame of the base animation in turn), each -l list three files it names.
  void MakeInputs(const TempDir& dir, const std::vector<std::string>& args) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
      const std::string& flag = args[i];
      const std::string& value = args[i + 1];
      if (flag.size() != 2 || flag[0] != '-') continue;
      const char letter = static_cast<char>(std::tolower(flag[1]));
      if (letter == 'l') {
        dir.Put(value, "liste-1.gif\nliste-2.gif\nliste-3.gif\n");
        for (int n = 1; n <= 3; ++n) Place(dir, Made("gif"), "liste-" + std::to_string(n) + ".gif");
      }
      if (letter != 'i') continue;
      const std::string dotted = fs::path(value).extension().string();
      const std::string extension = dotted.empty() ? "gif" : dotted.substr(1);
      if (value.find_first_of("*?") == std::string::npos) {
        Place(dir, Made(extension), value);
        continue;
      }
      const std::vector<std::string> frames = Frames(extension);
      for (size_t n = 0; n < frames.size(); ++n) {
        std::string name = value;
        for (size_t at; (at = name.find_first_of("*?")) != std::string::npos;)
          name.replace(at, 1, (name[at] == '*' ? "0" : "") + std::to_string(n + 1));
        Place(dir, frames[n], name);
      }
    }
  }

  // Three files of that extension, the first frames of the base each whole in its own file; a
  // type that holds animations only (video) gives three copies of the whole.
  std::vector<std::string> Frames(const std::string& extension) {
    const std::string prefix = "frame-" + extension + "-";
    std::vector<std::string> files;
    for (int pass = 0; pass < 2 && files.empty(); ++pass) {
      if (pass == 1)
        RunBatchProgram(made_, {"-i", "base.gif", "--unoptimize", "--frames", "individual", "-o",
                                prefix + "##." + extension});
      for (const auto& e : fs::directory_iterator(made_.Root()))
        if (e.path().filename().string().rfind(prefix, 0) == 0) files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    files.resize(3, Made(extension));
    return files;
  }

  static void Place(const TempDir& dir, const std::string& from, const std::string& name) {
    dir.Put(name, Contents(from));
  }

  // What a run leaves: its exit code, what it printed, and every file it wrote.
  struct Outcome {
    int exitCode = -1;
    std::string errors;
    std::map<std::string, std::string> written;
    bool operator==(const Outcome& o) const {
      return exitCode == o.exitCode && errors == o.errors && written == o.written;
    }
  };
  Outcome Run(const std::vector<std::string>& args) {
    TempDir dir;
    MakeInputs(dir, args);
    std::map<std::string, std::string> before;
    for (const auto& e : fs::recursive_directory_iterator(dir.Root()))
      if (e.is_regular_file()) before[e.path().string()] = Contents(e.path().string());
    BatchRun run = RunBatchProgram(dir, args);
    Outcome out{run.exitCode, run.errors, {{"(sortie standard)", run.output}}};
    for (const auto& e : fs::recursive_directory_iterator(dir.Root())) {
      const std::string path = e.path().string();
      if (!e.is_regular_file() || e.path().filename() == ".stderr") continue;
      std::string bytes = Contents(path);
      if (!before.count(path) || before[path] != bytes)
        out.written[fs::relative(e.path(), dir.Root()).string()] = std::move(bytes);
    }
    return out;
  }

  TempDir made_;
  std::map<std::string, bool> takesArgument_;
};

TEST_F(DocsExamples, EveryExampleRunsAndEachFlagInItDoesSomething) {
  std::vector<Example> examples = ReadmeExamples();
  const size_t fromReadme = examples.size();
  for (Example& e : ManualExamples()) examples.push_back(e);
  EXPECT_GE(fromReadme, 25u) << "the README's examples were not found";
  EXPECT_GE(examples.size() - fromReadme, 3u) << "the manual page's examples were not found";
  for (const Example& example : examples) {
    SCOPED_TRACE(example.where + ": " + example.text);
    std::vector<std::string> words;
    ASSERT_TRUE(ShellWords(example.text, &words));
    const std::vector<std::string> args(words.begin() + 1, words.end());
    ASSERT_FALSE(args.empty());
    ASSERT_EQ(args[0][0], '-') << "an example of the window, not of the batch mode";
    // Recording needs a screen to record, which these runs do not have: record_batch_test runs
    // --record on an X server of its own.
    if (std::find(args.begin(), args.end(), "--record") != args.end()) continue;
    const Outcome whole = Run(args);
    EXPECT_EQ(whole.exitCode, 0) << whole.errors;
    if (whole.exitCode != 0) continue;
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i].rfind("--", 0) != 0) continue;
      const std::string name = args[i].substr(0, args[i].find('='));
      const size_t taken = name == args[i] && takesArgument_[name] ? 2 : 1;
      std::vector<std::string> without = args;
      without.erase(without.begin() + static_cast<long>(i),
                    without.begin() + static_cast<long>(std::min(i + taken, args.size())));
      if (without.empty()) continue;  // --help, --version: nothing left to compare with
      EXPECT_FALSE(Run(without) == whole) << args[i] << " changes nothing where it stands";
    }
  }
}

}  // namespace
}  // namespace lw
