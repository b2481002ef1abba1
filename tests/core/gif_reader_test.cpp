// The reader on files written by hand: odd but valid ones, damaged and cut ones, and the
// limits that keep a hostile file from taking all memory.
#include <cstring>

#include "base/progress.h"
#include "core/gif_source.h"
#include "core/picture_budget.h"
#include "core_fixture.h"
#include "gif_pictures.h"
#include "support/reference_lzw.h"

namespace lw::test {
namespace {

class GifReader : public CoreTest {};

// Hand-written files: header, a 4 x 2 screen with a two-colour table, then the given blocks.
std::vector<uint8_t> File(std::initializer_list<std::vector<uint8_t>> blocks, bool trailer = true) {
  std::vector<uint8_t> f = {'G',  'I', 'F', '8', '9', 'a', 4,   0,   2,  0,
                            0x80, 0,   0,   0,   0,   0,   255, 255, 255};
  for (const auto& b : blocks) f.insert(f.end(), b.begin(), b.end());
  if (trailer) f.push_back(0x3B);
  return f;
}
// A 1 x 1 image of pixel 1 at the given position.
std::vector<uint8_t> Dot(uint8_t left = 0) {
  return {0x2C, left, 0, 0, 0, 1, 0, 1, 0, 0x00, 0x02, 0x02, 0x4C, 0x01, 0x00};
}
std::vector<uint8_t> Control(uint8_t flags, uint16_t delay, uint8_t index) {
  return {0x21,  0xF9, 0x04, flags, static_cast<uint8_t>(delay), static_cast<uint8_t>(delay >> 8),
          index, 0};
}

TEST_F(GifReader, SignatureAndEmptyDocuments) {
  for (const char* sig : {"GIF89a", "GIF87a"}) {
    GifSource ok(reinterpret_cast<const uint8_t*>(sig), 6);
    EXPECT_TRUE(IsGifFile(ok));
  }
  for (const char* sig : {"GIF88a", "GIF89b", "GIF8", "PNG\x89\r\n"}) {
    GifSource bad(reinterpret_cast<const uint8_t*>(sig), std::strlen(sig));
    EXPECT_FALSE(IsGifFile(bad)) << sig;
  }
  AnimationPtr a;
  EXPECT_EQ(ReadBytes(File({}), &a), GifReadStatus::Done);
  EXPECT_EQ(a->frameCount, 0);
  EXPECT_EQ(a->playCount, 1u);
  auto old = File({Dot()});
  old[4] = '7';
  EXPECT_EQ(ReadBytes(old, &a), GifReadStatus::Done);
  EXPECT_EQ(a->frameCount, 1);
  EXPECT_EQ(Pixels(*FirstFrame(*a)), std::vector<uint8_t>{1});
  EXPECT_TRUE(Texts().empty());
}

TEST_F(GifReader, ScreenDescriptorFields) {
  auto f = File({Dot(), Dot(7)});
  f[10] = 0x80;  // colour resolution 0 is raised to the table's size code (0 already)
  f[11] = 2;     // background index equal to the table size
  f[12] = 17;
  AnimationPtr a;
  ASSERT_EQ(ReadBytes(f, &a), GifReadStatus::Done);
  EXPECT_EQ(a->backgroundIndex, 0);
  EXPECT_EQ(a->aspectByte, 17);
  EXPECT_EQ(a->screenWidth, 8u) << "grown to the frame at 7";
  EXPECT_EQ(a->encodedSizeCache, static_cast<int32_t>(f.size()));

  std::vector<uint8_t> big = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x82, 5, 0};
  big.resize(big.size() + 24, 9);
  big.push_back(0x3B);
  ASSERT_EQ(ReadBytes(big, &a), GifReadStatus::Done);
  EXPECT_EQ(a->screenFlags, 0xA2) << "resolution raised to the size code";
  EXPECT_EQ(a->backgroundIndex, 5);
  EXPECT_EQ(a->globalPalette->Count(), 8);
}

TEST_F(GifReader, ControlExtensionsAndComments) {
  AnimationPtr a;
  auto f = File({Control(0x04, 5, 0),
                 Control(0x09, 42, 1),
                 Dot(),
                 {0x21, 0xFE, 0x00},
                 {0x21, 0xFE, 3, 'a', 'b', 'c', 0},
                 Dot()});
  ASSERT_EQ(ReadBytes(f, &a), GifReadStatus::Done);
  Frame* first = FirstFrame(*a);
  EXPECT_EQ(first->delay, 42u) << "the second control extension wins";
  EXPECT_EQ(first->controlFlags, 0x09);
  EXPECT_EQ(first->transparentIndex, 1);
  EXPECT_FALSE(first->transparencyMask.empty());
  ASSERT_EQ(first->next->kind, BlockKind::Comment) << "the empty comment is dropped";
  std::string text;
  EXPECT_TRUE(CommentText(first->next, &text));
  EXPECT_EQ(text, "abc");
  EXPECT_TRUE(first->next->next->IsFrame());
  EXPECT_EQ(static_cast<Frame*>(first->next->next)->delay, GetPref(PrefDefaultDelay));
  // Delays are read in the unit the preferences give: 42 hundredths are 4 tenths.
  SetPref(PrefDelayUnits, 10);
  ASSERT_EQ(ReadBytes(f, &a), GifReadStatus::Done);
  EXPECT_EQ(FirstFrame(*a)->delay, 4u);
}

TEST_F(GifReader, LoopBlockVariants) {
  auto loop = [](std::vector<uint8_t> tail) {
    std::vector<uint8_t> b = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S',
                              'C',  'A',  'P', 'E', '2', '.', '0'};
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  AnimationPtr a;
  ASSERT_EQ(ReadBytes(File({loop({3, 1, 5, 0, 0}), Dot()}), &a), GifReadStatus::Done);
  EXPECT_EQ(a->playCount, 6u);
  EXPECT_EQ(a->blocks->next->kind, BlockKind::Frame) << "no block kept for the loop count";
  // A second sub-block of another length is kept as an application block.
  ASSERT_EQ(ReadBytes(File({loop({2, 7, 7, 1, 9, 0}), Dot()}), &a), GifReadStatus::Done);
  EXPECT_EQ(a->playCount, 1u);
  ASSERT_EQ(a->blocks->next->kind, BlockKind::Application);
  EXPECT_EQ(static_cast<ExtensionBlock*>(a->blocks->next)->data.size(), 12u + 3 + 2 + 1);
  // Sub-blocks behind the loop count are read to the terminator and not kept.
  ASSERT_EQ(ReadBytes(File({loop({3, 1, 4, 0, 5, 2, 0, 16, 0, 0, 1, 9, 0}), Dot()}), &a),
            GifReadStatus::Done);
  EXPECT_EQ(a->playCount, 5u);
  EXPECT_EQ(a->frameCount, 1);
  EXPECT_EQ(a->blocks->next->kind, BlockKind::Frame);
  // An empty second sub-block ends the block; the next blocks are read as blocks.
  ASSERT_EQ(ReadBytes(File({loop({0}), Dot()}), &a), GifReadStatus::Done);
  EXPECT_EQ(a->frameCount, 1);
  EXPECT_TRUE(Texts().empty());
  // No terminator after the count: a damaged file.
  ASSERT_EQ(ReadBytes(File({Dot(), loop({3, 1, 5, 0, 7}), Dot()}), &a), GifReadStatus::Partial);
  EXPECT_EQ(Texts(), TextsOf({40184}));
}

// Files that browsers show, read and written back: the frames and blocks come through as read.
TEST_F(GifReader, OddButValidFilesReadAndWriteBack) {
  auto image = [](std::vector<int> codes) {
    std::vector<uint8_t> b = {0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x00};
    auto data = PackLzwCodes(2, codes);
    b.insert(b.end(), data.begin(), data.end());
    return b;
  };
  // A two-colour table with minimum code size 3, so that pixel 5 lies past the palette.
  std::vector<uint8_t> pastPalette = {0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x00};
  {
    auto data = PackLzwCodes(3, {8, 5, 1, 9});
    pastPalette.insert(pastPalette.end(), data.begin(), data.end());
  }
  std::vector<uint8_t> halfway = {0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0x00};
  {
    auto data = PackLzwCodes(2, {4, 1, 1, 1, 1, 5});
    halfway.insert(halfway.end(), data.begin(), data.end());
  }
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> pixels;  // of the first frame
    std::vector<int> labels;      // kinds of the blocks other than frames, in order
  };
  const std::vector<Case> cases = {
      {"two clear codes in a row", File({image({4, 1, 4, 4, 0, 5})}), {1, 0}, {}},
      {"unknown extension label",
       File({image({4, 0, 1, 5}), {0x21, 0x02, 2, 'h', 'i', 1, '!', 0}, Dot()}),
       {0, 1},
       {0x02}},
      {"label 0 and an empty unknown extension",
       File({{0x21, 0x00, 1, 7, 0}, {0x21, 0x7F, 0}, Dot()}),
       {1},
       {0x00}},
      {"pixels past the palette", File({pastPalette}), {5, 1}, {}},
      {"an end code halfway, the rest 0", File({halfway}), {1, 1, 1, 1, 0, 0, 0, 0}, {}},
  };
  for (const auto& c : cases) {
    services_.Reset();
    AnimationPtr a;
    ASSERT_EQ(ReadBytes(c.bytes, &a), GifReadStatus::Done) << c.what;
    EXPECT_TRUE(Texts().empty()) << c.what;
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_EQ(Pixels(*FirstFrame(*a)), c.pixels) << c.what << " pass " << pass;
      std::vector<int> labels;
      for (Block* b = a->blocks->next; b; b = b->next)
        if (!b->IsFrame()) labels.push_back(static_cast<ExtensionBlock*>(b)->label);
      EXPECT_EQ(labels, c.labels) << c.what << " pass " << pass;
      auto written = GifBytes(*a);
      AnimationPtr again;
      ASSERT_EQ(ReadBytes(written, &again), GifReadStatus::Done) << c.what;
      EXPECT_TRUE(SameAnimation(*a, *again)) << c.what;
      a = std::move(again);
    }
  }
}

