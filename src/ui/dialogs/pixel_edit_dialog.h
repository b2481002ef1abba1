// "Éditer les pixels": single pixels of a frame set to a colour index, or 4-connected regions
// filled with it, on a copy of the frame's image; OK hands the edited image back.
#pragma once

#include <QDialog>
#include <vector>

#include "colour/palette_edit.h"

class QAction;
class QLabel;

namespace lw {

class ImageView;
class PaletteGrid;

class PixelEditDialog : public QDialog {
  Q_OBJECT

 public:
  enum Tool { SelectColour, SetPixel, Fill };

  PixelEditDialog(QWidget* owner, PixelEditRequest* request);

  PaletteGrid* Grid() const { return grid_; }
  ImageView* View() const { return view_; }
  QAction* ToolAction(Tool tool) const { return tools_[tool]; }
  void SetTool(Tool tool);
  int CurrentColour() const { return colour_; }
  void SetCurrentColour(int index);
  bool Changed() const { return changed_; }
  const std::vector<uint8_t>& Image() const { return image_; }

  void accept() override;

 private:
  void PixelClicked(int x, int y, int index, bool dragged);

  PixelEditRequest* request_;
  std::vector<PaletteEntry> entries_;
  std::vector<uint8_t> image_;
  std::array<bool, 256> transparent_{};
  Tool tool_ = SetPixel;
  int colour_ = 0;
  bool changed_ = false;
  PaletteGrid* grid_ = nullptr;
  ImageView* view_ = nullptr;
  QLabel* swatch_ = nullptr;
  QAction* tools_[3] = {};
};

// True when OK changed something: request->edited holds the new DIB.
bool AskPixelEdit(QWidget* owner, PixelEditRequest* request);

// 40343: the current frame's pixels edited and applied with their undo entry; the hints, 0 when
// nothing changed.
uint32_t EditFramePixels(QWidget* owner, Animation& document, int frameIndex);

}  // namespace lw
