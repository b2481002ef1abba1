#include "platform/desktop_entries.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace lw {
namespace {

// The user's applications folder and a system one of the test's own.
class DesktopEntriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(user_);
    setenv("XDG_DATA_DIRS", system_.Root().c_str(), 1);
  }
  void TearDown() override { unsetenv("XDG_DATA_DIRS"); }
  void Entry(const test::TempDir& where, const std::string& name, const std::string& keys) {
    where.Put("applications/" + name, "[Desktop Entry]\nType=Application\n" + keys + "\n");
  }
  const std::string user_ = std::getenv("XDG_DATA_HOME");
  test::TempDir system_;
};

// The user's entry of an id hides the system's; hidden entries, links and those of other files
// stay out; names come in French when the entry has them.
TEST_F(DesktopEntriesTest, EditorsAndTheirNamesFromTheEntries) {
  std::string krita = user_ + "/applications/kde/krita.desktop";
  std::filesystem::create_directories(std::filesystem::path(krita).parent_path());
  std::ofstream(krita) << "[Desktop Entry]\nType=Application\nName=Krita\nMimeType=image/png;\n"
                          "Exec=krita %F\n";
  Entry(system_, "kde/krita.desktop", "Name=Old Krita\nMimeType=image/png;\nExec=k");
  Entry(system_, "gimp.desktop",
        "Name=GIMP\nName[fr]=Programme GIMP\nMimeType=image/gif;\nExec=\"/usr/bin/gimp-2.10\" %U\n"
        "Icon=gimp\n[Desktop Action x]\nName=Wrong");
  Entry(system_, "viewer.desktop", "Name=Vue\nNoDisplay=true\nMimeType=image/png;\nExec=v");
  Entry(system_, "text.desktop", "Name=Texte\nMimeType=text/plain;\nExec=t");
  Entry(system_, "link.desktop", "Name=Lien\nMimeType=image/png;\nType=Link");
  Entry(system_, "hidden.desktop", "Name=Hidden\nHidden=true\nExec=/usr/bin/tool");
  std::vector<ApplicationEntry> found = ImageEditorEntries();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name + "|" + found[0].path, "Krita|" + krita);
  EXPECT_EQ(found[1].name + "|" + found[1].icon, "Programme GIMP|gimp");
  EXPECT_EQ(CoEditorCommandLine(found[1].path, "/t/x.png"),
            (std::vector<std::string>{"/usr/bin/gimp-2.10", "/t/x.png"}));
  // A program chosen by its path is named after the entry that starts it.
  EXPECT_EQ(CoEditorDisplayName("/opt/gimp-2.10"), "Programme GIMP");
  EXPECT_EQ(CoEditorDisplayName("/usr/local/bin/krita"), "Krita");
  EXPECT_EQ(CoEditorDisplayName("/usr/bin/tool"), "tool");
}

TEST(ExecLine, FieldCodes) {
  const struct {
    const char* exec;
    std::vector<std::string> argv;
  } cases[] = {
      {"gimp-2.10 %U", {"gimp-2.10", "/t/a b.png"}},
      {"pinta", {"pinta", "/t/a b.png"}},  // no code: the file is appended
      {"flatpak run --file-forwarding org.gimp.GIMP @@u %U @@",
       {"flatpak", "run", "--file-forwarding", "org.gimp.GIMP", "@@u", "/t/a b.png", "@@"}},
      {"\"/opt/My Editor/run\" --new %F %U", {"/opt/My Editor/run", "--new", "/t/a b.png"}},
      {"ed %i --name=%c %k 100%% %d",
       {"ed", "--icon", "ic", "--name=Ed", "/e.desktop", "100%", "/t/a b.png"}},
      {"sh -c \"echo \\\"\\$1\\\"\" %f", {"sh", "-c", "echo \"$1\"", "/t/a b.png"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExpandExecLine(c.exec, "/t/a b.png", "ic", "Ed", "/e.desktop"), c.argv) << c.exec;
}

// The verb is added for GIF files without touching the user's default application; an entry
// counts as ours only when it starts this very program.
TEST_F(DesktopEntriesTest, GifEntryAddsAVerbOnly) {
  EXPECT_FALSE(IsGifAssociated());
  ASSERT_TRUE(WriteGifEntry("Editer avec Loopwright"));
  std::string entry = GifEntryPath(), program = GetProgramPath();
  EXPECT_EQ(entry, user_ + "/applications/loopwright-editer.desktop");
  std::string text = test::Contents(entry);
  for (const std::string& line :
       {std::string("Name=Editer avec Loopwright"), std::string("MimeType=image/gif;"),
        std::string("NoDisplay=true"), "Exec=" + program + " %f"})
    EXPECT_NE(text.find(line + "\n"), std::string::npos) << line << "\n" << text;
  EXPECT_TRUE(IsGifAssociated());
  EXPECT_FALSE(std::filesystem::exists(user_ + "/applications/mimeapps.list"));

  std::string upper = program;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::ofstream(entry) << "[Desktop Entry]\nExec=" << upper << " %f\n";
  EXPECT_TRUE(IsGifAssociated()) << "case does not count";
  std::ofstream(entry) << "[Desktop Entry]\nExec=/elsewhere/" << BaseName(program) << " %f\n";
  EXPECT_FALSE(IsGifAssociated()) << "another folder is another program";
  ASSERT_TRUE(UnassociateGif());
  EXPECT_FALSE(std::filesystem::exists(entry) || IsGifAssociated());
}

}  // namespace
}  // namespace lw
