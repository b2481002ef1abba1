// The batch mode end to end, as tables: each row runs the real executable on files written here,
// with its exit code, texts it prints, and files it writes or must not. An output must hold what
// the format registry's writer gives here for the same document read and edited here: what each
// format writes is its own tests' business.
#include <gmock/gmock.h>

#include <any>
#include <filesystem>
#include <functional>
#include <sstream>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "batch/batch_runner.h"
#include "colour/lossy.h"
#include "colour/optimize.h"
#include "colour/optimize_trial.h"
#include "colour/palette_fit.h"
#include "colour/quantize_hq.h"
#include "colour/reduce_trial.h"
#include "core/undo.h"
#include "edit/caption/layer.h"
#include "edit/caption/text_layer.h"
#include "edit/crop_move.h"
#include "edit/properties.h"
#include "edit/resize.h"
#include "formats/common/flow_text.h"
#include "formats/open_flow.h"
#include "formats/save_flow.h"
#include "formats/webp/webp_settings.h"
#include "shell/batch.h"
#include "shell/batch_internal.h"
#include "shell/command_ids.h"
#include "shell/document_commands.h"
#include "shell/frame_edit.h"
#include "shell/geometry_commands.h"
#include "support/document.h"
#include "support/services.h"

namespace lw {
namespace {

using namespace lw::test;
using ::testing::HasSubstr;
using Edit = std::function<void(ShellState&)>;

// An output and how it is made here: the files read (' ' between the files of one input flag,
// '|' between two flags), the edit, and the registry's writer for the output's name or type.
struct Output {
  std::string name, from;
  Edit edit = nullptr;
  int type = 0;
  uint32_t bits = saveopt::Plain;
  uint32_t paletteWord = 0;     // how the inputs get their palette; 0 the stored way
  std::any formatOptions = {};  // the Save As panel's choice for the output's format
};

struct Row {
  std::vector<std::string> args;
  int exitCode = 0;
  std::vector<std::string> says = {};  // printed; none for an exit 0: nothing on standard error
  std::vector<Output> outputs = {};
  std::vector<std::string> absent = {};  // files it must not write
};

Edit Selected(std::vector<int> frames, std::function<void(ShellState&)> then) {
  return [=](ShellState& s) {
    SelectFrame(*s.document, -1, selmode::Only);
    for (int i : frames) SelectFrame(*s.document, i, selmode::Toggle);
    s.currentFrame = frames.front();
    then(s);
  };
}
Edit Resized(uint32_t w, uint32_t h, bool bicubic) {
  return [=](ShellState& s) {
    ResizeRequest r;
    r.animation = s.document.get();
    r.wholeAnimation = true;
    r.oldWidth = s.document->screenWidth;
    r.oldHeight = s.document->screenHeight;
    r.newWidth = w;
    r.newHeight = h;
    ApplyResize(r, bicubic, nullptr);
  };
}
Edit Turned(int command) {
  return [=](ShellState& s) { RunRotationCommand(*s.document, command, -1, nullptr); };
}
Edit Reduced(int n, bool dither) {
  return [=](ShellState& s) {
    AnimationPtr copy;
    ASSERT_TRUE(PrepareOptimize(s) &&
                MakeReducedCopy(*s.document, n, dither, nullptr, nullptr, &copy));
    KeepReducedCopy(*s.document, std::move(copy));
    AfterOptimize(s);
  };
}
// The level's own lossy amount comes with the GIF written, unless --lossy said otherwise.
Edit QualityReduced(int quality, bool levelLossy = true) {
  return [=](ShellState& s) {
    AnimationPtr copy;
    ASSERT_TRUE(MakeReducedCopyHq(*s.document, quality, false, false, nullptr, &copy));
    KeepReducedCopy(*s.document, std::move(copy));
    AfterOptimize(s);
    if (levelLossy) LossyCompressOverScreen(*s.document, QualityFor(quality).lossy, nullptr);
  };
}
Edit Optimized(uint32_t options) {
  return [=](ShellState& s) {
    PrepareOptimize(s);
    OptimizeInPlace(*s.document, OptimizeOptions(TrialOptions(options, false)), nullptr);
    AfterOptimize(s);
  };
}

class BatchTable : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadPreferences();  // as the program does at start
    // 12 x 8: a patterned full frame, a transparent patch, a patch restored to the background.
    AnimationPtr a = MakeDocument(12, 8);
    AddDrawnFrame(*a, 0, 0, 12, 8, [](uint32_t x, uint32_t y) { return (x * 3 + y * 5) % 16; });
    AddDrawnFrame(
        *a, 2, 1, 6, 5, [](uint32_t x, uint32_t y) { return (x + y) % 3 ? 9 : 15; }, 1, 15, 20);
    AddDrawnFrame(
        *a, 5, 3, 4, 4, [](uint32_t x, uint32_t) { return x % 2 ? 4 : 11; }, 2, -1, 30);
    for (const char* name : {"in.gif", "anim.psd", "icon.ico", "movie.avi", "frames/1.png",
                             "frames/2.png", "photo.jpg"})
      ASSERT_TRUE(Save(name, *a)) << name;
    const std::string whole = Contents(dir_.Path("in.gif"));
    dir_.Put("bad/a2.gif", whole.substr(0, whole.size() - 6));  // inside the third frame
    dir_.Put("bad/b2.gif", "GIF89a but nothing after");
    for (std::string name : {"in/A.gif", "in/b.GIF", "in/c.gif", "bad/a1.gif", "bad/a3.gif",
                             "bad/b1.gif", "bad/b3.gif", "my-files/a-1.gif", "big.gif"}) {
      const uint32_t w = name == "big.gif" ? 12 : 4;  // larger: the screen grows
      AnimationPtr solid = MakeDocument(w, w);
      AddSolidFrame(*solid, 0, 0, w, w, name[name.size() - 5] % 16);
      ASSERT_TRUE(Save(name, *solid)) << name;
    }
    dir_.Put("in/notes.txt", "not an image");
    dir_.Put("lists/lf.txt", "in/A.gif\nin/c.gif\n");
    dir_.Put("lists/crlf.txt", "in/c.gif\r\nin/A.gif");
    dir_.Put("lists/blank.txt", "in/A.gif\n\nin/c.gif\n");
    dir_.Put("folder.gif/x", "");  // a folder in the way
    dir_.Put("out-dir/x", "");
    // True colour: 2 x 600 colours, far more than a palette holds, so that the picture made at
    // one level differs from the one made at another.
    for (uint32_t k = 0; k < 2; ++k) {
      AnimationPtr photo = MakeDocument(30, 20);
      Frame* f = AddSolidFrame(*photo, 0, 0, 30, 20, 0);
      std::vector<uint8_t> plane(RgbStride(30) * 20);
      for (uint32_t y = 0; y < 20; ++y) {
        for (uint32_t x = 0; x < 30; ++x) {
          uint8_t* p = &plane[y * RgbStride(30) + 3 * x];
          p[0] = static_cast<uint8_t>(250 - y * 9 - k * 40);
          p[1] = static_cast<uint8_t>(y * 12 + x);
          p[2] = static_cast<uint8_t>(x * 8 + k);
        }
      }
      SetRgbPlane(f, std::move(plane));
      ASSERT_TRUE(Save("photos/" + std::to_string(k) + ".png", *photo));
    }
    AnimationPtr twins = MakeDocument(32, 32);
    AddSolidFrame(*twins, 0, 0, 16, 16, 1);
    AddSolidFrame(*twins, 8, 8, 16, 16, 2);
    ASSERT_TRUE(Save("twins.gif", *twins));
  }

