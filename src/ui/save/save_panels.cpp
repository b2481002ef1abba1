// Every Save As panel, one row each: the panel id and the function that builds it.
#include "ui/save/avi_panels.h"
#include "ui/save/hot_spot_panel.h"
#include "ui/save/individual_files_panel.h"
#include "ui/save/save_panel.h"
#include "ui/save/strip_panel.h"
#include "ui/save/video_panel.h"
#include "ui/save/webp_panel.h"

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
    {savepanel::AviFix, MakeAviFixPanel},   {savepanel::Video, MakeVideoPanel},
    {savepanel::Webp, MakeWebpPanel},
};

}  // namespace

SavePanelFactory FindSavePanel(int id) {
  for (const SavePanelRow& row : kPanels)
    if (row.id == id && id != 0) return row.make;
  return nullptr;
}

}  // namespace lw
