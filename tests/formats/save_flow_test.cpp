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
  EXPECT_EQ(r.proposedName, "Sans titre.gif");
  EXPECT_EQ(r.folder, dir_.string() + "/");
  SetPref(PrefSaveOptions, (32u << 16) | 0x0500 | savetype::Bmp);
  r = BuildSaveAsRequest(nullptr, "", *a, -1);
  EXPECT_EQ(r.proposedName, "Sans titre.bmp");
  EXPECT_EQ(r.previousBits, 32u);
  r = BuildSaveAsRequest(nullptr, "/f/clip.gif", *a, -1);
  EXPECT_EQ(r.folder, "/f/");
  EXPECT_EQ(r.proposedName, "clip.bmp");
  r = BuildSaveAsRequest(nullptr, "/f/clip.GIF", *a, savetype::Gif);
  EXPECT_EQ(r.proposedName, "clip.GIF");
  SetPref(PrefSaveOptions, 0x0F);
  EXPECT_EQ(BuildSaveAsRequest(nullptr, "", *a, -1).type, savetype::Gif);
}

TEST_F(FlowTest, SignatureCommentIsReplacedAtTheFront) {
  AnimationPtr a = MakeDocument(4, 4);
  AddSolidFrame(*a, 0, 0, 4, 4, 1);
  AddComment(*a, DefaultSignature);
  AddComment(*a, "keep me");
  SetSignature("Mon atelier");
  auto comments = [&] {
    std::vector<std::string> out;
    for (Block* b = a->blocks->next; b; b = b->next) {
      std::string text;
      out.push_back(CommentText(b, &text) ? text : "frame");
    }
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
  AnimationPtr a = MakeDocument(6, 6);
  AddSolidFrame(*a, 0, 0, 6, 6, 2);
  AddSolidFrame(*a, 0, 0, 6, 6, 3);
  SaveOptions options;
  ASSERT_TRUE(WriteAsType(target, *a, options, savetype::Gif, nullptr));
  AnimationPtr back = ReadBack(target);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->frameCount, 2);
  EXPECT_EQ(back->screenWidth, 6u);
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
    state.document = MakeDocument(4, 4);
    AddSolidFrame(*state.document, 0, 0, 4, 4, 1);
    state.documentPath = Path(name);
    state.modified = true;
    const bool movie = std::string(name) == "clip.MP4";
    EXPECT_EQ(SaveCommand(state), !movie);
    EXPECT_EQ(state.modified, movie);
    EXPECT_EQ(ShownTexts(), movie ? std::vector{FormatResText(str::CannotSaveExtension, "MP4")}
                                  : std::vector<std::string>{});
    AnimationPtr back;
    EXPECT_EQ(ReadAnyFile(state.documentPath, nullptr, &back, nullptr) == ReadComplete, !movie);
  }
}

// The hidden files of the target's folder when a save puts its file in place.
struct Watch {
  static bool Rename(const std::string& from, const std::string& to) {
    hidden.clear();
    for (const auto& e : std::filesystem::directory_iterator(DirectoryPart(to)))
      if (e.path().filename().string()[0] == '.') hidden.push_back(e.path().filename());
    return RenameFile(from, to);
  }
  static inline std::vector<std::string> hidden;
};

