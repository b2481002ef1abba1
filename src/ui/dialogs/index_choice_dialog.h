// "Sélectionner un index de transparence" and its twin "Choisir les couleurs verrouillées":
// indexes are chosen in the grid or in the image with three tools (choose only this one, add,
// remove), and shown in the colour that stands for transparency.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <vector>

#include "colour/palette_edit.h"

class QAction;
class QCheckBox;

namespace lw {

class ImageView;
class PaletteGrid;

class IndexChoiceDialog : public QDialog {
  Q_OBJECT

 public:
  enum Tool { Choose, Add, Erase };

  // palette and image: what is shown (the image may be none); choice: the indexes chosen so far.
  IndexChoiceDialog(QWidget* owner, int titleId, const Palette& palette, const Frame* image,
                    const TransparencyChoice& choice);

  PaletteGrid* Grid() const { return grid_; }
  ImageView* View() const { return view_; }
  QAction* ToolAction(Tool tool) const { return tools_[tool]; }
  QCheckBox* TipsBox() const { return tipsBox_; }
  void SetTool(Tool tool);
  // A click on an index, from the grid or the image.
  void Click(int index);
  // The indexes chosen, in order.
  const std::vector<uint8_t>& Chosen() const { return chosen_; }
  bool ChoiceChanged() const;

  void done(int result) override;

 private:
  void ShowColours();
  void Flash(int index);

  std::vector<PaletteEntry> entries_;
  std::vector<uint8_t> image_;
  std::vector<uint8_t> chosen_;
  std::vector<uint8_t> initial_;
  QRgb shownIn_ = 0;
  Tool tool_ = Choose;
  int flash_ = -1;
  PaletteGrid* grid_ = nullptr;
  ImageView* view_ = nullptr;
  QAction* tools_[3] = {};
  QCheckBox* tipsBox_ = nullptr;
  QTimer flashTimer_;
};

// On OK with a changed choice, writes the count and the indexes into choice and returns true.
bool AskTransparencyChoice(QWidget* owner, TransparencyChoice* choice);
// The locked colours of a colour reduction, on palette with the image of a frame (or none).
bool AskLockedColours(QWidget* owner, const Palette& palette, const Frame* image,
                      TransparencyChoice* choice);

// The toolbar's transparency control: the frame's transparent indexes chosen and applied with
// their undo entry. Returns the refresh hints, 0 on Cancel or when nothing changed.
uint32_t ChooseFrameTransparency(QWidget* owner, Animation& document, int frameIndex);

}  // namespace lw
