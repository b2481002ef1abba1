// Small drawn pictures for the preview's toolbars and the duration panel, so that they look the
// same on every desktop theme.
#pragma once

#include <QIcon>

namespace lw {

enum class Glyph {
  Play,
  Stop,
  First,
  Previous,
  Next,
  Last,
  ZoomIn,
  ZoomOut,
  ActualSize,
  Duration,
  Set,
  Add,
  Subtract,
  Multiply,
  Divide,
  Apply,
  Reset,
};

QIcon GlyphIcon(Glyph glyph, int size = 16);

}  // namespace lw
