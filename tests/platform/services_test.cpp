#include "platform/services.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/flow_dialogs.h"
#include "platform/headless_services.h"
#include "support/temp_dir.h"

namespace lw {
namespace {

// Messages only, as the batch mode's counter and the fuzz targets install them.
class MessagesOnly : public PlatformServices {
 public:
  int MessageBox(WindowHandle, const std::string&, const std::string&, int) override {
    return answer::Ok;
  }
  bool Interactive() const override { return false; }
};

// The messages and the dialogs are installed apart: services that only carry messages leave the
// installed dialogs answering, and each one's nullptr gives back its own default.
TEST(Services, MessagesAndDialogsInstalledApart) {
  HeadlessServices scripted;
  scripted.SetEcho(false);
  scripted.QueuePaletteMergeAnswer(0x1234);
  scripted.QueueChosenFiles({"a.gif"});
  SetDialogs(&scripted);
  MessagesOnly messages;
  SetServices(&messages);
  EXPECT_EQ(&Services(), &messages);
  EXPECT_EQ(Dialogs().AskPaletteMerge(nullptr, 7), 0x1234u);
  std::vector<std::string> paths;
  EXPECT_TRUE(Dialogs().ChooseFiles(nullptr, 0, {}, false, &paths));
  EXPECT_EQ(paths, std::vector<std::string>{"a.gif"});
  SetServices(nullptr);
  EXPECT_EQ(&Dialogs(), static_cast<FlowDialogs*>(&scripted));
  SetDialogs(nullptr);
  EXPECT_EQ(&Dialogs(), static_cast<FlowDialogs*>(&DefaultHeadlessServices()));
  EXPECT_EQ(&Services(), static_cast<PlatformServices*>(&DefaultHeadlessServices()));
}

// A safe replacement renames and deletes for real until a test installs its own operations,
// and again once it takes them back.
TEST(Services, FileReplacementRealUnlessReplaced) {
  struct Refusing : ReplacementFiles {
    int calls = 0;
    bool Rename(const std::string&, const std::string&) override { return ++calls, false; }
    bool Remove(const std::string&) override { return ++calls, false; }
  } refusing;
  test::TempDir dir;
  const std::string a = dir.Put("a", "new"), b = dir.Put("b", "old");
  SetFileReplacement(&refusing);
  EXPECT_FALSE(FileReplacement().Rename(a, b));
  EXPECT_FALSE(FileReplacement().Remove(a));
  EXPECT_EQ(refusing.calls, 2);
  EXPECT_EQ(test::Contents(b), "old");
  SetFileReplacement(nullptr);
  EXPECT_TRUE(FileReplacement().Rename(a, b));
  EXPECT_EQ(test::Contents(b), "new");
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_TRUE(FileReplacement().Remove(b));
  EXPECT_FALSE(std::filesystem::exists(b));
}

}  // namespace
}  // namespace lw
