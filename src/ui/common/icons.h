// The program's pictures, drawn in code: toolbar images, the film edge of the frame strip and
// the intro panel's buttons. Drawing them keeps them sharp at any screen scale.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace lw {

// The image of a command's button (a command id); an empty icon when it has none.
QIcon CommandIcon(int command);

// The small pictures in front of the delay edit (delay) and the loop-count edit (loops).
QPixmap DelayLabelPixmap();
QPixmap LoopLabelPixmap();

// One tile of film edge with a sprocket hole: for rows (horizontal, 16 x 12) or for columns
// (vertical, 12 x 16).
QPixmap FilmEdgeTile(bool columns);
constexpr int FilmEdgeThickness = 12;
constexpr int FilmEdgeLength = 16;

// The program's own icon (window and About box): the installed theme's, else drawn here.
QIcon ProgramIcon();

}  // namespace lw
