#include "formats/save_flow.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <thread>

#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "flow_fixture.h"
#include "formats/avi/video_out_format.h"
#include "formats/bmp/bmp_format.h"
#include "formats/common/flow_text.h"
#include "formats/format_registry.h"
#include "formats/gif/gif_format.h"
#include "formats/open_flow.h"
#include "formats/webp/webp_settings.h"
#include "platform/files.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST_F(FlowTest, SaveAsProposesANameForTheType) {
  AnimationPtr a = MakeDocument(4, 4);
  Flows().fileFolder = dir_.string() + "/";
  SaveAsRequest r = BuildSaveAsRequest(Flows(), nullptr, "", *a, savetype::Gif);
  EXPECT_EQ(r.folder + r.proposedName, dir_.string() + "/Sans titre.gif");
  Flows().saveAsType = savetype::Bmp;
  Flows().saveAsBits = 32;
  r = BuildSaveAsRequest(Flows(), nullptr, "", *a, -1);
  EXPECT_EQ(r.proposedName, "Sans titre.bmp");
  EXPECT_EQ(r.previousBits, 32u);
  r = BuildSaveAsRequest(Flows(), nullptr, "/f/clip.gif", *a, -1);
  EXPECT_EQ(r.folder + "|" + r.proposedName, "/f/|clip.bmp");
  r = BuildSaveAsRequest(Flows(), nullptr, "/f/clip.GIF", *a, savetype::Gif);
  EXPECT_EQ(r.proposedName, "clip.GIF");
  Flows().saveAsType = 0x0F;  // no format's
  EXPECT_EQ(BuildSaveAsRequest(Flows(), nullptr, "", *a, -1).type, savetype::Gif);
}

TEST_F(FlowTest, SignatureCommentIsReplacedAtTheFront) {
  AnimationPtr a = NumberedAnimation(1);
  AddComment(*a, DefaultSignature);
  AddComment(*a, "keep me");
  SaveSignature mine{"Mon atelier", "Mon atelier"};
  auto comments = [&] {
    std::vector<std::string> out;
    std::string text;
    for (Block* b = a->blocks->next; b; b = b->next)
      out.push_back(CommentText(b, &text) ? text : "frame");
    return out;
  };
  ASSERT_TRUE(ReplaceSignatureComment(*a, mine));
  EXPECT_THAT(comments(), ElementsAre("Mon atelier", "frame", "keep me"));
  // Saving again does not pile signatures up; with none wanted, none is left.
  mine.text.clear();
  ASSERT_TRUE(ReplaceSignatureComment(*a, mine));
  EXPECT_THAT(comments(), ElementsAre("frame", "keep me"));
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
  for (const char* name : {"photo.jpeg", "image.DIB", "clip.MKV"}) {
    SCOPED_TRACE(name);
    Headless().Reset();
    DocumentSession state;
    Use(state);
    state.document = NumberedAnimation(1);
    state.documentPath = Path(name), state.modified = true;
    const bool movie = std::string(name) == "clip.MKV";
    EXPECT_EQ(SaveCommand(state), !movie);
    EXPECT_EQ(state.modified, movie);
    EXPECT_EQ(ShownTexts(), movie ? std::vector{FormatResText(str::CannotSaveExtension, "MKV")}
                                  : std::vector<std::string>{});
    AnimationPtr back;
    EXPECT_EQ(
        ReadAnyFile(state.documentPath, Flows().read, nullptr, &back, nullptr) == ReadComplete,
        !movie);
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
  std::vector<std::string> kept = {
      ".gifLv12Lv.tmp.gif", ".gifnotes1",         ".gifAb12Cd.tmp.gif.bak",
      ".gifAb-2Cd.tmp.gif", ".gifAb12C.tmp.gif",  "photo.tmp.gif",
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
  for (int type : {0, SaveTypeCount() + 1})
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

// At every step of a replacement the target's name holds the old or the new content: the new
// file, written beside the file a link names, takes its place in one rename (a kill at any
// point leaves the old file or the new one). A failed rename leaves the old file and no
// temporary file.
TEST_F(FlowTest, ReplacingIsOneRenameSoTheTargetIsNeverMissing) {
  std::filesystem::create_directories(dir_ / "real");
  const std::string file = Path("real/clip.gif"), link = Path("clip.gif");
  std::filesystem::create_symlink("real/clip.gif", link);
  const std::string cannot = "Impossible d'écrire " + link + ".";
  for (bool fails : {false, true}) {
    SCOPED_TRACE(fails ? "the rename fails" : "success");
    Headless().Reset();
    Put(file, "old");
    ::chmod(file.c_str(), 0640);
    // The save flow's own temporary file, with the old file's mode.
    SaveTempFile reserved(SaveTempFolder(link), "gif");
    ASSERT_TRUE(reserved.Ok());
    const std::string& temp = reserved.Path();
    EXPECT_EQ(DirectoryPart(temp), Path("real/"));
    Put(temp, "new");
    MatchPermissions(temp, FollowLinks(link));
    std::vector<std::string> steps;
    Headless().rename = [&](const std::string& from, const std::string& to) {
      steps.push_back("rename " + BaseName(from).substr(0, 4) + " " + to + " " + Contents(link));
      return !fails && RenameFile(from, to);
    };
    Headless().remove = [&](const std::string& path) {
      steps.push_back("remove " + BaseName(path).substr(0, 4) + " " + Contents(link));
      return DeleteFile(path);
    };
    EXPECT_EQ(ReplaceWithTemp(link, temp), !fails);
    std::vector<std::string> expected = {"rename .gif " + file + " old"};
    if (fails) expected.push_back("remove .gif old");
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(Contents(link), fails ? "old" : "new");
    EXPECT_EQ(ShownTexts(), fails ? std::vector{cannot} : std::vector<std::string>{});
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0640));
    EXPECT_THAT(FolderNames(), ElementsAre("clip.gif", "real"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "real"), {}), 1);
  }
  // No target yet: the new file simply takes its name; no temporary file, no change.
  Headless().Reset();
  Headless().rename = nullptr, Headless().remove = nullptr;
  const std::string fresh = Path("fresh.gif"), temp = Path("new.tmp.gif");
  Put(temp, "new");
  EXPECT_TRUE(ReplaceWithTemp(fresh, temp));
  EXPECT_FALSE(ReplaceWithTemp(fresh, Path("gone.tmp.gif")));
  EXPECT_EQ(Contents(fresh), "new");
}

