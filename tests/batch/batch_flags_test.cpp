// The long flags end to end: each one run by the real executable on an animation written here,
// its output read back and compared, picture by picture, with the same engine call made here on
// the same document.
#include <functional>

#include "batch/batch_fixture.h"
#include "colour/optimize_support.h"
#include "colour/optimize_trial.h"
#include "colour/reduce_trial.h"
#include "edit/crop_move.h"
#include "edit/properties.h"
#include "edit/resize.h"
#include "formats/open_flow.h"
#include "shell/batch.h"
#include "shell/command_ids.h"
#include "shell/document_commands.h"
#include "shell/frame_edit.h"
#include "shell/geometry_commands.h"

namespace lw {
namespace {

using namespace lw::testing_support;
using test::BatchTest;
using test::RunResult;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// The same change made here: what the window's dialog or command calls on OK.
using EngineCall = std::function<void(ShellState&)>;

void Resized(ShellState& s, uint32_t w, uint32_t h, bool bicubic) {
  ResizeRequest r;
  r.animation = s.document.get();
  r.oldWidth = s.document->screenWidth;
  r.oldHeight = s.document->screenHeight;
  r.newWidth = w;
  r.newHeight = h;
  ApplyResize(r, bicubic, nullptr);
}

void Selected(ShellState& s, std::vector<int> frames) {
  SelectFrame(*s.document, -1, selmode::Only);
  for (int i : frames) SelectFrame(*s.document, i, selmode::Toggle);
  s.currentFrame = frames.front();
}

void Reduced(ShellState& s, int n, bool dither) {
  AnimationPtr copy;
  ASSERT_TRUE(MakeReducedCopy(*s.document, n, dither, nullptr, nullptr, &copy));
  KeepReducedCopy(*s.document, std::move(copy));
}

struct FlagCase {
  const char* label;
  std::vector<std::string> flags;  // between the input and the output
  EngineCall engine;
  std::function<void(const Animation& out)> check;
};

class BatchFlagsTest : public BatchTest {
 protected:
  // 12 x 8: a patterned full frame, a transparent patch, a patch restored to the background.
  std::string Input() {
    AnimationPtr a = MakeDocument(12, 8);
    AddDrawnFrame(*a, 0, 0, 12, 8, [](uint32_t x, uint32_t y) { return (x * 3 + y * 5) % 16; });
    AddDrawnFrame(
        *a, 2, 1, 6, 5, [](uint32_t x, uint32_t y) { return (x + y) % 3 == 0 ? 15 : 9; }, 1, 15,
        20);
    AddDrawnFrame(
        *a, 5, 3, 4, 4, [](uint32_t x, uint32_t) { return x % 2 ? 4 : 11; }, 2, -1, 30);
    return Save("in.gif", *a);
  }
};

TEST_F(BatchFlagsTest, EveryEditShowsWhatTheSameEngineCallShows) {
  const FlagCase cases[] = {
      {"resize keeping the aspect",
       {"--resize-method", "nearest", "--resize", "24x_"},
       [](ShellState& s) { Resized(s, 24, 16, false); },
       [](const Animation& a) { EXPECT_EQ(a.screenHeight, 16u); }},
      {"resize by height",
       {"--resize=_x4"},
       [](ShellState& s) { Resized(s, 6, 4, false); },
       [](const Animation& a) { EXPECT_EQ(a.screenWidth, 6u); }},
      {"scale bicubic",
       {"--resize-method", "bicubic", "--scale", "150"},
       [](ShellState& s) { Resized(s, 18, 12, true); },
       [](const Animation& a) { EXPECT_EQ(a.screenWidth, 18u); }},
      {"rotate 90",
       {"--rotate", "90"},
       [](ShellState& s) {
         RunRotationCommand(*s.document, cmd::AnimationRotate90Cw, -1, nullptr);
       },
       [](const Animation& a) { EXPECT_EQ(a.screenWidth, 8u); }},
      {"rotate 180",
       {"--rotate", "180"},
       [](ShellState& s) { RunRotationCommand(*s.document, cmd::AnimationRotate180, -1, nullptr); },
       nullptr},
      {"rotate 270",
       {"--rotate", "270"},
       [](ShellState& s) {
         RunRotationCommand(*s.document, cmd::AnimationRotate90Ccw, -1, nullptr);
       },
       nullptr},
      {"flip h",
       {"--flip", "h"},
       [](ShellState& s) {
         RunRotationCommand(*s.document, cmd::AnimationFlipHorizontal, -1, nullptr);
       },
       nullptr},
      {"flip v",
       {"--flip", "v"},
       [](ShellState& s) {
         RunRotationCommand(*s.document, cmd::AnimationFlipVertical, -1, nullptr);
       },
       nullptr},
      {"crop",
       {"--crop", "2,1,8,6"},
       [](ShellState& s) {
         CropAnimation(*s.document, ScreenRect{2, 1, 10, 7});
       },
       [](const Animation& a) { EXPECT_EQ(a.screenWidth, 8u); }},
      {"colors", {"--colors", "4"}, [](ShellState& s) { Reduced(s, 4, false); }, nullptr},
      {"colors dithered",
       {"--dither", "--colors", "3"},
       [](ShellState& s) { Reduced(s, 3, true); },
       nullptr},
      {"delay all",
       {"--delay", "7"},
       [](ShellState& s) {
         for (Frame* f = FirstFrame(*s.document); f; f = NextFrame(f)) f->delay = 7;
       },
       [](const Animation& a) { EXPECT_EQ(FrameAt(a, 1)->delay, 7u); }},
      {"delay listed",
       {"--delay", "25:0,-1"},
       [](ShellState& s) {
         Selected(s, {0, 2});
         SetDelayCommand(s, 25);
       },
       [](const Animation& a) {
         EXPECT_EQ(FrameAt(a, 1)->delay, 20u);
         EXPECT_EQ(FrameAt(a, 2)->delay, 25u);
       }},
      {"delete",
       {"--delete", "1"},
       [](ShellState& s) {
         Selected(s, {1});
         DeleteFramesCommand(s);
       },
       [](const Animation& a) { EXPECT_EQ(a.frameCount, 2); }},
      {"delete a range",
       {"--delete", "-2--1"},
       [](ShellState& s) {
         Selected(s, {1, 2});
         DeleteFramesCommand(s);
       },
       [](const Animation& a) { EXPECT_EQ(a.frameCount, 1); }},
      {"reverse", {"--reverse"}, [](ShellState& s) { ReverseOrderCommand(s); }, nullptr},
      {"ping-pong",
       {"--ping-pong"},
       [](ShellState& s) { PingPongCommand(s); },
       [](const Animation& a) { EXPECT_GT(a.frameCount, 3); }},
      {"unoptimize",
       {"--unoptimize"},
       [](ShellState& s) { UnoptimizeCommand(s); },
       [](const Animation& a) { EXPECT_EQ(FrameAt(a, 2)->width, 12u); }},
      {"optimize named",
       {"--optimize=crop,useless,transparency"},
       [](ShellState& s) {
         OptimizeInPlace(*s.document,
                         optimize::CropFrames | optimize::RemoveUselessFrames |
                             optimize::DuplicatesToTransparency,
                         nullptr);
       },
       nullptr},
      {"optimize after unoptimize",
       {"--unoptimize", "--optimize"},
       [](ShellState& s) {
         UnoptimizeCommand(s);
         OptimizeInPlace(*s.document, TrialOptions(optimize::Defaults, false), nullptr);
       },
       [](const Animation& a) { EXPECT_LT(FrameAt(a, 2)->width, 12u); }},
      {"left to right",
       {"--rotate", "90", "--crop", "0,0,8,6", "--delete", "0"},
       [](ShellState& s) {
         RunRotationCommand(*s.document, cmd::AnimationRotate90Cw, -1, nullptr);
         CropAnimation(*s.document, ScreenRect{0, 0, 8, 6});
         Selected(s, {0});
         DeleteFramesCommand(s);
       },
       [](const Animation& a) { EXPECT_EQ(a.screenHeight, 6u); }},
  };
  const std::string in = Input();
  RunResult start = Run({"-i", in, "-o", Path("start.gif")});
  ASSERT_EQ(start.exitCode, 0) << start.errors;
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> args = {"-i", in};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    args.insert(args.end(), {"-o", Path("out.gif")});
    RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_THAT(r.errors, IsEmpty());
    AnimationPtr out = ReadBack(Path("out.gif"));
    ASSERT_NE(out, nullptr);

    ShellState expected;
    expected.document = ReadBack(Path("start.gif"));
    ASSERT_NE(expected.document, nullptr);
    expected.currentFrame = 0;
    c.engine(expected);
    ClearHistory();
    EXPECT_EQ(out->frameCount, expected.document->frameCount);
    EXPECT_EQ(out->screenWidth, expected.document->screenWidth);
    EXPECT_EQ(out->screenHeight, expected.document->screenHeight);
    EXPECT_TRUE(SameTimeline(Timeline(*out), Timeline(*expected.document)));
    if (c.check) c.check(*out);
  }
}

TEST_F(BatchFlagsTest, LoopCommentInfoAndTypeSetWhatTheyName) {
  const std::string in = Input();
  struct Case {
    std::string loop;
    uint32_t playCount;
  };
  for (const Case& c : {Case{"forever", 0}, Case{"none", 1}, Case{"5", 5}, Case{"65536", 65536}}) {
    RunResult r = Run({"-i", in, "--loop", c.loop, "-o", Path("loop.gif")});
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    AnimationPtr out = ReadBack(Path("loop.gif"));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->playCount, c.playCount) << c.loop;
  }

