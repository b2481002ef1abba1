#include "formats/open_flow.h"

#include <gmock/gmock.h>

#include "base/settings.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "colour/palette_fit.h"
#include "flow_fixture.h"
#include "formats/format_registry.h"
#include "formats/save_flow.h"

namespace lw::test {
namespace {

using ::testing::ElementsAre;

TEST_F(FlowTest, ReadAnyFileReportsEachRefusal) {
  AnimationPtr out;
  EXPECT_EQ(ReadAnyFile(Path("missing.gif"), Flows().read, nullptr, &out, nullptr), ReadFailed);
  Put(Path("fake.gif"), "GIF80a not really");
  EXPECT_EQ(ReadAnyFile(Path("fake.gif"), Flows().read, nullptr, &out, nullptr), ReadFailed);
  Put(Path("archive.gif.bak"), "x");
  EXPECT_EQ(ReadAnyFile(Path("archive.gif.bak"), Flows().read, nullptr, &out, nullptr), ReadFailed);
  EXPECT_THAT(ShownTexts(),
              ElementsAre("Impossible d'ouvrir le fichier '" + Path("missing.gif") + "'.",
                          Path("fake.gif") + " n'est pas un fichier GIF valide.",
                          "Impossible de lire ce type de fichier."));
}

TEST_F(FlowTest, ReadAnyFileNamesFramesAndFinishesTheAnimation) {
  std::string three = WriteSolidGif("three.gif", 4, 4, {1, 2, 3});
  AnimationPtr a;
  ASSERT_EQ(ReadAnyFile(three, Flows().read, nullptr, &a, nullptr), ReadComplete);
  EXPECT_THAT(FrameNames(*a),
              ElementsAre("three.gif - cadre 1", "three.gif - cadre 2", "three.gif - cadre 3"));
  EXPECT_EQ(a->colourUsage[2], 16u);

  // One transparent frame: named after the file, and it restores the background.
  AnimationPtr one = MakeDocument(4, 4);
  AddSolidFrame(*one, 0, 0, 4, 4, 5, DisposalLeave, 5);
  ASSERT_TRUE(SaveGifToFile(Path("one.gif"), *one, {}, nullptr));
  ASSERT_EQ(ReadAnyFile(Path("one.gif"), Flows().read, nullptr, &a, nullptr), ReadComplete);
  EXPECT_THAT(FrameNames(*a), ElementsAre("one.gif"));
  EXPECT_EQ(FirstFrame(*a)->Disposal(), DisposalBackground);
}

TEST_F(FlowTest, SeveralFilesAreReadInNameOrderIntoAnUntitledModifiedDocument) {
  std::string c = WriteSolidGif("c.gif", 4, 4, {3});
  std::string upperA = WriteSolidGif("A.gif", 4, 4, {1});
  std::string b = WriteSolidGif("b.gif", 4, 4, {2});
  DocumentSession state;
  Use(state);
  EXPECT_EQ(ReadFiles(state, {c, upperA, b}, false), 3);
  ASSERT_TRUE(state.document);
  EXPECT_THAT(FrameNames(*state.document), ElementsAre("A.gif", "b.gif", "c.gif"));
  EXPECT_TRUE(state.documentPath.empty() && state.modified);
  EXPECT_EQ(state.document->playCount, 7u);
}

// A failed file asks whether to go on, except after the last one.
TEST_F(FlowTest, AFailedFileAsksWhetherToGoOnExceptAfterTheLast) {
  const std::string a = WriteSolidGif("a.gif", 4, 4, {1}), c = WriteSolidGif("c.gif", 4, 4, {3});
  const std::string b = Path("b.gif");
  Put(b, "broken");
  const struct {
    std::vector<std::string> files;
    int answer, read;
  } cases[] = {{{a, b, c}, answer::No, 1}, {{a, b, c}, answer::Yes, 2}, {{a, b}, -1, 1}};
  for (const auto& k : cases) {
    Headless().Reset();
    DocumentSession state;
    Use(state);
    if (k.answer >= 0) Headless().QueueAnswer(k.answer);
    EXPECT_EQ(ReadFiles(state, k.files, false), k.read);
    EXPECT_EQ(state.document->frameCount, k.read);
    EXPECT_EQ(Headless().PendingAnswers(), 0u);
    for (const ShownMessage& m : Headless().Messages())
      EXPECT_TRUE(k.answer >= 0 || (m.style & mb::ButtonMask) == mb::Ok) << "nothing to go on to";
  }
}

TEST_F(FlowTest, APartialReadKeepsItsFramesOnEveryRoadIn) {
  std::string clip = WriteSolidGif("clip.gif", 8, 8, {1, 2, 3});
  std::string bytes = Contents(clip);
  std::string cut = Path("cut.gif");
  Put(cut, bytes.substr(0, bytes.size() - 6));  // inside the third frame
  std::string whole = WriteSolidGif("whole.gif", 8, 8, {4});

  const struct {
    std::vector<std::string> chosen;  // through the open dialog; empty: by name
    int frames;
  } roads[] = {{{}, 2}, {{cut}, 2}, {{cut, whole}, 3}};
  for (const auto& road : roads) {
    SCOPED_TRACE(road.chosen.size());
    Headless().Reset();
    DocumentSession state;
    Use(state);
    if (!road.chosen.empty()) Headless().QueueChosenFiles(road.chosen);
    ASSERT_TRUE(OpenCommand(state, road.chosen.empty() ? cut : ""));
    ASSERT_TRUE(state.document);
    EXPECT_EQ(state.document->frameCount, road.frames);
    // The second frame of the cut file, whatever index palette fitting gave its colour.
    const Frame* second = FrameAt(*state.document, 1);
    EXPECT_EQ(second->palette->entries[Pixels(*second)[0]].red, 2);
    // What was read is not the file: the document is untitled and asks to be saved.
    EXPECT_TRUE(state.documentPath.empty() && state.modified);
    // One message, the reader's, says what was kept; nobody asks whether to go on.
    ASSERT_THAT(ShownTexts(), ElementsAre(ResText(str::PartialRead)));
    EXPECT_EQ(Headless().Messages()[0].style & mb::ButtonMask, mb::Ok);
  }

  // A dropped partial file goes in, and the recent list never takes its name.
  DocumentSession state;
  Use(state);
  EXPECT_EQ(DropFiles(state, {cut}, -1), 1);
  EXPECT_EQ(state.document->frameCount, 2);
  EXPECT_TRUE(state.documentPath.empty());
  EXPECT_THAT(RecentFiles(), ::testing::IsEmpty());
}

TEST_F(FlowTest, InsertGoesBeforeTheGivenFrameOrAfterTheLastFrame) {
  AnimationPtr doc = NumberedAnimation(2, 4, 4);
  AddComment(*doc, "trailing");
  AnimationPtr in = MakeDocument(4, 4);
  AddSolidFrame(*in, 0, 0, 4, 4, 5);
  ASSERT_TRUE(InsertAnimations(Flows(), nullptr, *doc, std::move(in), 1, nullptr));
  AnimationPtr end = MakeDocument(4, 4);
  AddSolidFrame(*end, 0, 0, 4, 4, 6);
  ASSERT_TRUE(InsertAnimations(Flows(), nullptr, *doc, std::move(end), -1, nullptr));
  EXPECT_EQ(FrameNumbers(*doc), (std::vector<int>{1, 5, 2, 6}));
  // The comment that closed the document still closes it.
  EXPECT_EQ(LastBlock(*doc)->kind, BlockKind::Comment);
}

// An insert follows the screen-size setting, then the palette one; cancelling either question
// leaves the document as it was.
TEST_F(FlowTest, InsertFollowsTheSizeAndPaletteChoices) {
  constexpr uint32_t None = ~0u;
  const struct {
    uint32_t sizeWord, sizeAnswer, paletteAnswer;
    bool ok;
    uint32_t width, height;
    bool local;  // the inserted frame keeps its own palette
  } cases[] = {
      {32, None, None, true, 10, 6, false},  // grows; the palette stored: mapped on the global
      {16, None, None, true, 4, 4, false},
      {4 | 16, 32, None, true, 10, 6, false},
      {4 | 32, 0, None, false, 4, 4, false},
      {16, None, 0, false, 4, 4, false},
      {16, None, merge::Ask | merge::LocalEach, true, 4, 4, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.sizeWord << " " << c.paletteAnswer);
    Headless().Reset();
    FlowSettings settings = Flows();
    settings.oversizeInsert = c.sizeWord;
    settings.paletteFit.storedWord = merge::Ask | merge::MapGlobal;
    if (c.sizeAnswer != None) Headless().QueueOversizeInsertAnswer(c.sizeAnswer);
    if (c.paletteAnswer != None) Headless().QueuePaletteMergeAnswer(c.paletteAnswer);
    AnimationPtr doc = MakeDocument(4, 4);
    AddSolidFrame(*doc, 0, 0, 4, 4, 1);
    AnimationPtr big = MakeDocument(10, 6, BrightPalette());
    AddSolidFrame(*big, 0, 0, 10, 6, 2);
    EXPECT_EQ(InsertAnimations(settings, nullptr, *doc, std::move(big), -1, nullptr), c.ok);
    EXPECT_EQ(std::tie(doc->screenWidth, doc->screenHeight), std::tie(c.width, c.height));
    ASSERT_EQ(doc->frameCount, c.ok ? 2 : 1);
    EXPECT_EQ(doc->globalPalette->entries, RampPalette(16)->entries);
    EXPECT_EQ(FrameAt(*doc, doc->frameCount - 1)->localPalette != nullptr, c.local);
  }
}

TEST_F(FlowTest, InsertCommandAndDropAreUndoable) {
  std::string doc = WriteSolidGif("doc.gif", 4, 4, {1, 2});
  std::string add = WriteSolidGif("add.gif", 4, 4, {7});
  DocumentSession state;
  Use(state);
  ASSERT_TRUE(OpenCommand(state, doc));
  state.currentFrame = 1;
  Headless().QueueChosenFiles({add});
  EXPECT_EQ(InsertCommand(state, false), 1);
  EXPECT_TRUE(Headless().FileQuestions().at(0).multiple);
  EXPECT_TRUE(state.modified && state.documentPath == doc);
  EXPECT_EQ(FrameNumbers(*state.document), (std::vector<int>{1, 7, 2}));
  Undo(*state.document);
  EXPECT_EQ(FrameNumbers(*state.document), (std::vector<int>{1, 2}));
  EXPECT_EQ(DropFiles(state, {add, add}, 0), 2);
  EXPECT_EQ(FrameNumbers(*state.document), (std::vector<int>{7, 7, 1, 2}));
  Undo(*state.document);
  EXPECT_EQ(FrameNumbers(*state.document), (std::vector<int>{1, 2}));
}

TEST_F(FlowTest, CloseAsksForAModifiedDocument) {
  std::string clip = WriteSolidGif("clip.gif", 4, 4, {1, 2});
  DocumentSession state;
  Use(state);
  ASSERT_TRUE(OpenCommand(state, clip));
  state.modified = true;
  Headless().QueueAnswer(answer::Cancel);
  EXPECT_EQ(CloseDocument(state), 0);
  EXPECT_TRUE(state.document);
  EXPECT_THAT(ShownTexts(), ElementsAre("Sauvegarder les changements de " + clip + "?"));
  EXPECT_EQ(Headless().Messages()[0].caption, "Loopwright");

  // Yes saves over the file first.
  AddSolidFrame(*state.document, 0, 0, 4, 4, 3);
  Headless().QueueAnswer(answer::Yes);
  EXPECT_EQ(CloseDocument(state), 1);
  EXPECT_TRUE(!state.document && state.documentPath.empty());
  ASSERT_TRUE(ReadBack(clip));
  EXPECT_EQ(FrameNumbers(*ReadBack(clip)), (std::vector<int>{1, 2, 3}));

  // An untitled document with no Save As dialog: Yes fails the save, which counts as Cancel.
  state.document = MakeDocument(4, 4);
  state.modified = true;
  Headless().Reset();
  Headless().QueueAnswer(answer::Yes);
  EXPECT_EQ(CloseDocument(state), 0);
  EXPECT_EQ(Headless().Messages()[0].text, "Sauvegarder les modifications à l'animation sans nom?");
}

// Opening one file names the document after it; revert reads that file again.
TEST_F(FlowTest, OpenNamesTheDocumentAndRevertReadsTheFileAgain) {
  std::string clip = WriteSolidGif("clip.gif", 4, 4, {1, 2});
  DocumentSession state;
  Use(state);
  ASSERT_TRUE(OpenCommand(state, clip));
  EXPECT_EQ(state.documentPath, clip);
  EXPECT_THAT(RecentFiles(), ElementsAre(clip));
  EXPECT_FALSE(RevertToSaved(state));  // not modified: nothing to do
  AddSolidFrame(*state.document, 0, 0, 4, 4, 3);
  state.modified = true;
  Headless().QueueAnswer(answer::Cancel);
  EXPECT_FALSE(RevertToSaved(state));
  EXPECT_EQ(state.document->frameCount, 3);
  Headless().QueueAnswer(answer::Ok);
  EXPECT_TRUE(RevertToSaved(state));
  EXPECT_EQ(FrameNumbers(*state.document), (std::vector<int>{1, 2}));
  EXPECT_TRUE(!state.modified && state.documentPath == clip);
}

// Revert replaces the edits only by the whole file: when the file now reads part way (cut in its
// third frame) or not at all, its message is shown and the document keeps every edit.
TEST_F(FlowTest, RevertKeepsTheEditsWhenTheFileReadsOnlyPartWay) {
  std::string clip = WriteSolidGif("clip.gif", 4, 4, {1, 2, 3});
  const std::string whole = Contents(clip);
  DocumentSession state;
  Use(state);
  ASSERT_TRUE(OpenCommand(state, clip));
  AddSolidFrame(*state.document, 0, 0, 4, 4, 4);
  state.modified = true;
  for (const std::string& now : {whole.substr(0, whole.size() - 6), std::string("GIF89a")}) {
    Put(clip, now);
    Headless().QueueAnswer(answer::Ok);
    EXPECT_FALSE(RevertToSaved(state));
    EXPECT_EQ(FrameNumbers(*state.document), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(state.modified && state.documentPath == clip);
  }
  const std::string question = ResText(str::RevertQuestion);
  EXPECT_THAT(ShownTexts(),
              ElementsAre(question, ResText(str::PartialRead), question, ResText(str::GifDamaged)));
}

}  // namespace
}  // namespace lw::test
