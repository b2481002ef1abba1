// The About box: the program's name, version and toolkit.
#pragma once

class QWidget;

namespace lw {

void ShowAboutBox(QWidget* owner);

}  // namespace lw
