// The reader and its LZW decoder on files written by hand: odd, damaged, hostile. Cut files:
// gif_reader_threads_test.cpp.
#include <cstring>

#include "base/progress.h"
#include "core/gif_source.h"
#include "core/picture_budget.h"
#include "core_fixture.h"
#include "gif_pictures.h"

namespace lw::test {
namespace {

class GifReader : public CoreTest {};

using B = std::vector<uint8_t>;

// Header, a 4 x 2 screen with a two-colour table, then the given blocks.
B File(std::initializer_list<B> blocks, bool trailer = true) {
  B f = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  for (const auto& b : blocks) f.insert(f.end(), b.begin(), b.end());
  if (trailer) f.push_back(0x3B);
  return f;
}
// Image data (code size byte, sub-blocks, terminator) holding exactly the given codes, each at
// the width a decoder reads it with; for streams no encoder would make.
std::vector<uint8_t> PackLzwCodes(int c, const std::vector<int>& codes) {
  const int clear = 1 << c, end = clear + 1;
  int width = c + 1, next = clear + 2, limit = 1 << width;
  bool first = true;
  std::vector<uint8_t> stream;
  uint32_t acc = 0;
  int bits = 0;
  for (int code : codes) {
    acc |= static_cast<uint32_t>(code) << bits;
    for (bits += width; bits >= 8; bits -= 8, acc >>= 8)
      stream.push_back(static_cast<uint8_t>(acc));
    if (code == clear) {
      width = c + 1, next = clear + 2, limit = 1 << width, first = true;
    } else if (code == end) {
    } else if (first) {
      first = false;  // the code after a clear code adds no entry
    } else if (next < 4096 && ++next >= limit && limit < 4096) {
      limit <<= 1;
      ++width;
    }
  }
  if (bits > 0) stream.push_back(static_cast<uint8_t>(acc));
  std::vector<uint8_t> out = {static_cast<uint8_t>(c)};
  for (size_t at = 0; at < stream.size(); at += 255) {
    size_t n = std::min<size_t>(255, stream.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), stream.begin() + at, stream.begin() + at + n);
  }
  out.push_back(0);
  return out;
}
// A 1 x 1 image of pixel 1 at (left, top).
B Dot(uint16_t left = 0, uint16_t top = 0) {
  return {0x2C,
          static_cast<uint8_t>(left),
          static_cast<uint8_t>(left >> 8),
          static_cast<uint8_t>(top),
          static_cast<uint8_t>(top >> 8),
          1,
          0,
          1,
          0,
          0x00,
          0x02,
          0x02,
          0x4C,
          0x01,
          0x00};
}
// A w x h image of the given codes.
B Image(uint8_t w, uint8_t h, int codeSize, std::vector<int> codes) {
  B b = {0x2C, 0, 0, 0, 0, w, 0, h, 0, 0x00};
  B data = PackLzwCodes(codeSize, codes);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}
B Cycle(int n) {
  B pixels;
  for (int i = 0; i < n; ++i) pixels.push_back(i % 4);
  return pixels;
}
// 4 x 8 pixels 0, 1, 2, 3, 0, ... in sub-blocks of one byte.
B OneByteBlocks() {
  std::vector<int> codes = {4};
  for (int p : Cycle(32)) codes.push_back(p);
  codes.push_back(5);
  B image = Image(4, 8, 2, codes), out(image.begin(), image.begin() + 11);
  for (size_t at = 11; image[at]; at += 1 + image[at])
    for (int k = 1; k <= image[at]; ++k) out.insert(out.end(), {1, image[at + k]});
  out.push_back(0);
  return out;
}
B Loop(B tail) {
  B b = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}
B Control(uint8_t flags, uint16_t delay, uint8_t index) {
  return {0x21,  0xF9, 4, flags, static_cast<uint8_t>(delay), static_cast<uint8_t>(delay >> 8),
          index, 0};
}
B Patched(B bytes, size_t at, B with) {
  std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  return bytes;
}

// One row per file: what the reader says and keeps. The files read whole are written back and
// read again to the same document.
TEST_F(GifReader, GoodOddAndDamagedFiles) {
  const GifReadStatus Done = GifReadStatus::Done, Partial = GifReadStatus::Partial,
                      Failed = GifReadStatus::Failed;
  struct Row {
    const char* what;
    B bytes;
    GifReadStatus status;
    std::vector<int> messages;
    int frames = 0;
    uint32_t plays = 1;
    int extensions = 0;  // blocks other than frames
    B pixels = {};       // of the first frame, when given
    uint32_t width = 4, height = 2;
  };
  const uint64_t limit = PictureBudgetBytes();
  SetPictureBudgetBytes(uint64_t{1} << 20);
  const B huge = Patched(Dot(), 5, {0xFF, 0xFF, 0xFF, 0xFF});
  const B badCode = Patched(Dot(), 12, {0xFF});  // 7 first: past the empty table
  const std::vector<Row> rows = {
      {"no frames", File({}), Done, {}, 0},
      {"GIF87a", Patched(File({Dot()}), 4, {'7'}), Done, {}, 1, 1, 0, {1}},
      {"garbage after the trailer",
       Patched(File({Dot(), {0, 0, 0}}), 19 + 15, {0x3B, 1, 2}),
       Done,
       {},
       1},
      {"loop count", File({Loop({3, 1, 5, 0, 0}), Dot()}), Done, {}, 1, 6},
      {"loop sub-block of another length kept",
       File({Loop({2, 7, 7, 1, 9, 0}), Dot()}),
       Done,
       {},
       1,
       1,
       1},
      {"sub-blocks behind the loop count skipped",
       File({Loop({3, 1, 4, 0, 5, 2, 0, 16, 0, 0, 1, 9, 0}), Dot()}),
       Done,
       {},
       1,
       5},
      {"empty loop block kept as a block", File({Loop({0}), Dot()}), Done, {}, 1, 1, 1},
      // LZW streams of code size 2: clear 4, end 5, first free code 6.
      {"two clear codes in a row",
       File({Image(2, 1, 2, {4, 1, 4, 4, 0, 5})}),
       Done,
       {},
       1,
       1,
       0,
       {1, 0}},
      {"clear codes before the first pixel",
       File({Image(2, 1, 2, {4, 4, 4, 1, 2, 5})}),
       Done,
       {},
       1,
       1,
       0,
       {1, 2}},
      {"the next free code", File({Image(3, 1, 2, {4, 2, 6, 5})}), Done, {}, 1, 1, 0, {2, 2, 2}},
      {"sub-blocks of one byte, the terminator read",
       File({OneByteBlocks(), Dot()}),
       Done,
       {},
       2,
       1,
       0,
       Cycle(32),
       4,
       8},
      {"a code past the next free one", File({Image(2, 1, 2, {4, 1, 7, 5})}), Failed, {40183}},
      {"a table code after a clear code",
       File({Dot(), Image(2, 1, 2, {4, 1, 4, 7, 5})}),
       Partial,
       {40184},
       1},
      {"unknown extension label",
       File({Image(2, 1, 2, {4, 0, 1, 5}), {0x21, 0x02, 2, 'h', 'i', 1, '!', 0}, Dot()}),
       Done,
       {},
       2,
       1,
       1,
       {0, 1}},
      {"label 0 kept, empty unknown extension and comment dropped",
       File({{0x21, 0x00, 1, 7, 0}, {0x21, 0x7F, 0}, {0x21, 0xFE, 0}, Dot()}),
       Done,
       {},
       1,
       1,
       1,
       {1}},
      {"pixels past the palette", File({Image(2, 1, 3, {8, 5, 1, 9})}), Done, {}, 1, 1, 0, {5, 1}},
      {"an end code halfway, the rest 0",
       File({Image(4, 2, 2, {4, 1, 1, 1, 1, 5})}),
       Done,
       {},
       1,
       1,
       0,
       {1, 1, 1, 1, 0, 0, 0, 0}},
      {"loop block without terminator",
       File({Dot(), Loop({3, 1, 5, 0, 7}), Dot()}),
       Partial,
       {40184},
       1,
       6},
      {"bad block byte first", File({{0x40}}), Failed, {40183}},
      {"bad block byte", File({Dot(), {0x07}}), Partial, {40184}, 1},
      {"code size 12", File({Dot(), Patched(Dot(), 10, {12})}), Partial, {40184}, 1},
      {"data without end",
       File({Dot(), {0x2C, 0, 0, 0, 0, 9, 0, 9, 0, 0, 2, 1, 0x44, 0}}),
       Partial,
       {40184},
       1},
      {"code past the table", File({badCode}), Failed, {40183}},
      {"code past the table later", File({Dot(), badCode}), Partial, {40184}, 1},
      {"a frame past the memory budget", File({Dot(), huge}), Partial, {40182, 40184}, 1},
      // The screen grows to hold every frame, as far as memory and the 16-bit fields allow.
      {"frame past the screen", File({Dot(), Dot(600, 1)}), Done, {}, 2, 1, 0, {1}, 601, 2},
      {"frame far past the screen", File({Dot(), Dot(1000, 1000)}), Done, {}, 2, 1, 0, {1}},
      {"frame at the edge", File({Dot(), Dot(65535)}), Done, {}, 2, 1, 0, {1}, 65535},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    services_.Reset();
    AnimationPtr a;
    std::vector<int> messages;
    ASSERT_EQ(ReadGifMemory(r.bytes.data(), r.bytes.size(), nullptr, &a, {}, &messages), r.status);
    EXPECT_EQ(messages, r.messages);
    EXPECT_TRUE(Texts().empty()) << "the reader hands its messages back and shows nothing";
    if (r.status == Failed) {
      EXPECT_FALSE(a);
      continue;
    }
    EXPECT_EQ(a->frameCount, r.frames);
    EXPECT_EQ(a->playCount, r.plays);
    EXPECT_EQ(a->screenWidth, r.width);
    EXPECT_EQ(a->screenHeight, r.height);
    int extensions = 0;
    for (Block* b = a->blocks->next; b; b = b->next) extensions += !b->IsFrame();
    EXPECT_EQ(extensions, r.extensions);
    if (!r.pixels.empty()) {
      EXPECT_EQ(Pixels(*FirstFrame(*a)), r.pixels);
    }
    if (r.status != Done) continue;
    AnimationPtr again;
    ASSERT_EQ(ReadBytes(GifBytes(*a), &again), Done);
    if (a->frameCount == 1) again->playCount = a->playCount;  // one frame is written unlooped
    EXPECT_TRUE(SameAnimation(*a, *again));
  }
  SetPictureBudgetBytes(limit);
  for (const char* sig : {"GIF88a", "GIF89b", "GIF8", "PNG\x89\r\n"}) {
    GifSource bad(reinterpret_cast<const uint8_t*>(sig), std::strlen(sig));
    EXPECT_FALSE(IsGifFile(bad)) << sig;
  }
}

TEST_F(GifReader, ScreenControlAndCommentFields) {
  AnimationPtr a;
  // Colour resolution 0 stays the size code; a background index equal to the table size is 0.
  auto f = Patched(File({Control(0x04, 5, 0),
                         Control(0x09, 42, 1),
                         Dot(),
                         {0x21, 0xFE, 3, 'a', 'b', 'c', 0},
                         Dot(7)}),
                   11, {2, 17});
  ASSERT_EQ(ReadBytes(f, &a), GifReadStatus::Done);
  EXPECT_EQ((std::vector<int>{a->backgroundIndex, a->aspectByte}), (std::vector<int>{0, 17}));
  EXPECT_EQ(a->screenWidth, 8u) << "grown to the frame at 7";
  Frame* first = FirstFrame(*a);
  EXPECT_EQ(first->delay, 42u) << "the second control extension wins";
  EXPECT_EQ(first->transparentIndex, 1);
  EXPECT_FALSE(first->transparencyMask.empty());
  std::string text;
  EXPECT_TRUE(CommentText(first->next, &text) && text == "abc");
  EXPECT_EQ(NextFrame(first)->delay, Timing{}.defaultDelay);
  // Delays are read in the units the options give: 42 hundredths are 4 tenths; a frame without
  // a control extension takes the options' own delay.
  GifReadOptions tenths;
  tenths.timing = {DelayUnits::From(10), 33, 0};
  ASSERT_EQ(ReadBytes(f, &a, nullptr, tenths), GifReadStatus::Done);
  EXPECT_EQ(FirstFrame(*a)->delay, 4u);
  EXPECT_EQ(NextFrame(FirstFrame(*a))->delay, 33u);

  B big = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x82, 5, 0};
  big.resize(big.size() + 24, 9);
  big.push_back(0x3B);
  ASSERT_EQ(ReadBytes(big, &a), GifReadStatus::Done);
  EXPECT_EQ(a->screenFlags, 0xA2) << "resolution raised to the size code";
  EXPECT_EQ((std::vector<int>{a->backgroundIndex, a->globalPalette->Count()}),
            (std::vector<int>{5, 8}));
}

TEST_F(GifReader, EscKeepsTheFramesReadAndNamesComeFromTheFile) {
  services_.cancelAtPump = 2;
  ProgressMeter* meter = CreateProgressMeter(nullptr, progress::NoPump, 0);
  AnimationPtr a;
  EXPECT_EQ(ReadBytes(File({Dot(), Dot(), Dot(), Dot()}), &a, meter), GifReadStatus::Partial);
  EXPECT_EQ(a->frameCount, 2);
  EXPECT_EQ(ProgressFlags(meter), progress::NoPump) << "flags restored";
  EXPECT_TRUE(Texts().empty());
  DestroyProgressMeter(meter);

  SetFrameName(FrameAt(*a, 1), "gardé");
  NameFramesFromFile(*a, "/tmp/dossier/chat.gif");
  EXPECT_EQ(FrameNames(*a), (std::vector<std::string>{"chat.gif - cadre 1", "gardé"}));
  ASSERT_EQ(ReadBytes(File({Dot()}), &a), GifReadStatus::Done);
  NameFramesFromFile(*a, "chien.gif");
  EXPECT_EQ(FrameName(FirstFrame(*a)), "chien.gif");
}

}  // namespace
}  // namespace lw::test
