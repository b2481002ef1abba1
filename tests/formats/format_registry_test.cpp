// The lists the dialogs, menus and dispatchers take from the format registry: their texts and
// order are what users and stored settings see, whatever order the formats are registered in.
#include "formats/format_registry.h"

#include <gmock/gmock.h>

#include <cctype>
#include <fstream>

#include "formats/gif/gif_format.h"
#include "formats/open_flow.h"
#include "formats/save_flow.h"
#include "formats/swf/swf_format.h"
#include "formats/webp/webp_format.h"
#include "platform/files.h"
#include "support/tools.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;

// Every extension the registry reads names its format and that format's save type, in any case:
// photo.jpeg is JPEG and image.dib BMP; names without such an extension are GIF to save and no
// format to read.
TEST(FormatRegistry, EveryRegisteredExtensionNamesItsFormat) {
  int checked = 0;
  for (const FormatSpec& f : Formats()) {
    for (const std::string& e : f.extensions) {
      std::string upper;
      for (char c : e) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      for (const std::string& name : {"/x.y/a." + e, "b." + upper, "/x/.c.d." + e}) {
        EXPECT_EQ(SaveTypeFromName(name), f.saveType) << name;
        EXPECT_EQ(SaveTypeOfExtension(name), f.saveType) << name;
        EXPECT_EQ(FormatForPath(name), f.CanRead() ? &f : FormatForPath(name)) << name;
      }
      ++checked;
    }
  }
  EXPECT_GE(checked, 12);
  for (const char* name : {"ab", "/x.png/ab", "/x/archive.gif.bak", "/x/ajpg", "/x/movie.swf"}) {
    EXPECT_EQ(SaveTypeFromName(name),
              std::string(name) == "/x/movie.swf" ? savetype::Swf : savetype::Gif)
        << name;
    EXPECT_EQ(FormatForPath(name), nullptr) << name;  // a movie is written, never read
  }
  EXPECT_EQ(SaveTypeOfExtension("/x/a.txt"), -1);
  EXPECT_EQ(ReplaceExtension("clip.bmp", "gif"), "clip.gif");
  EXPECT_EQ(ReplaceExtension("/a.b/clip", "png"), "/a.b/clip.png");
}

// Save-type numbers are stored in the settings and given by each format in its own header: each
// keeps its number and extension, and one format answers for it.
TEST(FormatRegistry, SaveTypesKeepTheirNumbers) {
  const char* extensions[] = {"gif", "avi", "swf", "bmp",  "jpg", "psd",  "png",
                              "cur", "ico", "ani", "apng", "mp4", "webm", "webp"};
  for (int type = 1; type <= 14; ++type) {
    ASSERT_NE(FormatForSaveType(type), nullptr) << type;
    EXPECT_EQ(FormatForSaveType(type)->saveType, type);
    EXPECT_EQ(SaveTypeFromName(std::string("/x/a.") + extensions[type - 1]), type);
  }
  EXPECT_TRUE(!FormatForSaveType(0) && !FormatForSaveType(SaveTypeCount() + 1));
  // A plain save of several frames covers the document only for the animation formats.
  Animation two;
  two.frameCount = 2;
  for (int type : {2, 3, 6, 8, 9, 10}) EXPECT_TRUE(SaveCoversDocument(two, type, saveopt::Plain));
  for (int type : {1, 4, 5, 7}) EXPECT_FALSE(SaveCoversDocument(two, type, saveopt::Plain));
  EXPECT_TRUE(SaveCoversDocument(two, savetype::Gif, saveopt::AnimationChosen));
}

// The highest save type is the count the dialogs offer, and each number up to it has exactly one
// format: a stored number never picks a format by the order of registration.
TEST(FormatRegistry, EachSaveTypeHasOneFormat) {
  EXPECT_EQ(SaveTypeCount(), savetype::Webp);
  for (int type = 1; type <= SaveTypeCount(); ++type) {
    int owners = 0;
    for (const FormatSpec& f : Formats()) owners += f.saveType == type ? 1 : 0;
    EXPECT_EQ(owners, 1) << type;
  }
}

TEST(FormatRegistry, OnlyAnimationNamesSurviveAnInsert) {
  for (const char* kept : {"/x/a.gif", "/x/a.AVI", "/x/a.ani", "/x/a.ico", "/x/a.psd"})
    EXPECT_TRUE(NameSurvivesInsert(kept)) << kept;
  for (const char* dropped : {"/x/a.bmp", "/x/a.jpg", "/x/a.png", "/x/a.cur", "/x/a.swf", ""})
    EXPECT_FALSE(NameSurvivesInsert(dropped)) << dropped;
}

// The installed desktop entry offers the program for every file it opens: each extension the
// registry reads has its types, as the shared MIME database names them, in the entry's list.
TEST(FormatRegistry, DesktopEntryListsTheTypeOfEveryExtensionRead) {
  LW_NEED_TOOL("update-mime-database");
  std::string entry;
  ASSERT_TRUE(
      ReadWholeFile(LW_SOURCE_DIR "/share/applications/loopwright.desktop", 1 << 16, &entry));
  size_t at = entry.find("\nMimeType=");
  ASSERT_NE(at, std::string::npos);
  std::string types = ";" + entry.substr(at + 10, entry.find('\n', at + 1) - at - 10);
  std::ifstream globs("/usr/share/mime/globs2");
  int checked = 0;
  for (std::string line; std::getline(globs, line);) {  // weight:type:glob
    size_t type = line.find(':') + 1, glob = line.find(':', type) + 1;
    if (line[0] == '#' || glob == 0 || line.compare(glob, 2, "*.") != 0) continue;
    std::string extension = line.substr(glob + 2, line.find(':', glob) - glob - 2);
    const FormatSpec* format = FormatForPath("x." + extension);
    if (!format || !format->CanRead()) continue;
    ++checked;
    EXPECT_NE(types.find(";" + line.substr(type, glob - type - 1) + ";"), std::string::npos)
        << line;
  }
  EXPECT_GT(checked, 10);
}

}  // namespace
}  // namespace lw::test