  bool Save(const std::string& name, Animation& doc, int type = 0, uint32_t bits = saveopt::Plain,
            std::any formatOptions = {}) {
    std::filesystem::create_directories(std::filesystem::path(dir_.Path(name)).parent_path());
    SaveOptions options;
    options.optionBits = bits;
    options.formatOptions = std::move(formatOptions);
    return WriteAsType(dir_.Path(name), doc, options, type ? type : SaveTypeFromName(name),
                       nullptr);
  }
  // What the output must hold: the document read and edited here, through the same writer.
  std::string Expected(const Output& out) {
    ShellState state;
    std::istringstream loads(out.from);
    for (std::string load; std::getline(loads, load, '|');) {
      AnimationPtr chain, one;
      int count = 0;
      std::istringstream files(load);
      for (std::string file; files >> file; ++count) {
        EXPECT_NE(ReadAnyFile(dir_.Path(file), {}, nullptr, &one, nullptr), 0) << file;
        AppendToChain(&chain, std::move(one));
      }
      EXPECT_TRUE(FinishLoad(state, std::move(chain), "", count, nullptr, nullptr, out.paletteWord))
          << load;
    }
    if (!state.document) return "no document";
    if (out.edit) out.edit(state);
    ClearHistory();
    const std::string name = "expected/" + out.name;
    return Save(name, *state.document, out.type, out.bits, out.formatOptions)
               ? Contents(dir_.Path(name))
               : "none";
  }

