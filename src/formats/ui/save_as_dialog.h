// The Save As dialog: the save types as filters, the overwrite question, and the choice made.
#pragma once

class QWidget;

namespace lw {

struct SaveAsRequest;
struct SaveAsChoice;

// Shows the request (folder, proposed name, preselected type) and fills the choice; false on
// cancel. The choice box and the type panels are not offered yet, so a GIF of several frames is
// saved as the animation.
bool AskSaveAs(QWidget* owner, const SaveAsRequest& request, SaveAsChoice* choice);

}  // namespace lw