// A save holds one temporary file beside its target while it writes; the ones killed saves
// left behind go at the next save into the folder, and nothing else does.
TEST_F(FlowTest, SavesLeaveOneTemporaryFileAndClearTheStaleOnes) {
  std::vector<std::string> stale = {".gifAb12Cd.tmp.gif", ".pngZz99Yy.tmp.png", ".gifQw34Er",
                                    ".aviAb12Cd.tmp.avi", ".aviAb12Cd.tmp.avi1.avi"};
  std::vector<std::string> kept = {".gifLv12Lv.tmp.gif",      // a save still running elsewhere
                                   ".gifnotes1",              // not empty: no reserved name of ours
                                   ".gifAb12Cd.tmp.gif.bak",  // the user's names
                                   ".gifAb-2Cd.tmp.gif",
                                   ".gifAb12C.tmp.gif",
                                   "photo.tmp.gif",
                                   ".txtAb12Cd.tmp.txt",
                                   ".gifLk12Lk.tmp.gif"};  // a link
  for (const std::string& name : stale) Put(Path(name), name == ".gifQw34Er" ? "" : "old");
  for (const std::string& name : kept) Put(Path(name), "mine");
  std::filesystem::remove(Path(".gifLk12Lk.tmp.gif"));
  std::filesystem::create_symlink(Path("photo.tmp.gif"), Path(".gifLk12Lk.tmp.gif"));
  std::filesystem::create_directory(Path(".gifDr12Dr.tmp.gif"));
  kept.push_back(".gifDr12Dr.tmp.gif");
  int live = ::open(Path(".gifLv12Lv.tmp.gif").c_str(), O_RDONLY);
  ASSERT_TRUE(LockOpenFile(live));

  AnimationPtr a = MakeDocument(4, 4);
  AddSolidFrame(*a, 0, 0, 4, 4, 1);
  Headless().rename = Watch::Rename;
  SaveOptions options;
  const bool saved = WriteAsType(Path("a.gif"), *a, options, savetype::Gif, nullptr);
  Headless().rename = nullptr;
  ::close(live);
  ASSERT_TRUE(saved);
  std::vector<std::string> expected = kept;
  expected.push_back("a.gif");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderNames(), expected);
  // While it was written: the kept names and the one file of this save, named for its type.
  const auto hiddenKept =
      std::count_if(kept.begin(), kept.end(), [](const std::string& n) { return n[0] == '.'; });
  ASSERT_EQ(Watch::hidden.size(), static_cast<size_t>(hiddenKept) + 1);
  int own = 0;
  for (const std::string& name : Watch::hidden) {
    if (std::find(kept.begin(), kept.end(), name) != kept.end()) continue;
    ++own;
    EXPECT_THAT(name, ::testing::MatchesRegex("\\.gif[A-Za-z0-9]{6}\\.tmp\\.gif"));
  }
  EXPECT_EQ(own, 1);
}

TEST_F(FlowTest, AFailedWriteNeverTouchesTheTargetAndSaysSo) {
  std::string target = Path("clip.png");
  Put(target, "old picture");
  AnimationPtr a = MakeDocument(4, 4);
  AddSolidFrame(*a, 0, 0, 4, 4, 1);
  for (int type : {0, 11}) {
    SaveOptions options;
    EXPECT_FALSE(WriteAsType(target, *a, options, type, nullptr)) << type;
  }
  EXPECT_EQ(Contents(target), "old picture");
  EXPECT_THAT(FolderNames(), ElementsAre("clip.png"));

  // Documents the GIF writer refuses, whole or as one image: the message names the target.
  AnimationPtr wide = MakeDocument(70000, 1);
  AddSolidFrame(*wide, 0, 0, 70000, 1, 1);
  AnimationPtr noPixels = MakeDocument(4, 4);
  AddSolidFrame(*noPixels, 0, 0, 4, 4, 1)->dib.clear();
  std::string gif = Path("clip.gif");
  Put(gif, "old animation");
  for (Animation* doc : {wide.get(), noPixels.get()}) {
    for (uint32_t bits : {saveopt::Plain, saveopt::StillImage}) {
      Headless().Reset();
      SaveOptions options;
      options.optionBits = bits;
      EXPECT_FALSE(WriteAsType(gif, *doc, options, savetype::Gif, nullptr)) << bits;
      EXPECT_THAT(ShownTexts(), ElementsAre("Impossible d'écrire " + gif + ".")) << bits;
    }
  }
  EXPECT_EQ(Contents(gif), "old animation");
  EXPECT_THAT(FolderNames(), ElementsAre("clip.gif", "clip.png"));
}

