#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/headless_services.h"
#include "support/temp_dir.h"

namespace lw {
namespace {

using test::Contents;

int Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

TEST(FileNames, MatchWithoutRegardToCase) {
  // "pattern|name": accented letters are one character for '?' and fold their case; broken
  // UTF-8 is matched byte for byte.
  for (std::string c : {"*.GIF|anim.gif", "a?c|abc", "*|", "*a*b|xaxxab", "?t?.gif|été.gif",
                        "ÉTÉ*|été 2.gif", "ŒUVRE.*|œuvre.png", "?.gif|\xFF.gif"})
    EXPECT_TRUE(WildcardMatch(c.substr(0, c.find('|')), c.substr(c.find('|') + 1))) << c;
  for (std::string c : {"a?c|ac", "|a", "*a*b|xaxxa", "e*|été"})
    EXPECT_FALSE(WildcardMatch(c.substr(0, c.find('|')), c.substr(c.find('|') + 1))) << c;
  // Many stars against a long near miss must not take exponential time.
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*b", std::string(2000, 'a')));
}

TEST(Files, ListingAndReading) {
  test::TempDir dir;
  for (const char* name : {"b.gif", "A.gif", "c.GIF", "notes.txt", "d.gif/x"}) dir.Put(name, "x");
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(ListFolder(dir.Root(), "*.gif", &entries));
  std::string listed;
  for (const FolderEntry& e : entries) listed += e.name + (e.isFolder ? "/ " : " ");
  EXPECT_EQ(listed, "A.gif b.gif c.GIF d.gif/ ");
  EXPECT_FALSE(ListFolder(dir.Path("missing"), "*", &entries));
  EXPECT_TRUE(entries.empty());

  // Readable means a regular file that opens, without waiting on a pipe.
  std::string f = dir.Put("f", "data"), pipe = dir.Path("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_TRUE(FileReadable(f));
  EXPECT_FALSE(FileReadable(dir.Root()) || FileReadable(dir.Path("missing")));
  EXPECT_FALSE(FileReadable(pipe));  // and does not hang
  std::string text;
  EXPECT_FALSE(ReadWholeFile(f, 3, &text)) << "larger than allowed";
  EXPECT_TRUE(DeleteFile(f) && !FileExists(f) && !DeleteFile(f));
}

// Temporary files and folders are new and private; a file written in place of another is
// complete or not there at all, keeps the old one's permissions, and leaves nothing beside it.
TEST(Files, TemporariesAndSafeReplacement) {
  test::TempDir dir;
  std::string a = CreateTempFile(dir.Root(), "lw"), b = CreateTempFile(dir.Root(), "lw");
  EXPECT_TRUE(!a.empty() && a != b && BaseName(a).rfind("lw", 0) == 0 && Mode(a) == 0600) << a;
  EXPECT_TRUE(DeleteFile(a) && DeleteFile(b) && CreateTempFile(dir.Path("no"), "lw").empty());
  std::string folder = CreatePrivateTempFolder("lw-private-");
  EXPECT_EQ(Mode(folder), 0700);
  EXPECT_TRUE(DeleteFolderTree(folder) && !FileExists(folder));

  std::string f = dir.Put("f", "old");
  ::chmod(f.c_str(), 0644);
  ASSERT_TRUE(ReplaceFileContents(f, "new text"));
  EXPECT_EQ(Contents(f), "new text");
  EXPECT_EQ(Mode(f), 0644);
  dir.Put("folder/inside", "x");
  EXPECT_FALSE(ReplaceFileContents(dir.Path("folder"), "x")) << "a folder is in the way";
  EXPECT_FALSE(ReplaceFileContents(dir.Path("missing/f"), "x"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"f", "folder"})) << "a temporary is left";
}

TEST(Files, RenamingReplacesOrRefusesAndCrossesFileSystems) {
  test::TempDir dir;
  std::string a = dir.Put("a", "new"), b = dir.Put("b", "old"), c = dir.Path("c");
  EXPECT_FALSE(RenameFileNoReplace(a, b));
  EXPECT_EQ(Contents(b), "old");
  EXPECT_TRUE(RenameFile(a, b));
  EXPECT_TRUE(RenameFileNoReplace(b, c));
  EXPECT_FALSE(RenameFile(a, c));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"c"}));
  EXPECT_EQ(Contents(c), "new");

  // Across file systems the file is copied, with its permissions, and nothing stays behind.
  std::string source = CreateTempFile("/dev/shm", "lw-rename-");
  if (source.empty()) GTEST_SKIP() << "no /dev/shm";
  std::ofstream(source, std::ios::binary) << "moved";
  ::chmod(source.c_str(), 0640);
  ASSERT_TRUE(RenameFile(source, c));
  EXPECT_EQ(Contents(c) + std::to_string(Mode(c)), "moved416");
  EXPECT_FALSE(FileExists(source));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"c"})) << "a temporary copy is left";
}

// Without a display a box answers with its default button, so that a script never waits.
TEST(HeadlessServices, BoxesAnswerWithTheirDefaultButton) {
  HeadlessServices services;
  services.SetEcho(false);
  for (auto [style, expected] : {std::pair{mb::YesNoCancel | mb::DefButton3, answer::Cancel},
                                 {mb::AbortRetryIgnore | mb::DefButton2, answer::Retry},
                                 {mb::Ok | mb::DefButton3, answer::Ok}})  // no third button
    EXPECT_EQ(services.MessageBox(nullptr, "t", "c", style), expected) << style;
}

TEST(ShareFiles, EachFileComesFromTheFirstFolderThatHoldsIt) {
  // A share folder holding only the help must not hide the tutorial found after it (the
  // source tree's, in a build), nor make a missing file seem found.
  test::TempDir share;
  std::string help = share.Put("aide/loopwright.html", "<p>aide</p>");
  setenv("LOOPWRIGHT_SHARE", share.Root().c_str(), 1);
  std::string first = ShareFile("aide/loopwright.html");
  std::string tutorial = ShareFile("tutoriel/tutoriel.html"), none = ShareFile("aide/absent");
  unsetenv("LOOPWRIGHT_SHARE");
  EXPECT_EQ(first, std::filesystem::canonical(help).string());
  EXPECT_TRUE(FileReadable(tutorial) && tutorial.find(share.Root().string()) == std::string::npos)
      << tutorial;
  EXPECT_EQ(none, "");
}

}  // namespace
}  // namespace lw
