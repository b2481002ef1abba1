// Laying a caption over frames from the window: stopped at any point of its work, with the
// history on or off, the document is as it was and no step is left in the history; finished, it
// is what the engine draws, in one step.
#include "shell/layer_commands.h"

#include <gtest/gtest.h>

#include "base/progress.h"
#include "base/string_ids.h"
#include "core/undo.h"
#include "edit/caption/text_layer.h"
#include "support/document.h"
#include "support/services.h"
#include "support/timeline.h"

namespace lw {
namespace {

Layer Caption() {
  TextStyle style;
  style.text = "Été\nà l’ombre";
  style.size = 11;
  style.colour = 0x2040E0;
  style.outlineWidth = 1;
  style.outlineColour = 0xF0F0A0;
  Layer layer;
  std::string detail;
  EXPECT_EQ(RenderText(style, &layer, &detail), 0) << detail;
  return layer;
}

TEST(LayOverCommand, StoppedAnywhereLeavesTheDocumentAsItWas) {
  test::ServicesScope quiet;
  const Layer layer = Caption();
  int reports = 0, stopAt = 0;
  SetProgressReportHookForTests([&] {
    if (++reports == stopAt) ProgressCancel();
  });
  int drawnOn = 0;
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    SCOPED_TRACE(seed);
    AnimationPtr doc = test::RandomAnimation(seed, seed % 3 == 0);
    const AnimationPtr before = DuplicateAnimation(*doc, nullptr);
    LayerOptions options;
    options.place.anchor = static_cast<Anchor>(seed % 9);
    options.place.margin = 1;
    for (int i = 0; i < doc->frameCount; ++i) options.frames.push_back((i + seed) % 3 != 0);
    // The whole run first, to count its reports; then stopped at one of them.
    AnimationPtr finished = DuplicateAnimation(*doc, nullptr);
    ClearHistory();
    reports = 0;
    stopAt = 0;
    LayerReport report;
    uint32_t hints = 0;
    const int message = LayOverCommand(*finished, layer, options, nullptr, &report, &hints);
    if (message == str::CaptionOutside) continue;  // a small screen that shows only blank pixels
    ASSERT_EQ(message, 0);
    ++drawnOn;
    EXPECT_NE(hints, 0u);
    const int total = reports;
    ASSERT_GT(total, 0);
    // What the engine draws, in one step that gives the document back.
    AnimationPtr drawn = DuplicateAnimation(*doc, nullptr);
    ASSERT_EQ(PaintLayer(*drawn, layer, options, nullptr), 0);
    EXPECT_TRUE(test::SameAnimation(*finished, *drawn));
    EXPECT_EQ(CanUndoKind(), UndoKind::AddLayer);
    ASSERT_NE(Undo(*finished), 0u);
    EXPECT_TRUE(test::SameAnimation(*finished, *before));

    for (uint32_t limit : {20u, 0u}) {
      SetUndoLimit(limit);
      ClearHistory();
      reports = 0;
      stopAt = 1 + static_cast<int>(seed * 7 % static_cast<uint32_t>(total));
      EXPECT_EQ(LayOverCommand(*doc, layer, options, nullptr, &report, &hints), LayerStopped)
          << "history " << limit << ", stopped at " << stopAt << " of " << total;
      EXPECT_TRUE(test::SameAnimation(*doc, *before)) << "history " << limit;
      EXPECT_EQ(CanUndoKind(), UndoKind::None);
    }
    SetUndoLimit(20);
  }
  SetProgressReportHookForTests(nullptr);
  ClearHistory();
  EXPECT_GE(drawnOn, 16);
}

// Nothing chosen or nothing on the screen: the engine's message, and no step.
TEST(LayOverCommand, NothingToDrawLeavesNoStep) {
  test::ServicesScope quiet;
  AnimationPtr doc = test::RandomAnimation(5, false);
  const Layer layer = Caption();
  LayerOptions none;
  none.frames.assign(static_cast<size_t>(doc->frameCount), false);
  LayerOptions outside;
  outside.place = {Anchor::At, 0, 70000, 0};
  for (const LayerOptions& options : {none, outside}) {
    ClearHistory();
    uint32_t hints = 1;
    const int message = LayOverCommand(*doc, layer, options, nullptr, nullptr, &hints);
    EXPECT_TRUE(message == str::CaptionNoFrame || message == str::CaptionOutside) << message;
    EXPECT_EQ(hints, 0u);
    EXPECT_EQ(CanUndoKind(), UndoKind::None);
  }
}

}  // namespace
}  // namespace lw
