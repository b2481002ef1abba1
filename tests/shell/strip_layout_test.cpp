// The frame strip's geometry without widgets: cells, gaps, the last line, scrolling and drops.
#include "shell/strip_layout.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

// Frames in rows: a 40 x 30 screen at actual size gives 48-pixel cells on 58-pixel lines whose
// first 16 pixels are the sprocket band. A 200 x 100 view holds 3 frames a line: 7 frames make
// 3 lines, the last with one frame, and the view scrolls 3 x 58 - 100 = 74 down.
StripLayout Rows(int frames) {
  StripLayout layout;
  layout.SetCell(2, 40, 30, 1, 1);
  layout.Fit(frames, 200, 100);
  return layout;
}

bool SameRect(StripRect r, int x, int y, int w, int h) {
  return r.x == x && r.y == y && r.width == w && r.height == h;
}

TEST(StripLayout, CellsAndTheGapsBetweenThem) {
  StripLayout s = Rows(7);
  ASSERT_EQ(s.CellLength(), 48);
  ASSERT_EQ(s.LinePitch(), 58);
  ASSERT_EQ(s.FramesPerLine(), 3);
  ASSERT_EQ(s.Lines(), 3);
  EXPECT_EQ(s.AcrossMaximum(), 74);
  EXPECT_EQ(s.AlongMaximum(), 0);
  StripPoint none;
  // The margin, the first cell's first and last pixels, the next cell, the sprocket band, the
  // next line's band and its frames, past a line's last cell, the last line's one frame, its
  // empty cells and what lies below.
  const int hits[][3] = {{4, 20, -1},   {5, 20, 0},  {52, 20, 0},   {53, 20, 1},
                         {5, 15, -1},   {5, 57, 0},  {5, 58, -1},   {5, 74, 3},
                         {149, 74, -1}, {5, 132, 6}, {53, 132, -1}, {5, 190, -1}};
  for (auto [x, y, frame] : hits) EXPECT_EQ(s.HitTest({x, y}, none), frame) << x << "," << y;
  EXPECT_TRUE(SameRect(s.ImageRect(0, none), 9, 20, 40, 30));
  EXPECT_TRUE(SameRect(s.ImageRect(6, none), 9, 136, 40, 30));
  EXPECT_TRUE(s.ImageRect(7, none).Empty());
  EXPECT_TRUE(s.ImageRect(-1, none).Empty());
}

TEST(StripLayout, ScrolledViewsAndColumns) {
  StripLayout s = Rows(7);
  StripPoint down{0, 58};
  EXPECT_EQ(s.HitTest({5, 16}, down), 3);
  EXPECT_TRUE(SameRect(s.ImageRect(3, down), 9, 20, 40, 30));
  EXPECT_TRUE(s.LineStart(5) == 58 && s.LineStart(6) == 116);
  int first = 0, last = 0;
  s.LinesBetween(0, 99, 74, &first, &last);
  EXPECT_TRUE(first == 1 && last == 2) << first << ".." << last;
  s.LinesBetween(0, 99, 0, &first, &last);
  EXPECT_EQ(last, 1);

  // In columns the cells run down and the lines across: x and y trade places.
  StripLayout c;
  c.SetCell(1, 40, 30, 1, 1);
  c.Fit(7, 100, 200);
  ASSERT_TRUE(c.CellLength() == 38 && c.LinePitch() == 68 && c.FramesPerLine() == 5);
  EXPECT_TRUE(SameRect(c.ImageRect(6, {}), 88, 47, 40, 30));
  EXPECT_EQ(c.HitTest({88, 47}, {}), 6);
  EXPECT_EQ(c.HitTest({88 - 68, 47}, {}), 1);
  EXPECT_EQ(c.HitTest({88, 47}, {68, 0}), -1);  // scrolled sideways past the last line
  EXPECT_EQ(c.AcrossMaximum(), 2 * 68 - 100);
}

TEST(StripLayout, DropSlots) {
  StripLayout s = Rows(7);
  StripPoint none;
  // The boundary nearest the point, half a cell either way; the end of a full line; past the
  // last frame of the last line (after it, not in an empty cell); beyond an edge, nothing while
  // the view can still scroll that way, else the edge line.
  const int slots[][5] = {{23, 30, 0, 0, 0},   {24, 30, 0, 0, 1}, {72, 30, 0, 0, 2},
                          {199, 30, 0, 0, 3},  {24, 80, 0, 0, 4}, {150, 50, 0, 74, 7},
                          {24, -5, 0, 10, -1}, {24, -5, 0, 0, 1}, {24, 100, 0, 73, -1},
                          {24, 100, 0, 74, 7}};
  for (auto [x, y, sx, sy, slot] : slots)
    EXPECT_EQ(s.InsertionPosition({x, y}, {sx, sy}), slot) << x << "," << y << " " << sy;

  // The marker after a full line's last frame stays on that line, not at the next one's start.
  StripLayout full = Rows(6);
  StripPoint end = full.MarkerStart(6, none), next = full.MarkerStart(3, none);
  EXPECT_TRUE(end.x == 149 && end.y == 74) << end.x << "," << end.y;
  EXPECT_TRUE(next.x == 5 && next.y == 74) << next.x << "," << next.y;
}

TEST(StripLayout, EmptyDocument) {
  StripLayout s = Rows(0);
  EXPECT_TRUE(s.Lines() == 0 && s.AcrossMaximum() == 0);
  EXPECT_TRUE(s.HitTest({5, 20}, {}) == -1 && s.ImageRect(0, {}).Empty());
  EXPECT_EQ(s.InsertionPosition({30, 30}, {}), -1);
  EXPECT_EQ(s.InsertionPosition({30, -1}, {}), 0);  // frames dropped above go first
  int first = 0, last = 0;
  s.LinesBetween(0, 99, 0, &first, &last);
  EXPECT_GT(first, last);
}

}  // namespace
}  // namespace lw