  RunResult r = Run({"-i", in, "--comment", "Bonjour, monde", "--comment=deux", "-o",
                     Path("comment.gif"), "--info"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr out = ReadBack(Path("comment.gif"));
  ASSERT_NE(out, nullptr);
  std::vector<std::string> comments;
  for (size_t i = 0; i < CommentBlocks(*out).size(); ++i)
    comments.push_back(CommentAt(*out, static_cast<int>(i)));
  EXPECT_THAT(comments, ::testing::IsSupersetOf({"Bonjour, monde", "deux"}));
  // --info describes the document as it is at that point, under its input's name.
  EXPECT_THAT(r.output, HasSubstr("* " + in + " : 3 cadre(s)\n"));
  EXPECT_THAT(r.output, HasSubstr("  écran logique 12x8\n"));
  EXPECT_THAT(r.output, HasSubstr("  commentaire : Bonjour, monde\n"));
  EXPECT_THAT(r.output, HasSubstr("  + cadre 1 : 6x5 à 2,1\n"
                                  "    disposition : laisser tel quel, délai 0,20 s\n"
                                  "    transparent 15\n"));
  EXPECT_THAT(r.output, HasSubstr("    disposition : rétablir l’arrière-plan, délai 0,30 s\n"));

  // A forced type writes that type whatever the name says; auto goes back to the name.
  r = Run(
      {"-i", in, "--type", "png", "-o", Path("frame.gif"), "--type=auto", "-o", Path("anim.gif")});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(Contents(Path("frame.gif")).substr(1, 3), "PNG");
  EXPECT_NE(ReadBack(Path("anim.gif")), nullptr);

  // --frames: one file per frame, numbered; or the frames side by side in one strip image.
  r = Run({"-i", in, "--frames", "individual", "-o", Path("f.png"), "--frames", "strip", "-o",
           Path("s.bmp")});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  AnimationPtr strip;
  for (const char* name : {"f1.png", "f2.png", "f3.png"})
    EXPECT_EQ(ReadAnyFile(Path(name), nullptr, &strip, nullptr), ReadComplete) << name;
  ASSERT_EQ(ReadAnyFile(Path("s.bmp"), nullptr, &strip, nullptr), ReadComplete);
  EXPECT_EQ(std::tie(strip->frameCount, strip->screenWidth, strip->screenHeight),
            std::make_tuple(int16_t(1), 36u, 8u));
}

TEST_F(BatchFlagsTest, BadArgumentsAreRefusedWithTheirMessage) {
  const std::string in = Input();
  struct Case {
    std::vector<std::string> flags;
    std::string message;
    bool stops = true;  // the output after it is not written
  };
  const std::string huge = "65535x65535";
  const Case cases[] = {
      {{"--resize", "0x5"}, "Valeur incorrecte pour --resize : 0x5"},
      {{"--resize", "-5x3"}, "Valeur incorrecte pour --resize : -5x3"},
      {{"--resize", "_x_"}, "Valeur incorrecte pour --resize : _x_"},
      {{"--resize", "12"}, "Valeur incorrecte pour --resize : 12"},
      {{"--resize", huge}, "Dimensions trop grandes pour --resize : " + huge},
      {{"--resize", "_x65535"}, "Dimensions trop grandes pour --resize : 98303x65535"},
      {{"--scale", "0"}, "Valeur incorrecte pour --scale : 0"},
      {{"--resize-method", "cubic"}, "Valeur incorrecte pour --resize-method : cubic"},
      {{"--rotate", "45"}, "Valeur incorrecte pour --rotate : 45"},
      {{"--flip", "x"}, "Valeur incorrecte pour --flip : x"},
      {{"--crop", "1,2,3"}, "Valeur incorrecte pour --crop : 1,2,3"},
      {{"--crop", "-1,0,4,4"}, "Valeur incorrecte pour --crop : -1,0,4,4"},
      {{"--crop", "4,0,9,8"}, "Le rectangle 4,0,9,8 sort de l’écran logique (12x8)"},
      {{"--colors", "1"}, "Valeur incorrecte pour --colors : 1"},
      {{"--colors", "257"}, "Valeur incorrecte pour --colors : 257"},
      {{"--delay", "70000"}, "Valeur incorrecte pour --delay : 70000"},
      {{"--delay", "5:1-"}, "Cadres incorrects pour --delay : 1- (l’animation a 3 cadre(s))"},
      {{"--delete", "3"}, "Cadres incorrects pour --delete : 3 (l’animation a 3 cadre(s))"},
      {{"--delete", "2-1"}, "Cadres incorrects pour --delete : 2-1"},
      {{"--delete", "0-2"}, "Impossible de supprimer tous les cadres"},
      {{"--loop", "-1"}, "Valeur incorrecte pour --loop : -1"},
      {{"--optimize=fast"}, "Valeur incorrecte pour --optimize : fast"},
      {{"--optimize=global,meta"}, "Valeur incorrecte pour --optimize : global,meta"},
      {{"--comment", std::string(255, 'x')}, "Commentaire trop long : 254 caractères au plus"},
      {{"--type", "xyz"}, "Valeur incorrecte pour --type : xyz"},
      {{"--frames", "film"}, "Valeur incorrecte pour --frames : film"},
      {{"--reverse=1"}, "Valeur incorrecte pour --reverse : 1"},
      {{"--bogus"}, "Unrecognized flag: --bogus"},
      {{"--resize"}, "Argument manquant pour --resize", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags.front());
    std::filesystem::remove(Path("out.gif"));
    std::vector<std::string> args = {"-i", in};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    // Missing arguments come last: nothing follows to be taken for them.
    if (c.stops) args.insert(args.end(), {"-o", Path("out.gif")});
    RunResult r = Run(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.errors, HasSubstr(c.message));
    EXPECT_FALSE(std::filesystem::exists(Path("out.gif")));
  }

  // An edit without a document says so and the batch goes on, as -z does.
  RunResult r = Run({"--reverse", "-i", in, "-o", Path("after.gif")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.errors, HasSubstr("Aucune animation pour --reverse"));
  EXPECT_TRUE(std::filesystem::exists(Path("after.gif")));
}

TEST_F(BatchFlagsTest, HelpAndVersionGoToStandardOutputWithoutQt) {
  // The program a script starts names no Qt library: the window is another program.
  EXPECT_EQ(Contents(LW_LOOPWRIGHT_PATH).find("libQt6"), std::string::npos);

  RunResult r = Run({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "Loopwright 4.0\n");
  r = Run({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.errors, IsEmpty());
  EXPECT_EQ(r.output, BatchHelpText());
  EXPECT_THAT(r.output, HasSubstr("  --crop X,Y,L,H"));
  EXPECT_THAT(r.output, Not(HasSubstr("%")));
}

}  // namespace
}  // namespace lw
