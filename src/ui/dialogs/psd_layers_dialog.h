// "Support d'étages PSD": how the layers of a PSD file become frames.
#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QRadioButton;

namespace lw {

class PsdLayersDialog : public QDialog {
  Q_OBJECT

 public:
  // options: the choice to show first (psdopt bits).
  PsdLayersDialog(QWidget* owner, uint32_t options);

  // The psdopt bits of what is chosen.
  uint32_t Options() const;

  QRadioButton* Composite() const { return composite_; }
  QRadioButton* Layers() const { return layers_; }
  QRadioButton* OntoBackground() const { return ontoBackground_; }
  QRadioButton* OntoComposite() const { return ontoComposite_; }
  QRadioButton* Separate() const { return separate_; }
  QCheckBox* KeepBackground() const { return keepBackground_; }
  QCheckBox* KeepTransparency() const { return keepTransparency_; }

 private:
  void UpdateEnabled();

  QRadioButton* composite_;
  QRadioButton* layers_;
  QRadioButton* ontoBackground_;
  QRadioButton* ontoComposite_;
  QRadioButton* separate_;
  QCheckBox* keepBackground_;
  QCheckBox* keepTransparency_;
};

// Shows the choice preset from *options; on OK stores it in the settings and sets *options.
// False on cancel.
bool AskPsdLayers(QWidget* owner, uint32_t* options);

}  // namespace lw
