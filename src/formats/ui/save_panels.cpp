// Every Save As panel, one row each: the panel id and the function that builds it.
#include "formats/ui/avi_panels.h"
#include "formats/ui/hot_spot_panel.h"
#include "formats/ui/individual_files_panel.h"
#include "formats/ui/save_panel.h"
#include "formats/ui/strip_panel.h"

namespace lw {

namespace {

struct SavePanelRow {
  int id;
  SavePanelFactory make;
};

// One row per panel.
const SavePanelRow kPanels[] = {
    {savepanel::Strip, MakeStripPanel},     {savepanel::Individual, MakeIndividualFilesPanel},
    {savepanel::HotSpot, MakeHotSpotPanel}, {savepanel::Avi, MakeAviPanel},
    {savepanel::AviFix, MakeAviFixPanel},
};

}  // namespace

SavePanelFactory FindSavePanel(int id) {
  for (const SavePanelRow& row : kPanels)
    if (row.id == id && id != 0) return row.make;
  return nullptr;
}

}  // namespace lw
