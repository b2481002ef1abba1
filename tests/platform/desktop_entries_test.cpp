#include "platform/desktop_entries.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/files.h"

namespace lw {
namespace {

namespace fs = std::filesystem;

class DesktopEntriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = std::getenv("XDG_DATA_HOME");
    files_ = fs::path(data_).parent_path().string() + "/files";
    system_ = fs::path(data_).parent_path().string() + "/system";
    std::error_code ignored;
    for (const std::string& dir : {data_, files_, system_}) fs::remove_all(dir, ignored);
    fs::create_directories(files_);
    setenv("XDG_DATA_DIRS", system_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_DATA_DIRS");
    unsetenv("LOOPWRIGHT_SHARE");
  }

  std::string data_, files_, system_;
};

TEST_F(DesktopEntriesTest, CoEditorNameFromDesktopEntries) {
  fs::create_directories(data_ + "/applications/org.gimp");
  fs::create_directories(system_ + "/applications");
  std::ofstream(data_ + "/applications/org.gimp/gimp.desktop")
      << "[Desktop Action x]\nName=Wrong\n[Desktop Entry]\nName=GNU Image Manipulation Program\n"
         "Name[fr]=Programme de manipulation d’images GNU\nExec=\"/usr/bin/gimp-2.10\" %U\n";
  std::ofstream(system_ + "/applications/krita.desktop")
      << "[Desktop Entry]\nName=Krita\nExec=krita %F\n";
  std::ofstream(system_ + "/applications/hidden.desktop")
      << "[Desktop Entry]\nName=Hidden\nHidden=true\nExec=/usr/bin/tool\n";
  EXPECT_EQ(CoEditorDisplayName("/opt/gimp-2.10"), "Programme de manipulation d’images GNU");
  EXPECT_EQ(CoEditorDisplayName("/usr/local/bin/krita"), "Krita");
  EXPECT_EQ(CoEditorDisplayName("/usr/bin/tool"), "tool");
  EXPECT_EQ(CoEditorDisplayName("/usr/bin/unknown"), "unknown");
  EXPECT_EQ(CoEditorDisplayName(""), "");
}

// The editor chooser lists the applications that open images; the user's entry of an id hides
// the system's, hidden ones and those of other files stay out.
TEST_F(DesktopEntriesTest, ImageEditorsFromDesktopEntries) {
  fs::create_directories(data_ + "/applications/kde");
  fs::create_directories(system_ + "/applications/kde");
  const struct {
    std::string file;
    std::string keys;
  } entries[] = {
      {data_ + "/applications/kde/krita.desktop", "Name=Krita\nMimeType=image/png;\nExec=krita %F"},
      {system_ + "/applications/kde/krita.desktop", "Name=Old Krita\nMimeType=image/png;\nExec=k"},
      {system_ + "/applications/gimp.desktop",
       "Name=GIMP\nName[fr]=Programme GIMP\nMimeType=image/gif;\nExec=gimp %U\nIcon=gimp"},
      {system_ + "/applications/viewer.desktop",
       "Name=Visionneuse\nNoDisplay=true\nMimeType=image/png;\nExec=v"},
      {system_ + "/applications/text.desktop", "Name=Texte\nMimeType=text/plain;\nExec=t"},
      {system_ + "/applications/link.desktop", "Name=Lien\nMimeType=image/png;\nType=Link"},
  };
  for (const auto& e : entries) {
    bool link = e.keys.find("Type=Link") != std::string::npos;
    std::ofstream(e.file) << "[Desktop Entry]\n"
                          << (link ? "" : "Type=Application\n") << e.keys << "\n";
  }
  std::vector<ApplicationEntry> found = ImageEditorEntries();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name, "Krita");
  EXPECT_EQ(found[0].path, entries[0].file);
  EXPECT_EQ(found[1].name, "Programme GIMP");
  EXPECT_EQ(found[1].icon, "gimp");
  EXPECT_EQ(CoEditorDisplayName(found[1].path), "Programme GIMP");
  EXPECT_EQ(CoEditorCommandLine(found[1].path, "/t/x.png"),
            (std::vector<std::string>{"gimp", "/t/x.png"}));
  EXPECT_EQ(CoEditorCommandLine("/usr/bin/pinta", "/t/x.png"),
            (std::vector<std::string>{"/usr/bin/pinta", "/t/x.png"}));
}

TEST(ExecLine, FieldCodes) {
  const struct {
    const char* exec;
    std::vector<std::string> argv;
  } cases[] = {
      {"gimp-2.10 %U", {"gimp-2.10", "/t/a b.png"}},
      {"krita %f", {"krita", "/t/a b.png"}},
      {"pinta", {"pinta", "/t/a b.png"}},  // no code: the file is appended
      {"flatpak run --file-forwarding org.gimp.GIMP @@u %U @@",
       {"flatpak", "run", "--file-forwarding", "org.gimp.GIMP", "@@u", "/t/a b.png", "@@"}},
      {"\"/opt/My Editor/run\" --new %F %U", {"/opt/My Editor/run", "--new", "/t/a b.png"}},
      {"ed %i --name=%c %k 100%% %d",
       {"ed", "--icon", "ic", "--name=Ed", "/e.desktop", "100%", "/t/a b.png"}},
      {"sh -c \"echo \\\"\\$1\\\"\" %f", {"sh", "-c", "echo \"$1\"", "/t/a b.png"}},
      {"", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExpandExecLine(c.exec, "/t/a b.png", "ic", "Ed", "/e.desktop"), c.argv) << c.exec;
}

TEST_F(DesktopEntriesTest, ProgramDirFromTheEnvironment) {
  setenv("LOOPWRIGHT_SHARE", (files_ + "/").c_str(), 1);
  std::string dir;
  ASSERT_TRUE(GetProgramDir(&dir));
  EXPECT_EQ(dir, fs::canonical(files_).string());
  setenv("LOOPWRIGHT_SHARE", (files_ + "/missing").c_str(), 1);
  GetProgramDir(&dir);
  EXPECT_NE(dir, files_ + "/missing");
}

TEST_F(DesktopEntriesTest, GifEntryAddsAVerbOnly) {
  EXPECT_FALSE(IsGifAssociated());
  ASSERT_TRUE(WriteGifEntry("Editer avec Loopwright"));
  std::string entry = GifEntryPath();
  EXPECT_EQ(entry, data_ + "/applications/loopwright-editer.desktop");
  std::string text;
  ASSERT_TRUE(ReadWholeFile(entry, 1 << 16, &text));
  EXPECT_NE(text.find("Name=Editer avec Loopwright\n"), std::string::npos);
  EXPECT_NE(text.find("MimeType=image/gif;\n"), std::string::npos);
  EXPECT_NE(text.find("NoDisplay=true\n"), std::string::npos);
  EXPECT_NE(text.find("Exec=" + GetProgramPath() + " %f\n"), std::string::npos) << text;
  EXPECT_TRUE(IsGifAssociated());
  EXPECT_FALSE(fs::exists(data_ + "/applications/mimeapps.list"));

  std::string program = GetProgramPath();
  std::string upper = program;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::ofstream(entry) << "[Desktop Entry]\nExec=" << upper << " %f\n";
  EXPECT_TRUE(IsGifAssociated()) << "case does not count";
  std::ofstream(entry) << "[Desktop Entry]\nExec=/elsewhere/" << BaseName(program) << " %f\n";
  EXPECT_FALSE(IsGifAssociated()) << "another folder is another program";

  ASSERT_TRUE(UnassociateGif());
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_FALSE(IsGifAssociated());
}

}  // namespace
}  // namespace lw