  void Check(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(::testing::PrintToString(row.args));
      for (const Output& o : row.outputs) std::filesystem::remove(dir_.Path(o.name));
      for (const std::string& name : row.absent) std::filesystem::remove(dir_.Path(name));
      BatchRun run = RunBatchProgram(dir_, row.args);
      EXPECT_EQ(run.exitCode, row.exitCode) << run.errors;
      EXPECT_TRUE(row.exitCode != 0 || !row.says.empty() || run.errors.empty()) << run.errors;
      for (const std::string& text : row.says)
        EXPECT_THAT(run.errors + run.output, HasSubstr(text));
      for (const Output& o : row.outputs)
        EXPECT_TRUE(Contents(dir_.Path(o.name)) == Expected(o)) << o.name << " differs";
      for (const std::string& name : row.absent)
        EXPECT_FALSE(std::filesystem::exists(dir_.Path(name))) << name;
    }
  }

  TempDir dir_;
  ServicesScope services_;
};

// Inputs in name order, from patterns or lists, add up; outputs take the document as it is
// then, in the type their name says; a file that cannot be read ends the input.
TEST_F(BatchTable, InputsAndOutputs) {
  std::vector<std::string> all = {"-i", "in.gif"};
  std::vector<Output> outputs;
  for (std::string t :
       {"a.jpeg", "b.JPE", "c.dib", "d.png", "e.swf", "f.psd", "g.avi", "h.ico", "i.ani"}) {
    all.insert(all.end(), {"-o", t});
    outputs.push_back({t, "in.gif"});
  }
  const Edit optimized = [](ShellState& s) {
    OptimizeAnimation(*s.document, OptimizeOptions(GetPref(PrefOptimize)), nullptr);
  };
  const uint32_t trueColourRead = HighQualityMergeWord(batch::TrueColourReadQuality);
  // clang-format off
  Check({
      {{"-i", "in/*.gif", "-o", "o.gif"}, 0, {}, {{"o.gif", "in/A.gif in/b.GIF in/c.gif"}}},
      {{"-i", "bad/a?.gif", "-o", "o.gif"}, 1, {ResText(str::PartialRead)}, {{"o.gif", "bad/a1.gif bad/a2.gif"}}},
      {{"-i", "bad/b?.gif", "-o", "o.gif"}, 1, {}, {{"o.gif", "bad/b1.gif"}}},
      {{"-l", "lists/lf.txt", "-o", "o.gif"}, 0, {}, {{"o.gif", "in/A.gif in/c.gif"}}},
      {{"-L", "lists/crlf.txt", "-O", "o.gif"}, 0, {}, {{"o.gif", "in/c.gif in/A.gif"}}},
      {{"-l", "lists/blank.txt", "-o", "o.gif"}, 1, {}, {{"o.gif", "in/A.gif"}}},
      {{"-I", "in.gif", "-o", "1.gif", "-i", "big.gif", "-o", "2.gif", "-Z", "-o", "3.gif"}, 0, {},
       {{"1.gif", "in.gif"}, {"2.gif", "in.gif|big.gif"}, {"3.gif", "in.gif|big.gif", optimized}}},
      {{"-i", "my-files/a-*.gif", "-o", "out-dir/-b-2.gif"}, 0, {}, {{"out-dir/-b-2.gif", "my-files/a-1.gif"}}},
      {all, 0, {}, outputs},
      {{"-i", "photo.jpg", "-o", "o.gif"}, 0, {}, {{"o.gif", "photo.jpg", nullptr, 0, saveopt::Plain, trueColourRead}}},
      {{"-i", "frames/*.png", "-o", "o.gif"}, 0, {}, {{"o.gif", "frames/1.png frames/2.png"}}},
      {{"--quality", "90", "-i", "frames/*.png", "-o", "o.gif"}, 0, {},
       {{"o.gif", "frames/1.png frames/2.png", nullptr, 0, saveopt::Plain, HighQualityMergeWord(90)}}},
      {{"-i", "anim.psd", "-o", "o.gif"}, 0, {}, {{"o.gif", "anim.psd"}}},
      {{"-i", "icon.ico", "-o", "o.gif"}, 0, {}, {{"o.gif", "icon.ico"}}},
      // A clip's frames hold 24-bit data: they get the level too.
      {{"-i", "movie.avi", "-o", "o.gif"}, 0, {}, {{"o.gif", "movie.avi", nullptr, 0, saveopt::Plain, trueColourRead}}},
  });
  // clang-format on
}

