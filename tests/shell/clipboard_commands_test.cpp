#include "shell/clipboard_commands.h"

#include <gtest/gtest.h>

#include "base/preferences.h"
#include "base/string_ids.h"
#include "base/strings.h"
#include "core/support_animation.h"
#include "core/undo.h"
#include "platform/clipboard.h"
#include "platform/headless_services.h"
#include "shell/frame_edit.h"

namespace lw {
namespace {

using namespace lw::testing_support;
using Bytes = std::vector<uint8_t>;

// A packed DIB: 40-byte header, then the given table and pixel bytes.
Bytes Dib(int32_t width, int32_t height, int bits, uint32_t compression, const Bytes& rest) {
  Bytes d(40, 0);
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put(0, 40);
  put(4, static_cast<uint32_t>(width));
  put(8, static_cast<uint32_t>(height));
  d[12] = 1;
  d[14] = static_cast<uint8_t>(bits);
  put(16, compression);
  d.insert(d.end(), rest.begin(), rest.end());
  return d;
}

class ClipboardCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadPreferences();
    ClearHistory();
    DefaultHeadlessServices().Reset();
    DefaultHeadlessServices().SetEcho(false);
    SystemClipboard().Put(nullptr, {});
    state_.document = NumberedAnimation(4);
  }
  void TearDown() override {
    ClearHistory();
    SystemClipboard().Put(nullptr, {});
    DefaultHeadlessServices().Reset();
    DefaultHeadlessServices().SetEcho(true);
  }
  void Select(ShellState& s, std::initializer_list<int> indexes) {
    for (int i : indexes) SelectFrame(*s.document, i, selmode::Toggle);
    s.currentFrame = *indexes.begin();
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> out;
    for (const ShownMessage& m : DefaultHeadlessServices().Messages()) out.push_back(m.text);
    return out;
  }

  ShellState state_;
};

// Copy in one document, paste in another: before the current frame, or at the end without one.
TEST_F(ClipboardCommands, CopyThenPasteIntoAnotherDocument) {
  struct Case {
    const char* name;
    int current;
    std::vector<int> order;
    int firstPasted;
  };
  const Case cases[] = {
      {"before the current frame", 1, {1, 2, 4, 2}, 1},
      {"at the end without one", -1, {1, 2, 2, 4}, 2},
  };
  Select(state_, {1, 3});
  EXPECT_EQ(CopyCommand(state_), 0u);
  EXPECT_FALSE(state_.modified);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearHistory();
    ShellState other;
    other.document = NumberedAnimation(2);
    other.currentFrame = c.current;
    uint32_t hints = PasteCommand(other);
    EXPECT_TRUE(hints & refresh::FrameCount);
    EXPECT_TRUE(other.modified);
    EXPECT_EQ(FrameNumbers(*other.document), c.order);
    EXPECT_EQ(other.currentFrame, c.firstPasted);
    EXPECT_EQ(other.document->selectedCount, 2u);
    EXPECT_EQ(FrameName(FrameAt(*other.document, c.firstPasted)), "frame 2");
    EXPECT_EQ(CanUndoKind(), undo::Paste);
    Undo(*other.document);
    EXPECT_EQ(FrameNumbers(*other.document), (std::vector<int>{1, 2}));
  }
}

TEST_F(ClipboardCommands, CutLeavesOneUndoRecordOfTheDeletionKind) {
  struct Case {
    const char* name;
    std::initializer_list<int> selected;
    std::vector<int> left;
    int current;
  };
  const Case cases[] = {
      {"one frame", {3}, {1, 2, 3}, 2},
      {"several frames", {0, 2}, {2, 4}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Select(state_, c.selected);
    EXPECT_NE(CutCommand(state_), 0u);
    EXPECT_EQ(FrameNumbers(*state_.document), c.left);
    EXPECT_EQ(state_.currentFrame, c.current);
    EXPECT_EQ(CanUndoKind(), undo::DeleteFrames);
    Undo(*state_.document);
    EXPECT_EQ(FrameNumbers(*state_.document), (std::vector<int>{1, 2, 3, 4}));
    // What was cut is on the clipboard.
    AnimationPtr cut = PasteFrames(nullptr);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->frameCount, static_cast<int>(c.selected.size()));
  }
}

TEST_F(ClipboardCommands, PasteWithoutDocumentOpensOne) {
  Select(state_, {0, 1, 2});
  CopyCommand(state_);
  ShellState empty;
  EXPECT_NE(PasteCommand(empty), 0u);
  ASSERT_TRUE(empty.document);
  EXPECT_EQ(FrameNumbers(*empty.document), (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(empty.modified);
  EXPECT_TRUE(empty.documentPath.empty());
  EXPECT_EQ(empty.currentFrame, 0);
  EXPECT_EQ(empty.document->selectedCount, 3u);
  EXPECT_TRUE(empty.document->globalPalette);
}

// Images of other programs arrive as a DIB (the converter's own cases are the BMP tests'): the
// frame is named "[Sans nom]", and pasted into a document a 24-bit one gets a palette image.
TEST_F(ClipboardCommands, ImagesOfOtherProgramsPasteAsOneFrame) {
  ClipboardContents clip;
  // 1 bit, 2 x 2, bottom-up: the second stored row is the top one.
  clip.dib = Dib(2, 2, 1, 0, {0, 0, 0, 0, 255, 255, 255, 0, 0x40, 0, 0, 0, 0x80, 0, 0, 0});
  SystemClipboard().Put(nullptr, clip);
  AnimationPtr a = PasteFrames(nullptr);
  ASSERT_TRUE(a && a->globalPalette);
  EXPECT_EQ(a->globalPalette->Count(), 2);
  EXPECT_EQ(Pixels(*FirstFrame(*a)), (Bytes{1, 0, 0, 1}));
  EXPECT_EQ(FrameName(FirstFrame(*a)), ResText(str::Untitled));

  clip.dib = Dib(1, 1, 16, 3, {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0, 0xE0, 0x07, 0, 0});
  SystemClipboard().Put(nullptr, clip);
  state_.currentFrame = -1;
  ASSERT_NE(PasteCommand(state_), 0u);
  Frame* pasted = FrameAt(*state_.document, 4);
  ASSERT_TRUE(pasted && pasted->palette && pasted->bits());
  const PaletteEntry& e = pasted->palette->entries[pasted->bits()[0]];
  EXPECT_TRUE(e.red < 8 && e.green > 247 && e.blue < 8);
}

TEST_F(ClipboardCommands, NothingToPasteOrDamagedData) {
  struct Case {
    const char* name;
    ClipboardContents clip;
    int message;
  };
  const Case cases[] = {
      {"empty clipboard", {}, str::NoPastableFormat},
      {"damaged frames only", {Bytes(2000, 7), {}}, str::NoPastableFormat},
      {"two bits a pixel", {{}, Dib(1, 1, 2, 0, Bytes(20, 0))}, str::ImageDataUnsupported},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DefaultHeadlessServices().Reset();
    SystemClipboard().Put(nullptr, c.clip);
    state_.currentFrame = 0;
    EXPECT_EQ(PasteCommand(state_), 0u);
    EXPECT_EQ(state_.document->frameCount, 4);
    EXPECT_EQ(Texts(), (std::vector<std::string>{ResText(c.message)}));
  }
}

}  // namespace
}  // namespace lw
