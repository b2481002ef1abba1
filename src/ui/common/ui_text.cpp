#include "ui/common/ui_text.h"

#include "base/strings.h"

namespace lw {

QString UiText(int textId) { return QString::fromUtf8(TableText(textId)); }

}  // namespace lw