TEST_F(BatchTable, FailuresAreToldAndSetTheExitCode) {
  // clang-format off
  Check({
      {{"-i", "in.gif", "-o", "clip.mkv"}, 1, {FormatResText(str::CannotSaveExtension, "mkv")}, {}, {"clip.mkv"}},
      {{"-i", "in.gif", "-o", "folder.gif"}, 1, {"folder.gif"}},
      {{"-i", "in.gif", "-o", "no-folder/out.gif"}, 1, {"no-folder/out.gif"}, {}, {"no-folder"}},
      {{"-i", "twins.gif", "-o", "twins.ico"}, 1, {"resolutions are duplicated"}, {}, {"twins.ico"}},
      {{"-o", "x.gif"}, 1, {"Nothing to output."}, {}, {"x.gif"}},
      {{"-z"}, 1, {"Nothing to optimize."}},
      {{"-q", "-o", "x.gif"}, 1, {"Unrecognized flag: -q"}, {}, {"x.gif"}},
      {{"-i", "none*.gif", "-o", "x.gif"}, 1, {"Input file none*.gif not found", "Input operation unsuccessful."}, {}, {"x.gif"}},
      {{"-l", "missing.txt"}, 1, {"Input file missing.txt not found"}},
      {{"-i", "in.gif", "in.gif", "-o", "x.gif"}, 1, {"Unrecognized flag: in.gif"}, {}, {"x.gif"}},
      // An edit without a document says so and the batch goes on, as -z does.
      {{"--reverse", "-i", "in.gif", "-o", "x.gif"}, 1, {"Aucune animation pour --reverse"}, {{"x.gif", "in.gif"}}},
  });
  // clang-format on
}