TEST_F(GifReader, ScreenGrowsOnlyAsFarAsAGifAndMemoryHold) {
  auto at = [](uint16_t left, uint16_t top) {
    auto dot = Dot();
    dot[1] = static_cast<uint8_t>(left), dot[2] = static_cast<uint8_t>(left >> 8);
    dot[3] = static_cast<uint8_t>(top), dot[4] = static_cast<uint8_t>(top >> 8);
    return dot;
  };
  uint64_t old = GifFrameByteLimit();
  SetGifFrameByteLimit(uint64_t{1} << 20);
  struct Case {
    uint16_t left, top;
    uint32_t width, height;
  } cases[] = {{600, 1, 601, 2}, {1000, 1000, 4, 2}, {65535, 0, 65535, 2}};
  for (const auto& c : cases) {
    AnimationPtr a;
    ASSERT_EQ(ReadBytes(File({Dot(), at(c.left, c.top)}), &a), GifReadStatus::Done);
    EXPECT_EQ(a->screenWidth, c.width) << c.left << "," << c.top;
    EXPECT_EQ(a->screenHeight, c.height) << c.left << "," << c.top;
    EXPECT_TRUE(PictureFitsBudget(a->screenWidth, a->screenHeight, 4));
  }
  SetGifFrameByteLimit(uint64_t{1} << 40);
  AnimationPtr a;
  ASSERT_EQ(ReadBytes(File({at(65535, 65535)}), &a), GifReadStatus::Done);
  EXPECT_EQ(a->screenWidth, 65535u) << "what the 16-bit fields hold";
  EXPECT_EQ(a->screenHeight, 65535u);
  SetGifFrameByteLimit(old);
  EXPECT_TRUE(Texts().empty());
}

