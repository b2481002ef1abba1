// The long flags' arguments, straight from the command line: every malformed or out-of-range
// text is refused, and the README lists exactly the flags --help prints.
#include <gmock/gmock.h>

#include <fstream>
#include <set>
#include <sstream>

#include "shell/batch.h"

namespace lw {
namespace {

// "text count chosen": one character per frame, x when chosen; "-" when the list is refused.
TEST(BatchArgs, FrameListsNameFramesFromEitherEnd) {
  const char* cases[] = {"0 3 x..",      "-1 3 ..x",   "0,3-5,-1 8 x..xxx.x",
                         "-3--2 4 .xx.", "1-1,1 2 .x", "+1 2 .x",
                         "3 3 -",        "-4 3 -",     "2-1 3 -",
                         "1- 3 -",       "- 3 -",      "0, 3 -",
                         ",0 3 -",       "a 3 -",      "99999999999999999999 3 -",
                         "0 0 -"};
  for (std::string c : cases) {
    const size_t space = c.find(' ', 1);
    const int count = std::stoi(c.substr(space + 1));
    std::vector<bool> frames;
    std::string shown = "-";
    if (ParseFrameList(c.substr(0, space), count, &frames)) {
      shown.clear();
      for (bool f : frames) shown += f ? 'x' : '.';
    }
    EXPECT_EQ(shown, c.substr(c.rfind(' ') + 1)) << c;
  }
  std::vector<bool> frames;
  EXPECT_FALSE(ParseFrameList("", 3, &frames) || ParseFrameList("0 ", 3, &frames));
}

// Every flag line of --help ("  flag  description") is a row of the README's batch table
// ("| `flag` | description | `example` |"), and the other way round.
TEST(BatchArgs, TheReadmeListsTheFlagsTheHelpPrints) {
  std::set<std::pair<std::string, std::string>> help, readme;
  std::istringstream lines(BatchHelpText());
  for (std::string line; std::getline(lines, line);) {
    const size_t gap = line.find("  ", 2), text = line.find_first_not_of(' ', gap);
    if (line.rfind("  -", 0) == 0 && text != std::string::npos)
      help.insert({line.substr(2, gap - 2), line.substr(text)});
  }
  std::ifstream in(LW_SOURCE_DIR "/README.md");
  bool inBatch = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("## ", 0) == 0) inBatch = line == "## Batch mode";
    const size_t flagEnd = line.find("` | "), textEnd = line.rfind(" | `");
    if (!inBatch || line.rfind("| `-", 0) != 0 || textEnd <= flagEnd) continue;
    std::string flag = line.substr(3, flagEnd - 3);
    for (size_t at; (at = flag.find("\\|")) != std::string::npos;) flag.erase(at, 1);  // escaped
    readme.insert({flag, line.substr(flagEnd + 4, textEnd - flagEnd - 4)});
  }
  EXPECT_GE(help.size(), 25u);
  EXPECT_EQ(help, readme);
}

}  // namespace
}  // namespace lw