// A level given after the inputs makes the picture it makes before them: the frames read from
// true-colour files still hold their 24-bit data, which a read without a level (at its own
// level) leaves them. Indexed inputs keep the stored palette fitting (InputsAndOutputs).
TEST_F(BatchTable, QualityAfterTheInputsRebuildsFromTheTrueColours) {
  const std::string photos = "photos/0.png photos/1.png";
  const Edit levelLossy = [](ShellState& s) {
    LossyCompressOverScreen(*s.document, QualityFor(40).lossy, nullptr);
  };
  const Edit optimized = [](ShellState& s) {
    OptimizeAnimation(*s.document, OptimizeOptions(GetPref(PrefOptimize)), nullptr);
  };
  ASSERT_GT(QualityFor(40).lossy, 0);  // the level's own lossy step comes with the GIF too
  // clang-format off
  Check({
      {{"-i", "photos/*.png", "-o", "o.gif"}, 0, {}, {{"o.gif", photos, nullptr, 0, saveopt::Plain, HighQualityMergeWord(batch::TrueColourReadQuality)}}},
      {{"--quality", "40", "-i", "photos/*.png", "-o", "o.gif"}, 0, {}, {{"o.gif", photos, levelLossy, 0, saveopt::Plain, HighQualityMergeWord(40)}}},
      {{"-i", "photos/*.png", "--quality", "40", "-o", "o.gif"}, 0, {}, {{"o.gif", photos, levelLossy, 0, saveopt::Plain, HighQualityMergeWord(40)}}},
      // Twice: the second level still starts from the true colours.
      {{"--quality", "20", "-i", "photos/*.png", "--quality", "40", "-o", "o.gif"}, 0, {}, {{"o.gif", photos, levelLossy, 0, saveopt::Plain, HighQualityMergeWord(40)}}},
      // The optimizer drops the 24-bit data unasked, as the window's "Continuer" would.
      {{"-i", "photos/*.png", "-z", "-o", "o.gif"}, 0, {}, {{"o.gif", photos, optimized, 0, saveopt::Plain, HighQualityMergeWord(batch::TrueColourReadQuality)}}},
  });
  // clang-format on
}