// A pipe or a character device named as the target, or through a link, is written into and
// stays what it is; a socket is refused. No rename ever reaches outside the test's folder.
TEST_F(FlowTest, PipesAndDevicesAreWrittenIntoNeverReplaced) {
  Headless().rename = [&](const std::string& from, const std::string& to) {
    if (DirectoryPart(to).rfind(dir_.string(), 0) != 0) {
      ADD_FAILURE() << "rename over " << to;
      return false;
    }
    return RenameFile(from, to);
  };
  AnimationPtr a = NumberedAnimation(2);
  const std::string pipe = Path("pipe.gif"), null = Path("null.gif"), socket = Path("sock.gif");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/null", null);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket.size(), sizeof address.sun_path);
  std::copy(socket.begin(), socket.end(), address.sun_path);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // The pipe's reader, open before the save so that it neither blocks nor misses the bytes.
  const int readEnd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(readEnd, 0);
  std::atomic<bool> saved{false};
  std::string received;
  std::thread reader([&] {
    char buffer[4096];
    for (;;) {
      pollfd p{readEnd, POLLIN, 0};
      ::poll(&p, 1, 100);
      const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
      if (n > 0) received.append(buffer, static_cast<size_t>(n));
      if (n == 0 && saved) break;
    }
  });
  SaveOptions options;
  const bool pipeSaved = WriteAsType(pipe, *a, options, savetype::Gif, nullptr);
  saved = true;
  reader.join();
  ::close(readEnd);
  EXPECT_TRUE(pipeSaved);
  Put(Path("received"), received);
  AnimationPtr back = ReadBack(Path("received"));
  ASSERT_TRUE(back);
  EXPECT_EQ(FrameNumbers(*back), (std::vector<int>{1, 2}));
  EXPECT_TRUE(WriteAsType(null, *a, options, savetype::Gif, nullptr));
  EXPECT_TRUE(ShownTexts().empty());
  EXPECT_FALSE(WriteAsType(socket, *a, options, savetype::Gif, nullptr));
  EXPECT_THAT(ShownTexts(), ElementsAre(FormatResText(str::NotARegularFile, socket)));
  ::close(listener);
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  EXPECT_TRUE(std::filesystem::is_symlink(null));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  EXPECT_TRUE(std::filesystem::is_socket(socket));
  EXPECT_THAT(FolderNames(), ElementsAre("null.gif", "pipe.gif", "received", "sock.gif"));
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
    UndoKind undoKind;  // the undo left
    uint32_t width;     // the width of the second frame afterwards
  } cases[] = {
      {"untitled, no dialog", "", NoDialog, -1, false, true, false, UndoKind::CropAnimation, 2},
      {"untitled, Save As", "", saveopt::AnimationChosen, -1, true, false, true, UndoKind::None, 2},
      {"one image of an untitled animation", "", saveopt::Plain, -1, true, true, false,
       UndoKind::CropAnimation, 2},
      {"missing folder", Path("missing-folder/saved.gif"), NoDialog, -1, false, true, true,
       UndoKind::CropAnimation, 2},
      {"crop declined", Path("declined.gif"), NoDialog, answer::No, false, true, true,
       UndoKind::ReverseAnimation, 4},
  };
  const std::string target = Path("saved.gif");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Headless().Reset();
    ClearHistory();
    std::filesystem::remove(target);
    DocumentSession state;
    Use(state);
    int window = 0;
    if (c.answer >= 0) state.owner = &window, Headless().QueueAnswer(c.answer);
    state.document = MakeDocument(4, 4);
    AddSolidFrame(*state.document, 0, 0, 4, 4, 1);
    AddSolidFrame(*state.document, 2, 2, 4, 4, 2);
    state.documentPath = c.path, state.modified = true;
    RecordUndo(UndoKind::ReverseAnimation, *state.document);
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
    if (c.undoKind == UndoKind::CropAnimation) {
      Undo(*state.document);
      EXPECT_EQ(Pixels(*FrameAt(*state.document, 1)), std::vector<uint8_t>(16, 2));
    }
  }
}

