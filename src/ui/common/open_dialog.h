// The open dialogs of the flows: files to open, insert or merge, in the remembered folder.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "platform/flow_dialogs.h"

class QFileDialog;
class QWidget;

namespace lw {

// The filter list as a file dialog takes it: "label (*.a *.b);;...".
QString QtFilter(const std::vector<FileFilter>& filter);

// Makes a Qt file chooser French whatever the system's language: its own widgets (not the
// desktop's), sizes, types and dates as a French reader writes them, and columns wide enough
// for their French titles. Qt's own texts come from its French translation, loaded at start-up.
void MakeChooserFrench(QFileDialog* chooser);

// Shows the dialog titled with string titleId; *paths gets the full paths of the chosen files
// and the folder is remembered. False when the user cancelled.
bool ChooseFilesToOpen(QWidget* owner, int titleId, const std::vector<FileFilter>& filter,
                       bool multiple, std::vector<std::string>* paths);

}  // namespace lw
