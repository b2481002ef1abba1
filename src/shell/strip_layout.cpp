#include "shell/strip_layout.h"

#include <algorithm>

#include "core/compose.h"

namespace lw {

void StripLayout::SetCell(int direction, uint32_t screenWidth, uint32_t screenHeight, int numerator,
                          int denominator) {
  direction_ = direction == 1 ? 1 : 2;
  imageWidth_ = static_cast<int>(ZoomLength(screenWidth, numerator, denominator));
  imageHeight_ = static_cast<int>(ZoomLength(screenHeight, numerator, denominator));
  // Each picture sits in a black line and the selection border, 4 pixels a side.
  int w = imageWidth_ + 8, h = imageHeight_ + 8;
  linePitch_ = EdgeThickness + (direction_ == 1 ? w : h) + 8;
  cellLength_ = direction_ == 1 ? h : w;
  edgeBand_ = EdgeThickness + 4;
}

void StripLayout::Fit(int frameCount, int viewWidth, int viewHeight) {
  frameCount_ = std::max(0, frameCount);
  alongExtent_ = direction_ == 2 ? viewWidth : viewHeight;
  acrossExtent_ = direction_ == 2 ? viewHeight : viewWidth;
  framesPerLine_ = std::max(1, (alongExtent_ - 2 * Margin) / std::max(1, cellLength_));
  lines_ = (frameCount_ + framesPerLine_ - 1) / framesPerLine_;
}

int StripLayout::AlongMaximum() const {
  // Along the lines only one cell and its margins need room.
  return std::max(0, cellLength_ + 2 * Margin - alongExtent_);
}

int StripLayout::AcrossMaximum() const { return std::max(0, linePitch_ * lines_ - acrossExtent_); }

StripRect StripLayout::Oriented(int along, int across, int alongLength, int acrossLength) const {
  return direction_ == 2 ? StripRect{along, across, alongLength, acrossLength}
                         : StripRect{across, along, acrossLength, alongLength};
}

int StripLayout::HitTest(StripPoint point, StripPoint scroll) const {
  if (linePitch_ <= 0 || cellLength_ <= 0) return -1;
  int across = Across(point) + Across(scroll);
  int along = Along(point) + Along(scroll);
  if (across < 0 || along < Margin) return -1;
  int line = across / linePitch_;
  if (line >= lines_ || across % linePitch_ < edgeBand_) return -1;
  int slot = (along - Margin) / cellLength_;
  if (slot >= framesPerLine_) return -1;
  int index = framesPerLine_ * line + slot;
  return index < frameCount_ ? index : -1;
}

StripRect StripLayout::ImageRect(int index, StripPoint scroll) const {
  if (index < 0 || index >= frameCount_) return {};
  int line = index / framesPerLine_, slot = index % framesPerLine_;
  int along = Margin + cellLength_ * slot - Along(scroll);
  int across = linePitch_ * line + edgeBand_ - Across(scroll);
  StripRect cell = Oriented(along, across, 0, 0);
  return {cell.x + 4, cell.y + 4, imageWidth_, imageHeight_};
}

int StripLayout::InsertionPosition(StripPoint point, StripPoint scroll) const {
  if (linePitch_ <= 0 || cellLength_ <= 0) return -1;
  int across = Across(point), along = Along(point), acrossScroll = Across(scroll);
  int line;
  if (across < 0) {
    // Above the view: the first line once the view cannot scroll back any more.
    if (acrossScroll > 0) return -1;
    line = 0;
  } else if (across >= acrossExtent_) {
    if (acrossScroll < AcrossMaximum()) return -1;
    line = std::max(0, lines_ - 1);
  } else {
    line = (across + acrossScroll) / linePitch_;
    if (line >= lines_) return -1;
  }
  // The nearer boundary of the cell under the point.
  int slot = (along + Along(scroll) + cellLength_ / 2) / cellLength_;
  slot = std::clamp(slot, 0, framesPerLine_);
  return std::min(framesPerLine_ * line + slot, frameCount_);
}

StripPoint StripLayout::MarkerStart(int position, StripPoint scroll) const {
  position = std::min(position, frameCount_);
  int line = position / framesPerLine_, slot = position % framesPerLine_;
  if (line >= lines_ && line > 0) {  // just past the last frame of a full line
    line = lines_ - 1;
    slot = framesPerLine_;
  }
  int along = Margin + cellLength_ * slot - Along(scroll);
  int across = linePitch_ * line + edgeBand_ - Across(scroll);
  StripRect r = Oriented(along, across, 0, 0);
  return {r.x, r.y};
}

int StripLayout::LineStart(int index) const {
  if (index < 0 || framesPerLine_ <= 0) return 0;
  return index / framesPerLine_ * linePitch_;
}

void StripLayout::LinesBetween(int from, int to, int acrossScroll, int* first, int* last) const {
  if (linePitch_ <= 0) {
    *first = 0;
    *last = -1;
    return;
  }
  *first = std::max(0, (from + acrossScroll) / linePitch_);
  *last = std::min((to + acrossScroll) / linePitch_, lines_ - 1);
}

}  // namespace lw
