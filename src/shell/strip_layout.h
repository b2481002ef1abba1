// The frame strip's geometry: frames in cells along lines of film, the lines stacked across the
// view. Where each picture lies, how far the view scrolls, and which frame or drop slot a point of
// the view falls on. Points are in view coordinates; scroll is the view's horizontal and vertical
// scroll values.
#pragma once

#include <cstdint>

namespace lw {

struct StripPoint {
  int x = 0;
  int y = 0;
};

struct StripRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
};

class StripLayout {
 public:
  static constexpr int Margin = 5;  // before the first cell of a line
  // Thickness of the sprocket band along each line.
  static constexpr int EdgeThickness = 12;

  // direction: 1 frames in columns (scrolling sideways), 2 frames in rows (scrolling up and down).
  // Pictures are the screen at the zoom numerator / denominator.
  void SetCell(int direction, uint32_t screenWidth, uint32_t screenHeight, int numerator,
               int denominator);
  // Fills lines for the frame count and a view of that size.
  void Fit(int frameCount, int viewWidth, int viewHeight);

  int Direction() const { return direction_; }
  int ImageWidth() const { return imageWidth_; }
  int ImageHeight() const { return imageHeight_; }
  int LinePitch() const { return linePitch_; }
  int CellLength() const { return cellLength_; }
  int EdgeBand() const { return edgeBand_; }
  int FramesPerLine() const { return framesPerLine_; }
  int Lines() const { return lines_; }
  int FrameCount() const { return frameCount_; }
  // The view's extent along and across the lines.
  int AlongExtent() const { return alongExtent_; }
  int AcrossExtent() const { return acrossExtent_; }
  // Largest scroll values along and across the lines (0 when all fits).
  int AlongMaximum() const;
  int AcrossMaximum() const;

  // The component of a point or scroll along / across the lines.
  int Along(StripPoint p) const { return direction_ == 2 ? p.x : p.y; }
  int Across(StripPoint p) const { return direction_ == 2 ? p.y : p.x; }
  // A rectangle from its along and across parts.
  StripRect Oriented(int along, int across, int alongLength, int acrossLength) const;

  // The frame whose cell holds the point, -1 on the sprocket band, the margins or past the end.
  int HitTest(StripPoint point, StripPoint scroll) const;
  // Where the frame's picture is drawn (empty for no frame).
  StripRect ImageRect(int index, StripPoint scroll) const;
  // The slot (0..frame count) a frame dragged to the point goes to; -1 while the point is beyond
  // an edge the view can still scroll towards, or past the last line.
  int InsertionPosition(StripPoint point, StripPoint scroll) const;
  // The start of the drop marker for a slot: along at the cell boundary, across below the band.
  StripPoint MarkerStart(int position, StripPoint scroll) const;
  // The across scroll that starts the view at the frame's line.
  int LineStart(int index) const;
  // The lines that touch the across span [from, to] of the view (first > last for none).
  void LinesBetween(int from, int to, int acrossScroll, int* first, int* last) const;

 private:
  int direction_ = 2;
  int imageWidth_ = 0, imageHeight_ = 0;
  int linePitch_ = 0, cellLength_ = 0, edgeBand_ = 0;
  int framesPerLine_ = 1, lines_ = 0, frameCount_ = 0;
  int alongExtent_ = 0, acrossExtent_ = 0;
};

}  // namespace lw