// Each edit flag gives what the same engine call gives; flags apply left to right.
TEST_F(BatchTable, EditFlags) {
  auto edited = [](std::vector<std::string> flags, Edit edit, int type = 0,
                   uint32_t bits = saveopt::Plain) {
    flags.insert(flags.begin(), {"-i", "in.gif"});
    flags.insert(flags.end(), {"-o", "out.gif"});
    return Row{flags, 0, {}, {{"out.gif", "in.gif", edit, type, bits}}};
  };
  auto command = [](uint32_t (*run)(ShellState&)) { return [run](ShellState& s) { run(s); }; };
  const Edit rotateCropDelete = [](ShellState& s) {
    Turned(cmd::AnimationRotate90Cw)(s);
    CropAnimation(*s.document, ScreenRect{0, 0, 8, 6});
    Selected({0}, [](ShellState& t) { DeleteFramesCommand(t); })(s);
  };
  const Edit loopAndComment = [](ShellState& s) {
    SetLoopCountCommand(s, 65536);
    InsertComment(*s.document, static_cast<int>(CommentBlocks(*s.document).size()), "Bonjour");
  };
  // The caption's settings reach it: font and size, colour, place, frames and fade.
  const Edit captioned = [](ShellState& s) {
    TextStyle style;
    ParseFontName("DejaVu Sans:10", &style);
    ParseColourName("rouge", &style.colour);
    style.outlineWidth = 1;
    style.text = "Hé\nho";
    Layer layer;
    std::string detail;
    ASSERT_EQ(RenderText(style, &layer, &detail), 0);
    LayerOptions options;
    ParsePlacement("1,-2", &options.place);
    options.frames = {false, true, true};
    options.fadeIn = options.fadeOut = 1;
    options.opacity = 80;
    ASSERT_EQ(PaintLayer(*s.document, layer, options, nullptr), 0);
  };
  uint32_t strip = 0;
  ParseFramesChoice("strip", &strip);
  // clang-format off
  Check({
      edited({"--resize-method", "nearest", "--resize", "24x_"}, Resized(24, 16, false)),
      edited({"--resize=_x4"}, Resized(6, 4, false)),
      edited({"--resize-method", "bicubic", "--scale", "150"}, Resized(18, 12, true)),
      edited({"--rotate", "90"}, Turned(cmd::AnimationRotate90Cw)),
      edited({"--rotate", "270"}, Turned(cmd::AnimationRotate90Ccw)),
      edited({"--flip", "v"}, Turned(cmd::AnimationFlipVertical)),
      edited({"--crop", "2,1,8,6"}, [](ShellState& s) { CropAnimation(*s.document, ScreenRect{2, 1, 10, 7}); }),
      edited({"--colors", "4"}, Reduced(4, false)),
      edited({"--dither", "--colors", "3"}, Reduced(3, true)),
      edited({"--quality", "40"}, QualityReduced(40)),
      edited({"--quality", "40", "--lossy", "0"}, QualityReduced(40, false)),
      edited({"--lossy", "0", "--quality", "40"}, QualityReduced(40, false)),
      edited({"--delay", "25:0,-1"}, Selected({0, 2}, [](ShellState& s) { SetDelayCommand(s, 25); })),
      edited({"--delete", "-2--1"}, Selected({1, 2}, command(DeleteFramesCommand))),
      edited({"--reverse"}, Selected({0, 1, 2}, command(ReverseOrderCommand))),
      edited({"--ping-pong"}, command(PingPongCommand)),
      edited({"--unoptimize"}, command(UnoptimizeCommand)),
      edited({"--optimize"}, Optimized(optimize::Defaults)),
      edited({"--optimize=crop,useless,transparency"}, Optimized(optimize::CropFrames | optimize::RemoveUselessFrames | optimize::DuplicatesToTransparency)),
      edited({"--loop", "65536", "--comment", "Bonjour"}, loopAndComment),
      edited({"--lossy", "40"}, [](ShellState& s) { LossyCompressOverScreen(*s.document, 40, nullptr); }),
      // Taken as the GIF is written, after the optimizer, whatever the order of the flags.
      edited({"--lossy", "40", "--optimize"}, [](ShellState& s) { Optimized(optimize::Defaults)(s); LossyCompressOverScreen(*s.document, 40, nullptr); }),
      Row{{"--lossy", "40", "-i", "in.gif", "-o", "out.gif"}, 0, {}, {{"out.gif", "in.gif", [](ShellState& s) { LossyCompressOverScreen(*s.document, 40, nullptr); }}}},
      edited({"--rotate", "90", "--crop", "0,0,8,6", "--delete", "0"}, rotateCropDelete),
      edited({"--font", "DejaVu Sans:10", "--text-colour", "rouge", "--outline", "noir:1", "--place", "1,-2", "--text-frames", "1-2", "--fade", "1", "--opacity", "80", "--text", "Hé\\nho"}, captioned),
      // A forced type writes that type whatever the name; the frames side by side in one file.
      edited({"--type", "png"}, nullptr, SaveTypeFromName("x.png")),
      edited({"--type", "bmp", "--frames", "strip"}, nullptr, SaveTypeFromName("x.bmp"), strip),
      // A lossy WebP: the same file as the Save As panel's choice gives.
      Row{{"-i", "in.gif", "--webp", "60", "-o", "out.webp"}, 0, {}, {{"out.webp", "in.gif", nullptr, 0, saveopt::Plain, 0, WebpSettings{.filled = true, .lossy = true, .quality = 60}}}},
  });
  // clang-format on
}

