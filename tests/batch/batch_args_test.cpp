// The long flags' arguments, straight from the command line: every malformed or out-of-range
// text is refused, and the README lists exactly the flags --help prints.
#include <gmock/gmock.h>

#include <fstream>
#include <set>
#include <sstream>

#include "colour/optimize.h"
#include "formats/save_flow.h"
#include "shell/batch.h"

namespace lw {
namespace {

TEST(BatchArgs, FrameListsNameFramesFromEitherEnd) {
  struct Case {
    const char* text;
    int count;
    const char* chosen;  // one character per frame; nullptr when refused
  };
  const Case cases[] = {
      {"0", 3, "x.."},
      {"-1", 3, "..x"},
      {"0,3-5,-1", 8, "x..xxx.x"},
      {"-3--2", 4, ".xx."},
      {"1-1,1", 2, ".x"},
      {"+1", 2, ".x"},
      {"3", 3, nullptr},
      {"-4", 3, nullptr},
      {"2-1", 3, nullptr},
      {"1-", 3, nullptr},
      {"-", 3, nullptr},
      {"", 3, nullptr},
      {"0,", 3, nullptr},
      {",0", 3, nullptr},
      {"0 ", 3, nullptr},
      {"a", 3, nullptr},
      {"99999999999999999999", 3, nullptr},
      {"0", 0, nullptr},
  };
  for (const Case& c : cases) {
    std::vector<bool> frames;
    bool ok = ParseFrameList(c.text, c.count, &frames);
    ASSERT_EQ(ok, c.chosen != nullptr) << '"' << c.text << '"';
    if (!ok) continue;
    std::string shown;
    for (bool f : frames) shown += f ? 'x' : '.';
    EXPECT_EQ(shown, c.chosen) << c.text;
  }
}

TEST(BatchArgs, OptimizeAndFramesChoicesByName) {
  struct Case {
    const char* text;
    bool ok;
    uint32_t bits;
  };
  const Case optimizeCases[] = {
      {"crop,transparency", true, optimize::CropFrames | optimize::DuplicatesToTransparency},
      {"useless,local,meta,reduce", true,
       optimize::RemoveUselessFrames | optimize::RemoveLocalPalettes | optimize::BuildMetaPalette |
           optimize::ReducePalettes},
      {"global", true, optimize::MapToGlobalPalette},
      {"global,meta", false, 0},
      {"crop,", false, 0},
      {"Crop", false, 0},
  };
  for (const Case& c : optimizeCases) {
    uint32_t bits = 0;
    EXPECT_EQ(ParseOptimizeOptions(c.text, &bits), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(bits, c.bits) << c.text;
    }
  }
  const Case framesCases[] = {
      {"animation", true, 0},
      {"individual", true, saveopt::Individual},
      {"strip", true, saveopt::Strip | (1u << 16)},
      {"strip:3", true, saveopt::Strip | (3u << 16)},
      {"vstrip:2", true, saveopt::Strip | 0x100 | (2u << 16)},
      {"strip:0", false, 0},
      {"strip:", false, 0},
      {"strips", false, 0},
  };
  for (const Case& c : framesCases) {
    uint32_t bits = 0;
    EXPECT_EQ(ParseFramesChoice(c.text, &bits), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(bits, c.bits) << c.text;
    }
  }
}

// Every flag line of --help ("  flag  description") is a row of the README's batch table
// ("| `flag` | description | `example` |"), and the other way round.
TEST(BatchArgs, TheReadmeListsTheFlagsTheHelpPrints) {
  std::set<std::pair<std::string, std::string>> help, readme;
  std::istringstream lines(BatchHelpText());
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("  -", 0) != 0) continue;
    size_t gap = line.find("  ", 2);
    ASSERT_NE(gap, std::string::npos) << line;
    size_t text = line.find_first_not_of(' ', gap);
    help.insert({line.substr(2, gap - 2), line.substr(text)});
  }
  std::ifstream in(LW_SOURCE_DIR "/README.md");
  ASSERT_TRUE(in);
  bool inBatch = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) inBatch = line == "## Batch mode";
    if (!inBatch || line.rfind("| `-", 0) != 0) continue;
    size_t flagEnd = line.find("` | ");
    size_t textEnd = line.rfind(" | `");
    ASSERT_TRUE(flagEnd != std::string::npos && textEnd > flagEnd) << line;
    std::string flag = line.substr(3, flagEnd - 3);
    // Pipes inside a table cell are escaped.
    for (size_t at; (at = flag.find("\\|")) != std::string::npos;) flag.erase(at, 1);
    readme.insert({flag, line.substr(flagEnd + 4, textEnd - flagEnd - 4)});
  }
  EXPECT_GE(help.size(), 25u);
  EXPECT_EQ(help, readme);
}

}  // namespace
}  // namespace lw