TEST_F(FlowTest, SavingToASymbolicLinkWritesTheFileItNames) {
  std::filesystem::create_directories(dir_ / "real");
  std::string file = Path("real/clip.gif");
  Put(file, "old");
  std::filesystem::create_symlink("real/clip.gif", dir_ / "relative.gif");
  std::filesystem::create_symlink(dir_ / "relative.gif", dir_ / "chained.gif");
  std::filesystem::create_symlink("real/new.gif", dir_ / "dangling.gif");
  AnimationPtr a = MakeDocument(4, 4);
  AddSolidFrame(*a, 0, 0, 4, 4, 1);
  for (const char* link : {"relative.gif", "chained.gif", "dangling.gif"}) {
    SaveOptions options;
    ASSERT_TRUE(WriteAsType(Path(link), *a, options, savetype::Gif, nullptr)) << link;
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / link)) << link;
    AnimationPtr back = ReadBack(Path(link));
    ASSERT_TRUE(back) << link;
    EXPECT_EQ(back->frameCount, 1) << link;
  }
  EXPECT_TRUE(ReadBack(file));
  EXPECT_TRUE(ReadBack(Path("real/new.gif")));
  EXPECT_THAT(FolderNames(), ElementsAre("chained.gif", "dangling.gif", "real", "relative.gif"));
}

// Renames and deletions that fail on demand.
struct Injected {
  static inline int failRenameCall = -1;  // the n-th rename (0-based) fails; -1 none
  static inline bool failAllRenamesFrom = false;
  static inline int renames = 0;
  static inline int failRemoves = 0;  // removals of the set-aside copy that fail
  static inline int removeCalls = 0;
  static inline std::vector<int> sleeps;
  static inline std::string aside;

  static void Reset() {
    failRenameCall = -1;
    failAllRenamesFrom = false;
    renames = 0;
    failRemoves = 0;
    removeCalls = 0;
    sleeps.clear();
    aside.clear();
  }
  static bool Rename(const std::string& from, const std::string& to) {
    int call = renames++;
    if (call == 0) aside = to;
    if (failRenameCall >= 0 &&
        (call == failRenameCall || (failAllRenamesFrom && call > failRenameCall))) {
      return false;
    }
    return RenameFile(from, to);
  }
  static bool Remove(const std::string& path) {
    if (path == aside) {
      ++removeCalls;
      if (failRemoves > 0) {
        --failRemoves;
        return false;
      }
    }
    return DeleteFile(path);
  }
  static void Sleep(int ms) { sleeps.push_back(ms); }
};

class ReplaceTest : public FlowTest {
 protected:
  void SetUp() override {
    FlowTest::SetUp();
    Injected::Reset();
    Headless().rename = Injected::Rename;
    Headless().remove = Injected::Remove;
    Headless().pause = Injected::Sleep;
    target_ = Path("clip.gif");
    temp_ = Path("new.tmp.gif");
  }
  std::string target_, temp_;
};

