#include "formats/save_flow.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "flow_fixture.h"
#include "formats/flow_text.h"
#include "formats/format_registry.h"
#include "formats/open_flow.h"
#include "platform/files.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST_F(FlowTest, SaveAsProposesANameForTheType) {
  AnimationPtr a = MakeDocument(4, 4);
  SetInitDir(dir_.string());
  SaveAsRequest r = BuildSaveAsRequest(nullptr, "", *a, savetype::Gif);
  EXPECT_EQ(r.folder + r.proposedName, dir_.string() + "/Sans titre.gif");
  SetPref(PrefSaveOptions, (32u << 16) | 0x0500 | savetype::Bmp);
  r = BuildSaveAsRequest(nullptr, "", *a, -1);
  EXPECT_EQ(r.proposedName, "Sans titre.bmp");
  r = BuildSaveAsRequest(nullptr, "/f/clip.gif", *a, -1);
  EXPECT_EQ(r.folder + "|" + r.proposedName, "/f/|clip.bmp");
  r = BuildSaveAsRequest(nullptr, "/f/clip.GIF", *a, savetype::Gif);
  EXPECT_EQ(r.proposedName, "clip.GIF");
  SetPref(PrefSaveOptions, 0x0F);
  EXPECT_EQ(BuildSaveAsRequest(nullptr, "", *a, -1).type, savetype::Gif);
}

TEST_F(FlowTest, SignatureCommentIsReplacedAtTheFront) {
  AnimationPtr a = NumberedAnimation(1);
  AddComment(*a, DefaultSignature);
  AddComment(*a, "keep me");
  SetSignature("Mon atelier");
  auto comments = [&] {
    std::vector<std::string> out;
    std::string text;
    for (Block* b = a->blocks->next; b; b = b->next)
      out.push_back(CommentText(b, &text) ? text : "frame");
    return out;
  };
  ASSERT_TRUE(ReplaceSignatureComment(*a));
  EXPECT_THAT(comments(), ElementsAre("Mon atelier", "frame", "keep me"));
  // Saving again does not pile signatures up; with none wanted, none is left.
  SetPrefOn(Pref::NoSignatureComment, true);
  ASSERT_TRUE(ReplaceSignatureComment(*a));
  EXPECT_THAT(comments(), ElementsAre("frame", "keep me"));
  SetSignature(DefaultSignature);
}

TEST_F(FlowTest, WriteAsTypeReplacesTheTargetAndLeavesNothingBehind) {
  std::string target = WriteSolidGif("clip.gif", 4, 4, {1});
  ::chmod(target.c_str(), 0640);
  AnimationPtr a = NumberedAnimation(2, 6, 6);
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(target, *a, options, savetype::Gif, nullptr));
  AnimationPtr back = ReadBack(target);
  ASSERT_TRUE(back);
  EXPECT_EQ(FrameNumbers(*back), (std::vector<int>{1, 2}));
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_THAT(FolderNames(), ElementsAre("clip.gif"));
}

// Save writes what the name says, so the file opens again (a JPEG named .jpeg is no GIF); a
// movie name is refused rather than given GIF bytes.
TEST_F(FlowTest, SaveWritesTheTypeItsNameSays) {
  for (const char* name : {"photo.jpeg", "image.DIB", "clip.MP4"}) {
    SCOPED_TRACE(name);
    Headless().Reset();
    ShellState state;
    state.document = NumberedAnimation(1);
    state.documentPath = Path(name), state.modified = true;
    const bool movie = std::string(name) == "clip.MP4";
    EXPECT_EQ(SaveCommand(state), !movie);
    EXPECT_EQ(state.modified, movie);
    EXPECT_EQ(ShownTexts(), movie ? std::vector{FormatResText(str::CannotSaveExtension, "MP4")}
                                  : std::vector<std::string>{});
    AnimationPtr back;
    EXPECT_EQ(ReadAnyFile(state.documentPath, nullptr, &back, nullptr) == ReadComplete, !movie);
  }
}

