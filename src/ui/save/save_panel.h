// The panels the Save As dialog shows beside its file chooser: the strip and individual-files
// panels of the choice box, and the extra panel of a type (AVI options, hot spot, ...).
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "formats/save_flow.h"

namespace lw {

// Panel ids, as the save types' optionsPanel and the choice box name them.
namespace savepanel {
constexpr int Strip = 281;
constexpr int Avi = 283;
constexpr int HotSpot = 284;
constexpr int Individual = 294;
constexpr int AviFix = 311;
constexpr int Video = 312;  // the quality of MP4 and WebM clips
constexpr int Webp = 313;   // lossless or lossy WebP
}  // namespace savepanel

// What a panel is built for.
struct SavePanelContext {
  const Animation* document = nullptr;
  uint32_t documentTraits = 0;  // doctrait bits
  int type = 0;                 // savetype
};

class SavePanel : public QWidget {
 public:
  explicit SavePanel(QWidget* parent) : QWidget(parent) {}

  // The name in the dialog's file-name field changed (file name without its folder).
  virtual void NameChanged(const QString& /*name*/) {}
  // The folder the dialog shows changed (absolute, without trailing '/').
  virtual void FolderChanged(const QString& /*folder*/) {}
  // OK was pressed: the panel writes its settings into options. False keeps the dialog open
  // (the panel has told the user why).
  virtual bool Apply(SaveOptions* options) = 0;
  // Whether OK may be pressed now (the AVI fix panel refuses until its fix has run).
  virtual bool AllowsOk() const { return true; }
  // Whether the dialog's file-name field is usable while this panel shows.
  virtual bool UsesFileName() const { return true; }

  // Set by the dialog: call when AllowsOk or the document traits changed, so that it lays out
  // its panels again.
  std::function<void()> changed;
};

using SavePanelFactory = SavePanel* (*)(const SavePanelContext& context, QWidget* parent);

// The factory of a panel id; none for an id without a panel yet.
SavePanelFactory FindSavePanel(int id);

}  // namespace lw
