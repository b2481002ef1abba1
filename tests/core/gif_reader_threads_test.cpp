// Worker threads read what one thread reads: document, status, messages, progress positions.
#include <random>
#include <tuple>

#include "base/progress.h"
#include "core/picture_budget.h"
#include "core_fixture.h"
#include "gif_pictures.h"

namespace lw::test {
namespace {

struct PositionLog : ProgressView {
  explicit PositionLog(std::vector<int>* log) : log(log) {}
  void SetRange(int total) override { log->push_back(-total); }
  void SetPosition(int position) override { log->push_back(position); }
  void Step() override {}
  void SetText(const std::string&) override {}
  std::vector<int>* log;
};

class GifReaderThreads : public CoreTest {
 protected:
  struct Outcome {
    int status = -1;
    AnimationPtr doc;
    std::vector<std::string> messages;
    std::vector<int> positions;
  };
  GifReadOptions readOptions_;
  uint64_t limit_ = 0;

  // Damage can make a frame of any size: a small budget keeps the reads quick.
  void SetUp() override {
    CoreTest::SetUp();
    limit_ = PictureBudgetBytes();
    SetPictureBudgetBytes(uint64_t{1} << 20);
  }
  void TearDown() override {
    SetPictureBudgetBytes(limit_);
    SetGifDecoderThreads(0);
    CoreTest::TearDown();
  }

  Outcome ReadWith(int threads, const std::vector<uint8_t>& bytes, int cancelAtPump) {
    Outcome o;
    services_.Reset();
    services_.pumps = 0;
    services_.cancelAtPump = cancelAtPump;
    SetGifDecoderThreads(threads);
    services_.popups = [&o](WindowHandle) -> std::unique_ptr<ProgressView> {
      return std::make_unique<PositionLog>(&o.positions);
    };
    ProgressMeter* meter = CreateProgressMeter(nullptr, progress::OwnPopup, 0);
    o.status = static_cast<int>(ReadBytes(bytes, &o.doc, meter, readOptions_));
    DestroyProgressMeter(meter);
    services_.popups = nullptr;
    o.messages = Texts();
    return o;
  }

  // One thread against two and three, each run cancelled at the given pump (0: never).
  Outcome ExpectSameReads(const std::vector<uint8_t>& bytes, const std::string& what,
                          int cancelAtPump = 0) {
    Outcome one = ReadWith(1, bytes, cancelAtPump);
    for (int threads : {2, 3}) {
      Outcome many = ReadWith(threads, bytes, cancelAtPump);
      SCOPED_TRACE(what + ", " + std::to_string(threads) + " threads");
      EXPECT_EQ(std::tie(many.status, many.messages, many.positions),
                std::tie(one.status, one.messages, one.positions));
      EXPECT_EQ(many.doc == nullptr, one.doc == nullptr);
      if (one.doc && many.doc) {
        EXPECT_TRUE(SameAnimation(*many.doc, *one.doc));
        EXPECT_EQ(many.doc->encodedSizeCache, one.doc->encodedSizeCache);
      }
    }
    return one;
  }
};

TEST_F(GifReaderThreads, SamplesRandomFilesDamageAndBudgets) {
  readOptions_.keepInterlace = true;
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (uint32_t seed = 1; seed <= 12; ++seed)
    files.emplace_back("random " + std::to_string(seed), GifBytes(*VariedAnimation(seed)));
  std::mt19937 rng(7);
  for (const auto& [name, bytes] : files) {
    ExpectSameReads(bytes, name);
    for (int pump : {1, 2, 5}) ExpectSameReads(bytes, name + " cancelled", pump);
    // Damage: a byte changed, or a stretch dropped.
    for (int k = 0; k < 12; ++k) {
      std::vector<uint8_t> hurt = bytes;
      const size_t at = 13 + rng() % (hurt.size() - 13);
      if (k % 2) {
        hurt[at] = static_cast<uint8_t>(rng());
      } else {
        hurt.erase(hurt.begin() + at, hurt.begin() + std::min(hurt.size(), at + 1 + rng() % 40));
      }
      ExpectSameReads(hurt, name + " damaged at " + std::to_string(at));
    }
  }
  // The frame budget stops every reader at the same frame.
  for (uint64_t limit : {uint64_t{1}, uint64_t{3000}, uint64_t{12000}, uint64_t{30000}}) {
    SetPictureBudgetBytes(limit);
    ExpectSameReads(files[4].second, "limit " + std::to_string(limit));
  }
}

// A file cut anywhere keeps the frames read whole and says so, or says it is damaged.
TEST_F(GifReaderThreads, EveryCutOfASmallFile) {
  AnimationPtr whole = VariedAnimation(99);
  const std::vector<uint8_t> bytes = GifBytes(*whole);
  ASSERT_LT(bytes.size(), 6000u);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    Outcome o = ExpectSameReads(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut), "");
    if (o.status == static_cast<int>(GifReadStatus::Failed)) {
      // Without the whole signature it is not a GIF at all: nothing to say.
      EXPECT_EQ(o.messages, cut < 6 ? std::vector<std::string>{} : TextsOf({40183}));
      continue;
    }
    ASSERT_EQ(o.status, static_cast<int>(GifReadStatus::Partial));
    EXPECT_EQ(o.messages, TextsOf({40184}));
    ASSERT_LE(o.doc->frameCount, whole->frameCount);
    for (int k = 0; k < o.doc->frameCount; ++k)
      ASSERT_EQ(Pixels(*FrameAt(*o.doc, k)), Pixels(*FrameAt(*whole, k))) << k;
  }
}

}  // namespace
}  // namespace lw::test