// A save holds one temporary file beside its target while it writes; the ones killed saves
// left behind go at the next save into the folder, and nothing else does.
TEST_F(FlowTest, SavesLeaveOneTemporaryFileAndClearTheStaleOnes) {
  for (const char* name : {".gifAb12Cd.tmp.gif", ".pngZz99Yy.tmp.png", ".aviAb12Cd.tmp.avi",
                           ".aviAb12Cd.tmp.avi1.avi"})
    Put(Path(name), "old");
  Put(Path(".gifQw34Er"), "");  // the empty name reservation of older saves
  // A save still running elsewhere, a reservation not empty, the user's names, a link, a folder.
  std::vector<std::string> kept = {".gifLv12Lv.tmp.gif", ".gifnotes1", ".gifAb12Cd.tmp.gif.bak",
                                   ".gifAb-2Cd.tmp.gif", ".gifAb12C.tmp.gif", "photo.tmp.gif",
                                   ".txtAb12Cd.tmp.txt", ".gifLk12Lk.tmp.gif", ".gifDr12Dr.tmp.gif"};
  for (size_t i = 0; i + 2 < kept.size(); ++i) Put(Path(kept[i]), "mine");
  std::filesystem::create_symlink(Path("photo.tmp.gif"), Path(kept[7]));
  std::filesystem::create_directory(Path(kept[8]));
  int live = ::open(Path(kept[0]).c_str(), O_RDONLY);
  ASSERT_TRUE(LockOpenFile(live));
  std::vector<std::string> hidden;  // the folder's hidden names at the final rename
  Headless().rename = [&hidden](const std::string& from, const std::string& to) {
    for (const auto& e : std::filesystem::directory_iterator(DirectoryPart(to)))
      if (e.path().filename().string()[0] == '.') hidden.push_back(e.path().filename());
    return RenameFile(from, to);
  };
  AnimationPtr a = MakeDocument(4, 4);
  AddSolidFrame(*a, 0, 0, 4, 4, 1);
  SaveOptions options;
  const bool saved = WriteAsType(Path("a.gif"), *a, options, savetype::Gif, nullptr);
  Headless().rename = nullptr;
  ::close(live);
  ASSERT_TRUE(saved);
  std::erase_if(hidden, [&](const std::string& n) {
    return std::find(kept.begin(), kept.end(), n) != kept.end();
  });
  EXPECT_THAT(hidden, ElementsAre(::testing::MatchesRegex("\\.gif[A-Za-z0-9]{6}\\.tmp\\.gif")));
  kept.push_back("a.gif");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(FolderNames(), kept);
}

TEST_F(FlowTest, AFailedWriteNeverTouchesTheTargetAndSaysSo) {
  AnimationPtr a = MakeDocument(4, 4);
  AddSolidFrame(*a, 0, 0, 4, 4, 1);
  SaveOptions options;
  Put(Path("clip.png"), "old picture");
  for (int type : {0, savetype::Count + 1})
    EXPECT_FALSE(WriteAsType(Path("clip.png"), *a, options, type, nullptr));
  // Documents the GIF writer refuses, whole or as one image: the message names the target.
  AnimationPtr wide = MakeDocument(70000, 1);
  AddSolidFrame(*wide, 0, 0, 70000, 1, 1);
  AnimationPtr noPixels = MakeDocument(4, 4);
  AddSolidFrame(*noPixels, 0, 0, 4, 4, 1)->dib.clear();
  const std::string gif = Path("clip.gif");
  Put(gif, "old animation");
  for (Animation* doc : {wide.get(), noPixels.get()})
    for (uint32_t bits : {saveopt::Plain, saveopt::StillImage}) {
      Headless().Reset();
      options.optionBits = bits;
      EXPECT_FALSE(WriteAsType(gif, *doc, options, savetype::Gif, nullptr)) << bits;
      EXPECT_THAT(ShownTexts(), ElementsAre("Impossible d'écrire " + gif + ".")) << bits;
    }
  EXPECT_EQ(Contents(Path("clip.png")) + Contents(gif), "old pictureold animation");
  EXPECT_THAT(FolderNames(), ElementsAre("clip.gif", "clip.png"));
}

