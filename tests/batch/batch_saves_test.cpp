// Where the batch mode's output goes: numbered frames into the folder their pattern names, from
// the folder the program runs in; a named pipe gets the bytes a file would, and stays a pipe.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>

#include "batch/batch_runner.h"
#include "formats/gif/gif_format.h"
#include "formats/save_flow.h"
#include "support/document.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;

class BatchSaves : public ::testing::Test {
 protected:
  void SetUp() override {
    AnimationPtr a = NumberedAnimation(3);
    SaveOptions options;
    ASSERT_TRUE(WriteAsType(dir_.Path("in.gif"), *a, options, savetype::Gif, nullptr));
  }
  std::vector<std::string> Names(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.Path(folder)))
      names.push_back(e.path().lexically_relative(dir_.Path(folder)).string());
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir_;
};

TEST_F(BatchSaves, NumberedFramesGoToTheFolderOfTheirPattern) {
  std::filesystem::create_directory(dir_.Path("sub"));
  const BatchRun run =
      RunBatchProgram(dir_, {"-i", "in.gif", "--frames", "individual", "-o", "sub/f###.png"});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_THAT(Names("sub"), ElementsAre("f001.png", "f002.png", "f003.png"));
}

TEST_F(BatchSaves, APipeGetsTheFileBytesAndStaysAPipe) {
  ASSERT_EQ(RunBatchProgram(dir_, {"-i", "in.gif", "-o", "file.gif"}).exitCode, 0);
  ASSERT_EQ(::mkfifo(dir_.Path("pipe.gif").c_str(), 0600), 0);
  // The reader's timeout only guards against a program that never opens the pipe.
  const ToolRun run = RunTool("cd " + Quoted(dir_.Root().string()) + " && (env -u DISPLAY " +
                              Quoted(LW_LOOPWRIGHT_PATH) +
                              " -i in.gif -o pipe.gif & timeout 300 cat pipe.gif > copy.gif; "
                              "wait $!)");
  EXPECT_EQ(run.exitCode, 0);
  struct stat st {};
  ASSERT_EQ(::lstat(dir_.Path("pipe.gif").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(Contents(dir_.Path("copy.gif")), Contents(dir_.Path("file.gif")));
  EXPECT_THAT(dir_.Names(), ElementsAre(".stderr", "copy.gif", "file.gif", "in.gif", "pipe.gif"));
}

}  // namespace
}  // namespace lw::test
