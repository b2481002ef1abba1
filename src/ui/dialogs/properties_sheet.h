// The "Propriétés" sheet: the current frame's page (or the selected frames'), the page of every
// frame and the animation's page. Each page checks its fields when the user leaves it or presses
// OK, and applies its own changes on OK.
#pragma once

#include <QDialog>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/animation.h"

class QTabWidget;

namespace lw {

class FramePropertiesPage;
class AnimationPropertiesPage;

struct PropertiesRequest {
  enum class Opener { Frame, GlobalFrame, Animation };  // which command opened the sheet
  Opener opener = Opener::Frame;
  Animation* animation = nullptr;  // not owned
  int currentFrame = -1;
  bool severalSelected = false;
  std::string fileName;
  uint32_t changes = 0;  // propchange:: bits, read after the sheet closes
  uint32_t hints = 0;    // refresh:: bits gathered from the pages
};

// True when the user pressed OK. The request's bits tell what changed, also after Annuler: a
// palette edited from a page stays edited.
bool AskProperties(QWidget* owner, PropertiesRequest* request);

// The pages open the palette, transparency and background choosers through the services
// (platform/services.h); where the services offer none, the buttons stay greyed with the
// waiting hint.

class PropertiesSheet : public QDialog {
  Q_OBJECT

 public:
  PropertiesSheet(QWidget* owner, PropertiesRequest* request);
  QTabWidget* Tabs() const { return tabs_; }

  void accept() override;
  void done(int result) override;

 private:
  bool ValidatePage(int index);
  void PageChanging(int index);

  PropertiesRequest* request_;
  QTabWidget* tabs_;
  int shownPage_ = 0;
  std::set<int> visited_;
  bool switching_ = false;
};

}  // namespace lw