TEST_F(FlowTest, SavingToASymbolicLinkWritesTheFileItNames) {
  std::filesystem::create_directories(dir_ / "real");
  std::string file = Path("real/clip.gif");
  Put(file, "old");
  std::filesystem::create_symlink("real/clip.gif", dir_ / "relative.gif");
  std::filesystem::create_symlink(dir_ / "relative.gif", dir_ / "chained.gif");
  std::filesystem::create_symlink("real/new.gif", dir_ / "dangling.gif");
  AnimationPtr a = NumberedAnimation(1);
  for (const char* link : {"relative.gif", "chained.gif", "dangling.gif"}) {
    SaveOptions options;
    ASSERT_TRUE(WriteAsType(Path(link), *a, options, savetype::Gif, nullptr)) << link;
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / link)) << link;
    EXPECT_TRUE(ReadBack(Path(link))) << link;
  }
  EXPECT_TRUE(ReadBack(file) && ReadBack(Path("real/new.gif")));
  EXPECT_THAT(FolderNames(), ElementsAre("chained.gif", "dangling.gif", "real", "relative.gif"));
}

// Whatever fails, the old content is never lost: the target holds the old or the new file, or
// the set-aside copy the old one; nothing else is left behind.
TEST_F(FlowTest, ReplacingKeepsTheOldOrTheNewContentWhateverFails) {
  const std::string target = Path("clip.gif"), temp = Path("new.tmp.gif");
  const std::string cannot = "Impossible d'écrire " + target + ".";
  struct Case {
    const char* name;
    int failRename;  // the n-th rename (0 sets the old file aside, 1 puts the new one in place)
    bool failLater;  // and every rename after it
    int failRemoves;  // of the set-aside copy
    bool ok;
    std::string target;  // its content; "" when gone
    std::vector<std::string> names, texts;
  } cases[] = {
      {"success", -1, false, 0, true, "new", {"clip.gif"}, {}},
      {"final rename fails: the old file comes back", 1, false, 0, false, "old", {"clip.gif"},
       {cannot}},
      {"set-aside fails: the target stays", 0, false, 0, false, "old",
       {"clip.gif", "new.tmp.gif"}, {cannot}},
      {"nothing renames back: the copy keeps the old content", 1, true, 0, false, "", {},
       {cannot, "Can't overwrite " + target + " and unable to recover that file after failure."}},
      {"a stubborn copy is retried five times, then reported", -1, false, 100, true, "new", {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Headless().Reset();
    for (const std::string& name : FolderNames()) std::filesystem::remove_all(Path(name));
    Put(target, "old");
    Put(temp, "new");
    int renames = 0, failRemoves = c.failRemoves;
    std::string aside;
    std::vector<int> sleeps;
    Headless().rename = [&](const std::string& from, const std::string& to) {
      const int call = renames++;
      if (call == 0) aside = to;
      if (call == c.failRename || (c.failLater && c.failRename >= 0 && call > c.failRename))
        return false;
      return RenameFile(from, to);
    };
    Headless().remove = [&](const std::string& path) {
      return path == aside && failRemoves-- > 0 ? false : DeleteFile(path);
    };
    Headless().pause = [&](int ms) { sleeps.push_back(ms); };
    EXPECT_EQ(ReplaceWithTemp(target, temp), c.ok);
    EXPECT_EQ(Contents(target), c.target);
    if (c.target.empty()) { EXPECT_EQ(Contents(aside), "old"); }
    if (!c.names.empty()) { EXPECT_EQ(FolderNames(), c.names); }
    if (c.failRemoves) {
      EXPECT_THAT(sleeps, ElementsAre(300, 300, 300, 300, 300));
      EXPECT_THAT(ShownTexts(), ElementsAre("Unable to delete temporary file " + aside +
                                            ". Please delete it manually."));
    } else {
      EXPECT_EQ(ShownTexts(), c.texts);
    }
  }
  // No target yet: the new file simply takes its name; no temporary file, no change.
  Headless().Reset();
  Headless().rename = nullptr, Headless().remove = nullptr, Headless().pause = nullptr;
  std::filesystem::remove(target);
  Put(temp, "new");
  EXPECT_TRUE(ReplaceWithTemp(target, temp));
  EXPECT_FALSE(ReplaceWithTemp(target, Path("gone.tmp.gif")));
  EXPECT_EQ(Contents(target), "new");
}

// The save command on a document whose second frame reaches past the screen, after one edit.
// The crop is an edit of its own: a failed save leaves it undoable, a declined one leaves the
// history as it was; a save of one image of an untitled animation leaves it untitled.
TEST_F(FlowTest, SaveCommandFlows) {
  constexpr int NoDialog = -1;
  const struct {
    const char* name;
    std::string path;  // the document's; "" untitled
    int dialogBits;    // what the Save As dialog chooses
    int answer;        // to the crop question (a window is there); -1: no window
    bool saved, modified, named;
    uint32_t undoKind, width;  // the undo left, the width of the second frame afterwards
  } cases[] = {
      {"untitled, no dialog", "", NoDialog, -1, false, true, false, undo::CropAnimation, 2},
      {"untitled, Save As", "", saveopt::AnimationChosen, -1, true, false, true, 0, 2},
      {"one image of an untitled animation", "", saveopt::Plain, -1, true, true, false,
       undo::CropAnimation, 2},
      {"missing folder", Path("missing-folder/saved.gif"), NoDialog, -1, false, true, true,
       undo::CropAnimation, 2},
      {"crop declined", Path("declined.gif"), NoDialog, answer::No, false, true, true,
       undo::ReverseAnimation, 4},
  };
  const std::string target = Path("saved.gif");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Headless().Reset();
    ClearHistory();
    std::filesystem::remove(target);
    ShellState state;
    int window = 0;
    if (c.answer >= 0) state.owner = &window, Headless().QueueAnswer(c.answer);
    state.document = MakeDocument(4, 4);
    AddSolidFrame(*state.document, 0, 0, 4, 4, 1);
    AddSolidFrame(*state.document, 2, 2, 4, 4, 2);
    state.documentPath = c.path, state.modified = true;
    RecordUndo(undo::ReverseAnimation, *state.document, nullptr, nullptr, 0);
    Headless().saveAs = [&](const SaveAsRequest&, SaveAsChoice* choice) {
      *choice = {target, savetype::Gif, {}};
      choice->options.optionBits = static_cast<uint32_t>(c.dialogBits);
      return c.dialogBits != NoDialog;
    };
    EXPECT_EQ(SaveCommand(state), c.saved);
    EXPECT_EQ(state.modified, c.modified);
    EXPECT_EQ(state.documentPath, c.named ? (c.path.empty() ? target : c.path) : "");
    EXPECT_EQ(CanUndoKind(), c.undoKind);
    EXPECT_EQ(FrameAt(*state.document, 1)->width, c.width);
    EXPECT_EQ(Headless().PendingAnswers(), 0u);
    if (c.path.find("missing") != std::string::npos) {
      EXPECT_THAT(ShownTexts(), ElementsAre(HasSubstr(c.path)));
    }
    AnimationPtr written = ReadBack(target);
    EXPECT_EQ(written && written->frameCount == 2, c.saved);
    if (c.undoKind == undo::CropAnimation) {
      Undo(*state.document);
      EXPECT_EQ(Pixels(*FrameAt(*state.document, 1)), std::vector<uint8_t>(16, 2));
    }
  }
}

// Save As with a name that covers the document remembers the choice when asked for -1.
TEST_F(FlowTest, SaveAsRemembersAChoiceThatCoversTheDocument) {
  ShellState state;
  state.document = NumberedAnimation(2);
  state.modified = true;
  Headless().saveAs = [&](const SaveAsRequest&, SaveAsChoice* choice) {
    *choice = {Path("first.gif"), savetype::Gif, {}};
    choice->options.optionBits = saveopt::AnimationChosen;
    return true;
  };
  EXPECT_TRUE(SaveAsCommand(state, -1));
  EXPECT_EQ(state.documentPath, Path("first.gif"));
  EXPECT_FALSE(state.modified);
  EXPECT_EQ(PrefFieldValue(PrefField::SaveOptionBits), saveopt::AnimationChosen);
  EXPECT_EQ(static_cast<int>(PrefFieldValue(PrefField::SaveType)), savetype::Gif);
  std::string dir;
  EXPECT_TRUE(GetInitDir(&dir) && dir == dir_.string() + "/");
}

}  // namespace
}  // namespace lw::test
