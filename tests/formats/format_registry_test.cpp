// The lists the dialogs, menus and dispatchers take from the format registry: their texts and
// order are what users and stored settings see, whatever order the formats are registered in.
#include "formats/format_registry.h"

#include <gmock/gmock.h>

#include "formats/open_flow.h"
#include "formats/save_flow.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;

TEST(FormatRegistry, ExtensionPicksTheReaderWithoutRegardToCase) {
  struct Case {
    const char* path;
    const char* format;  // "" for none
  };
  const Case cases[] = {
      {"/x/photo.JPEG", "jpeg"},  {"/x/a.Gif", "gif"},        {"/x/a.dib", "bmp"},
      {"/x/c.cur", "cur"},        {"/x/i.ICO", "ico"},        {"/x/m.ani", "ani"},
      {"/x/archive.gif.bak", ""}, {"/x.gif/noextension", ""}, {"plain", ""},
      {"/x/movie.swf", ""},  // written, never read
  };
  for (const Case& c : cases) {
    const FormatSpec* f = FormatForPath(c.path);
    EXPECT_EQ(f ? std::string(f->id) : std::string(), c.format) << c.path;
  }
}

// Save-type numbers are stored in the settings: each keeps its number and extension, and one
// format answers for it.
TEST(FormatRegistry, SaveTypesKeepTheirNumbers) {
  const char* extensions[] = {"gif", "avi", "swf", "bmp", "jpg", "psd", "png", "cur", "ico", "ani"};
  for (int type = 1; type <= 10; ++type) {
    ASSERT_NE(FormatForSaveType(type), nullptr) << type;
    EXPECT_EQ(FormatForSaveType(type)->saveType, type);
    EXPECT_EQ(SaveTypeFromName(std::string("/x/a.") + extensions[type - 1]), type);
  }
  EXPECT_EQ(FormatForSaveType(0), nullptr);
  EXPECT_EQ(FormatForSaveType(savetype::Count + 1), nullptr);
  // A plain save of several frames covers the document only for the animation formats.
  Animation two;
  two.frameCount = 2;
  for (int type : {2, 3, 6, 8, 9, 10}) EXPECT_TRUE(SaveCoversDocument(two, type, saveopt::Plain));
  for (int type : {1, 4, 5, 7}) EXPECT_FALSE(SaveCoversDocument(two, type, saveopt::Plain));
  EXPECT_TRUE(SaveCoversDocument(two, savetype::Gif, saveopt::AnimationChosen));
}

TEST(FormatRegistry, OnlyAnimationNamesSurviveAnInsert) {
  for (const char* kept : {"/x/a.gif", "/x/a.AVI", "/x/a.ani", "/x/a.ico", "/x/a.psd"})
    EXPECT_TRUE(NameSurvivesInsert(kept)) << kept;
  for (const char* dropped : {"/x/a.bmp", "/x/a.jpg", "/x/a.png", "/x/a.cur", "/x/a.swf", ""})
    EXPECT_FALSE(NameSurvivesInsert(dropped)) << dropped;
}

}  // namespace
}  // namespace lw::test