TEST_F(GifReader, FailureTable) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    GifReadStatus status;
    std::vector<int> messages;
  };
  auto bigCode = Dot();
  bigCode[10] = 12;
  auto badCodes = Dot();
  badCodes[12] = 0xFF;  // 7 as the first code: past the empty table
  auto huge = Dot();
  huge[5] = huge[6] = huge[7] = huge[8] = 0xFF;
  const uint64_t limit = GifFrameByteLimit();
  SetGifFrameByteLimit(uint64_t{1} << 20);
  // One message each: a damaged file says what was kept, or that it is damaged when nothing was
  // (cut files: gif_reader_threads_test.cpp). The reader hands them back and shows nothing.
  std::vector<Case> cases = {
      {"bad block byte first", File({{0x40}}), GifReadStatus::Failed, {40183}},
      {"bad block byte", File({Dot(), {0x07}}), GifReadStatus::Partial, {40184}},
      {"code size 12", File({Dot(), bigCode}), GifReadStatus::Partial, {40184}},
      {"data without end",
       File({Dot(), {0x2C, 0, 0, 0, 0, 9, 0, 9, 0, 0, 2, 1, 0x44, 0}}),
       GifReadStatus::Partial,
       {40184}},
      {"garbage after the trailer",
       [] {
         auto f = File({Dot()});
         f.insert(f.end(), {1, 2, 3});
         return f;
       }(),
       GifReadStatus::Done,
       {}},
      {"code past the table", File({badCodes}), GifReadStatus::Failed, {40183}},
      {"code past the table later", File({Dot(), badCodes}), GifReadStatus::Partial, {40184}},
      {"a frame past the memory budget",
       File({Dot(), huge}),
       GifReadStatus::Partial,
       {40182, 40184}},
  };
  for (const auto& c : cases) {
    services_.Reset();
    AnimationPtr a;
    std::vector<int> messages;
    EXPECT_EQ(ReadGifMemory(c.bytes.data(), c.bytes.size(), nullptr, &a, {}, &messages), c.status)
        << c.what;
    EXPECT_EQ(a == nullptr, c.status == GifReadStatus::Failed) << c.what;
    EXPECT_EQ(messages, c.messages) << c.what;
    EXPECT_TRUE(Texts().empty()) << c.what;
  }
  SetGifFrameByteLimit(limit);
}

