#include <gtest/gtest.h>

#include "formats/strip_flow.h"

namespace lw {
namespace {

TEST(NumberedNames, FollowTheBaseNameAndFrameCount) {
  const struct {
    const char *base, *extension;
    bool always;
    int frames, number;
    const char* expected;
  } cases[] = {
      {"anim###.gif", "gif", true, 12, 1, "anim001.gif"},
      {"anim###.gif", "gif", true, 12, 12, "anim012.gif"},
      {"anim.gif", "gif", true, 12, 1, "anim01.gif"},
      {"anim", "jpg", true, 12, 3, "anim03.jpg"},
      {"anim.GIF", "gif", true, 12, 3, "anim03.GIF"},
      {"anim", "png", false, 12, 5, "anim.png"},
      {"a#b", "bmp", true, 120, 7, "a007b.bmp"},
      {"a#.gif", "gif", true, 9, 123, "a123.gif"},
      {"100%s.gif", "gif", true, 2, 2, "100%s2.gif"},
      // Another extension of the type stays where the user typed it; another type's does not.
      {"x.jpeg", "jpg", true, 12, 1, "x01.jpeg"},
      {"x.JPE", "jpg", false, 1, 1, "x.JPE"},
      {"y.jpg", "jpg", true, 2, 1, "y1.jpg"},
      {"image.dib", "bmp", true, 3, 2, "image2.dib"},
      {"x.png", "jpg", true, 2, 2, "x.png2.jpg"},
  };
  for (const auto& c : cases) {
    NumberedName name = NumberedNamePattern(c.base, c.extension, c.always, NumberDigits(c.frames));
    EXPECT_EQ(name.Fill(c.number), c.expected) << c.base << " " << c.frames;
  }
}

TEST(NumberedNames, DigitsAreTheSmallestPowerOfTenReachingTheCount) {
  const int counts[][2] = {{0, 0}, {1, 0}, {2, 1}, {9, 1}, {10, 1}, {11, 2}, {100, 2}, {101, 3}};
  for (const auto& c : counts) EXPECT_EQ(NumberDigits(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace lw
