#include <gmock/gmock.h>

#include "shell/batch.h"

namespace lw {
namespace {

using ::testing::ElementsAre;

TEST(FileList, LineBreaksOfEitherKindGiveTheSameNames) {
  EXPECT_THAT(SplitFileList("a.gif\nb.gif\n"), ElementsAre("a.gif", "b.gif"));
  EXPECT_THAT(SplitFileList("a.gif\r\nb.gif\r\n"), ElementsAre("a.gif", "b.gif"));
  EXPECT_THAT(SplitFileList("a.gif\rb.gif"), ElementsAre("a.gif", "b.gif"));
}

TEST(FileList, BlankLinesGiveEmptyNamesAndAZeroEndsTheList) {
  EXPECT_THAT(SplitFileList("a\n\nb"), ElementsAre("a", "", "b"));
  EXPECT_THAT(SplitFileList("a\r\n\r\nb\r\n"), ElementsAre("a", "", "b"));
  EXPECT_THAT(SplitFileList("\n"), ElementsAre(""));
  EXPECT_TRUE(SplitFileList("").empty());
  EXPECT_THAT(SplitFileList(std::string_view("a\nb\0c\n", 6)), ElementsAre("a", "b"));
}

}  // namespace
}  // namespace lw
