// "Ajouter du texte" and "Ajouter une image": what is laid over the frames (a text in one of the
// fonts the engine finds, with its colour, outline, shadow and alignment, or a picture read from a
// file), where (dragged in the preview or at one of nine places with a margin), how strongly, and
// on which frames, with fades at both ends. The preview shows the current frame with the engine's
// own drawing of the text on it, on whichever frame is chosen for it, as strong as the fades make
// it there; OK draws into the frames as one undo step.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <string>

#include "core/animation.h"
#include "edit/caption/layer.h"
#include "edit/caption/text_layer.h"

class QCheckBox;
class QPainter;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace lw {

class ColourButton;

// The current frame as it shows, with the layer on it, fitted to the view. Dragging moves the
// layer; the arrow keys move it by one pixel (ten with Shift).
class LayerPreview : public QWidget {
  Q_OBJECT
 public:
  explicit LayerPreview(QWidget* parent = nullptr);

  void SetPicture(QImage picture);                    // the screen, as the frame shows it
  void SetLayer(QImage layer, int64_t x, int64_t y);  // the layer and its pixel (0, 0) on screen
  // The screen with the layer on it, pixel for pixel, as the view draws it scaled.
  QImage Shown() const;
  // Where a screen pixel lands in the view, and the view's pixels per screen pixel.
  QPointF ScreenToView(double x, double y) const;
  double Scale() const { return scale_; }

  QSize sizeHint() const override { return {360, 240}; }

 signals:
  void dragStarted();
  // The layer moved by (dx, dy) screen pixels from where the drag started.
  void dragged(int64_t dx, int64_t dy);
  // An arrow key moved it by (dx, dy) screen pixels.
  void nudged(int64_t dx, int64_t dy);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Fit();
  void Draw(QPainter& p) const;

  QImage picture_;
  QImage layer_;
  int64_t layerX_ = 0;
  int64_t layerY_ = 0;
  double scale_ = 1;
  QPointF origin_;  // the screen's top-left corner in the view
  bool dragging_ = false;
  QPointF pressedAt_;
};

struct LayerRequest {
  Animation* animation = nullptr;
  int currentIndex = 0;
  bool selectedFirst = false;      // the selected frames are chosen first; else every frame
  const Layer* picture = nullptr;  // "Ajouter une image": the picture; none for a text
  std::string pictureName;         // its file's name
};

class LayerDialog : public QDialog {
  Q_OBJECT
 public:
  LayerDialog(LayerRequest* request, QWidget* parent = nullptr);

  // The fields, for tests and keys; the text's fields are none for a picture.
  QPlainTextEdit* TextField() const { return text_; }
  QComboBox* FontField() const { return font_; }
  QComboBox* StyleField() const { return style_; }
  QSpinBox* SizeField() const { return size_; }
  ColourButton* ColourField() const { return colour_; }
  ColourButton* OutlineColourField() const { return outlineColour_; }
  QSpinBox* OutlineWidthField() const { return outlineWidth_; }
  QCheckBox* ShadowBox() const { return shadow_; }
  ColourButton* ShadowColourField() const { return shadowColour_; }
  QSpinBox* ShadowXField() const { return shadowX_; }
  QSpinBox* ShadowYField() const { return shadowY_; }
  QComboBox* AlignField() const { return align_; }
  QComboBox* PlaceField() const { return place_; }
  QSpinBox* MarginField() const { return margin_; }
  QSpinBox* OpacityField() const { return opacity_; }
  QRadioButton* AllFramesChoice() const { return allFrames_; }
  QRadioButton* SelectedFramesChoice() const { return selectedFrames_; }
  QRadioButton* RangeChoice() const { return range_; }
  QSpinBox* RangeFromField() const { return rangeFrom_; }
  QSpinBox* RangeToField() const { return rangeTo_; }
  QSpinBox* FadeInField() const { return fadeIn_; }
  QSpinBox* FadeOutField() const { return fadeOut_; }
  QSpinBox* PreviewFrameField() const { return previewFrame_; }
  LayerPreview* Preview() const { return preview_; }
  QLabel* NoteLabel() const { return note_; }

  // What OK would lay, and how.
  const Layer& CurrentLayer() const { return layer_; }
  TextStyle Style() const;
  LayerOptions Options() const;
  // The screen position of the layer's pixel (0, 0).
  LayerOrigin Origin() const;
  uint32_t Hints() const { return hints_; }

  void accept() override;

 private:
  void Refresh();
  void Placed();
  void ShowFrame();
  void StartDrag();
  void MoveBy(int64_t dx, int64_t dy, bool fromStart);
  void FillStyles();

  LayerRequest* request_;
  Layer layer_;
  bool layerMade_ = false;
  Placement placement_;
  int64_t dragStartX_ = 0;
  int64_t dragStartY_ = 0;
  uint32_t hints_ = 0;
  bool updating_ = false;

  QPlainTextEdit* text_ = nullptr;
  QComboBox* font_ = nullptr;
  QComboBox* style_ = nullptr;
  QSpinBox* size_ = nullptr;
  ColourButton* colour_ = nullptr;
  ColourButton* outlineColour_ = nullptr;
  QSpinBox* outlineWidth_ = nullptr;
  QCheckBox* shadow_ = nullptr;
  ColourButton* shadowColour_ = nullptr;
  QSpinBox* shadowX_ = nullptr;
  QSpinBox* shadowY_ = nullptr;
  QComboBox* align_ = nullptr;
  QComboBox* place_ = nullptr;
  QSpinBox* margin_ = nullptr;
  QSpinBox* opacity_ = nullptr;
  QRadioButton* allFrames_ = nullptr;
  QRadioButton* selectedFrames_ = nullptr;
  QRadioButton* range_ = nullptr;
  QSpinBox* rangeFrom_ = nullptr;
  QSpinBox* rangeTo_ = nullptr;
  QSpinBox* fadeIn_ = nullptr;
  QSpinBox* fadeOut_ = nullptr;
  QSpinBox* previewFrame_ = nullptr;
  LayerPreview* preview_ = nullptr;
  QLabel* frameNote_ = nullptr;
  QLabel* note_ = nullptr;
};

// Asks and, on OK, lays the text or picture over the chosen frames (one undo step, progress in
// the owner's status bar). True when the animation changed; *hints then holds the refresh hints.
bool AskLayer(QWidget* owner, LayerRequest* request, uint32_t* hints = nullptr);

}  // namespace lw
