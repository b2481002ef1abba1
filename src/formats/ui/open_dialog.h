// The open dialogs of the flows: files to open, insert or merge, in the remembered folder.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "platform/services.h"

class QWidget;

namespace lw {

// The filter list as a file dialog takes it: "label (*.a *.b);;...".
QString QtFilter(const std::vector<FileFilter>& filter);

// Shows the dialog titled with string titleId; *paths gets the full paths of the chosen files
// and the folder is remembered. False when the user cancelled.
bool ChooseFilesToOpen(QWidget* owner, int titleId, const std::vector<FileFilter>& filter,
                       bool multiple, std::vector<std::string>* paths);

}  // namespace lw
