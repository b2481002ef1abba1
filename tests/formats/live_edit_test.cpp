// LiveEdit against a fake image editor: a shell script started as the co-editor that saves the
// exchange file the ways real editors do.
#include "formats/live_edit.h"

#include <gmock/gmock.h>
#include <poll.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/settings.h"
#include "formats/flow_fixture.h"
#include "formats/gif/gif_format.h"
#include "formats/open_flow.h"
#include "formats/png/png_entry.h"
#include "formats/psd/psd_format.h"
#include "platform/desktop_entries.h"
#include "platform/files.h"
#include "platform/process.h"

namespace lw::test {
namespace {

class LiveEditTest : public FlowTest {
 protected:
  void SetUp() override {
    FlowTest::SetUp();
    Use(state_);
    oldTmp_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    setenv("TMPDIR", dir_.c_str(), 1);
    state_.document = MakeDocument(8, 6);
    AddSolidFrame(*state_.document, 0, 0, 8, 6, 1)->delay = 30;
    AddSolidFrame(*state_.document, 2, 1, 4, 3, 2)->delay = 40;
    state_.currentFrame = 1;
  }
  void TearDown() override {
    EndLiveEdit();
    oldTmp_.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", oldTmp_.c_str(), 1);
    FlowTest::TearDown();
  }

  // A PNG of a w x h frame of one palette index, as an editor would save it.
  std::string EditedImage(const std::string& name, uint8_t index, uint32_t w = 4, uint32_t h = 3) {
    AnimationPtr a = MakeDocument(w, h);
    Frame* f = AddSolidFrame(*a, 0, 0, w, h, index);
    std::string path = Path(name);
    EXPECT_TRUE(WriteSingleImage(path, f, saveopt::Plain, savetype::Png, {}));
    return path;
  }

