#include "platform/headless_services.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(HeadlessServices, IsTheDefaultAndComesBackWhenUninstalled) {
  HeadlessServices other;
  EXPECT_EQ(&Services(), &DefaultHeadlessServices());
  SetServices(&other);
  EXPECT_EQ(&Services(), &other);
  SetServices(nullptr);
  EXPECT_EQ(&Services(), &DefaultHeadlessServices());
  EXPECT_FALSE(Services().Interactive());
}

TEST(HeadlessServices, WritesCaptionAndTextToStandardError) {
  HeadlessServices services;
  testing::internal::CaptureStderr();
  services.MessageBox(nullptr, "Impossible d’ouvrir « a.gif ».", "Erreur", mb::Ok);
  services.MessageBox(nullptr, "Voulez-vous poursuivre?", "", mb::YesNo);
  services.SetEcho(false);
  services.MessageBox(nullptr, "tu", "", mb::Ok);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Erreur : Impossible d’ouvrir « a.gif ».\nVoulez-vous poursuivre?\n");
  EXPECT_EQ(services.Messages().size(), 3u);
  services.Reset();
  EXPECT_TRUE(services.Messages().empty());
}

TEST(HeadlessServices, DefaultAnswerIsTheBoxDefaultButton) {
  struct Case {
    int style, expected;
  };
  for (Case c : {Case{mb::Ok, answer::Ok}, Case{mb::OkCancel, answer::Ok},
                 Case{mb::YesNo | mb::IconExclamation, answer::Yes},
                 Case{mb::YesNoCancel | mb::DefButton3, answer::Cancel},
                 Case{mb::AbortRetryIgnore | mb::DefButton2, answer::Retry},
                 Case{mb::RetryCancel, answer::Retry},
                 Case{mb::Ok | mb::DefButton3, answer::Ok},  // no third button: the first
                 Case{0xE, answer::Ok}}) {                   // unknown buttons: an OK box
    HeadlessServices services;
    services.SetEcho(false);
    EXPECT_EQ(services.MessageBox(nullptr, "t", "c", c.style), c.expected) << c.style;
  }
}

TEST(HeadlessServices, EngineQuestionsTakeTheScriptThenTheStoredWord) {
  HeadlessServices services;
  services.QueuePaletteMergeAnswer(0);
  services.QueueOversizeInsertAnswer(7);
  EXPECT_EQ(services.PendingAnswers(), 2u);
  EXPECT_EQ(services.AskPaletteMerge(nullptr, 3), 0u);
  EXPECT_EQ(services.AskPaletteMerge(nullptr, 3), 3u);
  EXPECT_EQ(services.AskOversizeInsert(nullptr, 2), 7u);
  EXPECT_EQ(services.AskOversizeInsert(nullptr, 2), 2u);
  EXPECT_EQ(services.PendingAnswers(), 0u);
}

// Without a script nobody chooses a file, so a flow that opens the dialog ends as if cancelled.
TEST(HeadlessServices, OpenDialogTakesTheScriptedFilesThenCancels) {
  HeadlessServices services;
  const std::vector<FileFilter> gif{{"Fichiers GIF (*.gif)", "*.gif"}};
  services.QueueChosenFiles({"/a.gif", "/b.gif"});
  services.QueueChosenFiles({"/c.gif", "/d.gif"});
  services.QueueChosenFiles({});
  EXPECT_EQ(services.PendingAnswers(), 3u);
  std::vector<std::string> paths;
  ASSERT_TRUE(services.ChooseFiles(nullptr, 40230, gif, true, &paths));
  EXPECT_EQ(paths, (std::vector<std::string>{"/a.gif", "/b.gif"}));
  // A single-selection dialog gives one file at most.
  ASSERT_TRUE(services.ChooseFiles(nullptr, 40358, {}, false, &paths));
  EXPECT_EQ(paths, (std::vector<std::string>{"/c.gif"}));
  EXPECT_FALSE(services.ChooseFiles(nullptr, 40229, {}, true, &paths));
  EXPECT_FALSE(services.ChooseFiles(nullptr, 40229, {}, true, &paths));
  std::vector<int> titles;
  for (const FileQuestion& q : services.FileQuestions()) titles.push_back(q.titleId);
  EXPECT_EQ(titles, (std::vector<int>{40230, 40358, 40229, 40229}));
  EXPECT_EQ(services.FileQuestions()[0].filter, gif);
  services.Reset();
  EXPECT_TRUE(services.FileQuestions().empty());
  EXPECT_EQ(services.PendingAnswers(), 0u);
}

// Window tests keep their questions scripted while the window's own calls reach the desktop:
// notifications are counted and passed on, popups come from the desktop, and Reset keeps the
// sharing (it is set once per test program).
TEST(HeadlessServices, SharedWindowCallsReachTheDesktop) {
  struct Popup : ProgressView {
    void SetRange(int) override {}
    void SetPosition(int) override {}
    void Step() override {}
    void SetText(const std::string&) override {}
  };
  struct Desktop : PlatformServices {
    int undo = 0, recent = 0, popups = 0;
    WindowHandle owner = nullptr;
    int MessageBox(WindowHandle, const std::string&, const std::string&, int) override {
      return answer::Cancel;
    }
    bool Interactive() const override { return true; }
    void UndoHistoryChanged() override { ++undo; }
    void RecentFilesChanged() override { ++recent; }
    std::unique_ptr<ProgressView> OpenProgressPopup(WindowHandle on) override {
      ++popups;
      owner = on;
      return std::make_unique<Popup>();
    }
  } desktop;
  HeadlessServices services;
  services.SetEcho(false);
  int window = 0;
  EXPECT_EQ(services.OpenProgressPopup(&window), nullptr);
  services.UndoHistoryChanged();
  services.ShareWindowWith(&desktop);
  services.Reset();
  services.UndoHistoryChanged();
  services.UndoHistoryChanged();
  services.RecentFilesChanged();
  EXPECT_NE(services.OpenProgressPopup(&window), nullptr);
  EXPECT_EQ(desktop.owner, &window);
  EXPECT_EQ((std::vector<int>{desktop.undo, desktop.recent, desktop.popups}),
            (std::vector<int>{2, 1, 1}));
  EXPECT_EQ(services.UndoHistoryChanges(), 2);
  EXPECT_EQ(services.RecentFilesChanges(), 1);
  // Questions stay with the script: the desktop would have said Cancel.
  EXPECT_EQ(services.MessageBox(nullptr, "?", "", mb::YesNo), answer::Yes);
}

}  // namespace
}  // namespace lw