// Whatever fails, the old content is never lost: the target holds the old or the new file, or
// the set-aside copy the old one; nothing else is left behind.
TEST_F(ReplaceTest, EveryFailureKeepsTheOldOrTheNewContent) {
  const std::string cannot = "Impossible d'écrire " + target_ + ".";
  struct Case {
    const char* name;
    int failRename;  // the n-th rename (0 sets the old file aside, 1 puts the new one in place)
    bool failLater;  // and every rename after it
    int failRemoves;
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
       {cannot, "Can't overwrite " + target_ + " and unable to recover that file after failure."}},
      {"a stubborn copy is retried five times, then reported", -1, false, 100, true, "new", {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Injected::Reset();
    Headless().Reset();
    for (const std::string& name : FolderNames()) std::filesystem::remove_all(Path(name));
    Put(target_, "old");
    Put(temp_, "new");
    Injected::failRenameCall = c.failRename;
    Injected::failAllRenamesFrom = c.failLater;
    Injected::failRemoves = c.failRemoves;
    EXPECT_EQ(ReplaceWithTemp(target_, temp_), c.ok);
    EXPECT_EQ(Contents(target_), c.target);
    if (c.target.empty()) {
      EXPECT_EQ(Contents(Injected::aside), "old");
    }
    if (!c.names.empty()) {
      EXPECT_EQ(FolderNames(), c.names);
    }
    if (c.failRemoves) {
      EXPECT_THAT(Injected::sleeps, ElementsAre(300, 300, 300, 300, 300));
      EXPECT_THAT(ShownTexts(), ElementsAre("Unable to delete temporary file " + Injected::aside +
                                            ". Please delete it manually."));
    } else {
      EXPECT_EQ(ShownTexts(), c.texts);
    }
  }
  // No target yet needs no copy; a temporary file that is not there renames nothing.
  std::filesystem::remove(target_);
  Put(temp_, "new");
  Injected::Reset();
  EXPECT_TRUE(ReplaceWithTemp(target_, temp_));
  EXPECT_EQ(Injected::renames, 1);
  Injected::Reset();
  EXPECT_FALSE(ReplaceWithTemp(target_, Path("gone.tmp.gif")));
  EXPECT_EQ(Injected::renames, 0);
  EXPECT_EQ(Contents(target_), "new");
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
    uint32_t undoKind;
    uint32_t width;  // of the second frame afterwards
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
    if (c.answer >= 0) {
      state.owner = &window;
      Headless().QueueAnswer(c.answer);
    }
    state.document = MakeDocument(4, 4);
    AddSolidFrame(*state.document, 0, 0, 4, 4, 1);
    AddSolidFrame(*state.document, 2, 2, 4, 4, 2);
    state.documentPath = c.path;
    state.modified = true;
    RecordUndo(undo::ReverseAnimation, *state.document, nullptr, nullptr, 0);
    Headless().saveAs = [&](const SaveAsRequest& request, SaveAsChoice* choice) {
      EXPECT_EQ(request.proposedName, "Sans titre.gif");
      choice->path = target;
      choice->type = savetype::Gif;
      choice->options.optionBits = static_cast<uint32_t>(c.dialogBits);
      return c.dialogBits != NoDialog;
    };
    EXPECT_EQ(SaveCommand(state), c.saved);
    EXPECT_EQ(state.modified, c.modified);
    EXPECT_EQ(state.documentPath, c.named ? (c.path.empty() ? target : c.path) : "");
    EXPECT_EQ(CanUndoKind(), c.undoKind);
    EXPECT_EQ(FrameAt(*state.document, 1)->width, c.width);
    EXPECT_EQ(Headless().PendingAnswers(), 0u);
    if (c.path == Path("missing-folder/saved.gif")) {
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

TEST_F(FlowTest, SaveAsRemembersAChoiceThatCoversTheDocument) {
  ShellState state;
  state.document = MakeDocument(4, 4);
  AddSolidFrame(*state.document, 0, 0, 4, 4, 1);
  AddSolidFrame(*state.document, 0, 0, 4, 4, 2);
  state.modified = true;
  const std::string target = Path("first.gif");
  // Save As with a name that covers the document remembers the choice when asked for -1.
  Headless().saveAs = [&](const SaveAsRequest&, SaveAsChoice* choice) {
    choice->path = target;
    choice->type = savetype::Gif;
    choice->options.optionBits = saveopt::AnimationChosen;
    return true;
  };
  EXPECT_TRUE(SaveAsCommand(state, -1));
  EXPECT_EQ(state.documentPath, target);
  EXPECT_FALSE(state.modified);
  EXPECT_EQ(PrefFieldValue(PrefField::SaveOptionBits), saveopt::AnimationChosen);
  EXPECT_EQ(static_cast<int>(PrefFieldValue(PrefField::SaveType)), savetype::Gif);
  std::string dir;
  ASSERT_TRUE(GetInitDir(&dir));
  EXPECT_EQ(dir, dir_.string() + "/");
}

}  // namespace
}  // namespace lw::test
