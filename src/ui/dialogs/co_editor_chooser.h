// The choice of the image editor that LiveEdit starts: the desktop's applications that open
// images, or any program file.
#pragma once

#include <QString>

class QWidget;

namespace lw {

// Returns the chosen desktop entry's or program's path; empty when cancelled.
QString ChooseCoEditor(QWidget* parent, const QString& startDir);

}  // namespace lw