TEST_F(GifReader, EscKeepsTheFramesRead) {
  auto f = File({Dot(), Dot(), Dot(), Dot()});
  services_.cancelAtPump = 2;
  ProgressMeter* meter = CreateProgressMeter(nullptr, progress::NoPump, 0);
  AnimationPtr a;
  EXPECT_EQ(ReadBytes(f, &a, meter), GifReadStatus::Partial);
  EXPECT_EQ(a->frameCount, 2);
  EXPECT_EQ(ProgressFlags(meter), progress::NoPump) << "flags restored";
  EXPECT_TRUE(Texts().empty());
  DestroyProgressMeter(meter);
}

TEST_F(GifReader, FrameNames) {
  AnimationPtr a;
  ASSERT_EQ(ReadBytes(File({Dot(), Dot()}), &a), GifReadStatus::Done);
  SetFrameName(FrameAt(*a, 1), "gardé");
  NameFramesFromFile(*a, "/tmp/dossier/chat.gif");
  EXPECT_EQ(FrameName(FrameAt(*a, 0)), "chat.gif - cadre 1");
  EXPECT_EQ(FrameName(FrameAt(*a, 1)), "gardé");
  ASSERT_EQ(ReadBytes(File({Dot()}), &a), GifReadStatus::Done);
  NameFramesFromFile(*a, "chien.gif");
  EXPECT_EQ(FrameName(FirstFrame(*a)), "chien.gif");
}

}  // namespace
}  // namespace lw::test
