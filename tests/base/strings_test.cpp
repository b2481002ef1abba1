#include "base/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/numbers.h"
#include "base/string_ids.h"

namespace lw {
namespace {

// Every row is found by its id, whole, and ids between the rows find nothing.
TEST(StringTable, EveryRowLoadsWholeAndGapsHaveNoText) {
  const auto& table = detail::kStringTable;
  for (std::size_t i = 0; i < std::size(table); ++i) {
    const detail::StringEntry& e = table[i];
    EXPECT_TRUE(i == 0 || table[i - 1].id < e.id) << "out of order or repeated at " << e.id;
    EXPECT_NE(e.text[0], '\0') << e.id;
    EXPECT_STREQ(LoadResText(e.id), e.text) << e.id;
    EXPECT_EQ(ResText(e.id), e.text) << e.id;
    EXPECT_TRUE(i == 0 || table[i - 1].id + 1 == e.id || !LoadResText(e.id - 1)) << e.id;
  }
  for (int id : {0, -1, table[0].id - 1, 99999}) EXPECT_EQ(ResText(id), "") << id;
}

TEST(StringTable, BufferBelongsToTheCallingThread) {
  const char* mine = LoadResText(str::ErrorCaption);
  std::thread([] { LoadResText(str::PartialRead); }).join();
  EXPECT_STREQ(mine, TableText(str::ErrorCaption));
}

// Grouped by three from the right with no-break spaces, whatever the sign and length; a
// decimal comma.
TEST(FrenchNumbers, GroupsOfThreeAndADecimalComma) {
  std::mt19937_64 random(7);
  const size_t gap = std::strlen(GroupSeparator);
  for (int i = 0; i < 400; ++i) {
    int64_t n = i == 0 ? INT64_MIN : i == 1 ? 0 : static_cast<int64_t>(random()) >> (random() % 63);
    const std::string text = GroupDigits(n);
    std::vector<std::string> groups;
    size_t start = n < 0 ? 1 : 0;
    for (size_t at; (at = text.find(GroupSeparator, start)) != std::string::npos; start = at + gap)
      groups.push_back(text.substr(start, at - start));
    groups.push_back(text.substr(start));
    std::string joined = n < 0 ? "-" : "";
    for (size_t k = 0; k < groups.size(); ++k) {
      EXPECT_TRUE(k == 0 ? !groups[k].empty() && groups[k].size() <= 3 : groups[k].size() == 3)
          << text;
      joined += groups[k];
    }
    EXPECT_EQ(joined, std::to_string(n));
  }
  EXPECT_EQ(GroupDigits(-1234567, "."), "-1.234.567");
  EXPECT_EQ(DecimalText(33.75, 1), "33,8");
  EXPECT_EQ(DecimalText(2, 2), "2,00");
}

}  // namespace
}  // namespace lw