  // The co-editor: a script that runs body in the background with $1 the exchange file. Its
  // "pause N" says the test it got there and waits for Release(N): no step relies on timing.
  void UseEditor(const std::string& body, const std::string& name = "editor.sh") {
    const std::string script = Path(name), at = Path("at"), go = Path("go");
    Put(script, "#!/bin/sh\nf=\"$1\"\npause() { touch '" + at + "'$1; while [ ! -e '" + go +
                    "'$1 ]; do sleep 0.02; done; }\n(\n" + body + "\n) >/dev/null 2>&1 &\n");
    chmod(script.c_str(), 0700);
    Flows().coEditor = script;
  }
  void AwaitPause(int n) {
    for (int i = 0; i < 3000 && !FileExists(Path("at" + std::to_string(n))); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  void Release(int n) { Put(Path("go" + std::to_string(n)), ""); }

  // Waits up to ms for the watcher to wake the interface thread.
  static bool Woken(int ms) {
    pollfd p{LiveEditWakeFd(), POLLIN, 0};
    return poll(&p, 1, ms) == 1;
  }

  int RedOf(int index) {
    const Frame* f = FrameAt(*state_.document, index);
    return f->palette->entries[f->bits()[0]].red;
  }

  DocumentSession state_;
  std::string oldTmp_;
};

// Each way of saving gives exactly one re-import per save, of the complete file, however long
// the editor stays in the middle of it; undo brings each earlier image back.
TEST_F(LiveEditTest, EverySaveComesBackOnce) {
  const std::string first = EditedImage("a.png", 5), second = EditedImage("b.png", 9, 5, 2);
  const struct {
    const char* name;
    std::string save;  // shell commands saving $new over "$f", pausing as "pause $n"
  } ways[] = {
      {"in place", "{ head -c 40 \"$new\"; pause $n; tail -c +41 \"$new\"; } > \"$f\""},
      {"temporary then rename", "cp \"$new\" \"$f.part\"; pause $n; mv \"$f.part\" \"$f\""},
      {"delete then create", "rm \"$f\"; pause $n; cat \"$new\" > \"$f\""},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    ClearHistory();
    for (const char* signal : {"at0", "go0", "at1", "go1", "at2", "go2"})
      std::filesystem::remove(Path(signal));
    UseEditor("n=1; new='" + first + "'; " + way.save + "; pause 0; n=2; new='" + second + "'; " +
              way.save);
    const int before = RedOf(1);
    ASSERT_TRUE(StartLiveEdit(state_, 1) && LiveEditFrame() == 1);
    for (int n : {1, 2}) {
      AwaitPause(n);
      EXPECT_FALSE(n == 1 && Woken(2 * LiveEditSettleMs)) << "half a save taken";
      Release(n);
      ASSERT_TRUE(Woken(30000));
      ASSERT_NE(TakeLiveEditUpdate(state_), 0u) << ShownTexts().size();
      EXPECT_EQ(RedOf(1), n == 1 ? 5 : 9);
      Release(0);
    }
    EXPECT_FALSE(Woken(2 * LiveEditSettleMs) && TakeLiveEditUpdate(state_) != 0);
    // The frame kept its place and delay, took the new size; the other frame is untouched.
    const Frame* f = FrameAt(*state_.document, 1);
    EXPECT_THAT((std::vector<int64_t>{f->left, f->delay, f->width, f->DibWidth(), RedOf(0)}),
                ::testing::ElementsAre(2, 40, 5, 5, 1));
    Undo(*state_.document);
    EXPECT_TRUE(RedOf(1) == 5 && FrameAt(*state_.document, 1)->width == 4u);
    Undo(*state_.document);
    EXPECT_TRUE(RedOf(1) == before && CanUndoKind() == UndoKind::None);
    EndLiveEdit();
  }
  EXPECT_TRUE(ShownTexts().empty());
}

// The whole animation travels as a layered PSD and comes back one frame per layer, under one
// undo entry.
TEST_F(LiveEditTest, TheWholeAnimationComesBackFromItsLayers) {
  AnimationPtr edited = MakeDocument(8, 6);
  for (uint8_t index : {3, 4, 6}) AddSolidFrame(*edited, 0, 0, 8, 6, index);
  SaveOptions options;
  options.optionBits = saveopt::Plain;
  std::string layers = Path("edited.psd");
  ASSERT_TRUE(WriteAsType(layers, *edited, options, savetype::Psd, nullptr));
  // Named like GIMP, it counts as an editor of layers.
  UseEditor("pause 1; cp '" + layers + "' \"$f.part\"; mv \"$f.part\" \"$f\"", "gimp-2.10");
  ASSERT_TRUE(StartLiveEdit(state_, -1) && LiveEditFrame() == -1);
  Release(1);
  ASSERT_TRUE(Woken(30000));
  ASSERT_NE(TakeLiveEditUpdate(state_), 0u) << ShownTexts().size();
  ASSERT_EQ(state_.document->frameCount, 3);
  EXPECT_EQ(RedOf(2), 6);
  Undo(*state_.document);
  EXPECT_EQ(state_.document->frameCount, 2);
  EXPECT_TRUE(ShownTexts().empty());
}

TEST_F(LiveEditTest, SessionFolderIsPrivateAndGoesAway) {
  UseEditor("true");
  ASSERT_TRUE(StartLiveEdit(state_, 0));
  // A copy: the session's own name is cleared when it ends, and the folder is checked after.
  // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
  const std::string folder = LiveEditFolder();
  const std::string& file = LiveEditFile();
  struct stat st {};
  EXPECT_TRUE(stat(folder.c_str(), &st) == 0 && (st.st_mode & 0777) == 0700);
  EXPECT_EQ(folder.rfind(dir_.string(), 0), 0u);
  AnimationPtr written;
  ASSERT_EQ(ReadAnyFile(file, Flows().read, nullptr, &written, nullptr), ReadComplete);
  EXPECT_EQ(SaveTypeFromName(file), savetype::Png);
  EXPECT_EQ(FirstFrame(*written)->width, 8u);
  EndLiveEdit();
  EXPECT_FALSE(LiveEditActive() || FileExists(folder));
}

TEST_F(LiveEditTest, RefusalsLeaveNothingBehind) {
  const struct {
    const char* editor;
    int frame, frames;  // the frame asked for, the frames of the document
    bool started;
    std::string shown;  // start of the message
  } cases[] = {
      {"/nonexistent/gimp", 0, 2, false, "Une erreur est survenue lors de la tentative"},
      {"/bin/true", -1, 2, false, "Impossible de démarrer la session LiveEdit d’une animation"},
      {"/bin/true", -1, 1, true, ""},  // one frame: a frame session with any editor
      {"/bin/true", 5, 2, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.editor + std::to_string(c.frame));
    Headless().Reset();
    state_.document = NumberedAnimation(c.frames);
    Flows().coEditor = c.editor;
    EXPECT_EQ(StartLiveEdit(state_, c.frame), c.started);
    EXPECT_EQ(LiveEditActive(), c.started);
    if (c.started) {
      EXPECT_EQ(LiveEditFrame(), 0);
    }
    const std::vector<std::string> shown = ShownTexts();
    EXPECT_EQ(shown.size(), c.shown.empty() ? 0u : 1u);
    EXPECT_TRUE(shown.empty() || shown[0].rfind(c.shown, 0) == 0) << shown[0];
    EndLiveEdit();
    EXPECT_EQ(FolderNames(), std::vector<std::string>{}) << c.editor;
  }
}

TEST_F(LiveEditTest, ExchangeFormatFollowsTheEditor) {
  AnimationPtr doc = NumberedAnimation(2);
  Frame* trueColour = FrameAt(*doc, 1);
  trueColour->rgbPlane.assign(RgbStride(trueColour->width) * trueColour->height, 0);
  const std::string entry = Path("org.gimp.GIMP.desktop");
  Put(entry, "[Desktop Entry]\nType=Application\nName=GIMP\nExec=flatpak run org.gimp.GIMP %U\n");
  const struct {
    std::string editor;
    int frame, type;
  } cases[] = {
      {"/usr/bin/gimp-2.10", -1, savetype::Psd},
      {"/usr/bin/gimp-2.10", 0, savetype::Png},
      {"/usr/bin/gimp-2.10", 1, savetype::Psd},
      {"/usr/bin/krita", 1, savetype::Psd},
      {entry, 1, savetype::Psd},
      {"/usr/bin/pinta", 1, savetype::Png},
      {"C:/Adobe/FIREWORKS.EXE", 1, savetype::Gif},
      {"/opt/PHOTOSHP.EXE", 1, savetype::Psd},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LiveEditExchangeType(*doc, c.frame, c.editor), c.type) << c.editor << c.frame;
  SetCoEditor(entry);
  EXPECT_TRUE(PrefOn(Pref::CoEditorIsPhotoshop));
  EXPECT_EQ(CoEditorDisplayName(entry), "GIMP");
  SetCoEditor("/usr/bin/pinta");
  EXPECT_FALSE(PrefOn(Pref::CoEditorIsPhotoshop));
  EXPECT_EQ(LiveEditMenuText("/usr/bin/pinta"), "LiveEdit avec pinta...");
  EXPECT_EQ(LiveEditMenuText(""), "LiveEdit avec l'éditeur d'images...");
}

TEST_F(LiveEditTest, StaleFoldersOfDeadProcessesGo) {
  const std::string mine = "loopwright-liveedit-" + std::to_string(CurrentProcessId()) + "-pngA";
  for (const std::string name : {"loopwright-liveedit-99999999-pngB", mine.c_str(),
                                 "loopwright-liveedit-x", "other-99999999"}) {
    CreateFolders(Path(name));
    Put(Path(name) + "/f.png", "x");
  }
  EXPECT_EQ(RemoveStaleLiveEditFolders(), 1);
  EXPECT_THAT(FolderNames(),
              ::testing::ElementsAre(mine, "loopwright-liveedit-x", "other-99999999"));
}

}  // namespace
}  // namespace lw::test
