// The lists the dialogs, menus and dispatchers take from the format registry: their texts and
// order are what users and stored settings see, whatever order the formats are registered in.
#include "formats/format_registry.h"

#include <gmock/gmock.h>

#include "formats/open_flow.h"
#include "formats/save_flow.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Labels(const std::vector<FileFilter>& filters) {
  std::vector<std::string> out;
  for (const FileFilter& f : filters) out.push_back(f.label + " | " + f.pattern);
  return out;
}

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

TEST(FormatRegistry, OpenDialogListsEveryFormatInItsPlace) {
  EXPECT_THAT(Labels(OpenFilters()),
              ElementsAre("Tous formats supportés | *.gif;*.avi;*.mp4;*.m4v;*.mov;*.mkv;*.webm;"
                          "*.apng;*.bmp;*.dib;*.jpg;*.jpe;*.jpeg;*.psd;*.ani;*.ico;*.cur;*.png",
                          "Fichiers GIF (*.gif) | *.gif", "Fichiers AVI (*.avi) | *.avi",
                          "Vidéos (*.mp4;*.m4v;*.mov;*.mkv;*.webm;*.apng) | "
                          "*.mp4;*.m4v;*.mov;*.mkv;*.webm;*.apng",
                          "Fichiers BMP (*.bmp,*.dib) | *.bmp;*.dib",
                          "Fichiers JPEG (*.jpg,*.jpe,*.jpeg) | *.jpg;*.jpe;*.jpeg",
                          "Fichiers Photoshop PSD (*.psd) | *.psd", "Fichiers PNG (*.png) | *.png",
                          "Curseurs animés (*.ani) | *.ani", "Icônes (*.ico) | *.ico",
                          "Tous les fichiers (*.*) | *.*"));
  EXPECT_EQ(AllFormatsFilter(), OpenFilters());
}

// Save-type numbers are stored in the settings: each keeps its number, extension and traits.
TEST(FormatRegistry, SaveTypesKeepTheirNumbers) {
  struct Row {
    int type;
    const char* extension;
    uint32_t traits;
    bool plainSaveCoversAnimation;  // a plain save of several frames names the document
  };
  const Row rows[] = {{1, "gif", 1 | 2 | 4 | 16, false},
                      {2, "avi", 32, true},
                      {3, "swf", 0, true},
                      {4, "bmp", 2 | 4 | 16, false},
                      {5, "jpg", 2 | 4 | 16, false},
                      {6, "psd", 0, true},
                      {7, "png", 2 | 4 | 16, false},
                      {8, "cur", 32, true},
                      {9, "ico", 0, true},
                      {10, "ani", 32, true}};
  Animation two;
  two.frameCount = 2;
  for (const Row& r : rows) {
    EXPECT_EQ(SaveCoversDocument(two, r.type, saveopt::Plain), r.plainSaveCoversAnimation)
        << r.type;
    ASSERT_NE(FormatForSaveType(r.type), nullptr) << r.type;
    EXPECT_STREQ(SaveTypeEntry(r.type).extension, r.extension);
    EXPECT_EQ(SaveTypeTraits(r.type), r.traits) << r.type;
    EXPECT_EQ(SaveTypeFromName(std::string("/x/a.") + r.extension), r.type);
  }
  EXPECT_TRUE(SaveCoversDocument(two, savetype::Gif, saveopt::AnimationChosen));
  EXPECT_EQ(FormatForSaveType(0), nullptr);
  EXPECT_EQ(FormatForSaveType(savetype::Count + 1), nullptr);
  // One format per save type.
  std::vector<int> types;
  for (const FormatSpec& f : Formats())
    if (f.saveType) types.push_back(f.saveType);
  std::sort(types.begin(), types.end());
  EXPECT_THAT(types, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8, 9, 10));
  EXPECT_THAT(Labels(SaveFilters()).front(), "Animation/image GIF (.gif) | *.gif");
  EXPECT_EQ(SaveFilters().size(), size_t{savetype::Count});
}

TEST(FormatRegistry, ImportCommandsInMenuOrderWithTheirLists) {
  std::vector<std::string> menu;
  for (const ImportCommand& c : ImportCommands()) {
    std::string text = std::to_string(c.command) + (c.available ? "" : " (later)");
    for (const std::string& l : Labels(c.filter)) text += " / " + l;
    menu.push_back(text);
    EXPECT_EQ(ImportFilter(c.command), c.filter);
  }
  const std::string all = " / Tous les fichiers (*.*) | *.*";
  const std::string english = " / All Files (*.*) | *.*";
  EXPECT_THAT(menu,
              ElementsAre("40109 / Fichiers AVI (*.avi) | *.avi" + all,
                          "40110 / Fichiers BMP (*.bmp,*.dib) | *.bmp;*.dib" + all,
                          "40113 / Fichiers JPEG (*.jpg,*.jpe,*.jpeg) | *.jpg;*.jpe;*.jpeg" + all,
                          "40111 / Bandes (*.gif, *.bmp) | *.gif;*.bmp / Bandes GIF (*.gif) | "
                          "*.gif / Bandes BMP (*.bmp) | *.bmp" +
                              english,
                          "40112 / Fichiers Photoshop PSD (*.psd) | *.psd" + all,
                          "40342 / Fichiers PNG (*.png) | *.png" + all,
                          "40133 / Icônes (*.ico) | *.ico" + all,
                          "40142 / Curseurs (*.cur) | *.cur" + english,
                          "40118 / Curseurs animés (*.ani) | *.ani" + all));
  EXPECT_TRUE(ImportFilter(0).empty());
  EXPECT_TRUE(ImportFilter(1002).empty());
}

TEST(FormatRegistry, OnlyAnimationNamesSurviveAnInsert) {
  for (const char* kept : {"/x/a.gif", "/x/a.AVI", "/x/a.ani", "/x/a.ico", "/x/a.psd"})
    EXPECT_TRUE(NameSurvivesInsert(kept)) << kept;
  for (const char* dropped : {"/x/a.bmp", "/x/a.jpg", "/x/a.png", "/x/a.cur", "/x/a.swf", ""})
    EXPECT_FALSE(NameSurvivesInsert(dropped)) << dropped;
}

}  // namespace
}  // namespace lw::test