// Every malformed or out-of-range argument is refused with its message and stops the batch.
TEST_F(BatchTable, BadArgumentsStopTheBatch) {
  auto refused = [](std::vector<std::string> flags, std::string message, bool last = false) {
    flags.insert(flags.begin(), {"-i", "in.gif"});
    // Nothing may follow a missing argument, or it would be taken for it.
    if (!last) flags.insert(flags.end(), {"-o", "out.gif"});
    return Row{flags, 1, {message}, {}, {"out.gif"}};
  };
  const std::string bad = "Valeur incorrecte pour ";
  // clang-format off
  Check({
      refused({"--resize", "0x5"}, bad + "--resize : 0x5"),
      refused({"--resize", "_x_"}, bad + "--resize : _x_"),
      refused({"--resize", "_x65535"}, "Dimensions trop grandes pour --resize : 98303x65535"),
      refused({"--scale", "0"}, bad + "--scale : 0"),
      refused({"--webp", "101"}, bad + "--webp : 101"),
      refused({"--rotate", "45"}, bad + "--rotate : 45"),
      refused({"--flip", "x"}, bad + "--flip : x"),
      refused({"--crop", "1,2,3"}, bad + "--crop : 1,2,3"),
      refused({"--crop", "4,0,9,8"}, "Le rectangle 4,0,9,8 sort de l’écran logique (12x8)"),
      refused({"--colors", "257"}, bad + "--colors : 257"),
      refused({"--quality", "0"}, bad + "--quality : 0"),
      refused({"--delay", "70000"}, bad + "--delay : 70000"),
      refused({"--delay", "5:1-"}, "Cadres incorrects pour --delay : 1- (l’animation a 3 cadre(s))"),
      refused({"--delete", "0-2"}, "Impossible de supprimer tous les cadres"),
      refused({"--loop", "-1"}, bad + "--loop : -1"),
      refused({"--lossy", "201"}, bad + "--lossy : 201"),
      refused({"--optimize=global,meta"}, bad + "--optimize : global,meta"),
      refused({"--comment", std::string(255, 'x')}, "Commentaire trop long : 254 caractères au plus"),
      refused({"--type", "xyz"}, bad + "--type : xyz"),
      refused({"--frames", "film"}, bad + "--frames : film"),
      refused({"--reverse=1"}, bad + "--reverse : 1"),
      refused({"--bogus"}, "Unrecognized flag: --bogus"),
      refused({"--font", "DejaVu Sans:0"}, bad + "--font : DejaVu Sans:0"),
      refused({"--outline", "noir"}, bad + "--outline : noir"),
      refused({"--place", "milieu"}, bad + "--place : milieu"),
      refused({"--opacity", "101"}, bad + "--opacity : 101"),
      refused({"--font", "Police Inconnue", "--text", "x"}, "La police « Police Inconnue » est introuvable sur ce système."),
      refused({"--text", " "}, "Le texte à ajouter est vide."),
      refused({"--place", "500,500", "--text", "x"}, "Rien de ce qui devait être ajouté ne tombe sur l’animation : aucun cadre n’a changé."),
      refused({"--text-frames", "7", "--text", "x"}, "Cadres incorrects pour --text : 7 (l’animation a 3 cadre(s))"),
      refused({"--overlay", "absent.png"}, "absent.png"),
      refused({"--resize"}, "Argument manquant pour --resize", true),
  });
  // clang-format on
}

// --info describes the document as it is at that point, under its first input's name; help and
// version go to standard output, from a program that names no Qt library. The input may carry
// the signature comment too (once any setting has been written), so each line is looked for alone.
TEST_F(BatchTable, InfoHelpAndVersion) {
  EXPECT_EQ(Contents(LW_LOOPWRIGHT_PATH).find("libQt6"), std::string::npos);
  // clang-format off
  Check({
      {{"-i", "in.gif", "--delete", "0", "--loop", "5", "--comment", "Bonjour, monde", "--info"}, 0,
       {"* in.gif : 2 cadre(s)\n  écran logique 12x8\n", "  lecture 5 fois\n", "  commentaire : Bonjour, monde\n",
        "  + cadre 0 : 6x5 à 2,1\n    disposition : laisser tel quel, délai 0,20 s\n    transparent 15\n",
        "    disposition : rétablir l’arrière-plan, délai 0,30 s\n"}},
      {{"--version"}, 0, {"Loopwright 4.0\n"}},
      {{"--help"}, 0, {"  --crop X,Y,L,H", "  -i MOTIF"}},
  });
  // clang-format on
}

}  // namespace
}  // namespace lw