// Save over a file compressed with losses asks first when a window is there: Yes writes over
// it, No goes to Save As, Cancel saves nothing. A lossless file, or no window (the batch mode),
// asks nothing; a name no writer takes goes straight to Save As.
TEST_F(FlowTest, SaveOverALossyFileAsksFirst) {
  constexpr int NoQuestion = 0;
  const struct {
    const char* name;
    bool window;
    int answer;  // NoQuestion: none may be asked
    bool replaced, savedAs;
  } cases[] = {
      {"photo.jpg", true, answer::Yes, true, false},
      {"photo.jpg", true, answer::No, false, true},
      {"photo.jpg", true, answer::Cancel, false, false},
      {"photo.jpg", false, NoQuestion, true, false},
      {"lossy.webp", true, answer::Cancel, false, false},
      {"lossless.webp", true, NoQuestion, true, false},
      {"clip.mp4", true, answer::Cancel, false, false},
      {"clip.mkv", true, NoQuestion, false, true},
  };
  AnimationPtr source = MakeDocument(16, 16);  // unlike the document saved over it
  AddSolidFrame(*source, 0, 0, 16, 16, 9);
  AddSolidFrame(*source, 0, 0, 16, 16, 12);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.window ? " in the window" : " in a batch"));
    Headless().Reset();
    const std::string path = Path(c.name);
    SaveOptions first;
    first.formatOptions = WebpSettings{true, std::string(c.name) == "lossy.webp", 50};
    if (SaveTypeOfExtension(path) > 0 && SaveTypeOfExtension(path) != savetype::Mp4)
      ASSERT_TRUE(WriteAsType(path, *source, first, SaveTypeFromName(path), nullptr));
    else
      Put(path, "a clip");
    const std::string before = Contents(path);
    DocumentSession state;
    Use(state);
    int window = 0;
    if (c.window) state.owner = &window;
    state.document = NumberedAnimation(3, 16, 16);
    state.documentPath = path, state.modified = true;
    if (c.answer != NoQuestion) Headless().QueueAnswer(c.answer);
    bool dialog = false;
    Headless().saveAs = [&](const SaveAsRequest&, SaveAsChoice* choice) {
      dialog = true;
      *choice = {Path("other.gif"), savetype::Gif, {}};
      choice->options.optionBits = saveopt::AnimationChosen;
      return true;
    };
    EXPECT_EQ(SaveCommand(state), c.replaced || c.savedAs);
    EXPECT_EQ(Headless().PendingAnswers(), 0u);
    EXPECT_EQ(ShownTexts(), c.answer == NoQuestion
                                ? std::vector<std::string>{}
                                : std::vector{FormatResText(str::LossyResaveQuestion, c.name)});
    EXPECT_EQ(Contents(path) != before, c.replaced);
    EXPECT_EQ(dialog, c.savedAs);
    EXPECT_EQ(state.documentPath, c.savedAs ? Path("other.gif") : path);
    EXPECT_EQ(state.modified, !c.replaced && !c.savedAs);
    std::filesystem::remove(Path("other.gif"));
  }
}

// Save As with a name that covers the document remembers the choice when asked for -1.
TEST_F(FlowTest, SaveAsRemembersAChoiceThatCoversTheDocument) {
  DocumentSession state;
  Use(state);
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
  EXPECT_EQ(Flows().saveAsBits, saveopt::AnimationChosen);
  EXPECT_EQ(Flows().saveAsType, savetype::Gif);
  EXPECT_EQ(Flows().fileFolder, dir_.string() + "/");
  EXPECT_THAT(RecentFiles(), ElementsAre(Path("first.gif")));
}

}  // namespace
}  // namespace lw::test
