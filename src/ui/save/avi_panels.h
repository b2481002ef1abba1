// The AVI panels of the Save As dialog: compression and sound track, and the panel that offers to
// fix a document an AVI stream cannot hold.
#pragma once

#include <QString>

#include "ui/save/save_panel.h"

namespace lw {

SavePanel* MakeAviPanel(const SavePanelContext& context, QWidget* parent);
SavePanel* MakeAviFixPanel(const SavePanelContext& context, QWidget* parent);

// The "Insert Audio" chooser: a WAV or AVI file that holds an audio stream, or empty when
// cancelled. A file without one is refused and the chooser comes back.
QString ChooseAudioFile(QWidget* owner, const QString& current);

}  // namespace lw
