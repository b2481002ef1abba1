// "Editer la palette": the entries of a local or the global palette beside the image of a frame,
// changed one at a time through their red, green and blue values or the colour chooser. The
// small variant "Éditer la palette" edits the fixed palette of the preferences.
#pragma once

#include <QDialog>
#include <QTimer>
#include <vector>

#include "colour/palette_edit.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace lw {

class ColourButton;
class ImageView;
class PaletteGrid;

class PaletteEditDialog : public QDialog {
  Q_OBJECT

 public:
  // small: the fixed palette's variant (no image, no usage).
  PaletteEditDialog(QWidget* owner, PaletteEditRequest* request, bool small);

  PaletteGrid* Grid() const { return grid_; }
  ImageView* View() const { return view_; }
  // 0 red, 1 green, 2 blue.
  QSpinBox* Field(int channel) const { return fields_[channel]; }
  ColourButton* Swatch() const { return swatch_; }
  QCheckBox* UsageBox() const { return usageBox_; }
  QPushButton* ExportButton() const { return export_; }
  QPushButton* LoadButton() const { return load_; }
  // What the last "Charger..." took; hidden until then.
  QLabel* LoadNotice() const { return loadNotice_; }
  QPushButton* OkButton() const { return ok_; }
  bool Changed() const { return changed_; }
  const std::vector<PaletteEntry>& Working() const { return working_; }

  void Select(int index);

  void accept() override;

 private:
  // "Charger...": the colours of a PAL file or of an image's palette.
  void LoadPalette();
  void FieldEdited(int channel);
  void SetEntry(const PaletteEntry& entry);
  void ShowColours();
  void FillFields();

  PaletteEditRequest* request_;
  std::vector<PaletteEntry> working_;
  std::vector<PaletteEntry> reference_;
  std::vector<uint8_t> image_;  // a copy of the frame's DIB, shown in the working colours
  std::array<bool, 256> transparent_{};
  QRgb transparentColour_ = 0;
  int selected_ = -1;
  int flash_ = -1;
  bool changed_ = false;
  int filling_ = 0;
  PaletteGrid* grid_ = nullptr;
  ImageView* view_ = nullptr;
  QSpinBox* fields_[3] = {};
  ColourButton* swatch_ = nullptr;
  QCheckBox* usageBox_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* ok_ = nullptr;
  QLabel* loadNotice_ = nullptr;
  QTimer flashTimer_;
};

// True when OK changed something: request->result holds the new entries.
bool AskPaletteEdit(QWidget* owner, PaletteEditRequest* request);

// 40044 and the frame page: the frame's local palette (0 when it has none or nothing changed).
uint32_t EditLocalPalette(QWidget* owner, Animation& document, int frameIndex);
// 40050 and the Animation page: the global palette, shown beside imageFrame (or the first frame
// without a local palette when imageFrame has one).
uint32_t EditGlobalPalette(QWidget* owner, Animation& document, int imageFrame);
// The fixed palette of the preferences; true when edited entries were stored.
bool EditFixedPalette(QWidget* owner);

}  // namespace lw
