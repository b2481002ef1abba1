#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace lw {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = CreatePrivateTempFolder("lw-files-");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { DeleteFolderTree(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  std::string Read(const std::string& path) const {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path, 1 << 20, &text)) << path;
    return text;
  }

  std::string dir_;
};

TEST(FileNames, SplitAtLastSlash) {
  EXPECT_EQ(BaseName("/home/u/anim.gif"), "anim.gif");
  EXPECT_EQ(DirectoryPart("/home/u/anim.gif"), "/home/u/");
  EXPECT_EQ(BaseName("anim.gif"), "anim.gif");
  EXPECT_EQ(DirectoryPart("anim.gif"), "");
  EXPECT_EQ(BaseName("/home/u/"), "");
  EXPECT_EQ(DirectoryPart("/x"), "/");
  EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
  EXPECT_EQ(WithTrailingSlash("/a/"), "/a/");
  EXPECT_EQ(WithTrailingSlash(""), "");
}

TEST(Wildcards, MatchWithoutRegardToCase) {
  EXPECT_TRUE(WildcardMatch("*.GIF", "anim.gif"));
  EXPECT_TRUE(WildcardMatch("a?c", "abc"));
  EXPECT_FALSE(WildcardMatch("a?c", "ac"));
  EXPECT_TRUE(WildcardMatch("*", ""));
  EXPECT_FALSE(WildcardMatch("", "a"));
  EXPECT_TRUE(WildcardMatch("*a*b", "xaxxab"));
  EXPECT_FALSE(WildcardMatch("*a*b", "xaxxa"));
  // Accented letters: one character for '?', case folded for Latin letters.
  EXPECT_TRUE(WildcardMatch("?t?.gif", "été.gif"));
  EXPECT_TRUE(WildcardMatch("ÉTÉ*", "été 2.gif"));
  EXPECT_TRUE(WildcardMatch("ŒUVRE.*", "œuvre.png"));
  EXPECT_FALSE(WildcardMatch("e*", "été"));
  // Broken UTF-8 is matched byte for byte rather than rejected.
  EXPECT_TRUE(WildcardMatch("?.gif", "\xFF.gif"));
  // Many stars against a long near miss must not take exponential time.
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*b", std::string(2000, 'a')));
}

TEST(Wildcards, CompareAndFold) {
  EXPECT_EQ(CompareNamesNoCase("Abc", "aBC"), 0);
  EXPECT_LT(CompareNamesNoCase("a", "B"), 0);
  EXPECT_LT(CompareNamesNoCase("ab", "ABC"), 0);
  EXPECT_EQ(CompareNamesNoCase("ÇA", "ça"), 0);
  EXPECT_EQ(FoldCase("PHOTOSHP.EXE Été"), "photoshp.exe été");
}

TEST_F(FilesTest, ListFolderSortsMatchesByName) {
  for (const char* name : {"b.gif", "A.gif", "c.GIF", "notes.txt"}) Write(name, "x");
  ASSERT_TRUE(CreateFolders(Path("d.gif")));
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(ListFolder(dir_, "*.gif", &entries));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "A.gif");
  EXPECT_EQ(entries[1].name, "b.gif");
  EXPECT_EQ(entries[2].name, "c.GIF");
  EXPECT_EQ(entries[3].name, "d.gif");
  EXPECT_FALSE(entries[0].isFolder);
  EXPECT_TRUE(entries[3].isFolder);
  EXPECT_FALSE(ListFolder(Path("missing"), "*", &entries));
  EXPECT_TRUE(entries.empty());
}

TEST_F(FilesTest, TempFilesAreNewAndPrivate) {
  std::string a = CreateTempFile(dir_, "lw");
  std::string b = CreateTempFile(dir_, "lw");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(DirectoryPart(a), dir_ + "/");
  EXPECT_EQ(BaseName(a).rfind("lw", 0), 0u);
  struct stat st {};
  ASSERT_EQ(stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_TRUE(CreateTempFile(Path("missing"), "lw").empty());

  std::string folder = CreatePrivateTempFolder("lw-private-");
  ASSERT_TRUE(IsFolder(folder));
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(DeleteFolderTree(folder));
  EXPECT_FALSE(FileExists(folder));
}

TEST_F(FilesTest, RenamingReplacesOrRefuses) {
  Write("a", "new");
  Write("b", "old");
  EXPECT_FALSE(RenameFileNoReplace(Path("a"), Path("b")));
  EXPECT_EQ(Read(Path("b")), "old");
  EXPECT_TRUE(FileExists(Path("a")));
  EXPECT_TRUE(RenameFile(Path("a"), Path("b")));
  EXPECT_EQ(Read(Path("b")), "new");
  EXPECT_FALSE(FileExists(Path("a")));
  EXPECT_TRUE(RenameFileNoReplace(Path("b"), Path("c")));
  EXPECT_FALSE(FileExists(Path("b")));
  EXPECT_FALSE(RenameFile(Path("missing"), Path("c")));
  EXPECT_EQ(Read(Path("c")), "new");
}

TEST_F(FilesTest, RenameAcrossFileSystemsCopies) {
  // /dev/shm is a separate tmpfs on most systems; without one there is nothing to test.
  struct stat here {
  }, shm{};
  if (stat("/dev/shm", &shm) != 0 || stat(dir_.c_str(), &here) != 0 || here.st_dev == shm.st_dev)
    GTEST_SKIP() << "no second file system";
  std::string source = CreateTempFile("/dev/shm", "lw-rename-");
  ASSERT_FALSE(source.empty());
  std::ofstream(source, std::ios::binary) << "moved";
  chmod(source.c_str(), 0640);
  Write("target", "old");
  ASSERT_TRUE(RenameFile(source, Path("target")));
  EXPECT_EQ(Read(Path("target")), "moved");
  EXPECT_FALSE(FileExists(source));
  struct stat st {};
  ASSERT_EQ(stat(Path("target").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  std::vector<FolderEntry> entries;
  ListFolder(dir_, "*", &entries);
  EXPECT_EQ(entries.size(), 1u) << "temporary copy left behind";
}

TEST_F(FilesTest, ReplaceContentsKeepsModeAndLeavesNoTemporary) {
  Write("f", "old");
  chmod(Path("f").c_str(), 0644);
  ASSERT_TRUE(ReplaceFileContents(Path("f"), "new text"));
  EXPECT_EQ(Read(Path("f")), "new text");
  struct stat st {};
  ASSERT_EQ(stat(Path("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  std::vector<FolderEntry> entries;
  ListFolder(dir_, "*", &entries);
  EXPECT_EQ(entries.size(), 1u);
  EXPECT_FALSE(ReplaceFileContents(Path("missing/f"), "x"));
}

TEST_F(FilesTest, ReadableMeansARegularFileThatOpens) {
  Write("f", "data");
  EXPECT_TRUE(FileReadable(Path("f")));
  EXPECT_FALSE(FileReadable(dir_));
  EXPECT_FALSE(FileReadable(Path("missing")));
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(FileReadable(Path("pipe")));  // and does not hang
  std::string text;
  EXPECT_FALSE(ReadWholeFile(Path("pipe"), 100, &text));
  EXPECT_FALSE(ReadWholeFile(Path("f"), 3, &text));
  EXPECT_TRUE(DeleteFile(Path("f")));
  EXPECT_FALSE(FileExists(Path("f")));
  EXPECT_FALSE(DeleteFile(Path("f")));
}

}  // namespace
}  // namespace lw
