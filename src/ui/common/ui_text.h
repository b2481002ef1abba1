// The one way the window and the dialogs turn a text of the table into a QString.
#pragma once

#include <QString>

namespace lw {

// The text of textId (see base/string_ids.h), empty when the id has none.
QString UiText(int textId);

}  // namespace lw
