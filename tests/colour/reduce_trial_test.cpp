#include "colour/reduce_trial.h"

#include <gtest/gtest.h>

#include <set>

#include "base/preferences.h"
#include "base/progress.h"
#include "base/settings.h"
#include "colour/colour_engine.h"
#include "core/gif_writer.h"
#include "core/undo.h"
#include "support/document.h"
#include "support/undo_check.h"

namespace lw {
namespace {

using namespace test;

// A 64-colour ramp drawn as diagonal bands over two frames.
AnimationPtr Bands() {
  AnimationPtr a = MakeDocument(32, 16);
  SetGlobalPalette(*a, RampPalette(64));
  for (int shift : {0, 5}) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x) pixels.push_back(static_cast<uint8_t>((x + y + shift) % 64));
    AddFrame(*a, 0, 0, 32, 16, pixels);
  }
  return a;
}

std::set<uint32_t> ColoursUsed(const Animation& a) {
  std::set<uint32_t> colours;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    const Palette* p = f->localPalette ? f->localPalette.get() : a.globalPalette.get();
    for (uint32_t y = 0; y < f->height; ++y)
      for (uint32_t x = 0; x < f->width; ++x) {
        const PaletteEntry& e = p->entries.at(Pixel(f, x, y));
        colours.insert(e.red << 16 | e.green << 8 | e.blue);
      }
  }
  return colours;
}

// The first count (half the largest palette, a power of two), the typed count within 2..256.
TEST(ReduceCounts, InitialCountClampSettingAndTexts) {
  const std::pair<int, int> initial[] = {{256, 128}, {100, 64}, {64, 32}, {65, 64}, {3, 2}, {2, 2}};
  for (auto [m, count] : initial) EXPECT_EQ(InitialReduceCount(m), count) << m;
  const std::pair<int, int> typed[] = {{1, 2}, {-5, 2}, {2, 2}, {100, 100}, {256, 256}, {300, 256}};
  for (auto [count, kept] : typed) EXPECT_EQ(ClampReduceCount(count), kept) << count;
  EXPECT_EQ(std::make_pair(ReduceSetting(16, true), ReduceSetting(999, false)),
            std::make_pair(0x10010u, 256u));
  AnimationPtr a = Bands();
  EXPECT_EQ(LargestPaletteSize(*a), 64);
  FirstFrame(*a)->localPalette = RampPalette(100);
  EXPECT_EQ(LargestPaletteSize(*a), 100);

  EXPECT_EQ(ReduceVolumeText(1234567, "."), "Volume : 1.234.567 octets");
  EXPECT_EQ(ReduceVolumeText(-1, "."), "");
  const std::tuple<int64_t, int64_t, const char*> savings[] = {
      {2000, 1000, "Sauvegardés : 1,000 octets (50,0%)"},
      {1000, 1000, "Sauvegardés : Aucun"},  // nothing saved
      {1000, 1200, "Sauvegardés : Aucun"},  // grew
      {-1, 10, ""}};
  for (auto [before, after, text] : savings)
    EXPECT_EQ(ReduceSavingText(before, after, ","), text) << after;
}

class ReduceTrial : public ::testing::Test {
 protected:
  void SetUp() override { LoadPreferences(); }
  FreshUndoHistory history_;
};

// Locked colours survive the reduction exactly, neighbours (10, 11) kept apart; keeping the copy
// is one undo step.
TEST_F(ReduceTrial, LockedColoursStayAndKeepingTheCopyIsOneUndoStep) {
  AnimationPtr doc = Bands(), copy;
  EXPECT_FALSE(KeepReducedCopy(*doc, nullptr));
  EXPECT_EQ(CanUndoKind(), UndoKind::None);
  LockedColours locked{};
  locked[10] = locked[11] = locked[40] = true;
  ASSERT_TRUE(MakeReducedCopy(*doc, 4, true, &locked, nullptr, &copy));
  std::set<uint32_t> used = ColoursUsed(*copy);
  EXPECT_EQ(copy->globalPalette->Count(), 8 + 1)
      << "with locked colours at least eight, and the slot";
  for (int i : {10, 11, 40}) {
    const PaletteEntry& e = doc->globalPalette->entries[i];
    EXPECT_TRUE(used.count(e.red << 16 | e.green << 8 | e.blue)) << i;
  }
  EXPECT_TRUE(UndoRedoRestores(*doc, [&] { return KeepReducedCopy(*doc, std::move(copy)); }));
  EXPECT_EQ(CanUndoKind(), UndoKind::ReducePalette);
  EXPECT_EQ(ColoursUsed(*doc), used);
}

// Esc at any report of a reduction: the copy under way is dropped, and the reduction itself
// leaves every frame on a palette the animation holds, with its pixels inside it (frames left
// on the replaced global palette would point at freed memory).
TEST_F(ReduceTrial, CancelAtAnyReportLeavesNoHalfMadeAnimation) {
  AnimationPtr doc = Bands();
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 32 * 16; ++i) pixels.push_back(static_cast<uint8_t>(i % 100));
  Frame* local = AddFrame(*doc, 0, 0, 32, 16, pixels);
  SetLocalPalette(local, RampPalette(100));
  UpdateDibColourTable(local);
  AnimationPtr again = Bands();
  for (uint8_t& p : pixels) p %= 64;
  AddFrame(*again, 0, 0, 32, 16, pixels);  // on the global palette: more frames to move
  struct RemoveHook {
    ~RemoveHook() { SetProgressReportHookForTests(nullptr); }
  } removeHook;
  for (AnimationPtr* source : {&doc, &again}) {
    int reports = 0, cancelAt = 0;
    SetProgressReportHookForTests([&] {
      if (++reports == cancelAt) ProgressCancel();
    });
    ProgressMeterPtr counting(CreateProgressMeter(nullptr, 0, 0));
    AnimationPtr whole;
    ASSERT_TRUE(MakeReducedCopy(**source, 8, true, nullptr, counting.get(), &whole));
    const int total = reports;
    ASSERT_GT(total, 6);
    for (cancelAt = 1; cancelAt <= total; ++cancelAt) {
      SCOPED_TRACE(cancelAt);
      reports = 0;
      ProgressMeterPtr meter(CreateProgressMeter(nullptr, 0, 0));
      AnimationPtr copy;
      EXPECT_FALSE(MakeReducedCopy(**source, 8, true, nullptr, meter.get(), &copy));
      EXPECT_FALSE(copy);

      reports = 0;
      AnimationPtr a = DuplicateAnimation(**source, nullptr);
      meter.reset(CreateProgressMeter(nullptr, 0, 0));
      ReduceColours(*a, 8, true, nullptr, meter.get());
      for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
        const Palette* own = f->localPalette ? f->localPalette.get() : a->globalPalette.get();
        ASSERT_EQ(f->palette, own);
        for (uint32_t y = 0; y < f->height; ++y)
          for (uint32_t x = 0; x < f->width; ++x) ASSERT_LT(Pixel(f, x, y), own->Count());
      }
    }
  }
}

}  // namespace
}  // namespace lw
