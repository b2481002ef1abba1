#include "formats/ui/save_as_dialog.h"

#include <QFileDialog>
#include <QStringList>
#include <algorithm>

#include "base/strings.h"
#include "formats/flow_text.h"
#include "formats/format_registry.h"
#include "formats/save_flow.h"
#include "formats/ui/open_dialog.h"
#include "platform/files.h"

namespace lw {

bool AskSaveAs(QWidget* owner, const SaveAsRequest& request, SaveAsChoice* choice) {
  // One filter per save type, entry i being type i + 1.
  QStringList filters;
  for (const FileFilter& f : SaveFilters()) filters << QtFilter({f});
  int type = std::clamp(request.type, 1, savetype::Count);
  QString start = QString::fromStdString(request.folder + request.proposedName);
  for (;;) {
    QString selected = filters[type - 1];
    QString path = QFileDialog::getSaveFileName(owner, QString::fromStdString(ResText(40334)),
                                                start, filters.join(QStringLiteral(";;")),
                                                &selected, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return false;
    int index = static_cast<int>(filters.indexOf(selected));
    if (index >= 0) type = index + 1;
    std::string name = path.toStdString();
    std::string extension = SaveTypeEntry(type).extension;
    size_t slash = name.rfind('/');
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
      name += "." + extension;
    std::vector<SaveChoiceEntry> entries = SaveChoiceEntries(type, request.documentTraits);
    uint32_t bits = saveopt::Plain;
    if (entries.size() >= 2 && entries.front().optionBit == saveopt::AnimationChosen)
      bits = saveopt::AnimationChosen;
    if (FileExists(name) &&
        Services().MessageBox(request.owner, FormatResText(40337, name), ResText(40334),
                              mb::YesNo | mb::DefButton2 | mb::IconExclamation) != answer::Yes) {
      start = QString::fromStdString(name);
      continue;
    }
    choice->path = name;
    choice->type = type;
    choice->options.optionBits = bits;
    return true;
  }
}

}  // namespace lw
